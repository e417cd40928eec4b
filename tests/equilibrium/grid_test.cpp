// The solver over a grid of states: a dozen gases (lean, rich, sour, CO2-rich,
// hydrogen blends, binaries) from 150 to 450 K and 0.1 to 20 MPa.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <thread>
#include <vector>

#include "equilibrium/gases.hpp"
#include "equilibrium/solver_constants.hpp"
#include "equilibrium/tpequil.hpp"

namespace ngtherm::equilibrium {
namespace {

using testing::Feed;

constexpr int kTemperatures = 13;  // 150 K to 450 K in steps of 25 K
constexpr int kPressures = 13;     // 0.1 MPa to 20 MPa, evenly in log p

double grid_T(int i) { return 150.0 + 300.0 * i / (kTemperatures - 1); }
double grid_p(int j) { return 0.1 * std::pow(200.0, double(j) / (kPressures - 1)); }

bool finite_phase(const PhaseResult& ph, int n) {
    const model::ResidualProperties& r = ph.record.residual;
    const model::IdealGasPart& ig = ph.record.ideal;
    bool ok = std::isfinite(ph.Z);
    for (double v : {r.h_r, r.s_r, r.cp_r, r.cv_r, r.dpdV, r.dVdT, r.dpdT, r.V_minus_TdVdT,
                     r.inv_p_minus_dVdT, r.molar_mass, ig.h0, ig.s0, ig.cp0}) {
        ok = ok && std::isfinite(v);
    }
    for (int i = 0; i < n; ++i) ok = ok && std::isfinite(ph.lnphi[i]);
    return ok;
}

bool finite_result(const EquilibriumResult& r, int n) {
    bool ok = std::isfinite(r.beta) && std::isfinite(r.h) && std::isfinite(r.s) &&
              std::isfinite(r.u) && std::isfinite(r.v) && finite_phase(r.liquid, n);
    if (r.two_phase()) {
        ok = ok && finite_phase(r.vapour, n);
        for (int i = 0; i < n; ++i) ok = ok && std::isfinite(r.x[i]) && std::isfinite(r.y[i]);
    }
    return ok;
}

TEST(EquilibriumGrid, SolvesEveryStateWithFiniteOutputs) {
    const std::vector<Feed> gases = testing::grid_gases();
    EquilibriumSolver solver;
    int states = 0, two_phase = 0;
    std::ostringstream failures;
    for (const Feed& feed : gases) {
        for (int i = 0; i < kTemperatures; ++i) {
            for (int j = 0; j < kPressures; ++j) {
                const double T = grid_T(i), p = grid_p(j);
                const EquilibriumResult& r = testing::solve(solver, feed, T, p);
                ++states;
                if (r.error != EquilibriumError::none) {
                    failures << feed.name << " T=" << T << " p=" << p << " split status " << static_cast<int>(r.split_status) << "\n";
                    continue;
                }
                if (!finite_result(r, feed.n())) {
                    failures << feed.name << " T=" << T << " p=" << p << " non-finite output\n";
                }
                EXPECT_TRUE(r.beta == 0.0 || r.beta == 1.0 || r.two_phase());
                if (r.two_phase()) ++two_phase;
            }
        }
    }
    EXPECT_GE(states, 2000);
    EXPECT_GT(two_phase, 100) << "the grid reaches into the two-phase regions";
    EXPECT_EQ(failures.str(), "");
}

// Results at every state of a coarse grid, for comparing solvers.
std::vector<EquilibriumResult> sweep(EquilibriumSolver& solver, const std::vector<Feed>& gases) {
    std::vector<EquilibriumResult> out;
    for (const Feed& feed : gases) {
        for (int i = 0; i < kTemperatures; i += 2) {
            for (int j = 0; j < kPressures; j += 2) {
                out.push_back(testing::solve(solver, feed, grid_T(i), grid_p(j)));
            }
        }
    }
    return out;
}

bool identical(const EquilibriumResult& a, const EquilibriumResult& b) {
    return a.error == b.error && a.beta == b.beta && a.h == b.h && a.s == b.s && a.v == b.v &&
           a.x == b.x && a.y == b.y && a.liquid.Z == b.liquid.Z && a.vapour.Z == b.vapour.Z;
}

TEST(EquilibriumSolverThreads, TwoSolversOnTwoThreadsMatchOneSolverUsedSerially) {
    const std::vector<Feed> gases = testing::grid_gases();
    const std::vector<Feed> first(gases.begin(), gases.begin() + 6);
    const std::vector<Feed> second(gases.begin() + 6, gases.end());
    EquilibriumSolver serial;
    std::vector<EquilibriumResult> expected = sweep(serial, first);
    const std::vector<EquilibriumResult> rest = sweep(serial, second);
    expected.insert(expected.end(), rest.begin(), rest.end());

    std::vector<EquilibriumResult> a, b;
    std::thread ta([&] {
        EquilibriumSolver s;
        a = sweep(s, first);
    });
    std::thread tb([&] {
        EquilibriumSolver s;
        b = sweep(s, second);
    });
    ta.join();
    tb.join();
    a.insert(a.end(), b.begin(), b.end());
    ASSERT_EQ(a.size(), expected.size());
    for (std::size_t k = 0; k < a.size(); ++k) EXPECT_TRUE(identical(a[k], expected[k])) << k;
}

}  // namespace
}  // namespace ngtherm::equilibrium
