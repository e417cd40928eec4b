#include "equilibrium/rrsolve.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

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

}  // namespace
}  // namespace ngtherm::equilibrium
