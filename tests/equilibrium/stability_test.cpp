// The split's stages on their own: Rachford-Rice on given K-factors, then the
// stability test, the split and its second-order stage on real mixtures.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "equilibrium/rrsolve.hpp"
#include "equilibrium/solver_constants.hpp"
#include "equilibrium/split_newton.hpp"
#include "equilibrium/tpdmin.hpp"
#include "equilibrium/tpsplit.hpp"
#include "support/gases.hpp"

namespace ngtherm::equilibrium {
namespace {

struct Solved {
    double beta;
    std::vector<double> x, y;
    RachfordRiceResult info;
};

Solved solve(const std::vector<double>& z, const std::vector<double>& K, double beta_start) {
    const int n = static_cast<int>(z.size());
    Solved s{beta_start, std::vector<double>(n), std::vector<double>(n), {}};
    std::vector<double> lnK;
    for (double k : K) lnK.push_back(std::log(k));
    s.info = rrsolve(n, z.data(), lnK.data(), s.beta, s.x.data(), s.y.data());
    return s;
}

TEST(Rrsolve, ReturnsABoundWithOnePhaseEqualToTheFeedWhenNoRootLiesInside) {
    const Solved liquid = solve({0.3, 0.7}, {1.5, 0.6}, 0.5);  // sum z K = 0.87
    EXPECT_EQ(liquid.beta, 0.0);
    EXPECT_EQ(liquid.x, (std::vector<double>{0.3, 0.7}));
    EXPECT_DOUBLE_EQ(liquid.y[0], 1.5 * 0.3 / 0.87);
    const Solved vapour = solve({0.2, 0.5, 0.3}, {1.2, 3.0, 8.0}, 0.5);  // all K > 1
    EXPECT_EQ(vapour.beta, 1.0);
    EXPECT_EQ(vapour.y, (std::vector<double>{0.2, 0.5, 0.3}));
    EXPECT_DOUBLE_EQ(vapour.x[2], 0.3 / (8.0 * (0.2 / 1.2 + 0.5 / 3.0 + 0.3 / 8.0)));
}

// Roots in both halves, with and without a positive lower bracket end, from
// starts inside, outside and at the ends of the bracket.
TEST(Rrsolve, SolvesTheEquationWithExactMaterialBalanceFromAnyStart) {
    struct Case { std::vector<double> z, K; double start; };
    const Case cases[] = {
        {{0.5, 0.3, 0.2}, {2.0, 0.8, 0.1}, 0.5},  {{0.5, 0.3, 0.2}, {2.0, 0.8, 0.1}, 0.1},
        {{0.5, 0.3, 0.2}, {2.0, 0.8, 0.1}, 0.9},  {{0.8, 0.15, 0.05}, {1.3, 0.5, 0.05}, 0.0},
        {{0.8, 0.15, 0.05}, {1.3, 0.5, 0.05}, 1.0}, {{0.1, 0.9}, {100.0, 0.5}, 0.3},
        {{0.9, 0.1}, {1.5, 0.01}, 0.7},           {{0.9, 0.05, 0.03, 0.02}, {20.0, 0.5, 1e-3, 1e-6}, 0.5}};
    for (const Case& c : cases) {
        const Solved s = solve(c.z, c.K, c.start);
        EXPECT_TRUE(s.info.converged);
        ASSERT_TRUE(s.beta > 0.0 && s.beta < 1.0) << s.beta;
        double g = 0.0, sx = 0.0, sy = 0.0;
        for (std::size_t i = 0; i < c.z.size(); ++i) {
            g += c.z[i] * (c.K[i] - 1.0) / (1.0 - s.beta + s.beta * c.K[i]);
            EXPECT_NEAR((1.0 - s.beta) * s.x[i] + s.beta * s.y[i], c.z[i], 1e-15);
            EXPECT_DOUBLE_EQ(s.y[i], c.K[i] * s.x[i]);
            sx += s.x[i];
            sy += s.y[i];
        }
        EXPECT_LT(std::fabs(g), 1e-12);
        EXPECT_TRUE(std::fabs(sx - 1.0) < 1e-12 && std::fabs(sy - 1.0) < 1e-12);
    }
}

TEST(Rrsolve, ReturnsEqualPhasesWithoutHangingWhenEveryKIsOne) {
    const Solved s = solve({0.6, 0.4}, {1.0, 1.0}, 0.5);
    EXPECT_TRUE(s.beta >= 0.0 && s.beta <= 1.0);
    EXPECT_TRUE(s.x == s.y && s.x == (std::vector<double>{0.6, 0.4}));
}

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
