// The equations of one point of a line of constant vapour fraction beta, in
// the unknowns X = (ln K_1 .. ln K_n, ln T, ln p):
//   F_i     = ln K_i + ln phi_i(y) - ln phi_i(x)   (i < n, equal fugacities)
//   F_n     = sum (y_i - x_i)                      (material balance)
//   F_{n+1} = X_fixed - S                          (fixed variable)
// with x_i = z_i / (1 - beta + beta K_i) and y_i = K_i x_i. Both phases are
// evaluated with mixstate; each keeps its own root preference.
#pragma once

#include "model/mixstate.hpp"
#include "numerics/lu.hpp"

namespace ngtherm::envelope {

using numerics::LuSystem;
using numerics::LuVector;

// Model requests: ln phi with T and p derivatives; the same with the
// composition matrix.
inline constexpr model::MixRequest kStartupRequest{model::Fugacity::ln_phi,
                                                  model::TpDerivatives::second};
inline constexpr model::MixRequest kNewtonRequest{model::Fugacity::ln_phi_and_matrix,
                                                 model::TpDerivatives::second};

class EnvelopeEquations {
public:
    // A new line: n fractions z (normalised) of the active set, which must
    // outlive the equations. Root preferences: liquid for x, vapour for y.
    void reset(const model::ActiveSet& set, const double* z, double beta);

    // Turns each phase's root preference towards the side its last
    // evaluation found; called at the start of each point.
    void update_root_preferences();

    // The root preferences of both phases and those their last evaluations
    // point to, so that a point that is abandoned leaves them as the last
    // converged point set them.
    struct RootState {
        model::RootPreference liquid_root = model::RootPreference::liquid;
        model::RootPreference liquid_next = model::RootPreference::liquid;
        model::RootPreference vapour_root = model::RootPreference::vapour;
        model::RootPreference vapour_next = model::RootPreference::vapour;
    };
    RootState root_state() const;
    void restore(const RootState& state);

    // Evaluates both phases at X; false when a phase amount is not positive
    // or the model finds no density.
    bool evaluate(const LuVector& X, model::MixRequest request);

    // After evaluate: the n + 2 residuals.
    void residuals(const LuVector& X, int fixed, double fixed_value, LuVector& F) const;

    // After evaluate with kNewtonRequest: the analytic Jacobian dF/dX.
    void jacobian(const LuVector& X, int fixed, LuSystem& J) const;

    // One Newton step on the equations with X[fixed] = fixed_value, from X:
    // evaluates with kNewtonRequest, leaves the residuals before the step in
    // F and the factored Jacobian in J, and moves X. measure is
    // sqrt(sum F^2 sum dX^2); false when the evaluation, the factorisation or
    // the measure fails.
    bool newton_step(LuVector& X, int fixed, double fixed_value, LuVector& F, LuSystem& J, double& measure);

    // One successive-substitution pass that corrects ln T from the material
    // balance and the ln K from the fugacity equations (evaluates first).
    bool startup_pass(LuVector& X, double max_lnT_step);

    // Whether the feed's phase (y on a dew line, x on a bubble line) lies on
    // its stable density root at X; always true on lines of 0 < beta < 1. A
    // feed on its other root is no point of the phase boundary: the line has
    // run past a corner of the boundary (where another incipient phase takes
    // over) into a metastable continuation.
    bool feed_on_stable_root(const LuVector& X) const;

    long evaluations() const { return evaluations_; }

    // Positions of ln T and ln p among the unknowns, after the n ln K_i.
    int lnT_index() const { return n_; }
    int lnp_index() const { return n_ + 1; }

private:
    struct Phase {
        model::Vector amount{};  // unnormalised composition: z_i/d_i, or K_i z_i/d_i
        double sum = 0.0;
        model::CompositionState comp;
        model::FugacitySet fug;
        model::ResidualProperties rec;
        model::RootPreference root = model::RootPreference::stable;  // of the density search
        model::RootPreference next = model::RootPreference::stable;  // the side last found, as a preference
    };

    const model::ActiveSet* set_ = nullptr;
    int n_ = 0;
    double beta_ = 1.0;
    model::Vector z_{};
    model::Vector d_{};  // 1 - beta + beta K_i
    Phase liquid_, vapour_;
    long evaluations_ = 0;
};

}  // namespace ngtherm::envelope
