// The water dew point: where an aqueous phase first appears in a feed that
// holds water, at a given pressure (the temperature) or a given temperature
// (the pressure). Solved directly on the tangent-plane distance of the
// water-rich stationary point, which is zero there and negative on the wet side.
#pragma once

#include "equilibrium/solver_context.hpp"

namespace ngtherm::equilibrium {

enum class WaterDewStatus {
    // |tm| of the water-rich stationary point below kWaterDewTolerance.
    converged,
    // kWaterDewIterations passed with |tm| above it, or the stationary point was lost.
    not_converged,
    // The feed holds no water.
    no_water,
    // tm keeps one sign over the whole search range: no aqueous phase appears there.
    no_point,
};

struct WaterDewPoint {
    WaterDewStatus status = WaterDewStatus::no_point;
    double T = 0.0, p = 0.0;  // K, MPa
    Vector incipient{};       // the aqueous phase, by active position
    double residual = 0.0;    // max |ln x_i + ln phi_i(x) - ln z_i - ln phi_i(z)|
};

// The water dew temperature at p (MPa) of the feed z (n fractions of `set`, summing to 1).
WaterDewPoint water_dew_temperature(const model::ActiveSet& set, const double* z, double p);
// The water dew pressure at T (K).
WaterDewPoint water_dew_pressure(const model::ActiveSet& set, const double* z, double T);

}  // namespace ngtherm::equilibrium
