#include "model/reducing.hpp"

#include <cstdio>
#include <cstdlib>

namespace ngtherm::model {
namespace {

// The active form; routines check it so that a different form fails loudly.
constexpr int kReducingForm = kReducingFormGerg2008;

void check_form(const char* routine_text) {
    if (kReducingForm != kReducingFormGerg2008) unknown_reducing_form(kReducingForm, routine_text);
}

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

PairFunction pair_function(double xk, double xl, double b, bool second) {
    return pair_function(xk, xl, b, 1.0 / (xk + xl), second);
}

// Y = sum x_k^2 Yc_k + sum_{k<l} factor_kl f_kl, with Yc = Tc (T_r) or 1/rhoc (1/rho_r).
enum class Quantity { temperature, inverse_density };

double yc(const ActiveSet& set, Quantity q, int k) {
    return q == Quantity::temperature ? set.Tc[k] : set.inv_rhoc[k];
}

void pair_params(const PairData& p, Quantity q, double& b, double& factor) {
    if (q == Quantity::temperature) {
        b = p.beta_T2;
        factor = p.T_factor;
    } else {
        b = p.beta_v2;
        factor = p.v_factor;
    }
}

double reduce(const ActiveSet& set, const double* x, Quantity q) {
    double diagonal = 0.0;
    for (int k = 0; k < set.n; ++k) diagonal += x[k] * x[k] * yc(set, q, k);
    double pairs = 0.0;
    for (int k = 0; k < set.n; ++k) {
        for (int l = k + 1; l < set.n; ++l) {
            double b, factor;
            pair_params(set.pair[k][l], q, b, factor);
            pairs += factor * pair_function(x[k], x[l], b, false).f;
        }
    }
    return diagonal + pairs;
}

// One pass over the pairs: Y = T_r or 1/rho_r with its gradient and (optionally)
// Hessian. Each pair function is evaluated once.
void accumulate(const ActiveSet& set, const double* x, Quantity q, bool second, double& y, double* g,
                Matrix* h) {
    const int n = set.n;
    double diagonal = 0.0;
    for (int k = 0; k < n; ++k) {
        diagonal += x[k] * x[k] * yc(set, q, k);
        g[k] = 2.0 * x[k] * yc(set, q, k);
        if (second) {
            for (int l = 0; l < n; ++l) (*h)[k][l] = 0.0;
            (*h)[k][k] = 2.0 * yc(set, q, k);
        }
    }
    double pairs = 0.0;
    for (int k = 0; k < n; ++k) {
        for (int l = k + 1; l < n; ++l) {
            double b, factor;
            pair_params(set.pair[k][l], q, b, factor);
            const PairFunction f = pair_function(x[k], x[l], b, second);
            pairs += factor * f.f;
            g[k] += factor * f.fk;
            g[l] += factor * f.fl;
            if (second) {
                (*h)[k][k] += factor * f.fkk;
                (*h)[l][l] += factor * f.fll;
                (*h)[k][l] = (*h)[l][k] = factor * f.fkl;
            }
        }
    }
    y = diagonal + pairs;
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

void unknown_reducing_form(int form, const char* routine_text) {
    std::printf(" Unbekanntes IKBEZ=%12d%s\n", form, routine_text);
    std::fflush(stdout);
    std::exit(0);
}

double treduct(const ActiveSet& set, const double* x) {
    check_form(" in TREDUCT -> ABBRUCH");
    return reduce(set, x, Quantity::temperature);
}

double dreduct(const ActiveSet& set, const double* x) {
    check_form(" in DREDUCT -> STOP");
    return 1.0 / reduce(set, x, Quantity::inverse_density);
}

void dtredx(const ActiveSet& set, const double* x, double* d, int selector) {
    check_form(" in DTREDX -> STOP");
    double y;
    Vector g;
    accumulate(set, x, Quantity::temperature, false, y, g.data(), nullptr);
    for (int k = 0; k < set.n; ++k) d[k] = selector == 0 || selector == k + 1 ? g[k] : 0.0;
}

void ddredx(const ActiveSet& set, const double* x, double* d, int selector) {
    check_form(" in DDREDX -> STOP");
    double inv, rho_r;
    Vector g;
    accumulate(set, x, Quantity::inverse_density, false, inv, g.data(), nullptr);
    invert_density(set.n, inv, g.data(), nullptr, rho_r);
    for (int k = 0; k < set.n; ++k) d[k] = selector == 0 || selector == k + 1 ? g[k] : 0.0;
}

void dtdxidxj(const ActiveSet& set, const double* x, Matrix& e) {
    check_form(" in DTDXIDXJ -> STOP");
    double y;
    Vector g;
    accumulate(set, x, Quantity::temperature, true, y, g.data(), &e);
}

void dddxixj(const ActiveSet& set, const double* x, Matrix& e) {
    check_form(" in DDDXIXJ -> STOP");
    double inv, rho_r;
    Vector g;
    accumulate(set, x, Quantity::inverse_density, true, inv, g.data(), &e);
    invert_density(set.n, inv, g.data(), &e, rho_r);
}

void reducing_derivatives(const ActiveSet& set, const double* x, bool second, ReducingDerivatives& r) {
    check_form(" in DTREDX -> STOP");
    // Both quantities in one pass over the pairs, sharing 1/(x_k + x_l).
    const int n = set.n;
    double diag_T = 0.0, diag_v = 0.0;
    Vector gv;
    for (int k = 0; k < n; ++k) {
        diag_T += x[k] * x[k] * set.Tc[k];
        diag_v += x[k] * x[k] * set.inv_rhoc[k];
        r.dT[k] = 2.0 * x[k] * set.Tc[k];
        gv[k] = 2.0 * x[k] * set.inv_rhoc[k];
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
            gv[k] += p.v_factor * fv.fk;
            gv[l] += p.v_factor * fv.fl;
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
    r.drho = gv;
    invert_density(n, diag_v + pairs_v, r.drho.data(), second ? &r.d2rho : nullptr, r.rho_r);
}

}  // namespace ngtherm::model
