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

PairFunction pair_function(double xk, double xl, double b, bool second) {
    const double s = xk + xl;
    const double q = b * xk + xl;
    const double A = s / q;
    PairFunction r{};
    r.f = xk * xl * A;
    r.fk = xl * A + xk * xl * A * (1.0 / s - b / q);
    r.fl = xk * A + xk * xl * A * (1.0 / s - 1.0 / q);
    if (second) {
        // f = N / q with N = xk^2 xl + xk xl^2; q is linear (dq/dxk = b, dq/dxl = 1).
        const double N = xk * xl * s;
        const double Nk = 2.0 * xk * xl + xl * xl;
        const double Nl = xk * xk + 2.0 * xk * xl;
        const double q2 = q * q, q3 = q2 * q;
        r.fkk = 2.0 * xl / q - 2.0 * Nk * b / q2 + 2.0 * N * b * b / q3;
        r.fll = 2.0 * xk / q - 2.0 * Nl / q2 + 2.0 * N / q3;
        r.fkl = 2.0 * s / q - (Nk + Nl * b) / q2 + 2.0 * N * b / q3;
    }
    return r;
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

void gradient(const ActiveSet& set, const double* x, Quantity q, double* d, int selector) {
    for (int k = 0; k < set.n; ++k) d[k] = 0.0;
    for (int i = 0; i < set.n; ++i) {
        if (selector != 0 && selector != i + 1) continue;
        double sum = 2.0 * x[i] * yc(set, q, i);
        for (int j = 0; j < set.n; ++j) {
            if (j == i) continue;
            const int k = i < j ? i : j, l = i < j ? j : i;
            double b, factor;
            pair_params(set.pair[k][l], q, b, factor);
            const PairFunction f = pair_function(x[k], x[l], b, false);
            sum += factor * (i == k ? f.fk : f.fl);
        }
        d[i] = sum;
    }
}

void hessian(const ActiveSet& set, const double* x, Quantity q, Matrix& e) {
    for (int i = 0; i < set.n; ++i) {
        double diag = 2.0 * yc(set, q, i);
        for (int j = 0; j < set.n; ++j) {
            if (j == i) continue;
            const int k = i < j ? i : j, l = i < j ? j : i;
            double b, factor;
            pair_params(set.pair[k][l], q, b, factor);
            const PairFunction f = pair_function(x[k], x[l], b, true);
            diag += factor * (i == k ? f.fkk : f.fll);
            if (j > i) {
                e[i][j] = factor * f.fkl;
                e[j][i] = e[i][j];
            }
        }
        e[i][i] = diag;
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
    gradient(set, x, Quantity::temperature, d, selector);
}

void ddredx(const ActiveSet& set, const double* x, double* d, int selector) {
    check_form(" in DDREDX -> STOP");
    const double rho_r = dreduct(set, x);
    gradient(set, x, Quantity::inverse_density, d, selector);
    for (int k = 0; k < set.n; ++k) d[k] = -rho_r * rho_r * d[k];
}

void dtdxidxj(const ActiveSet& set, const double* x, Matrix& e) {
    check_form(" in DTDXIDXJ -> STOP");
    hessian(set, x, Quantity::temperature, e);
}

void dddxixj(const ActiveSet& set, const double* x, Matrix& e) {
    check_form(" in DDDXIXJ -> STOP");
    const double rho_r = dreduct(set, x);
    Vector d{};
    ddredx(set, x, d.data(), 0);
    hessian(set, x, Quantity::inverse_density, e);
    for (int i = 0; i < set.n; ++i) {
        for (int j = i; j < set.n; ++j) {
            e[i][j] = rho_r * rho_r * (2.0 * d[i] * d[j] / (rho_r * rho_r * rho_r) - e[i][j]);
            e[j][i] = e[i][j];
        }
    }
}

}  // namespace ngtherm::model
