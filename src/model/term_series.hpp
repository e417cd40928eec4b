// Term series of the residual part: the pure-fluid equations and departure
// functions summed over a mixture.
//
// Every term is n delta^d tau^(e/D) times the exponential factor of its delta
// group. Powers of tau come from sigma = tau^(1/D) by binary exponentiation, so
// one real power serves every term with the same divisor; the exponential factor
// of a group is computed once and shared by the group's terms.
#pragma once

#include "model/active_set.hpp"

namespace ngtherm::model {

// The six plain partial derivatives of a reduced Helmholtz energy.
struct HelmholtzDerivs {
    double a = 0, a_d = 0, a_dd = 0, a_t = 0, a_tt = 0, a_dt = 0;
};

// x^e for integer e by binary exponentiation; a negative e inverts x first.
inline double ipow(double x, int e) {
    if (e < 0) {
        x = 1.0 / x;
        e = -e;
    }
    double r = 1.0;
    while (e != 0) {
        if (e & 1) r *= x;
        e >>= 1;
        if (e != 0) x *= x;
    }
    return r;
}

// Coefficients of the mixture's residual part that depend only on the
// composition: every used shape's coefficient summed over the components
// (sum_i x_i n_i,s) and over the departure pairs (sum_kl x_k x_l F_kl n_f,s),
// by the shape's place j in the active set's list of used shapes.
struct SeriesCoefficients {
    std::array<double, kPureShapeCount> pure{};
    std::array<double, kDepShapeCount> dep{};
};

void series_coefficients(const ActiveSet& set, const double* x, SeriesCoefficients& c);

// Highest delta exponent d of any pure-fluid and departure term.
constexpr int max_term_d(bool departure) {
    int m = 0;
    if (departure) {
        for (const DepDeltaGroup& g : kDepDeltaGroups) m = g.d > m ? g.d : m;
    } else {
        for (const PureDeltaGroup& g : kPureDeltaGroups) m = g.d > m ? g.d : m;
    }
    return m;
}
inline constexpr int kMaxPureD = max_term_d(false);
inline constexpr int kMaxDepD = max_term_d(true);

// The mixture's coefficients at one tau, gathered into one polynomial in delta
// per exponential factor (exp(-delta^c) for the pure fluids, one class per c; the
// departure exponentials by index): coefficient of delta^d in
//   p0 = sum N tau^t, p1 = sum N t tau^t, p2 = sum N t (t - 1) tau^t.
// At fixed tau the whole mixture is then a handful of polynomials times
// exponentials, which is what the density search evaluates over and over.
// Without `second` the p2 sums are not formed, and alpha_tt comes out NaN.
struct TauCoefficients {
    double tau = 0;
    bool second = true;  // the p2 sums are formed
    using PurePoly = std::array<double, kMaxPureD + 1>;
    using DepPoly = std::array<double, kMaxDepD + 1>;
    // Only the classes and shapes of the active set are written and read, so
    // none of this is cleared up front.
    std::array<PurePoly, kPureExponentialClasses> pure0, pure1, pure2;
    std::array<DepPoly, kDepExponentialCount> dep0, dep1, dep2;
    // tau^t of every used shape, by its place j, kept for the per-component sums.
    std::array<double, kPureShapeCount> pure_tau_power;
    std::array<double, kDepShapeCount> dep_tau_power;
};

// With second = false only p0 and p1 are formed: enough for p, its density
// derivatives and ln phi, which need no alpha_tt.
void tau_coefficients(const ActiveSet& set, const SeriesCoefficients& c, double tau,
                      TauCoefficients& t, bool second = true);

// Which derivatives a mixture evaluation needs.
enum class Derivatives {
    pressure,  // a_d and a_dd only (a is left 0): enough for p and dp/drho
    ln_phi,    // also a and a_t: enough for ln phi (a_dt and a_tt come out NaN)
    all,       // also a_t, a_tt and a_dt
};

// The exponentials of one delta that mixture_series forms and delta_factors
// needs again: exp(-delta^c) of the pure-fluid classes c up to
// kSharedExponentialClasses (delta^c of the higher ones comes from other
// products in the two) and the two departure bases.
inline constexpr int kSharedExponentialClasses = 3;
struct DeltaExponentials {
    double delta = -1.0;  // the delta they belong to; negative: none
    std::array<double, kSharedExponentialClasses + 1> E{};  // exp(-delta^c) by c
    double G = 0.0, H = 0.0;  // exp(-(delta - 1/2)^2 / 8), exp(-(delta - 1/2) / 4)
};

// The mixture's residual Helmholtz energy alpha_r and its derivatives at delta
// (tau fixed in `t`), and where `shared` is given the exponentials for
// delta_factors.
HelmholtzDerivs mixture_series(const ActiveSet& set, const TauCoefficients& t, double delta,
                               Derivatives which, DeltaExponentials* shared = nullptr);

// Values of the delta groups at one delta: f = delta^d E and its delta
// derivative, for every group the active set uses.
struct DeltaFactors {  // written and read for the groups of the active set only
    std::array<double, kPureGroupCount> pf, pf_d;
    std::array<double, kDepGroupCount> df, df_d;
};

// Which parts of the per-group, per-component and per-pair values are formed.
enum class ComponentParts {
    values,  // delta factors, alpha_oi and F_kl alpha_kl only: enough for ln phi
    all,     // also their delta and tau derivatives
};

// With ComponentParts::values the derivatives pf_d and df_d are left unset.
// Exponentials mixture_series formed at this delta are taken from `shared`.
void delta_factors(const ActiveSet& set, double delta, DeltaFactors& f,
                   ComponentParts parts = ComponentParts::all, const DeltaExponentials* shared = nullptr);

// Per-component and per-pair values needed by the fugacities: alpha_oi and
// alpha_ij with their delta and tau derivatives at the current state.
struct ComponentSeries {
    Vector a, a_d, a_t;  // pure-fluid parts, by active position
    // F_kl alpha_kl of the departure pairs, in the order of ActiveSet::dep_pair.
    std::array<double, kDeparturePairs.size()> pair_a, pair_a_d, pair_a_t;
};

// With ComponentParts::values only a and pair_a are written.
void component_series(const ActiveSet& set, const TauCoefficients& t, const DeltaFactors& f,
                      ComponentSeries& out, ComponentParts parts = ComponentParts::all);

}  // namespace ngtherm::model
