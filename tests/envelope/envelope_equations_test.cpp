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

// Relative step of the central differences, and the agreement they allow.
constexpr double kDifferenceStep = 1e-6;
constexpr double kDifferenceTolerance = 2e-6;

struct JacobianCase {
    test::Gas gas;
    double beta;
    double T, p;          // K, MPa: where the unknowns are placed
    double lnK_scale;     // ln K_i = lnK_scale * (ln Tc_i - ln Tc_mean), a plausible spread
};

class EnvelopeJacobian : public ::testing::TestWithParam<JacobianCase> {};

LuVector unknowns(const model::ActiveSet& set, const JacobianCase& c) {
    LuVector X{};
    double mean = 0.0;
    for (int i = 0; i < set.n; ++i) mean += std::log(set.Tc[i]) / set.n;
    for (int i = 0; i < set.n; ++i) X[i] = -c.lnK_scale * (std::log(set.Tc[i]) - mean);
    X[set.n] = std::log(c.T);
    X[set.n + 1] = std::log(c.p);
    return X;
}

TEST_P(EnvelopeJacobian, MatchesCentralDifferencesOfTheResiduals) {
    const JacobianCase& c = GetParam();
    const Feed feed(c.gas);
    const int n = feed.set.n;
    const int fixed = n + 1;
    EnvelopeEquations eq;
    eq.reset(feed.set, feed.x.data(), c.beta);
    const LuVector X = unknowns(feed.set, c);
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

TEST(EnvelopeEquations, ResidualsVanishWhereFugacitiesAndAmountsBalance) {
    // Residuals by definition: for K_i = 1 both phases are the feed.
    const Feed feed(test::rich_gas_7());
    EnvelopeEquations eq;
    eq.reset(feed.set, feed.x.data(), 1.0);
    LuVector X{};
    X[feed.set.n] = std::log(300.0);
    X[feed.set.n + 1] = std::log(5.0);
    ASSERT_TRUE(eq.evaluate(X, kNewtonRequest));
    LuVector F{};
    eq.residuals(X, feed.set.n + 1, std::log(5.0), F);
    for (int i = 0; i < feed.set.n + 2; ++i) EXPECT_NEAR(F[i], 0.0, 1e-13) << i;
}

TEST(EnvelopeEquations, RefusesUnknownsThatGiveNoPhaseAmount) {
    const Feed feed(test::rich_gas_7());
    EnvelopeEquations eq;
    eq.reset(feed.set, feed.x.data(), 1.0);
    LuVector X{};
    X[0] = -1000.0;  // K = 0: the liquid amount z/K is infinite
    X[feed.set.n] = std::log(250.0);
    X[feed.set.n + 1] = std::log(3.0);
    EXPECT_FALSE(eq.evaluate(X, kNewtonRequest));
    X[0] = std::nan("");
    EXPECT_FALSE(eq.evaluate(X, kNewtonRequest));
}

}  // namespace
}  // namespace ngtherm::envelope
