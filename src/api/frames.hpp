// The frames of the twelve property exports, as C++ functions with the C
// argument lists: the exports in exports.cpp forward to them, and the ngtherm
// command calls them directly. Arguments, units and status codes are those of
// include/ngtherm.h.
#pragma once

#include <cstdint>

namespace ngtherm::api {

// The eleven properties of gerg2008, in the order of its result slots.
enum class Property : int { Z, K, rho, u, h, s, cv, cp, w, kappa, jt };
inline constexpr int kPropertyCount = 11;

// Reference state of the compressibility ratio K = Z(p, T) / Z(pn, Tn).
inline constexpr double kReferenceTemperature = 273.15;  // K
// MPa: 0.101325 as the nearest single-precision number, widened to double.
inline constexpr double kReferencePressure = 0.101324997842311859130859375;

// One property (the single exports gerg2008_z ... gerg2008_jtc). Every value
// is on the mass basis. A null pointer argument makes the call return without
// reading or writing anything.
void single_property_export(Property property, const double* composition, const double* pressure,
                            const double* temperature, const std::int16_t* phase_selector,
                            std::int16_t* range_set, double* result, double* composition_echo,
                            std::int16_t* status) noexcept;

// All eleven properties (the export gerg2008): result and status hold
// kPropertyCount entries in the order of Property.
void all_properties_export(const double* composition, const double* pressure,
                           const double* temperature, const std::int16_t* phase_selector,
                           std::int16_t* range_set, double* result, double* composition_echo,
                           std::int16_t* status) noexcept;

}  // namespace ngtherm::api
