// Engineering properties of one phase from its completed residual property
// record (slots 13 to 15 holding h0/R, s0/R with mixing and pressure terms,
// and cp0/R of the phase), molar basis.
#pragma once

#include "model/mixstate.hpp"
#include "ngtherm/state.hpp"

namespace ngtherm::properties {

// Molar gas constant in J/(mol K), used by the speed of sound on every basis.
inline constexpr double kRMolar = model::kR * 1000.0;

// The phase formulas at (T, p) for a phase with compressibility factor Z.
// `w_squared_negative` is set when the radicand of the speed of sound is below
// zero; w is then NaN.
PhaseProperties phase_properties(const model::ResidualRecord& rec, double Z, double T, double p,
                                 bool* w_squared_negative = nullptr);

}  // namespace ngtherm::properties
