#include "model/ideal_gas.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ngtherm::model {
namespace {

constexpr double kRatio = kRStar / kR;  // r = R*/R, applied to every correlation term
constexpr double kLn2 = 0.69314718055994530942;
// Tolerance of the exponent scan that finds the entropy and enthalpy slots.
constexpr double kSlotTolerance = 1e-5;

struct Sums {
    double gamma, H, C;  // Gamma(T), H(T), C(T)
};

// ln(1 + y): a short series where |y| is small enough for it to be exact to
// rounding (the first omitted term is below y^6 / 6), log1p elsewhere.
double ln_one_plus(double y) {
    if (std::fabs(y) > 1e-3) return std::log1p(y);
    return y * (1.0 - y * (0.5 - y * (1.0 / 3.0 - y * (0.25 - y * 0.2))));
}

// Correlation sums of one record. Each hyperbolic term is formed from one
// exponential e = exp(-2x), which keeps ln sinh and ln cosh accurate at large
// theta/T: ln sinh x = x + ln(1 - e) - ln 2, ln cosh x = x + ln(1 + e) - ln 2.
Sums correlation_sums(const FnicRecord& r, double T, double lnT) {
    Sums s{0.0, r.c0 * T, r.c0};
    s.gamma = -r.c0 * lnT;
    for (int k = 0; k < r.npol; ++k) {
        const double e = r.e[k];
        s.gamma += r.a[k] * (e == 0.0 ? 1.0 : e == 1.0 ? 1.0 / T : std::pow(1.0 / T, e));
        if (std::fabs(r.e[k] - 1.0) < kSlotTolerance) s.H += r.a[k];
    }
    for (int k = r.npol; k < r.nterm; ++k) {
        const double theta = std::fabs(r.e[k]);
        const double x = theta / T;
        const double e = std::exp(-2.0 * x);
        if (k < r.npol + r.sinh_count) {
            if (!(theta > 1.0)) continue;
            const double one_minus_e = 1.0 - e;
            s.gamma += r.a[k] * (x + ln_one_plus(-e) - kLn2);
            s.H += r.a[k] * theta * (1.0 + e) / one_minus_e;
            s.C += r.a[k] * 4.0 * x * x * e / (one_minus_e * one_minus_e);
        } else {
            const double one_plus_e = 1.0 + e;
            s.gamma -= r.a[k] * (x + ln_one_plus(e) - kLn2);
            s.H -= r.a[k] * theta * (1.0 - e) / one_plus_e;
            s.C += r.a[k] * 4.0 * x * x * e / (one_plus_e * one_plus_e);
        }
    }
    return s;
}

std::array<FnicRecord, kComponentCount> derive_all() {
    std::array<FnicRecord, kComponentCount> records{};
    for (int i = 0; i < kComponentCount; ++i) {
        records[i] = subdata(kComponents[i].label);
        derive_integration_constants(records[i]);
    }
    return records;
}

const double kOneMinusLnR = 1.0 - std::log(kR);

// Immutable after load: the records with their derived constants.
const std::array<FnicRecord, kComponentCount> kRecords = derive_all();

}  // namespace

FnicRecord subdata(const char* label) {
    for (int i = 0; i < kComponentCount; ++i) {
        if (std::strncmp(label, kComponents[i].label, 8) != 0) continue;
        const IdealGasRecord& g = kIdealGas[i];
        FnicRecord r;
        r.c0 = g.c0;
        r.e[0] = 0.0;
        r.e[1] = 1.0;
        r.sinh_count = g.sinh_count;
        int k = r.npol;
        for (int s = 0; s < g.sinh_count; ++s, ++k) {
            r.a[k] = g.sinh_a[s];
            r.e[k] = g.sinh_theta[s];
        }
        for (int c = 0; c < g.cosh_count; ++c, ++k) {
            r.a[k] = g.cosh_a[c];
            r.e[k] = g.cosh_theta[c];
        }
        r.nterm = k;
        return r;
    }
    std::printf(" SUBDATA: KEINE KONSTANTEN FUER HSUB =%.8s VERFUEGBAR\n", label);
    std::printf("          PROGRAMMABLAUF WIRD UNTERBROCHEN \n");
    std::fflush(stdout);
    std::exit(0);
}

void derive_integration_constants(FnicRecord& r) {
    const double T0 = kIdealT0;
    const double rho0 = kIdealP0 / (kR * T0);
    int enthalpy_slot = -1, entropy_slot = -1;
    for (int k = 0; k < r.npol; ++k) {
        if (std::fabs(r.e[k] - 1.0) < kSlotTolerance) enthalpy_slot = k;
        if (std::fabs(r.e[k]) < kSlotTolerance) entropy_slot = k;
    }
    // h0(T0)/R = T0 + r H(T0) must vanish.
    const double h0 = T0 + kRatio * correlation_sums(r, T0, std::log(T0)).H;
    (enthalpy_slot >= 0 ? r.a[enthalpy_slot] : r.fallback) -= h0 / kRatio;
    if (entropy_slot < 0) {
        std::printf(" <FNULLP> FNIC enthaelt keine Entropiekonstante!\n");
        return;
    }
    // alpha0(T0, rho0) = ln rho0 + r Gamma(T0) must equal -1 (zero entropy at T0, p0).
    const double alpha0 = std::log(rho0) + kRatio * correlation_sums(r, T0, std::log(T0)).gamma;
    r.a[entropy_slot] -= (alpha0 + 1.0) / kRatio;
}

IdealComponentValues fnullp(const FnicRecord& r, double T) { return fnullp(r, T, std::log(T)); }

IdealComponentValues fnullp(const FnicRecord& r, double T, double lnT) {
    const Sums s = correlation_sums(r, T, lnT);
    return {kRatio * s.C, kRatio * (s.H + r.fallback), kOneMinusLnR + kRatio * s.gamma};
}

const FnicRecord& ideal_record(int i) { return kRecords[i]; }

IdealMix idealmix(const ActiveSet& set, const double* x, double T) {
    double s_cp = 0, s_h = 0, s_G = 0;
    const double lnT = std::log(T);
    for (int k = 0; k < set.n; ++k) {
        const IdealComponentValues v = fnullp(kRecords[set.id[k]], T, lnT);
        s_cp += x[k] * v.cp;
        s_h += x[k] * v.h;
        s_G += x[k] * v.G;
    }
    return {T + s_h, 1.0 + lnT - s_G + s_h / T, 1.0 + s_cp};
}

double mixing_term(int n, const double* x) {
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        if (x[k] > 0.0) sum += x[k] * std::log(x[k]);
    }
    return sum;
}

IdealGasPart ideal_part(const ActiveSet& set, const double* x, double T, double p) {
    const IdealMix ig = idealmix(set, x, T);
    return {ig.h, ig.s - std::log(p) - mixing_term(set.n, x), ig.cp};
}

}  // namespace ngtherm::model
