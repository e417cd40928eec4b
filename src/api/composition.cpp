#include "api/composition.hpp"

#include <cstring>

namespace ngtherm::api {
namespace {

// Percent to fraction: a division, so that 100 mol-% gives exactly 1.

}  // namespace

void sort_composition(const double* composition, double* echo, Composition& x) {
    // memmove keeps every bit (NaN payloads included) and allows echo == composition.
    std::memmove(echo, composition, sizeof(double) * kComponentCount);
    for (int m = 0; m < kComponentCount; ++m) x[m] = echo[kModelToExternal[m]] / kPercent;
}

}  // namespace ngtherm::api
