// properties::flash_tp, the core of flash_tp; the split itself is tested in tests/equilibrium.
#include "properties/flash.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "model/sentinels.hpp"
#include "properties/property_routines.hpp"
#include "support/gases.hpp"

namespace ngtherm::properties {
namespace {

double normal_mass_density(equilibrium::EquilibriumSolver& solver, const Composition& x) {
    return rho_tp(solver, kNormalTemperature, kNormalPressure, x, Selector::overall, Basis::mass);
}

TEST(Flash, OnePhaseGasReturnsTheFeedWithoutTraceComponents) {
    Composition feed = test::pipeline_gas().fractions();
    feed[0] -= 5e-9;
    feed[10] = 5e-9;  // n-heptane below 1e-8 mol/mol
    equilibrium::EquilibriumSolver solver;
    const FlashValues v = flash_tp(solver, feed, 300.0, 5.0);
    EXPECT_TRUE(v.beta == 1.0 && v.liquid_content == 0.0);
    for (int m = 0; m < kComponentCount; ++m) EXPECT_TRUE(std::fabs(v.x[m] - (m == 10 ? 0.0 : feed[m])) <= 1e-15 && v.y[m] == v.x[m]) << m;
}

TEST(Flash, LiquidContentIsTheLiquidMassPerNormalCubicMetreOfTheFeed) {
    const Composition feed = test::rich_gas_7().fractions();
    equilibrium::EquilibriumSolver solver;
    for (const auto& [T, p] : {std::pair{240.0, 4.0}, {150.0, 5.0}}) {
        const FlashValues v = flash_tp(solver, feed, T, p);
        ASSERT_LT(v.beta, 1.0);
        double M_L = 0.0, M = 0.0;
        for (int m = 0; m < kComponentCount; ++m) {
            M_L += v.x[m] * component_molar_mass(m);
            M += feed[m] * component_molar_mass(m);
        }
        const double expected = kMilligramsPerKilogram * M_L * (1.0 - v.beta) / M * normal_mass_density(solver, feed);
        EXPECT_NEAR(v.liquid_content, expected, 1e-9 * expected) << T;
    }
}

TEST(Flash, FailedSetUpMarksEveryPositionWithItsSentinel) {
    Composition over_one{};
    over_one[0] = 1.0000005;
    equilibrium::EquilibriumSolver solver;
    const FlashValues v = flash_tp(solver, over_one, 300.0, 5.0);
    EXPECT_EQ(v.beta, kSentinelBadFraction);
    for (int m = 0; m < kComponentCount; ++m) EXPECT_TRUE(v.x[m] == kSentinelBadFraction && v.y[m] == kSentinelBadFraction) << m;
}

}  // namespace
}  // namespace ngtherm::properties
