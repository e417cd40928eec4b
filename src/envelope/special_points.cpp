#include "envelope/special_points.hpp"

#include <algorithm>
#include <cmath>

namespace ngtherm::envelope {
namespace {

// Newton iterations on the cubics for one special point.
constexpr int kLocateIterations = 7;
// The iteration stops once s changes by no more than this.
constexpr double kLocateTolerance = 1e-3;
// Halvings of an iteration step that would leave the interval.
constexpr int kLocateHalvings = 60;
// A zero of a ln K cubic is the critical point only when every ln K_i there is
// within this fraction of the largest |ln K_i| at the ends of the interval.
constexpr double kCriticalLnKFraction = 0.1;

struct Range {
    double lo, hi;
    bool contains(double s) const { return s >= lo && s <= hi; }
};

Range range_of(double a, double b) { return {std::min(a, b), std::max(a, b)}; }

bool changes_sign(double a, double b) { return (a < 0.0) != (b < 0.0); }

// Newton iteration on f (derivative df) from `start`, kept inside r.
template <class F, class D>
double locate(const F& f, const D& df, Range r, double start) {
    double s = std::clamp(start, r.lo, r.hi);
    for (int it = 0; it < kLocateIterations; ++it) {
        const double slope = df(s);
        if (slope == 0.0 || !std::isfinite(slope)) break;
        double delta = -f(s) / slope;
        for (int h = 0; h < kLocateHalvings && !r.contains(s + delta); ++h) delta *= 0.5;
        s = std::clamp(s + delta, r.lo, r.hi);
        if (!(std::abs(delta) > kLocateTolerance)) break;
    }
    return s;
}

// The zero of f between a and b, where f changes sign, from linear interpolation.
template <class F, class D>
double zero_between(const F& f, const D& df, double a, double b) {
    const double fa = f(a);
    const double fb = f(b);
    const double start = a + (b - a) * fa / (fa - fb);
    return locate(f, df, range_of(a, b), std::isfinite(start) ? start : 0.5 * (a + b));
}

// The extremum of one cubic in the interval, if its slope changes sign there.
bool find_extremum(const Cubic& c, double u, double& s) {
    if (!changes_sign(c.slope(u), c.slope(0.0))) return false;
    s = zero_between([&](double t) { return c.slope(t); }, [&](double t) { return c.curvature(t); },
                     u, 0.0);
    return true;
}

void add_extremum(const Cubic& c, int variable, double u, EnvelopePointType max_type, EnvelopePointType min_type,
                  bool& found, double& s, SpecialPointList& out) {
    found = find_extremum(c, u, s);
    if (found) out.add(s, c.curvature(s) < 0.0 ? max_type : min_type, variable);
}

// Crossings of the tabulation values, on each side of an extremum separately
// so that a value crossed twice within the interval is found twice.
void add_crossings(const Cubic& c, int variable, const Tabulation& tab, EnvelopePointType caller_type, double u,
                   bool split, double s_split, SpecialPointList& out) {
    const std::array<double, 3> ends{u, s_split, 0.0};
    const int pieces = split ? 2 : 1;
    for (int piece = 0; piece < pieces; ++piece) {
        const double a = ends[piece];
        const double b = split ? ends[piece + 1] : 0.0;
        for (int k = 0; k < tab.count; ++k) {
            const double v = tab.ln_value[k];
            const auto f = [&](double t) { return c.value(t) - v; };
            if (!changes_sign(f(a), f(b))) continue;
            const double s = zero_between(f, [&](double t) { return c.slope(t); }, a, b);
            out.add(s, k == tab.caller ? caller_type : EnvelopePointType::tabulated, variable, v);
        }
    }
}

// The critical point: where the ln K that changes sign with the largest
// magnitude passes through zero, accepted only when all ln K_i are small there.
void add_critical_point(const IntervalCubics& iv, SpecialPointList& out) {
    int k = -1;
    double scale = 0.0;
    for (int i = 0; i < iv.n; ++i) {
        const Cubic c = iv.cubic[i];
        scale = std::max({scale, std::abs(c.value(iv.u)), std::abs(c.value(0.0))});
        if (!changes_sign(c.value(iv.u), c.value(0.0))) continue;
        if (k < 0 || std::abs(c.value(0.0)) > std::abs(iv.cubic[k].value(0.0))) k = i;
    }
    if (k < 0) return;
    const Cubic c = iv.cubic[k];
    const double s = zero_between([&](double t) { return c.value(t); },
                                  [&](double t) { return c.slope(t); }, iv.u, 0.0);
    for (int i = 0; i < iv.n; ++i) {
        if (!(std::abs(iv.cubic[i].value(s)) <= kCriticalLnKFraction * scale)) return;
    }
    out.add(s, EnvelopePointType::critical, k);
}

void sort_by_decreasing_distance(SpecialPointList& list) {
    for (int i = 1; i < list.size; ++i) {
        const SpecialPoint moving = list.item[i];
        int j = i;
        for (; j > 0 && std::abs(list.item[j - 1].s) < std::abs(moving.s); --j) {
            list.item[j] = list.item[j - 1];
        }
        list.item[j] = moving;
    }
}

}  // namespace

void find_special_points(const IntervalCubics& iv, const Tabulation& temperatures,
                         const Tabulation& pressures, SpecialPointList& out) {
    out.size = 0;
    const Cubic lnT = iv.cubic[iv.n];
    const Cubic lnp = iv.cubic[iv.n + 1];
    bool has_T_extremum = false, has_p_extremum = false;
    double s_T = 0.0, s_p = 0.0;
    add_extremum(lnT, iv.n, iv.u, EnvelopePointType::max_temperature, EnvelopePointType::min_temperature,
                 has_T_extremum, s_T, out);
    add_extremum(lnp, iv.n + 1, iv.u, EnvelopePointType::max_pressure, EnvelopePointType::min_pressure,
                 has_p_extremum, s_p, out);
    add_crossings(lnT, iv.n, temperatures, EnvelopePointType::caller_temperature, iv.u, has_T_extremum, s_T, out);
    add_crossings(lnp, iv.n + 1, pressures, EnvelopePointType::caller_pressure, iv.u, has_p_extremum, s_p, out);
    add_critical_point(iv, out);
    sort_by_decreasing_distance(out);
}

}  // namespace ngtherm::envelope
