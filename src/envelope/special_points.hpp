// Special points between two converged envelope points, located on the cubics
// of the interval: crossings of tabulation temperatures and pressures, the
// extrema of T and p, and the critical point.
#pragma once

#include <array>

#include "envelope/tracer_types.hpp"
#include "numerics/cubic.hpp"

namespace ngtherm::envelope {

using numerics::Cubic;
using numerics::CubicSet;

struct SpecialPoint {
    double s = 0.0;  // position on the cubics
    EnvelopePointType type = EnvelopePointType::ordinary;
    int variable = -1;    // the unknown that defines it: ln T or ln p, or the ln K of the critical point
    double target = 0.0;  // a crossing's tabulation value (its logarithm)
};

// Every tabulation value can be crossed twice (once on each side of an
// extremum), plus the two extrema and the critical point.
inline constexpr int kMaxSpecialPoints = 4 * kMaxTabulation + 3;

struct SpecialPointList {
    int size = 0;
    std::array<SpecialPoint, kMaxSpecialPoints> item{};
    void add(double s, EnvelopePointType type, int variable = -1, double target = 0.0) {
        if (size < kMaxSpecialPoints) item[size++] = {s, type, variable, target};
    }
};

// The cubics of one interval: n ln K_i, then ln T and ln p. The previous
// point lies at s = u, the current one at s = 0.
struct IntervalCubics {
    const CubicSet& cubic;
    int n = 0;
    double u = 0.0;
};

// Finds the special points of the interval and sorts them by decreasing |s|,
// so that they follow the line from the previous point to the current one.
void find_special_points(const IntervalCubics& interval, const Tabulation& temperatures,
                         const Tabulation& pressures, SpecialPointList& out);

}  // namespace ngtherm::envelope
