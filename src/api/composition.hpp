// The bridge between the caller's view of a gas (21 mole percentages in the
// external order) and the model's view (mole fractions in model order, and
// only the components that are present).
//
// External order: methane, nitrogen, carbon dioxide, ethane, propane, n-butane,
// isobutane, n-pentane, isopentane, n-hexane, n-heptane, n-octane, n-nonane,
// n-decane, helium, argon, hydrogen, oxygen, carbon monoxide, water, hydrogen
// sulphide. Model order: ngtherm::Component.
#pragma once

#include <array>

#include "ngtherm/components.hpp"

namespace ngtherm::api {

// kExternalToModel[e] is the 0-based model number of the component at 0-based
// external position e. The first 14 coincide; helium, argon, hydrogen, oxygen,
// carbon monoxide, water and hydrogen sulphide move.
inline constexpr std::array<int, kComponentCount> kExternalToModel{
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 19, 20, 14, 15, 16, 17, 18};

// The inverse: kModelToExternal[m] is the external position of model number m.
inline constexpr std::array<int, kComponentCount> kModelToExternal = [] {
    std::array<int, kComponentCount> inverse{};
    for (int e = 0; e < kComponentCount; ++e) inverse[kExternalToModel[e]] = e;
    return inverse;
}();

// Copies the 21 mole percentages `composition` bit for bit into `echo` (the
// two may be the same array) and writes the model-order mole fractions into
// `x`: x[m] = echo[kModelToExternal[m]] / 100.0. Cannot fail.
void sort_composition(const double* composition, double* echo, Composition& x);

}  // namespace ngtherm::api
