// The phase envelope at the boundary: grids, table layout, characteristic values, C++ mirror.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <utility>
#include <vector>

#include "api/status_codes.hpp"
#include "envelope/phase_envelope.hpp"
#include "ngtherm/envelope.hpp"
#include "ngtherm/saturation.hpp"
#include "support/c_exports.hpp"

namespace ngtherm::envelope {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int kPaddingColumn = kColumnFirstFraction + kReportedComponents;

// The rich gas with the caller's state at 5 MPa and 250 K.
test::Call rich_call() { return {.c = test::rich_gas_7().external(), .T = 250.0}; }

// The table, count, characteristic values and statuses of a call of phase.
struct PhaseOutput {
    test::Outcome o;
    double at(int row, int column) const { return o.out[column * kEnvelopePoints + row]; }
    EnvelopePointType type(int row) const { return static_cast<EnvelopePointType>(at(row, kColumnType)); }
    double value(int k) const { return o.out[kTableSize + k]; }
};

PhaseOutput call(const test::Call& c) { return {test::call(test::frame_exports().back(), c)}; }

// All 200 rows hold the sentinel up to the padding columns, which hold 0; no
// characteristic value is determined. 100.00005 % passes the check, but the
// fraction exceeds 1.
TEST(PhaseExport, PureFluidAndFailedSetUpGiveTheirSentinelTables) {
    for (const auto& [methane, sentinel] : {std::pair{100.0, kSentinelSingleComponent}, {100.00005, kSentinelBadFraction}}) {
        test::Call pure{.c = {}};
        pure.c[0] = methane;
        const PhaseOutput out = call(pure);
        EXPECT_EQ(out.o.count, kEnvelopePoints);
        for (int i = 0; i < kTableSize; ++i) ASSERT_EQ(out.o.out[i], i / kEnvelopePoints < kPaddingColumn ? sentinel : 0.0) << i;
        EXPECT_EQ(out.o.status, (std::vector<std::int16_t>{197, 197, 197, 197, 0, 0, 0, 0}));
        for (int k = 0; k < kCharacteristicValueCount; ++k) EXPECT_EQ(out.value(k), 0.0);
    }
}

TEST(TabulationGrid, CallersValueEqualToAGridValueIsListedTwiceCallersCopyFirst) {
    const Tabulation p = merge_tabulation(kTabulationPressures, 10.0);
    EXPECT_EQ(p.count, 15);
    EXPECT_EQ(p.caller, 9);
    EXPECT_TRUE(p.ln_value[9] == std::log(10.0) && p.ln_value[10] == std::log(10.0));
    EXPECT_EQ(p.ln_value[14], std::log(18.0)) << "the largest entry of the merged list is not tabulated";

    const Tabulation T = merge_tabulation(kTabulationTemperatures, 60.5);
    EXPECT_EQ(T.caller, 0);
    EXPECT_EQ(T.ln_value[1], std::log(75.0));
    const Tabulation above = merge_tabulation(kTabulationTemperatures, 600.0);
    EXPECT_TRUE(above.caller == -1 && above.ln_value[19] == std::log(550.0));
}

// The caller's 5 MPa is also a grid pressure. Hydrogen sulphide, helium and
// argon have no column: the reported liquid fractions miss theirs.
TEST(PhaseExport, TableRowsCarryTheLabelledPointsPaddingAndTheRepeatedLastPointAsTheCppApiGivesThem) {
    test::Call sour = rich_call();
    sour.c = test::Gas{"sour_inert", {{"CH4", 80}, {"N2", 2}, {"CO2", 2}, {"C2H6", 6}, {"C3H8", 3},
                                      {"nC4", 1}, {"H2S", 5.8}, {"He", 0.1}, {"Ar", 0.1}}}
                 .external();
    for (const bool unreported : {false, true}) {
        const PhaseOutput out = call(unreported ? sour : rich_call());
        ASSERT_TRUE(out.o.count > 10 && out.o.count < kEnvelopePoints) << out.o.count;
        for (int i = 0; i < kTableSize; ++i) {
            const int row = i % kEnvelopePoints, column = i / kEnvelopePoints;
            ASSERT_EQ(out.o.out[i], column >= kPaddingColumn ? 0.0 : out.at(std::min(row, out.o.count - 1), column)) << row << " " << column;
        }
        double reported = 0.0;
        for (int m = 0; m < kReportedComponents; ++m) reported += out.at(0, kColumnFirstFraction + m);
        EXPECT_EQ(reported < 1.0 - 1e-4, unreported) << reported;
        std::vector<double> T_at_p, p_at_T;
        for (int row = 0; row < out.o.count; ++row) {
            const double T = out.at(row, kColumnT), p = out.at(row, kColumnP);
            switch (out.type(row)) {
                case EnvelopePointType::caller_pressure:
                    T_at_p.push_back(T);
                    EXPECT_EQ(out.type(row + 1), EnvelopePointType::tabulated) << "caller's copy first";
                    EXPECT_TRUE(out.at(row + 1, kColumnT) == T && out.at(row + 1, kColumnP) == p);
                    break;
                case EnvelopePointType::caller_temperature: p_at_T.push_back(p); break;
                default: break;  // the other labels' values: CharacteristicValues below
            }
        }
        if (unreported) continue;  // crosses 5 MPa three times
        ASSERT_TRUE(T_at_p.size() == 2 && p_at_T.size() == 2);
        const std::array<double, 4> crossings{std::max(T_at_p[0], T_at_p[1]), std::min(T_at_p[0], T_at_p[1]),
                                              std::max(p_at_T[0], p_at_T[1]), std::min(p_at_T[0], p_at_T[1])};
        EXPECT_TRUE(std::equal(crossings.begin(), crossings.end(), out.o.out.begin() + kTableSize));
        for (int k = 0; k < kCharacteristicValueCount; ++k) EXPECT_TRUE(out.o.status[k] == 0 && out.value(k) > 0.0) << k;

        // The C++ API gives the table's points, values and statuses, and the vapour composition as well.
        const Envelope env = phase_envelope(test::rich_gas_7().external(), {.T = 250.0, .p = 5.0});
        ASSERT_TRUE(env.ok() && static_cast<int>(env.points.size()) == out.o.count);
        EXPECT_EQ(env.outcome, EnvelopeOutcome::left_window);
        for (int row = 0; row < out.o.count; ++row) {
            const EnvelopePoint& point = env.points[row];
            EXPECT_TRUE(point.T == out.at(row, kColumnT) && point.p == out.at(row, kColumnP) && point.type == out.type(row));
            for (int m = 0; m < kReportedComponents; ++m) EXPECT_EQ(point.x[m], out.at(row, kColumnFirstFraction + m));
            EXPECT_NEAR(std::accumulate(point.y.begin(), point.y.end(), 0.0), 1.0, 1e-6);
        }
        EXPECT_TRUE(std::equal(env.value.begin(), env.value.end(), out.o.out.begin() + kTableSize));
        EXPECT_TRUE(std::ranges::equal(env.status, out.o.status));
    }
}

// One crossing gives both values, more than three none; a later point of a
// type replaces an earlier one; a sentinel maps to its code.
TEST(CharacteristicValues, ComeFromTheLastPointOfEachTypeAndTheCrossingsOfTheCallersState) {
    using enum EnvelopePointType;
    std::vector<TracePoint> points{{250.0, 5.0, caller_pressure}, {270.0, 5.0, max_temperature},
                                   {271.0, 5.5, max_temperature}, {220.0, 8.0, critical},
                                   {240.0, kSentinelTraceFailed, max_pressure}};
    for (const double T : {200.0, 210.0, 220.0, 230.0}) points.push_back({T, T / 50, caller_temperature});
    const api::CharacteristicValues v = api::characteristic_values(characteristic_points(points));
    EXPECT_EQ(v.value, (std::array<double, 8>{250.0, 250.0, 0.0, 0.0, 271.0, kSentinelTraceFailed, 220.0, 8.0}));
    EXPECT_EQ(v.status, (std::array<std::int16_t, 8>{0, 0, 0, 0, 0, 207, 0, 0}));
}

TEST(TraceParameters, EachBadParameterGivesItsSentinelTheFirstWinsAndBoundsAreInclusive) {
    const struct {
        double p_min, p_max, T_min, initial_step, beta, sentinel;
    } cases[] = {
        {3.0, 30.0, 50.0, 0.1, 1.0, -99910},      {kNaN, 30.0, 50.0, 0.1, 1.0, -99910},
        {0.1, 0.09, 50.0, 0.1, 1.0, -99920},      {0.1, 1000.5, 50.0, 0.1, 1.0, -99920},
        {0.1, 30.0, 49.0, 0.1, 1.0, -99930},      {0.1, 30.0, 50.0, 1.5, 1.0, -99940},
        {0.1, 30.0, 50.0, 0.1, INFINITY, -99950}, {0.1, 30.0, 10.0, 0.1, 2.0, -99930},
        {0.0001, 0.0001, 50.0, 0.01, 0.0, 0.0},   {2.5, 1000.0, 550.0, 1.0, 1.0, 0.0},
    };
    for (const auto& c : cases) {
        TraceSettings t;
        t.p_min = c.p_min, t.p_max = c.p_max, t.T_min = c.T_min, t.initial_step = c.initial_step, t.beta = c.beta;
        EXPECT_EQ(check_trace_parameters(t), c.sentinel) << c.p_min << " " << c.p_max << " " << c.T_min;
    }
}

TEST(EnvelopeApi, WithoutACallersStateOnlyTheGridIsCrossedASmallerStepGivesMorePointsAndOnlyAWetGasHasAWaterDewLine) {
    const Envelope env = phase_envelope(test::lean_gas_11().external(), {});
    ASSERT_TRUE(env.ok() && env.water_dew.empty());
    const test::Gas wet{"wet_0.005", {{"CH4", 89.995}, {"C2H6", 5}, {"C3H8", 2}, {"N2", 2}, {"CO2", 1}, {"H2O", 0.005}}};
    const std::vector<WaterDewLinePoint> line = phase_envelope(wet.external(), {}).water_dew;
    ASSERT_GT(line.size(), 20u);
    for (std::size_t k = 0; k < line.size(); ++k) {
        EXPECT_NEAR(line[k].T, water_dew_temperature(Mixture(wet.fractions()), line[k].p).points.at(0).T, 1e-9);
        if (k > 0) { EXPECT_GT(line[k].p, line[k - 1].p); }
    }
    for (const EnvelopePoint& point : env.points) {
        EXPECT_TRUE(point.type != EnvelopePointType::caller_temperature && point.type != EnvelopePointType::caller_pressure);
    }
    for (int k = 0; k < 4; ++k) EXPECT_EQ(env.status[k], 197);
    EXPECT_GT(phase_envelope(test::lean_gas_11().external(), {.T = {}, .p = {}, .max_step = 0.3}).points.size(), env.points.size());
    // A max_step that is not positive is no bound.
    EXPECT_EQ(phase_envelope(test::lean_gas_11().external(), {.T = {}, .p = {}, .max_step = 0.0}).points.size(), env.points.size());
}

TEST(EnvelopeApi, FailuresCarryTheirCodeAndNoPoints) {
    ExternalPercentages bad_sum = test::rich_gas_7().external();
    bad_sum[0] += 1.0;
    const struct {
        ExternalPercentages gas;
        EnvelopeOptions options;
        int code;
    } cases[] = {
        {test::rich_gas_7().external(), {.p_min = 3.0, .T = {}, .p = {}}, 196},
        {test::Gas{"methane", {{"CH4", 100}}}.external(), {}, 202},
        {test::hydrogen_blend_10().external(), {.beta = 0.0, .T = {}, .p = {}}, 207},
        {bad_sum, {}, 54},
    };
    for (const auto& [gas, options, code] : cases) {
        const Envelope env = phase_envelope(gas, options);
        EXPECT_EQ(env.code, code);
        EXPECT_TRUE(env.points.empty() && env.outcome == EnvelopeOutcome::failed);
    }
}

}  // namespace
}  // namespace ngtherm::envelope
