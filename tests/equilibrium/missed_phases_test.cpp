// Phases the Wilson trials alone miss (an aqueous phase of a wet gas, a phase
// rich in a light gas), checked against a tangent-plane test of our own: trial
// phases from every pure component, minimised by plain substitution.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "equilibrium/split_check.hpp"
#include "equilibrium/tpequil.hpp"
#include "support/gases.hpp"

namespace ngtherm::equilibrium {
namespace {

using test::Gas;

// A distance below this is a phase the solver missed.
constexpr double kMissedTm = -1e-8;
constexpr int kSubstitutionCap = 400;

std::vector<Gas> grid_gases() {
    std::vector<Gas> gases;
    for (const double water : {0.005, 0.05, 0.5}) {
        gases.push_back(test::with_water("lean_wet", test::lean_pipeline_percent(), water));
        gases.push_back(test::with_water("rich_wet", test::rich_gas_7().percent, water));
    }
    gases.push_back({"helium_rich", {{"CH4", 70}, {"N2", 25}, {"He", 0.5}, {"Ar", 0.5}, {"C2H6", 3}, {"C3H8", 1}}});
    gases.push_back(test::high_nitrogen_gas());
    // 100 ppm water: its aqueous phase holds up to a third dissolved gas (the
    // lowest activity of water of these gases), and at 275 K, 30 MPa its
    // water-rich trial runs into the roots of the equation far inside water's
    // two-phase region.
    gases.push_back({"published_21_wet", test::published_mixture().percent});
    return gases;
}

// The lowest tangent-plane distance met on substitution paths from every pure
// component (the others at a millionth of their feed fraction).
double lowest_tm(const test::Feed& feed, double T, double p) {
    const int n = feed.n();
    model::CompositionState scratch;
    model::FugacitySet fug;
    model::ResidualProperties rec;
    const model::MixRequest request{model::Fugacity::ln_phi, model::TpDerivatives::none};
    bool found = true;
    const auto lnphi = [&](const std::vector<double>& c) {
        found = model::mixstate(feed.set, scratch, request, model::RootPreference::stable, T, p, c.data(), &fug,
                                rec).ok();
        return fug.lnphi;
    };
    const model::Vector feed_lnphi = lnphi(feed.x);
    EXPECT_TRUE(found);
    std::vector<double> d(n), W(n);
    for (int i = 0; i < n; ++i) d[i] = std::log(feed.x[i]) + feed_lnphi[i];
    double lowest = 1.0;
    for (int start = 0; start < n; ++start) {
        for (int i = 0; i < n; ++i) W[i] = i == start ? 1.0 : 1e-6 * feed.x[i];
        for (int it = 0; it < kSubstitutionCap; ++it) {
            const model::Vector lp = lnphi(W);
            if (!found) break;  // no density of this trial: no phase of the model
            double tm = 1.0, step = 0.0;
            for (int i = 0; i < n; ++i) {
                tm += W[i] * (std::log(W[i]) + lp[i] - d[i] - 1.0);
                const double next = std::exp(d[i] - lp[i]);
                if (!std::isfinite(next)) found = false;
                step = std::max(step, std::fabs(std::log(next / W[i])));
                W[i] = next;
            }
            if (!found) break;  // overflow: the model has no such phase
            lowest = std::min(lowest, tm);
            if (step < 1e-10 || lowest < kMissedTm) break;
        }
    }
    return lowest;
}

// The liquid branch of the model's water ends between 228 and 230 K at low
// pressures, and lower only at high ones (from 18 MPa at 225 K).
TEST(LiquidWater, EndsWhereTheLiquidBranchOfTheModelsWaterEnds) {
    EXPECT_TRUE(model_has_liquid_water(230.0, 0.1));
    EXPECT_FALSE(model_has_liquid_water(228.0, 0.5));
    EXPECT_FALSE(model_has_liquid_water(225.0, 15.0));
    EXPECT_TRUE(model_has_liquid_water(225.0, 20.0));
    EXPECT_FALSE(model_has_liquid_water(100.0, 30.0));
}

// A wet gas where the model has no liquid water fails with that reason: the
// phase its water would form is outside the model.
TEST(MissedPhases, NoOnePhaseVerdictHidesALowerTangentPlaneAndEverySplitPassesItsCheck) {
    const double temperatures[] = {100, 135, 170, 205, 240, 275, 310, 350};
    const double pressures[] = {0.1, 0.5, 2, 6, 15, 30};
    EquilibriumSolver solver;
    for (const Gas& gas : grid_gases()) {
        const test::Feed feed(gas);
        for (const double T : temperatures) {
            for (const double p : pressures) {
                const EquilibriumResult& r = tpequil(solver, T, p, feed.n(), feed.ids.data(), feed.x.data());
                const std::string where = gas.percent.back().first + std::string(" ") + gas.name + " " +
                                          std::to_string(gas.percent.back().second) + " % at " +
                                          std::to_string(T) + " K, " + std::to_string(p) + " MPa";
                if (gas.name.ends_with("wet") && !model_has_liquid_water(T, p)) {
                    EXPECT_EQ(r.split_status, SplitStatus::no_liquid_water) << where;
                } else if (r.error != EquilibriumError::none) {
                    ADD_FAILURE() << "split failed: " << where;
                } else if (!r.two_phase()) {
                    EXPECT_GE(lowest_tm(feed, T, p), kMissedTm) << where;
                }
            }
        }
    }
}

}  // namespace
}  // namespace ngtherm::equilibrium
