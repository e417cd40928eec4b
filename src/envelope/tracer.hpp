// The phase-envelope tracer: follows a line of constant molar vapour fraction
// beta of a mixture in the T-p plane by continuation, from the minimum
// pressure over the critical region until the line leaves the pressure or
// temperature window, and stores the converged points together with the
// special points met on the way (critical point, T and p extrema, crossings
// of tabulation temperatures and pressures), each converged on the equations
// of the line. A line that leaves the window ends on a converged point on the
// limit it leaves through: the minimum pressure it returns to, the maximum
// pressure or the minimum temperature; a start that only finds a small loop
// of the line at low pressure is followed by the main line from above.
//
// Unknowns: ln K_1 .. ln K_n, ln T, ln p (beta fixed), with x_i = z_i /
// (1 - beta + beta K_i) the liquid-like and y_i = K_i x_i the vapour-like
// phase. Each point is solved by Newton's method with the analytic Jacobian
// of the fugacity equations; the next point is predicted by cubic
// extrapolation in the fixed variable.
#pragma once

#include <array>
#include <span>
#include <utility>
#include <vector>

#include "envelope/envelope_equations.hpp"
#include "envelope/special_points.hpp"
#include "envelope/tracer_types.hpp"
#include "equilibrium/tpequil.hpp"
#include "model/mixstate.hpp"
#include "numerics/cubic.hpp"
#include "numerics/lu.hpp"

namespace ngtherm::envelope {

using numerics::Cubic;
using numerics::CubicSet;

class EnvelopeTracer {
public:
    // Traces the line of the active set `set` with feed z (n fractions in
    // active order, normalised here). `set` must outlive the call. Mixtures
    // of at least two components only.
    EnvelopeOutcome trace(const model::ActiveSet& set, const double* z, const TraceSettings& settings);

    // The stored points of the last trace, in order along the line.
    std::span<const TracePoint> points() const { return {points_.data(), static_cast<size_t>(count_)}; }
    int count() const { return count_; }
    // The step and the maximum step when the trace ended.
    double step() const { return step_; }
    double max_step() const { return max_step_; }
    // Model evaluations of the last trace (two per Newton iteration or start-up pass).
    long evaluations() const { return equations_.evaluations(); }

private:
    enum class Convergence { converged, abandoned };

    // A converged point of the line and its sensitivities dX/dS in the
    // fixed variable of the interval being examined.
    struct LinePoint {
        LuVector X{}, sens{};
    };
    // The tracer's state at the current point, kept while special points of
    // the interval behind it are converged.
    struct Anchor {
        LuVector X{};
        double fixed_value = 0.0;
        int iterations = 0;
        EnvelopeEquations::RootState roots;
    };

    // Positions of ln T and ln p among the unknowns, after the n ln K_i.
    int lnT_index() const { return n_; }
    int lnp_index() const { return n_ + 1; }

    EnvelopeOutcome follow(double p_start, double direction);
    bool closes_on_itself(EnvelopeOutcome outcome) const;
    EnvelopeOutcome trace_upper_piece(EnvelopeOutcome loop_outcome);
    bool join_at_corner(int loop);
    bool piece_at(int from, int to, double v, LuVector& X);
    bool converge_corner(int loop, int first, std::array<LuVector, 2>& corner);
    void begin(const model::ActiveSet& set, const double* z, const TraceSettings& settings);
    bool wilson_start(double p);
    bool startup_passes();
    bool newton_step(double& measure);
    bool first_point();
    // iteration_cap 0: the tuning's Newton iterations.
    Convergence converge_point(bool first, int iteration_cap = 0);
    Convergence newton_iteration(bool first, int iteration_cap);
    bool on_trivial_solution() const;
    bool accept_point(EnvelopeOutcome& end);
    void fit_interval();
    bool store_special_points();
    bool store(const LuVector& X, EnvelopePointType type);
    void restore_anchor(const Anchor& anchor);
    // Special points converged on the equations (tracer_refine.cpp).
    bool refine(const Anchor& anchor, const SpecialPoint& sp, double u, LinePoint& P);
    bool solve_at(const Anchor& anchor, double s, LinePoint& out);
    bool solve_from(const Anchor& anchor, const LinePoint& from, double s_from, double s, LinePoint& out, int depth);
    bool converge_at(const Anchor& anchor, double s, LinePoint& out);
    // A crossing of X_k = target, bracketed by s = a and s = b (X_k - target ga and gb there).
    struct Crossing {
        int variable = 0;
        double target = 0.0, a = 0.0, ga = 0.0, b = 0.0, gb = 0.0;
        LinePoint at_a, at_b;  // the converged points at the two ends
    };
    // The converged extremum of ln T or ln p in the interval, if any.
    struct Extremum {
        bool found = false;
        double s = 0.0;
        LinePoint P;
    };
    using Found = std::pair<LuVector, EnvelopePointType>;
    bool refine_crossing(const Anchor& anchor, const Crossing& c, LinePoint& out);
    void add_crossings(const Anchor& anchor, double u, int variable, const Extremum& e, std::vector<Found>& found);
    bool refine_extremum(const Anchor& anchor, const SpecialPoint& sp, double u, LinePoint& out);
    bool refine_critical(const Anchor& anchor, const SpecialPoint& sp, double u, LuVector& X);
    bool pin(const Anchor& anchor, int variable, double value, LuVector& X);
    void label_extrema();
    void mark_metastable_crossings();
    void choose_fixed_variable();
    void adapt_step();
    void predict();
    void apply_critical_rule();
    bool left_window() const;
    // A limit of the window that a line ends on: T or p, its bound, and
    // whether the window lies below it.
    struct Limit {
        int var = -1;
        double bound = 0.0;
        bool upper = false;
    };
    Limit limit_crossed() const;
    bool heads_for(const Limit& limit) const;
    bool land_on(const Limit& limit);
    bool next_point(EnvelopeOutcome& end);

    const model::ActiveSet* set_ = nullptr;
    TraceSettings settings_;
    int n_ = 0;  // components
    int m_ = 0;  // iterated unknowns, n + 2
    model::Vector z_{};
    EnvelopeEquations equations_;

    LuVector X_{};          // current iterate, then the converged point
    LuVector F_{};          // residuals at X_
    LuVector sens_{};       // dX/dS of the converged point
    LuVector base_{};       // the last stored converged point
    LuVector base_sens_{};  // its sensitivities, in the current fixed variable
    LuSystem lu_;
    CubicSet cubic_;  // the interval behind the last point, extrapolated beyond it
    int fixed_ = 0;             // index of the fixed variable
    double fixed_value_ = 0.0;  // its specified value
    double step_ = 0.0, max_step_ = 0.0;
    int iterations_ = 0;  // Newton iterations of the last point
    Limit landed_;  // the limit the last point has been converged on (var -1: none)
    bool folded_ = false;  // the line has folded where a density root ends
    bool left_boundary_ = false;  // the line has run past a corner of the boundary
    std::vector<TracePoint> points_;
    int count_ = 0;
    int piece_start_ = 0;  // the first point of the piece being traced
    equilibrium::EquilibriumSolver solver_;  // the feed's own split at the caller's crossings
};

}  // namespace ngtherm::envelope
