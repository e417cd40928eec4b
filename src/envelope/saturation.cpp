// Saturation points on request: a coarse trace with the requested value
// tabulated, then each point polished on the saturation equations.
#include "envelope/saturation.hpp"

#include "equilibrium/tpequil.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <span>
#include <vector>

namespace ngtherm::envelope {
namespace {

// A returned point solves the saturation equations to this.
constexpr double kResidualTolerance = 1e-10;
// Newton steps that polish a point the tracer has converged, with each of
// the two variables held.
constexpr int kPolishSteps = 3;

// A point whose largest |ln K_i| is below this has two phases alike: the
// line has collapsed onto the trivial solution (a true crossing this close to
// the critical point would lie within millikelvins of it).
constexpr double kTrivialLnK = 1e-4;
// Minimum pressures of the retries of a trace that found no first point or
// ended early, MPa.
constexpr std::array<double, 3> kRetryMinPressures{0.01, 0.1, 1.0};
// Two densities of a phase are one root where they differ by this fraction at most.
constexpr double kSameRoot = 1e-9;
// The vapour fraction of the feed's split at a point differs from the
// line's by at most this (the rounding of the point).
constexpr double kOtherSplit = 1e-4;
// Two points of two traces are one where their free T or p differ by this
// fraction at most (each is converged to rounding).
constexpr double kSamePoint = 1e-8;
// Lines of at least this vapour fraction run like a dew line.
constexpr double kDewLikeBeta = 0.5;

using model::RootPreference;

// The traced line: its feed (normalised, active order), its vapour fraction
// and the part of it that holds points of that fraction.
struct Line {
    const model::ActiveSet& set;
    const double* z;
    double beta;
    std::span<const TracePoint> points;
    equilibrium::EquilibriumSolver& solver;  // for the check of the feed's split at a point
};

// The largest residual at X (F_{n+1} = X[fixed] - value included) on the
// roots the equations hold; infinity when a phase has no density.
double largest_residual(EnvelopeEquations& eq, const LuVector& X, int fixed, double value, int m) {
    if (!eq.evaluate(X, kStartupRequest)) return std::numeric_limits<double>::infinity();
    LuVector F{};
    eq.residuals(X, fixed, value, F);
    double worst = 0.0;
    for (int k = 0; k < m; ++k) worst = std::max(worst, std::abs(F[k]));
    return std::isfinite(worst) ? worst : std::numeric_limits<double>::infinity();
}

// The pair of density roots on which the residual at X is least: the
// tracer's own pair (near the critical point either root may be the
// liquid-like one). The equations are left set to it.
double choose_roots(const Line& line, const LuVector& X, int fixed, double value, EnvelopeEquations& eq) {
    const int m = line.set.n + 2;
    EnvelopeEquations::RootState best_roots;
    double best = std::numeric_limits<double>::infinity();
    for (const RootPreference rx : {RootPreference::liquid, RootPreference::vapour}) {
        for (const RootPreference ry : {RootPreference::vapour, RootPreference::liquid}) {
            eq.reset(line.set, line.z, line.beta);
            eq.restore({rx, rx, ry, ry});
            const double r = largest_residual(eq, X, fixed, value, m);
            if (r < best) {
                best = r;
                best_roots = eq.root_state();
            }
        }
    }
    eq.reset(line.set, line.z, line.beta);
    eq.restore(best_roots);
    return best;
}

// Whether the phase of composition c (n values, normalised here) at (T, p)
// lies on its stable density root when evaluated on `root`.
bool on_stable_root(const model::ActiveSet& set, const model::Vector& c, model::RootPreference root, double T,
                    double p) {
    model::CompositionState comp;
    model::prepare_composition(set, c.data(), comp);
    model::ResidualProperties rec;
    constexpr model::MixRequest kDensityOnly{};
    const model::MixResult chosen = model::mixstate(set, comp, kDensityOnly, root, T, p, nullptr, rec);
    const model::MixResult stable = model::mixstate(set, comp, kDensityOnly, RootPreference::stable, T, p, nullptr, rec);
    return chosen.ok() && stable.ok() && std::abs(chosen.rho - stable.rho) <= kSameRoot * stable.rho;
}

// Whether the feed at the point splits otherwise than the line says: on the
// phase boundary it is one phase, or all but a rounding of it; on a line of
// 0 < beta < 1 it splits with that vapour fraction. A point of the equations
// inside the two-phase region of another split (such as two liquids) is no
// point of the stable line. A failed split gives no verdict.
bool splits_otherwise(const Line& line, const TracePoint& point) {
    const equilibrium::EquilibriumResult& r = equilibrium::tpequil(line.solver, line.set, point.T, point.p, line.z,
                                                                       equilibrium::Detail::volumetric);
    if (r.error != equilibrium::EquilibriumError::none) return false;
    if (line.beta == 0.0 || line.beta == 1.0) return std::min(r.beta, r.one_minus_beta) > kOtherSplit;
    return std::abs(r.beta - line.beta) > kOtherSplit;
}

// The solution at the unknowns X with its residual, on the density roots
// `roots` of the equations.
SaturationSolution solution(const Line& line, const TracePoint& point, const LuVector& X, double residual,
                            const EnvelopeEquations::RootState& roots) {
    const int n = line.set.n;
    SaturationSolution out;
    out.point = point;
    out.point.T = std::exp(X[n]);
    out.point.p = std::exp(X[n + 1]);
    double largest_lnK = 0.0;
    for (int i = 0; i < n; ++i) {
        const double K = std::exp(X[i]);
        out.point.lnK[i] = X[i];
        out.point.x[i] = line.z[i] / (1.0 - line.beta + line.beta * K);
        out.point.y[i] = K * out.point.x[i];
        largest_lnK = std::max(largest_lnK, std::abs(X[i]));
    }
    out.residual = residual;
    out.incipient = line.beta >= kDewLikeBeta ? out.point.x : out.point.y;
    out.status = residual <= kResidualTolerance ? SaturationStatus::converged : SaturationStatus::not_converged;
    if (largest_lnK < kTrivialLnK) out.status = SaturationStatus::trivial;
    const bool stable = on_stable_root(line.set, out.point.x, roots.liquid_root, out.point.T, out.point.p) &&
                        on_stable_root(line.set, out.point.y, roots.vapour_root, out.point.T, out.point.p);
    if (out.status == SaturationStatus::converged && (!stable || splits_otherwise(line, out.point))) {
        out.status = SaturationStatus::metastable;
    }
    return out;
}

// The stored point converged once more on the equations with X[fixed] =
// value. Where the line runs nearly along the fixed variable (next to an
// extremum of the other one) its point is ill-conditioned in the other
// variable, and Newton steps with that one held instead find a point that
// satisfies the equations better. The iterate with the smallest residual is
// kept, the stored point included.
SaturationSolution polish(const Line& line, const TracePoint& point, int fixed, double value) {
    const int n = line.set.n, m = n + 2;
    LuVector X{};
    for (int i = 0; i < n; ++i) X[i] = point.lnK[i];
    X[n] = std::log(point.T);
    X[n + 1] = std::log(point.p);
    EnvelopeEquations eq;
    double best = choose_roots(line, X, fixed, value, eq);
    LuVector best_X = X;
    const int other = fixed == n ? n + 1 : n;
    for (const int held : {fixed, other}) {
        if (held == other && best <= kResidualTolerance) break;
        LuVector Y = X, F{};
        LuSystem J;
        for (int step = 0; step < kPolishSteps; ++step) {
            double measure = 0.0;
            if (!eq.newton_step(Y, held, held == fixed ? value : X[held], F, J, measure)) break;
            const double r = largest_residual(eq, Y, fixed, value, m);
            if (r < best) {
                best = r;
                best_X = Y;
            }
        }
    }
    return solution(line, point, best_X, best, eq.root_state());
}

// Whether the line rises in T (by_T) or p through point k, by its neighbours.
bool rises(std::span<const TracePoint> line, std::size_t k, bool by_T) {
    const TracePoint& before = line[k > 0 ? k - 1 : k];
    const TracePoint& after = line[k + 1 < line.size() ? k + 1 : k];
    return by_T ? after.T > before.T : after.p > before.p;
}

// Past its critical point a line of vapour fraction beta goes on as the
// line of 1 - beta with the phases' roles exchanged: for 0 < beta < 1 only
// the part before it holds points of vapour fraction beta. (The dew and
// bubble lines are the two halves of one phase boundary.)
std::span<const TracePoint> physical_part(std::span<const TracePoint> line, double beta) {
    if (beta == 0.0 || beta == 1.0) return line;
    const auto critical = std::find_if(line.begin(), line.end(), [](const TracePoint& q) {
        return q.type == EnvelopePointType::critical;
    });
    return line.first(static_cast<std::size_t>(critical - line.begin()));
}

Tabulation only(double value) {
    Tabulation tab;
    tab.ln_value[0] = std::log(value);
    tab.count = 1;
    tab.caller = 0;
    return tab;
}

// The trace settings of a request: only its T or p is tabulated.
TraceSettings tabulated(const SaturationRequest& request) {
    TraceSettings settings = request.settings;
    settings.temperatures = {};
    settings.pressures = {};
    if (request.target == SaturationTarget::temperatures_at_pressure) settings.pressures = only(request.value);
    if (request.target == SaturationTarget::pressures_at_temperature) settings.temperatures = only(request.value);
    return settings;
}

// A line that ended on a limit of the window or at its fold is complete.
bool complete_line(EnvelopeOutcome o) { return o == EnvelopeOutcome::left_window || o == EnvelopeOutcome::folded; }

// A start at a very low pressure can lie where no density is found (a bubble
// point below the triple points), and a line started there can end early
// where one started higher goes round: the line is started again higher,
// below a given pressure, until a trace goes round. Where none does, the
// first one that found points is traced again and kept.
EnvelopeOutcome trace_line(EnvelopeTracer& tracer, const model::ActiveSet& set, const double* z,
                           const SaturationRequest& request, TraceSettings& settings) {
    EnvelopeOutcome traced = tracer.trace(set, z, settings);
    double first_found = traced == EnvelopeOutcome::failed ? 0.0 : settings.p_min;
    const double p_below = request.target == SaturationTarget::temperatures_at_pressure ? request.value
                                                                                         : settings.p_max;
    for (const double p_start : kRetryMinPressures) {
        if (complete_line(traced)) return traced;
        if (p_start <= settings.p_min || p_start >= p_below) continue;
        settings.p_min = p_start;
        traced = tracer.trace(set, z, settings);
        if (first_found == 0.0 && traced != EnvelopeOutcome::failed) first_found = p_start;
    }
    if (complete_line(traced) || first_found == 0.0 || first_found == settings.p_min) return traced;
    settings.p_min = first_found;
    return tracer.trace(set, z, settings);
}

// What one traced line holds of a request.
struct Traced {
    EnvelopeOutcome outcome = EnvelopeOutcome::failed;
    std::vector<SaturationSolution> points;  // the crossings, or the extremum
    double highest = -std::numeric_limits<double>::infinity();  // the line's highest T or p (extrema)
};

// The crossings of the given T or p, each polished with that variable fixed
// and labelled by the way the line runs through it.
void add_crossings(const Line& line, const SaturationRequest& request, Traced& out) {
    const bool at_p = request.target == SaturationTarget::temperatures_at_pressure;
    const EnvelopePointType type = at_p ? EnvelopePointType::caller_pressure : EnvelopePointType::caller_temperature;
    const int fixed = at_p ? line.set.n + 1 : line.set.n;
    const bool dew_like = line.beta >= kDewLikeBeta;
    for (std::size_t k = 0; k < line.points.size(); ++k) {
        if (line.points[k].type != type) continue;
        SaturationSolution s = polish(line, line.points[k], fixed, std::log(request.value));
        (at_p ? s.point.p : s.point.T) = request.value;
        // A dew line runs from its dew point at the minimum pressure round
        // the two-phase region with the region on its left, a bubble line the
        // other way round: the upper branch, with the region below the point
        // (at lower T for a given p, at lower p for a given T), is where a dew
        // line rises in p, or falls in T.
        const bool upper = (rises(line.points, k, !at_p) == at_p) == dew_like;
        s.branch = upper ? SaturationBranch::upper : SaturationBranch::lower;
        out.points.push_back(s);
    }
}

// The candidate for the cricondentherm or cricondenbar: the highest maximum
// of its kind, polished with the other variable fixed (where the line is not
// tangent to it); and the line's highest value, which it must reach.
void add_extremum(const Line& line, SaturationTarget target, Traced& out) {
    const bool by_T = target == SaturationTarget::cricondentherm;
    const EnvelopePointType type = by_T ? EnvelopePointType::max_temperature : EnvelopePointType::max_pressure;
    const auto value = [by_T](const TracePoint& q) { return by_T ? q.T : q.p; };
    const TracePoint* best = nullptr;
    for (const TracePoint& q : line.points) {
        out.highest = std::max(out.highest, value(q));
        if (q.type == type && (best == nullptr || value(q) > value(*best))) best = &q;
    }
    if (best == nullptr) return;
    const int fixed = by_T ? line.set.n + 1 : line.set.n;
    out.points.push_back(polish(line, *best, fixed, std::log(by_T ? best->p : best->T)));
}

// The points of the request on the line traced with `settings`.
Traced on_line(EnvelopeTracer& tracer, equilibrium::EquilibriumSolver& solver, const model::ActiveSet& set,
               const double* z, const SaturationRequest& request, TraceSettings settings) {
    Traced out;
    out.outcome = trace_line(tracer, set, z, request, settings);
    if (out.outcome == EnvelopeOutcome::failed) return out;
    // The tracer normalises the feed; the polish evaluates the same one.
    std::array<double, kComponentCount> feed{};
    double sum = 0.0;
    for (int i = 0; i < set.n; ++i) sum += z[i];
    for (int i = 0; i < set.n; ++i) feed[i] = z[i] / sum;
    const Line line{set, feed.data(), settings.beta, physical_part(tracer.points(), settings.beta), solver};
    const bool crossing = request.target == SaturationTarget::temperatures_at_pressure ||
                          request.target == SaturationTarget::pressures_at_temperature;
    if (crossing) {
        add_crossings(line, request, out);
    } else {
        add_extremum(line, request.target, out);
    }
    return out;
}

// The value a point is ordered by: T at a given p, p otherwise.
double free_value(const SaturationRequest& request, const SaturationSolution& s) {
    return request.target == SaturationTarget::temperatures_at_pressure ||
                   request.target == SaturationTarget::cricondentherm
               ? s.point.T
               : s.point.p;
}

// Points that solve the equations but are no points of the phase boundary.
bool spurious(SaturationStatus s) { return s == SaturationStatus::trivial || s == SaturationStatus::metastable; }

// The points of all traced lines: the spurious ones dropped, a point found on
// two lines kept once, by decreasing free value; an extremum only where it
// is the highest value of every line.
std::vector<SaturationSolution> merged_points(const SaturationRequest& request, const std::vector<Traced>& lines) {
    std::vector<SaturationSolution> all;
    double highest = -std::numeric_limits<double>::infinity();
    for (const Traced& t : lines) {
        highest = std::max(highest, t.highest);
        for (const SaturationSolution& s : t.points) {
            if (!spurious(s.status)) all.push_back(s);
        }
    }
    const auto by_value = [&](const SaturationSolution& a, const SaturationSolution& b) {
        return free_value(request, a) > free_value(request, b);
    };
    std::stable_sort(all.begin(), all.end(), by_value);
    std::vector<SaturationSolution> out;
    for (const SaturationSolution& s : all) {
        const bool again = !out.empty() && std::abs(free_value(request, out.back()) - free_value(request, s)) <=
                                               kSamePoint * free_value(request, s);
        if (again) {
            if (s.residual < out.back().residual) out.back() = s;
            continue;
        }
        out.push_back(s);
    }
    const bool extremum = request.target == SaturationTarget::cricondentherm ||
                          request.target == SaturationTarget::cricondenbar;
    if (extremum && !out.empty()) {
        if (free_value(request, out.front()) < highest * (1.0 - kSamePoint)) return {};
        out.resize(1);
    }
    return out;
}

}  // namespace

SaturationOutcome saturation_points(EnvelopeTracer& tracer, const model::ActiveSet& set, const double* z,
                                    const SaturationRequest& request) {
    if (set.n < 2) return {SaturationStatus::pure_fluid, {}};
    const auto solver = std::make_unique<equilibrium::EquilibriumSolver>();
    std::vector<Traced> lines{on_line(tracer, *solver, set, z, request, tabulated(request))};
    const double beta = request.settings.beta;
    if (beta == 0.0 || beta == 1.0) {
        // The dew and bubble lines are the two halves of one phase boundary;
        // each is traced from its own start at low pressure, and a trace can
        // end early, lose the line or leave the window before it reaches the
        // other half: the points are those of both traces.
        TraceSettings other = tabulated(request);
        other.beta = 1.0 - beta;
        lines.push_back(on_line(tracer, *solver, set, z, request, other));
    }
    SaturationOutcome out;
    bool traced = false, complete = false;
    SaturationStatus dropped = SaturationStatus::no_point;  // of the last spurious point
    for (const Traced& t : lines) {
        traced = traced || t.outcome != EnvelopeOutcome::failed;
        complete = complete || complete_line(t.outcome);
        for (const SaturationSolution& s : t.points) {
            if (spurious(s.status)) dropped = s.status;
        }
    }
    if (!traced) return out;
    out.points = merged_points(request, lines);
    out.status = complete ? SaturationStatus::converged : SaturationStatus::incomplete_line;
    for (const SaturationSolution& s : out.points) {
        if (s.status != SaturationStatus::converged) out.status = s.status;
    }
    if (out.points.empty() && out.status == SaturationStatus::converged) {
        out.status = dropped;
    }
    return out;
}

}  // namespace ngtherm::envelope
