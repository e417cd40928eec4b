// The 21 components of GERG-2008 in model order, and compositions over them.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace ngtherm {

inline constexpr int kComponentCount = 21;

// Model order (the GERG-2008 order). The value is the index into a Composition.
enum class Component : int {
    CH4, N2, CO2, C2H6, C3H8, nC4, iC4, nC5, iC5, nC6, nC7,
    nC8, nC9, nC10, H2, O2, CO, H2O, H2S, He, Ar
};

// Mole fractions of the 21 components in model order. Entries below 1e-8 are
// treated as absent.
using Composition = std::array<double, kComponentCount>;

// Smallest mole fraction of a component that takes part in a calculation.
inline constexpr double kMinActiveFraction = 1e-8;

std::string_view component_id(int index);    // "CH4", "nC4", "He", ...
std::string_view component_name(int index);  // "methane", "n-butane", ...
double component_molar_mass(int index);      // kg/mol

// Looks up a component by id or English name, case-insensitively
// ("co2", "nC4", "n-butane", "Isobutane"). Empty when unknown.
std::optional<int> find_component(std::string_view id_or_name);

}  // namespace ngtherm
