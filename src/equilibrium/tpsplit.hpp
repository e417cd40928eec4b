// Stability analysis and two-phase split of a feed at given T and p: a Wilson
// start, successive substitution on the K-factors, a tangent-plane test of a
// vapour-like and a liquid-like trial phase, then of trial phases from pure
// components that can form a phase of their own (an aqueous phase, a phase rich
// in a light gas), accelerated substitution once a split is known, and a
// second-order split where substitution stalls.
#pragma once

#include "equilibrium/solver_context.hpp"
#include "equilibrium/split_newton.hpp"
#include "equilibrium/tpdmin.hpp"

namespace ngtherm::equilibrium {

// Working storage of the split, kept by the solver object.
struct SplitWork {
    Vector wilson_lnK{}, lnK{}, lnK_new{}, lnK_saved{}, delta{};
    Vector x{}, y{};  // phase compositions of the last substitution step
    Vector probed_x{}, probed_y{};  // the phases the last probing step evaluated
    bool probed = false;            // a probing step was taken in this calculation
    // The vapour-like phase of the first step, at the Wilson K-factors, where
    // that step ended with beta inside (0, 1), and its evaluation (ln phi).
    Vector wilson_y{};
    PhaseEvaluation wilson_vapour;
    Vector W{};       // trial phase of the stability test
    PhaseEvaluation liquid, vapour;
    TrialWork trial;
    SplitNewtonWork newton;
};

struct SplitResult {
    SplitStatus status = SplitStatus::ok;
    bool two_phase = false;
    double beta = 0.0;        // vapour-like fraction
    Vector x{}, y{};          // liquid-like and vapour-like compositions
    double Z_feed = 0.0, Z1 = 0.0, Z2 = 0.0;
    model::Side feed_side = model::Side::liquid_like;  // side of the feed's own evaluation
    // Diagnostics.
    int substitution_steps = 0;
    int newton_iterations = 0;
    bool stability_tested = false;
};

// Wilson estimate of ln K_i for every active component at (T, p).
void wilson_start(const SolverContext& ctx, Vector& lnK);

// Decides the phases of the feed prepared in ctx (n >= 2). The feed's record
// and ln phi stay in ctx.feed().
SplitResult tpsplit(SolverContext& ctx, SplitWork& work);

}  // namespace ngtherm::equilibrium
