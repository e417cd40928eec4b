// GERG-2008 reducing functions T_r(x) and rho_r(x) with their first and second
// partial derivatives with respect to the mole fractions. The fractions are
// independent variables: nothing here normalises them.
#pragma once

#include "model/active_set.hpp"

namespace ngtherm::model {

// Form of the reducing functions: the GERG-2008 form is the only one implemented.
inline constexpr int kReducingFormGerg2008 = 2;
inline constexpr int kReducingForm = kReducingFormGerg2008;

// Both reducing functions with their composition derivatives, from one pass
// over the pairs: T_r (TREDUCT), rho_r (DREDUCT), their gradients (DTREDX,
// DDREDX) and Hessians (DTDXIDXJ, DDDXIXJ). The Hessians are formed only when
// `second` is set.
struct ReducingDerivatives {
    double T_r = 0, rho_r = 0;
    Vector dT, drho;    // dT_r/dx_k, drho_r/dx_k
    Matrix d2T, d2rho;  // second derivatives (n x n block, symmetric)
};
void reducing_derivatives(const ActiveSet& set, const double* x, bool second, ReducingDerivatives& r);

}  // namespace ngtherm::model
