// Dense LU decomposition with partial pivoting for the small systems of the
// envelope tracer (at most 21 fugacity equations plus two). Fixed capacity,
// no allocation.
#pragma once

#include <array>

#include "model/active_set.hpp"

namespace ngtherm::envelope {

// Largest system: one equation per component, the material balance and the
// equation that fixes one variable.
inline constexpr int kMaxUnknowns = model::kMaxComponents + 2;

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

}  // namespace ngtherm::envelope
