// The phase envelope of a gas from C++ (the line of constant vapour fraction
// in the T-p plane), with the same input checks, values and status codes as
// the C function phase (include/ngtherm.h), without loading the shared
// library. A gas that holds water also gets its water dew line, the second
// branch of its boundary, which the C function does not report.
//
// Units: composition in mole percent in the order of the C interface
// (ExternalPercentages), p in MPa, T in K; phase compositions of envelope
// points as mole fractions in model order (ngtherm::Component).
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

#include "ngtherm/components.hpp"
#include "ngtherm/exports.hpp"

namespace ngtherm {

enum class EnvelopePointType : int {
    ordinary = 0,
    critical = 1,          // "**CRIT**"
    max_temperature = 2,   // " MAX. T ", the cricondentherm
    max_pressure = 3,      // " MAX. P ", the cricondenbar
    tabulated = 4,         // crossing of a grid temperature or pressure
    min_temperature = 5,   // " MIN. T "
    min_pressure = 6,      // " MIN. P "
    caller_temperature = 7,  // " T TAB. ", crossing of the caller's temperature
    caller_pressure = 8,     // " P TAB. ", crossing of the caller's pressure
};

// The 8-character label of a point type (blank for ordinary and grid points).
std::string_view point_label(EnvelopePointType type);

enum class EnvelopeOutcome : int {
    left_window = 0,     // the line left the pressure or temperature window
    step_too_small = 1,  // steps kept failing until the step became negligible; the points found so far
    failed = 2,          // no start point, or the first point did not converge: no envelope (see Envelope::code)
    point_limit = 3,     // the point store (200 points) is full
    folded = 4,          // the line turned back on itself; it is complete up to the fold
};

struct EnvelopeOptions {
    double beta = 1.0;          // vapour fraction of the line: 1 dew line, 0 bubble line
    double p_min = 0.1;         // MPa, 0.0001 to 2.5: start and end of the trace
    double p_max = 30.0;        // MPa, p_min to 1000
    double T_min = 50.0;        // K, 50 to 550
    double initial_step = 0.1;  // 0.01 to 1
    // The caller's state: checked like every state, and its crossings become
    // " T TAB. " / " P TAB. " points. Without it, only the grid is crossed.
    std::optional<double> T, p;
    std::int16_t range_set = 0;
    // Upper bound of the step control's maximum step; smaller values give
    // more points.
    double max_step = std::numeric_limits<double>::infinity();
};

struct EnvelopePoint {
    double T = 0.0, p = 0.0;  // K, MPa
    EnvelopePointType type = EnvelopePointType::ordinary;
    // A crossing of the caller's state where the feed splits otherwise (into
    // two liquids, say): a saturation point of a metastable feed. Its value
    // is not among the saturation values.
    bool metastable = false;
    Composition x{}, y{};  // liquid-like and vapour-like phase, mole fractions in model order
};

// A point of the water dew line: where an aqueous phase first appears on
// cooling at pressure p (ngtherm::water_dew_temperature).
struct WaterDewLinePoint {
    double T = 0.0, p = 0.0;  // K, MPa
    Composition incipient{};  // the aqueous phase, mole fractions in model order
};

inline constexpr int kCharacteristicValueCount = 8;
// Names of the characteristic values, in order.
inline constexpr std::array<std::string_view, kCharacteristicValueCount> kCharacteristicNames{
    "T_sat_max_at_p",   // highest saturation temperature at the caller's pressure, K
    "T_sat_min_at_p",   // lowest saturation temperature at the caller's pressure, K
    "p_sat_max_at_T",   // highest saturation pressure at the caller's temperature, MPa
    "p_sat_min_at_T",   // lowest saturation pressure at the caller's temperature, MPa
    "cricondentherm_T", // K
    "cricondenbar_p",   // MPa
    "critical_T",       // K
    "critical_p",       // MPa
};

struct Envelope {
    // 0 success; the input check's code; or the code of what replaced the
    // whole envelope (196 to 207: a trace parameter out of range, a pure
    // fluid, a failed set-up or trace).
    std::int16_t code = 0;
    EnvelopeOutcome outcome = EnvelopeOutcome::failed;
    std::vector<EnvelopePoint> points;  // in order along the line
    // As the C function phase reports them: a value not determined is 0 with
    // status 197 (saturation values) or 0 with status 0 (the others).
    std::array<double, kCharacteristicValueCount> value{};
    std::array<std::int16_t, kCharacteristicValueCount> status{};
    std::int16_t range_set = 0;
    // The water dew line of a gas that holds water, by increasing pressure:
    // at p_min, p_max, the grid pressures (1 to 20 MPa) and the caller's p
    // inside [p_min, p_max], and between them close enough for a smooth
    // curve. Only converged points at or above T_min; empty for a dry gas and
    // where no trace began (a failed input check, a trace parameter out of
    // range, a pure fluid). A trace that failed (code 207) still gives it.
    std::vector<WaterDewLinePoint> water_dew;
    bool ok() const { return code == 0; }
};

// Traces the envelope of the gas. Every outcome of any input is a code; only
// memory exhaustion throws. A max_step that is not a positive number counts
// as no bound.
Envelope phase_envelope(const ExternalPercentages& composition, const EnvelopeOptions& options);

}  // namespace ngtherm
