// The continuation loop of the envelope tracer: accept a converged point,
// choose the next fixed variable and step, predict, and retry with smaller
// steps when a point does not converge.
#include "envelope/tracer.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

#include "envelope/special_points.hpp"

namespace ngtherm::envelope {
namespace {

// Maximum step = 1 + kMaxStepPerLnK * (largest |ln K_i| of the point).
constexpr double kMaxStepPerLnK = 0.15;
// ln T and ln p steps are limited to the maximum step divided by this.
constexpr double kTpStepDivisor = 2.5;
// Weight of ln T and ln p against ln K in the choice of the fixed variable.
constexpr double kTpFixedVariableWeight = 2.0;
// Step factors after a point that took 1, 2, 3, 4 and 5 or more Newton iterations.
constexpr std::array<double, 5> kStepFactors{2.0, 1.5, 1.2, 1.0, 0.5};
// A failed point halves the step; the trace ends once the step is below
// this fraction of the maximum step.
constexpr double kStepReduction = 0.5;
constexpr double kSmallestStepFraction = 1e-4;
// Halvings per point; the smallest-step test ends the trace long before.
constexpr int kMaxStepReductions = 64;
// The critical-region rule approaches ln K = 0 by this factor at a time.
constexpr double kCriticalApproach = 3.0;
// Start pressures of the main line above a loop, as multiples of the loop's
// highest pressure, in the order tried (a piece that ends at a corner may
// reach so high that four times its top lies above the dew points a start
// finds).
constexpr std::array<double, 4> kUpperStartFactors{4.0, 2.0, 16.0, 64.0};
// Roundings of ln p_max or ln T_min towards the inside of the window.
constexpr int kInwardRoundings = 4;
// The line has returned below the minimum pressure by more than this, MPa.
constexpr double kBelowMinPressure = 1e-4;
// A temperature and a pressure extremum this close (relative to the length of
// their interval) are one fold of the line: there the density root of the
// incipient phase ends (its spinodal), and what follows is no saturation line.
constexpr double kFoldTolerance = 1e-6;
// Regula falsi steps for the corner where a piece below it meets the main
// line, and the difference of their ln T there.
constexpr int kCornerIterations = 40;
constexpr double kCornerTolerance = 1e-12;
// The feed's split at a crossing differs from the line's vapour fraction by
// more than this (far beyond the rounding of the point): it splits otherwise.
constexpr double kOtherSplit = 1e-4;

}  // namespace

void EnvelopeTracer::begin(const model::ActiveSet& set, const double* z,
                           const TraceSettings& settings) {
    set_ = &set;
    settings_ = settings;
    settings_.temperatures.count = std::clamp(settings_.temperatures.count, 0, kMaxTabulation);
    settings_.pressures.count = std::clamp(settings_.pressures.count, 0, kMaxTabulation);
    n_ = set.n;
    m_ = n_ + 2;
    double sum = 0.0;
    for (int i = 0; i < n_; ++i) sum += z[i];
    for (int i = 0; i < n_; ++i) z_[i] = z[i] / sum;
    equations_.reset(set, z_.data(), settings_.beta);
    if (static_cast<int>(points_.size()) < settings_.point_limit) points_.resize(settings_.point_limit);
    count_ = 0;
    piece_start_ = 0;
}

EnvelopeOutcome EnvelopeTracer::trace(const model::ActiveSet& set, const double* z,
                                   const TraceSettings& settings) {
    begin(set, z, settings);
    if (n_ < 2) return EnvelopeOutcome::failed;
    EnvelopeOutcome outcome = follow(settings_.p_min, 1.0);
    if (closes_on_itself(outcome)) outcome = trace_upper_piece(outcome);
    label_extrema();
    mark_metastable_crossings();
    return outcome;
}

// One piece of the line from a first point at p_start, stored after the
// points already there; direction -1 starts downwards in pressure.
EnvelopeOutcome EnvelopeTracer::follow(double p_start, double direction) {
    piece_start_ = count_;
    iterations_ = 0;
    landed_ = {};
    folded_ = false;
    left_boundary_ = false;
    step_ = direction * settings_.initial_step;
    max_step_ = std::min(1.0, settings_.tuning.max_step_cap);
    equations_.restore({});  // root preferences: liquid for x, vapour for y
    if (!wilson_start(p_start) || !first_point()) return EnvelopeOutcome::failed;
    // Every cycle stores at least one point, so the point limit ends the loop.
    for (int cycle = 0; cycle <= settings_.point_limit; ++cycle) {
        EnvelopeOutcome end{};
        if (accept_point(end)) return end;
        if (next_point(end)) return end;
    }
    return EnvelopeOutcome::point_limit;
}

// A line that returns to the minimum pressure without a critical point has
// closed on itself: at its start it met a small loop of the dew line, while
// the main line lies at higher pressures. So has a line that runs past a
// corner of the boundary before its critical point: the main line goes on
// from the corner with another incipient phase.
bool EnvelopeTracer::closes_on_itself(EnvelopeOutcome outcome) const {
    const bool ended = outcome == EnvelopeOutcome::left_window || outcome == EnvelopeOutcome::folded;
    if (!ended || count_ == 0) return false;
    if (!folded_ && !left_boundary_ && (landed_.var != lnp_index() || landed_.upper)) return false;
    for (int k = 0; k < count_; ++k) {
        if (points_[k].type == EnvelopePointType::critical) return false;
    }
    return true;
}

// The main line from a converged saturation point above the loop: first down
// to the minimum pressure (stored reversed), then up over the critical region
// and back. It replaces the loop when it is found; a piece that ended at a
// corner is joined to it there instead.
EnvelopeOutcome EnvelopeTracer::trace_upper_piece(EnvelopeOutcome loop_outcome) {
    const int loop = count_;
    const bool corner = left_boundary_;
    double loop_top = 0.0;
    for (int k = 0; k < loop; ++k) loop_top = std::max(loop_top, points_[k].p);
    for (const double factor : kUpperStartFactors) {
        const double p_start = factor * loop_top;
        if (p_start >= settings_.p_max) break;
        count_ = loop;
        if (follow(p_start, -1.0) == EnvelopeOutcome::failed) continue;
        std::reverse(points_.begin() + loop, points_.begin() + count_);
        --count_;  // the start point comes again as the first point of the way up
        const EnvelopeOutcome outcome = follow(p_start, 1.0);
        if (outcome == EnvelopeOutcome::failed) continue;
        if (corner && join_at_corner(loop)) return count_ < settings_.point_limit ? outcome : EnvelopeOutcome::point_limit;
        std::move(points_.begin() + loop, points_.begin() + count_, points_.begin());
        count_ -= loop;
        return outcome;
    }
    count_ = loop;
    return loop_outcome;
}

// Joins the piece below a corner (points before `loop`) to the main line
// after it, which runs on below the corner as a metastable continuation of
// its own: at each pressure the boundary is the hotter of the two, so the
// lower piece is kept up to the corner, where the two have one temperature,
// and the main line from there. The corner is a three-phase point: the feed
// with both incipient phases; it is stored once for each. False when the
// pieces do not cross.
bool EnvelopeTracer::join_at_corner(int loop) {
    const auto lower_T = [&](double p) {  // the lower piece at p, by ln p; NaN above it
        for (int k = 1; k < loop; ++k) {
            const TracePoint &a = points_[k - 1], &b = points_[k];
            if ((a.p - p) * (b.p - p) > 0.0) continue;
            const double w = std::log(p / a.p) / std::log(b.p / a.p);
            return a.T + w * (b.T - a.T);
        }
        return std::numeric_limits<double>::quiet_NaN();
    };
    double lower_top = 0.0;
    for (int k = 0; k < loop; ++k) lower_top = std::max(lower_top, points_[k].p);
    int first = loop;
    while (first < count_ && points_[first].p <= lower_top && !(points_[first].T > lower_T(points_[first].p))) ++first;
    if (first == loop || first == count_) return false;
    std::array<LuVector, 2> corner{};  // on the lower piece, on the main line
    const bool converged = converge_corner(loop, first, corner);
    const double p_cut = converged ? std::exp(corner[0][lnp_index()]) : points_[first - 1].p;
    int kept = 0;
    while (kept < loop && points_[kept].p < p_cut) ++kept;
    const std::vector<TracePoint> upper(points_.begin() + first, points_.begin() + count_);
    count_ = kept;
    // A full store ends the line here (the caller reports the point limit).
    if (converged && !(store(corner[0], EnvelopePointType::ordinary) && store(corner[1], EnvelopePointType::ordinary))) {
        return true;
    }
    for (std::size_t k = 0; k < upper.size() && count_ < settings_.point_limit; ++k) points_[count_++] = upper[k];
    return true;
}

// The point of the stored piece [from, to) at ln p = v, converged from the
// interpolation between its points around v, or from the extrapolation of
// its two highest points (a piece below a corner may end just short of it).
bool EnvelopeTracer::piece_at(int from, int to, double v, LuVector& X) {
    int segment = -1, top = -1;
    for (int k = from + 1; k < to; ++k) {
        if (top < 0 || points_[k].p > points_[top].p) top = k;
        if ((std::log(points_[k - 1].p) - v) * (std::log(points_[k].p) - v) <= 0.0) {
            segment = k;
            break;
        }
    }
    if (segment < 0 && top >= 0 && v > std::log(points_[top].p)) segment = top;
    if (segment < 0) return false;
    const TracePoint &a = points_[segment - 1], &b = points_[segment];
    const double la = std::log(a.p), lb = std::log(b.p);
    if (la == lb) return false;
    const double w = (v - la) / (lb - la);
    for (int i = 0; i < n_; ++i) X[i] = a.lnK[i] + w * (b.lnK[i] - a.lnK[i]);
    X[lnT_index()] = std::log(a.T) + w * (std::log(b.T) - std::log(a.T));
    X[lnp_index()] = v;
    return pin(Anchor{X, v, 0, {}}, lnp_index(), v, X);
}

// The corner between the main line's points first - 1 (colder than the lower
// piece) and first (hotter, or above it): regula falsi (Illinois) in ln p on
// the difference of ln T of the two pieces, each a converged point.
bool EnvelopeTracer::converge_corner(int loop, int first, std::array<LuVector, 2>& corner) {
    const auto difference = [&](double v, double& g) {
        if (!piece_at(0, loop, v, corner[0]) || !piece_at(loop, count_, v, corner[1])) return false;
        g = corner[1][lnT_index()] - corner[0][lnT_index()];
        return true;
    };
    double a = std::log(points_[first - 1].p), b = std::log(points_[first].p), ga = 0.0, gb = 0.0;
    if (!difference(a, ga) || !difference(b, gb) || (ga < 0.0) == (gb < 0.0)) return false;
    int side = 0;  // the end moved last: -1 a, +1 b
    for (int it = 0; it < kCornerIterations; ++it) {
        const double v = b - gb * (b - a) / (gb - ga);
        double g = 0.0;
        if (!difference(v, g)) return false;
        if (std::abs(g) <= kCornerTolerance) return true;
        if ((g < 0.0) == (ga < 0.0)) {
            a = v;
            ga = g;
            if (side == -1) gb *= 0.5;
            side = -1;
        } else {
            b = v;
            gb = g;
            if (side == 1) ga *= 0.5;
            side = 1;
        }
    }
    return false;
}

// A crossing of the caller's temperature or pressure is a point of the
// boundary between one and two phases only where the feed itself is one
// phase (on a dew or bubble line) or splits with the line's vapour fraction.
// Where it splits otherwise, as into two liquids on the bubble side of some
// sour and CO2-rich gases, the crossing is a saturation point of a metastable
// feed. A failed split gives no verdict.
void EnvelopeTracer::mark_metastable_crossings() {
    const double beta = settings_.beta;
    for (int k = 0; k < count_; ++k) {
        TracePoint& point = points_[k];
        point.metastable = false;
        if (point.type != EnvelopePointType::caller_temperature && point.type != EnvelopePointType::caller_pressure) {
            continue;
        }
        const equilibrium::EquilibriumResult& r = equilibrium::tpequil(solver_, *set_, point.T, point.p, z_.data(),
                                                                           equilibrium::Detail::volumetric);
        if (r.error != equilibrium::EquilibriumError::none) continue;
        point.metastable = beta == 0.0 || beta == 1.0 ? std::min(r.beta, r.one_minus_beta) > kOtherSplit
                                                      : std::abs(r.beta - beta) > kOtherSplit;
    }
}

// Everything after a point has converged; true when the trace ends here.
bool EnvelopeTracer::accept_point(EnvelopeOutcome& end) {
    if (count_ > piece_start_ && !equations_.feed_on_stable_root(X_)) {
        left_boundary_ = true;  // past a corner: nothing of this interval is stored
        end = EnvelopeOutcome::left_window;
        return true;
    }
    sens_ = LuVector{};
    sens_[m_ - 1] = 1.0;
    lu_solve(lu_, sens_);
    fit_interval();
    if (count_ > piece_start_ && !store_special_points()) {
        end = EnvelopeOutcome::point_limit;
        return true;
    }
    if (folded_) {  // the line ends on the last point before the fold
        end = EnvelopeOutcome::folded;
        return true;
    }
    double largest_lnK = 0.0;
    for (int i = 0; i < n_; ++i) largest_lnK = std::max(largest_lnK, std::abs(X_[i]));
    max_step_ = std::min(1.0 + kMaxStepPerLnK * largest_lnK, settings_.tuning.max_step_cap);
    choose_fixed_variable();
    adapt_step();
    if (!store(X_, EnvelopePointType::ordinary)) {
        end = EnvelopeOutcome::point_limit;
        return true;
    }
    base_ = X_;
    base_sens_ = sens_;
    predict();
    apply_critical_rule();
    if (const Limit limit = limit_crossed(); limit.var >= 0) {
        // A line already on (or past) the limit does not land on it again backwards.
        if (landed_.var >= 0 || !heads_for(limit)) {
            end = EnvelopeOutcome::left_window;
            return true;
        }
        if (land_on(limit)) return accept_point(end);
        // Too far to land at once: go on with shorter steps towards the limit.
        for (int h = 0; h < kMaxStepReductions && limit_crossed().var >= 0; ++h) {
            step_ *= kStepReduction;
            predict();
        }
        if (limit_crossed().var < 0) return false;
        end = EnvelopeOutcome::left_window;
        return true;
    }
    landed_ = {};  // a line that came in through a limit goes on
    if (!left_window()) return false;
    end = EnvelopeOutcome::left_window;
    return true;
}

// The limit the prediction lies beyond and that the line ends on: the maximum
// pressure, the minimum temperature or the minimum pressure (a returning
// line, or a piece traced downwards from above a loop). var is -1 when there
// is none.
EnvelopeTracer::Limit EnvelopeTracer::limit_crossed() const {
    const double p = std::exp(X_[lnp_index()]);
    if (p > settings_.p_max) return {lnp_index(), settings_.p_max, true};
    if (std::exp(X_[lnT_index()]) < settings_.T_min) return {lnT_index(), settings_.T_min, false};
    if (p < settings_.p_min) return {lnp_index(), settings_.p_min, false};
    return {};
}

// The prediction moves from the last stored point towards the limit (a
// line that starts outside the window comes in through it).
bool EnvelopeTracer::heads_for(const Limit& limit) const {
    const double from = base_[limit.var];
    return (std::log(limit.bound) - from) * (X_[limit.var] - from) > 0.0;
}

// Converges the point of the line on the limit it is about to cross, with
// ln p (or ln T) as the fixed variable from the tangent at the last point,
// so that the trace ends on a converged point on the limit.
bool EnvelopeTracer::land_on(const Limit& limit) {
    const int var = limit.var;
    double value = std::log(limit.bound);
    // The stored exp(value) must lie inside the window, not a rounding outside it.
    const double inward = (limit.upper ? -1.0 : 1.0) * std::numeric_limits<double>::infinity();
    for (int k = 0; k < kInwardRoundings; ++k) {
        const double bound = std::exp(value);
        if (limit.upper ? bound <= limit.bound : bound >= limit.bound) break;
        value = std::nextafter(value, inward);
    }
    const double c = base_sens_[var];
    if (!(std::abs(c) > 0.0)) return false;
    const LuVector saved_sens = base_sens_;
    const int saved_fixed = fixed_;
    for (int k = 0; k < m_; ++k) {
        base_sens_[k] /= c;
        X_[k] = base_[k] + (value - base_[var]) * base_sens_[k];
    }
    fixed_ = var;
    fixed_value_ = value;
    const double saved_step = step_;
    step_ = value - base_[var];  // the step taken, in the new fixed variable: it keeps the direction
    if (converge_point(false) == Convergence::converged) {
        landed_ = limit;
        return true;
    }
    base_sens_ = saved_sens;
    fixed_ = saved_fixed;
    step_ = saved_step;
    predict();
    return false;
}

void EnvelopeTracer::fit_interval() {
    if (count_ == piece_start_) {
        for (int k = 0; k < m_; ++k) cubic_.set(k, Cubic::line(X_[k], sens_[k]));
        return;
    }
    const double u = base_[fixed_] - X_[fixed_];
    for (int k = 0; k < m_; ++k) cubic_.set(k, Cubic::hermite(base_[k], base_sens_[k], u, X_[k], sens_[k]));
}

// The special points of the interval behind the current point, each
// converged on the equations: the extrema and the critical point from their
// estimates on the cubics, then the crossings on each side of the extrema. An
// extremum without a converged point (an artefact of the cubics) is dropped;
// the critical point then keeps its estimate. A temperature and a pressure
// extremum at one point are a fold: the interval is not stored.
bool EnvelopeTracer::store_special_points() {
    SpecialPointList list;
    const double u = base_[fixed_] - X_[fixed_];
    find_special_points({cubic_, n_, u}, settings_.temperatures, settings_.pressures, list);
    const Anchor anchor{X_, fixed_value_, iterations_, equations_.root_state()};
    std::vector<Found> found;
    std::array<Extremum, 2> extremum{};  // of ln T, of ln p
    for (int k = 0; k < list.size; ++k) {
        const SpecialPoint& sp = list.item[k];
        const bool crossing = sp.type == EnvelopePointType::tabulated ||
                              sp.type == EnvelopePointType::caller_temperature ||
                              sp.type == EnvelopePointType::caller_pressure;
        if (crossing || sp.variable < 0) continue;
        LinePoint P;
        if (!refine(anchor, sp, u, P)) {
            if (sp.type != EnvelopePointType::critical) continue;
            for (int j = 0; j < m_; ++j) P.X[j] = cubic_[j].value(sp.s);
        }
        if (sp.type != EnvelopePointType::critical) extremum[sp.variable - n_] = {true, P.X[fixed_] - anchor.X[fixed_], P};
        found.emplace_back(P.X, sp.type);
    }
    if (extremum[0].found && extremum[1].found &&
        std::abs(extremum[0].s - extremum[1].s) <= kFoldTolerance * std::abs(u)) {
        folded_ = true;  // past the end of a root: nothing of this interval is stored
        restore_anchor(anchor);
        return true;
    }
    add_crossings(anchor, u, lnT_index(), extremum[0], found);
    add_crossings(anchor, u, lnp_index(), extremum[1], found);
    restore_anchor(anchor);
    // Along the line: from the previous point towards the current one.
    const double here = anchor.X[fixed_];
    std::stable_sort(found.begin(), found.end(), [&](const Found& a, const Found& b) {
        return std::abs(a.first[fixed_] - here) > std::abs(b.first[fixed_] - here);
    });
    for (const auto& [X, type] : found) {
        if (!store(X, type)) return false;
    }
    return true;
}

void EnvelopeTracer::restore_anchor(const Anchor& anchor) {
    X_ = anchor.X;
    fixed_value_ = anchor.fixed_value;
    iterations_ = anchor.iterations;
    equations_.restore(anchor.roots);
}

// Stores a point from its unknowns; false when the store is full.
bool EnvelopeTracer::store(const LuVector& X, EnvelopePointType type) {
    if (count_ >= settings_.point_limit) return false;
    TracePoint& point = points_[count_++];
    const double beta = settings_.beta;
    point.T = std::exp(X[lnT_index()]);
    point.p = std::exp(X[lnp_index()]);
    point.type = type;
    for (int i = 0; i < n_; ++i) {
        const double K = std::exp(X[i]);
        point.lnK[i] = X[i];
        point.x[i] = z_[i] / (1.0 - beta + beta * K);
        point.y[i] = K * point.x[i];
    }
    return true;
}

// The variable that changes fastest along the line becomes the fixed variable;
// the cubics, sensitivities and step are re-expressed in it.
void EnvelopeTracer::choose_fixed_variable() {
    int best = 0;
    double best_weight = -1.0;
    for (int k = 0; k < m_; ++k) {
        const double weight = (k < n_ ? 1.0 : kTpFixedVariableWeight) * std::abs(sens_[k]);
        if (weight > best_weight) {
            best = k;
            best_weight = weight;
        }
    }
    const double c = sens_[best];
    for (int k = 0; k < m_; ++k) {
        sens_[k] /= c;
        cubic_.set(k, cubic_[k].rescaled(c));
    }
    step_ *= c;
    fixed_ = best;
}

void EnvelopeTracer::adapt_step() {
    const int index = std::clamp(iterations_, 1, static_cast<int>(kStepFactors.size())) - 1;
    step_ *= kStepFactors[index];
    const double scale = fixed_ >= n_ ? kTpStepDivisor : 1.0;
    if (std::abs(step_ * scale) > max_step_) step_ = std::copysign(max_step_, step_) / scale;
}

void EnvelopeTracer::predict() {
    for (int k = 0; k < m_; ++k) X_[k] = cubic_[k].value(step_);
    fixed_value_ = base_[fixed_] + step_;
}

// Near the critical point all ln K approach zero together; a step that would
// land on or close to zero is replaced by one to a third of the current value
// or by a jump to its mirror value across zero.
void EnvelopeTracer::apply_critical_rule() {
    if (fixed_ >= n_) return;
    const double current = base_[fixed_];
    const double predicted = X_[fixed_];
    const bool close_to_zero = std::abs(current) > kCriticalApproach * std::abs(predicted);
    if (current * predicted <= 0.0) {
        step_ = close_to_zero ? current / kCriticalApproach - current : -2.0 * current;
    } else if (close_to_zero) {
        step_ = current / kCriticalApproach - current;
    } else {
        return;
    }
    predict();
}

bool EnvelopeTracer::left_window() const {
    return std::exp(base_[lnp_index()]) < settings_.p_min - kBelowMinPressure ||
           std::exp(X_[lnp_index()]) > settings_.p_max || std::exp(X_[lnT_index()]) < settings_.T_min;
}

// Converges the predicted point, halving the step while it fails; true when
// the trace ends here.
bool EnvelopeTracer::next_point(EnvelopeOutcome& end) {
    for (int reduction = 0; reduction < kMaxStepReductions; ++reduction) {
        if (converge_point(false) == Convergence::converged) return false;
        step_ *= kStepReduction;
        if (std::abs(step_) < kSmallestStepFraction * max_step_) break;
        predict();
    }
    end = EnvelopeOutcome::step_too_small;
    return true;
}

}  // namespace ngtherm::envelope
