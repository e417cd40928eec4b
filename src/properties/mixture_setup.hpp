// Set-up of a mixture for one property calculation: the active components
// (every component with a mole fraction of at least 1e-8), the molar mass, the
// state-variable ranges, and the gas constant of the molar or mass basis.
#pragma once

#include <array>
#include <cstdint>

#include "ngtherm/components.hpp"

namespace ngtherm::properties {

// Closed ranges of the state variables admitted by set_mixture.
inline constexpr double kStateTemperatureMin = 2.1768;  // K
inline constexpr double kStateTemperatureMax = 5000.0;  // K
inline constexpr double kStatePressureMin = 1e-9;       // MPa
inline constexpr double kStatePressureMax = 2500.0;     // MPa

// Largest deviation of the sum of the kept mole fractions from 1.
inline constexpr double kFractionSumTolerance = 1e-6;

enum class MixtureError : std::int32_t {
    none,         // every check passed
    temperature,  // temperature out of range or not finite
    pressure,     // pressure out of range or not finite
    fraction,     // a mole fraction below 0, above 1 or not finite
    sum,          // the kept fractions do not sum to 1
};

// The active components of a mixture and its molar mass.
struct MixtureSetup {
    int n = 0;                                   // number of active components
    std::array<int, kComponentCount> list{};     // 0-based model numbers, ascending
    std::array<double, kComponentCount> x{};     // their fractions, not renormalised
    double M = 0.0;                              // kg/mol, sum of x_i M_i over the list
    MixtureError error = MixtureError::none;
    double sentinel = 0.0;                       // 0 on success, else the sentinel
};

// Builds the active-component list of the model-order mole fractions `x`:
// every component with a fraction of at least kMinActiveFraction, in
// ascending model order, with its fraction and its share of the molar mass.
// Then checks that the kept fractions sum to 1 and that (T, p) lies in the
// admitted state ranges.
//
// Failures, in the order tested (the first one wins):
// - a fraction below 0, above 1 or not finite: fraction, kSentinelBadFraction;
//   n, list, x and M hold what was gathered before that component;
// - |1 - sum of kept fractions| > kFractionSumTolerance: sum, kSentinelFractionSum;
// - T outside [kStateTemperatureMin, kStateTemperatureMax] or not finite:
//   temperature, kSentinelTemperatureRange;
// - p outside [kStatePressureMin, kStatePressureMax] or not finite:
//   pressure, kSentinelPressureRange.
// In the last three cases the list and M are complete.
MixtureSetup set_mixture(double T, double p, const Composition& x);

// The basis of the caloric values and the density.
enum class Basis {
    molar,  // J/mol, J/(mol K), mol/dm3
    mass,   // kJ/kg, kJ/(kg K), kg/m3
};

// The gas constant the properties are expressed with: 8.314472 J/(mol K) on
// the molar basis, 0.008314472 / M kJ/(kg K) on the mass basis (M in kg/mol).
double gas_constant(Basis basis, double M);

}  // namespace ngtherm::properties
