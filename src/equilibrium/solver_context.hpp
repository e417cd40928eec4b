// The problem of one equilibrium calculation (active set, T, p, feed and feed
// reference) and the one door through which the solver evaluates the model.
#pragma once

#include "model/mixstate.hpp"

namespace ngtherm::equilibrium {

using model::FugacitySet;
using model::Matrix;
using model::MixRequest;
using model::MixResult;
using model::ResidualProperties;
using model::RootPreference;
using model::Vector;

// Requests of the model evaluations made by the solver.
// ln phi, caloric and volumetric derivatives
inline constexpr MixRequest kFeedRequest{model::Fugacity::ln_phi, model::TpDerivatives::second};
// ln phi only
inline constexpr MixRequest kLnPhiRequest{model::Fugacity::ln_phi, model::TpDerivatives::none};
// ln phi and n d ln phi_i / d n_j
inline constexpr MixRequest kMatrixRequest{model::Fugacity::ln_phi_and_matrix,
                                           model::TpDerivatives::none};

// One evaluated phase: its fugacity set, record and density-search result.
struct PhaseEvaluation {
    FugacitySet fug;
    ResidualProperties rec;
    MixResult res;
};

class SolverContext {
public:
    // Starts a calculation at (T, p) for the feed z (n fractions summing to 1):
    // prepares the feed composition once for the whole call.
    void begin(const model::ActiveSet& set, double T, double p, const double* z);

    // Evaluates the feed with the stable root and full derivatives and forms
    // the feed reference d_i = ln z_i + ln phi_i(z).
    const PhaseEvaluation& evaluate_feed();

    // Evaluates composition x (need not sum to 1). An evaluation of the feed
    // composition itself with the stable root reuses the feed's result.
    // Returns false when the model found no density or gave a non-finite ln phi.
    bool evaluate(const double* x, RootPreference root, MixRequest request, PhaseEvaluation& out);

    const model::ActiveSet& set() const { return *set_; }
    int n() const { return n_; }
    double T() const { return T_; }
    double p() const { return p_; }
    const Vector& z() const { return z_; }
    const Vector& d() const { return d_; }
    const PhaseEvaluation& feed() const { return feed_; }
    PhaseEvaluation& feed() { return feed_; }

    // Model evaluations since construction (a reused feed result counts none).
    long evaluations() const { return evaluations_; }
    // Set when the feed evaluation found no density or a non-finite ln phi.
    bool feed_failed() const { return feed_failed_; }

private:
    const model::ActiveSet* set_ = nullptr;
    int n_ = 0;
    double T_ = 0.0, p_ = 0.0;
    Vector z_{}, d_{};
    model::CompositionState feed_comp_;
    model::CompositionState trial_comp_;
    PhaseEvaluation feed_;
    bool feed_evaluated_ = false;
    bool feed_failed_ = false;
    long evaluations_ = 0;
};

}  // namespace ngtherm::equilibrium
