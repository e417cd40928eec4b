#include "model/density.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace ngtherm::model {
namespace {

// Peng-Robinson cubic.
constexpr double kPrMinPressure = 1e-6;             // MPa, floor of the pressure used for start values
constexpr double kCubicDegenerateQ = 1e-20;         // |Q| below this: a single (triple) root
constexpr double kCubicClampedCosine = 0.9998999834060669;  // acos argument used when |u| >= 1
constexpr double kPiOverThree = 1.0471975511965976;
constexpr double kGasLikeZ = 0.5;                   // a root with a larger Z is gas-like

// Guided search.
constexpr double kSearchTolerance = 1e-7;      // relative change of the density at convergence
constexpr int kMaxStabiliseSteps = 50;         // steps that move a start or bound onto stable ground
constexpr double kStabiliseFactor = 1.01;      // factor of one such step
constexpr double kLowPressure = 1e-5;          // MPa: below this the bracket is simply the low-pressure one
// Bracket around the start, as factors of the start density.
constexpr double kLowPressureBelow = 0.95;     // low pressure: the bracket is [0.95, 1.05] rho0
constexpr double kLowPressureAbove = 1.05;
constexpr double kLiquidBelow = 0.88;          // liquid-like start not moved: lower bound
constexpr double kLiquidAbove = 1.08;          // liquid-like start: upper bound
constexpr double kVapourBelow = 0.95;          // vapour-like start: lower bound
constexpr double kVapourAbove = 1.05;          // vapour-like start not moved: upper bound
constexpr double kSecondChanceBelow = 0.99;    // after a failed shape test: liquid-like lower bound
constexpr double kSecondChanceAbove = 1.01;    // and vapour-like upper bound
constexpr double kVanishingPressure = 1e-10;   // MPa: pressure "zero" at both bounds
constexpr int kMaxVanishingRetries = 20;       // liquid candidate: widen the upper bound this often
constexpr double kVanishingWiden = 1.02;
constexpr int kMaxSecantIterations = 40;       // iterations of the bracketed root solve
constexpr int kScanSteps = 50;                 // steps of the bracket scan
constexpr int kMaxScanRoots = 3;
constexpr int kMaxRefineIterations = 200;      // bisection/secant refinement of one sign change
constexpr int kWarmStartSteps = 4;             // Newton steps from a warm start before the search takes over
constexpr double kWarmStartDrift = 0.02;       // relative move from a warm start that needs no bracket
constexpr double kRejectLow = 1.08;            // a chosen root strictly between 1.08 rho_min(PR)
constexpr double kRejectHigh = 0.85;           // and 0.85 rho_max(PR) is rejected

// Fallback.
constexpr double kFallbackTopFraction = 0.99;  // of the limiting density 1/b
constexpr double kFallbackBottom = 1e-5;       // mol/dm3
constexpr double kFallbackStepsPerInvB = 10.0; // scan steps = 10 / b
constexpr int kMaxFallbackSteps = 100000;      // cap on those steps
constexpr double kDistinctRoots = 1e-10;       // candidates closer than this are one root

// Relative at every density: an absolute floor would stop a search at 1e-9 MPa,
// where the density is 1e-10 mol/dm3, after its first step.
bool change_converged(double x_new, double x_old) {
    return std::fabs(x_new - x_old) < kSearchTolerance * std::fabs(x_new);
}

// Refines a sign change of g inside [a, b] by alternating bisection and secant
// steps; the last secant estimate is the result.
template <class G>
double refine(const G& g, double a, double b, double ga, double gb) {
    double estimate = a;
    for (int it = 0; it < kMaxRefineIterations; ++it) {
        const double m = 0.5 * (a + b);
        const double gm = g(m);
        if (ga * gm <= 0.0) {
            b = m;
            gb = gm;
        } else {
            a = m;
            ga = gm;
        }
        const double s = gb != ga ? b - gb * (b - a) / (gb - ga) : 0.5 * (a + b);
        const bool done = it > 0 && change_converged(s, estimate);
        estimate = s;
        if (done || ga == 0.0 || gb == 0.0) break;
        const double gs = g(s);
        if (gs == 0.0) break;
        if (ga * gs <= 0.0) {
            b = s;
            gb = gs;
        } else {
            a = s;
            ga = gs;
        }
    }
    return estimate;
}

struct Candidate {
    double rho0 = 0, lo = 0, hi = 0;
    bool liquid = true;
    bool moved = false;
};

// Moves the start onto mechanically stable ground (dp/drho >= 0).
DensityStatus stabilise_start(const DensityFunctions& F, Candidate& c) {
    for (int step = 0; F.slope(c.rho0) < 0.0; ++step) {
        if (step >= kMaxStabiliseSteps) return DensityStatus::start_unstable;
        c.rho0 = c.liquid ? c.rho0 * kStabiliseFactor : c.rho0 / kStabiliseFactor;
        c.moved = true;
    }
    return DensityStatus::found;
}

DensityStatus stabilise_lower(const DensityFunctions& F, Candidate& c) {
    for (int step = 0; F.slope(c.lo) < 0.0; ++step) {
        if (step >= kMaxStabiliseSteps) return DensityStatus::lower_bound_unstable;
        c.lo *= kStabiliseFactor;
    }
    c.lo = std::min(c.lo, c.rho0);
    return DensityStatus::found;
}

DensityStatus stabilise_upper(const DensityFunctions& F, Candidate& c) {
    for (int step = 0; F.slope(c.hi) < 0.0; ++step) {
        if (step >= kMaxStabiliseSteps) return DensityStatus::upper_bound_unstable;
        c.hi /= kStabiliseFactor;
    }
    c.hi = std::max(c.hi, c.rho0);
    return DensityStatus::found;
}

// Both bounds at vanishing pressure: the vapour candidate gives up, the liquid
// one widens its upper bound.
DensityStatus check_vanishing_pressure(const DensityFunctions& F, Candidate& c) {
    if (F.pressure(c.lo) >= kVanishingPressure || F.pressure(c.hi) >= kVanishingPressure) {
        return DensityStatus::found;
    }
    if (!c.liquid) return DensityStatus::vanishing_pressure;
    for (int retry = 0; retry < kMaxVanishingRetries; ++retry) {
        c.hi *= kVanishingWiden;
        if (F.pressure(c.hi) >= kVanishingPressure) return DensityStatus::found;
    }
    return DensityStatus::vanishing_pressure;
}

// The bracket must look like one monotone branch: the secant slope lies between
// the end slopes (or the cubic had a single root). On success the bracket is
// narrowed to the half that holds p.
bool shape_test(const DensityFunctions& F, double p, int root_count, Candidate& c) {
    if (c.lo > c.hi) std::swap(c.lo, c.hi);
    const DensityFunctions::Point lo = F.at(c.lo), hi = F.at(c.hi);
    const double secant = (hi.p - lo.p) / (c.hi - c.lo);
    const double s_min = std::min(lo.dpdrho, hi.dpdrho), s_max = std::max(lo.dpdrho, hi.dpdrho);
    if (!(root_count == 1 || (secant > s_min && secant < s_max))) return false;
    const double p0 = F.pressure(c.rho0);
    if (lo.p < p && p < p0) {
        c.hi = c.rho0;
    } else if (p0 < p && p < hi.p) {
        c.lo = c.rho0;
    }
    return true;
}

// Each step either leaves the status at found or stops the bracket there.
DensityStatus build_bracket(const DensityFunctions& F, double p, int root_count, Candidate& c) {
    using enum DensityStatus;
    if (p < kLowPressure) {
        c.lo = kLowPressureBelow * c.rho0;
        c.hi = kLowPressureAbove * c.rho0;
        return found;
    }
    if (DensityStatus s = stabilise_start(F, c); s != found) return s;
    c.lo = c.liquid ? (c.moved ? c.rho0 : kLiquidBelow * c.rho0) : kVapourBelow * c.rho0;
    if (DensityStatus s = stabilise_lower(F, c); s != found) return s;
    c.hi = c.liquid ? kLiquidAbove * c.rho0 : (c.moved ? c.rho0 : kVapourAbove * c.rho0);
    if (DensityStatus s = stabilise_upper(F, c); s != found) return s;
    if (DensityStatus s = check_vanishing_pressure(F, c); s != found) return s;
    if (shape_test(F, p, root_count, c)) return found;
    // Second chance: a bound closer to the start on the side away from the other root.
    if (c.liquid) {
        c.lo = kSecondChanceBelow * c.rho0;
        if (DensityStatus s = stabilise_lower(F, c); s != found) return s;
    } else {
        c.hi = kSecondChanceAbove * c.rho0;
        if (DensityStatus s = stabilise_upper(F, c); s != found) return s;
    }
    return shape_test(F, p, root_count, c) ? found : bracket_shape;
}

// Newton iteration on f = p(rho) - p from the start, safeguarded by the bracket
// once it holds the sign change (a step leaving it is replaced by bisection).
// Each evaluation yields dp/drho with p, so Newton costs nothing extra over a
// secant and needs fewer evaluations. Returns 0 when it does not converge to a
// mechanically stable root.
double newton_solve(const DensityFunctions& F, double p, double lo, double hi, double start) {
    const DensityFunctions::Point p_lo = F.at(lo), p_hi = F.at(hi);
    if ((p_hi.p - p_lo.p) / (hi - lo) < 0.0) return 0.0;
    const bool bracketed = (p_lo.p - p) * (p_hi.p - p) <= 0.0;
    double a = lo, b = hi;
    double x = std::clamp(start, lo, hi);
    for (int it = 0; it < kMaxSecantIterations; ++it) {
        const DensityFunctions::Point pt = F.at(x);
        const double f = pt.p - p;
        if (f == 0.0) return pt.dpdrho > 0.0 ? x : 0.0;
        if (bracketed) (f < 0.0 ? a : b) = x;
        double next = pt.dpdrho > 0.0 ? x - f / pt.dpdrho : -1.0;
        if (bracketed && !(next > a && next < b)) next = 0.5 * (a + b);
        if (!(next > 0.0)) next = 0.5 * x;
        if (change_converged(next, x)) return pt.dpdrho > 0.0 ? next : 0.0;
        x = next;
    }
    return 0.0;
}

// Scans [lo, hi] in 50 steps for sign changes of p(rho) - p; up to three roots.
int scan_bracket(const DensityFunctions& F, double p, double lo, double hi, double* roots) {
    const auto f = [&](double rho) { return F.pressure(rho) - p; };
    const double h = (hi - lo) / kScanSteps;
    int found = 0;
    double x_prev = lo, f_prev = f(lo);
    bool last = false;
    for (int step = 0; step <= kScanSteps && !last && found < kMaxScanRoots; ++step) {
        double x = x_prev + h;
        if (x > hi - 0.5 * h) {
            x = hi - 1e-8 * h;
            last = true;
        }
        if (!(x > x_prev)) break;
        double fx = f(x);
        if (f_prev * fx <= 0.0) {
            const double root = refine(f, x_prev, x, f_prev, fx);
            roots[found++] = root;
            // Continue from the top of this step, just above a root that sits on it.
            if (std::fabs(x - root) <= kSearchTolerance * std::fabs(x)) {
                x += 10.0 * kSearchTolerance * std::fabs(x);
                fx = f(x);
            }
        }
        x_prev = x;
        f_prev = fx;
    }
    return found;
}

}  // namespace

DensityFunctions::Point DensityFunctions::at(double rho) const {
    for (int k = 0; k < memo_size_; ++k) {
        if (memo_rho_[k] == rho) return memo_point_[k];
    }
    ++evaluations_;
    const double delta = rho / comp_.rho_r;
    const HelmholtzDerivs d = mixture_series(set_, tc_, delta, Derivatives::pressure);
    const double RT = kR * T_;
    const Point point{rho * RT * (1.0 + delta * d.a_d), RT * (1.0 + 2.0 * delta * d.a_d + delta * delta * d.a_dd)};
    memo_rho_[memo_next_] = rho;
    memo_point_[memo_next_] = point;
    memo_next_ = (memo_next_ + 1) % kMemo;
    memo_size_ = std::min(memo_size_ + 1, kMemo);
    return point;
}

double DensityFunctions::gibbs(double rho) const {
    const double delta = rho / comp_.rho_r;
    const HelmholtzDerivs d = derivatives(rho);
    const double Z = 1.0 + delta * d.a_d;
    // At a very low pressure Z of the liquid-like root cancels to rounding and
    // may come out negative: that root is no competitor.
    if (!(Z > 0.0)) return std::numeric_limits<double>::infinity();
    return 1000.0 * kR * T_ * (d.a - std::log(Z) + delta * d.a_d);
}

HelmholtzDerivs DensityFunctions::derivatives(double rho, DeltaExponentials* shared) const {
    for (int k = 0; k < 2; ++k) {
        if (full_rho_[k] == rho) return full_[k];
    }
    ++evaluations_;
    const HelmholtzDerivs d = mixture_series(set_, tc_, rho / comp_.rho_r, Derivatives::all, shared);
    full_rho_[full_next_] = rho;
    full_[full_next_] = d;
    full_next_ = 1 - full_next_;
    return d;
}

HelmholtzDerivs DensityFunctions::ln_phi_derivatives(double rho, DeltaExponentials* shared) const {
    for (int k = 0; k < 2; ++k) {
        if (full_rho_[k] == rho) return full_[k];
    }
    ++evaluations_;
    return mixture_series(set_, tc_, rho / comp_.rho_r, Derivatives::ln_phi, shared);
}

PengRobinsonRoots peng_robinson_roots(const ActiveSet& set, const CompositionState& comp, double T,
                                      double p) {
    PengRobinsonRoots roots;
    const double pp = std::max(p, kPrMinPressure);
    const double sqrt_T = std::sqrt(T);
    Vector sqrt_a{};
    for (int k = 0; k < set.n; ++k) {
        sqrt_a[k] = set.pr_sqrt_a0[k] * std::fabs(1.0 + set.pr_m[k] * (1.0 - sqrt_T * set.pr_inv_sqrt_Tc[k]));
    }
    // a = sum_ij u_i u_j (1 - k_ij) with u_i = x_i sqrt(a_i): the square of the
    // sum, less the few pairs with an interaction parameter.
    double sum_u = 0.0, interaction = 0.0;
    for (int i = 0; i < set.n; ++i) sum_u += comp.x[i] * sqrt_a[i];
    for (int q = 0; q < set.pr_pair_count; ++q) {
        const PengRobinsonPair& pr = set.pr_pair[q];
        interaction += pr.k * comp.x[pr.i] * sqrt_a[pr.i] * comp.x[pr.j] * sqrt_a[pr.j];
    }
    const double a = sum_u * sum_u - 2.0 * interaction;
    const double b = comp.pr_b;
    roots.inv_b = 1.0 / b;
    const double RT = kR * T;
    const double B = pp * b / RT, A = pp * a / (RT * RT);
    const double c2 = B - 1.0, c1 = A - 3.0 * B * B - 2.0 * B, c0 = -(A * B - B * B - B * B * B);
    const double Q = (c1 - c2 * c2 / 3.0) / 3.0;
    const double r = c0 / 2.0 + c2 * c2 * c2 / 27.0 - c1 * c2 / 6.0;
    const double D = r * r + Q * Q * Q;
    double Z[3];
    int nz = 1;
    if (std::fabs(Q) < kCubicDegenerateQ) {
        Z[0] = -c2 / 3.0;
    } else if (D >= 0.0) {
        const double sd = std::sqrt(D);
        Z[0] = std::cbrt(sd - r) + std::cbrt(-(sd + r)) - c2 / 3.0;
    } else {
        const double s = r < 0.0 ? -std::sqrt(std::fabs(Q)) : std::sqrt(std::fabs(Q));
        double u = r / (s * s * s);
        if (std::fabs(u) >= 1.0) u = kCubicClampedCosine;
        const double theta = std::acos(u) / 3.0;
        Z[0] = -2.0 * s * std::cos(theta) - c2 / 3.0;
        Z[1] = 2.0 * s * std::cos(kPiOverThree - theta) - c2 / 3.0;
        Z[2] = 2.0 * s * std::cos(kPiOverThree + theta) - c2 / 3.0;
        nz = 3;
    }
    for (int k = 0; k < nz; ++k) {
        // Below the floor a gas-like root (Z near 1) scales with the pressure
        // asked for; a liquid-like one hardly moves.
        const double rho = (Z[k] > kGasLikeZ ? p : pp) / (Z[k] * RT);
        if (!(rho > 0.0 && rho < roots.inv_b)) continue;
        roots.rho_max = std::max(roots.rho_max, rho);
        roots.rho_min = std::min(roots.rho_min, rho);
        ++roots.count;
    }
    roots.count = std::min(roots.count, 2);
    return roots;
}

DensitySearchResult density_search(const DensityFunctions& F, double p, RootPreference preference,
                                   const PengRobinsonRoots& roots) {
    DensitySearchResult result;
    bool use_liquid = preference != RootPreference::vapour;
    bool use_vapour = preference != RootPreference::liquid;
    if (roots.count == 1) {
        use_liquid = true;
        use_vapour = false;
    }
    double found[2] = {0.0, 0.0};  // liquid, vapour
    for (int which = 0; which < 2; ++which) {
        if ((which == 0 && !use_liquid) || (which == 1 && !use_vapour)) continue;
        Candidate c;
        c.liquid = which == 0;
        c.rho0 = c.liquid ? roots.rho_max : roots.rho_min;
        if (DensityStatus s = build_bracket(F, p, roots.count, c); s != DensityStatus::found) {
            // The fallback decides; it keeps a liquid-like root already found
            // when only the liquid-like branch exists at p.
            result.status = s;
            result.rho = found[0];
            return result;
        }
        double rho = newton_solve(F, p, c.lo, c.hi, c.rho0);
        if (rho == 0.0) {
            double scanned[kMaxScanRoots];
            const int n = scan_bracket(F, p, c.lo, c.hi, scanned);
            if (n == 0) {
                result.status = DensityStatus::no_root_in_scan;
                result.rho = found[0];
                return result;
            }
            rho = c.liquid ? *std::max_element(scanned, scanned + n) : *std::min_element(scanned, scanned + n);
        }
        found[which] = rho;
    }
    if (!(use_liquid && use_vapour)) {
        result.rho = use_liquid ? found[0] : found[1];
        return result;
    }
    const double dg = (F.gibbs(found[1]) - F.gibbs(found[0])) / (1000.0 * kR * F.T());
    result.rho = dg < 0.0 ? found[1] : found[0];
    // Both candidates may end on the same root: then there is no other.
    if (!change_converged(found[1], found[0])) {
        result.other = dg < 0.0 ? found[0] : found[1];
        result.dg = std::fabs(dg);
    }
    if (result.rho > kRejectLow * roots.rho_min && result.rho < kRejectHigh * roots.rho_max) result.rho = 0.0;
    return result;
}

double warm_density(const DensityFunctions& F, double p, const PengRobinsonRoots& roots, double start) {
    if (roots.count != 1 || p < kLowPressure || !(start > 0.0)) return 0.0;
    const double lo = kLiquidBelow * roots.rho_max, hi = kLiquidAbove * roots.rho_max;
    const double near_lo = start / (1.0 + kWarmStartDrift), near_hi = start * (1.0 + kWarmStartDrift);
    double x = start;
    for (int step = 0; step < kWarmStartSteps; ++step) {
        const DensityFunctions::Point pt = F.at(x);
        if (!(pt.dpdrho > 0.0)) return 0.0;
        const double next = x - (pt.p - p) / pt.dpdrho;
        if (!((next > lo && next < hi) || (next > near_lo && next < near_hi))) return 0.0;
        if (change_converged(next, x)) return next;
        x = next;
    }
    return 0.0;
}

namespace {

// One scan of g from `start` toward `end` in steps of h; returns 0 without a
// sign change. `accept` may turn down a refined root, and the scan goes on.
template <class G, class A>
double scan_for_sign_change(const G& g, double start, double end, double h, const A& accept) {
    const double dir = end > start ? 1.0 : -1.0;
    double x_prev = start, g_prev = g(start);
    bool last = false;
    for (int step = 0; step <= kMaxFallbackSteps && !last; ++step) {
        double x = x_prev + dir * h;
        if (dir * (end - x) < 0.5 * h) {
            x = end - dir * 1e-8 * h;
            last = true;
        }
        const double gx = g(x);
        if (g_prev * gx <= 0.0) {
            const double root = refine(g, x_prev, x, g_prev, gx);
            if (accept(root)) return root;
        }
        x_prev = x;
        g_prev = gx;
    }
    return 0.0;
}

template <class G>
double scan_for_sign_change(const G& g, double start, double end, double h) {
    return scan_for_sign_change(g, start, end, h, [](double) { return true; });
}

// The scan range ends at 0.99 of the Peng-Robinson limiting density, which can
// lie below the GERG-2008 liquid root (heavy components, water). When the top
// of the range is still on the stable liquid branch below p, follow the branch
// upward to the root.
double liquid_root_above(const DensityFunctions& F, double p, double top, double h) {
    DensityFunctions::Point at_top = F.at(top);
    if (!(at_top.p < p && at_top.dpdrho > 0.0)) return 0.0;
    double lo = top, f_lo = at_top.p - p;
    for (int step = 0; step < kMaxFallbackSteps; ++step) {
        const double hi = lo + h;
        const DensityFunctions::Point pt = F.at(hi);
        if (!(pt.dpdrho > 0.0)) return 0.0;
        if (pt.p >= p) return refine([&](double rho) { return F.pressure(rho) - p; }, lo, hi, f_lo, pt.p - p);
        lo = hi;
        f_lo = pt.p - p;
    }
    return 0.0;
}

}  // namespace

double density_fallback(const DensityFunctions& F, double p, const PengRobinsonRoots& roots,
                        double current) {
    if (!(roots.inv_b > 0.0) || !std::isfinite(roots.inv_b)) return 0.0;
    const double top = kFallbackTopFraction * roots.inv_b, bottom = kFallbackBottom;
    const double steps = std::min(std::floor(kFallbackStepsPerInvB * roots.inv_b), double(kMaxFallbackSteps));
    const double h = (top - bottom) / std::max(steps, 1.0);
    const auto slope = [&](double rho) { return F.slope(rho); };
    const auto f = [&](double rho) { return F.pressure(rho) - p; };
    // A root on a branch where pressure falls with density is no phase: keep scanning.
    const auto stable = [&](double rho) { return F.slope(rho) > 0.0; };

    const double vapour_spinodal = scan_for_sign_change(slope, bottom, top, h);
    const double liquid_spinodal = scan_for_sign_change(slope, top, bottom, h);
    // Which branches exist at p, and so which root to take; a spinodal not
    // found in this call counts as absent.
    RootPreference take = RootPreference::stable;  // both branches exist
    if (liquid_spinodal > 0.0 && F.pressure(liquid_spinodal) > p) take = RootPreference::vapour;
    if (vapour_spinodal > 0.0 && p > F.pressure(vapour_spinodal)) take = RootPreference::liquid;

    const auto liquid_scan = [&]() {
        const double above = liquid_root_above(F, p, top, h);
        return above > 0.0 ? above : scan_for_sign_change(f, top, bottom, h, stable);
    };
    if (take == RootPreference::liquid) {
        if (current > kNoDensity) return current;
        const double rho = liquid_scan();
        return rho > 0.0 ? rho : liquid_spinodal;
    }
    if (take == RootPreference::vapour) {
        const double rho = scan_for_sign_change(f, bottom, top, h, stable);
        return rho > 0.0 ? rho : vapour_spinodal;
    }
    double vapour = scan_for_sign_change(f, bottom, top, h, stable);
    if (!(vapour > 0.0)) vapour = vapour_spinodal;
    double liquid = liquid_scan();
    if (!(liquid > 0.0)) liquid = liquid_spinodal;
    if (vapour > 0.0 && liquid > 0.0 && std::fabs(vapour - liquid) >= kDistinctRoots &&
        F.gibbs(vapour) > F.gibbs(liquid)) {
        return liquid;
    }
    return vapour > 0.0 ? vapour : liquid;
}

}  // namespace ngtherm::model
