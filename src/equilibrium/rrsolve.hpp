// Rachford-Rice solution: the vapour fraction beta and both phase compositions
// of a feed z for given K-factors.
#pragma once

namespace ngtherm::equilibrium {

struct RachfordRiceResult {
    int iterations = 0;  // Newton steps taken (0 for a trivial answer)
    bool converged = true;
};

// n components, feed z, ln K (K = y/x). `beta` is the start value on entry and
// the solution in [0, 1] on return; x and y (n entries each) receive the phase
// compositions. When sum z K < 1 the answer is beta = 0 with x = z, when
// sum z / K < 1 it is beta = 1 with y = z. Never fails.
RachfordRiceResult rrsolve(int n, const double* z, const double* lnK, double& beta, double* x,
                           double* y);

}  // namespace ngtherm::equilibrium
