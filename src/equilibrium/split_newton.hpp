// Second-order two-phase split: minimises the Gibbs energy of a liquid-like and
// a vapour-like phase over the vapour mole numbers v (l = z - v) with
// restricted steps in the scaled variables s_i v_i, s_i = sqrt(z_i/(x_i y_i)).
#pragma once

#include "equilibrium/solver_constants.hpp"
#include "equilibrium/solver_context.hpp"

namespace ngtherm::equilibrium {

struct SplitNewtonWork {
    Vector l{}, v{}, l_new{}, v_new{}, scale{}, r{}, g{};
    Matrix H{};
    PhaseEvaluation liquid, vapour;
};

struct SplitNewtonResult {
    SplitStatus status = SplitStatus::not_converged;  // ok or not_converged
    int iterations = 0;  // second-order iterations started
    double Z1 = 0.0, Z2 = 0.0;  // of the last evaluations
    double max_gap = 0.0;       // max |ln f_V - ln f_L| at the last derivatives
};

// beta, x, y: the start on entry (0 < beta < 1), the split on return: the
// last one reached where the iteration did not converge, unchanged where the
// model failed.
SplitNewtonResult split_newton(SolverContext& ctx, SplitNewtonWork& work, double& beta, Vector& x,
                               Vector& y);

}  // namespace ngtherm::equilibrium
