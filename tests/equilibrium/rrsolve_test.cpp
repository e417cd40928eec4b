#include "equilibrium/rrsolve.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace ngtherm::equilibrium {
namespace {

struct RrCase {
    const char* name;
    std::vector<double> z;
    std::vector<double> K;
    double beta_start;
};

std::vector<double> logs(const std::vector<double>& K) {
    std::vector<double> lnK;
    for (double k : K) lnK.push_back(std::log(k));
    return lnK;
}

// Residual of the Rachford-Rice equation at beta.
double residual(const RrCase& c, double beta) {
    double g = 0.0;
    for (std::size_t i = 0; i < c.z.size(); ++i) {
        g += c.z[i] * (c.K[i] - 1.0) / (1.0 - beta + beta * c.K[i]);
    }
    return g;
}

struct Solved {
    double beta;
    std::vector<double> x, y;
    RachfordRiceResult info;
};

Solved solve(const RrCase& c) {
    Solved s{c.beta_start, std::vector<double>(c.z.size()), std::vector<double>(c.z.size()), {}};
    const std::vector<double> lnK = logs(c.K);
    s.info = rrsolve(static_cast<int>(c.z.size()), c.z.data(), lnK.data(), s.beta, s.x.data(),
                     s.y.data());
    return s;
}

TEST(Rrsolve, ReturnsBetaZeroWithLiquidEqualToFeedWhenSumZKIsBelowOne) {
    const RrCase c{"", {0.3, 0.7}, {1.5, 0.6}, 0.5};  // sum z K = 0.87
    const Solved s = solve(c);
    EXPECT_EQ(s.beta, 0.0);
    const double S1 = 0.3 * 1.5 + 0.7 * 0.6;
    for (std::size_t i = 0; i < c.z.size(); ++i) {
        EXPECT_EQ(s.x[i], c.z[i]);
        EXPECT_DOUBLE_EQ(s.y[i], c.K[i] * c.z[i] / S1);
    }
}

TEST(Rrsolve, ReturnsBetaOneWithVapourEqualToFeedWhenAllKAboveOneAndSumZOverKBelowOne) {
    const RrCase c{"", {0.2, 0.5, 0.3}, {1.2, 3.0, 8.0}, 0.5};
    const Solved s = solve(c);
    EXPECT_EQ(s.beta, 1.0);
    const double S2 = 0.2 / 1.2 + 0.5 / 3.0 + 0.3 / 8.0;
    for (std::size_t i = 0; i < c.z.size(); ++i) {
        EXPECT_EQ(s.y[i], c.z[i]);
        EXPECT_DOUBLE_EQ(s.x[i], c.z[i] / (c.K[i] * S2));
    }
}

// Roots in both halves, with and without a positive lower bracket end, from
// starts inside and outside the bracket.
class RrsolveRoot : public ::testing::TestWithParam<RrCase> {};

TEST_P(RrsolveRoot, SolvesTheEquationWithExactMaterialBalance) {
    const RrCase& c = GetParam();
    const Solved s = solve(c);
    EXPECT_TRUE(s.info.converged);
    ASSERT_GT(s.beta, 0.0);
    ASSERT_LT(s.beta, 1.0);
    EXPECT_LT(std::fabs(residual(c, s.beta)), 1e-12);
    double sx = 0.0, sy = 0.0;
    for (std::size_t i = 0; i < c.z.size(); ++i) {
        EXPECT_NEAR((1.0 - s.beta) * s.x[i] + s.beta * s.y[i], c.z[i], 1e-15);
        EXPECT_DOUBLE_EQ(s.y[i], c.K[i] * s.x[i]);
        EXPECT_GE(s.x[i], 0.0);
        EXPECT_LE(s.x[i], 1.0);
        EXPECT_LE(s.y[i], 1.0);
        sx += s.x[i];
        sy += s.y[i];
    }
    EXPECT_NEAR(sx, 1.0, 1e-12);
    EXPECT_NEAR(sy, 1.0, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RrsolveRoot,
    ::testing::Values(
        RrCase{"lower_half", {0.5, 0.3, 0.2}, {2.0, 0.8, 0.1}, 0.5},
        RrCase{"upper_half", {0.8, 0.15, 0.05}, {1.3, 0.5, 0.05}, 0.5},
        RrCase{"lower_half_positive_bracket_end", {0.1, 0.9}, {100.0, 0.5}, 0.3},
        RrCase{"upper_half_positive_bracket_end", {0.9, 0.1}, {1.5, 0.01}, 0.7},
        RrCase{"start_inside_bracket", {0.5, 0.3, 0.2}, {2.0, 0.8, 0.1}, 0.1},
        RrCase{"start_above_half", {0.5, 0.3, 0.2}, {2.0, 0.8, 0.1}, 0.9},
        RrCase{"wide_K_range", {0.9, 0.05, 0.03, 0.02}, {20.0, 0.5, 1e-3, 1e-6}, 0.5}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Rrsolve, FindsTheAnalyticRootOfABinaryWithAPositiveLowerBracketEnd) {
    // 9.9/(1 + 99 beta) = 0.45/(1 - beta/2)  =>  beta = 9.45/49.5.
    const Solved s = solve({"", {0.1, 0.9}, {100.0, 0.5}, 0.5});
    EXPECT_NEAR(s.beta, 9.45 / 49.5, 1e-14);
}

TEST(Rrsolve, AnswersIndependentlyOfTheStartValue) {
    const double starts[] = {0.0, 0.05, 0.3, 0.5, 0.8, 1.0};
    const double reference = solve({"", {0.8, 0.15, 0.05}, {1.3, 0.5, 0.05}, 0.5}).beta;
    for (double b : starts) {
        EXPECT_NEAR(solve({"", {0.8, 0.15, 0.05}, {1.3, 0.5, 0.05}, b}).beta, reference, 1e-13)
            << "start " << b;
    }
}

TEST(Rrsolve, MirrorsBetaWhenEveryKIsInverted) {
    const RrCase c{"", {0.5, 0.3, 0.2}, {2.0, 0.8, 0.1}, 0.5};
    RrCase inverted = c;
    for (double& k : inverted.K) k = 1.0 / k;
    const Solved a = solve(c), b = solve(inverted);
    EXPECT_NEAR(a.beta, 1.0 - b.beta, 1e-13);
    for (std::size_t i = 0; i < c.z.size(); ++i) {
        EXPECT_NEAR(a.x[i], b.y[i], 1e-13);
        EXPECT_NEAR(a.y[i], b.x[i], 1e-13);
    }
}

TEST(Rrsolve, ReturnsEqualPhasesWithoutHangingWhenEveryKIsOne) {
    const RrCase c{"", {0.6, 0.4}, {1.0, 1.0}, 0.5};
    const Solved s = solve(c);
    EXPECT_GE(s.beta, 0.0);
    EXPECT_LE(s.beta, 1.0);
    for (std::size_t i = 0; i < c.z.size(); ++i) {
        EXPECT_EQ(s.x[i], c.z[i]);
        EXPECT_EQ(s.y[i], c.z[i]);
    }
}

}  // namespace
}  // namespace ngtherm::equilibrium
