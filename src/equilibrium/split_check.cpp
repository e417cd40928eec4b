#include "equilibrium/split_check.hpp"

#include <cmath>
#include <limits>

namespace ngtherm::equilibrium {
namespace {

// c ln c, 0 at c = 0.
double c_ln_c(double c) { return c > 0.0 ? c * std::log(c) : 0.0; }

}  // namespace

SplitCheck check_split(int n, const double* z, const double* d, double beta, const double* x,
                       const double* lnphi_x, const double* y, const double* lnphi_y) {
    constexpr double kFail = std::numeric_limits<double>::infinity();
    SplitCheck c;
    double g_split = 0.0, g_feed = 0.0;
    for (int i = 0; i < n; ++i) {
        if (z[i] == 0.0) continue;
        // A component absent from one phase has no fugacity to match there.
        if (x[i] > 0.0 && y[i] > 0.0) {
            const double gap = std::fabs(std::log(y[i]) + lnphi_y[i] - std::log(x[i]) - lnphi_x[i]);
            c.max_fugacity_gap = gap == gap ? std::fmax(c.max_fugacity_gap, gap) : kFail;
        }
        const double imbalance = std::fabs((1.0 - beta) * x[i] + beta * y[i] - z[i]);
        c.max_imbalance = imbalance == imbalance ? std::fmax(c.max_imbalance, imbalance) : kFail;
        g_split += (1.0 - beta) * (c_ln_c(x[i]) + x[i] * lnphi_x[i]) + beta * (c_ln_c(y[i]) + y[i] * lnphi_y[i]);
        g_feed += z[i] * d[i];
    }
    c.gibbs_change = g_split - g_feed;
    if (!(c.gibbs_change == c.gibbs_change)) c.gibbs_change = kFail;
    return c;
}

}  // namespace ngtherm::equilibrium
