#include "model/mixstate.hpp"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace ngtherm::model {
namespace {

struct Evaluation {
    MixResult result;
    FugacitySet fug;
    ResidualProperties rec;
};

Evaluation evaluate(const test::ModelSetup& m, const std::vector<double>& x, double T, double p, RootPreference root,
                    MixRequest req = {Fugacity::ln_phi_and_matrix, TpDerivatives::second}) {
    Evaluation e;
    CompositionState scratch;
    e.result = mixstate(m.set, scratch, req, root, T, p, x.data(), &e.fug, e.rec);
    return e;
}

struct FugacityCase {
    const char* name;
    Composition x;
    double T, p;
    RootPreference root;
};

std::vector<FugacityCase> fugacity_cases() {
    return {
        {"published mixture, dense gas", test::published_mixture(), 400.0, 50.0, RootPreference::stable},
        {"natural gas, pipeline", test::natural_gas_11(), 280.0, 7.0, RootPreference::stable},
        {"methane-propane, liquid", test::composition({{"CH4", 0.3}, {"C3H8", 0.7}}), 230.0, 3.0, RootPreference::liquid},
        {"methane-propane, vapour", test::composition({{"CH4", 0.95}, {"C3H8", 0.05}}), 230.0, 3.0, RootPreference::vapour},
        {"hydrogen blend", test::composition({{"CH4", 0.7}, {"H2", 0.2}, {"CO2", 0.05}, {"N2", 0.05}}), 300.0, 10.0,
         RootPreference::stable},
    };
}

// Gibbs-Duhem, symmetry, and the mixture identity sum x_i ln phi_i = a + delta a_d - ln Z.
TEST(MixState, FugacitySetSatisfiesTheThermodynamicIdentities) {
    for (const FugacityCase& c : fugacity_cases()) {
        const test::ModelSetup m(c.x);
        const Evaluation e = evaluate(m, m.x, c.T, c.p, c.root);
        ASSERT_TRUE(e.result.ok()) << c.name;
        const int n = m.set.n;
        double mix = 0.0;
        for (int i = 0; i < n; ++i) {
            mix += m.comp.x[i] * e.fug.lnphi[i];
            double gd = 0.0;
            for (int j = 0; j < n; ++j) {
                gd += m.comp.x[j] * e.fug.dlnphidn[i][j];
                EXPECT_EQ(e.fug.dlnphidn[i][j], e.fug.dlnphidn[j][i]);
            }
            EXPECT_NEAR(gd, 0.0, 1e-10) << c.name << " row " << i;
        }
        const HelmholtzDerivs& d = e.result.ar;
        EXPECT_NEAR(mix, d.a + e.result.delta * d.a_d - std::log(e.result.Z), 1e-12) << c.name;
    }
}

TEST(MixState, FugacityDerivativesAgreeWithCentralDifferences) {
    for (const FugacityCase& c : fugacity_cases()) {
        const test::ModelSetup m(c.x);
        const int n = m.set.n;
        const Evaluation e = evaluate(m, m.x, c.T, c.p, c.root);
        const double hT = 1e-4 * c.T, hp = 1e-5 * c.p;
        const Evaluation tu = evaluate(m, m.x, c.T + hT, c.p, c.root), td = evaluate(m, m.x, c.T - hT, c.p, c.root);
        const Evaluation pu = evaluate(m, m.x, c.T, c.p + hp, c.root), pd = evaluate(m, m.x, c.T, c.p - hp, c.root);
        for (int i = 0; i < n; ++i) {
            const double fdT = (tu.fug.lnphi[i] - td.fug.lnphi[i]) / (2 * hT);
            const double fdp = (pu.fug.lnphi[i] - pd.fug.lnphi[i]) / (2 * hp);
            EXPECT_NEAR(e.fug.dlnphidT[i], fdT, 1e-6 * (1 + std::fabs(fdT))) << c.name << " i=" << i;
            EXPECT_NEAR(e.fug.dlnphidp[i], fdp, 1e-6 * (1 + std::fabs(fdp))) << c.name << " i=" << i;
        }
        // n d ln phi_i / d n_j: add and remove a little of component j (total amount 1).
        for (int j = 0; j < n; ++j) {
            const double h = 1e-6;
            std::vector<double> up(m.comp.x.begin(), m.comp.x.begin() + n), dn = up;
            up[j] += h;
            dn[j] -= h;
            const Evaluation eu = evaluate(m, up, c.T, c.p, c.root), ed = evaluate(m, dn, c.T, c.p, c.root);
            for (int i = 0; i < n; ++i) {
                const double fd = (eu.fug.lnphi[i] - ed.fug.lnphi[i]) / (2 * h);
                EXPECT_NEAR(e.fug.dlnphidn[i][j], fd, 2e-5 * (1 + std::fabs(fd))) << c.name << " " << i << "," << j;
            }
        }
    }
}

TEST(MixState, ResidualPropertiesAgreeWithDifferencesOfTheState) {
    const test::ModelSetup m(test::natural_gas_11());
    const double T = 260.0, p = 8.0;
    const Evaluation e = evaluate(m, m.x, T, p, RootPreference::stable, {Fugacity::none, TpDerivatives::second});
    const double V = 1.0 / (kR * e.result.rho);
    const double h = 1e-4;
    const Evaluation up = evaluate(m, m.x, T + h, p, RootPreference::stable, {Fugacity::none, TpDerivatives::second});
    const Evaluation dn = evaluate(m, m.x, T - h, p, RootPreference::stable, {Fugacity::none, TpDerivatives::second});
    const double dVdT = (1.0 / (kR * up.result.rho) - 1.0 / (kR * dn.result.rho)) / (2 * h);
    EXPECT_NEAR(e.rec.dVdT, dVdT, 1e-6 * std::fabs(dVdT));
    EXPECT_NEAR(e.rec.V_minus_TdVdT, V - T * dVdT, 1e-6 * std::fabs(V));
    // cp_r/R from the enthalpy: d(h_r/R)/dT = cp_r/R.
    EXPECT_NEAR(e.rec.cp_r, (up.rec.h_r - dn.rec.h_r) / (2 * h), 1e-6 * (1 + std::fabs(e.rec.cp_r)));
    // (dp/dV')_T and (dp/dT)_rho from the pressure function.
    const double rho = e.result.rho, dr = 1e-6 * rho;
    const double dpdrho = (pressure(m.set, m.comp, T, rho + dr) - pressure(m.set, m.comp, T, rho - dr)) / (2 * dr);
    EXPECT_NEAR(e.rec.dpdV, -kR * rho * rho * dpdrho, 1e-7 * std::fabs(e.rec.dpdV));
    const double dpdT = (pressure(m.set, m.comp, T + h, rho) - pressure(m.set, m.comp, T - h, rho)) / (2 * h);
    EXPECT_NEAR(e.rec.dpdT, dpdT, 1e-7 * std::fabs(dpdT));
    EXPECT_NEAR(e.rec.molar_mass, m.comp.molar_mass, 0.0);
}

TEST(MixState, FractionsAreNormalisedBeforeUse) {
    const test::ModelSetup m(test::composition({{"CH4", 0.5}, {"C2H6", 0.5}}));
    const Evaluation a = evaluate(m, {0.5, 0.6}, 250.0, 5.0, RootPreference::stable);
    const Evaluation b = evaluate(m, {0.5 / 1.1, 0.6 / 1.1}, 250.0, 5.0, RootPreference::stable);
    EXPECT_NEAR(a.result.rho, b.result.rho, 1e-13 * b.result.rho);
    EXPECT_NEAR(a.fug.lnphi[1], b.fug.lnphi[1], 1e-13);
    EXPECT_NEAR(a.fug.dlnphidn[0][1], b.fug.dlnphidn[0][1], 1e-12);
}

TEST(MixState, OneComponentUsesThePureFluidFormulasAndWritesNoMatrix) {
    const test::ModelSetup m(test::composition({{"CH4", 1.0}}));
    Evaluation e;
    e.fug.dlnphidn[0][0] = 42.0;
    CompositionState scratch;
    e.result = mixstate(m.set, scratch, {Fugacity::ln_phi_and_matrix, TpDerivatives::second}, RootPreference::stable, 200.0, 3.0, m.x.data(), &e.fug, e.rec);
    const HelmholtzDerivs& d = e.result.ar;
    const double delta = e.result.delta, tau = e.result.tau;
    EXPECT_NEAR(e.fug.lnphi[0], d.a + delta * d.a_d - std::log(e.result.Z), 1e-15);
    EXPECT_NEAR(e.fug.dlnphidT[0], -(delta * d.a_d + tau * d.a_t) / 200.0, 1e-15);
    EXPECT_NEAR(e.fug.dlnphidp[0], 1.0 / (kR * e.result.rho) / 200.0 - 1.0 / 3.0, 1e-15);
    EXPECT_EQ(e.fug.dlnphidn[0][0], 42.0);
}

TEST(MixState, SideFollowsTheRootFoundWhateverThePreference) {
    const test::ModelSetup m(test::composition({{"CO2", 1.0}}));
    ResidualProperties rec;
    CompositionState scratch;
    auto side = [&](RootPreference root, double p) {
        return mixstate(m.set, scratch, {}, root, 270.0, p, m.x.data(), nullptr, rec).side;
    };
    // 270 K: 2 MPa is below and 20 MPa above the saturation pressure of about 3.2 MPa.
    EXPECT_EQ(side(RootPreference::stable, 2.0), Side::vapour_like);
    EXPECT_EQ(side(RootPreference::stable, 20.0), Side::liquid_like);
    EXPECT_EQ(side(RootPreference::liquid, 2.0), Side::liquid_like);  // the metastable liquid root
    EXPECT_EQ(side(RootPreference::vapour, 2.0), Side::vapour_like);
    EXPECT_EQ(side(RootPreference::vapour, 20.0), Side::liquid_like);  // only a liquid-like root exists
}

TEST(MixState, IdealGasLimitAtVeryLowPressure) {
    const test::ModelSetup m(test::natural_gas_11());
    const double p = 1e-9;
    const Evaluation e = evaluate(m, m.x, 300.0, p, RootPreference::stable);
    ASSERT_TRUE(e.result.ok());
    EXPECT_NEAR(e.result.Z, 1.0, 1e-10);
    for (int i = 0; i < m.set.n; ++i) EXPECT_NEAR(e.fug.lnphi[i], 0.0, 1e-9);
    // 1/p - (dV'/dT)_p stays finite while both terms grow as 1/p.
    EXPECT_LT(std::fabs(e.rec.inv_p_minus_dVdT), 1e-8 / p);
}

TEST(MixState, InvalidTemperatureOrPressureIsReportedNotEvaluated) {
    const test::ModelSetup m(test::natural_gas_11());
    ResidualProperties rec;
    CompositionState scratch;
    for (auto [T, p] : {std::pair{-1.0, 1.0}, {300.0, -2.0}, {NAN, 1.0}, {300.0, INFINITY}, {0.0, 1.0}}) {
        EXPECT_EQ(mixstate(m.set, scratch, {}, RootPreference::stable, T, p, m.x.data(), nullptr, rec).status, DensityStatus::bad_input);
    }
}

}  // namespace
}  // namespace ngtherm::model
