// The public C++ access to the flash and the envelope: the same values and
// codes as the C frames, points with both phase compositions, envelopes
// without a caller's state, and the point labels.
#include "ngtherm/envelope.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "envelope/envelope_gases.hpp"
#include "api/frames.hpp"
#include "properties/flash.hpp"
#include "envelope/phase_envelope.hpp"

namespace ngtherm {
namespace {

TEST(FlashApi, GivesTheValuesAndStatusOfTheExport) {
    const ExternalPercentages rich = test::rich_gas_7().external();
    const FlashResult r = flash(rich, 4.0, 240.0, 3);
    std::array<double, 3> results{};
    ExternalPercentages liquid{}, vapour{}, echo{};
    std::int16_t range = 3, status = 0;
    const double p = 4.0, T = 240.0;
    api::flash_export(rich.data(), &p, &T, &range, results.data(), liquid.data(), vapour.data(),
                           echo.data(), &status);
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.range_set, 2);
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.beta, results[0]);
    EXPECT_EQ(r.liquid_fraction, results[1]);
    EXPECT_EQ(r.liquid_content, results[2]);
    EXPECT_EQ(r.liquid, liquid);
    EXPECT_EQ(r.vapour, vapour);
}

TEST(FlashApi, FailedCheckLeavesNotANumber) {
    const FlashResult r = flash(test::rich_gas_7().external(), -1.0, 240.0);
    EXPECT_EQ(r.status, 56);
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(std::isnan(r.beta));
    EXPECT_TRUE(std::isnan(r.liquid[0]));
}

TEST(EnvelopeApi, PointsValuesAndStatusesAreThoseOfTheExportTable) {
    const ExternalPercentages rich = test::rich_gas_7().external();
    EnvelopeOptions o;
    o.T = 250.0;
    o.p = 5.0;
    const Envelope env = phase_envelope(rich, o);
    ASSERT_TRUE(env.ok());
    EXPECT_EQ(env.outcome, EnvelopeOutcome::left_window);

    std::vector<double> table(envelope::kTableSize);
    std::int32_t count = 0;
    std::array<double, 8> value{};
    std::array<std::int16_t, 8> status{};
    ExternalPercentages echo{};
    std::int16_t range = 0;
    api::phase_export(rich.data(), &*o.p, &*o.T, &o.p_min, &o.p_max, &o.T_min, &o.initial_step,
                           &o.beta, &range, table.data(), &count, value.data(), echo.data(), status.data());
    ASSERT_EQ(static_cast<int>(env.points.size()), count);
    const auto at = [&](int row, int column) { return table[column * envelope::kEnvelopePoints + row]; };
    for (int row = 0; row < count; ++row) {
        const EnvelopePoint& point = env.points[row];
        EXPECT_EQ(point.T, at(row, envelope::kColumnT));
        EXPECT_EQ(point.p, at(row, envelope::kColumnP));
        EXPECT_EQ(static_cast<int>(point.type), at(row, envelope::kColumnType));
        for (int m = 0; m < envelope::kReportedComponents; ++m) {
            EXPECT_EQ(point.x[m], at(row, envelope::kColumnFirstFraction + m));
        }
        double sum_y = 0.0;
        for (const double y : point.y) sum_y += y;
        EXPECT_NEAR(sum_y, 1.0, 1e-6) << "the vapour composition is reported as well";
    }
    EXPECT_EQ(env.value, value);
    EXPECT_EQ(env.status, status);
}

TEST(EnvelopeApi, WithoutACallersStateOnlyTheGridIsCrossed) {
    const Envelope env = phase_envelope(test::lean_gas_11().external(), EnvelopeOptions{});
    ASSERT_TRUE(env.ok());
    for (const EnvelopePoint& point : env.points) {
        EXPECT_NE(point.type, EnvelopePointType::caller_temperature);
        EXPECT_NE(point.type, EnvelopePointType::caller_pressure);
    }
    for (int k = 0; k < 4; ++k) EXPECT_EQ(env.status[k], 197);
    EXPECT_GT(env.value[4], 250.0) << "cricondentherm";
}

TEST(EnvelopeApi, FailuresCarryTheirCodeAndNoPoints) {
    struct Case {
        ExternalPercentages gas;
        EnvelopeOptions options;
        std::int16_t code;
    };
    EnvelopeOptions bad_p_min;
    bad_p_min.p_min = 3.0;
    EnvelopeOptions bad_range;
    bad_range.range_set = -1;
    ExternalPercentages bad_sum = test::rich_gas_7().external();
    bad_sum[0] += 1.0;
    const std::vector<Case> cases{
        {test::rich_gas_7().external(), bad_p_min, 196},
        {test::Gas{"methane", {{"CH4", 100}}}.external(), EnvelopeOptions{}, 202},
        {test::hydrogen_blend_10().external(), [] { EnvelopeOptions o; o.beta = 0.0; return o; }(), 207},
        {bad_sum, EnvelopeOptions{}, 54},
        {test::rich_gas_7().external(), bad_range, 180},
    };
    for (const Case& c : cases) {
        const Envelope env = phase_envelope(c.gas, c.options);
        EXPECT_EQ(env.code, c.code);
        EXPECT_FALSE(env.ok());
        EXPECT_TRUE(env.points.empty());
        EXPECT_EQ(env.outcome, EnvelopeOutcome::failed);
    }
}

TEST(EnvelopeApi, SmallerMaximumStepGivesMorePoints) {
    const ExternalPercentages rich = test::rich_gas_7().external();
    EnvelopeOptions fine;
    fine.max_step = 0.3;
    const Envelope coarse_env = phase_envelope(rich, EnvelopeOptions{});
    const Envelope fine_env = phase_envelope(rich, fine);
    ASSERT_TRUE(fine_env.ok());
    EXPECT_GT(fine_env.points.size(), coarse_env.points.size());
    EXPECT_NEAR(fine_env.value[4], coarse_env.value[4], 0.2);
}

}  // namespace
}  // namespace ngtherm
