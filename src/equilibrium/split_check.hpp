// The checks a two-phase answer passes before it is returned: equal
// fugacities, the material balance, and a Gibbs energy below the feed's.
#pragma once

#include "equilibrium/solver_context.hpp"

namespace ngtherm::equilibrium {

// Largest |ln f_i^V - ln f_i^L| a returned split may have.
inline constexpr double kSplitFugacityTolerance = 1e-8;
// Largest |(1 - beta) x_i + beta y_i - z_i| a returned split may have.
inline constexpr double kSplitBalanceTolerance = 1e-10;
// The split's reduced Gibbs energy may exceed the feed's by rounding only.
inline constexpr double kSplitGibbsSlack = 1e-12;

struct SplitCheck {
    double max_fugacity_gap = 0.0;  // max |ln f_i^V - ln f_i^L|
    double max_imbalance = 0.0;     // max |(1 - beta) x_i + beta y_i - z_i|
    double gibbs_change = 0.0;      // G(split) - G(feed), divided by RT per mole of feed

    bool passed() const {
        return max_fugacity_gap <= kSplitFugacityTolerance && max_imbalance <= kSplitBalanceTolerance &&
               gibbs_change <= kSplitGibbsSlack;
    }
};

// Checks the split (beta, x, y) of the feed z with reference d_i = ln z_i +
// ln phi_i(z), given each phase's ln phi. NaN anywhere fails the check.
SplitCheck check_split(int n, const double* z, const double* d, double beta, const double* x,
                       const double* lnphi_x, const double* y, const double* lnphi_y);

}  // namespace ngtherm::equilibrium
