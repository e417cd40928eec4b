#include "properties/property_routines.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "api/composition.hpp"
#include "properties/mixture_setup.hpp"
#include "api/status_codes.hpp"
#include "ngtherm/state.hpp"
#include "properties/phase_formulas.hpp"
#include "support/gases.hpp"

namespace ngtherm::properties {
namespace {

using equilibrium::EquilibriumResult;
using model::PhaseRecord;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kRMolarTest = 8.314472;  // J/(mol K)

double rel(double a, double b) { return std::fabs(a - b) / std::fabs(b); }

// Every routine behind one signature; those without a basis ignore it.
using Routine = std::function<double(EquilibriumSolver&, double, double, const Composition&,
                                     Selector, Basis)>;
constexpr Selector kSelectors[] = {Selector::overall, Selector::liquid, Selector::vapour};
constexpr Basis kBases[] = {Basis::molar, Basis::mass};

struct NamedRoutine {
    std::string name;
    Routine f;
    bool has_basis;
};

std::vector<NamedRoutine> all_routines() {
    const auto no_basis = [](auto g) {
        return [g](EquilibriumSolver& s, double T, double p, const Composition& x, Selector sel, Basis) {
            return g(s, T, p, x, sel);
        };
    };
    return {{"z_tp", no_basis(z_tp), false},       {"rho_tp", rho_tp, true},
            {"u_tp", u_tp, true},                  {"h_tp", h_tp, true},
            {"s_tp", s_tp, true},                  {"cv_tp", cv_tp, true},
            {"cp_tp", cp_tp, true},                {"w_tp", no_basis(w_tp), false},
            {"kappa_tp", no_basis(kappa_tp), false}, {"jt_tp", no_basis(jt_tp), false}};
}

Composition natural_gas() { return test::pipeline_gas().fractions(); }
// Splits into two phases at 240 K and 4 MPa.
Composition rich_gas() { return test::rich_gas_7().fractions(); }
constexpr double kSplitT = 240.0, kSplitP = 4.0;

struct GasState {
    std::string name;
    Composition x;
    double T, p;
};

// Single-phase states: gas, dense gas, liquid-like pure fluid, pure fluid gas.
std::vector<GasState> single_phase_states() {
    return {{"natural gas 300 K 5 MPa", natural_gas(), 300.0, 5.0},
            {"natural gas 250 K 30 MPa", natural_gas(), 250.0, 30.0},
            {"published mixture 400 K 50 MPa", test::published_mixture().fractions(), 400.0, 50.0},
            {"methane 300 K 1 MPa", test::Gas{"", {{"CH4", 100}}}.fractions(), 300.0, 1.0},
            {"propane liquid 250 K 2 MPa", test::Gas{"", {{"C3H8", 100}}}.fractions(), 250.0, 2.0},
            {"rich gas 320 K 4 MPa", rich_gas(), 320.0, 4.0}};
}

TEST(PropertyRoutines, ReturnTheSentinelOfTheMixtureSetUp) {
    Composition over_one{};
    over_one[0] = 1.0000005;
    Composition negative = natural_gas();
    negative[1] = -0.01;
    negative[0] += 0.04;
    Composition not_a_number = natural_gas();
    not_a_number[3] = kNaN;
    Composition short_sum = natural_gas();
    short_sum[0] -= 0.01;
    struct Case {
        std::string what;
        Composition x;
        double T, p, expected;
    };
    const std::vector<Case> cases = {
        {"fraction above 1", over_one, 300.0, 5.0, kSentinelBadFraction},
        {"negative fraction", negative, 300.0, 5.0, kSentinelBadFraction},
        {"NaN fraction", not_a_number, 300.0, 5.0, kSentinelBadFraction},
        {"sum 0.99", short_sum, 300.0, 5.0, kSentinelFractionSum},
        {"T below 2.1768 K", natural_gas(), 2.0, 5.0, kSentinelTemperatureRange},
        {"T above 5000 K", natural_gas(), 5000.5, 5.0, kSentinelTemperatureRange},
        {"NaN T", natural_gas(), kNaN, 5.0, kSentinelTemperatureRange},
        {"p below 1e-9 MPa", natural_gas(), 300.0, 5e-10, kSentinelPressureRange},
        {"p above 2500 MPa", natural_gas(), 300.0, 2500.5, kSentinelPressureRange},
        {"infinite p", natural_gas(), 300.0, kInf, kSentinelPressureRange},
    };
    EquilibriumSolver solver;
    for (const NamedRoutine& r : all_routines()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(r.name + ": " + c.what);
            EXPECT_EQ(r.f(solver, c.T, c.p, c.x, Selector::overall, Basis::mass), c.expected);
        }
    }
}

// Each routine's value next to the single-phase state, molar and mass basis.
struct Expected {
    std::string name;
    double molar, mass;
};

std::vector<Expected> expected_values(const PhaseState& s) {
    const PhaseProperties& m = s.props;
    const MassProperties k = to_mass_basis(m, s.molar_mass);
    return {{"z_tp", m.Z, k.Z},       {"rho_tp", m.rho, k.rho}, {"u_tp", m.u, k.u},
            {"h_tp", m.h, k.h},       {"s_tp", m.s, k.s},       {"cv_tp", m.cv, k.cv},
            {"cp_tp", m.cp, k.cp},    {"w_tp", m.w, k.w},       {"kappa_tp", m.kappa, k.kappa},
            {"jt_tp", m.jt, k.jt}};
}

TEST(PropertyRoutines, SinglePhaseValuesEqualTheSinglePhaseStateForEverySelector) {
    EquilibriumSolver solver;
    const std::vector<NamedRoutine> routines = all_routines();
    for (const GasState& g : single_phase_states()) {
        const PhaseState state = single_phase_state(Mixture(g.x), g.T, g.p);
        ASSERT_TRUE(state.ok()) << g.name;
        const std::vector<Expected> expected = expected_values(state);
        for (std::size_t k = 0; k < routines.size(); ++k) {
            for (Selector selector : kSelectors) {
                SCOPED_TRACE(g.name + ", " + routines[k].name + ", selector " +
                             std::to_string(static_cast<int>(selector)));
                const double molar = routines[k].f(solver, g.T, g.p, g.x, selector, Basis::molar);
                const double mass = routines[k].f(solver, g.T, g.p, g.x, selector, Basis::mass);
                EXPECT_FALSE(solver.result().two_phase());
                EXPECT_LT(rel(molar, expected[k].molar), 1e-12) << molar;
                EXPECT_LT(rel(mass, expected[k].mass), 1e-12) << mass;
            }
        }
    }
}

TEST(PropertyRoutines, InternalEnergyIsEnthalpyMinusRTZForEveryStateSelectorAndBasis) {
    std::vector<GasState> states = single_phase_states();
    states.push_back({"rich gas split", rich_gas(), kSplitT, kSplitP});
    EquilibriumSolver solver;
    for (const GasState& g : states) {
        for (Selector selector : kSelectors) {
            for (Basis basis : kBases) {
                SCOPED_TRACE(g.name + " selector " + std::to_string(static_cast<int>(selector)) +
                             " basis " + std::to_string(static_cast<int>(basis)));
                // The gas constant of the value: the ratio of the densities gives M.
                const double rho_molar = rho_tp(solver, g.T, g.p, g.x, selector, Basis::molar);
                const double rho_basis = rho_tp(solver, g.T, g.p, g.x, selector, basis);
                const double M = rho_basis / (1000.0 * rho_molar);
                const double R = basis == Basis::molar ? kRMolarTest : 0.008314472 / M;
                const double Z = z_tp(solver, g.T, g.p, g.x, selector);
                const double h = h_tp(solver, g.T, g.p, g.x, selector, basis);
                const double u = u_tp(solver, g.T, g.p, g.x, selector, basis);
                EXPECT_NEAR(u, h - R * g.T * Z, 1e-11 * std::fabs(R * g.T));
            }
        }
    }
}

struct Split {
    EquilibriumResult eq;
    double M1, M2;
};

Split solve_split(EquilibriumSolver& solver) {
    z_tp(solver, kSplitT, kSplitP, rich_gas(), Selector::overall);
    Split s{solver.result(), 0.0, 0.0};
    s.M1 = s.eq.liquid.record.residual.molar_mass;
    s.M2 = s.eq.vapour.record.residual.molar_mass;
    return s;
}

TEST(PropertyRoutines, TwoPhaseLiquidAndVapourSelectorsGiveThePhaseValues) {
    EquilibriumSolver solver;
    const Split split = solve_split(solver);
    ASSERT_TRUE(split.eq.two_phase());
    const Composition x = rich_gas();
    for (Selector selector : {Selector::liquid, Selector::vapour}) {
        const equilibrium::PhaseResult& phase =
            selector == Selector::liquid ? split.eq.liquid : split.eq.vapour;
        PhaseState state;
        state.props = phase_properties(split.eq, phase, Basis::molar);
        state.molar_mass = phase.record.residual.molar_mass;
        const std::vector<Expected> expected = expected_values(state);
        const std::vector<NamedRoutine> routines = all_routines();
        for (std::size_t k = 0; k < routines.size(); ++k) {
            SCOPED_TRACE(routines[k].name + " selector " + std::to_string(static_cast<int>(selector)));
            const double molar = routines[k].f(solver, kSplitT, kSplitP, x, selector, Basis::molar);
            const double mass = routines[k].f(solver, kSplitT, kSplitP, x, selector, Basis::mass);
            EXPECT_LT(rel(molar, expected[k].molar), 1e-13);
            EXPECT_LT(rel(mass, expected[k].mass), 1e-13);
        }
    }
}

TEST(PropertyRoutines, TwoPhaseWholeMixesThePhases) {
    EquilibriumSolver solver;
    const Split s = solve_split(solver);
    ASSERT_TRUE(s.eq.two_phase());
    const Composition x = rich_gas();
    const double beta = s.eq.beta;
    const double Z = z_tp(solver, kSplitT, kSplitP, x, Selector::overall);
    EXPECT_LT(rel(Z, (1.0 - beta) * s.eq.liquid.Z + beta * s.eq.vapour.Z), 1e-13);
    // cp and cv: mole-fraction weights on the molar basis, mass fractions on the mass basis.
    const double w2_mass = beta * s.M2 / ((1.0 - beta) * s.M1 + beta * s.M2);
    struct Weighted {
        std::string name;
        double (*f)(EquilibriumSolver&, double, double, const Composition&, Selector, Basis);
    };
    for (const Weighted& q : {Weighted{"cp", cp_tp}, Weighted{"cv", cv_tp}}) {
        SCOPED_TRACE(q.name);
        const auto at = [&](Selector sel, Basis basis) { return q.f(solver, kSplitT, kSplitP, x, sel, basis); };
        const double p1 = at(Selector::liquid, Basis::molar), p2 = at(Selector::vapour, Basis::molar);
        const double m1 = at(Selector::liquid, Basis::mass), m2 = at(Selector::vapour, Basis::mass);
        EXPECT_LT(rel(at(Selector::overall, Basis::molar), (1 - beta) * p1 + beta * p2), 1e-13);
        EXPECT_LT(rel(at(Selector::overall, Basis::mass), (1 - w2_mass) * m1 + w2_mass * m2), 1e-13);
    }
    EXPECT_EQ(w_tp(solver, kSplitT, kSplitP, x, Selector::overall), kSentinelOverallUndefined);
    EXPECT_EQ(kappa_tp(solver, kSplitT, kSplitP, x, Selector::overall), kSentinelOverallUndefined);
    EXPECT_EQ(jt_tp(solver, kSplitT, kSplitP, x, Selector::overall), kSentinelOverallUndefined);
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

TEST(PhaseFormulas, IdealGasRecordGivesGammaRTOverMAndNoJouleThomsonEffect) {
    const double T = 300.0, p = 2.0, cp0_R = 4.5, M = 0.016;
    const PhaseProperties v = phase_properties(ideal_gas_record(T, p, cp0_R, M), 1.0, T / p, T, p, Basis::molar);
    const double gamma = cp0_R / (cp0_R - 1.0);
    EXPECT_LT(rel(v.w, std::sqrt(gamma * kRMolarTest * T / M)), 1e-15);
    EXPECT_LT(rel(v.kappa, gamma), 1e-15);
    EXPECT_EQ(v.jt, 0.0);
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

}  // namespace
}  // namespace ngtherm::properties
