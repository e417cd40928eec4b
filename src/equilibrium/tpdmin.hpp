// Stability test of one trial phase: minimisation of the modified tangent-plane
// distance tm(W) = 1 + sum W_i (ln W_i + ln phi_i(W) - d_i - 1) over the mole
// numbers W, first by accelerated substitution, then by a restricted-step
// second-order method in alpha_i = 2 sqrt(W_i).
#pragma once

#include "equilibrium/solver_context.hpp"

namespace ngtherm::equilibrium {

// Outcome flags of the test.
inline constexpr int kTrialNoVerdict = 0;
inline constexpr int kTrialUnstable = 1;  // a point with negative tm was found
inline constexpr int kTrialFinished = 2;  // converged, or heading for the feed

struct TrialResult {
    bool unstable = false;
    int outcome = kTrialNoVerdict;
    double tm = 0.0;
    int newton_iterations = 0;  // iterations of the second-order stage
};

// Working storage of the test, kept by the solver object.
struct TrialWork {
    Vector lnW{}, lnW_new{}, e{}, lnW_saved{};
    Vector alpha{}, alpha_new{}, W_new{}, g{}, r{};
    Matrix H{};
    PhaseEvaluation phase;
};

// W: trial phase in mole numbers on entry, the final trial phase on return.
// With stop_when_unstable the substitution stage returns as soon as tm < -1e-7
// (the split only needs to know that the feed is unstable). Needs
// ctx.evaluate_feed() first (the feed reference d).
TrialResult tpdmin(SolverContext& ctx, TrialWork& work, Vector& W, bool stop_when_unstable);

}  // namespace ngtherm::equilibrium
