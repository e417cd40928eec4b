// The frames of the 14 C exports, as C++ functions with the C argument lists:
// the entry points in c_exports.cpp and the C++ mirrors in exports.cpp and
// envelope.cpp forward to them. Every frame opens the same way (null
// arguments, inputs read first, input check, echo) and computes inside one
// guard. Arguments, units and status codes are those of include/ngtherm.h.
#pragma once

#include <array>
#include <cstdint>

#include "ngtherm/envelope.hpp"

namespace ngtherm::envelope {
struct CharacteristicPoints;
}

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

// The export flash_tp.
void flash_export(const double* composition, const double* pressure, const double* temperature,
                  std::int16_t* range_set, double* results, double* liquid, double* vapour,
                  double* composition_echo, std::int16_t* status) noexcept;

// The export phase.
void phase_export(const double* composition, const double* pressure, const double* temperature,
                  const double* p_min, const double* p_max, const double* T_min,
                  const double* initial_step, const double* vapour_fraction,
                  std::int16_t* range_set, double* envelope, std::int32_t* point_count,
                  double* characteristic, double* composition_echo, std::int16_t* status) noexcept;

// Slots of the characteristic values, in the order of kCharacteristicNames.
enum class Characteristic : int {
    T_sat_max_at_p,    // highest temperature of the crossings of the caller's pressure
    T_sat_min_at_p,    // lowest of them
    p_sat_max_at_T,    // highest pressure of the crossings of the caller's temperature
    p_sat_min_at_T,    // lowest of them
    cricondentherm_T,  // temperature of the cricondentherm
    cricondenbar_p,    // pressure of the cricondenbar
    critical_T,        // temperature of the critical point
    critical_p,        // pressure of the critical point
};

struct CharacteristicValues {
    std::array<double, kCharacteristicValueCount> value{};
    std::array<std::int16_t, kCharacteristicValueCount> status{};
    double& operator[](Characteristic c) { return value[static_cast<int>(c)]; }
};

// The eight characteristic values as phase reports them: the saturation
// values are 0 with status 197 when there is no crossing, 0 with status 0 when
// there are more than three; the others are 0 with status 0 when not met. A
// value equal to a sentinel takes its status code.
CharacteristicValues characteristic_values(const envelope::CharacteristicPoints& points);

}  // namespace ngtherm::api
