// The flash with the arguments of the C export: one-phase feeds returned as
// they came, absent components, failed checks that leave the results alone,
// the range set written back, failed set-ups, and two-phase splits of the
// reference gases with equal fugacities and the liquid content formula.
#include "api/frames.hpp"
#include "properties/flash.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "api/composition.hpp"
#include "properties/mixture_setup.hpp"
#include "api/status_codes.hpp"
#include "api/workspace.hpp"
#include "envelope/envelope_gases.hpp"
#include "model/mixstate.hpp"
#include "properties/property_routines.hpp"
#include "test_support.hpp"

namespace ngtherm::envelope {
namespace {

constexpr double kMarker = 12345.0;

struct FlashCall {
    ExternalPercentages composition = test::lean_gas_11().external();
    double p = 5.0, T = 300.0;
    std::int16_t range_set = 0;
};

struct FlashOutput {
    std::array<double, 3> results{kMarker, kMarker, kMarker};
    ExternalPercentages liquid{}, vapour{}, echo{};
    std::int16_t status = -7;
    std::int16_t range_set = 0;
};

FlashOutput call(const FlashCall& c) {
    FlashOutput out;
    out.liquid.fill(kMarker);
    out.vapour.fill(kMarker);
    out.echo.fill(kMarker);
    out.range_set = c.range_set;
    api::flash_export(c.composition.data(), &c.p, &c.T, &out.range_set, out.results.data(),
                 out.liquid.data(), out.vapour.data(), out.echo.data(), &out.status);
    return out;
}

TEST(FlashExport, OnePhaseVapourReturnsTheFeedWithoutTraceComponents) {
    FlashCall c;
    c.composition[0] -= 5e-7;
    c.composition[10] = 5e-7;  // n-heptane below 1e-8 mol/mol
    const FlashOutput out = call(c);
    EXPECT_EQ(out.status, api::kStatusSuccessUnchecked);
    EXPECT_EQ(out.results[0], 1.0);
    EXPECT_EQ(out.results[1], 0.0);
    EXPECT_EQ(out.results[2], 0.0);
    for (int e = 0; e < kComponentCount; ++e) {
        const double expected = e == 10 ? 0.0 : c.composition[e];
        EXPECT_NEAR(out.liquid[e], expected, 1e-13) << e;
        EXPECT_NEAR(out.vapour[e], expected, 1e-13) << e;
    }
    EXPECT_EQ(out.echo, c.composition);
}

TEST(FlashExport, OnePhaseLiquidHoldsTheFeedsWholeNormalDensityAsLiquid) {
    FlashCall c;
    c.composition = test::rich_gas_7().external();
    c.T = 150.0;  // far below the bubble point at 5 MPa
    const FlashOutput out = call(c);
    ASSERT_EQ(out.results[0], 0.0);
    EXPECT_EQ(out.results[1], 1.0);
    api::Workspace& ws = api::thread_workspace();
    Composition x{};
    api::sort_composition(c.composition.data(), ExternalPercentages{}.data(), x);
    const double rho_n = properties::rho_tp(ws.solver, properties::kNormalTemperature, properties::kNormalPressure, x,
                                            properties::Selector::overall, properties::Basis::mass);
    EXPECT_EQ(out.results[2], properties::kMilligramsPerKilogram * rho_n);
    EXPECT_NEAR(out.results[2], 8.0e5, 1.5e5) << "about 0.8 kg of liquid per normal m3";
}

TEST(FlashExport, FailedInputCheckLeavesResultsAndCompositionsAsTheyWere) {
    FlashCall zero_p;
    zero_p.p = 0.0;
    FlashCall bad_sum;
    bad_sum.composition[1] += 0.001;
    for (const auto& [c, code] : {std::pair{zero_p, api::kStatusBadPressure},
                                  std::pair{bad_sum, api::kStatusBadSum}}) {
        const FlashOutput out = call(c);
        EXPECT_EQ(out.status, code);
        for (const double r : out.results) EXPECT_EQ(r, kMarker);
        for (int e = 0; e < kComponentCount; ++e) {
            EXPECT_EQ(out.liquid[e], kMarker);
            EXPECT_EQ(out.vapour[e], kMarker);
        }
        EXPECT_EQ(out.echo, c.composition);
    }
}

TEST(FlashExport, RangeSetAboveTwoIsCheckedAsTwoAndWrittenBack) {
    FlashCall c;
    c.range_set = 3;
    const FlashOutput out = call(c);
    EXPECT_EQ(out.range_set, 2);
    EXPECT_EQ(out.status, api::kStatusSuccess);
}

TEST(FlashExport, FailedSetUpFillsEveryPositionWithItsSentinel) {
    FlashCall c;
    c.composition = ExternalPercentages{};
    c.composition[0] = 100.00005;  // passes the check; the fraction exceeds 1
    const FlashOutput out = call(c);
    EXPECT_EQ(out.status, 192);
    EXPECT_EQ(out.results[0], kSentinelBadFraction);
    EXPECT_EQ(out.results[1], 1.0 - kSentinelBadFraction);
    for (int e = 0; e < kComponentCount; ++e) {
        EXPECT_EQ(out.liquid[e], 100.0 * kSentinelBadFraction);
        EXPECT_EQ(out.vapour[e], 100.0 * kSentinelBadFraction);
    }
}

class FlashReferenceSplit : public ::testing::TestWithParam<const char*> {};

// ln(x_i phi_i) of the liquid and of the vapour, and the liquid content from
// its definition.
TEST_P(FlashReferenceSplit, SplitHasEqualFugacitiesTheReferenceFractionsAndItsLiquidContent) {
    const nlohmann::json& ref = test::reference_values()["two_phase"][GetParam()];
    const Composition feed = test::composition_from_json(ref["mole_fractions"]);
    FlashCall c;
    c.composition = external_percentages(feed);
    c.T = ref["T_K"];
    c.p = ref["p_MPa"];
    const FlashOutput out = call(c);
    ASSERT_EQ(out.status, api::kStatusSuccessUnchecked);
    const double beta = out.results[0];
    EXPECT_NEAR(beta, ref["beta"].get<double>(), 1e-9);
    EXPECT_EQ(out.results[1], 1.0 - beta);

    Composition x{}, y{};
    for (int e = 0; e < kComponentCount; ++e) {
        x[api::kExternalToModel[e]] = out.liquid[e] / 100.0;
        y[api::kExternalToModel[e]] = out.vapour[e] / 100.0;
    }
    const Composition x_ref = test::composition_from_json(ref["x"]);
    const Composition y_ref = test::composition_from_json(ref["y"]);
    for (int m = 0; m < kComponentCount; ++m) {
        EXPECT_NEAR(x[m], x_ref[m], 1e-9) << m;
        EXPECT_NEAR(y[m], y_ref[m], 1e-9) << m;
        if (feed[m] == 0.0) {
            EXPECT_EQ(x[m] + y[m], 0.0) << "absent component " << m;
        }
    }

    const test::ModelSetup liquid(x), vapour(y);
    model::FugacitySet fx, fy;
    model::ResidualProperties rec;
    model::CompositionState scratch;
    ASSERT_TRUE(model::mixstate(liquid.set, scratch, {model::Fugacity::ln_phi, model::TpDerivatives::none}, model::RootPreference::liquid, c.T, c.p,
                                liquid.x.data(), &fx, rec).ok());
    ASSERT_TRUE(model::mixstate(vapour.set, scratch, {model::Fugacity::ln_phi, model::TpDerivatives::none}, model::RootPreference::vapour, c.T, c.p,
                                vapour.x.data(), &fy, rec).ok());
    for (int i = 0; i < liquid.set.n; ++i) {
        EXPECT_NEAR(std::log(liquid.x[i]) + fx.lnphi[i], std::log(vapour.x[i]) + fy.lnphi[i], 1e-8) << i;
    }

    double M_L = 0.0;
    for (int m = 0; m < kComponentCount; ++m) M_L += x[m] * component_molar_mass(m) * 1000.0;
    const properties::MixtureSetup setup = properties::set_mixture(c.T, c.p, feed);
    const double rho_n = properties::rho_tp(api::thread_workspace().solver, properties::kNormalTemperature,
                                            properties::kNormalPressure, feed, properties::Selector::overall,
                                            properties::Basis::mass);
    const double expected = M_L * (1.0 - beta) / (setup.M * 1000.0) * 1e6 * rho_n;
    EXPECT_NEAR(out.results[2], expected, 1e-9 * expected);
    EXPECT_GT(out.results[2], 0.0);
}

INSTANTIATE_TEST_SUITE_P(Gases, FlashReferenceSplit,
                         ::testing::Values("methane_propane_90_10", "natural_gas_7_component"));

}  // namespace
}  // namespace ngtherm::envelope
