// The dense numerics shared by the solvers: LDL^T and LU factorisations, the
// restricted step and the Hermite cubic.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "numerics/cubic.hpp"
#include "numerics/ldl.hpp"
#include "numerics/lu.hpp"
#include "numerics/trust_region.hpp"

namespace ngtherm::numerics {
namespace {

// max |(H + mu I) s - r|.
double solve_residual(int n, const Matrix& H, double mu, const Vector& s, const Vector& r) {
    double worst = 0.0;
    for (int i = 0; i < n; ++i) {
        double a = mu * s[i] - r[i];
        for (int j = 0; j < n; ++j) a += H[i][j] * s[j];
        worst = std::fmax(worst, std::fabs(a));
    }
    return worst;
}

const Matrix kSpd{{{4.0, 1.0, 0.5}, {1.0, 3.0, 0.2}, {0.5, 0.2, 2.0}}};
const Matrix kIndefinite{{{-1.0, 0.3, 0.0}, {0.3, 2.0, 0.1}, {0.0, 0.1, 0.5}}};
const Vector kR{1.0, -2.0, 0.5};

TEST(Ldl, ReproducesTheShiftedMatrixFlagsNonPositivePivotsAndSolves) {
    for (double mu : {0.0, 0.5, 2.0}) {
        LdlFactors f;
        ldl_factor(3, kIndefinite, mu, f);
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                double a = 0.0;
                for (int k = 0; k < 3; ++k) a += f.L[i][k] * f.D[k] * f.L[j][k];
                EXPECT_NEAR(a, kIndefinite[i][j] + (i == j ? mu : 0.0), 1e-14);
            }
        }
        EXPECT_EQ(f.positive_definite, mu > 1.05);
    }
    LdlFactors f;
    ldl_factor(3, kSpd, 0.0, f);
    Vector s{}, t{};
    const double form = ldl_solve(3, f, kR, s);
    EXPECT_LT(solve_residual(3, kSpd, 0.0, s, kR), 1e-14);
    ldl_solve(3, f, s, t);  // the returned form is s^T A^-1 s
    EXPECT_NEAR(form, s[0] * t[0] + s[1] * t[1] + s[2] * t[2], 1e-14);
}

// Inside the radius the Newton step itself; a longer step is shortened to the
// radius by a shift that makes the matrix positive definite, whatever its eigenvalues.
TEST(Rstep, TakesTheNewtonStepInsideTheRadiusAndMeetsTheRadiusWithAPositiveDefiniteShift) {
    const RestrictedStep newton = rstep(3, kSpd, kR, 10.0, kTrustTolerance, 0.0);
    EXPECT_TRUE(newton.ok && newton.mu == 0.0 && newton.iterations == 1);
    EXPECT_LT(solve_residual(3, kSpd, 0.0, newton.s, kR), 1e-14);
    struct Case { Matrix H; double radius, smallest_eigenvalue; };
    const Case cases[] = {{kSpd, 0.1, 1.5}, {kIndefinite, 0.5, -1.05},
                          {Matrix{{{-2.0, 0.0, 0.0}, {0.0, -1.0, 0.0}, {0.0, 0.0, -3.0}}}, 1.0, -3.0},
                          {Matrix{{{1.0, 1.0, 0.0}, {1.0, 1.0, 0.0}, {0.0, 0.0, 1.0}}}, 0.3, 0.0}};
    for (const Case& c : cases) {
        const RestrictedStep st = rstep(3, c.H, kR, c.radius, kTrustTolerance, 0.0);
        ASSERT_TRUE(st.ok) << c.radius;
        EXPECT_GT(st.mu, std::fmax(0.0, -c.smallest_eigenvalue));
        EXPECT_LE(std::fabs(0.5 * (st.norm * st.norm / (c.radius * c.radius) - 1.0)), kTrustTolerance);
        EXPECT_LT(solve_residual(3, c.H, st.mu, st.s, kR), 1e-12);
    }
}

TEST(Rstep, ReportsFailureInsteadOfLoopingInTheHardCase) {
    // No part of the right-hand side along the negative eigenvector: no shift above 1 reaches the radius.
    const RestrictedStep st = rstep(2, Matrix{{{-1.0, 0.0}, {0.0, 1.0}}}, Vector{0.0, 1.0}, 10.0, kTrustTolerance, 0.0);
    EXPECT_FALSE(st.ok);
    EXPECT_EQ(st.iterations, kRstepMaxIterations);
}

TEST(LuDecomposition, SolvesSystemsUpToTheLargestWithPivotingAndReusesItsFactors) {
    LuSystem small{3, {LuVector{0.0, 2.0, 1.0}, LuVector{1.0, 1.0, 0.0}, LuVector{3.0, 0.0, 1.0}}, {}};
    LuSystem large;  // the largest system
    large.m = kMaxUnknowns;
    for (int i = 0; i < large.m; ++i) {
        for (int j = 0; j < large.m; ++j) large.a[i][j] = std::sin(1.0 + i * 0.7 + j * 1.3) + (i == j ? 0.5 : 0.0);
    }
    for (LuSystem* s : {&small, &large}) {
        const LuMatrix original = s->a;
        ASSERT_TRUE(lu_factor(*s));
        for (int rhs = 0; rhs < 2; ++rhs) {
            LuVector x{};
            for (int i = 0; i < s->m; ++i) x[i] = std::cos(0.3 * i + rhs);
            LuVector b{};
            for (int i = 0; i < s->m; ++i) {
                for (int j = 0; j < s->m; ++j) b[i] += original[i][j] * x[j];
            }
            lu_solve(*s, b);
            for (int i = 0; i < s->m; ++i) EXPECT_NEAR(b[i], x[i], 1e-11) << s->m << " " << i;
        }
    }
}

// Singular means a pivot below 1e-300 of the largest entry.
TEST(LuDecomposition, RefusesSingularAndNonFiniteMatrices) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (LuSystem s : {LuSystem{3, {LuVector{1.0, 2.0, 3.0}, LuVector{2.0, 4.0, 6.0}, LuVector{1.0, 0.0, 1.0}}, {}},
                       LuSystem{2, {}, {}}, LuSystem{2, {LuVector{1.0, nan}, LuVector{0.0, 1.0}}, {}},
                       LuSystem{2, {LuVector{1e10, 0.0}, LuVector{0.0, 1e-295}}, {}}}) {  // a pivot 1e-305 of the scale
        EXPECT_FALSE(lu_factor(s)) << s.m;
    }
}

TEST(HermiteCubic, ReproducesValuesAndSlopesAtBothEndsAndItsRescaling) {
    const Cubic c = Cubic::hermite(1.5, -0.25, -0.4, 2.0, 0.75);
    EXPECT_TRUE(std::fabs(c.value(0.0) - 2.0) < 1e-15 && std::fabs(c.slope(0.0) - 0.75) < 1e-15);
    EXPECT_TRUE(std::fabs(c.value(-0.4) - 1.5) < 1e-14 && std::fabs(c.slope(-0.4) + 0.25) < 1e-13);
    const Cubic t = c.rescaled(-2.0);  // t = -2 s
    for (const double s : {-0.4, -0.1, 0.3}) {
        EXPECT_NEAR(t.value(-2.0 * s), c.value(s), 1e-14);
        EXPECT_NEAR(-2.0 * t.slope(-2.0 * s), c.slope(s), 1e-13);
    }
}

}  // namespace
}  // namespace ngtherm::numerics
