// The C entry points of the phase-equilibrium exports: each forwards its
// arguments to the frame of its export, which checks, computes inside one
// guard and reports through the status arguments.
#include "envelope/flash.hpp"
#include "envelope/phase_envelope.hpp"
#include "ngtherm.h"

extern "C" {

NGTHERM_API void NGTHERM_CALL flash_tp(const double* composition, const double* pressure,
                                       const double* temperature, int16_t* range_set,
                                       double* results, double* liquid, double* vapour,
                                       double* composition_echo, int16_t* status) {
    ngtherm::envelope::flash_export(composition, pressure, temperature, range_set, results, liquid,
                                    vapour, composition_echo, status);
}

NGTHERM_API void NGTHERM_CALL phase(const double* composition, const double* pressure,
                                    const double* temperature, const double* p_min,
                                    const double* p_max, const double* T_min,
                                    const double* initial_step, const double* vapour_fraction,
                                    int16_t* range_set, double* envelope, int32_t* point_count,
                                    double* characteristic, double* composition_echo,
                                    int16_t* status) {
    ngtherm::envelope::phase_export(composition, pressure, temperature, p_min, p_max, T_min,
                                    initial_step, vapour_fraction, range_set, envelope,
                                    point_count, characteristic, composition_echo, status);
}

}  // extern "C"
