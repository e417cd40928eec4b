// Saturation points of a mixture on request, without tracing its envelope
// first: the dew (beta 1), bubble (beta 0) or constant-quality temperatures at
// a given pressure, the saturation pressures at a given temperature, and the
// cricondentherm and cricondenbar. Every returned point with status
// `converged` solves the saturation equations (equal fugacities of the feed
// and the incipient phase, material balance) to 1e-10 and is a crossing of a
// line that ngtherm::phase_envelope traces. The dew and bubble lines are the
// two halves of one phase boundary, and each is traced over the critical
// point into the other: beta 0 and 1 give the points of both, and at a given
// p the upper branch is the dew point of the feed, the lower one its bubble
// point. A line of 0 < beta < 1
// turns at the critical point into the line of 1 - beta; only its part before
// the critical point counts. Solutions of the equations that are no points
// of the stable phase boundary (trivial, or metastable: a phase on a density
// root that is not its stable one, or a feed that splits otherwise there) are
// not listed; where only such were found, the status says so.
//
// Units as in state.hpp: T in K, p in MPa, compositions as mole fractions in
// model order (ngtherm::Component).
#pragma once

#include <vector>

#include "ngtherm/components.hpp"
#include "ngtherm/state.hpp"

namespace ngtherm {

// Which of the two saturation values at a given T or p a point is.
enum class SaturationBranch : int {
    none = 0,   // the cricondentherm or the cricondenbar: the one point of its kind
    upper = 1,  // two phases just below it: at a given p at lower T (a dew point), at a given T at lower p
    lower = 2,  // two phases just above it: at a given p at higher T (a bubble point), at a given T at higher p
    water = 3,  // the water dew point: an aqueous phase appears just below it in T (above it in p)
};

enum class SaturationStatus : int {
    converged = 0,      // every point solves the saturation equations to 1e-10
    not_converged = 1,  // a point's residual stayed above 1e-10 after the Newton steps on it
    no_point = 2,       // the line does not reach the given T or p (or has no such maximum) inside the window
    incomplete_line = 3,  // every trace ended early (steps kept failing, or too many points); the points found
    failed = 4,         // no point of the line was found at the minimum pressure: nothing to report
    pure_fluid = 5,     // one component: a mixture's line does not exist
    trivial = 6,        // a point with both phases alike (all |ln K| < 1e-4): the trace lost the line
    metastable = 7,     // only points off the stable boundary: a phase on a density root that is not its
                        // stable one, or the feed splits otherwise there (inside another two-phase region)
};

struct SaturationOptions {
    double beta = 1.0;    // molar vapour fraction of the line, 0 to 1: 1 dew points, 0 bubble points
    // The window searched, as in EnvelopeOptions; a given T or p outside it
    // widens it as far as the envelope's admitted ranges allow.
    double p_min = 0.001;  // MPa, 0.0001 to 2.5
    double p_max = 100.0;  // MPa, p_min to 1000
    double T_min = 50.0;   // K, 50 to 550
};

struct SaturationPoint {
    double T = 0.0, p = 0.0;  // K, MPa; the given one exactly
    SaturationBranch branch = SaturationBranch::none;
    // The phase that appears: the liquid-like phase of a line with beta >=
    // 0.5, the vapour-like phase below (mole fractions, model order).
    Composition incipient{};
    double residual = 0.0;  // largest residual of the saturation equations
    SaturationStatus status = SaturationStatus::converged;
};

struct Saturation {
    SaturationStatus status = SaturationStatus::failed;
    std::vector<SaturationPoint> points;  // by decreasing T (given p) or p (given T)
    bool ok() const { return status == SaturationStatus::converged; }
};

// The saturation temperatures at pressure p, MPa: at most one per branch on
// an ordinary line, more where the line loops.
Saturation saturation_temperatures(const Mixture& mixture, double p, const SaturationOptions& options = {});

// The saturation pressures at temperature T, K.
Saturation saturation_pressures(const Mixture& mixture, double T, const SaturationOptions& options = {});

// The highest temperature of the line, and its highest pressure (a line that
// leaves the window through p_max before turning has none: no_point).
Saturation cricondentherm(const Mixture& mixture, const SaturationOptions& options = {});
Saturation cricondenbar(const Mixture& mixture, const SaturationOptions& options = {});

// The water dew point of a gas that holds water: the temperature at pressure p
// (searched from 500 K down to 200 K) and the pressure at temperature T
// (0.001 to 100 MPa) at which an aqueous phase first appears. The point's
// incipient phase is that aqueous phase; it solves the equations of the
// incipient phase to 1e-10. A gas without water, or one whose aqueous phase
// does not appear in that range, gives no_point.
Saturation water_dew_temperature(const Mixture& mixture, double p);
Saturation water_dew_pressure(const Mixture& mixture, double T);

// Throws InputError for a T or p that is not a positive finite number, a beta
// outside [0, 1] or a window outside its ranges; every other outcome is a status.

}  // namespace ngtherm
