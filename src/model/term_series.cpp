#include "model/term_series.hpp"

#include <cmath>

namespace ngtherm::model {
namespace {

struct Factor {
    double f, f_d, f_dd;  // delta^d E and its first two delta derivatives
};

// delta^d exp(-u), u = delta^c (c = 0: polynomial term, factor delta^d).
Factor pure_factor(int d, int c, double delta, double u, double E) {
    const double pd1 = ipow(delta, d - 1);
    const double pd2 = d >= 2 ? ipow(delta, d - 2) : 0.0;
    const double dd1 = d * (d - 1.0);
    if (c == 0) return {pd1 * delta, d * pd1, dd1 * pd2};
    // Written without negative powers so that delta = 0 is harmless:
    // f'' = E [d(d-1) delta^(d-2) - c(2d+c-1) delta^(d+c-2) + c^2 delta^(d+2c-2)].
    const double m1 = pd1 * ipow(delta, c - 1);
    return {pd1 * delta * E, E * pd1 * (d - c * u),
            E * (dd1 * pd2 - c * (2.0 * d + c - 1.0) * m1 + c * c * m1 * u)};
}

// delta^d exp(q(delta)) with q' and q'' of the departure exponent.
Factor dep_factor(int d, double delta, double E, double q1, double q2) {
    const double pd1 = ipow(delta, d - 1);
    const double pd = pd1 * delta;
    const double pd2 = d >= 2 ? ipow(delta, d - 2) : 0.0;
    return {pd * E, E * (d * pd1 + pd * q1),
            E * (d * (d - 1.0) * pd2 + 2.0 * d * pd1 * q1 + pd * (q1 * q1 + q2))};
}

struct DepExponent {
    double E, q1, q2;
};

DepExponent dep_exponent(double eta, double epsilon, double beta, double gamma, double delta) {
    const double de = delta - epsilon;
    return {std::exp(-eta * de * de - beta * (delta - gamma)), -2.0 * eta * de - beta, -2.0 * eta};
}

void accumulate(HelmholtzDerivs& r, double n, double tp, double t, double tau, const Factor& f) {
    const double c = n * tp;
    const double ct = c * t / tau;
    r.a += c * f.f;
    r.a_d += c * f.f_d;
    r.a_dd += c * f.f_dd;
    r.a_t += ct * f.f;
    r.a_tt += ct * (t - 1.0) / tau * f.f;
    r.a_dt += ct * f.f_d;
}

}  // namespace

HelmholtzDerivs term_series(const TermSeries& s, const double* n, const int* d, const int* e,
                            double delta, double tau) {
    HelmholtzDerivs r;
    if (s.count == 0) return r;
    const double sigma = std::pow(tau, 1.0 / s.divisor);
    auto term = [&](int k, double u, double E, double q1, double q2, int c) {
        const double tp = ipow(sigma, e[k]);
        const double t = e[k] / s.divisor;
        const Factor f = s.kind == 0 ? pure_factor(d[k], c, delta, u, E)
                                     : dep_factor(d[k], delta, E, q1, q2);
        accumulate(r, n[k], tp, t, tau, f);
    };
    for (int k = 0; k < s.bounds[0]; ++k) term(k, 0.0, 1.0, 0.0, 0.0, 0);
    for (int g = 1; g <= 6; ++g) {
        const int first = s.bounds[g - 1], last = s.bounds[g];
        if (first == last) continue;
        if (s.kind == 0) {
            const double u = ipow(delta, g);
            const double E = std::exp(s.tail[g - 1] * u);
            for (int k = first; k < last; ++k) term(k, u, E, 0.0, 0.0, g);
        } else {
            const DepExponent x = dep_exponent(-s.tail[6 + g], s.tail[13], -s.tail[g - 1], s.tail[6], delta);
            for (int k = first; k < last; ++k) term(k, 0.0, x.E, x.q1, x.q2, 0);
        }
    }
    return r;
}

HelmholtzDerivs pure_series(int component, double delta, double tau) {
    const TermSeries& s = kPureSeries[component];
    return term_series(s, kPureTermN.data() + s.first, kPureTermD.data() + s.first,
                       kPureTermE.data() + s.first, delta, tau);
}

HelmholtzDerivs departure_series(int function, double delta, double tau) {
    const TermSeries& s = kDepartureSeries[function];
    return term_series(s, kDepTermN.data() + s.first, kDepTermD.data() + s.first,
                       kDepTermE.data() + s.first, delta, tau);
}

void series_coefficients(const ActiveSet& set, const double* x, SeriesCoefficients& c) {
    for (int s : set.pure_shapes) c.pure[s] = 0.0;
    for (int s : set.dep_shapes) c.dep[s] = 0.0;
    for (int k = 0; k < set.n; ++k) {
        const TermSeries& s = kPureSeries[set.id[k]];
        for (int t = s.first; t < s.first + s.count; ++t) c.pure[kPureTermShape[t]] += x[k] * kPureTermN[t];
    }
    std::array<double, kDepartureFunctionCount> weight{};
    for (int q = 0; q < set.dep_pair_count; ++q) {
        const int k = set.dep_pair[q][0], l = set.dep_pair[q][1];
        const PairData& p = set.pair[k][l];
        weight[p.function] += x[k] * x[l] * p.F;
    }
    for (int f = 0; f < kDepartureFunctionCount; ++f) {
        if (weight[f] == 0.0) continue;
        const TermSeries& s = kDepartureSeries[f];
        for (int t = s.first; t < s.first + s.count; ++t) c.dep[kDepTermShape[t]] += weight[f] * kDepTermN[t];
    }
}

void tau_coefficients(const ActiveSet& set, const SeriesCoefficients& c, double tau,
                      TauCoefficients& t) {
    t.tau = tau;
    for (int g : set.pure_groups) t.pure0[g] = t.pure1[g] = t.pure2[g] = 0.0;
    for (int g : set.dep_groups) t.dep0[g] = t.dep1[g] = t.dep2[g] = 0.0;
    const double pure_divisor = kPureSeries[0].divisor;
    const double dep_divisor = kDepartureSeries[0].divisor;
    const double sigma_pure = std::pow(tau, 1.0 / pure_divisor);
    for (int s : set.pure_shapes) {
        const TermShape& shape = kPureShapes[s];
        const double tp = ipow(sigma_pure, shape.e);
        const double t_exp = shape.e / pure_divisor;
        const double v = c.pure[s] * tp;
        t.pure_tau_power[s] = tp;
        t.pure0[shape.delta_group] += v;
        t.pure1[shape.delta_group] += v * t_exp;
        t.pure2[shape.delta_group] += v * t_exp * (t_exp - 1.0);
    }
    if (set.dep_shapes.size == 0) return;
    const double sigma_dep = std::pow(tau, 1.0 / dep_divisor);
    for (int s : set.dep_shapes) {
        const TermShape& shape = kDepShapes[s];
        const double tp = ipow(sigma_dep, shape.e);
        const double t_exp = shape.e / dep_divisor;
        const double v = c.dep[s] * tp;
        t.dep_tau_power[s] = tp;
        t.dep0[shape.delta_group] += v;
        t.dep1[shape.delta_group] += v * t_exp;
        t.dep2[shape.delta_group] += v * t_exp * (t_exp - 1.0);
    }
}

void delta_factors(const ActiveSet& set, double delta, bool /*second*/, DeltaFactors& out) {
    std::array<double, 7> u{}, E{};
    for (int c = 1; c <= 6; ++c) {
        if (!set.pure_exp_used[c]) continue;
        u[c] = ipow(delta, c);
        E[c] = std::exp(-u[c]);
    }
    for (int g : set.pure_groups) {
        const PureDeltaGroup& grp = kPureDeltaGroups[g];
        const Factor f = pure_factor(grp.d, grp.c, delta, u[grp.c], E[grp.c]);
        out.pf[g] = f.f;
        out.pf_d[g] = f.f_d;
        out.pf_dd[g] = f.f_dd;
    }
    if (set.dep_groups.size == 0) return;
    std::array<DepExponent, kDepExponentialCount> x{};
    for (int e : set.dep_exponentials) {
        const DepExponential& p = kDepExponentials[e];
        x[e] = e == 0 ? DepExponent{1.0, 0.0, 0.0} : dep_exponent(p.eta, p.epsilon, p.beta, p.gamma, delta);
    }
    for (int g : set.dep_groups) {
        const DepDeltaGroup& grp = kDepDeltaGroups[g];
        const DepExponent& xe = x[grp.exponential];
        const Factor f = dep_factor(grp.d, delta, xe.E, xe.q1, xe.q2);
        out.df[g] = f.f;
        out.df_d[g] = f.f_d;
        out.df_dd[g] = f.f_dd;
    }
}

HelmholtzDerivs mixture_series(const ActiveSet& set, const TauCoefficients& t, double delta,
                               Derivatives which) {
    DeltaFactors f;
    delta_factors(set, delta, true, f);
    return mixture_series(set, t, f, which);
}

HelmholtzDerivs mixture_series(const ActiveSet& set, const TauCoefficients& t, const DeltaFactors& f,
                               Derivatives which) {
    double a = 0, a_d = 0, a_dd = 0, b = 0, b_d = 0, c = 0;
    for (int g : set.pure_groups) {
        a += t.pure0[g] * f.pf[g];
        a_d += t.pure0[g] * f.pf_d[g];
        a_dd += t.pure0[g] * f.pf_dd[g];
        b += t.pure1[g] * f.pf[g];
        b_d += t.pure1[g] * f.pf_d[g];
        c += t.pure2[g] * f.pf[g];
    }
    for (int g : set.dep_groups) {
        a += t.dep0[g] * f.df[g];
        a_d += t.dep0[g] * f.df_d[g];
        a_dd += t.dep0[g] * f.df_dd[g];
        b += t.dep1[g] * f.df[g];
        b_d += t.dep1[g] * f.df_d[g];
        c += t.dep2[g] * f.df[g];
    }
    HelmholtzDerivs r;
    r.a = a;
    r.a_d = a_d;
    r.a_dd = a_dd;
    r.a_t = b / t.tau;
    if (which == Derivatives::all) {
        r.a_tt = c / (t.tau * t.tau);
        r.a_dt = b_d / t.tau;
    }
    return r;
}

void component_series(const ActiveSet& set, const TauCoefficients& t, const DeltaFactors& f,
                      ComponentSeries& out) {
    const double pure_divisor = kPureSeries[0].divisor;
    for (int k = 0; k < set.n; ++k) {
        const TermSeries& s = kPureSeries[set.id[k]];
        double a = 0, a_d = 0, a_t = 0;
        for (int i = s.first; i < s.first + s.count; ++i) {
            const int sh = kPureTermShape[i];
            const int g = kPureShapes[sh].delta_group;
            const double c = kPureTermN[i] * t.pure_tau_power[sh];
            a += c * f.pf[g];
            a_d += c * f.pf_d[g];
            a_t += c * (kPureTermE[i] / pure_divisor) * f.pf[g];
        }
        out.a[k] = a;
        out.a_d[k] = a_d;
        out.a_t[k] = a_t / t.tau;
    }
    for (int k = 0; k < set.n; ++k) {
        for (int l = 0; l < set.n; ++l) out.pair_a[k][l] = out.pair_a_d[k][l] = out.pair_a_t[k][l] = 0.0;
    }
    const double dep_divisor = kDepartureSeries[0].divisor;
    for (int q = 0; q < set.dep_pair_count; ++q) {
        const int k = set.dep_pair[q][0], l = set.dep_pair[q][1];
        const PairData& p = set.pair[k][l];
        const TermSeries& s = kDepartureSeries[p.function];
        double a = 0, a_d = 0, a_t = 0;
        for (int i = s.first; i < s.first + s.count; ++i) {
            const int sh = kDepTermShape[i];
            const int g = kDepShapes[sh].delta_group;
            const double c = kDepTermN[i] * t.dep_tau_power[sh];
            a += c * f.df[g];
            a_d += c * f.df_d[g];
            a_t += c * (kDepTermE[i] / dep_divisor) * f.df[g];
        }
        out.pair_a[k][l] = out.pair_a[l][k] = p.F * a;
        out.pair_a_d[k][l] = out.pair_a_d[l][k] = p.F * a_d;
        out.pair_a_t[k][l] = out.pair_a_t[l][k] = p.F * a_t / t.tau;
    }
}

}  // namespace ngtherm::model
