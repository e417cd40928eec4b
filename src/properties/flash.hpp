// The isothermal-isobaric flash behind the C export `flash_tp`: the phase
// split of a feed at given T and p, the liquid content per normal cubic metre
// of the feed and both phase compositions.
#pragma once

#include "equilibrium/tpequil.hpp"
#include "ngtherm/components.hpp"

namespace ngtherm::properties {

// Normal state of the liquid content: 273.15 K and 0.101325 MPa (the double).
inline constexpr double kNormalTemperature = 273.15;
inline constexpr double kNormalPressure = 0.101325;
// mg per kg, for the liquid content in mg/m3 from a density in kg/m3.
inline constexpr double kMilligramsPerKilogram = 1e6;

struct FlashValues {
    double beta = 0.0;  // molar vapour fraction; the sentinel after a failure
    // Liquid-like (phase 1) and vapour-like (phase 2) mole fractions in model
    // order: the feed for one phase, 0 for absent components, the sentinel in
    // every position after a failure.
    Composition x{}, y{};
    // Liquid mass per normal cubic metre of the feed, mg/m3; the sentinel after a failure.
    double liquid_content = 0.0;
    bool failed = false;
};

// Marks v as failed: beta, the liquid content and every fraction become the sentinel.
void fail(double sentinel, FlashValues& v);

// The flash of the model-order feed fractions x at (T, p): composition
// set-up, equilibrium, liquid content from the feed's mass density at the
// normal state.
FlashValues flash_tp(equilibrium::EquilibriumSolver& solver, const Composition& x, double T,
                     double p);

}  // namespace ngtherm::properties
