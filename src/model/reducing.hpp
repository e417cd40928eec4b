// GERG-2008 reducing functions T_r(x) and rho_r(x) with their first and second
// partial derivatives with respect to the mole fractions. The fractions are
// independent variables: nothing here normalises them.
#pragma once

#include "model/active_set.hpp"

namespace ngtherm::model {

// Form of the reducing functions; the GERG-2008 form is the only one there is.
inline constexpr int kReducingFormGerg2008 = 2;

double treduct(const ActiveSet& set, const double* x);  // T_r, K
double dreduct(const ActiveSet& set, const double* x);  // rho_r, mol/dm3

// d[k] = dT_r/dx_k (selector 0: every k; selector m in 1..n: only k = m - 1,
// the rest zero).
void dtredx(const ActiveSet& set, const double* x, double* d, int selector = 0);
// d[k] = drho_r/dx_k, same selector.
void ddredx(const ActiveSet& set, const double* x, double* d, int selector = 0);

// e[k][l] = d2 T_r / dx_k dx_l, exactly symmetric n x n block.
void dtdxidxj(const ActiveSet& set, const double* x, Matrix& e);
// e[k][l] = d2 rho_r / dx_k dx_l.
void dddxixj(const ActiveSet& set, const double* x, Matrix& e);

// Both reducing functions with their composition derivatives, from one pass
// over the pairs. The Hessians are formed only when `second` is set.
struct ReducingDerivatives {
    double T_r = 0, rho_r = 0;
    Vector dT, drho;    // dT_r/dx_k, drho_r/dx_k
    Matrix d2T, d2rho;  // second derivatives (n x n block, symmetric)
};
void reducing_derivatives(const ActiveSet& set, const double* x, bool second, ReducingDerivatives& r);

// Writes the message of an unknown reducing-function form and stops the process.
[[noreturn]] void unknown_reducing_form(int form, const char* routine_text);

}  // namespace ngtherm::model
