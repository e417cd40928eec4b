#include "model/reducing.hpp"

namespace ngtherm::model {
namespace {

static_assert(kReducingForm == kReducingFormGerg2008, "only the GERG-2008 reducing functions are implemented");

// From 1/rho_r and its derivatives to rho_r and its derivatives. The upper
// triangle of the Hessian goes row by row (contiguous, so it vectorises), the
// lower one is mirrored from it.
void invert_density(int n, double inv, double* g, Matrix* h, double& rho_r) {
    rho_r = 1.0 / inv;
    const double r2 = rho_r * rho_r;
    for (int k = 0; k < n; ++k) g[k] = -r2 * g[k];
    if (h == nullptr) return;
    const double r3 = r2 * rho_r;
    for (int i = 0; i < n; ++i) {
        double* row = (*h)[i].data();
        const double gi2 = 2.0 * g[i];
        for (int j = i; j < n; ++j) row[j] = r2 * (gi2 * g[j] / r3 - row[j]);
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < i; ++j) (*h)[i][j] = (*h)[j][i];
    }
}

// f = x_k x_l (x_k + x_l) / (b x_k + x_l) with b = beta^2 for the pairs (k, l)
// of one row k, l in [first, n), for both reducing functions: the terms of the
// row that go into sums over l (`t`), and the terms added to the entries of the
// components l (gradient and Hessian diagonal), added here. Contiguous arrays
// over l and no aliasing, so the loop vectorises.
struct RowTerms {
    Vector fT, fkT, fv, fkv;  // f and df/dx_k, times the pair factor
    Vector fkkT, fkkv;        // d2f/dx_k2, times the pair factor
};

struct SecondTargets {
    double* __restrict diagT;   // d2T_r/dx_l2
    double* __restrict diagv;   // d2(1/rho_r)/dx_l2
    double* __restrict rowT;    // d2T_r/dx_k dx_l
    double* __restrict rowv;    // d2(1/rho_r)/dx_k dx_l
};

template <bool Second>
void row_terms(int first, int n, double xk, const double* __restrict x, const double* __restrict bT,
               const double* __restrict bv, const double* __restrict cT, const double* __restrict cv,
               RowTerms& __restrict t, double* __restrict dT, double* __restrict drho,
               const SecondTargets& out) {
    for (int l = first; l < n; ++l) {
        const double xl = x[l];
        const double s = xk + xl;
        const double inv_s = 1.0 / s;
        const double inv_qT = 1.0 / (bT[l] * xk + xl);
        const double inv_qv = 1.0 / (bv[l] * xk + xl);
        const double AT = s * inv_qT, Av = s * inv_qv;
        const double f_T = xk * xl * AT, f_v = xk * xl * Av;
        t.fT[l] = cT[l] * f_T;
        t.fv[l] = cv[l] * f_v;
        t.fkT[l] = cT[l] * (xl * AT + f_T * (inv_s - bT[l] * inv_qT));
        t.fkv[l] = cv[l] * (xl * Av + f_v * (inv_s - bv[l] * inv_qv));
        dT[l] += cT[l] * (xk * AT + f_T * (inv_s - inv_qT));
        drho[l] += cv[l] * (xk * Av + f_v * (inv_s - inv_qv));
        if constexpr (Second) {
            // f = N / q with N = xk^2 xl + xk xl^2; q is linear (dq/dxk = b, dq/dxl = 1).
            const double N = xk * xl * s;
            const double Nk = 2.0 * xk * xl + xl * xl;
            const double Nl = xk * xk + 2.0 * xk * xl;
            const double q2T = inv_qT * inv_qT, q3T = q2T * inv_qT;
            const double q2v = inv_qv * inv_qv, q3v = q2v * inv_qv;
            const double b_T = bT[l], b_v = bv[l];
            t.fkkT[l] = cT[l] * (2.0 * xl * inv_qT - 2.0 * Nk * b_T * q2T + 2.0 * N * b_T * b_T * q3T);
            t.fkkv[l] = cv[l] * (2.0 * xl * inv_qv - 2.0 * Nk * b_v * q2v + 2.0 * N * b_v * b_v * q3v);
            out.diagT[l] += cT[l] * (2.0 * xk * inv_qT - 2.0 * Nl * q2T + 2.0 * N * q3T);
            out.diagv[l] += cv[l] * (2.0 * xk * inv_qv - 2.0 * Nl * q2v + 2.0 * N * q3v);
            out.rowT[l] = cT[l] * (2.0 * s * inv_qT - (Nk + Nl * b_T) * q2T + 2.0 * N * b_T * q3T);
            out.rowv[l] = cv[l] * (2.0 * s * inv_qv - (Nk + Nl * b_v) * q2v + 2.0 * N * b_v * q3v);
        }
    }
}

// Both reducing functions in one pass over the pairs, row by row. The sums
// over a row are taken in the order of the pairs, so every sum is that of a
// pair-by-pair pass to the bit.
template <bool Second>
void reducing_pass(const ActiveSet& set, const double* x, ReducingDerivatives& r) {
    const int n = set.n;
    double diag_T = 0.0, diag_v = 0.0;
    Vector hT, hv;  // Hessian diagonals
    for (int k = 0; k < n; ++k) {
        diag_T += x[k] * x[k] * set.Tc[k];
        diag_v += x[k] * x[k] * set.inv_rhoc[k];
        r.dT[k] = 2.0 * x[k] * set.Tc[k];
        r.drho[k] = 2.0 * x[k] * set.inv_rhoc[k];
        if constexpr (Second) {
            hT[k] = 2.0 * set.Tc[k];
            hv[k] = 2.0 * set.inv_rhoc[k];
        }
    }
    double pairs_T = 0.0, pairs_v = 0.0;
    RowTerms t;
    for (int k = 0; k < n; ++k) {
        const SecondTargets out{hT.data(), hv.data(), r.d2T[k].data(), r.d2rho[k].data()};
        row_terms<Second>(k + 1, n, x[k], x, set.beta_T2[k].data(), set.beta_v2[k].data(), set.T_factor[k].data(),
                          set.v_factor[k].data(), t, r.dT.data(), r.drho.data(), out);
        for (int l = k + 1; l < n; ++l) {
            pairs_T += t.fT[l];
            pairs_v += t.fv[l];
            r.dT[k] += t.fkT[l];
            r.drho[k] += t.fkv[l];
            if constexpr (Second) {
                hT[k] += t.fkkT[l];
                hv[k] += t.fkkv[l];
            }
        }
    }
    if constexpr (Second) {
        for (int k = 0; k < n; ++k) {
            r.d2T[k][k] = hT[k];
            r.d2rho[k][k] = hv[k];
            for (int l = 0; l < k; ++l) {
                r.d2T[k][l] = r.d2T[l][k];
                r.d2rho[k][l] = r.d2rho[l][k];
            }
        }
    }
    r.T_r = diag_T + pairs_T;
    invert_density(n, diag_v + pairs_v, r.drho.data(), Second ? &r.d2rho : nullptr, r.rho_r);
}

}  // namespace

void reducing_derivatives(const ActiveSet& set, const double* x, bool second, ReducingDerivatives& r) {
    if (second) {
        reducing_pass<true>(set, x, r);
    } else {
        reducing_pass<false>(set, x, r);
    }
}

}  // namespace ngtherm::model
