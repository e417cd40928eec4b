// The state of a mixture at (T, p): the fugacities and the residual record
// against differences and identities, the side of the root, the limits; then the
// density search below it.
#include "model/mixstate.hpp"
#include "model/density.hpp"

#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/gases.hpp"

namespace ngtherm::model {
namespace {

using test::Gas;
using test::ModelFeed;

struct Evaluation {
    MixResult result;
    FugacitySet fug;
    ResidualProperties rec;
};

Evaluation evaluate(const ModelFeed& m, const std::vector<double>& x, double T, double p, RootPreference root,
                    MixRequest req = {Fugacity::ln_phi_and_matrix, TpDerivatives::second}) {
    Evaluation e;
    CompositionState scratch;
    e.result = mixstate(m.set, scratch, req, root, T, p, x.data(), &e.fug, e.rec);
    return e;
}

struct FugacityCase { Gas gas; double T, p; RootPreference root; };

std::vector<FugacityCase> fugacity_cases() {
    return {{test::published_mixture(), 400.0, 50.0, RootPreference::stable},
            {test::lean_gas_11(), 280.0, 7.0, RootPreference::stable},
            {{"ch4_c3h8_liquid", {{"CH4", 30}, {"C3H8", 70}}}, 230.0, 3.0, RootPreference::liquid},
            {{"ch4_c3h8_vapour", {{"CH4", 95}, {"C3H8", 5}}}, 230.0, 3.0, RootPreference::vapour},
            {{"h2_blend_4", {{"CH4", 70}, {"H2", 20}, {"CO2", 5}, {"N2", 5}}}, 300.0, 10.0, RootPreference::stable},
            {{"methane", {{"CH4", 100}}}, 200.0, 3.0, RootPreference::stable}};
}

// Gibbs-Duhem, symmetry, and the mixture identity sum x_i ln phi_i = a + delta
// a_d - ln Z; and the derivatives against central differences. The amount
// derivatives come from fractions that do not sum to 1, so they also check that
// the fractions are normalised before use.
TEST(MixState, FugacitiesSatisfyTheThermodynamicIdentitiesAndTheirDerivativesAgreeWithCentralDifferences) {
    for (const FugacityCase& c : fugacity_cases()) {
        SCOPED_TRACE(c.gas.name);
        const ModelFeed m(c.gas);
        const int n = m.n();
        // First-order T and p derivatives are all a request for them needs.
        const Evaluation e = evaluate(m, m.x, c.T, c.p, c.root, {Fugacity::ln_phi_and_matrix, TpDerivatives::first});
        ASSERT_TRUE(e.result.ok());
        double mix = 0.0;
        for (int i = 0; i < n; ++i) {
            mix += m.comp.x[i] * e.fug.lnphi[i];
            double gd = 0.0;
            for (int j = 0; j < n; ++j) {
                gd += m.comp.x[j] * e.fug.dlnphidn[i][j];
                EXPECT_EQ(e.fug.dlnphidn[i][j], e.fug.dlnphidn[j][i]);
            }
            EXPECT_NEAR(gd, 0.0, 1e-10) << "row " << i;
        }
        EXPECT_NEAR(mix, e.result.ar.a + e.result.delta * e.result.ar.a_d - std::log(e.result.Z), 1e-12);
        const double hT = 1e-4 * c.T, hp = 1e-5 * c.p, h = 1e-6;
        const Evaluation tu = evaluate(m, m.x, c.T + hT, c.p, c.root), td = evaluate(m, m.x, c.T - hT, c.p, c.root),
                         pu = evaluate(m, m.x, c.T, c.p + hp, c.root), pd = evaluate(m, m.x, c.T, c.p - hp, c.root);
        for (int i = 0; i < n; ++i) {
            for (auto [got, fd] : {std::pair{e.fug.dlnphidT[i], (tu.fug.lnphi[i] - td.fug.lnphi[i]) / (2 * hT)},
                                   {e.fug.dlnphidp[i], (pu.fug.lnphi[i] - pd.fug.lnphi[i]) / (2 * hp)}}) {
                EXPECT_NEAR(got, fd, 1e-6 * (1 + std::fabs(fd))) << "i=" << i;
            }
        }
        for (int j = 0; j < n; ++j) {
            std::vector<double> up = m.x, dn = m.x;
            up[j] += h;
            dn[j] -= h;
            const Evaluation eu = evaluate(m, up, c.T, c.p, c.root), ed = evaluate(m, dn, c.T, c.p, c.root);
            for (int i = 0; i < n; ++i) {
                const double fd = (eu.fug.lnphi[i] - ed.fug.lnphi[i]) / (2 * h);
                EXPECT_NEAR(e.fug.dlnphidn[i][j], fd, 2e-5 * (1 + std::fabs(fd))) << i << "," << j;
            }
        }
    }
}

TEST(MixState, ResidualPropertiesAgreeWithDifferencesOfTheState) {
    const ModelFeed m(test::lean_gas_11());
    const double T = 260.0, p = 8.0, h = 1e-4;
    const MixRequest req{Fugacity::none, TpDerivatives::second};
    const Evaluation e = evaluate(m, m.x, T, p, RootPreference::stable, req),
                     up = evaluate(m, m.x, T + h, p, RootPreference::stable, req),
                     dn = evaluate(m, m.x, T - h, p, RootPreference::stable, req);
    const double V = 1.0 / (kR * e.result.rho);
    const double dVdT = (1.0 / (kR * up.result.rho) - 1.0 / (kR * dn.result.rho)) / (2 * h);
    EXPECT_NEAR(e.rec.dVdT, dVdT, 1e-6 * std::fabs(dVdT));
    EXPECT_NEAR(e.rec.V_minus_TdVdT, V - T * dVdT, 1e-6 * std::fabs(V));
    EXPECT_NEAR(e.rec.cp_r, (up.rec.h_r - dn.rec.h_r) / (2 * h), 1e-6 * (1 + std::fabs(e.rec.cp_r)));
    const double rho = e.result.rho, dr = 1e-6 * rho;
    const double dpdrho = (pressure(m.set, m.comp, T, rho + dr) - pressure(m.set, m.comp, T, rho - dr)) / (2 * dr);
    EXPECT_NEAR(e.rec.dpdV, -kR * rho * rho * dpdrho, 1e-7 * std::fabs(e.rec.dpdV));
    const double dpdT = (pressure(m.set, m.comp, T + h, rho) - pressure(m.set, m.comp, T - h, rho)) / (2 * h);
    EXPECT_NEAR(e.rec.dpdT, dpdT, 1e-7 * std::fabs(dpdT));
    EXPECT_EQ(e.rec.molar_mass, m.comp.molar_mass);
}

TEST(MixState, SideFollowsTheRootFoundWhateverThePreference) {
    const ModelFeed m(Gas{"co2", {{"CO2", 100}}});
    ResidualProperties rec;
    CompositionState scratch;
    auto side = [&](RootPreference root, double p) {
        return mixstate(m.set, scratch, {}, root, 270.0, p, m.x.data(), nullptr, rec).side;
    };
    // 270 K: 2 MPa is below and 20 MPa above the saturation pressure of about 3.2 MPa; at
    // 2 MPa the liquid root is metastable, at 20 MPa only a liquid-like root exists.
    using R = RootPreference;
    for (auto [root, p, want] : {std::tuple{R::stable, 2.0, Side::vapour_like}, {R::stable, 20.0, Side::liquid_like},
                                 {R::liquid, 2.0, Side::liquid_like}, {R::vapour, 2.0, Side::vapour_like},
                                 {R::vapour, 20.0, Side::liquid_like}}) {
        EXPECT_EQ(side(root, p), want) << p;
    }
}

TEST(MixState, IdealGasLimitAtVeryLowPressure) {
    const ModelFeed m(test::lean_gas_11());
    const double p = 1e-9;
    const Evaluation e = evaluate(m, m.x, 300.0, p, RootPreference::stable);
    ASSERT_TRUE(e.result.ok());
    EXPECT_NEAR(e.result.Z, 1.0, 1e-10);
    for (int i = 0; i < m.n(); ++i) EXPECT_NEAR(e.fug.lnphi[i], 0.0, 1e-9);
    // 1/p - (dV'/dT)_p stays finite while both terms grow as 1/p.
    EXPECT_LT(std::fabs(e.rec.inv_p_minus_dVdT), 1e-8 / p);
}

TEST(MixState, InvalidTemperatureOrPressureIsReportedNotEvaluated) {
    const ModelFeed m(test::lean_gas_11());
    ResidualProperties rec;
    CompositionState scratch;
    for (auto [T, p] : {std::pair{-1.0, 1.0}, {300.0, -2.0}, {NAN, 1.0}, {300.0, INFINITY}, {0.0, 1.0}}) {
        EXPECT_EQ(mixstate(m.set, scratch, {}, RootPreference::stable, T, p, m.x.data(), nullptr, rec).status,
                  DensityStatus::bad_input);
    }
}

// A scratch reuses the density of its last state; what it answers must be what a
// fresh scratch answers, also after another composition, another active set or
// a direct prepare has been through it.
TEST(MixState, ScratchAnswersAsAFreshOneWhateverWentThroughItBefore) {
    const ModelFeed m(test::lean_gas_11());
    const ModelFeed other(Gas{"other_11", {{"CH4", 80}, {"N2", 3}, {"CO2", 2}, {"C2H6", 6}, {"C3H8", 3},
                                           {"nC4", 1}, {"iC4", 1}, {"nC5", 1}, {"iC5", 1}, {"nC6", 1}, {"He", 1}}});
    ASSERT_EQ(other.n(), m.n());
    const std::vector<double> y(m.x.rbegin(), m.x.rend());
    constexpr MixRequest kLnPhi{Fugacity::ln_phi, TpDerivatives::none};
    constexpr MixRequest kAll{Fugacity::ln_phi_and_matrix, TpDerivatives::second};
    const double T = 280.0, p = 7.0;
    CompositionState scratch;
    Evaluation e;
    const auto check_against_fresh = [&](const ModelFeed& feed, const std::vector<double>& x, const char* step) {
        e.result = mixstate(feed.set, scratch, kAll, RootPreference::stable, T, p, x.data(), &e.fug, e.rec);
        const Evaluation fresh = evaluate(feed, x, T, p, RootPreference::stable, kAll);
        ASSERT_TRUE(fresh.result.ok()) << step;
        EXPECT_EQ(e.result.rho, fresh.result.rho) << step;
        EXPECT_EQ(e.rec.cp_r, fresh.rec.cp_r) << step;
        for (int i = 0; i < feed.n(); ++i) {
            EXPECT_EQ(e.fug.lnphi[i], fresh.fug.lnphi[i]) << step;
            EXPECT_EQ(e.fug.dlnphidT[i], fresh.fug.dlnphidT[i]) << step;
            EXPECT_EQ(e.fug.dlnphidn[i][0], fresh.fug.dlnphidn[i][0]) << step;
        }
    };
    mixstate(m.set, scratch, kLnPhi, RootPreference::stable, T, p, m.x.data(), &e.fug, e.rec);
    check_against_fresh(m, m.x, "repeat with another request");
    check_against_fresh(m, y, "another composition");
    check_against_fresh(other, y, "the same fractions of another active set");
    prepare_composition(m.set, m.x.data(), scratch);
    check_against_fresh(other, y, "after a direct prepare");
}

// A request that leaves out the T and p derivatives of ln phi forms ln phi from
// the value parts of the per-component series alone: it and the record are the
// full request's to the bit, for mixtures and a pure fluid alike.
TEST(MixState, LnPhiWithoutItsDerivativesIsTheFullRequestsToTheBit) {
    constexpr MixRequest kFull{Fugacity::ln_phi, TpDerivatives::second};
    constexpr MixRequest kRecordOnly{Fugacity::ln_phi, TpDerivatives::second, false};
    for (const FugacityCase& c : fugacity_cases()) {
        const ModelFeed m(c.gas);
        const Evaluation full = evaluate(m, m.x, c.T, c.p, c.root, kFull);
        const Evaluation lean = evaluate(m, m.x, c.T, c.p, c.root, kRecordOnly);
        ASSERT_TRUE(full.result.ok()) << c.gas.name;
        EXPECT_EQ(lean.rec.cp_r, full.rec.cp_r) << c.gas.name;
        EXPECT_EQ(lean.rec.h_r, full.rec.h_r) << c.gas.name;
        for (int i = 0; i < m.n(); ++i) EXPECT_EQ(lean.fug.lnphi[i], full.fug.lnphi[i]) << c.gas.name << " " << i;
    }
}

const Gas kCo2{"co2", {{"CO2", 100}}};

struct Search {
    test::ModelFeed m;
    double T;
    TauCoefficients tc;
    Search(const Gas& gas, double T_) : m(gas), T(T_) { tau_coefficients(m.set, m.comp.series, m.comp.T_r / T, tc); }
    DensityFunctions functions() const { return DensityFunctions(m.set, m.comp, tc, T); }
    PengRobinsonRoots roots(double p) const { return peng_robinson_roots(m.set, m.comp, T, p); }
    DensitySearchResult search(double p, RootPreference preference) const {
        return density_search(functions(), p, preference, roots(p));
    }
};

// Pressure evaluations of the search for every root preference over the gases
// of the equilibrium grid, 150 to 450 K, at 1e-8 MPa (below the floor of the
// start values) and from 0.1 to 20 MPa. A search that brackets worse works
// harder, one that gives up early less, even where both still land on the
// right root; a deliberate change records its new count.
TEST(DensitySearch, TakesTheRecordedNumberOfEvaluationsOverTheGrid) {
    constexpr long kRecordedEvaluations = 19858;
    long evaluations = 0;
    for (const Gas& gas : test::grid_gases()) {
        for (double T = 150.0; T <= 450.0; T += 50.0) {
            const Search s(gas, T);
            for (int k = -1; k <= 12; ++k) {
                const double p = k < 0 ? 1e-8 : 0.1 * std::pow(200.0, k / 12.0);
                for (const RootPreference preference :
                     {RootPreference::liquid, RootPreference::vapour, RootPreference::stable}) {
                    const DensityFunctions F = s.functions();
                    density_search(F, p, preference, s.roots(p));
                    evaluations += F.evaluations();
                }
            }
        }
    }
    EXPECT_EQ(evaluations, kRecordedEvaluations);
}

// From the density of a nearby composition, Newton lands on the guided search's
// root in one evaluation for a start within its tolerance, a few for one 1e-3
// off; it declines (0) where the search seeks two roots, and at the lowest
// pressures, where the search takes another bracket.
TEST(DensitySearch, WarmStartLandsOnTheSearchsRootOrDeclines) {
    const Search s(test::lean_gas_11(), 280.0);
    const double p = 7.0;
    ASSERT_EQ(s.roots(p).count, 1);
    const double rho = s.search(p, RootPreference::stable).rho;
    for (const auto& [shift, most] : {std::pair{1e-9, 1}, std::pair{1e-5, 2}, std::pair{1e-3, 3}}) {
        const DensityFunctions F = s.functions();
        EXPECT_NEAR(warm_density(F, p, s.roots(p), rho * (1.0 + shift)), rho, 1e-14 * rho) << shift;
        EXPECT_LE(F.evaluations(), most) << shift;
    }
    EXPECT_EQ(warm_density(s.functions(), 1e-6, s.roots(1e-6), 1e-6 / (kR * 280.0)), 0.0);
    const Search co2(kCo2, 270.0);
    ASSERT_EQ(co2.roots(2.0).count, 2);
    // The liquid root, though the vapour is the stable one there.
    EXPECT_EQ(warm_density(co2.functions(), 2.0, co2.roots(2.0), co2.search(2.0, RootPreference::liquid).rho), 0.0);
}

// Pure CO2 at 270 K: 2 MPa lies below the saturation pressure (about 3.2 MPa),
// so the vapour is stable and a metastable liquid root exists; at 3.5 MPa the
// liquid is stable.
TEST(DensitySearch, FindsLiquidVapourAndLowerGibbsRootWhereBothExist) {
    const Search s(kCo2, 270.0);
    const double p = 2.0;
    ASSERT_EQ(s.roots(p).count, 2);
    const DensitySearchResult liquid = s.search(p, RootPreference::liquid), vapour = s.search(p, RootPreference::vapour),
                              stable = s.search(p, RootPreference::stable);
    ASSERT_TRUE(liquid.status == DensityStatus::found && vapour.status == DensityStatus::found);
    EXPECT_TRUE(liquid.rho > 20.0 && vapour.rho < 2.0);
    for (double rho : {liquid.rho, vapour.rho}) {
        EXPECT_NEAR(s.functions().pressure(rho), p, 1e-9 * p);
        EXPECT_GT(s.functions().slope(rho), 0.0);
    }
    EXPECT_TRUE(stable.rho == vapour.rho && stable.other == liquid.rho);
    EXPECT_NEAR(stable.dg, (s.functions().gibbs(liquid.rho) - s.functions().gibbs(vapour.rho)) / (1000 * kR * 270.0), 1e-12);
    EXPECT_GT(stable.dg, 0.0);
    EXPECT_GT(s.search(3.5, RootPreference::stable).rho, 20.0);
}

// Down to pressures where the search takes the simple bracket.
TEST(DensitySearch, SupercriticalGasHasOneStartAndOneRoot) {
    const Search s(test::lean_gas_11(), 300.0);
    for (double p : {3e-8, 1e-6, 0.1, 5.0, 30.0, 100.0}) {
        ASSERT_EQ(s.roots(p).count, 1) << p;
        const DensitySearchResult r = s.search(p, RootPreference::stable);
        ASSERT_EQ(r.status, DensityStatus::found) << p;
        EXPECT_NEAR(s.functions().pressure(r.rho), p, 1e-9 * p);
        EXPECT_EQ(r.other, 0.0);
        // The vapour preference is ignored when the cubic has a single root.
        EXPECT_EQ(s.search(p, RootPreference::vapour).rho, r.rho);
    }
}

TEST(DensitySearch, FallbackFindsTheSameRootsAsTheGuidedSearch) {
    struct Case { Gas gas; double T, p; };
    const Case cases[] = {{test::lean_gas_11(), 300.0, 5.0}, {kCo2, 270.0, 2.0}, {kCo2, 270.0, 20.0},
                          {{"ch4_c3h8_30", {{"CH4", 30}, {"C3H8", 70}}}, 230.0, 3.0}};
    for (const Case& c : cases) {
        const Search s(c.gas, c.T);
        const DensitySearchResult r = s.search(c.p, RootPreference::stable);
        ASSERT_EQ(r.status, DensityStatus::found);
        EXPECT_NEAR(density_fallback(s.functions(), c.p, s.roots(c.p), 0.0), r.rho, 1e-6 * r.rho) << c.gas.name;
    }
}

// n-decane at 275 K and 0.1 MPa: no vapour-like root, and the liquid root lies
// above 0.99 of the Peng-Robinson limiting density, where the fallback scan
// starts. Every preference must give the liquid, and nearby compositions must
// not jump to another branch.
TEST(DensitySearch, HeavyLiquidBeyondThePengRobinsonLimitIsFoundForEveryPreference) {
    for (double methane : {0.0, 0.3, 0.6, 1.0}) {
        const test::ModelFeed m(methane > 0 ? Gas{"", {{"CH4", methane}, {"nC10", 100 - methane}}}
                                            : Gas{"", {{"nC10", 100}}});
        ResidualProperties rec;
        CompositionState scratch;
        const double liquid = mixstate(m.set, scratch, {}, RootPreference::liquid, 275.0, 0.1, m.x.data(), nullptr, rec).rho;
        EXPECT_NEAR(liquid, 5.23, 0.05) << methane;
        for (RootPreference root : {RootPreference::stable, RootPreference::vapour}) {
            EXPECT_NEAR(mixstate(m.set, scratch, {}, root, 275.0, 0.1, m.x.data(), nullptr, rec).rho, liquid,
                        1e-6 * liquid) << methane;
        }
    }
}

// Deep inside the vapour-liquid region of methane-propane the liquid-like
// phase composition has roots on both branches; every outcome must be a
// mechanically stable density that reproduces the pressure.
TEST(DensitySearch, MixStateFallsBackWhenTheSearchRejectsItsRoot) {
    const test::ModelFeed m(Gas{"ch4_c3h8_60", {{"CH4", 60}, {"C3H8", 40}}});
    ResidualProperties rec;
    CompositionState scratch;
    for (double T = 180.0; T <= 320.0; T += 10.0) {
        for (double p : {0.5, 2.0, 5.0, 9.0}) {
            for (RootPreference root : {RootPreference::liquid, RootPreference::vapour, RootPreference::stable}) {
                const MixResult r = mixstate(m.set, scratch, {}, root, T, p, m.x.data(), nullptr, rec);
                ASSERT_TRUE(r.ok()) << T << " " << p << " " << static_cast<int>(root);
                EXPECT_NEAR(pressure(m.set, m.comp, T, r.rho), p, 1e-6 * p) << T << " " << p;
                EXPECT_LT(rec.dpdV, 0.0);
            }
        }
    }
}

}  // namespace
}  // namespace ngtherm::model
