#include "numerics/trust_region.hpp"

#include <cmath>

#include "numerics/ldl.hpp"

namespace ngtherm::numerics {
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

RestrictedStep rstep(int n, const Matrix& H, const Vector& r, double radius, double tau,
                     double mu) {
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

double predicted_change(int n, const Vector& g, const Matrix& H, const Vector& s) {
    double lin = 0.0, quad = 0.0;
    for (int i = 0; i < n; ++i) {
        lin += g[i] * s[i];
        double hs = 0.0;
        for (int j = 0; j < n; ++j) hs += H[i][j] * s[j];
        quad += s[i] * hs;
    }
    return lin + 0.5 * quad;
}

double vector_norm(int n, const Vector& v) {
    double s2 = 0.0;
    for (int i = 0; i < n; ++i) s2 += v[i] * v[i];
    return std::sqrt(s2);
}

bool accept_or_shrink(int n, const Matrix& H, const Vector& g, const Vector& r, double f,
                      const RetrySettings& settings, StepTrial& trial, double& radius) {
    double mu = 0.0;
    Vector taken{};
    for (int attempt = 0; attempt < kMaxRejectedSteps; ++attempt) {
        const RestrictedStep rs = rstep(n, H, r, radius, kTrustTolerance, mu);
        if (!rs.ok) return false;
        if (settings.carry_shift) mu = rs.mu;
        double f_new = 0.0;
        const bool ok = trial.evaluate(rs, taken, f_new);
        const double norm = vector_norm(n, taken);
        if (!ok || !(f_new <= f + settings.step_slack)) {
            radius = settings.reject_shrink * norm;
            continue;
        }
        const double ratio = (f_new - f) / predicted_change(n, g, H, taken);
        radius = update_trust_radius(ratio, norm, rs.mu, radius);
        trial.accept();
        return true;
    }
    return false;
}

}  // namespace ngtherm::numerics
