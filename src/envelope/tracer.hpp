// The phase-envelope tracer: follows a line of constant molar vapour fraction
// beta of a mixture in the T-p plane by continuation, from the minimum
// pressure over the critical region until the line leaves the pressure or
// temperature window, and stores the converged points together with the
// special points met on the way (critical point, T and p extrema, crossings
// of tabulation temperatures and pressures).
//
// Unknowns: ln K_1 .. ln K_n, ln T, ln p (beta fixed), with x_i = z_i /
// (1 - beta + beta K_i) the liquid-like and y_i = K_i x_i the vapour-like
// phase. Each point is solved by Newton's method with the analytic Jacobian
// of the fugacity equations; the next point is predicted by cubic
// extrapolation in the fixed variable.
#pragma once

#include <span>
#include <vector>

#include "envelope/envelope_equations.hpp"
#include "envelope/tracer_types.hpp"
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

    // Positions of ln T and ln p among the unknowns, after the n ln K_i.
    int lnT_index() const { return n_; }
    int lnp_index() const { return n_ + 1; }

    void begin(const model::ActiveSet& set, const double* z, const TraceSettings& settings);
    bool wilson_start();
    bool startup_passes();
    bool newton_step(double& measure);
    Convergence converge_point(bool first);
    Convergence newton_iteration(bool first);
    bool accept_point(EnvelopeOutcome& end);
    void fit_interval();
    bool store_special_points();
    bool store(const LuVector& X, EnvelopePointType type);
    void choose_fixed_variable();
    void adapt_step();
    void predict();
    void apply_critical_rule();
    bool left_window() const;
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
    std::vector<TracePoint> points_;
    int count_ = 0;
};

}  // namespace ngtherm::envelope
