#include "model/reducing.hpp"

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace ngtherm::model {
namespace {

TEST(ReducingFunctions, OneComponentGivesItsCriticalValuesScaledByTheFraction) {
    const test::ModelSetup m(test::composition({{"N2", 1.0}}));
    const double x1[] = {1.0}, xh[] = {0.5};
    EXPECT_DOUBLE_EQ(treduct(m.set, x1), 126.192);
    EXPECT_DOUBLE_EQ(dreduct(m.set, x1), 11.1839);
    EXPECT_DOUBLE_EQ(treduct(m.set, xh), 0.25 * 126.192);
    EXPECT_DOUBLE_EQ(dreduct(m.set, xh), 11.1839 / 0.25);
}

TEST(ReducingFunctions, ScaleWithTheSquareOfACommonFactor) {
    const test::ModelSetup m(test::published_mixture());
    std::vector<double> scaled = m.x;
    for (double& v : scaled) v *= 1.7;
    EXPECT_NEAR(treduct(m.set, scaled.data()), 1.7 * 1.7 * treduct(m.set, m.x.data()), 1e-10);
    EXPECT_NEAR(1.0 / dreduct(m.set, scaled.data()), 1.7 * 1.7 / dreduct(m.set, m.x.data()), 1e-14);
}

TEST(ReducingFunctions, BetaOfOneMakesThePairFunctionTheProductOfFractions) {
    // CH4-H2 has beta_v = beta_T = 1: T_r = x1^2 Tc1 + x2^2 Tc2 + 2 x1 x2 gamma_T sqrt(Tc1 Tc2).
    const test::ModelSetup m(test::composition({{"CH4", 0.3}, {"H2", 0.7}}));
    const double x[] = {0.3, 0.7};
    const double want = 0.09 * 190.564 + 0.49 * 33.19 + 2 * 0.21 * 1.352643115 * std::sqrt(190.564 * 33.19);
    EXPECT_NEAR(treduct(m.set, x), want, 1e-12);
}

// First and second composition derivatives against central differences, for
// the full published mixture (every pair has asymmetric beta).
TEST(ReducingFunctions, CompositionDerivativesAgreeWithCentralDifferences) {
    const test::ModelSetup m(test::published_mixture());
    const int n = m.set.n;
    std::vector<double> x = m.x;
    Vector dT{}, dr{};
    dtredx(m.set, x.data(), dT.data());
    ddredx(m.set, x.data(), dr.data());
    Matrix d2T{}, d2r{};
    dtdxidxj(m.set, x.data(), d2T);
    dddxixj(m.set, x.data(), d2r);
    for (int i = 0; i < n; ++i) {
        const double h = 1e-6 * std::max(x[i], 1e-3);
        std::vector<double> up = x, dn = x;
        up[i] += h;
        dn[i] -= h;
        EXPECT_NEAR(dT[i], (treduct(m.set, up.data()) - treduct(m.set, dn.data())) / (2 * h), 1e-6 * (1 + std::fabs(dT[i])));
        EXPECT_NEAR(dr[i], (dreduct(m.set, up.data()) - dreduct(m.set, dn.data())) / (2 * h), 1e-6 * (1 + std::fabs(dr[i])));
        Vector gu{}, gd{}, ru{}, rd{};
        dtredx(m.set, up.data(), gu.data());
        dtredx(m.set, dn.data(), gd.data());
        ddredx(m.set, up.data(), ru.data());
        ddredx(m.set, dn.data(), rd.data());
        for (int j = 0; j < n; ++j) {
            EXPECT_NEAR(d2T[j][i], (gu[j] - gd[j]) / (2 * h), 1e-5 * (1 + std::fabs(d2T[j][i]))) << i << "," << j;
            EXPECT_NEAR(d2r[j][i], (ru[j] - rd[j]) / (2 * h), 1e-5 * (1 + std::fabs(d2r[j][i]))) << i << "," << j;
            EXPECT_EQ(d2T[i][j], d2T[j][i]);
            EXPECT_EQ(d2r[i][j], d2r[j][i]);
        }
    }
}

TEST(ReducingFunctions, SelectorFillsOnlyTheRequestedDerivative) {
    const test::ModelSetup m(test::natural_gas_11());
    Vector all{}, one{};
    ddredx(m.set, m.x.data(), all.data(), 0);
    for (int k = 1; k <= m.set.n; ++k) {
        one.fill(7.0);
        ddredx(m.set, m.x.data(), one.data(), k);
        for (int j = 0; j < m.set.n; ++j) EXPECT_EQ(one[j], j == k - 1 ? all[j] : 0.0);
    }
}

TEST(ReducingFunctionsDeathTest, AnUnknownFormStopsWithItsMessage) {
    EXPECT_EXIT(unknown_reducing_form(3, " in TREDUCT -> ABBRUCH"), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace ngtherm::model
