// The tests' oracle for the residual part: one pure-fluid equation or departure
// function evaluated term by term from the generated term tables, each term with
// its own powers and exponential, nothing shared between terms.
#pragma once

#include <cmath>

#include "model/term_series.hpp"

namespace ngtherm::test {

struct TermFactor {
    double f, f_d, f_dd;  // delta^d E and its first two delta derivatives
};

// delta^d exp(-u), u = delta^c (c = 0: polynomial term, factor delta^d).
inline TermFactor pure_factor(int d, int c, double delta, double u, double E) {
    using model::ipow;
    const double pd1 = ipow(delta, d - 1), pd2 = d >= 2 ? ipow(delta, d - 2) : 0.0, dd1 = d * (d - 1.0);
    if (c == 0) return {pd1 * delta, d * pd1, dd1 * pd2};
    // Written without negative powers so that delta = 0 is harmless:
    // f'' = E [d(d-1) delta^(d-2) - c(2d+c-1) delta^(d+c-2) + c^2 delta^(d+2c-2)].
    const double m1 = pd1 * ipow(delta, c - 1);
    return {pd1 * delta * E, E * pd1 * (d - c * u),
            E * (dd1 * pd2 - c * (2.0 * d + c - 1.0) * m1 + c * c * m1 * u)};
}

// delta^d exp(q(delta)), q = -eta (delta - epsilon)^2 - beta (delta - gamma).
inline TermFactor dep_factor(int d, const model::DepExponential& x, double delta) {
    using model::ipow;
    const double de = delta - x.epsilon;
    const double E = std::exp(-x.eta * de * de - x.beta * (delta - x.gamma));
    const double q1 = -2.0 * x.eta * de - x.beta, q2 = -2.0 * x.eta;
    const double pd1 = ipow(delta, d - 1), pd = pd1 * delta, pd2 = d >= 2 ? ipow(delta, d - 2) : 0.0;
    return {pd * E, E * (d * pd1 + pd * q1),
            E * (d * (d - 1.0) * pd2 + 2.0 * d * pd1 * q1 + pd * (q1 * q1 + q2))};
}

// Adds n tau^t f(delta) with its derivatives; tp = tau^t.
inline void add_term(model::HelmholtzDerivs& r, double n, double tp, double t, double tau, const TermFactor& f) {
    const double c = n * tp, ct = c * t / tau;
    r.a += c * f.f;
    r.a_d += c * f.f_d;
    r.a_dd += c * f.f_dd;
    r.a_t += ct * f.f;
    r.a_tt += ct * (t - 1.0) / tau * f.f;
    r.a_dt += ct * f.f_d;
}

// alpha_oi of model component `component` and its derivatives at (delta, tau).
inline model::HelmholtzDerivs pure_series(int component, double delta, double tau) {
    using namespace model;
    const TermSeries& s = kPureSeries[component];
    const double sigma = std::pow(tau, 1.0 / kPureTauDivisor);
    HelmholtzDerivs r;
    for (int k = s.first; k < s.first + s.count; ++k) {
        const int c = kPureDeltaGroups[kPureShapes[kPureTermShape[k]].delta_group].c;
        const double u = ipow(delta, c);
        const TermFactor f = pure_factor(kPureTermD[k], c, delta, u, c == 0 ? 1.0 : std::exp(-u));
        add_term(r, kPureTermN[k], ipow(sigma, kPureTermE[k]), kPureTermE[k] / kPureTauDivisor, tau, f);
    }
    return r;
}

// alpha_kl of departure function `function` (without the weight F_kl).
inline model::HelmholtzDerivs departure_series(int function, double delta, double tau) {
    using namespace model;
    const TermSeries& s = kDepartureSeries[function];
    const double sigma = std::pow(tau, 1.0 / kDepTauDivisor);
    HelmholtzDerivs r;
    for (int k = s.first; k < s.first + s.count; ++k) {
        const DepExponential& x = kDepExponentials[kDepDeltaGroups[kDepShapes[kDepTermShape[k]].delta_group].exponential];
        add_term(r, kDepTermN[k], ipow(sigma, kDepTermE[k]), kDepTermE[k] / kDepTauDivisor, tau,
                 dep_factor(kDepTermD[k], x, delta));
    }
    return r;
}

}  // namespace ngtherm::test
