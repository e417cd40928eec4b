// The water dew point of pipeline gases: the aqueous phase appears there, and
// the temperature and pressure solvers find the same point.
#include <gtest/gtest.h>

#include "equilibrium/tpequil.hpp"
#include "equilibrium/water_dew.hpp"
#include "support/gases.hpp"

namespace ngtherm::equilibrium {
namespace {

constexpr double kSide = 0.01;  // K on either side of the dew point

TEST(WaterDew, IsWhereTheFlashFirstSplitsOffAnAqueousPhaseAndBothSolversAgree) {
    // The 0.005 % gas is CH4 89.995 and the others as listed, water in place of methane.
    const test::Gas gases[] = {
        {"wet_0.005", {{"CH4", 89.995}, {"C2H6", 5}, {"C3H8", 2}, {"N2", 2}, {"CO2", 1}, {"H2O", 0.005}}},
        test::with_water("wet_0.05", test::lean_pipeline_percent(), 0.05)};
    EquilibriumSolver solver;
    for (const test::Gas& gas : gases) {
        const test::Feed feed(gas);
        for (const double p : {1.0, 4.0, 7.0}) {
            const WaterDewPoint d = water_dew_temperature(feed.set, feed.x.data(), p);
            ASSERT_EQ(d.status, WaterDewStatus::converged) << gas.name << " " << p;
            EXPECT_LT(d.residual, 1e-10);
            EXPECT_GT(d.incipient[feed.n() - 1], 0.99);
            EXPECT_FALSE(tpequil(solver, d.T + kSide, p, feed.n(), feed.ids.data(), feed.x.data()).two_phase());
            const EquilibriumResult& wet = tpequil(solver, d.T - kSide, p, feed.n(), feed.ids.data(), feed.x.data());
            EXPECT_TRUE(wet.error == EquilibriumError::none && wet.two_phase()) << gas.name << " " << p;
            // Near 7 MPa the dew temperature passes its highest over p: the wet range
            // at that T is far narrower than a step of the pressure scan.
            const WaterDewPoint back = water_dew_pressure(feed.set, feed.x.data(), d.T);
            ASSERT_EQ(back.status, WaterDewStatus::converged);
            EXPECT_NEAR(back.p, p, 1e-8 * p);
        }
    }
}

TEST(WaterDew, ReportsNoWaterForADryGas) {
    const test::Feed feed(test::lean_gas_11());
    EXPECT_EQ(water_dew_temperature(feed.set, feed.x.data(), 4.0).status, WaterDewStatus::no_water);
}

}  // namespace
}  // namespace ngtherm::equilibrium
