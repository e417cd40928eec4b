// The equations of an envelope point: the analytic Jacobian against central
// differences of the residuals, on a dew line, a bubble line and a line of
// intermediate vapour fraction.
#include "envelope/envelope_equations.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/gases.hpp"

namespace ngtherm::envelope {
namespace {

using test::Feed;

constexpr double kDifferenceStep = 1e-6, kDifferenceTolerance = 2e-6;  // of the central differences

struct JacobianCase {
    test::Gas gas;
    double beta, T, p;  // K, MPa: where the unknowns are placed
    double lnK_scale;   // ln K_i = lnK_scale * (ln Tc_i - ln Tc_mean), a plausible spread
};

class EnvelopeJacobian : public ::testing::TestWithParam<JacobianCase> {};

// Unknowns ln K_i = -lnK_scale (ln Tc_i - mean), ln T, ln p.
LuVector unknowns(const model::ActiveSet& set, double lnK_scale, double T, double p) {
    LuVector X{};
    double mean = 0.0;
    for (int i = 0; i < set.n; ++i) mean += std::log(set.Tc[i]) / set.n;
    for (int i = 0; i < set.n; ++i) X[i] = -lnK_scale * (std::log(set.Tc[i]) - mean);
    X[set.n] = std::log(T);
    X[set.n + 1] = std::log(p);
    return X;
}

TEST_P(EnvelopeJacobian, MatchesCentralDifferencesOfTheResiduals) {
    const JacobianCase& c = GetParam();
    const Feed feed(c.gas);
    const int n = feed.set.n;
    const int fixed = n + 1;
    EnvelopeEquations eq;
    eq.reset(feed.set, feed.x.data(), c.beta);
    const LuVector X = unknowns(feed.set, c.lnK_scale, c.T, c.p);
    ASSERT_TRUE(eq.evaluate(X, kNewtonRequest));
    LuSystem J;
    eq.jacobian(X, fixed, J);
    ASSERT_EQ(J.m, n + 2);
    for (int k = 0; k < n + 2; ++k) {
        LuVector up = X, down = X, F_up{}, F_down{};
        up[k] += kDifferenceStep;
        down[k] -= kDifferenceStep;
        ASSERT_TRUE(eq.evaluate(up, kNewtonRequest));
        eq.residuals(up, fixed, 0.0, F_up);
        ASSERT_TRUE(eq.evaluate(down, kNewtonRequest));
        eq.residuals(down, fixed, 0.0, F_down);
        for (int i = 0; i < n + 2; ++i) {
            const double difference = (F_up[i] - F_down[i]) / (2.0 * kDifferenceStep);
            EXPECT_NEAR(J.a[i][k], difference, kDifferenceTolerance * std::max(1.0, std::abs(difference)))
                << "row " << i << " column " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, EnvelopeJacobian,
    ::testing::Values(JacobianCase{test::rich_gas_7(), 1.0, 250.0, 3.0, 3.0},
                      JacobianCase{test::rich_gas_7(), 0.0, 180.0, 3.0, 2.0},
                      JacobianCase{test::lean_gas_11(), 0.35, 230.0, 4.0, 2.5},
                      JacobianCase{test::methane_propane(), 1.0, 240.0, 2.0, 1.5}),
    [](const auto& info) {
        return info.param.gas.name + "_beta_" + std::to_string(static_cast<int>(info.param.beta * 100));
    });

// For K_i = 1 both phases are the feed, so the residuals vanish; K = 0 or NaN
// gives no liquid amount z/K and no evaluation.
TEST(EnvelopeEquations, ResidualsVanishWhereFugacitiesAndAmountsBalanceAndNoPhaseAmountIsRefused) {
    const Feed feed(test::rich_gas_7());
    EnvelopeEquations eq;
    eq.reset(feed.set, feed.x.data(), 1.0);
    LuVector X = unknowns(feed.set, 0.0, 300.0, 5.0), F{};
    ASSERT_TRUE(eq.evaluate(X, kNewtonRequest));
    eq.residuals(X, feed.set.n + 1, std::log(5.0), F);
    for (int i = 0; i < feed.set.n + 2; ++i) EXPECT_NEAR(F[i], 0.0, 1e-13) << i;
    for (double lnK : {-1000.0, std::nan("")}) {
        X[0] = lnK;
        EXPECT_FALSE(eq.evaluate(X, kNewtonRequest));
    }
}

}  // namespace
}  // namespace ngtherm::envelope
