#include "model/reducing.hpp"

namespace ngtherm::model {
namespace {

static_assert(kReducingForm == kReducingFormGerg2008, "only the GERG-2008 reducing functions are implemented");

// f = x_k x_l (x_k + x_l) / (b x_k + x_l) with b = beta^2, and its derivatives.
struct PairFunction {
    double f, fk, fl, fkk, fll, fkl;
};

// inv_s = 1 / (xk + xl) and inv_q = 1 / (b xk + xl), shared by the two
// reducing functions of a pair where they coincide.
template <bool Second>
inline PairFunction pair_function(double xk, double xl, double b, double inv_s, double inv_q) {
    const double s = xk + xl;
    const double A = s * inv_q;
    PairFunction r{};
    r.f = xk * xl * A;
    r.fk = xl * A + r.f * (inv_s - b * inv_q);
    r.fl = xk * A + r.f * (inv_s - inv_q);
    if constexpr (Second) {
        // f = N / q with N = xk^2 xl + xk xl^2; q is linear (dq/dxk = b, dq/dxl = 1).
        const double N = xk * xl * s;
        const double Nk = 2.0 * xk * xl + xl * xl;
        const double Nl = xk * xk + 2.0 * xk * xl;
        const double q2 = inv_q * inv_q, q3 = q2 * inv_q;
        r.fkk = 2.0 * xl * inv_q - 2.0 * Nk * b * q2 + 2.0 * N * b * b * q3;
        r.fll = 2.0 * xk * inv_q - 2.0 * Nl * q2 + 2.0 * N * q3;
        r.fkl = 2.0 * s * inv_q - (Nk + Nl * b) * q2 + 2.0 * N * b * q3;
    }
    return r;
}

// From 1/rho_r and its derivatives to rho_r and its derivatives.
void invert_density(int n, double inv, double* g, Matrix* h, double& rho_r) {
    rho_r = 1.0 / inv;
    const double r2 = rho_r * rho_r;
    for (int k = 0; k < n; ++k) g[k] = -r2 * g[k];
    if (h == nullptr) return;
    for (int i = 0; i < n; ++i) {
        for (int j = i; j < n; ++j) {
            (*h)[i][j] = r2 * (2.0 * g[i] * g[j] / (r2 * rho_r) - (*h)[i][j]);
            (*h)[j][i] = (*h)[i][j];
        }
    }
}

}  // namespace

namespace {

// 1 / (b xk + xl): with b = 1 (most pairs) it is 1 / (xk + xl) to the bit.
inline double inverse_q(double b, double xk, double xl, double inv_s) {
    return b == 1.0 ? inv_s : 1.0 / (b * xk + xl);
}

// One row k of pairs (k, l) for l in [first, n): the terms that go into the
// sums, and the gradient terms of the components l. Contiguous arrays over l
// and no aliasing, so the loop vectorises.
struct RowTerms {
    Vector fT, fkT, fv, fkv;
};

void row_terms(int first, int n, double xk, const double* __restrict x, const double* __restrict bT,
               const double* __restrict bv, const double* __restrict cT, const double* __restrict cv,
               RowTerms& __restrict t, double* __restrict dT, double* __restrict drho) {
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
    }
}

// Values and gradients only, row by row; each row is summed in the order of the
// pairs, so the sums are those of the pair-by-pair pass to the bit.
void first_order_pass(const ActiveSet& set, const double* x, ReducingDerivatives& r) {
    const int n = set.n;
    double diag_T = 0.0, diag_v = 0.0;
    for (int k = 0; k < n; ++k) {
        diag_T += x[k] * x[k] * set.Tc[k];
        diag_v += x[k] * x[k] * set.inv_rhoc[k];
        r.dT[k] = 2.0 * x[k] * set.Tc[k];
        r.drho[k] = 2.0 * x[k] * set.inv_rhoc[k];
    }
    double pairs_T = 0.0, pairs_v = 0.0;
    RowTerms t;
    for (int k = 0; k < n; ++k) {
        row_terms(k + 1, n, x[k], x, set.beta_T2[k].data(), set.beta_v2[k].data(), set.T_factor[k].data(),
                  set.v_factor[k].data(), t, r.dT.data(), r.drho.data());
        for (int l = k + 1; l < n; ++l) {
            pairs_T += t.fT[l];
            pairs_v += t.fv[l];
            r.dT[k] += t.fkT[l];
            r.drho[k] += t.fkv[l];
        }
    }
    r.T_r = diag_T + pairs_T;
    invert_density(n, diag_v + pairs_v, r.drho.data(), nullptr, r.rho_r);
}

template <bool Second>
void reducing_pass(const ActiveSet& set, const double* x, ReducingDerivatives& r) {
    // Both quantities in one pass over the pairs, sharing the divisions.
    const int n = set.n;
    double diag_T = 0.0, diag_v = 0.0;
    for (int k = 0; k < n; ++k) {
        diag_T += x[k] * x[k] * set.Tc[k];
        diag_v += x[k] * x[k] * set.inv_rhoc[k];
        r.dT[k] = 2.0 * x[k] * set.Tc[k];
        r.drho[k] = 2.0 * x[k] * set.inv_rhoc[k];
        if constexpr (Second) {
            for (int l = 0; l < n; ++l) r.d2T[k][l] = r.d2rho[k][l] = 0.0;
            r.d2T[k][k] = 2.0 * set.Tc[k];
            r.d2rho[k][k] = 2.0 * set.inv_rhoc[k];
        }
    }
    double pairs_T = 0.0, pairs_v = 0.0;
    for (int k = 0; k < n; ++k) {
        const double xk = x[k];
        for (int l = k + 1; l < n; ++l) {
            const PairData& p = set.pair[k][l];
            const double xl = x[l];
            const double inv_s = 1.0 / (xk + xl);
            const double inv_qT = inverse_q(p.beta_T2, xk, xl, inv_s);
            const double inv_qv = p.beta_v2 == p.beta_T2 ? inv_qT : inverse_q(p.beta_v2, xk, xl, inv_s);
            const PairFunction fT = pair_function<Second>(xk, xl, p.beta_T2, inv_s, inv_qT);
            const PairFunction fv = pair_function<Second>(xk, xl, p.beta_v2, inv_s, inv_qv);
            pairs_T += p.T_factor * fT.f;
            pairs_v += p.v_factor * fv.f;
            r.dT[k] += p.T_factor * fT.fk;
            r.dT[l] += p.T_factor * fT.fl;
            r.drho[k] += p.v_factor * fv.fk;
            r.drho[l] += p.v_factor * fv.fl;
            if constexpr (Second) {
                r.d2T[k][k] += p.T_factor * fT.fkk;
                r.d2T[l][l] += p.T_factor * fT.fll;
                r.d2T[k][l] = r.d2T[l][k] = p.T_factor * fT.fkl;
                r.d2rho[k][k] += p.v_factor * fv.fkk;
                r.d2rho[l][l] += p.v_factor * fv.fll;
                r.d2rho[k][l] = r.d2rho[l][k] = p.v_factor * fv.fkl;
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
        first_order_pass(set, x, r);
    }
}

}  // namespace ngtherm::model
