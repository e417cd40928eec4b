#include "model/reducing.hpp"

namespace ngtherm::model {
namespace {

static_assert(kReducingForm == kReducingFormGerg2008, "only the GERG-2008 reducing functions are implemented");

// f = x_k x_l (x_k + x_l) / (b x_k + x_l) with b = beta^2, and its derivatives.
struct PairFunction {
    double f, fk, fl, fkk, fll, fkl;
};

// inv_s = 1 / (xk + xl), shared by the two reducing functions of a pair.
PairFunction pair_function(double xk, double xl, double b, double inv_s, bool second) {
    const double s = xk + xl;
    const double inv_q = 1.0 / (b * xk + xl);
    const double A = s * inv_q;
    PairFunction r{};
    r.f = xk * xl * A;
    r.fk = xl * A + r.f * (inv_s - b * inv_q);
    r.fl = xk * A + r.f * (inv_s - inv_q);
    if (second) {
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

void reducing_derivatives(const ActiveSet& set, const double* x, bool second, ReducingDerivatives& r) {
    // Both quantities in one pass over the pairs, sharing 1/(x_k + x_l).
    const int n = set.n;
    double diag_T = 0.0, diag_v = 0.0;
    for (int k = 0; k < n; ++k) {
        diag_T += x[k] * x[k] * set.Tc[k];
        diag_v += x[k] * x[k] * set.inv_rhoc[k];
        r.dT[k] = 2.0 * x[k] * set.Tc[k];
        r.drho[k] = 2.0 * x[k] * set.inv_rhoc[k];
        if (second) {
            for (int l = 0; l < n; ++l) r.d2T[k][l] = r.d2rho[k][l] = 0.0;
            r.d2T[k][k] = 2.0 * set.Tc[k];
            r.d2rho[k][k] = 2.0 * set.inv_rhoc[k];
        }
    }
    double pairs_T = 0.0, pairs_v = 0.0;
    for (int k = 0; k < n; ++k) {
        for (int l = k + 1; l < n; ++l) {
            const PairData& p = set.pair[k][l];
            const double inv_s = 1.0 / (x[k] + x[l]);
            const PairFunction fT = pair_function(x[k], x[l], p.beta_T2, inv_s, second);
            const PairFunction fv = pair_function(x[k], x[l], p.beta_v2, inv_s, second);
            pairs_T += p.T_factor * fT.f;
            pairs_v += p.v_factor * fv.f;
            r.dT[k] += p.T_factor * fT.fk;
            r.dT[l] += p.T_factor * fT.fl;
            r.drho[k] += p.v_factor * fv.fk;
            r.drho[l] += p.v_factor * fv.fl;
            if (second) {
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
    invert_density(n, diag_v + pairs_v, r.drho.data(), second ? &r.d2rho : nullptr, r.rho_r);
}

}  // namespace ngtherm::model
