#include "ngtherm/state.hpp"

#include <cmath>
#include <string>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "model/mixstate.hpp"
#include "support/gases.hpp"
#include "support/reference_values.hpp"

namespace ngtherm {
namespace {

double rel(double a, double b) { return std::fabs(a - b) / std::fabs(b); }

TEST(SinglePhaseState, AgreesWithTheReferenceValuesOfEveryGasAndState) {
    int checked = 0;
    for (const auto& [gas, data] : test::reference_values()["single_phase"].items()) {
        const test::Gas g = test::gas_from_json(gas, data["mole_fractions"]);
        const test::ModelFeed m(g);
        const Mixture mix(g.fractions());
        for (const auto& st : data["states"]) {
            const double T = st["T_K"], p = st["p_MPa"];
            const std::string where = gas + " " + std::to_string(T) + " K " + std::to_string(p) + " MPa";
            const PhaseState s = single_phase_state(mix, T, p, Root::stable);
            ASSERT_TRUE(s.ok()) << where;
            EXPECT_LT(rel(s.molar_mass, st["M_kg_per_mol"]), 1e-14) << where;
            // Relative tolerance, absolute for the caloric values with their arbitrary zero.
            for (auto [name, got, rel_tol, abs_tol] :
                 {std::tuple{"rho_mol_per_dm3", s.props.rho, 1e-11, 1e-13}, {"Z", s.props.Z, 1e-11, 1e-13},
                  {"cv_J_per_mol_K", s.props.cv, 1e-11, 1e-13}, {"cp_J_per_mol_K", s.props.cp, 1e-11, 1e-13},
                  {"w_m_per_s", s.props.w, 1e-11, 1e-13}, {"kappa", s.props.kappa, 1e-11, 1e-13},
                  {"jt_K_per_MPa", s.props.jt, 1e-11, 1e-13}, {"u_J_per_mol", s.props.u, 0.0, 1e-7},
                  {"h_J_per_mol", s.props.h, 0.0, 1e-7}, {"s_J_per_mol_K", s.props.s, 0.0, 1e-9}}) {
                const double want = st[name];
                EXPECT_NEAR(got, want, rel_tol * std::fabs(want) + abs_tol) << where << " " << name;
            }
            model::FugacitySet fug;
            model::ResidualProperties rec;
            model::CompositionState scratch;
            model::mixstate(m.set, scratch, {model::Fugacity::ln_phi, model::TpDerivatives::none},
                            model::RootPreference::stable, T, p, m.x.data(), &fug, rec);
            for (int k = 0; k < m.set.n; ++k) {
                const std::string id(component_id(m.set.id[k]));
                EXPECT_NEAR(fug.lnphi[k], st["ln_phi"][id].get<double>(), 1e-11) << where << " " << id;
            }
            ++checked;
        }
    }
    EXPECT_GE(checked, 15);
}

TEST(SinglePhaseState, RootChoiceSelectsTheRequestedBranch) {
    const Mixture co2(test::Gas{"co2", {{"CO2", 100}}}.fractions());
    const PhaseState liquid = single_phase_state(co2, 270.0, 2.0, Root::liquid);
    const PhaseState vapour = single_phase_state(co2, 270.0, 2.0, Root::vapour);
    EXPECT_TRUE(liquid.side == Side::liquid_like && vapour.side == Side::vapour_like);
    EXPECT_GT(liquid.props.rho, 10.0 * vapour.props.rho);
    EXPECT_EQ(single_phase_state(co2, 270.0, 2.0, Root::stable).props.rho, vapour.props.rho);
    // Where the vapour branch ends below p, a root of the equation further up
    // is no vapour: water at 300 K and 1 MPa, methane at 100 K and 1 MPa.
    for (const auto& [id, T] : {std::pair{"H2O", 300.0}, {"CH4", 100.0}}) {
        const Mixture pure(test::Gas{id, {{id, 100}}}.fractions());
        EXPECT_EQ(single_phase_state(pure, T, 1.0, Root::vapour).status, StateStatus::no_such_root) << id;
        EXPECT_TRUE(single_phase_state(pure, T, 1.0, Root::liquid).ok()) << id;
    }
}

// Z - 1 is the second virial term B p / (R T) at low pressure: exact to
// rounding against the straight line through the value at 1e-8 MPa, from the
// lowest to the highest temperature of the general limits.
TEST(SinglePhaseState, LowPressureZIsTheVirialLimitToRounding) {
    const Mixture mix(test::pipeline_gas().fractions());
    for (double T : {61.0, 100.0, 300.0, 1200.0, 2000.0}) {
        const double slope = (single_phase_state(mix, T, 1e-8).props.Z - 1.0) / 1e-8;
        for (double p : {1e-9, 3e-9, 1e-7}) {
            const PhaseState s = single_phase_state(mix, T, p);
            ASSERT_TRUE(s.ok()) << T << " K " << p << " MPa";
            EXPECT_NEAR(s.props.Z, 1.0 + slope * p, 1e-12) << T << " K " << p << " MPa";
            EXPECT_EQ(s.side, Side::vapour_like);
        }
    }
}

TEST(SinglePhaseState, RejectsInputNoCalculationCanStartFrom) {
    Composition bad = test::lean_gas_11().fractions();
    for (double v : {-0.01, std::nan("")}) {
        bad[3] = v;
        EXPECT_THROW(Mixture{bad}, InputError);
    }
    // A component counts from a fraction of 1e-8 on: alone it is the whole mixture.
    Composition trace{};
    trace[0] = kMinActiveFraction;
    EXPECT_EQ(Mixture{trace}.active_count(), 1);
    trace[0] = std::nextafter(kMinActiveFraction, 0.0);
    EXPECT_THROW(Mixture{trace}, InputError);
    const Mixture mix(test::lean_gas_11().fractions());
    // The general limits of the C functions, and the lowest pressure evaluated.
    for (auto [T, p] : {std::pair{NAN, 5.0}, {300.0, INFINITY}, {-4.0, 5.0}, {300.0, 0.0}, {60.0, 5.0},
                        {2000.5, 5.0}, {300.0, 1000.5}, {300.0, 0.99e-9}}) {
        EXPECT_THROW(single_phase_state(mix, T, p), InputError) << T << " K " << p << " MPa";
    }
    EXPECT_NO_THROW(check_state_limits(60.5, 1e-9));
    EXPECT_NO_THROW(check_state_limits(2000.0, 1000.0));
}

TEST(SinglePhaseState, MixtureDropsTracesAndNormalises) {
    Composition x = test::lean_gas_11().fractions();
    for (double& v : x) v *= 2.0;
    x[20] = 9.9e-9;  // argon below the active threshold
    const Mixture mix(x);
    EXPECT_EQ(mix.active_count(), 11);
    EXPECT_EQ(mix.fractions()[20], 0.0);
    double sum = 0.0;
    for (double v : mix.fractions()) sum += v;
    EXPECT_NEAR(sum, 1.0, 1e-15);
}

}  // namespace
}  // namespace ngtherm
