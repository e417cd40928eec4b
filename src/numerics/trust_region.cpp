#include "equilibrium/rstep.hpp"

#include <cmath>

#include "equilibrium/solver_constants.hpp"

namespace ngtherm::equilibrium {

void ldl_factor(int n, const model::Matrix& H, double mu, LdlFactors& f) {
    f.positive_definite = true;
    for (int j = 0; j < n; ++j) {
        double d = H[j][j] + mu;
        for (int k = 0; k < j; ++k) d -= f.L[j][k] * f.L[j][k] * f.D[k];
        f.D[j] = d;
        if (!(d > 0.0)) f.positive_definite = false;
        f.L[j][j] = 1.0;
        for (int i = j + 1; i < n; ++i) {
            double a = H[i][j];
            for (int k = 0; k < j; ++k) a -= f.L[i][k] * f.L[j][k] * f.D[k];
            f.L[i][j] = a / d;
        }
    }
}

double ldl_solve(int n, const LdlFactors& f, const model::Vector& r, model::Vector& s) {
    // Forward: L w = r; then D; then back: L^T s = D^-1 w. The quadratic form
    // s^T A^-1 s uses a second forward solve L v = s: s^T A^-1 s = sum v^2 / D.
    model::Vector w{};
    for (int i = 0; i < n; ++i) {
        double a = r[i];
        for (int k = 0; k < i; ++k) a -= f.L[i][k] * w[k];
        w[i] = a;
    }
    for (int i = n - 1; i >= 0; --i) {
        double a = w[i] / f.D[i];
        for (int k = i + 1; k < n; ++k) a -= f.L[k][i] * s[k];
        s[i] = a;
    }
    double form = 0.0;
    for (int i = 0; i < n; ++i) {
        double a = s[i];
        for (int k = 0; k < i; ++k) a -= f.L[i][k] * w[k];
        w[i] = a;
        form += a * a / f.D[i];
    }
    return form;
}

namespace {

// Bounds on the shift learnt so far.
struct ShiftBounds {
    double lower = 0.0, upper = 0.0;
    bool has_lower = false, has_upper = false;
};

// Next shift after an indefinite factorisation: mu is too small.
double raise_shift(double mu, double q, ShiftBounds& b) {
    b.lower = mu;
    b.has_lower = true;
    if (mu != 0.0) return b.has_upper ? 0.5 * (mu + b.upper) : kRstepGrowShift * mu;
    const double first = kRstepFirstShift * std::fabs(q);
    // A zero or non-finite q (zero right-hand side, zero pivot) gives no scale;
    // the diagonal magnitude is a safe first shift then.
    return std::isfinite(first) && first > 0.0 ? first : 1.0;
}

}  // namespace

RestrictedStep rstep(int n, const model::Matrix& H, const model::Vector& r, double radius,
                     double tau, double mu) {
    RestrictedStep out;
    LdlFactors f;
    ShiftBounds bounds;
    const double radius2 = radius * radius;
    for (int it = 1; it <= kRstepMaxIterations; ++it) {
        out.iterations = it;
        ldl_factor(n, H, mu, f);
        const double form = ldl_solve(n, f, r, out.s);
        double s2 = 0.0;
        for (int i = 0; i < n; ++i) s2 += out.s[i] * out.s[i];
        out.norm = std::sqrt(s2);
        out.mu = mu;
        const double q = s2 / form;
        if (!f.positive_definite) {
            mu = raise_shift(mu, q, bounds);
            continue;
        }
        if (s2 < radius2) {
            bounds.upper = mu;
            bounds.has_upper = true;
        } else {
            bounds.lower = mu;
            bounds.has_lower = true;
        }
        if ((mu == 0.0 && s2 < radius2) || std::fabs(0.5 * (s2 / radius2 - 1.0)) <= tau) {
            return out;
        }
        double next = mu + q * (out.norm / radius - 1.0);
        if (bounds.has_lower && bounds.has_upper && (next < bounds.lower || next > bounds.upper)) {
            next = 0.5 * (bounds.lower + bounds.upper);
        }
        mu = next > 0.0 ? next : 0.0;
    }
    out.ok = false;
    return out;
}

double update_trust_radius(double ratio, double norm, double mu, double radius) {
    if (ratio < kPoorRatio) return kShrinkFactor * norm;
    if (ratio > kGoodRatio) return mu > 0.0 ? kGrowFactor * norm : radius;
    return norm;
}

double predicted_change(int n, const model::Vector& g, const model::Matrix& H,
                        const model::Vector& s) {
    double lin = 0.0, quad = 0.0;
    for (int i = 0; i < n; ++i) {
        lin += g[i] * s[i];
        double hs = 0.0;
        for (int j = 0; j < n; ++j) hs += H[i][j] * s[j];
        quad += s[i] * hs;
    }
    return lin + 0.5 * quad;
}

}  // namespace ngtherm::equilibrium
