/*
 * ngtherm: properties and phase equilibria of natural gases with the
 * GERG-2008 equation of state. The C interface of the shared library.
 *
 * Calling convention
 *   Every argument is a pointer to the caller's variable or array; nothing is
 *   passed by value and no function returns a value. On 32-bit Windows the
 *   functions use __stdcall and are also exported under their decorated names
 *   (_gerg2008@32, _flash_tp@36, _phase@56, ...).
 *
 * Units and orders
 *   composition   21 mole percentages (mol-%) that sum to 100 within 0.0001, in
 *                 this order: methane, nitrogen, carbon dioxide, ethane,
 *                 propane, n-butane, isobutane, n-pentane, isopentane, n-hexane,
 *                 n-heptane, n-octane, n-nonane, n-decane, helium, argon,
 *                 hydrogen, oxygen, carbon monoxide, water, hydrogen sulphide.
 *   pressure      absolute pressure in MPa.
 *   temperature   K.
 *   Note the argument order: pressure before temperature.
 *
 * Range set (in/out, every function)
 *   0 checks only the general limits (0 < p <= 1000 MPa, 60 < T <= 2000 K,
 *   every mole percentage >= 0, sum within 0.0001 of 100); 1 or 2 also checks
 *   the limits of that range set. A value above 2 is checked as 2 and the
 *   caller's variable is overwritten with 2. A negative value is rejected with
 *   status 180 and left unchanged.
 *                                        set 1           set 2
 *     pressure, MPa                      <= 30           <= 70
 *     temperature, K                     250 to 450      60 to 700
 *     methane, mol-%                     >= 45           >= 0
 *     nitrogen / carbon dioxide          <= 50 / 30      <= 100 / 100
 *     ethane / propane                   <= 20 / 10      <= 100 / 100
 *   and for both sets, in mol-%: n-butane + isobutane <= 3, n-pentane +
 *   isopentane <= 0.5, n-hexane <= 0.2, n-heptane <= 0.05, n-octane + n-nonane
 *   + n-decane <= 0.05, argon + oxygen + hydrogen sulphide + n-nonane +
 *   n-decane <= 0.1, helium <= 0.2, hydrogen <= 10, carbon monoxide <= 3,
 *   water < 0.02. The limits 0.2, 0.1, 0.05 and 0.02 are the single-precision
 *   numbers nearest to them (0.2 mol-% helium passes, 0.02 mol-% water fails).
 *
 * Phase selector (property functions)
 *   0 the state as a whole, 1 phase 1 (the liquid-like phase), 2 phase 2 (the
 *   vapour-like phase); it matters only when the state splits into two phases.
 *   Any other value gives the status 194 and the result -99999.
 *
 * Outcome
 *   The composition echo receives a bit-for-bit copy of the composition on
 *   every call, whatever the outcome. When the input check fails (a positive
 *   status below 190), the results are not written
 *   and keep what the caller put there. When a calculation fails, its result
 *   holds a sentinel (a negative integral value such as -97777) and the status
 *   holds the matching code of 190 and above. No function aborts, throws or
 *   writes output on bad input. A calculation that fails unexpectedly (for
 *   example for lack of memory) reports the sentinel -97777 with status 206. A
 *   null pointer for any argument makes a property function return without
 *   reading or writing anything.
 *
 * Threads
 *   Calls may overlap when they come from different threads: each thread has
 *   its own working storage and its own cache of its last 256 equilibria,
 *   so a repeated request on the same thread is answered without computing
 *   again.
 *
 * Status codes:
 *   -1   success; range set 0, only the general limits were checked
 *    0   success
 *   53   a mole percentage is negative or not finite
 *   54   the mole percentages do not sum to 100 within 0.0001
 *   55   temperature not above 60 K, above 2000 K or not finite
 *   56   pressure not above 0 MPa, above 1000 MPa or not finite
 *  101   methane below the minimum of the range set
 *  102   nitrogen above the limit of the range set
 *  103   carbon dioxide above the limit of the range set
 *  104   ethane above the limit of the range set
 *  105   propane above the limit of the range set
 *  110   n-hexane above the limit of the range set
 *  111   n-heptane above the limit of the range set
 *  115   helium above the limit of the range set
 *  117   hydrogen above the limit of the range set
 *  119   carbon monoxide above the limit of the range set
 *  120   water above the limit of the range set
 *  170   argon + oxygen + hydrogen sulphide + n-nonane + n-decane above the limit
 *  171   n-butane + isobutane above the limit of the range set
 *  172   n-pentane + isopentane above the limit of the range set
 *  173   n-octane + n-nonane + n-decane above the limit of the range set
 *  180   negative range set
 *  181   temperature outside the range set
 *  182   pressure above the maximum of the range set
 *  190   temperature outside 2.1768 K to 5000 K
 *  191   pressure outside 1e-9 MPa to 2500 MPa
 *  192   a mole fraction is negative, greater than 1 or not finite
 *  193   the mole fractions of the kept components do not sum to 1 within 1e-6
 *  194   phase selector not 0, 1 or 2
 *  195   basis flag not 0 or 1
 *  196   phase envelope: minimum pressure outside 0.0001 MPa to 2.5 MPa
 *  197   phase envelope: characteristic value not determined
 *  198   phase envelope: maximum pressure below the minimum pressure or above 1000 MPa
 *  199   phase envelope: minimum temperature outside 50 K to 550 K
 *  200   phase envelope: initial step outside 0.01 to 1
 *  201   phase envelope: vapour fraction outside 0 to 1
 *  202   single active component: no phase split or envelope for a pure fluid
 *  203   property has no value for a single-phase state
 *  204   property not defined for the overall state of two phases
 *  205   square of the speed of sound negative
 *  206   the stability test or the phase split failed
 *  207   the phase-envelope trace failed
 *
 *   When several input limits are violated, the strongest code wins:
 *   53, 54, 55, 56, 180, 101, 102, 103, 104, 105, 110, 111, 115, 117, 119,
 *   120, 171, 172, 173, 170, 181, 182.
 *
 * Sentinels and their codes: -99991 190, -99992 191, -99997 192, -99998 193,
 * -99999 194, -99990 195, -99910 196, -99920 198, -99930 199, -99940 200,
 * -99950 201, -91111 202, -94444 203, -95555 204, -96666 205, -97777 206,
 * -98888 207.
 */
#ifndef NGTHERM_H
#define NGTHERM_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define NGTHERM_CALL __stdcall
#else
#define NGTHERM_CALL
#endif

/* On Windows the exported names come from the module-definition file. */
#if !defined(_WIN32) && (defined(__GNUC__) || defined(__clang__))
#define NGTHERM_API __attribute__((visibility("default")))
#else
#define NGTHERM_API
#endif

/*
 * Positions (0-based) of the components in every composition array of this
 * interface: composition, composition_echo and the phase compositions of
 * flash_tp. Note that this order differs from the C++ order (ngtherm::Component)
 * from position 14 on, and from the model order of the envelope table's columns.
 */
enum ngtherm_component {
    NGTHERM_CH4 = 0,  /* methane */
    NGTHERM_N2 = 1,   /* nitrogen */
    NGTHERM_CO2 = 2,  /* carbon dioxide */
    NGTHERM_C2H6 = 3, /* ethane */
    NGTHERM_C3H8 = 4, /* propane */
    NGTHERM_NC4 = 5,  /* n-butane */
    NGTHERM_IC4 = 6,  /* isobutane */
    NGTHERM_NC5 = 7,  /* n-pentane */
    NGTHERM_IC5 = 8,  /* isopentane */
    NGTHERM_NC6 = 9,  /* n-hexane */
    NGTHERM_NC7 = 10, /* n-heptane */
    NGTHERM_NC8 = 11, /* n-octane */
    NGTHERM_NC9 = 12, /* n-nonane */
    NGTHERM_NC10 = 13, /* n-decane */
    NGTHERM_HE = 14,  /* helium */
    NGTHERM_AR = 15,  /* argon */
    NGTHERM_H2 = 16,  /* hydrogen */
    NGTHERM_O2 = 17,  /* oxygen */
    NGTHERM_CO = 18,  /* carbon monoxide */
    NGTHERM_H2O = 19, /* water */
    NGTHERM_H2S = 20, /* hydrogen sulphide */
    NGTHERM_COMPONENT_COUNT = 21
};

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Property functions. All eight arguments:
 *   composition       in      double[21], mol-%
 *   pressure          in      MPa
 *   temperature       in      K
 *   phase_selector    in      0, 1 or 2 (see above)
 *   range_set         in/out  0, 1 or 2 (see above)
 *   result            out     the property (gerg2008: double[11], see there)
 *   composition_echo  out     double[21], copy of composition
 *   status            out     status code (gerg2008: int16_t[11], one per result)
 * On success the status of a single-property function is -1 with range set 0
 * and 0 with range set 1 or 2; gerg2008 reports 0 in both cases.
 * Extensive properties are on a mass basis.
 */

/*
 * All eleven properties in one call, in this order of result[0..10] and
 * status[0..10]: Z, K, density, u, h, s, cv, cp, speed of sound, isentropic
 * exponent, Joule-Thomson coefficient (units as the single functions below).
 * A failed input check writes its code into all eleven status words; a failure
 * in one slot leaves the others unaffected.
 */
NGTHERM_API void NGTHERM_CALL gerg2008(const double* composition, const double* pressure,
                                       const double* temperature, const int16_t* phase_selector,
                                       int16_t* range_set, double* result,
                                       double* composition_echo, int16_t* status);

/* Compressibility factor Z = p / (rho R T), dimensionless. */
NGTHERM_API void NGTHERM_CALL gerg2008_z(const double* composition, const double* pressure,
                                         const double* temperature, const int16_t* phase_selector,
                                         int16_t* range_set, double* result,
                                         double* composition_echo, int16_t* status);

/*
 * Compressibility ratio K = Z(p, T) / Z(pn, Tn), dimensionless, with the
 * reference state Tn = 273.15 K and pn = 0.101324997842311859130859375 MPa
 * (the single-precision value of 0.101325). The phase selector applies to both
 * evaluations. When either Z evaluation fails, the status of K reports that
 * evaluation's status code (when both fail, the code of the evaluation at
 * (p, T)).
 */
NGTHERM_API void NGTHERM_CALL gerg2008_k(const double* composition, const double* pressure,
                                         const double* temperature, const int16_t* phase_selector,
                                         int16_t* range_set, double* result,
                                         double* composition_echo, int16_t* status);

/* Density, kg/m3. */
NGTHERM_API void NGTHERM_CALL gerg2008_rho(const double* composition, const double* pressure,
                                           const double* temperature, const int16_t* phase_selector,
                                           int16_t* range_set, double* result,
                                           double* composition_echo, int16_t* status);

/* Specific internal energy, kJ/kg. */
NGTHERM_API void NGTHERM_CALL gerg2008_u(const double* composition, const double* pressure,
                                         const double* temperature, const int16_t* phase_selector,
                                         int16_t* range_set, double* result,
                                         double* composition_echo, int16_t* status);

/* Specific enthalpy, kJ/kg. */
NGTHERM_API void NGTHERM_CALL gerg2008_h(const double* composition, const double* pressure,
                                         const double* temperature, const int16_t* phase_selector,
                                         int16_t* range_set, double* result,
                                         double* composition_echo, int16_t* status);

/* Specific entropy, kJ/(kg K). */
NGTHERM_API void NGTHERM_CALL gerg2008_s(const double* composition, const double* pressure,
                                         const double* temperature, const int16_t* phase_selector,
                                         int16_t* range_set, double* result,
                                         double* composition_echo, int16_t* status);

/* Isochoric heat capacity, kJ/(kg K). */
NGTHERM_API void NGTHERM_CALL gerg2008_cv(const double* composition, const double* pressure,
                                          const double* temperature, const int16_t* phase_selector,
                                          int16_t* range_set, double* result,
                                          double* composition_echo, int16_t* status);

/* Isobaric heat capacity, kJ/(kg K). */
NGTHERM_API void NGTHERM_CALL gerg2008_cp(const double* composition, const double* pressure,
                                          const double* temperature, const int16_t* phase_selector,
                                          int16_t* range_set, double* result,
                                          double* composition_echo, int16_t* status);

/* Speed of sound, m/s. Not defined for the overall state of two phases (204). */
NGTHERM_API void NGTHERM_CALL gerg2008_sos(const double* composition, const double* pressure,
                                           const double* temperature, const int16_t* phase_selector,
                                           int16_t* range_set, double* result,
                                           double* composition_echo, int16_t* status);

/* Isentropic exponent, dimensionless. Not defined for the overall state of two phases (204). */
NGTHERM_API void NGTHERM_CALL gerg2008_kappa(const double* composition, const double* pressure,
                                             const double* temperature,
                                             const int16_t* phase_selector, int16_t* range_set,
                                             double* result, double* composition_echo,
                                             int16_t* status);

/* Joule-Thomson coefficient, K/MPa. Not defined for the overall state of two phases (204). */
NGTHERM_API void NGTHERM_CALL gerg2008_jtc(const double* composition, const double* pressure,
                                           const double* temperature, const int16_t* phase_selector,
                                           int16_t* range_set, double* result,
                                           double* composition_echo, int16_t* status);

/*
 * Isothermal-isobaric flash: the equilibrium phases at (p, T).
 *   composition       in      double[21], mol-%
 *   pressure          in      MPa
 *   temperature       in      K
 *   range_set         in/out  0, 1 or 2 (see above)
 *   results           out     double[3]: vapour fraction (mol/mol), liquid
 *                             fraction = 1 - vapour fraction (mol/mol), liquid
 *                             content in mg per m3 of gas at 273.15 K and
 *                             0.101325 MPa
 *   liquid            out     double[21], liquid-phase composition, mol-%
 *   vapour            out     double[21], vapour-phase composition, mol-%
 *   composition_echo  out     double[21], copy of composition
 *   status            out     status code
 * A single phase gives both phase compositions equal to the feed (components
 * below 1e-8 mol/mol as 0). After a failed input check, results, liquid and
 * vapour are not written. After a failed calculation, results[0] and every
 * mole fraction hold the sentinel (the percentages 100 times the sentinel) and
 * results[1] = 1 - results[0].
 */
NGTHERM_API void NGTHERM_CALL flash_tp(const double* composition, const double* pressure,
                                       const double* temperature, int16_t* range_set,
                                       double* results, double* liquid, double* vapour,
                                       double* composition_echo, int16_t* status);

/*
 * Phase envelope: the line of constant vapour fraction (1 dew line, 0 bubble
 * line) from the minimum pressure over the critical region back to it.
 *   composition       in      double[21], mol-%
 *   pressure          in      MPa, checked and tabulated (saturation temperatures)
 *   temperature       in      K, checked and tabulated (saturation pressures)
 *   p_min             in      MPa, 0.0001 to 2.5: start and end of the trace
 *   p_max             in      MPa, p_min to 1000
 *   T_min             in      K, 50 to 550
 *   initial_step      in      0.01 to 1: first step of the trace
 *   vapour_fraction   in      0 to 1, mol/mol
 *   range_set         in/out  0, 1 or 2 (see above)
 *   envelope          out     double[200 * 24], column by column (all 200 rows
 *                             of column 1, then column 2, ...): temperature K,
 *                             pressure MPa, point type, liquid mole fractions
 *                             (not percent) of methane ... water in the model
 *                             order methane, nitrogen, carbon dioxide, ethane,
 *                             propane, n-butane, isobutane, n-pentane,
 *                             isopentane, n-hexane, n-heptane, n-octane,
 *                             n-nonane, n-decane, hydrogen, oxygen, carbon
 *                             monoxide, water; the last 3 columns are 0.
 *                             Rows after the last point repeat it.
 *   point_count       out     number of computed rows (200 after a failure)
 *   characteristic    out     double[8]: highest and lowest saturation
 *                             temperature at pressure (K), highest and lowest
 *                             saturation pressure at temperature (MPa),
 *                             cricondentherm (K), cricondenbar (MPa), critical
 *                             temperature (K), critical pressure (MPa)
 *   composition_echo  out     double[21], copy of composition
 *   status            out     int16_t[8], one status per characteristic value
 * Point types: 0 ordinary, 1 critical point, 2 temperature maximum, 3 pressure
 * maximum, 4 crossing of a tabulation value, 5 temperature minimum, 6 pressure
 * minimum, 7 crossing of the caller's temperature, 8 crossing of the caller's
 * pressure. A failed input check writes its code into all eight statuses and
 * leaves the table, the count and the values 0. Bad trace parameters, a pure
 * fluid or a failed trace fill columns 1 to 21 of all 200 rows with the
 * sentinel.
 */
NGTHERM_API void NGTHERM_CALL phase(const double* composition, const double* pressure,
                                    const double* temperature, const double* p_min,
                                    const double* p_max, const double* T_min,
                                    const double* initial_step, const double* vapour_fraction,
                                    int16_t* range_set, double* envelope, int32_t* point_count,
                                    double* characteristic, double* composition_echo,
                                    int16_t* status);

#ifdef __cplusplus
}
#endif

#endif /* NGTHERM_H */
