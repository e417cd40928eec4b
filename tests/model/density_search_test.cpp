#include "model/density.hpp"

#include <cmath>

#include <gtest/gtest.h>

#include "support/gases.hpp"

namespace ngtherm::model {
namespace {

using test::Gas;

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
