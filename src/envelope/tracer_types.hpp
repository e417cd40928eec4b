// Plain types of the phase-envelope tracer: point types, outcomes, settings
// and the stored points.
#pragma once

#include <array>
#include <limits>

#include "model/active_set.hpp"

namespace ngtherm::envelope {

// Point types of the envelope, as reported in the envelope table.
inline constexpr int kPointOrdinary = 0;
inline constexpr int kPointCritical = 1;
inline constexpr int kPointMaxT = 2;       // cricondentherm
inline constexpr int kPointMaxP = 3;       // cricondenbar
inline constexpr int kPointTabulated = 4;  // a tabulation value other than the caller's
inline constexpr int kPointMinT = 5;
inline constexpr int kPointMinP = 6;
inline constexpr int kPointCallerT = 7;  // crossing of the caller's temperature
inline constexpr int kPointCallerP = 8;  // crossing of the caller's pressure

// How a trace ended.
enum class TraceOutcome : int {
    left_window = 0,     // the line left the pressure or temperature window
    step_too_small = 1,  // steps kept failing until the step became negligible
    failed = 2,          // no start point, or the first point did not converge
    point_limit = 3,     // the point store is full
};

// Largest number of stored points of the exported envelope.
inline constexpr int kEnvelopePoints = 200;
// Largest number of tabulation temperatures or pressures the tracer crosses.
inline constexpr int kMaxTabulation = 50;

// Knobs of the continuation that callers normally leave alone.
struct TracerTuning {
    // Newton iterations allowed for one point.
    int max_newton_iterations = 6;
    // A later point is abandoned once its convergence measure reaches this.
    double abandon_measure = 0.01;
    // Upper bound on the maximum step (the step itself adapts below it).
    double max_step_cap = std::numeric_limits<double>::infinity();
};

// Tabulation values (natural logarithms) whose crossings become points.
struct Tabulation {
    std::array<double, kMaxTabulation> ln_value{};
    int count = 0;    // entries crossed, at most kMaxTabulation
    int caller = -1;  // index of the caller's value, -1 when it is not tabulated
};

struct TraceSettings {
    double beta = 1.0;           // molar vapour fraction of the line
    double p_min = 0.1;          // MPa: start pressure, and the line ends below it
    double p_max = 30.0;         // MPa
    double T_min = 50.0;         // K
    double initial_step = 0.1;   // first step, in the units of the fixed variable
    int point_limit = kEnvelopePoints;
    Tabulation temperatures, pressures;
    TracerTuning tuning;
};

// One stored point; x, y and lnK by active position.
struct TracePoint {
    double T = 0.0, p = 0.0;  // K, MPa
    int type = kPointOrdinary;
    model::Vector x{}, y{}, lnK{};  // liquid-like, vapour-like, ln(y_i / x_i)
};

}  // namespace ngtherm::envelope
