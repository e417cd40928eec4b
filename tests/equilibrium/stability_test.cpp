// The stability test, the split's stages and the second-order split on their
// own, on real mixtures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "equilibrium/solver_constants.hpp"
#include "equilibrium/split_newton.hpp"
#include "equilibrium/tpdmin.hpp"
#include "equilibrium/tpsplit.hpp"
#include "support/gases.hpp"

namespace ngtherm::equilibrium {
namespace {

// A context with its feed evaluated, owning the active set it points to.
struct Problem {
    test::Feed feed;
    SolverContext ctx;
    SplitWork work;
    Problem(const test::Gas& gas, double T, double p) : feed(gas) {
        ctx.begin(feed.set, T, p, feed.x.data());
        ctx.evaluate_feed();
    }
    // max_i |ln f_i(x) - ln f_i(y)| of two phases.
    double fugacity_gap(const Vector& x, const Vector& y) {
        EXPECT_TRUE(ctx.evaluate(x.data(), model::RootPreference::stable, kLnPhiRequest, work.liquid));
        EXPECT_TRUE(ctx.evaluate(y.data(), model::RootPreference::stable, kLnPhiRequest, work.vapour));
        double gap = 0.0;
        for (int i = 0; i < ctx.n(); ++i) {
            gap = std::fmax(gap, std::fabs(std::log(x[i] / y[i]) + work.liquid.fug.lnphi[i] -
                                           work.vapour.fug.lnphi[i]));
        }
        return gap;
    }
};

TEST(Tpdmin, FindsTheFeedUnstableAndWithoutTheEarlyExitAStationaryPointOfNegativeTm) {
    Problem pr(test::methane_propane(), 230.0, 3.0);
    Vector lnK{}, W{};
    wilson_start(pr.ctx, lnK);
    for (const bool stop_when_unstable : {true, false}) {
        for (int i = 0; i < pr.ctx.n(); ++i) W[i] = pr.ctx.z()[i] / std::exp(lnK[i]);
        const TrialResult r = tpdmin(pr.ctx, pr.work.trial, W, stop_when_unstable);
        EXPECT_TRUE(r.outcome == TrialOutcome::unstable && r.tm < kUnstableTm) << r.tm;
    }
    // At a stationary point ln W_i + ln phi_i(W) = d_i for every component.
    pr.ctx.evaluate(W.data(), model::RootPreference::stable, kLnPhiRequest, pr.work.liquid);
    for (int i = 0; i < pr.ctx.n(); ++i) {
        EXPECT_NEAR(std::log(W[i]) + pr.work.liquid.fug.lnphi[i], pr.ctx.d()[i], 1e-6);
    }
}

TEST(Tpdmin, EndsAsStableWithoutSecondOrderStageWhenTheTrialApproachesTheFeed) {
    Problem pr(test::lean_gas_11(), 300.0, 5.0);
    Vector W{};
    for (int i = 0; i < pr.ctx.n(); ++i) W[i] = pr.ctx.z()[i] * (1.0 + 0.05 * ((i % 3) - 1));
    const TrialResult r = tpdmin(pr.ctx, pr.work.trial, W, true);
    EXPECT_TRUE(r.outcome == TrialOutcome::finished && r.newton_iterations == 0);
}

TEST(Tpsplit, GoesStraightToTheStabilityTestWhenWilsonGivesBetaZero) {
    // 5 % methane in n-decane: sum z K of the Wilson start is about 0.34.
    Problem pr(test::Gas{"c1_in_c10", {{"CH4", 5}, {"nC10", 95}}}, 300.0, 5.0);
    const SplitResult r = tpsplit(pr.ctx, pr.work);
    EXPECT_TRUE(r.status == SplitStatus::ok && r.stability_tested && !r.two_phase);
    EXPECT_EQ(r.substitution_steps, 1);
    EXPECT_EQ(r.feed_side, model::Side::liquid_like);
}

// Near the critical point substitution stalls with K-factors moving both ways;
// the split must go on to the second-order stage and equal fugacities.
TEST(Tpsplit, ConvergesANearCriticalSplitToEqualFugacities) {
    Problem pr(test::methane_propane(), 230.0, 8.0);
    const model::ResidualProperties feed_rec = pr.ctx.feed().rec;
    const SplitResult r = tpsplit(pr.ctx, pr.work);
    ASSERT_EQ(r.status, SplitStatus::ok);
    ASSERT_TRUE(r.two_phase);
    // beta of the split converged by plain substitution to |ln f_L - ln f_V| < 1e-15.
    EXPECT_NEAR(r.beta, 0.79418008, 1e-6);
    EXPECT_LT(pr.fugacity_gap(r.x, r.y), kSplitGradientTolerance);
    // The trial and phase evaluations leave the feed's own evaluation alone.
    EXPECT_EQ(std::memcmp(&pr.ctx.feed().rec, &feed_rec, sizeof feed_rec), 0);
}

TEST(SplitNewton, ConvergesFromADisturbedSplitToTheSubstitutionAnswer) {
    Problem pr(test::rich_gas_7(), 240.0, 4.0);
    const SplitResult exact = tpsplit(pr.ctx, pr.work);
    ASSERT_TRUE(exact.two_phase);
    double beta = exact.beta;
    Vector x = exact.x, y = exact.y;
    const int n = pr.ctx.n();
    for (int i = 3; i < n; ++i) {  // 5 % of the vapour's heaviest components into the liquid
        const double shift = 0.05 * beta * y[i];
        y[i] = (beta * y[i] - shift) / beta;
        x[i] = ((1.0 - beta) * x[i] + shift) / (1.0 - beta);
    }
    const SplitNewtonResult r = split_newton(pr.ctx, pr.work.newton, beta, x, y);
    ASSERT_EQ(r.status, SplitStatus::ok);
    EXPECT_GT(r.iterations, 1);
    EXPECT_LT(pr.fugacity_gap(x, y), kSplitGradientTolerance);
    EXPECT_NEAR(beta, exact.beta, 1e-7);
    for (int i = 0; i < n; ++i) {
        EXPECT_TRUE(std::fabs(x[i] - exact.x[i]) < 1e-7 && std::fabs(y[i] - exact.y[i]) < 1e-7) << i;
        EXPECT_NEAR((1.0 - beta) * x[i] + beta * y[i], pr.ctx.z()[i], 1e-14);
    }
}

}  // namespace
}  // namespace ngtherm::equilibrium
