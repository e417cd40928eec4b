// One point of the envelope: the Wilson start with its start-up passes, and
// the Newton iteration of every point.
#include <algorithm>
#include <cmath>

#include "envelope/tracer.hpp"

namespace ngtherm::envelope {
namespace {

// Temperature the Wilson iteration starts from, K.
constexpr double kWilsonStartT = 300.0;
// The Wilson iteration has converged once a temperature step is at most this, K.
constexpr double kWilsonTolerance = 0.05;
// Largest Wilson temperature step as a fraction of T.
constexpr double kWilsonMaxRelativeStep = 0.2;
// Wilson iterations before the start counts as failed.
constexpr int kWilsonIterationCap = 200;
// Successive-substitution passes that refine the Wilson start.
constexpr int kStartupPasses = 6;
// Largest change of ln T in one start-up pass.
constexpr double kStartupMaxLnTStep = 0.1;
// A point has converged when sqrt(sum F^2 sum dX^2) is at most this.
constexpr double kConvergedMeasure = 1e-12;
// The first point fails once its measure exceeds this.
constexpr double kFirstPointMaxMeasure = 10.0;
// Attempts at the first point, each after a further round of start-up passes.
constexpr int kFirstPointAttempts = 4;
// A later point's first measure must be below this to count as decreasing.
constexpr double kFirstMeasureReference = 1.0;
// A converged point whose largest |ln K_i| is below this has its two phases
// alike: Newton's method has fallen onto the trivial solution, which holds
// at every T and p, and not onto the line (whose points stay well away from
// ln K = 0: the critical region is crossed by a jump and the critical point
// interpolated from points at |ln K| of 1e-2 and more).
constexpr double kTrivialLnK = 1e-3;

struct WilsonSums {
    double S0 = 0.0, S1 = 0.0, S2 = 0.0;
};

}  // namespace

// Newton iteration on T for sum y = sum x with Wilson K-values at pressure p.
bool EnvelopeTracer::wilson_start(double p) {
    const double beta = settings_.beta;
    double T = kWilsonStartT;
    bool converged = false;
    for (int it = 0; it < kWilsonIterationCap && !converged; ++it) {
        WilsonSums w;
        for (int i = 0; i < n_; ++i) {
            const double K = std::exp(model::wilson_lnK(*set_, i, T, p));
            const double dKdT = K * model::kWilsonFactor * (1.0 + set_->wilson_omega[i]) *
                                set_->wilson_Tc[i] / (T * T);
            const double d = 1.0 - beta + beta * K;
            w.S0 += z_[i] / d;
            w.S1 += K * z_[i] / d;
            w.S2 += z_[i] * dKdT / (d * d);
        }
        double dT = -std::log(w.S1 / w.S0) / (w.S2 * (beta / w.S0 + (1.0 - beta) / w.S1));
        if (!std::isfinite(dT)) return false;
        const double limit = kWilsonMaxRelativeStep * T;
        if (std::abs(dT) > limit) dT = std::copysign(limit, dT);
        T += dT;
        converged = std::abs(dT) <= kWilsonTolerance;
    }
    if (!converged) return false;
    for (int i = 0; i < n_; ++i) X_[i] = model::wilson_lnK(*set_, i, T, p);
    X_[lnT_index()] = std::log(T);
    X_[lnp_index()] = std::log(p);
    return true;
}

bool EnvelopeTracer::startup_passes() {
    for (int pass = 0; pass < kStartupPasses; ++pass) {
        if (!equations_.startup_pass(X_, kStartupMaxLnTStep)) return false;
    }
    return true;
}

bool EnvelopeTracer::newton_step(double& measure) {
    return equations_.newton_step(X_, fixed_, fixed_value_, F_, lu_, measure);
}

// The first point, at the minimum pressure. Where Newton's method does not
// converge from the start-up passes (it may wander far from a start a few
// tenths of a kelvin off), more passes bring the estimate closer and Newton's
// method gets more iterations before the trace is given up.
bool EnvelopeTracer::first_point() {
    fixed_ = lnp_index();
    for (int attempt = 1; attempt <= kFirstPointAttempts; ++attempt) {
        if (!startup_passes()) return false;
        const LuVector estimate = X_;
        fixed_value_ = X_[fixed_];
        const int cap = attempt * settings_.tuning.max_newton_iterations;
        if (converge_point(true, cap) == Convergence::converged) return true;
        X_ = estimate;
    }
    return false;
}

EnvelopeTracer::Convergence EnvelopeTracer::converge_point(bool first, int iteration_cap) {
    // A failed attempt may have found the other root of a phase (beyond its
    // spinodal, say); its flags must not steer the retry with a smaller step.
    const EnvelopeEquations::RootState roots = equations_.root_state();
    equations_.update_root_preferences();
    Convergence result =
        newton_iteration(first, iteration_cap > 0 ? iteration_cap : settings_.tuning.max_newton_iterations);
    if (result == Convergence::converged && on_trivial_solution()) result = Convergence::abandoned;
    if (result == Convergence::abandoned) equations_.restore(roots);
    return result;
}

bool EnvelopeTracer::on_trivial_solution() const {
    for (int i = 0; i < n_; ++i) {
        if (std::abs(X_[i]) >= kTrivialLnK) return false;
    }
    return true;
}

EnvelopeTracer::Convergence EnvelopeTracer::newton_iteration(bool first, int iteration_cap) {
    double previous = kFirstMeasureReference;
    for (int it = 1; it <= iteration_cap; ++it) {
        iterations_ = it;
        double measure = 0.0;
        if (!newton_step(measure)) return Convergence::abandoned;
        const bool diverging = first ? measure > kFirstPointMaxMeasure
                                     : measure >= settings_.tuning.abandon_measure || measure >= previous;
        if (diverging) return Convergence::abandoned;
        if (measure <= kConvergedMeasure) return Convergence::converged;
        previous = measure;
    }
    return Convergence::abandoned;
}

}  // namespace ngtherm::envelope
