// Special points converged on the equations of the line. A crossing of a
// tabulation value and a temperature or pressure extremum are zeros of a
// function of the fixed variable S of their interval (X_k - v, or the slope
// dX_k/dS), found by bracketed Newton or regula falsi steps in S where every
// step is a converged point of the line; the critical point is interpolated
// from four converged points around it. The cubics of the interval only give
// the first estimates.
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "envelope/tracer.hpp"

namespace ngtherm::envelope {
namespace {

// Newton or secant steps for one special point.
constexpr int kRefineIterations = 30;
// A crossing is converged once ln T or ln p is within this of its value.
constexpr double kCrossingTolerance = 1e-12;
// An extremum is converged once dX_k/dS is this small against |dX/dS|; one
// that stalls is still accepted within kExtremumAcceptance.
constexpr double kExtremumTolerance = 1e-11;
constexpr double kExtremumAcceptance = 1e-9;
// A bracket narrower than this (relative to 1 + |S|) ends the iteration.
constexpr double kStallStep = 1e-15;
// The converged points around the critical point lie where the vanishing
// ln K is about this large (the nearer ones, then farther ones): closer to
// zero the Jacobian becomes so ill-conditioned that a small residual no
// longer means an accurate point.
constexpr std::array<double, 3> kCriticalNodeLnK{1e-2, 2e-2, 4e-2};
// Halvings of the way from a converged point when a point of a special
// point's iteration does not converge from the cubics.
constexpr int kContinuationHalvings = 5;
// The points around the critical point may lie this many interval lengths
// beyond the interval (the line goes on past the current point).
constexpr double kCriticalReach = 1.0;
// Bisections of the interpolated ln K around the critical point (to rounding).
constexpr int kCriticalBisections = 80;

double norm(const LuVector& v, int m) {
    double sum = 0.0;
    for (int k = 0; k < m; ++k) sum += v[k] * v[k];
    return std::sqrt(sum);
}

// The slope of an extremum's variable along the line, against the whole
// tangent dX/dS: it vanishes at the extremum whatever S is.
double extremum_slope(const SpecialPoint& sp, const LuVector& sens, int m) {
    return sens[sp.variable] / norm(sens, m);
}

}  // namespace

// Converges the point of the interval at S = anchor S + s, from the cubics.
bool EnvelopeTracer::solve_at(const Anchor& anchor, double s, LinePoint& out) {
    for (int k = 0; k < m_; ++k) X_[k] = cubic_[k].value(s);
    return converge_at(anchor, s, out);
}

// The same from the tangent at a converged point of the line at s_from,
// halving the way there while the point does not converge.
bool EnvelopeTracer::solve_from(const Anchor& anchor, const LinePoint& from, double s_from, double s, LinePoint& out,
                                int depth) {
    for (int k = 0; k < m_; ++k) X_[k] = from.X[k] + (s - s_from) * from.sens[k];
    if (converge_at(anchor, s, out)) return true;
    if (depth >= kContinuationHalvings) return false;
    LinePoint middle;
    const double s_middle = 0.5 * (s_from + s);
    return solve_from(anchor, from, s_from, s_middle, middle, depth + 1) &&
           solve_from(anchor, middle, s_middle, s, out, depth + 1);
}

bool EnvelopeTracer::converge_at(const Anchor& anchor, double s, LinePoint& out) {
    fixed_value_ = anchor.X[fixed_] + s;
    equations_.restore(anchor.roots);
    if (converge_point(false) != Convergence::converged) return false;
    // One more step, so that the Jacobian behind the slope belongs to the
    // converged point and not to the iterate before it.
    double measure = 0.0;
    if (!newton_step(measure)) return false;
    out.X = X_;
    out.sens = LuVector{};
    out.sens[m_ - 1] = 1.0;
    lu_solve(lu_, out.sens);
    return true;
}

// A crossing of ln T or ln p = v between s = a and s = b, where X_k - v takes
// the values ga and gb of opposite sign: Newton steps in S with the exact
// slope dX_k/dS, kept inside the shrinking bracket.
bool EnvelopeTracer::refine_crossing(const Anchor& anchor, const Crossing& c, LinePoint& P) {
    double a = c.a, ga = c.ga, b = c.b, gb = c.gb;
    double s = a + (b - a) * ga / (ga - gb);
    LinePoint last = std::abs(s - a) < std::abs(s - b) ? c.at_a : c.at_b;
    double s_last = std::abs(s - a) < std::abs(s - b) ? a : b;
    for (int it = 0; it < kRefineIterations; ++it) {
        if (!solve_at(anchor, s, P) && !solve_from(anchor, last, s_last, s, P, 0)) return false;
        last = P;
        s_last = s;
        const double g = P.X[c.variable] - c.target;
        if (std::abs(g) <= kCrossingTolerance) return true;
        ((g < 0.0) == (ga < 0.0) ? a : b) = s;
        ((g < 0.0) == (ga < 0.0) ? ga : gb) = g;
        const double next = s - g / P.sens[c.variable];
        s = std::isfinite(next) && next > std::min(a, b) && next < std::max(a, b) ? next : 0.5 * (a + b);
    }
    return false;
}

// An extremum: the slope of its variable changes sign between the two ends
// of the interval, where it is known exactly; regula falsi with the Illinois
// modification keeps the zero bracketed.
bool EnvelopeTracer::refine_extremum(const Anchor& anchor, const SpecialPoint& sp, double u, LinePoint& P) {
    double a = u, ga = extremum_slope(sp, base_sens_, m_);
    double b = 0.0, gb = extremum_slope(sp, sens_, m_);
    if ((ga < 0.0) == (gb < 0.0)) return false;
    LinePoint at_a{base_, base_sens_}, at_b{anchor.X, sens_};
    double s = sp.s;
    int side = 0;  // the end moved last: -1 a, +1 b
    for (int it = 0; it < kRefineIterations; ++it) {
        const bool nearer_a = std::abs(s - a) < std::abs(s - b);
        if (!solve_at(anchor, s, P) && !solve_from(anchor, nearer_a ? at_a : at_b, nearer_a ? a : b, s, P, 0)) {
            return false;
        }
        const double g = extremum_slope(sp, P.sens, m_);
        if (std::abs(g) <= kExtremumTolerance) return true;
        if ((g < 0.0) == (ga < 0.0)) {
            a = s;
            ga = g;
            at_a = P;
            if (side == -1) gb *= 0.5;
            side = -1;
        } else {
            b = s;
            gb = g;
            at_b = P;
            if (side == 1) ga *= 0.5;
            side = 1;
        }
        if (std::abs(b - a) <= kStallStep * (1.0 + std::abs(anchor.X[fixed_] + s))) {
            return std::abs(g) <= kExtremumAcceptance;
        }
        s = b - gb * (b - a) / (gb - ga);
    }
    return false;
}

// Converges the point again with the crossed variable itself fixed at its
// value, so that the stored T or p is the tabulated one.
bool EnvelopeTracer::pin(const Anchor& anchor, int variable, double value, LuVector& X) {
    const int fixed = fixed_;
    X_ = X;
    fixed_ = variable;
    fixed_value_ = value;
    equations_.restore(anchor.roots);
    const bool ok = converge_point(false) == Convergence::converged;
    fixed_ = fixed;
    if (ok) X = X_;
    return ok;
}

// All ln K vanish at the critical point, where the equations hold for any T
// and p and the Jacobian is singular; the point is interpolated from four
// converged points at s_c + h (-2, -1, 1, 2) around the estimate s_c, by the
// cubic through their values only (their slopes suffer from the
// conditioning), which is exact to the fourth power of h.
bool EnvelopeTracer::refine_critical(const Anchor& anchor, const SpecialPoint& sp, double u, LuVector& X) {
    const int k = sp.variable;
    const double lo = std::min(u, 0.0), hi = std::max(u, 0.0);
    for (const double node_lnK : kCriticalNodeLnK) {
        const double h = node_lnK / std::abs(cubic_[k].slope(sp.s));
        const std::array<double, 4> t{sp.s - 2.0 * h, sp.s - h, sp.s + h, sp.s + 2.0 * h};
        if (t[0] < lo - kCriticalReach * std::abs(u) || t[3] > hi + kCriticalReach * std::abs(u)) break;
        std::array<LinePoint, 4> P;
        bool solved = true;
        for (int j = 0; j < 4 && solved; ++j) {
            // Where the cubics are too rough a start, continue from the nearer end of the interval.
            const bool nearer_base = std::abs(t[j] - u) < std::abs(t[j]);
            const LinePoint end = nearer_base ? LinePoint{base_, base_sens_} : LinePoint{anchor.X, sens_};
            solved = solve_at(anchor, t[j], P[j]) || solve_from(anchor, end, nearer_base ? u : 0.0, t[j], P[j], 0);
        }
        if (!solved || (P[1].X[k] < 0.0) == (P[2].X[k] < 0.0)) continue;
        const auto at = [&](int var, double s) {  // Lagrange cubic through the four values
            double sum = 0.0;
            for (int j = 0; j < 4; ++j) {
                double w = P[j].X[var];
                for (int i = 0; i < 4; ++i) {
                    if (i != j) w *= (s - t[i]) / (t[j] - t[i]);
                }
                sum += w;
            }
            return sum;
        };
        double a = t[1], b = t[2];
        const bool negative_at_a = P[1].X[k] < 0.0;
        for (int it = 0; it < kCriticalBisections; ++it) {
            const double mid = 0.5 * (a + b);
            ((at(k, mid) < 0.0) == negative_at_a ? a : b) = mid;
        }
        for (int j = 0; j < m_; ++j) X[j] = at(j, 0.5 * (a + b));
        return true;
    }
    return false;
}

// An extremum or the critical point.
bool EnvelopeTracer::refine(const Anchor& anchor, const SpecialPoint& sp, double u, LinePoint& P) {
    if (sp.type == EnvelopePointType::critical) return refine_critical(anchor, sp, u, P.X);
    return refine_extremum(anchor, sp, u, P);
}

// The crossings of the tabulation values of ln T (variable n) or ln p, on
// each side of the variable's extremum when the interval holds one (at s_e,
// with the unknowns X_e); the signs at the ends of each piece are exact, so a
// crossing is neither missed nor invented by the cubics.
void EnvelopeTracer::add_crossings(const Anchor& anchor, double u, int variable, const Extremum& e,
                                   std::vector<Found>& found) {
    const bool T = variable == lnT_index();
    const Tabulation& tab = T ? settings_.temperatures : settings_.pressures;
    const EnvelopePointType caller = T ? EnvelopePointType::caller_temperature : EnvelopePointType::caller_pressure;
    const std::array<double, 3> s{u, e.s, 0.0};
    const std::array<LinePoint, 3> at{LinePoint{base_, base_sens_}, e.P, LinePoint{anchor.X, sens_}};
    const int step = e.found ? 1 : 2;  // two pieces, or the whole interval
    for (int piece = 0; piece + step < 3; piece += step) {
        for (int k = 0; k < tab.count; ++k) {
            const double v = tab.ln_value[k];
            const Crossing c{variable, v, s[piece], at[piece].X[variable] - v, s[piece + step],
                             at[piece + step].X[variable] - v, at[piece], at[piece + step]};
            if ((c.ga < 0.0) == (c.gb < 0.0)) continue;
            LinePoint P;
            if (!refine_crossing(anchor, c, P)) continue;
            pin(anchor, variable, v, P.X);
            found.push_back({P.X, k == tab.caller ? caller : EnvelopePointType::tabulated});
        }
    }
}

// An extremum is a maximum or a minimum by the points beside it.
void EnvelopeTracer::label_extrema() {
    for (int i = 1; i + 1 < count_; ++i) {
        TracePoint& point = points_[i];
        const bool T_type = point.type == EnvelopePointType::max_temperature ||
                            point.type == EnvelopePointType::min_temperature;
        const bool p_type = point.type == EnvelopePointType::max_pressure ||
                            point.type == EnvelopePointType::min_pressure;
        if (!T_type && !p_type) continue;
        const auto value = [&](const TracePoint& q) { return T_type ? q.T : q.p; };
        const double v = value(point), before = value(points_[i - 1]), after = value(points_[i + 1]);
        if (v >= before && v >= after) {
            point.type = T_type ? EnvelopePointType::max_temperature : EnvelopePointType::max_pressure;
        } else if (v <= before && v <= after) {
            point.type = T_type ? EnvelopePointType::min_temperature : EnvelopePointType::min_pressure;
        }
    }
}

}  // namespace ngtherm::envelope
