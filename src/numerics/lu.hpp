// Dense LU decomposition with partial pivoting for small systems (the envelope
// tracer's fugacity equations plus two). Fixed capacity, no allocation.
#pragma once

#include <array>

#include "numerics/dense.hpp"

namespace ngtherm::numerics {

// Largest system: one equation per component and two more (for the envelope,
// the material balance and the equation that fixes one variable).
inline constexpr int kMaxUnknowns = kMaxDimension + 2;

using LuVector = std::array<double, kMaxUnknowns>;
using LuMatrix = std::array<LuVector, kMaxUnknowns>;  // [row][column]

// A square matrix of order m and, after lu_factor, its factors in place
// (unit lower triangle below the diagonal, upper triangle on and above it).
struct LuSystem {
    int m = 0;
    LuMatrix a{};
    std::array<int, kMaxUnknowns> pivot{};  // row swapped with row k at step k
};

// Factors s.a in place. False when the matrix is singular to working
// precision or holds a non-finite entry; the factors are then unusable.
bool lu_factor(LuSystem& s);

// Solves A v = b for the factored A; b is overwritten with v.
void lu_solve(const LuSystem& s, LuVector& b);

}  // namespace ngtherm::numerics
