#include "model/term_series.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ngtherm::model {
namespace {

struct Factor {
    double f, f_d;  // delta^d E and its delta derivative
};

struct DepExponent {
    double E, q1, q2;
};

// Every built-in departure exponential is G^(8 eta) H^(4 beta) with
// G = exp(-(delta - 1/2)^2 / 8) and H = exp(-(delta - 1/2) / 4): two
// exponentials serve all of them.
constexpr int max_dep_power(bool eta) {
    int m = 0;
    for (const DepExponential& e : kDepExponentials) m = std::max(m, eta ? e.eta_eighths : e.beta_quarters);
    return m;
}

struct DepBases {
    std::array<double, max_dep_power(true) + 1> G;   // G^k
    std::array<double, max_dep_power(false) + 1> H;  // H^k
};

// G and H of delta, and where `shared` holds them for this delta, from there.
DepBases dep_bases(double delta, const DeltaExponentials* shared = nullptr) {
    const double w = delta - 0.5;
    DepBases b;
    b.G[0] = b.H[0] = 1.0;
    if (shared != nullptr && shared->delta == delta) {
        b.G[1] = shared->G;
        b.H[1] = shared->H;
    } else {
        b.G[1] = std::exp(-0.125 * w * w);
        b.H[1] = std::exp(-0.25 * w);
    }
    // Squares where possible, so the powers come in a few rounds of products.
    for (size_t k = 2; k < b.G.size(); ++k) b.G[k] = k % 2 == 0 ? b.G[k / 2] * b.G[k / 2] : b.G[k - 1] * b.G[1];
    for (size_t k = 2; k < b.H.size(); ++k) b.H[k] = k % 2 == 0 ? b.H[k / 2] * b.H[k / 2] : b.H[k - 1] * b.H[1];
    return b;
}

DepExponent dep_exponent(int index, double delta, const DepBases& b) {
    const DepExponential& p = kDepExponentials[index];
    return {b.G[p.eta_eighths] * b.H[p.beta_quarters], -2.0 * p.eta * (delta - p.epsilon) - p.beta, -2.0 * p.eta};
}

}  // namespace

void series_coefficients(const ActiveSet& set, const double* x, SeriesCoefficients& c) {
    std::fill_n(c.pure.begin(), set.pure_shapes.size, 0.0);
    std::fill_n(c.dep.begin(), set.dep_shapes.size, 0.0);
    for (int k = 0; k < set.n; ++k) {
        const TermSeries& s = kPureSeries[set.id[k]];
        for (int t = s.first; t < s.first + s.count; ++t) c.pure[set.pure_term_j[t]] += x[k] * kPureTermN[t];
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
        for (int t = s.first; t < s.first + s.count; ++t) c.dep[set.dep_term_j[t]] += weight[f] * kDepTermN[t];
    }
}

namespace {

constexpr int max_shape_exponent(bool departure) {
    int m = 0;
    if (departure) {
        for (const TermShape& s : kDepShapes) m = std::max(m, s.e < 0 ? -s.e : s.e);
    } else {
        for (const TermShape& s : kPureShapes) m = std::max(m, s.e < 0 ? -s.e : s.e);
    }
    return m;
}

constexpr bool has_negative_exponent(bool departure) {
    if (departure) {
        for (const TermShape& s : kDepShapes) {
            if (s.e < 0) return true;
        }
    } else {
        for (const TermShape& s : kPureShapes) {
            if (s.e < 0) return true;
        }
    }
    return false;
}

// sigma^e for every exponent of a term table, as sigma_power_index places it.
// Each table entry is a square or a product of earlier ones (as in binary
// exponentiation), so the tables are built in a few rounds of independent
// products rather than one long chain. Without negative exponents (Inverts
// false) no entry is ever inverted.
template <int MaxE, bool Inverts>
class SigmaPowers {
public:
    explicit SigmaPowers(double sigma) {
        fill(low_.data(), 16, sigma);
        fill(high_.data(), kHigh, low_[8] * low_[8]);
    }
    double operator()(const SigmaPowerIndex& i) const {
        const double v = low_[i.low] * high_[i.high];
        if constexpr (Inverts) return i.invert ? 1.0 / v : v;
        return v;
    }

private:
    static constexpr int kHigh = MaxE / 16 + 1;
    static void fill(double* t, int n, double base) {
        t[0] = 1.0;
        if (n > 1) t[1] = base;
        for (int k = 2; k < n; ++k) t[k] = k % 2 == 0 ? t[k / 2] * t[k / 2] : t[k - 1] * base;
    }
    std::array<double, 16> low_;
    std::array<double, kHigh> high_;
};

using PurePowers = SigmaPowers<max_shape_exponent(false), has_negative_exponent(false)>;
using DepPowers = SigmaPowers<max_shape_exponent(true), has_negative_exponent(true)>;

// The three tau coefficients of one delta group over its used shapes
// [first, last) (table places, exponents t, coefficients N and tau powers all
// by the shape's place j), summed in registers; the shapes' tau powers are kept.
template <bool Second, class Powers>
void sum_group(int first, int last, const SigmaPowerIndex* index, const double* t_exp, const double* N,
               const Powers& power, double* tau_power, double& p0, double& p1, double& p2) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0;
    for (int j = first; j < last; ++j) {
        const double tp = power(index[j]);
        const double v = N[j] * tp;
        tau_power[j] = tp;
        s0 += v;
        s1 += v * t_exp[j];
        if constexpr (Second) s2 += v * t_exp[j] * (t_exp[j] - 1.0);
    }
    p0 = s0;
    p1 = s1;
    if constexpr (Second) p2 = s2;
}

template <bool Second>
void sum_groups(const ActiveSet& set, const SeriesCoefficients& c, double tau, TauCoefficients& t) {
    static_assert(kPureTauDivisor == 8.0, "the eighth root below assumes the divisor 8");
    const PurePowers pure_power(std::sqrt(std::sqrt(std::sqrt(tau))));
    for (int g : set.pure_groups) {
        const PureDeltaGroup& grp = kPureDeltaGroups[g];
        sum_group<Second>(set.pure_group_first[g], set.pure_group_first[g + 1],
                          set.pure_power.data(), set.pure_t.data(), c.pure.data(), pure_power,
                          t.pure_tau_power.data(), t.pure0[grp.c][grp.d],
                          t.pure1[grp.c][grp.d], t.pure2[grp.c][grp.d]);
    }
    if (set.dep_groups.size == 0) return;
    const DepPowers dep_power(std::pow(tau, 1.0 / kDepTauDivisor));
    for (int g : set.dep_groups) {
        const DepDeltaGroup& grp = kDepDeltaGroups[g];
        sum_group<Second>(set.dep_group_first[g], set.dep_group_first[g + 1],
                          set.dep_power.data(), set.dep_t.data(), c.dep.data(), dep_power,
                          t.dep_tau_power.data(), t.dep0[grp.exponential][grp.d],
                          t.dep1[grp.exponential][grp.d], t.dep2[grp.exponential][grp.d]);
    }
}

}  // namespace

void tau_coefficients(const ActiveSet& set, const SeriesCoefficients& c, double tau,
                      TauCoefficients& t, bool second) {
    t.tau = tau;
    t.second = second;
    for (int k = 0; k < kPureExponentialClasses; ++k) {
        if (!set.pure_exp_used[k]) continue;
        t.pure0[k].fill(0.0);
        t.pure1[k].fill(0.0);
        if (second) t.pure2[k].fill(0.0);
    }
    for (int e : set.dep_exponentials) {
        t.dep0[e].fill(0.0);
        t.dep1[e].fill(0.0);
        if (second) t.dep2[e].fill(0.0);
    }
    if (second) {
        sum_groups<true>(set, c, tau, t);
    } else {
        sum_groups<false>(set, c, tau, t);
    }
}

namespace {

// Highest power of delta a delta group needs (d and c of a pure-fluid group).
constexpr int max_delta_power() {
    int m = 0;
    for (const PureDeltaGroup& g : kPureDeltaGroups) m = std::max({m, g.d, g.c});
    for (const DepDeltaGroup& g : kDepDeltaGroups) m = std::max(m, g.d);
    return m;
}
constexpr int kMaxDeltaPower = max_delta_power();

// delta^d E from a table of powers of delta (pw[k] = delta^k).
Factor pure_factor_from_powers(int d, int c, const double* pw, double E) {
    if (c == 0) return {pw[d], d * pw[d - 1]};
    return {pw[d] * E, E * pw[d - 1] * (d - c * pw[c])};
}

Factor dep_factor_from_powers(int d, const double* pw, double E, double q1) {
    return {pw[d] * E, E * (d * pw[d - 1] + pw[d] * q1)};
}

}  // namespace

void delta_factors(const ActiveSet& set, double delta, DeltaFactors& out, ComponentParts parts,
                   const DeltaExponentials* shared) {
    // Powers of delta by successive products: every group reads its powers from here.
    std::array<double, kMaxDeltaPower + 1> pw;
    pw[0] = 1.0;
    for (int k = 1; k <= kMaxDeltaPower; ++k) pw[k] = pw[k - 1] * delta;
    if (shared != nullptr && shared->delta != delta) shared = nullptr;
    std::array<double, kPureExponentialClasses> E{};
    for (int c = 1; c < kPureExponentialClasses; ++c) {
        if (!set.pure_exp_used[c]) continue;
        // Up to delta^3 the series' powers are these products too.
        E[c] = shared != nullptr && c <= kSharedExponentialClasses ? shared->E[c] : std::exp(-pw[c]);
    }
    if (parts == ComponentParts::values) {
        // The value parts of pure_factor_from_powers and dep_factor_from_powers.
        for (int g : set.pure_groups) {
            const PureDeltaGroup& grp = kPureDeltaGroups[g];
            out.pf[g] = grp.c == 0 ? pw[grp.d] : pw[grp.d] * E[grp.c];
        }
        if (set.dep_groups.size == 0) return;
        const DepBases bases = dep_bases(delta, shared);
        std::array<double, kDepExponentialCount> E_dep{};
        for (int e : set.dep_exponentials) E_dep[e] = dep_exponent(e, delta, bases).E;
        for (int g : set.dep_groups) out.df[g] = pw[kDepDeltaGroups[g].d] * E_dep[kDepDeltaGroups[g].exponential];
        return;
    }
    for (int g : set.pure_groups) {
        const PureDeltaGroup& grp = kPureDeltaGroups[g];
        const Factor f = pure_factor_from_powers(grp.d, grp.c, pw.data(), E[grp.c]);
        out.pf[g] = f.f;
        out.pf_d[g] = f.f_d;
    }
    if (set.dep_groups.size == 0) return;
    const DepBases bases = dep_bases(delta, shared);
    std::array<DepExponent, kDepExponentialCount> x{};
    for (int e : set.dep_exponentials) x[e] = dep_exponent(e, delta, bases);
    for (int g : set.dep_groups) {
        const DepDeltaGroup& grp = kDepDeltaGroups[g];
        const DepExponent& xe = x[grp.exponential];
        const Factor f = dep_factor_from_powers(grp.d, pw.data(), xe.E, xe.q1);
        out.df[g] = f.f;
        out.df_d[g] = f.f_d;
    }
}

namespace {

// A polynomial and its first two derivatives by Horner's scheme.
struct Poly {
    double v, d, dd;
};

// Coefficients a[0..degree].
template <size_t N>
Poly horner(const std::array<double, N>& a, int degree, double x) {
    double v = 0.0, d = 0.0, h = 0.0;  // h = P''/2
    for (int k = degree; k >= 0; --k) {
        h = h * x + d;
        d = d * x + v;
        v = v * x + a[k];
    }
    return {v, d, 2.0 * h};
}

// Sums of (P E) and its delta derivatives over the exponential classes.
struct ClassSums {
    double a = 0, a_d = 0, a_dd = 0, b = 0, b_d = 0, c = 0;
};

// P E with E = exp(g): (P E)' = E (P' + g' P), (P E)'' = E (P'' + 2 g' P' + (g'^2 + g'') P).
template <bool All>
void add_class(ClassSums& s, double E, double g1, double g2, const Poly& p0) {
    if constexpr (All) s.a += E * p0.v;
    s.a_d += E * (p0.d + g1 * p0.v);
    s.a_dd += E * (p0.dd + 2.0 * g1 * p0.d + (g1 * g1 + g2) * p0.v);
}

void add_tau_class(ClassSums& s, double E, double g1, const Poly& p1, double p2) {
    s.b += E * p1.v;
    s.b_d += E * (p1.d + g1 * p1.v);
    s.c += E * p2;
}

// A polynomial's value alone, by the same steps as horner's value.
template <size_t N>
double horner_value(const std::array<double, N>& a, int degree, double x) {
    double v = 0.0;
    for (int k = degree; k >= 0; --k) v = v * x + a[k];
    return v;
}

// All: the tau derivatives too; Second: alpha_tt among them (NaN without);
// Mixed: alpha_dt among them (NaN without).
template <bool All, bool Second, bool Mixed = true>
HelmholtzDerivs finish(const ClassSums& s, double tau) {
    HelmholtzDerivs r;
    r.a = s.a;
    r.a_d = s.a_d;
    r.a_dd = s.a_dd;
    if constexpr (All) {
        r.a_t = s.b / tau;
        r.a_tt = Second ? s.c / (tau * tau) : std::numeric_limits<double>::quiet_NaN();
        r.a_dt = Mixed ? s.b_d / tau : std::numeric_limits<double>::quiet_NaN();
    }
    return r;
}

template <bool All, bool Second, bool Mixed = true>
HelmholtzDerivs series_sums(const ActiveSet& set, const TauCoefficients& t, double delta,
                            DeltaExponentials* shared) {
    // delta^k as ipow forms it (a square, or delta times a lower power), once for all classes.
    static_assert(kPureExponentialClasses <= 7, "the table below holds delta^0 to delta^5");
    const double d2 = delta * delta, d4 = d2 * d2;
    const std::array<double, 6> pw{1.0, delta, d2, delta * d2, d4, delta * d4};
    ClassSums s;
    for (int c = 0; c < kPureExponentialClasses; ++c) {
        if (!set.pure_exp_used[c]) continue;
        double E = 1.0, g1 = 0.0, g2 = 0.0;  // E = exp(g), g = -delta^c
        if (c > 0) {
            const double dc1 = pw[c - 1];
            g1 = -c * dc1;
            g2 = c >= 2 ? -c * (c - 1.0) * pw[c - 2] : 0.0;
            E = std::exp(-dc1 * delta);
            if (shared != nullptr && c <= kSharedExponentialClasses) shared->E[c] = E;
        }
        const int deg = set.pure_degree[c];
        add_class<All>(s, E, g1, g2, horner(t.pure0[c], deg, delta));
        if constexpr (All && !Mixed) {
            s.b += E * horner_value(t.pure1[c], deg, delta);
        } else if constexpr (All) {
            add_tau_class(s, E, g1, horner(t.pure1[c], deg, delta), Second ? horner(t.pure2[c], deg, delta).v : 0.0);
        }
    }
    if (shared != nullptr) shared->delta = delta;
    if (set.dep_exponentials.size == 0) return finish<All, Second, Mixed>(s, t.tau);
    const DepBases bases = dep_bases(delta);
    if (shared != nullptr) {
        shared->G = bases.G[1];
        shared->H = bases.H[1];
    }
    for (int e : set.dep_exponentials) {
        const DepExponent x = dep_exponent(e, delta, bases);
        const int deg = set.dep_degree[e];
        add_class<All>(s, x.E, x.q1, x.q2, horner(t.dep0[e], deg, delta));
        if constexpr (All && !Mixed) {
            s.b += x.E * horner_value(t.dep1[e], deg, delta);
        } else if constexpr (All) {
            add_tau_class(s, x.E, x.q1, horner(t.dep1[e], deg, delta), Second ? horner(t.dep2[e], deg, delta).v : 0.0);
        }
    }
    return finish<All, Second, Mixed>(s, t.tau);
}

}  // namespace

HelmholtzDerivs mixture_series(const ActiveSet& set, const TauCoefficients& t, double delta,
                               Derivatives which, DeltaExponentials* shared) {
    if (which == Derivatives::pressure) return series_sums<false, false>(set, t, delta, shared);
    if (which == Derivatives::ln_phi) return series_sums<true, false, false>(set, t, delta, shared);
    return t.second ? series_sums<true, true>(set, t, delta, shared) : series_sums<true, false>(set, t, delta, shared);
}

namespace {

// Value, delta derivative and tau derivative (times tau) of one shape.
struct ShapeBasis {
    double v, d, t;
};

// Sum of n_k times the basis of the equation's shapes.
ShapeBasis equation_sum(const TermSeries& s, const double* n, const int* shape, const ShapeBasis* b) {
    // Two interleaved partial sums halve the chain of dependent additions.
    ShapeBasis r0{0.0, 0.0, 0.0}, r1{0.0, 0.0, 0.0};
    const int end = s.first + s.count;
    int i = s.first;
    for (; i + 1 < end; i += 2) {
        const ShapeBasis& x0 = b[shape[i]];
        const ShapeBasis& x1 = b[shape[i + 1]];
        r0.v += n[i] * x0.v;
        r0.d += n[i] * x0.d;
        r0.t += n[i] * x0.t;
        r1.v += n[i + 1] * x1.v;
        r1.d += n[i + 1] * x1.d;
        r1.t += n[i + 1] * x1.t;
    }
    if (i < end) {
        const ShapeBasis& x = b[shape[i]];
        r0.v += n[i] * x.v;
        r0.d += n[i] * x.d;
        r0.t += n[i] * x.t;
    }
    return {r0.v + r1.v, r0.d + r1.d, r0.t + r1.t};
}

// Sum of n_k times the value of the equation's shapes.
double equation_value(const TermSeries& s, const double* n, const int* shape, const double* b) {
    double r0 = 0.0, r1 = 0.0;
    const int end = s.first + s.count;
    int i = s.first;
    for (; i + 1 < end; i += 2) {
        r0 += n[i] * b[shape[i]];
        r1 += n[i + 1] * b[shape[i + 1]];
    }
    if (i < end) r0 += n[i] * b[shape[i]];
    return r0 + r1;
}

// component_series for ComponentParts::values: the same sums, value parts only.
void component_values(const ActiveSet& set, const TauCoefficients& t, const DeltaFactors& f,
                      ComponentSeries& out) {
    std::array<double, kPureShapeCount> pure;
    for (int g : set.pure_groups) {
        for (int j = set.pure_group_first[g]; j < set.pure_group_first[g + 1]; ++j) {
            pure[set.pure_shapes.index[j]] = t.pure_tau_power[j] * f.pf[g];
        }
    }
    for (int k = 0; k < set.n; ++k) {
        out.a[k] = equation_value(kPureSeries[set.id[k]], kPureTermN.data(), kPureTermShape.data(), pure.data());
    }
    if (set.dep_pair_count == 0) return;
    std::array<double, kDepShapeCount> dep;
    for (int g : set.dep_groups) {
        for (int j = set.dep_group_first[g]; j < set.dep_group_first[g + 1]; ++j) {
            dep[set.dep_shapes.index[j]] = t.dep_tau_power[j] * f.df[g];
        }
    }
    std::array<double, kDepartureFunctionCount> function;
    std::array<bool, kDepartureFunctionCount> done{};
    for (int q = 0; q < set.dep_pair_count; ++q) {
        const PairData& p = set.pair[set.dep_pair[q][0]][set.dep_pair[q][1]];
        if (!done[p.function]) {
            function[p.function] = equation_value(kDepartureSeries[p.function], kDepTermN.data(), kDepTermShape.data(), dep.data());
            done[p.function] = true;
        }
        out.pair_a[q] = p.F * function[p.function];
    }
}

}  // namespace

void component_series(const ActiveSet& set, const TauCoefficients& t, const DeltaFactors& f,
                      ComponentSeries& out, ComponentParts parts) {
    if (parts == ComponentParts::values) {
        component_values(set, t, f, out);
        return;
    }
    // Every shape once, then each equation as a dot product with its coefficients;
    // a departure function shared by several pairs is summed once.
    std::array<ShapeBasis, kPureShapeCount> pure;
    for (int g : set.pure_groups) {
        for (int j = set.pure_group_first[g]; j < set.pure_group_first[g + 1]; ++j) {
            const double tp = t.pure_tau_power[j];
            pure[set.pure_shapes.index[j]] = {tp * f.pf[g], tp * f.pf_d[g], set.pure_t[j] * tp * f.pf[g]};
        }
    }
    const double inv_tau = 1.0 / t.tau;
    for (int k = 0; k < set.n; ++k) {
        const ShapeBasis r = equation_sum(kPureSeries[set.id[k]], kPureTermN.data(), kPureTermShape.data(), pure.data());
        out.a[k] = r.v;
        out.a_d[k] = r.d;
        out.a_t[k] = r.t * inv_tau;
    }
    if (set.dep_pair_count == 0) return;
    std::array<ShapeBasis, kDepShapeCount> dep;
    for (int g : set.dep_groups) {
        for (int j = set.dep_group_first[g]; j < set.dep_group_first[g + 1]; ++j) {
            const double tp = t.dep_tau_power[j];
            dep[set.dep_shapes.index[j]] = {tp * f.df[g], tp * f.df_d[g], set.dep_t[j] * tp * f.df[g]};
        }
    }
    std::array<ShapeBasis, kDepartureFunctionCount> function;
    std::array<bool, kDepartureFunctionCount> done{};
    for (int q = 0; q < set.dep_pair_count; ++q) {
        const int k = set.dep_pair[q][0], l = set.dep_pair[q][1];
        const PairData& p = set.pair[k][l];
        if (!done[p.function]) {
            function[p.function] = equation_sum(kDepartureSeries[p.function], kDepTermN.data(), kDepTermShape.data(), dep.data());
            done[p.function] = true;
        }
        const ShapeBasis& r = function[p.function];
        out.pair_a[q] = p.F * r.v;
        out.pair_a_d[q] = p.F * r.d;
        out.pair_a_t[q] = p.F * r.t * inv_tau;
    }
}

}  // namespace ngtherm::model
