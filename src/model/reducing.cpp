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

// Values and gradients, pair by pair in the order of the pairs, so every sum is
// taken in that order. The two reducing functions of a pair go side by side
// (index j: 0 = T_r, 1 = 1/rho_r), the same operations on both, so that they
// share the instructions of a two-lane vector. Each row first forms the terms of
// its pairs, then adds them in order. Where both betas are 1 (two thirds of the
// tabulated pairs) the quotient's denominator is the sum x_k + x_l itself: its
// inverse is 1/s to the bit and the terms with 1/s - 1/q vanish, so those pairs
// skip the division by q, the slowest operation here, and give the same bits.
void first_order_pass(const ActiveSet& set, const double* x, ReducingDerivatives& r) {
    using Pair = std::array<double, 2>;
    const int n = set.n;
    double diag_T = 0.0, diag_v = 0.0;
    std::array<Pair, kComponentCount> g;  // dT_r/dx_k, d(1/rho_r)/dx_k
    for (int k = 0; k < n; ++k) {
        diag_T += x[k] * x[k] * set.Tc[k];
        diag_v += x[k] * x[k] * set.inv_rhoc[k];
        g[k] = {2.0 * x[k] * set.Tc[k], 2.0 * x[k] * set.inv_rhoc[k]};
    }
    // Terms of the pairs (k, l) of one row, by l: the value and the gradient
    // entries of k and of l.
    std::array<Pair, kComponentCount> term, term_k, term_l;
    Pair pairs{0.0, 0.0};
    for (int k = 0; k < n; ++k) {
        const double xk = x[k];
        const Pair* b = set.beta2[k].data();
        const Pair* c = set.factor[k].data();
        for (int m = 0; m < set.general_count[k]; ++m) {
            const int l = set.general_l[k][m];
            const double xl = x[l];
            const double s = xk + xl;
            const double inv_s = 1.0 / s;
            const double xkxl = xk * xl;
            for (int j = 0; j < 2; ++j) {
                const double inv_q = 1.0 / (b[l][j] * xk + xl);
                const double A = s * inv_q;
                const double f = xkxl * A;
                term[l][j] = c[l][j] * f;
                term_k[l][j] = c[l][j] * (xl * A + f * (inv_s - b[l][j] * inv_q));
                term_l[l][j] = c[l][j] * (xk * A + f * (inv_s - inv_q));
            }
        }
        for (int m = 0; m < set.plain_count[k]; ++m) {
            const int l = set.plain_l[k][m];
            const double xl = x[l];
            const double s = xk + xl;
            const double A = s * (1.0 / s);
            const double f = xk * xl * A, fk = xl * A, fl = xk * A;
            for (int j = 0; j < 2; ++j) {
                term[l][j] = c[l][j] * f;
                term_k[l][j] = c[l][j] * fk;
                term_l[l][j] = c[l][j] * fl;
            }
        }
        Pair gk = g[k];
        for (int l = k + 1; l < n; ++l) {
            for (int j = 0; j < 2; ++j) {
                pairs[j] += term[l][j];
                gk[j] += term_k[l][j];
                g[l][j] += term_l[l][j];
            }
        }
        g[k] = gk;
    }
    for (int k = 0; k < n; ++k) {
        r.dT[k] = g[k][0];
        r.drho[k] = g[k][1];
    }
    r.T_r = diag_T + pairs[0];
    invert_density(n, diag_v + pairs[1], r.drho.data(), nullptr, r.rho_r);
}

// With the Hessians the pairs go row by row instead: for a row k, every pair
// (k, l), l in [first, n), of both reducing functions, f = x_k x_l (x_k + x_l) /
// (b x_k + x_l) with b = beta^2: the terms that go into sums over l (`t`), and
// the terms added to the entries of the components l (gradient and Hessian
// diagonal), added here. Contiguous arrays over l and no aliasing, so the loop
// vectorises across pairs.
struct RowTerms {
    Vector fT, fkT, fv, fkv;  // f and df/dx_k, times the pair factor
    Vector fkkT, fkkv;        // d2f/dx_k2, times the pair factor
};

struct RowTargets {
    double* __restrict dT;      // dT_r/dx_l
    double* __restrict drho;    // d(1/rho_r)/dx_l
    double* __restrict diagT;   // d2T_r/dx_l2
    double* __restrict diagv;   // d2(1/rho_r)/dx_l2
    double* __restrict rowT;    // d2T_r/dx_k dx_l
    double* __restrict rowv;    // d2(1/rho_r)/dx_k dx_l
};

using Pair = std::array<double, 2>;

void row_terms(int first, int n, double xk, const double* __restrict x, const Pair* __restrict b,
               const Pair* __restrict c, RowTerms& __restrict t, const RowTargets& out) {
    double* __restrict dT = out.dT;
    double* __restrict drho = out.drho;
    for (int l = first; l < n; ++l) {
        const double bT = b[l][0], bv = b[l][1], cT = c[l][0], cv = c[l][1];
        const double xl = x[l];
        const double s = xk + xl;
        const double inv_s = 1.0 / s;
        const double inv_qT = 1.0 / (bT * xk + xl);
        const double inv_qv = 1.0 / (bv * xk + xl);
        const double AT = s * inv_qT, Av = s * inv_qv;
        const double f_T = xk * xl * AT, f_v = xk * xl * Av;
        t.fT[l] = cT * f_T;
        t.fv[l] = cv * f_v;
        t.fkT[l] = cT * (xl * AT + f_T * (inv_s - bT * inv_qT));
        t.fkv[l] = cv * (xl * Av + f_v * (inv_s - bv * inv_qv));
        dT[l] += cT * (xk * AT + f_T * (inv_s - inv_qT));
        drho[l] += cv * (xk * Av + f_v * (inv_s - inv_qv));
        // f = N / q with N = xk^2 xl + xk xl^2; q is linear (dq/dxk = b, dq/dxl = 1).
        const double N = xk * xl * s;
        const double Nk = 2.0 * xk * xl + xl * xl;
        const double Nl = xk * xk + 2.0 * xk * xl;
        const double q2T = inv_qT * inv_qT, q3T = q2T * inv_qT;
        const double q2v = inv_qv * inv_qv, q3v = q2v * inv_qv;
        t.fkkT[l] = cT * (2.0 * xl * inv_qT - 2.0 * Nk * bT * q2T + 2.0 * N * bT * bT * q3T);
        t.fkkv[l] = cv * (2.0 * xl * inv_qv - 2.0 * Nk * bv * q2v + 2.0 * N * bv * bv * q3v);
        out.diagT[l] += cT * (2.0 * xk * inv_qT - 2.0 * Nl * q2T + 2.0 * N * q3T);
        out.diagv[l] += cv * (2.0 * xk * inv_qv - 2.0 * Nl * q2v + 2.0 * N * q3v);
        out.rowT[l] = cT * (2.0 * s * inv_qT - (Nk + Nl * bT) * q2T + 2.0 * N * bT * q3T);
        out.rowv[l] = cv * (2.0 * s * inv_qv - (Nk + Nl * bv) * q2v + 2.0 * N * bv * q3v);
    }
}

// Values, gradients and Hessians, row by row. The sums over a row are taken in
// the order of the pairs, so every sum is that of a pair-by-pair pass to the bit.
void second_order_pass(const ActiveSet& set, const double* x, ReducingDerivatives& r) {
    const int n = set.n;
    double diag_T = 0.0, diag_v = 0.0;
    Vector hT, hv;  // Hessian diagonals
    for (int k = 0; k < n; ++k) {
        diag_T += x[k] * x[k] * set.Tc[k];
        diag_v += x[k] * x[k] * set.inv_rhoc[k];
        r.dT[k] = 2.0 * x[k] * set.Tc[k];
        r.drho[k] = 2.0 * x[k] * set.inv_rhoc[k];
        hT[k] = 2.0 * set.Tc[k];
        hv[k] = 2.0 * set.inv_rhoc[k];
    }
    double pairs_T = 0.0, pairs_v = 0.0;
    RowTerms t;
    for (int k = 0; k < n; ++k) {
        const RowTargets out{r.dT.data(), r.drho.data(), hT.data(), hv.data(), r.d2T[k].data(), r.d2rho[k].data()};
        row_terms(k + 1, n, x[k], x, set.beta2[k].data(), set.factor[k].data(), t, out);
        for (int l = k + 1; l < n; ++l) {
            pairs_T += t.fT[l];
            pairs_v += t.fv[l];
            r.dT[k] += t.fkT[l];
            r.drho[k] += t.fkv[l];
            hT[k] += t.fkkT[l];
            hv[k] += t.fkkv[l];
        }
    }
    for (int k = 0; k < n; ++k) {
        r.d2T[k][k] = hT[k];
        r.d2rho[k][k] = hv[k];
        for (int l = 0; l < k; ++l) {
            r.d2T[k][l] = r.d2T[l][k];
            r.d2rho[k][l] = r.d2rho[l][k];
        }
    }
    r.T_r = diag_T + pairs_T;
    invert_density(n, diag_v + pairs_v, r.drho.data(), &r.d2rho, r.rho_r);
}

}  // namespace

void reducing_derivatives(const ActiveSet& set, const double* x, bool second, ReducingDerivatives& r) {
    if (second) {
        second_order_pass(set, x, r);
    } else {
        first_order_pass(set, x, r);
    }
}

}  // namespace ngtherm::model
