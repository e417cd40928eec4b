#include "model/ideal_gas.hpp"

#include <cmath>

namespace ngtherm::model {
namespace {

constexpr double kRatio = kRStar / kR;  // r = R*/R, applied to every correlation term
constexpr double kLn2 = 0.69314718055994530942;

struct Sums {
    double gamma, H, C;  // Gamma(T), H(T), C(T)
};

// ln(1 + y): a short series where |y| is small enough for it to be exact to
// rounding (the first omitted term is below y^6 / 6), log1p elsewhere.
double ln_one_plus(double y) {
    if (std::fabs(y) > 1e-3) return std::log1p(y);
    return y * (1.0 - y * (0.5 - y * (1.0 / 3.0 - y * (0.25 - y * 0.2))));
}

// Correlation sums of one component. Each hyperbolic term is formed from one
// exponential e = exp(-2x), which keeps ln sinh and ln cosh accurate at large
// theta/T: ln sinh x = x + ln(1 - e) - ln 2, ln cosh x = x + ln(1 + e) - ln 2.
Sums correlation_sums(const IdealGasTerms& r, double T, double lnT) {
    Sums s{0.0, r.c0 * T, r.c0};
    s.gamma = -r.c0 * lnT;
    s.gamma += r.entropy_constant;
    s.gamma += r.enthalpy_constant * (1.0 / T);
    s.H += r.enthalpy_constant;
    for (int k = 0; k < r.sinh_count; ++k) {
        const double theta = std::fabs(r.sinh[k].theta), a = r.sinh[k].a;
        const double x = theta / T;
        const double e = std::exp(-2.0 * x);
        const double one_minus_e = 1.0 - e;
        s.gamma += a * (x + ln_one_plus(-e) - kLn2);
        s.H += a * theta * (1.0 + e) / one_minus_e;
        s.C += a * 4.0 * x * x * e / (one_minus_e * one_minus_e);
    }
    for (int k = 0; k < r.cosh_count; ++k) {
        const double theta = std::fabs(r.cosh[k].theta), a = r.cosh[k].a;
        const double x = theta / T;
        const double e = std::exp(-2.0 * x);
        const double one_plus_e = 1.0 + e;
        s.gamma -= a * (x + ln_one_plus(e) - kLn2);
        s.H -= a * theta * (1.0 - e) / one_plus_e;
        s.C += a * 4.0 * x * x * e / (one_plus_e * one_plus_e);
    }
    return s;
}

std::array<IdealGasTerms, kComponentCount> derive_all() {
    std::array<IdealGasTerms, kComponentCount> terms{};
    for (int i = 0; i < kComponentCount; ++i) {
        terms[i] = subdata(i);
        derive_integration_constants(terms[i]);
    }
    return terms;
}

const double kOneMinusLnR = 1.0 - std::log(kR);

// Immutable after load: the correlations with their derived constants.
const std::array<IdealGasTerms, kComponentCount> kTerms = derive_all();

}  // namespace

IdealGasTerms subdata(int component) {
    const IdealGasRecord& g = kIdealGas[component];
    IdealGasTerms r;
    r.c0 = g.c0;
    r.sinh_count = g.sinh_count;
    r.cosh_count = g.cosh_count;
    for (int k = 0; k < g.sinh_count; ++k) r.sinh[k] = {g.sinh_a[k], g.sinh_theta[k]};
    for (int k = 0; k < g.cosh_count; ++k) r.cosh[k] = {g.cosh_a[k], g.cosh_theta[k]};
    return r;
}

void derive_integration_constants(IdealGasTerms& r) {
    const double T0 = kIdealT0;
    const double rho0 = kIdealP0 / (kR * T0);
    // h0(T0)/R = T0 + r H(T0) must vanish.
    const double h0 = T0 + kRatio * correlation_sums(r, T0, std::log(T0)).H;
    r.enthalpy_constant -= h0 / kRatio;
    // alpha0(T0, rho0) = ln rho0 + r Gamma(T0) must equal -1 (zero entropy at T0, p0).
    const double alpha0 = std::log(rho0) + kRatio * correlation_sums(r, T0, std::log(T0)).gamma;
    r.entropy_constant -= (alpha0 + 1.0) / kRatio;
}

IdealComponentValues fnullp(const IdealGasTerms& r, double T) { return fnullp(r, T, std::log(T)); }

IdealComponentValues fnullp(const IdealGasTerms& r, double T, double lnT) {
    const Sums s = correlation_sums(r, T, lnT);
    return {kRatio * s.C, kRatio * s.H, kOneMinusLnR + kRatio * s.gamma};
}

const IdealGasTerms& ideal_terms(int i) { return kTerms[i]; }

void ideal_components(const ActiveSet& set, double T, IdealComponents& out) {
    out.T = T;
    out.lnT = std::log(T);
    for (int k = 0; k < set.n; ++k) out.values[k] = fnullp(kTerms[set.id[k]], T, out.lnT);
}

IdealMix idealmix(const ActiveSet& set, const IdealComponents& components, const double* x) {
    double s_cp = 0, s_h = 0, s_G = 0;
    for (int k = 0; k < set.n; ++k) {
        const IdealComponentValues& v = components.values[k];
        s_cp += x[k] * v.cp;
        s_h += x[k] * v.h;
        s_G += x[k] * v.G;
    }
    const double T = components.T;
    return {T + s_h, 1.0 + components.lnT - s_G + s_h / T, 1.0 + s_cp};
}

IdealMix idealmix(const ActiveSet& set, const double* x, double T) {
    IdealComponents components;
    ideal_components(set, T, components);
    return idealmix(set, components, x);
}

double mixing_term(int n, const double* x) {
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        if (x[k] > 0.0) sum += x[k] * std::log(x[k]);
    }
    return sum;
}

IdealGasPart ideal_part(const ActiveSet& set, const IdealComponents& components, const double* x, double p) {
    const IdealMix ig = idealmix(set, components, x);
    return {ig.h, ig.s - std::log(p) - mixing_term(set.n, x), ig.cp};
}

IdealGasPart ideal_part(const ActiveSet& set, const double* x, double T, double p) {
    IdealComponents components;
    ideal_components(set, T, components);
    return ideal_part(set, components, x, p);
}

}  // namespace ngtherm::model
