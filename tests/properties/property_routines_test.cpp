#include "properties/property_routines.hpp"

#include <gtest/gtest.h>

#include <climits>
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
#include "test_support.hpp"

namespace ngtherm::properties {
namespace {

using equilibrium::EquilibriumResult;
using model::ResidualRecord;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kRMolarTest = 8.314472;  // J/(mol K)

double rel(double a, double b) { return std::fabs(a - b) / std::fabs(b); }

// Every routine behind one signature; those without a basis flag ignore it.
using Routine = std::function<double(EquilibriumSolver&, double, double, const Composition&,
                                     int, int)>;

struct NamedRoutine {
    std::string name;
    Routine f;
    bool has_basis;
};

std::vector<NamedRoutine> all_routines() {
    const auto no_basis = [](auto g) {
        return [g](EquilibriumSolver& s, double T, double p, const Composition& x, int sel, int) {
            return g(s, T, p, x, sel);
        };
    };
    return {{"z_tp", no_basis(z_tp), false},       {"rho_tp", rho_tp, true},
            {"u_tp", u_tp, true},                  {"h_tp", h_tp, true},
            {"s_tp", s_tp, true},                  {"cv_tp", cv_tp, true},
            {"cp_tp", cp_tp, true},                {"w_tp", no_basis(w_tp), false},
            {"kappa_tp", no_basis(kappa_tp), false}, {"jt_tp", no_basis(jt_tp), false}};
}

Composition natural_gas() {
    return test::composition({{"CH4", 0.90}, {"N2", 0.03}, {"CO2", 0.02}, {"C2H6", 0.04},
                              {"C3H8", 0.01}});
}

// Splits into two phases at 240 K and 4 MPa.
Composition rich_gas() {
    return test::composition({{"CH4", 0.86}, {"N2", 0.025}, {"C2H6", 0.06}, {"C3H8", 0.03},
                              {"nC4", 0.012}, {"iC4", 0.008}, {"nC5", 0.005}});
}
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
            {"published mixture 400 K 50 MPa", test::published_mixture(), 400.0, 50.0},
            {"methane 300 K 1 MPa", test::composition({{"CH4", 1.0}}), 300.0, 1.0},
            {"propane liquid 250 K 2 MPa", test::composition({{"C3H8", 1.0}}), 250.0, 2.0},
            {"rich gas 320 K 4 MPa", rich_gas(), 320.0, 4.0}};
}

TEST(PropertyRoutines, RejectSelectorFirstAndBasisFlagSecond) {
    struct Case {
        int selector, basis;
        double expected;
    };
    const std::vector<Case> cases = {
        {-1, 1, kSentinelPhaseSelector},     {3, 0, kSentinelPhaseSelector},
        {INT_MIN, 1, kSentinelPhaseSelector}, {INT_MAX, 1, kSentinelPhaseSelector},
        {-1, 2, kSentinelPhaseSelector},     {0, 2, kSentinelBasisFlag},
        {2, -1, kSentinelBasisFlag},         {1, INT_MIN, kSentinelBasisFlag}};
    EquilibriumSolver solver;
    for (const NamedRoutine& r : all_routines()) {
        for (const Case& c : cases) {
            SCOPED_TRACE(r.name + " selector " + std::to_string(c.selector) + " basis " +
                         std::to_string(c.basis));
            const double got = r.f(solver, 300.0, 5.0, natural_gas(), c.selector, c.basis);
            if (!r.has_basis && c.expected == kSentinelBasisFlag) {
                EXPECT_NE(got, c.expected);  // no flag to reject
            } else {
                EXPECT_EQ(got, c.expected);
            }
        }
    }
}

TEST(PropertyRoutines, ReturnTheSentinelOfTheMixtureSetUp) {
    Composition over_one = test::composition({{"CH4", 1.0000005}});
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
            EXPECT_EQ(r.f(solver, c.T, c.p, c.x, 0, properties::kBasisMass), c.expected);
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
            for (int selector = 0; selector <= 2; ++selector) {
                SCOPED_TRACE(g.name + ", " + routines[k].name + ", selector " +
                             std::to_string(selector));
                const double molar =
                    routines[k].f(solver, g.T, g.p, g.x, selector, properties::kBasisMolar);
                const double mass = routines[k].f(solver, g.T, g.p, g.x, selector, properties::kBasisMass);
                EXPECT_FALSE(solver.result().two_phase());
                EXPECT_LT(rel(molar, expected[k].molar), 1e-12) << molar;
                EXPECT_LT(rel(mass, expected[k].mass), 1e-12) << mass;
            }
        }
    }
}

TEST(PropertyRoutines, MassDensityIsThousandTimesMolarMassTimesMolarDensity) {
    EquilibriumSolver solver;
    for (const GasState& g : single_phase_states()) {
        SCOPED_TRACE(g.name);
        const double M = properties::set_mixture(properties::kModeTemperaturePressure, g.T, g.p, g.x).M;
        const double molar = rho_tp(solver, g.T, g.p, g.x, 0, properties::kBasisMolar);
        const double mass = rho_tp(solver, g.T, g.p, g.x, 0, properties::kBasisMass);
        EXPECT_LT(rel(mass, 1000.0 * M * molar), 1e-14);
    }
}

TEST(PropertyRoutines, InternalEnergyIsEnthalpyMinusRTZForEveryStateSelectorAndBasis) {
    std::vector<GasState> states = single_phase_states();
    states.push_back({"rich gas split", rich_gas(), kSplitT, kSplitP});
    EquilibriumSolver solver;
    for (const GasState& g : states) {
        for (int selector = 0; selector <= 2; ++selector) {
            for (int basis : {properties::kBasisMolar, properties::kBasisMass}) {
                SCOPED_TRACE(g.name + " selector " + std::to_string(selector) + " basis " +
                             std::to_string(basis));
                // The gas constant of the value: the ratio of the densities gives M.
                const double rho_molar = rho_tp(solver, g.T, g.p, g.x, selector, 0);
                const double rho_basis = rho_tp(solver, g.T, g.p, g.x, selector, basis);
                const double M = rho_basis / (1000.0 * rho_molar);
                const double R = basis == properties::kBasisMolar ? kRMolarTest : 0.008314472 / M;
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
    z_tp(solver, kSplitT, kSplitP, rich_gas(), 0);
    Split s{solver.result(), 0.0, 0.0};
    s.M1 = s.eq.rec1[16];
    s.M2 = s.eq.rec2[16];
    return s;
}

TEST(PropertyRoutines, TwoPhaseSelectorsOneAndTwoGiveThePhaseValues) {
    EquilibriumSolver solver;
    const Split split = solve_split(solver);
    ASSERT_TRUE(split.eq.two_phase());
    const Composition x = rich_gas();
    for (int selector : {1, 2}) {
        const ResidualRecord& rec = selector == 1 ? split.eq.rec1 : split.eq.rec2;
        const double Z = selector == 1 ? split.eq.Z1 : split.eq.Z2;
        PhaseState state;
        state.props = phase_properties(rec, Z, kSplitT, kSplitP);
        state.molar_mass = rec[16];
        const std::vector<Expected> expected = expected_values(state);
        const std::vector<NamedRoutine> routines = all_routines();
        for (std::size_t k = 0; k < routines.size(); ++k) {
            SCOPED_TRACE(routines[k].name + " selector " + std::to_string(selector));
            const double molar = routines[k].f(solver, kSplitT, kSplitP, x, selector, 0);
            const double mass = routines[k].f(solver, kSplitT, kSplitP, x, selector, 1);
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
    const double Z = z_tp(solver, kSplitT, kSplitP, x, 0);
    EXPECT_LT(rel(Z, (1.0 - beta) * s.eq.Z1 + beta * s.eq.Z2), 1e-13);
    // cp and cv: mole-fraction weights on the molar basis, mass fractions on the mass basis.
    const double w2_mass = beta * s.M2 / ((1.0 - beta) * s.M1 + beta * s.M2);
    struct Weighted {
        std::string name;
        double (*f)(EquilibriumSolver&, double, double, const Composition&, int, int);
    };
    for (const Weighted& q : {Weighted{"cp", cp_tp}, Weighted{"cv", cv_tp}}) {
        SCOPED_TRACE(q.name);
        const double p1 = q.f(solver, kSplitT, kSplitP, x, 1, 0);
        const double p2 = q.f(solver, kSplitT, kSplitP, x, 2, 0);
        const double m1 = q.f(solver, kSplitT, kSplitP, x, 1, 1);
        const double m2 = q.f(solver, kSplitT, kSplitP, x, 2, 1);
        EXPECT_LT(rel(q.f(solver, kSplitT, kSplitP, x, 0, 0), (1 - beta) * p1 + beta * p2), 1e-13);
        EXPECT_LT(rel(q.f(solver, kSplitT, kSplitP, x, 0, 1), (1 - w2_mass) * m1 + w2_mass * m2),
                  1e-13);
    }
    EXPECT_EQ(w_tp(solver, kSplitT, kSplitP, x, 0), kSentinelOverallUndefined);
    EXPECT_EQ(kappa_tp(solver, kSplitT, kSplitP, x, 0), kSentinelOverallUndefined);
    EXPECT_EQ(jt_tp(solver, kSplitT, kSplitP, x, 0), kSentinelOverallUndefined);
}

TEST(PropertyRoutines, RepeatedRequestIsAnsweredFromTheCacheWithTheSameValue) {
    EquilibriumSolver solver;
    const double first = h_tp(solver, 300.0, 5.0, natural_gas(), 0, 1);
    const long evaluations = solver.evaluations();
    EXPECT_EQ(h_tp(solver, 300.0, 5.0, natural_gas(), 0, 1), first);
    EXPECT_EQ(cp_tp(solver, 300.0, 5.0, natural_gas(), 0, 1),
              cp_tp(solver, 300.0, 5.0, natural_gas(), 0, 1));
    EXPECT_EQ(solver.evaluations(), evaluations);
    EXPECT_TRUE(solver.result().from_cache);
}

TEST(PropertyRoutines, LowPressureGasApproachesTheIdealGasSpeedOfSoundAndExponent) {
    EquilibriumSolver solver;
    const Composition x = natural_gas();
    const double T = 300.0, p = 1e-6;
    const double M = properties::set_mixture(properties::kModeTemperaturePressure, T, p, x).M;
    const double gamma = cp_tp(solver, T, p, x, 0, 0) / cv_tp(solver, T, p, x, 0, 0);
    const double w = w_tp(solver, T, p, x, 0);
    EXPECT_LT(rel(w * w, gamma * kRMolarTest * T / M), 1e-6);
    EXPECT_LT(rel(kappa_tp(solver, T, p, x, 0), gamma), 1e-6);
}

// A record of an ideal gas: residual slots 0, (dp/dV')_T = -p^2/T.
ResidualRecord ideal_gas_record(double T, double p, double cp0_R, double M) {
    ResidualRecord r;
    r[8] = -p * p / T;
    r[9] = 1.0 / p;
    r[11] = p / T;
    r[15] = cp0_R;
    r[16] = M;
    return r;
}

TEST(SpeedOfSound, IdealGasRecordGivesGammaRTOverM) {
    const double T = 300.0, p = 2.0, cp0_R = 4.5, M = 0.016;
    const ResidualRecord r = ideal_gas_record(T, p, cp0_R, M);
    const double gamma = cp0_R / (cp0_R - 1.0);
    EXPECT_LT(rel(speed_of_sound(r, T / p), std::sqrt(gamma * kRMolarTest * T / M)), 1e-15);
}

TEST(SpeedOfSound, NegativeOrUndefinedSquareGivesItsSentinel) {
    ResidualRecord r = ideal_gas_record(300.0, 2.0, 4.5, 0.016);
    r[8] = +0.1;  // pressure rising with volume: mechanically unstable
    EXPECT_EQ(speed_of_sound(r, 150.0), kSentinelNegativeSoundSquare);
    r[8] = kNaN;
    EXPECT_EQ(speed_of_sound(r, 150.0), kSentinelNegativeSoundSquare);
}

TEST(MixPhases, WeighsByMoleFractionOrMassFractionAndLeavesTheRestUndefined) {
    const ResidualRecord r1 = ideal_gas_record(300.0, 2.0, 4.5, 0.016);
    const ResidualRecord r2 = ideal_gas_record(300.0, 2.0, 9.0, 0.044);
    const double beta = 0.25;
    const MixedProperties molar = mix_phases(beta, 1.0 - beta, r1, r2, properties::kBasisMolar);
    EXPECT_DOUBLE_EQ(molar.cp, kRMolarTest * (0.75 * 4.5 + 0.25 * 9.0));
    EXPECT_DOUBLE_EQ(molar.cv, kRMolarTest * (0.75 * 3.5 + 0.25 * 8.0));
    // Mass fraction of phase 2: 0.25 * 0.044 / (0.75 * 0.016 + 0.25 * 0.044).
    const double w2 = 0.011 / 0.023;
    const MixedProperties mass = mix_phases(beta, 1.0 - beta, r1, r2, properties::kBasisMass);
    const double R1 = 0.008314472 / 0.016, R2 = 0.008314472 / 0.044;
    EXPECT_DOUBLE_EQ(mass.cp, (1 - w2) * R1 * 4.5 + w2 * R2 * 9.0);
    EXPECT_DOUBLE_EQ(mass.cv, (1 - w2) * R1 * 3.5 + w2 * R2 * 8.0);
    for (const MixedProperties& m : {molar, mass}) {
        EXPECT_EQ(m.w, kSentinelOverallUndefined);
        EXPECT_EQ(m.kappa, kSentinelOverallUndefined);
        EXPECT_EQ(m.jt, kSentinelOverallUndefined);
    }
}

}  // namespace
}  // namespace ngtherm::properties
