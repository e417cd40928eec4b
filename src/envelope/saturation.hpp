// Saturation points of a mixture on request: the temperatures of a line of
// constant vapour fraction beta at a given pressure, its pressures at a given
// temperature, and its cricondentherm and cricondenbar.
//
// Method: the line is traced coarsely with only the requested value
// tabulated, so that the tracer brackets every crossing (or the extremum) by
// converged points and converges it on the saturation equations; each point
// is then polished by Newton steps on the same equations with the requested
// variable (for an extremum, the other one) fixed, and its largest residual
// is kept. For beta 0 or 1 both halves of the phase boundary, the dew and the
// bubble line, are traced from their own starts and their points merged: a
// trace may end early, lose the line or leave the window before it reaches
// the other half. A dew line traced from the minimum pressure runs round the
// two-phase region with the region on its left, a bubble line the other way
// round: a crossing is on the upper branch (the region below it, at lower T
// for a given p or lower p for a given T) where a dew line rises in p through
// a given p, or falls in T through a given T.
// A line of 0 < beta < 1 counts only up to its critical point. A point is
// dropped as no point of the stable boundary where all its ln K nearly
// vanish (the trace has collapsed onto the feed), where a phase lies on a
// density root that is not its stable one, or where the feed splits into
// finite amounts of other phases at it (a liquid-liquid region).
#pragma once

#include <vector>

#include "envelope/envelope_equations.hpp"
#include "envelope/tracer.hpp"
#include "model/active_set.hpp"
#include "ngtherm/saturation.hpp"

namespace ngtherm::envelope {

// What is asked for; value is the pressure (MPa) or temperature (K) held fixed.
enum class SaturationTarget {
    temperatures_at_pressure,  // the line's temperatures at p = value
    pressures_at_temperature,  // the line's pressures at T = value
    cricondentherm,            // the highest temperature of the line
    cricondenbar,              // the highest pressure of the line (a maximum, not the window's end)
};

struct SaturationRequest {
    SaturationTarget target = SaturationTarget::temperatures_at_pressure;
    double value = 0.0;
    // beta and the window of the trace; the tabulations are set here.
    TraceSettings settings;
};

// One point: the unknowns (ln K_i, ln T, ln p) and the stored phases.
struct SaturationSolution {
    TracePoint point;
    // The phase that appears (the liquid-like one of a line with beta >=
    // 0.5), by active position; the line traced may be the other half of the
    // phase boundary.
    model::Vector incipient{};
    SaturationBranch branch = SaturationBranch::none;
    double residual = 0.0;  // largest |F| of the saturation equations
    SaturationStatus status = SaturationStatus::converged;
};

struct SaturationOutcome {
    SaturationStatus status = SaturationStatus::failed;
    std::vector<SaturationSolution> points;  // by decreasing T (given p) or p (given T)
};

// The points of the request for the active set `set` with feed z (n
// fractions in active order). `set` must outlive the call; the tracer is the
// caller's working storage. Mixtures of at least two components only.
SaturationOutcome saturation_points(EnvelopeTracer& tracer, const model::ActiveSet& set, const double* z,
                                    const SaturationRequest& request);

}  // namespace ngtherm::envelope
