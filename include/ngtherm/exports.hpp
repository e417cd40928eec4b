// The C functions, from C++: the eleven properties of gerg2008 and the flash
// of flash_tp (include/ngtherm.h), with the same input check and range sets,
// the same values and the same status codes, without loading the shared
// library; the phase envelope of phase is in ngtherm/envelope.hpp. These calls
// take the caller's component order and mole percentages; the native C++
// calls (ngtherm/state.hpp, ngtherm/equilibrium.hpp) take model order and
// fractions.
//
// Units: composition in mole percent in the order of the C interface, p in
// MPa, T in K. Results: Z and K dimensionless, rho kg/m3, u and h kJ/kg, s, cv
// and cp kJ/(kg K), w m/s, kappa dimensionless, jt K/MPa.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "ngtherm/components.hpp"

namespace ngtherm {

// Mole percentages in the order of the C interface: methane, nitrogen, carbon
// dioxide, ethane, propane, n-butane, isobutane, n-pentane, isopentane,
// n-hexane, n-heptane, n-octane, n-nonane, n-decane, helium, argon, hydrogen,
// oxygen, carbon monoxide, water, hydrogen sulphide.
using ExternalPercentages = std::array<double, kComponentCount>;

// Model-order mole fractions as mole percentages in the C interface's order.
ExternalPercentages external_percentages(const Composition& fractions);

// Values in the C interface's order rearranged into model order (the inverse
// of the order change of external_percentages, without the factor 100).
std::array<double, kComponentCount> in_model_order(const ExternalPercentages& values);

inline constexpr int kExportPropertyCount = 11;

// The short names of the results, in result order.
inline constexpr std::array<std::string_view, kExportPropertyCount> kExportPropertyNames{
    "Z", "K", "rho", "u", "h", "s", "cv", "cp", "w", "kappa", "jt"};

struct ExportResults {
    // NaN where the input check failed and nothing was computed; a sentinel
    // (a negative integral value) where a calculation failed.
    std::array<double, kExportPropertyCount> value{};
    std::array<std::int16_t, kExportPropertyCount> status{};  // 0 success, > 0 failure
    std::int16_t range_set = 0;  // as the check left it (a value above 2 becomes 2)
};

// All eleven properties at (p, T): phase selector 0 whole, 1 liquid-like
// phase, 2 vapour-like phase; range set 0, 1 or 2 (see include/ngtherm.h).
// Never throws for any input: every outcome is a status code.
ExportResults export_properties(const ExternalPercentages& composition, double p, double T,
                                std::int16_t phase_selector, std::int16_t range_set);

struct FlashResult {
    // NaN where the input check failed and nothing was computed; after a
    // failed calculation beta and every mole percentage hold a sentinel (a
    // negative integral value, 100 times it for the percentages).
    double beta = 0.0;             // molar vapour fraction, mol/mol
    double liquid_fraction = 0.0;  // 1 - beta, mol/mol
    double liquid_content = 0.0;   // mg of liquid per m3 of the gas at 273.15 K, 0.101325 MPa
    ExternalPercentages liquid{};  // liquid-like phase, mol-%; the feed for one phase
    ExternalPercentages vapour{};  // vapour-like phase, mol-%; the feed for one phase
    std::int16_t status = 0;       // -1 or 0 success, > 0 failure (see include/ngtherm.h)
    std::int16_t range_set = 0;    // as the check left it (a value above 2 becomes 2)
    bool ok() const { return status <= 0; }
};

// The equilibrium phases at (p, T) with range set 0, 1 or 2. Never throws for
// any input: every outcome is a status code.
FlashResult flash(const ExternalPercentages& composition, double p, double T,
                  std::int16_t range_set = 0);

// The input check of the C functions alone: 0 (range set 1 or 2) or -1 (range
// set 0) when every limit holds, else the code of the strongest violated limit
// (53 to 56, 101 to 182). Computes nothing; never throws.
std::int16_t check_limits(const ExternalPercentages& composition, double p, double T,
                          std::int16_t range_set = 0);

// The meaning of a status code of the C interface, in words.
std::string_view status_meaning(int code);

}  // namespace ngtherm
