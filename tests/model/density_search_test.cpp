#include "model/density.hpp"

#include <cmath>

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace ngtherm::model {
namespace {

struct Search {
    test::ModelSetup m;
    double T;
    TauCoefficients tc;
    Search(const Composition& x, double T_) : m(x), T(T_) { tau_coefficients(m.set, m.comp.series, m.comp.T_r / T, tc); }
    DensityFunctions functions() const { return DensityFunctions(m.set, m.comp, tc, T); }
    PengRobinsonRoots roots(double p) const { return peng_robinson_roots(m.set, m.comp, T, p); }
    DensitySearchResult search(double p, RootPreference preference) const {
        return density_search(functions(), p, preference, roots(p));
    }
};

// Pure CO2 at 270 K and 2 MPa: below the saturation pressure (about 3.2 MPa), so
// the vapour is stable and a metastable liquid root exists.
TEST(DensitySearch, FindsLiquidVapourAndLowerGibbsRootWhereBothExist) {
    const Search s(test::composition({{"CO2", 1.0}}), 270.0);
    const double p = 2.0;
    ASSERT_EQ(s.roots(p).count, 2);
    const DensitySearchResult liquid = s.search(p, RootPreference::liquid);
    const DensitySearchResult vapour = s.search(p, RootPreference::vapour);
    const DensitySearchResult stable = s.search(p, RootPreference::stable);
    ASSERT_EQ(liquid.status, DensityStatus::found);
    ASSERT_EQ(vapour.status, DensityStatus::found);
    EXPECT_GT(liquid.rho, 20.0);
    EXPECT_LT(vapour.rho, 2.0);
    for (double rho : {liquid.rho, vapour.rho}) {
        EXPECT_NEAR(s.functions().pressure(rho), p, 1e-9 * p);
        EXPECT_GT(s.functions().slope(rho), 0.0);
    }
    EXPECT_EQ(stable.rho, vapour.rho);
    EXPECT_EQ(stable.other, liquid.rho);
    EXPECT_LT(s.functions().gibbs(vapour.rho), s.functions().gibbs(liquid.rho));
    EXPECT_NEAR(stable.dg, (s.functions().gibbs(liquid.rho) - s.functions().gibbs(vapour.rho)) / (1000 * kR * 270.0), 1e-12);
}

TEST(DensitySearch, PicksTheLiquidWhereItHasTheLowerGibbsEnergy) {
    const Search s(test::composition({{"CO2", 1.0}}), 270.0);
    const double p = 3.5;  // above saturation: the liquid is stable
    const DensitySearchResult r = s.search(p, RootPreference::stable);
    ASSERT_EQ(r.status, DensityStatus::found);
    EXPECT_GT(r.rho, 20.0);
}

TEST(DensitySearch, SupercriticalGasHasOneStartAndOneRoot) {
    const Search s(test::natural_gas_11(), 300.0);
    for (double p : {0.1, 5.0, 30.0, 100.0}) {
        ASSERT_EQ(s.roots(p).count, 1) << p;
        const DensitySearchResult r = s.search(p, RootPreference::stable);
        ASSERT_EQ(r.status, DensityStatus::found) << p;
        EXPECT_NEAR(s.functions().pressure(r.rho), p, 1e-9 * p);
        EXPECT_EQ(r.other, 0.0);
        // The vapour preference is ignored when the cubic has a single root.
        EXPECT_EQ(s.search(p, RootPreference::vapour).rho, r.rho);
    }
}

TEST(DensitySearch, VeryLowPressureUsesTheSimpleBracketAndStillConverges) {
    const Search s(test::natural_gas_11(), 300.0);
    for (double p : {1e-6, 3e-8}) {
        const DensitySearchResult r = s.search(p, RootPreference::stable);
        ASSERT_EQ(r.status, DensityStatus::found);
        EXPECT_NEAR(r.rho, p / (kR * 300.0), 1e-6 * r.rho);
    }
}

TEST(DensitySearch, FallbackFindsTheSameRootsAsTheGuidedSearch) {
    struct Case {
        Composition x;
        double T, p;
    };
    const Case cases[] = {{test::natural_gas_11(), 300.0, 5.0},
                          {test::composition({{"CO2", 1.0}}), 270.0, 2.0},
                          {test::composition({{"CO2", 1.0}}), 270.0, 20.0},
                          {test::composition({{"CH4", 0.3}, {"C3H8", 0.7}}), 230.0, 3.0}};
    for (const Case& c : cases) {
        const Search s(c.x, c.T);
        const DensitySearchResult r = s.search(c.p, RootPreference::stable);
        ASSERT_EQ(r.status, DensityStatus::found);
        const double fallback = density_fallback(s.functions(), c.p, s.roots(c.p), 0.0);
        EXPECT_NEAR(fallback, r.rho, 1e-6 * r.rho) << c.T << " " << c.p;
    }
}

// n-decane at 275 K and 0.1 MPa: no vapour-like root, and the liquid root lies
// above 0.99 of the Peng-Robinson limiting density, where the fallback scan
// starts. Every preference must give the liquid, and nearby compositions must
// not jump to another branch.
TEST(DensitySearch, HeavyLiquidBeyondThePengRobinsonLimitIsFoundForEveryPreference) {
    for (double methane : {0.0, 0.003, 0.006, 0.01}) {
        const test::ModelSetup m(methane > 0 ? test::composition({{"CH4", methane}, {"nC10", 1 - methane}})
                                             : test::composition({{"nC10", 1.0}}));
        ResidualProperties rec;
        CompositionState scratch;
        const double liquid = mixstate(m.set, scratch, {}, RootPreference::liquid, 275.0, 0.1, m.x.data(), nullptr, rec).rho;
        EXPECT_NEAR(liquid, 5.23, 0.05) << methane;
        for (RootPreference root : {RootPreference::stable, RootPreference::vapour}) {
            EXPECT_NEAR(mixstate(m.set, scratch, {}, root, 275.0, 0.1, m.x.data(), nullptr, rec).rho, liquid,
                        1e-6 * liquid) << methane << " " << static_cast<int>(root);
        }
    }
}

TEST(DensitySearch, MixStateFallsBackWhenTheSearchRejectsItsRoot) {
    // Deep inside the vapour-liquid region of methane-propane the liquid-like
    // phase composition has roots on both branches; every outcome must be a
    // mechanically stable density that reproduces the pressure.
    const test::ModelSetup m(test::composition({{"CH4", 0.6}, {"C3H8", 0.4}}));
    ResidualProperties rec;
    CompositionState scratch;
    for (double T = 180.0; T <= 320.0; T += 10.0) {
        for (double p : {0.5, 2.0, 5.0, 9.0}) {
            for (RootPreference root : {RootPreference::liquid, RootPreference::vapour, RootPreference::stable}) {
                const MixResult r = mixstate(m.set, scratch, {}, root, T, p, m.x.data(), nullptr, rec);
                ASSERT_TRUE(r.ok()) << T << " " << p << " " << static_cast<int>(root);
                EXPECT_NEAR(pressure(m.set, m.comp, T, r.rho), p, 1e-6 * p) << T << " " << p << " " << static_cast<int>(root);
                EXPECT_LT(rec.dpdV, 0.0);
            }
        }
    }
}

}  // namespace
}  // namespace ngtherm::model
