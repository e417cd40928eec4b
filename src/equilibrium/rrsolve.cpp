#include "equilibrium/rrsolve.hpp"

#include <algorithm>
#include <array>
#include <cmath>

#include "equilibrium/solver_constants.hpp"
#include "model/active_set.hpp"

namespace ngtherm::equilibrium {
namespace {

using Vector = model::Vector;

// Safeguarded Newton iteration for the root of a monotone function inside
// [lo, hi]. `eval(u, f, df)` gives the function and the derivative magnitude;
// `step(f, df)` the Newton step; `below(f)` tells that the root lies above u.
template <class Eval, class Step, class Below>
RachfordRiceResult bracketed_newton(double& u, double lo, double hi, Eval eval, Step step,
                                    Below below) {
    RachfordRiceResult result;
    for (int it = 1; it <= kRachfordRiceMaxIterations; ++it) {
        double f = 0.0, df = 0.0;
        eval(u, f, df);
        result.iterations = it;
        if (!(df > 0.0)) return result;  // every K is 1: any u is a root
        if (below(f)) {
            lo = u;
        } else {
            hi = u;
        }
        u += step(f, df);
        if (u < lo || u > hi) u = 0.5 * (lo + hi);
        if (std::fabs(f) + std::fabs(f / df) <= kRachfordRiceTolerance) return result;
    }
    result.converged = false;
    return result;
}

// Start value: the given one when it lies strictly inside (lower end, half), else the lower end.
double start_value(double given, double lower) {
    return (given <= lower || given >= kRachfordRiceHalf) ? lower : given;
}

// Root in the lower half of beta: sum z_i (K_i - 1)/(1 - beta + beta K_i) = 0.
RachfordRiceResult solve_lower_half(int n, const double* z, const Vector& K, double& beta) {
    double beta_min = 0.0;
    for (int i = 0; i < n; ++i) {
        if (K[i] > 1.0) beta_min = std::max(beta_min, (z[i] * K[i] - 1.0) / (K[i] - 1.0));
    }
    beta = start_value(beta, beta_min);
    auto eval = [&](double b, double& g, double& dg) {
        for (int i = 0; i < n; ++i) {
            const double t = (K[i] - 1.0) / (1.0 - b + b * K[i]);
            g += z[i] * t;
            dg += z[i] * t * t;
        }
    };
    return bracketed_newton(
        beta, beta_min, kRachfordRiceHalf, eval, [](double g, double dg) { return g / dg; },
        [](double g) { return g > 0.0; });
}

// Root in the upper half, solved for L = 1 - beta for accuracy near beta = 1.
RachfordRiceResult solve_upper_half(int n, const double* z, const Vector& K, double& beta) {
    double L_min = 0.0;
    for (int i = 0; i < n; ++i) {
        if (K[i] < 1.0) L_min = std::max(L_min, (z[i] - K[i]) / (1.0 - K[i]));
    }
    double L = start_value(1.0 - beta, L_min);
    auto eval = [&](double l, double& h, double& dh) {
        for (int i = 0; i < n; ++i) {
            const double t = (K[i] - 1.0) / (l + (1.0 - l) * K[i]);
            h += z[i] * t;
            dh += z[i] * t * t;
        }
    };
    const RachfordRiceResult result = bracketed_newton(
        L, L_min, kRachfordRiceHalf, eval, [](double h, double dh) { return -h / dh; },
        [](double h) { return h < 0.0; });
    beta = 1.0 - L;
    return result;
}

}  // namespace

RachfordRiceResult rrsolve(int n, const double* z, const double* lnK, double& beta, double* x,
                           double* y) {
    Vector K{};
    double S1 = 0.0, S2 = 0.0, g_half = 0.0;
    for (int i = 0; i < n; ++i) {
        K[i] = std::exp(lnK[i]);
        S1 += z[i] * K[i];
        S2 += z[i] / K[i];
        g_half += z[i] * (K[i] - 1.0) / (K[i] + 1.0);
    }
    if (S1 < 1.0) {
        beta = 0.0;
        for (int i = 0; i < n; ++i) {
            x[i] = z[i];
            y[i] = K[i] * z[i] / S1;
        }
        return {};
    }
    if (S2 < 1.0) {
        beta = 1.0;
        for (int i = 0; i < n; ++i) {
            y[i] = z[i];
            x[i] = z[i] / (K[i] * S2);
        }
        return {};
    }
    const RachfordRiceResult result = g_half <= 0.0 ? solve_lower_half(n, z, K, beta)
                                                    : solve_upper_half(n, z, K, beta);
    for (int i = 0; i < n; ++i) {
        x[i] = z[i] / (1.0 - beta + beta * K[i]);
        y[i] = K[i] * x[i];
    }
    return result;
}

}  // namespace ngtherm::equilibrium
