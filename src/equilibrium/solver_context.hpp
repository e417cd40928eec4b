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
// ln phi, caloric and volumetric derivatives (none of ln phi: the solver takes no T or p step)
inline constexpr MixRequest kFeedRequest{model::Fugacity::ln_phi, model::TpDerivatives::second, false};
// ln phi only
inline constexpr MixRequest kLnPhiRequest{model::Fugacity::ln_phi, model::TpDerivatives::none};
// ln phi and n d ln phi_i / d n_j
inline constexpr MixRequest kMatrixRequest{model::Fugacity::ln_phi_and_matrix,
                                           model::TpDerivatives::none};
// The caloric and volumetric derivatives alone, of a phase evaluated before
inline constexpr MixRequest kRecordRequest{model::Fugacity::none, model::TpDerivatives::second, false};

// Where the density search of an evaluation starts: from the density of the
// phase's last evaluation (or the feed's) where there is one, or from nothing,
// as for the phases whose properties are reported.
enum class Start { warm, search };

// One evaluated phase: its fugacity set, record and density-search result,
// the calculation it belongs to, and its prepared composition, which an
// evaluation at the same composition in the same calculation (the matrix after
// an accepted step) takes with its density instead of preparing and searching
// again.
struct PhaseEvaluation {
    FugacitySet fug;
    ResidualProperties rec;
    MixResult res;
    long calculation = -1;  // SolverContext::begin's count when evaluated
    model::CompositionState composition;
};

inline constexpr int kModelH2O = 17;  // model number of water

// Whether the model has liquid water at (T, p). Below the triple point the
// liquid branch of the water equation ends: at low pressures near 228 K; at
// 225 K it begins only at 18 MPa, at 200 K at 141 MPa. Past that end the roots
// of the equation at water-rich compositions lie on an artefact of its
// extrapolation (p(rho) rising to thousands of MPa between its loops), and the
// phase the water of a feed would form there (ice, in nature) is outside the
// model: whether and how much of it forms, the model cannot tell.
bool model_has_liquid_water(double T, double p);

// ln phi of pure water at (T, p) on its stable root; NaN where the model finds
// no density.
double pure_water_lnphi(double T, double p);

class SolverContext {
public:
    // Starts a calculation at (T, p) for the feed z (n fractions summing to 1):
    // prepares the feed composition once for the whole call, unless the
    // calculation before had the same feed. The feed is evaluated with
    // `feed_request` (ln phi at least).
    void begin(const model::ActiveSet& set, double T, double p, const double* z,
               MixRequest feed_request = kFeedRequest);

    // Evaluates the feed with the stable root and the feed request and forms
    // the feed reference d_i = ln z_i + ln phi_i(z).
    const PhaseEvaluation& evaluate_feed();

    // Evaluates composition x (need not sum to 1). An evaluation of the feed
    // composition itself with the stable root reuses the feed's result. With
    // Start::warm, where `out` holds an earlier evaluation of this calculation
    // (the same phase of a split, the same trial phase, one step before), its
    // density starts the density search, and the feed's density where it holds
    // none; only ln phi requests take one, so the phases whose properties are
    // reported are found by the search alone.
    // Returns false when the model found no density or gave an ln phi beyond kMaxLnPhi.
    bool evaluate(const double* x, RootPreference root, MixRequest request, PhaseEvaluation& out,
                  Start start = Start::warm);

    // Gives `out` the result of `from`, an evaluation of this calculation at the
    // composition `out` is to be evaluated at, instead of evaluating again.
    void reuse(const PhaseEvaluation& from, PhaseEvaluation& out);

    const model::ActiveSet& set() const { return *set_; }
    int n() const { return n_; }
    double T() const { return T_; }
    double p() const { return p_; }
    const Vector& z() const { return z_; }
    const Vector& sqrt_z() const { return sqrt_z_; }  // sqrt(z_i), for the trials' distances
    const Vector& d() const { return d_; }
    const PhaseEvaluation& feed() const { return feed_; }
    PhaseEvaluation& feed() { return feed_; }

    // Model evaluations since construction (a reused feed result counts none).
    long evaluations() const { return evaluations_; }
    // Set when the feed evaluation found no density or an ln phi beyond kMaxLnPhi.
    bool feed_failed() const { return feed_failed_; }
    // Set when the feed holds water and the model has no liquid water at (T, p).
    bool water_without_liquid() const { return !liquid_water_; }

private:
    const model::ActiveSet* set_ = nullptr;
    int n_ = 0;
    double T_ = 0.0, p_ = 0.0;
    Vector z_{}, sqrt_z_{}, d_{};
    PhaseEvaluation feed_;
    MixRequest feed_request_ = kFeedRequest;
    std::array<int, kComponentCount> feed_ids_{};  // model numbers of the prepared feed composition
    bool feed_prepared_ = false;
    bool feed_evaluated_ = false;
    bool feed_failed_ = false;
    bool liquid_water_ = true;  // the feed holds no water, or the model has liquid water at (T, p)
    long evaluations_ = 0;
    long calculations_ = 0;  // calls of begin
};

}  // namespace ngtherm::equilibrium
