// The 14 C entry points of the shared library: each forwards its arguments to
// the frame of its export (api/frames.hpp), which checks, computes inside one
// guard and reports through the status arguments.
#include "ngtherm.h"

#include "api/frames.hpp"

namespace {

using ngtherm::api::Property;

void run(Property property, const double* composition, const double* pressure,
         const double* temperature, const int16_t* phase_selector, int16_t* range_set,
         double* result, double* composition_echo, int16_t* status) noexcept {
    ngtherm::api::single_property_export(property, composition, pressure, temperature,
                                         phase_selector, range_set, result, composition_echo,
                                         status);
}

}  // namespace

extern "C" {

NGTHERM_API void NGTHERM_CALL gerg2008(const double* composition, const double* pressure,
                                       const double* temperature, const int16_t* phase_selector,
                                       int16_t* range_set, double* result, double* composition_echo,
                                       int16_t* status) {
    ngtherm::api::all_properties_export(composition, pressure, temperature, phase_selector,
                                        range_set, result, composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL gerg2008_z(const double* composition, const double* pressure,
                                         const double* temperature, const int16_t* phase_selector,
                                         int16_t* range_set, double* result,
                                         double* composition_echo, int16_t* status) {
    run(Property::Z, composition, pressure, temperature, phase_selector, range_set, result,
        composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL gerg2008_k(const double* composition, const double* pressure,
                                         const double* temperature, const int16_t* phase_selector,
                                         int16_t* range_set, double* result,
                                         double* composition_echo, int16_t* status) {
    run(Property::K, composition, pressure, temperature, phase_selector, range_set, result,
        composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL gerg2008_rho(const double* composition, const double* pressure,
                                           const double* temperature, const int16_t* phase_selector,
                                           int16_t* range_set, double* result,
                                           double* composition_echo, int16_t* status) {
    run(Property::rho, composition, pressure, temperature, phase_selector, range_set, result,
        composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL gerg2008_u(const double* composition, const double* pressure,
                                         const double* temperature, const int16_t* phase_selector,
                                         int16_t* range_set, double* result,
                                         double* composition_echo, int16_t* status) {
    run(Property::u, composition, pressure, temperature, phase_selector, range_set, result,
        composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL gerg2008_h(const double* composition, const double* pressure,
                                         const double* temperature, const int16_t* phase_selector,
                                         int16_t* range_set, double* result,
                                         double* composition_echo, int16_t* status) {
    run(Property::h, composition, pressure, temperature, phase_selector, range_set, result,
        composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL gerg2008_s(const double* composition, const double* pressure,
                                         const double* temperature, const int16_t* phase_selector,
                                         int16_t* range_set, double* result,
                                         double* composition_echo, int16_t* status) {
    run(Property::s, composition, pressure, temperature, phase_selector, range_set, result,
        composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL gerg2008_cv(const double* composition, const double* pressure,
                                          const double* temperature, const int16_t* phase_selector,
                                          int16_t* range_set, double* result,
                                          double* composition_echo, int16_t* status) {
    run(Property::cv, composition, pressure, temperature, phase_selector, range_set, result,
        composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL gerg2008_cp(const double* composition, const double* pressure,
                                          const double* temperature, const int16_t* phase_selector,
                                          int16_t* range_set, double* result,
                                          double* composition_echo, int16_t* status) {
    run(Property::cp, composition, pressure, temperature, phase_selector, range_set, result,
        composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL gerg2008_sos(const double* composition, const double* pressure,
                                           const double* temperature, const int16_t* phase_selector,
                                           int16_t* range_set, double* result,
                                           double* composition_echo, int16_t* status) {
    run(Property::w, composition, pressure, temperature, phase_selector, range_set, result,
        composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL gerg2008_kappa(const double* composition, const double* pressure,
                                             const double* temperature,
                                             const int16_t* phase_selector, int16_t* range_set,
                                             double* result, double* composition_echo,
                                             int16_t* status) {
    run(Property::kappa, composition, pressure, temperature, phase_selector, range_set, result,
        composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL gerg2008_jtc(const double* composition, const double* pressure,
                                           const double* temperature, const int16_t* phase_selector,
                                           int16_t* range_set, double* result,
                                           double* composition_echo, int16_t* status) {
    run(Property::jt, composition, pressure, temperature, phase_selector, range_set, result,
        composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL flash_tp(const double* composition, const double* pressure,
                                       const double* temperature, int16_t* range_set,
                                       double* results, double* liquid, double* vapour,
                                       double* composition_echo, int16_t* status) {
    ngtherm::api::flash_export(composition, pressure, temperature, range_set, results, liquid,
                               vapour, composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL phase(const double* composition, const double* pressure,
                                    const double* temperature, const double* p_min,
                                    const double* p_max, const double* T_min,
                                    const double* initial_step, const double* vapour_fraction,
                                    int16_t* range_set, double* envelope, int32_t* point_count,
                                    double* characteristic, double* composition_echo,
                                    int16_t* status) {
    ngtherm::api::phase_export(composition, pressure, temperature, p_min, p_max, T_min,
                               initial_step, vapour_fraction, range_set, envelope, point_count,
                               characteristic, composition_echo, status);
}

}  // extern "C"
