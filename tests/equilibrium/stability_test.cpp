// The stability test, the split's stages and the second-order split on their
// own, on real mixtures.
#include <gtest/gtest.h>

#include <cmath>

#include "equilibrium/gases.hpp"
#include "equilibrium/solver_constants.hpp"
#include "equilibrium/split_newton.hpp"
#include "equilibrium/tpdmin.hpp"
#include "equilibrium/tpsplit.hpp"

namespace ngtherm::equilibrium {
namespace {

using testing::Feed;

// A context with its feed evaluated, owning the active set it points to.
struct Problem {
    model::ActiveSet set;
    SolverContext ctx;
    Problem(const Feed& f, double T, double p) {
        model::make_active_set(std::span<const int>(f.ids.data(), f.ids.size()), set);
        ctx.begin(set, T, p, f.x.data());
        ctx.evaluate_feed();
    }
};

Vector wilson_trial(const SolverContext& ctx, bool vapour) {
    Vector lnK{}, W{};
    wilson_start(ctx, lnK);
    for (int i = 0; i < ctx.n(); ++i) {
        W[i] = vapour ? ctx.z()[i] * std::exp(lnK[i]) : ctx.z()[i] / std::exp(lnK[i]);
    }
    return W;
}

TEST(Tpdmin, FindsTheFeedUnstableInsideTheTwoPhaseRegion) {
    Problem pr(testing::methane_propane(), 230.0, 3.0);
    TrialWork work;
    for (bool vapour : {false, true}) {
        Vector W = wilson_trial(pr.ctx, vapour);
        const TrialResult r = tpdmin(pr.ctx, work, W, true);
        if (r.unstable) {
            EXPECT_EQ(r.outcome, kTrialUnstable);
            EXPECT_LT(r.tm, kUnstableTm);
            return;
        }
    }
    ADD_FAILURE() << "neither trial phase revealed the split";
}

TEST(Tpdmin, ConvergesToANegativeStationaryPointWithoutTheEarlyExit) {
    Problem pr(testing::methane_propane(), 230.0, 3.0);
    TrialWork work;
    Vector W = wilson_trial(pr.ctx, false);
    const TrialResult r = tpdmin(pr.ctx, work, W, false);
    EXPECT_EQ(r.outcome, kTrialFinished);
    EXPECT_TRUE(r.unstable);
    // At a stationary point ln W_i + ln phi_i(W) = d_i for every component.
    pr.ctx.evaluate(W.data(), model::RootPreference::stable, kLnPhiRequest, work.phase);
    for (int i = 0; i < pr.ctx.n(); ++i) {
        EXPECT_NEAR(std::log(W[i]) + work.phase.fug.lnphi[i], pr.ctx.d()[i], 1e-6);
    }
}

TEST(Tpdmin, EndsAsStableWithoutSecondOrderStageWhenTheTrialApproachesTheFeed) {
    Problem pr(testing::lean_gas(), 300.0, 5.0);
    TrialWork work;
    Vector W{};
    for (int i = 0; i < pr.ctx.n(); ++i) W[i] = pr.ctx.z()[i] * (1.0 + 0.05 * ((i % 3) - 1));
    const TrialResult r = tpdmin(pr.ctx, work, W, true);
    EXPECT_EQ(r.outcome, kTrialFinished);
    EXPECT_FALSE(r.unstable);
    EXPECT_EQ(r.newton_iterations, 0);
}

TEST(Tpsplit, GoesStraightToTheStabilityTestWhenWilsonGivesBetaZero) {
    // 5 % methane in n-decane: sum z K of the Wilson start is about 0.34.
    const Feed feed = testing::make_feed("c1_in_c10", {{Component::CH4, 5}, {Component::nC10, 95}});
    Problem pr(feed, 300.0, 5.0);
    SplitWork work;
    const SplitResult r = tpsplit(pr.ctx, work);
    EXPECT_EQ(r.status, kSplitStatusOk);
    EXPECT_TRUE(r.stability_tested);
    EXPECT_EQ(r.substitution_steps, 1);
    EXPECT_FALSE(r.two_phase);
    EXPECT_EQ(r.feed_side, model::Side::liquid_like);
}

TEST(Tpsplit, LeavesTheFeedRecordAndFugacitiesInTheContext) {
    Problem pr(testing::rich_gas(), 240.0, 4.0);
    const model::ResidualProperties feed_rec = pr.ctx.feed().rec;
    SplitWork work;
    const SplitResult r = tpsplit(pr.ctx, work);
    ASSERT_TRUE(r.two_phase);
    EXPECT_EQ(pr.ctx.feed().rec, feed_rec);
    EXPECT_EQ(r.Z_feed, pr.ctx.feed().res.Z);
}

TEST(SplitNewton, ConvergesFromADisturbedSplitToTheSubstitutionAnswer) {
    Problem pr(testing::rich_gas(), 240.0, 4.0);
    SplitWork work;
    const SplitResult exact = tpsplit(pr.ctx, work);
    ASSERT_TRUE(exact.two_phase);
    // Move 5 % of the vapour's heaviest components into the liquid.
    double beta = exact.beta;
    Vector x = exact.x, y = exact.y;
    const int n = pr.ctx.n();
    for (int i = 0; i < n; ++i) {
        const double shift = i >= 3 ? 0.05 * beta * y[i] : 0.0;
        y[i] = (beta * y[i] - shift) / beta;
        x[i] = ((1.0 - beta) * x[i] + shift) / (1.0 - beta);
    }
    SplitNewtonWork newton;
    const SplitNewtonResult r = split_newton(pr.ctx, newton, beta, x, y);
    ASSERT_EQ(r.status, kSplitStatusOk);
    EXPECT_GT(r.iterations, 1);
    EXPECT_LT(r.max_gap, kSplitGradientTolerance);
    EXPECT_NEAR(beta, exact.beta, 1e-7);
    for (int i = 0; i < n; ++i) {
        EXPECT_NEAR(x[i], exact.x[i], 1e-7);
        EXPECT_NEAR(y[i], exact.y[i], 1e-7);
        EXPECT_NEAR((1.0 - beta) * x[i] + beta * y[i], pr.ctx.z()[i], 1e-14);
    }
}

}  // namespace
}  // namespace ngtherm::equilibrium
