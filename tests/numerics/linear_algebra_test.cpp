#include "equilibrium/rstep.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>

#include "equilibrium/solver_constants.hpp"

namespace ngtherm::equilibrium {
namespace {

using model::Matrix;
using model::Vector;

Matrix matrix(std::initializer_list<std::initializer_list<double>> rows) {
    Matrix m{};
    int i = 0;
    for (const auto& row : rows) {
        int j = 0;
        for (double v : row) m[i][j++] = v;
        ++i;
    }
    return m;
}

Vector vec(std::initializer_list<double> v) {
    Vector out{};
    int i = 0;
    for (double e : v) out[i++] = e;
    return out;
}

// max |(H + mu I) s - r|
double solve_residual(int n, const Matrix& H, double mu, const Vector& s, const Vector& r) {
    double worst = 0.0;
    for (int i = 0; i < n; ++i) {
        double a = mu * s[i] - r[i];
        for (int j = 0; j < n; ++j) a += H[i][j] * s[j];
        worst = std::fmax(worst, std::fabs(a));
    }
    return worst;
}

const Matrix kSpd = matrix({{4.0, 1.0, 0.5}, {1.0, 3.0, 0.2}, {0.5, 0.2, 2.0}});
const Vector kR = vec({1.0, -2.0, 0.5});

TEST(Rstep, TakesTheUnshiftedNewtonStepWhenItFitsTheRadius) {
    const RestrictedStep st = rstep(3, kSpd, kR, 10.0, kTrustTolerance, 0.0);
    EXPECT_TRUE(st.ok);
    EXPECT_EQ(st.mu, 0.0);
    EXPECT_EQ(st.iterations, 1);
    EXPECT_LT(solve_residual(3, kSpd, 0.0, st.s, kR), 1e-14);
}

TEST(Rstep, SolvesADiagonalSystemExactly) {
    const Matrix H = matrix({{1.0, 0.0}, {0.0, 4.0}});
    const RestrictedStep st = rstep(2, H, vec({3.0, 4.0}), 10.0, kTrustTolerance, 0.0);
    EXPECT_DOUBLE_EQ(st.s[0], 3.0);
    EXPECT_DOUBLE_EQ(st.s[1], 1.0);
    EXPECT_DOUBLE_EQ(st.norm, std::sqrt(10.0));
}

// A step longer than the radius is shortened by a shift to the radius within
// the tolerance; the same holds for indefinite matrices, whose shift makes the
// matrix positive definite.
struct ConstrainedCase {
    const char* name;
    Matrix H;
    double radius;
    double smallest_eigenvalue;
};

class RstepConstrained : public ::testing::TestWithParam<ConstrainedCase> {};

TEST_P(RstepConstrained, MeetsTheRadiusWithAPositiveDefiniteShift) {
    const ConstrainedCase& c = GetParam();
    const RestrictedStep st = rstep(3, c.H, kR, c.radius, kTrustTolerance, 0.0);
    ASSERT_TRUE(st.ok);
    EXPECT_GT(st.mu, 0.0);
    EXPECT_GT(st.mu, -c.smallest_eigenvalue);
    EXPECT_LE(std::fabs(0.5 * (st.norm * st.norm / (c.radius * c.radius) - 1.0)), kTrustTolerance);
    EXPECT_LT(solve_residual(3, c.H, st.mu, st.s, kR), 1e-12);
    LdlFactors f;
    ldl_factor(3, c.H, st.mu, f);
    EXPECT_TRUE(f.positive_definite);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RstepConstrained,
    ::testing::Values(
        ConstrainedCase{"positive_definite", kSpd, 0.1, 1.5},
        ConstrainedCase{"indefinite", matrix({{-1.0, 0.3, 0.0}, {0.3, 2.0, 0.1}, {0.0, 0.1, 0.5}}),
                        0.5, -1.05},
        ConstrainedCase{"negative_definite", matrix({{-2.0, 0.0, 0.0}, {0.0, -1.0, 0.0}, {0.0, 0.0, -3.0}}),
                        1.0, -3.0},
        ConstrainedCase{"singular", matrix({{1.0, 1.0, 0.0}, {1.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}), 0.3,
                        0.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Rstep, ReportsFailureInsteadOfLoopingInTheHardCase) {
    // The right-hand side has no part along the negative eigenvector, so no
    // shift above 1 lengthens the step to the radius.
    const Matrix H = matrix({{-1.0, 0.0}, {0.0, 1.0}});
    const RestrictedStep st = rstep(2, H, vec({0.0, 1.0}), 10.0, kTrustTolerance, 0.0);
    EXPECT_FALSE(st.ok);
    EXPECT_EQ(st.iterations, kRstepMaxIterations);
}

TEST(Rstep, GivesAZeroStepForAZeroRightHandSide) {
    const RestrictedStep st = rstep(3, kSpd, Vector{}, 1.0, kTrustTolerance, 0.0);
    EXPECT_TRUE(st.ok);
    EXPECT_EQ(st.norm, 0.0);
    EXPECT_EQ(st.mu, 0.0);
}

TEST(Rstep, StartsFromTheGivenShift) {
    const RestrictedStep st = rstep(3, kSpd, kR, 10.0, kTrustTolerance, 2.0);
    // The shifted step fits, so the shift only falls from its start.
    EXPECT_TRUE(st.ok);
    EXPECT_LT(solve_residual(3, kSpd, st.mu, st.s, kR), 1e-14);
}

TEST(LdlFactor, ReproducesTheShiftedMatrixAndFlagsNonPositivePivots) {
    const Matrix H = matrix({{-1.0, 0.3, 0.0}, {0.3, 2.0, 0.1}, {0.0, 0.1, 0.5}});
    for (double mu : {0.0, 0.5, 2.0}) {
        LdlFactors f;
        ldl_factor(3, H, mu, f);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                double a = 0.0;
                for (int k = 0; k < 3; ++k) a += f.L[i][k] * f.D[k] * f.L[j][k];
                EXPECT_NEAR(a, H[i][j] + (i == j ? mu : 0.0), 1e-14);
            }
        }
        EXPECT_EQ(f.positive_definite, mu > 1.05);
    }
}

TEST(LdlSolve, ReturnsTheInverseQuadraticForm) {
    LdlFactors f;
    ldl_factor(3, kSpd, 0.0, f);
    Vector s{};
    const double form = ldl_solve(3, f, kR, s);
    // form = s^T A^-1 s: solve A t = s and compare.
    Vector t{};
    ldl_solve(3, f, s, t);
    double expected = 0.0;
    for (int i = 0; i < 3; ++i) expected += s[i] * t[i];
    EXPECT_NEAR(form, expected, 1e-14);
}

TEST(TrustRadius, FollowsTheAgreementOfPredictedAndActualChange) {
    EXPECT_EQ(update_trust_radius(0.1, 0.4, 0.0, 1.0), 0.2);  // poor: half the step
    EXPECT_EQ(update_trust_radius(0.5, 0.4, 0.0, 1.0), 0.4);  // fair: the step
    EXPECT_EQ(update_trust_radius(0.9, 0.4, 0.0, 1.0), 1.0);  // good, unconstrained: unchanged
    EXPECT_EQ(update_trust_radius(0.9, 0.4, 0.3, 1.0), 0.8);  // good, constrained: doubled
}

}  // namespace
}  // namespace ngtherm::equilibrium
