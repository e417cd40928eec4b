// LU decomposition with partial pivoting: solutions of small dense systems,
// pivoting where the diagonal vanishes, and refusal of singular or
// non-finite matrices.
#include "envelope/lu.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ngtherm::envelope {
namespace {

LuVector multiply(const LuMatrix& a, const LuVector& v, int m) {
    LuVector out{};
    for (int i = 0; i < m; ++i) {
        for (int j = 0; j < m; ++j) out[i] += a[i][j] * v[j];
    }
    return out;
}

TEST(LuDecomposition, SolvesASystemWhoseFirstPivotIsZero) {
    LuSystem s;
    s.m = 3;
    s.a[0] = {0.0, 2.0, 1.0};
    s.a[1] = {1.0, 1.0, 0.0};
    s.a[2] = {3.0, 0.0, 1.0};
    const LuMatrix original = s.a;
    const LuVector x{1.0, -2.0, 3.0};
    LuVector b = multiply(original, x, 3);
    ASSERT_TRUE(lu_factor(s));
    lu_solve(s, b);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(b[i], x[i], 1e-14) << i;
}

TEST(LuDecomposition, SolvesTheLargestSystemAndReusesItsFactorsForSeveralRightHandSides) {
    LuSystem s;
    s.m = kMaxUnknowns;
    for (int i = 0; i < s.m; ++i) {
        for (int j = 0; j < s.m; ++j) s.a[i][j] = std::sin(1.0 + i * 0.7 + j * 1.3) + (i == j ? 0.5 : 0.0);
    }
    const LuMatrix original = s.a;
    ASSERT_TRUE(lu_factor(s));
    for (int rhs = 0; rhs < 3; ++rhs) {
        LuVector x{};
        for (int i = 0; i < s.m; ++i) x[i] = std::cos(0.3 * i + rhs);
        LuVector b = multiply(original, x, s.m);
        lu_solve(s, b);
        for (int i = 0; i < s.m; ++i) EXPECT_NEAR(b[i], x[i], 1e-11) << rhs << " " << i;
    }
}

TEST(LuDecomposition, RefusesSingularAndNonFiniteMatrices) {
    LuSystem singular;
    singular.m = 3;
    singular.a[0] = {1.0, 2.0, 3.0};
    singular.a[1] = {2.0, 4.0, 6.0};
    singular.a[2] = {1.0, 0.0, 1.0};
    EXPECT_FALSE(lu_factor(singular));

    LuSystem zero;
    zero.m = 2;
    EXPECT_FALSE(lu_factor(zero));

    LuSystem not_finite;
    not_finite.m = 2;
    not_finite.a[0] = {1.0, std::numeric_limits<double>::quiet_NaN()};
    not_finite.a[1] = {0.0, 1.0};
    EXPECT_FALSE(lu_factor(not_finite));
}

}  // namespace
}  // namespace ngtherm::envelope
