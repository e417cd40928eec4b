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

// 0-based positions in the external order, named as the model's Component.
enum class ExternalPosition : int {
    CH4, N2, CO2, C2H6, C3H8, nC4, iC4, nC5, iC5, nC6, nC7,
    nC8, nC9, nC10, He, Ar, H2, O2, CO, H2O, H2S
};

constexpr int index(ExternalPosition e) { return static_cast<int>(e); }

// The model component at an external position. The first 14 coincide;
// helium, argon, hydrogen, oxygen, carbon monoxide, water and hydrogen
// sulphide move.
constexpr Component model_component(ExternalPosition e) {
    switch (e) {
        case ExternalPosition::He: return Component::He;
        case ExternalPosition::Ar: return Component::Ar;
        case ExternalPosition::H2: return Component::H2;
        case ExternalPosition::O2: return Component::O2;
        case ExternalPosition::CO: return Component::CO;
        case ExternalPosition::H2O: return Component::H2O;
        case ExternalPosition::H2S: return Component::H2S;
        default: return static_cast<Component>(index(e));
    }
}

// kExternalToModel[e] is the 0-based model number of the component at 0-based
// external position e.
// Mole percent per mole fraction.
inline constexpr double kPercent = 100.0;

inline constexpr std::array<int, kComponentCount> kExternalToModel = [] {
    std::array<int, kComponentCount> to_model{};
    for (int e = 0; e < kComponentCount; ++e) {
        to_model[e] = static_cast<int>(model_component(static_cast<ExternalPosition>(e)));
    }
    return to_model;
}();

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
