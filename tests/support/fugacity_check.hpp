// Whether two phases of a feed's components are at equilibrium, evaluated apart
// from the solvers: each phase on the density root that suits it best.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <numeric>

#include "support/gases.hpp"

namespace ngtherm::test {

struct FugacityCheck {
    // The largest |ln f_i(y) - ln f_i(x)|, and of the phase amounts from 1.
    double residual = std::numeric_limits<double>::infinity();
    std::array<model::RootPreference, 2> roots{};  // of x and y
};

inline FugacityCheck check_fugacities(const Feed& feed, double T, double p, const double* x, const double* y) {
    const int n = feed.set.n;
    model::CompositionState scratch;
    model::FugacitySet fx, fy;
    model::ResidualProperties rec;
    const model::MixRequest req{model::Fugacity::ln_phi, model::TpDerivatives::none};
    FugacityCheck best;
    for (const model::RootPreference root_x : {model::RootPreference::liquid, model::RootPreference::vapour}) {
        for (const model::RootPreference root_y : {model::RootPreference::vapour, model::RootPreference::liquid}) {
            if (!model::mixstate(feed.set, scratch, req, root_x, T, p, x, &fx, rec).ok() ||
                !model::mixstate(feed.set, scratch, req, root_y, T, p, y, &fy, rec).ok()) {
                continue;
            }
            double worst = 0.0;
            for (int i = 0; i < n; ++i) {
                worst = std::max(worst, std::abs(std::log(y[i]) + fy.lnphi[i] - std::log(x[i]) - fx.lnphi[i]));
            }
            if (worst < best.residual) best = {worst, {root_x, root_y}};
        }
    }
    const double sum_x = std::accumulate(x, x + n, 0.0), sum_y = std::accumulate(y, y + n, 0.0);
    best.residual = std::max({best.residual, std::abs(sum_x - 1.0), std::abs(sum_y - 1.0)});
    return best;
}

}  // namespace ngtherm::test
