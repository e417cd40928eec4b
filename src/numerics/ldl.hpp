// Symmetric triangular factorisation H + mu I = L D L^T without pivoting, and
// solves with it: the kernel of the restricted step.
#pragma once

#include "numerics/dense.hpp"

namespace ngtherm::numerics {

struct LdlFactors {
    Matrix L{};  // unit lower triangle
    Vector D{};  // pivots
    bool positive_definite = true;
};

// H: n x n symmetric matrix ([row][column]; only the lower triangle is read);
// mu: shift added to the diagonal.
void ldl_factor(int n, const Matrix& H, double mu, LdlFactors& f);

// s = (L D L^T)^-1 r; returns s^T (L D L^T)^-1 s.
double ldl_solve(int n, const LdlFactors& f, const Vector& r, Vector& s);

}  // namespace ngtherm::numerics
