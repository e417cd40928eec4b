// Stability test of one trial phase: minimisation of the modified tangent-plane
// distance tm(W) = 1 + sum W_i (ln W_i + ln phi_i(W) - d_i - 1) over the mole
// numbers W, first by accelerated substitution, then by a restricted-step
// second-order method in alpha_i = 2 sqrt(W_i).
#pragma once

#include "equilibrium/solver_context.hpp"
#include "numerics/ldl.hpp"

namespace ngtherm::equilibrium {

enum class TrialOutcome {
    // The model failed, or kTrialNewtonIterations passed without tm < kTrialSurelyUnstable.
    no_verdict,
    // tm < kUnstableTm when stationary (any step if verdict_only), or < kTrialSurelyUnstable.
    unstable,
    // Max |e_i| or |g_i| under its tolerance and tm >= kUnstableTm, or heading for the feed,
    // or (verdict_only) settled far above kUnstableTm.
    finished,
};

struct TrialResult {
    TrialOutcome outcome = TrialOutcome::no_verdict;
    double tm = 0.0;
    int newton_iterations = 0;  // iterations of the second-order stage
};

// Working storage of the test, kept by the solver object.
struct TrialWork {
    Vector lnW{}, lnW_new{}, e{}, lnW_saved{};
    Vector alpha{}, alpha_new{}, W_new{}, g{}, r{};
    Matrix H{};
    numerics::LdlFactors factors;
    PhaseEvaluation phase;
};

// W: trial phase in mole numbers on entry, the final trial phase on return.
// With verdict_only the test returns as soon as the verdict is certain: tm
// below kUnstableTm in the substitution stage, or settled far above it in
// either stage (the split needs the verdict, not the stationary point). Needs
// ctx.evaluate_feed() first (the feed reference d). `start`, when given, is an
// evaluation of this calculation at W's composition (up to the rounding of its
// normalisation), which the first step takes instead of evaluating again.
TrialResult tpdmin(SolverContext& ctx, TrialWork& work, Vector& W, bool verdict_only,
                   const PhaseEvaluation* start = nullptr);

}  // namespace ngtherm::equilibrium
