// Plain types of the phase-envelope tracer: settings and the stored points.
// Point types and outcomes are the public ones (ngtherm/envelope.hpp).
#pragma once

#include <array>
#include <limits>

#include "model/active_set.hpp"
#include "ngtherm/envelope.hpp"

namespace ngtherm::envelope {

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

// The one set of options of a trace; the public EnvelopeOptions fill it.
struct TraceSettings {
    double beta = 1.0;           // molar vapour fraction of the line
    double p_min = 0.1;          // MPa: start pressure, and a returning line ends on it
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
    EnvelopePointType type = EnvelopePointType::ordinary;
    // A crossing of the caller's state where the feed splits otherwise (into
    // two liquids, say): a saturation point of a metastable feed, on no
    // boundary between one and two phases.
    bool metastable = false;
    model::Vector x{}, y{}, lnK{};  // liquid-like, vapour-like, ln(y_i / x_i)
};

}  // namespace ngtherm::envelope
