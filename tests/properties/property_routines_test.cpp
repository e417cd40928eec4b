// The property routines: every value equal to that of the phase it selects on
// both bases (against the public API's own conversion to the mass basis), the
// mixing of a split, and the ideal-gas limits of the phase formulas; then
// properties::flash_tp, the core of flash_tp (the split itself is tested in
// tests/equilibrium). Their sentinels pass through to every slot of the
// exports and are checked there (tests/api/exports_test.cpp).
#include "properties/property_routines.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "model/sentinels.hpp"
#include "ngtherm/state.hpp"
#include "properties/flash.hpp"
#include "properties/phase_formulas.hpp"
#include "support/gases.hpp"

namespace ngtherm::properties {
namespace {

using equilibrium::EquilibriumResult;
using model::PhaseRecord;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr Selector kSelectors[] = {Selector::overall, Selector::liquid, Selector::vapour};

double rel(double a, double b) { return std::fabs(a - b) / std::fabs(b); }

// Every routine behind one signature; those without a basis ignore it.
using Routine = double (*)(EquilibriumSolver&, double, double, const Composition&, Selector, Basis);
template <auto f>
double no_basis(EquilibriumSolver& s, double T, double p, const Composition& x, Selector sel, Basis) {
    return f(s, T, p, x, sel);
}
struct NamedRoutine {
    const char* name;
    Routine f;
    double PhaseProperties::*molar;
    double MassProperties::*mass;
};
const NamedRoutine kRoutines[] = {
    {"z_tp", no_basis<z_tp>, &PhaseProperties::Z, &MassProperties::Z},
    {"rho_tp", rho_tp, &PhaseProperties::rho, &MassProperties::rho},
    {"u_tp", u_tp, &PhaseProperties::u, &MassProperties::u},
    {"h_tp", h_tp, &PhaseProperties::h, &MassProperties::h},
    {"s_tp", s_tp, &PhaseProperties::s, &MassProperties::s},
    {"cv_tp", cv_tp, &PhaseProperties::cv, &MassProperties::cv},
    {"cp_tp", cp_tp, &PhaseProperties::cp, &MassProperties::cp},
    {"w_tp", no_basis<w_tp>, &PhaseProperties::w, &MassProperties::w},
    {"kappa_tp", no_basis<kappa_tp>, &PhaseProperties::kappa, &MassProperties::kappa},
    {"jt_tp", no_basis<jt_tp>, &PhaseProperties::jt, &MassProperties::jt}};

struct GasState { std::string name; Composition x; double T, p; };

// A gas, a liquid-like pure fluid, and the split of the rich gas last; the
// values themselves are tested against reference values in single_phase_state_test.cpp.
std::vector<GasState> states() {
    return {{"natural gas 300 K 5 MPa", test::pipeline_gas().fractions(), 300.0, 5.0},
            {"propane liquid 250 K 2 MPa", test::Gas{"", {{"C3H8", 100}}}.fractions(), 250.0, 2.0},
            {"rich gas split 240 K 4 MPa", test::rich_gas_7().fractions(), 240.0, 4.0}};
}

// One phase: every selector gives the single-phase state. Two phases: the
// liquid and vapour selectors give the phases.
TEST(PropertyRoutines, EveryValueIsThatOfThePhaseItSelectsOnBothBases) {
    EquilibriumSolver solver;
    for (const GasState& g : states()) {
        solve_state(solver, g.T, g.p, g.x);
        const EquilibriumResult eq = solver.result();
        for (Selector selector : kSelectors) {
            PhaseState want = single_phase_state(Mixture(g.x), g.T, g.p);
            if (eq.two_phase()) {
                if (selector == Selector::overall) continue;
                const equilibrium::PhaseResult& phase = selector == Selector::liquid ? eq.liquid : eq.vapour;
                want.props = phase_properties(eq, phase, Basis::molar);
                want.molar_mass = phase.record.residual.molar_mass;
            }
            const MassProperties want_mass = to_mass_basis(want.props, want.molar_mass);
            for (const NamedRoutine& r : kRoutines) {
                SCOPED_TRACE(g.name + ", " + r.name + ", selector " + std::to_string(static_cast<int>(selector)));
                EXPECT_LT(rel(r.f(solver, g.T, g.p, g.x, selector, Basis::molar), want.props.*r.molar), 1e-12);
                EXPECT_LT(rel(r.f(solver, g.T, g.p, g.x, selector, Basis::mass), want_mass.*r.mass), 1e-12);
            }
        }
    }
}

TEST(PropertyRoutines, TwoPhaseWholeMixesThePhases) {
    const GasState g = states().back();
    EquilibriumSolver solver;
    const double Z = z_tp(solver, g.T, g.p, g.x, Selector::overall);
    const EquilibriumResult eq = solver.result();
    ASSERT_TRUE(eq.two_phase());
    const double beta = eq.beta;
    EXPECT_LT(rel(Z, (1.0 - beta) * eq.liquid.Z + beta * eq.vapour.Z), 1e-13);
    // Mole-fraction weights on the molar basis, mass fractions on the mass basis.
    const double M1 = eq.liquid.record.residual.molar_mass, M2 = eq.vapour.record.residual.molar_mass;
    const double w2_mass = beta * M2 / ((1.0 - beta) * M1 + beta * M2);
    for (const Routine f : {Routine{h_tp}, Routine{s_tp}, Routine{u_tp}, Routine{cp_tp}, Routine{cv_tp}}) {
        const auto at = [&](Selector sel, Basis basis) { return f(solver, g.T, g.p, g.x, sel, basis); };
        const double p1 = at(Selector::liquid, Basis::molar), p2 = at(Selector::vapour, Basis::molar);
        const double m1 = at(Selector::liquid, Basis::mass), m2 = at(Selector::vapour, Basis::mass);
        for (auto [got, want] : {std::pair{at(Selector::overall, Basis::molar), (1 - beta) * p1 + beta * p2},
                                 {at(Selector::overall, Basis::mass), (1 - w2_mass) * m1 + w2_mass * m2}}) {
            EXPECT_NEAR(got, want, 1e-13 * (1 + std::fabs(want)));
        }
    }
    for (const auto f : {w_tp, kappa_tp, jt_tp}) EXPECT_EQ(f(solver, g.T, g.p, g.x, Selector::overall), kSentinelOverallUndefined);
}

// A record of an ideal gas: residual parts 0, (dp/dV')_T = -p^2/T.
PhaseRecord ideal_gas_record(double T, double p, double cp0_R, double M) {
    PhaseRecord r;
    r.residual.dpdV = -p * p / T;
    r.residual.dVdT = 1.0 / p;
    r.residual.dpdT = p / T;
    r.residual.molar_mass = M;
    r.ideal.cp0 = cp0_R;
    return r;
}

TEST(PhaseFormulas, NegativeOrUndefinedSquareOfTheSpeedOfSoundGivesNoSpeed) {
    PhaseRecord r = ideal_gas_record(300.0, 2.0, 4.5, 0.016);
    for (double dpdV : {+0.1, kNaN}) {  // pressure rising with volume: mechanically unstable
        r.residual.dpdV = dpdV;
        bool negative = false;
        const PhaseProperties v = phase_properties(r, 1.0, 150.0, 300.0, 2.0, Basis::molar, &negative);
        EXPECT_TRUE(std::isnan(v.w));
        EXPECT_EQ(negative, dpdV > 0.0);
    }
}

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

}  // namespace
}  // namespace ngtherm::properties
