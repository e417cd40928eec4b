// Engineering properties from phase records: the one place where h, s, u, cp,
// cv, w, kappa and jt are formed, for one phase and for the whole of a
// two-phase state.
#pragma once

#include <limits>

#include "equilibrium/tpequil.hpp"
#include "model/phase_record.hpp"
#include "ngtherm/state.hpp"
#include "properties/mixture_setup.hpp"

namespace ngtherm::properties {

// Molar gas constant in J/(mol K), used by the speed of sound on every basis.
// The value of a property that a state does not have (w, kappa and jt of two phases).
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kRMolar = model::kR * 1000.0;

// The properties of one phase with compressibility factor Z and v/R = V
// (K/MPa) at (T, p), on the given basis (the fields then hold the units of the
// basis; w, kappa, jt and Z do not depend on it). w is NaN when its square is
// negative or not a number; `w_squared_negative` is set when it is negative.
PhaseProperties phase_properties(const model::PhaseRecord& rec, double Z, double V, double T,
                                 double p, Basis basis, bool* w_squared_negative = nullptr);

// The properties of one phase of an equilibrium state.
PhaseProperties phase_properties(const equilibrium::EquilibriumResult& eq,
                                 const equilibrium::PhaseResult& phase, Basis basis);

// Z and rho of one phase, and of the whole, alone (the other fields 0): all a
// state solved with equilibrium::Detail::volumetric gives, to the same bits.
PhaseProperties phase_volumetric(const equilibrium::EquilibriumResult& eq,
                                 const equilibrium::PhaseResult& phase, Basis basis);
PhaseProperties overall_volumetric(const equilibrium::EquilibriumResult& eq, double M, Basis basis);

// The whole of an equilibrium state of mixture molar mass M (kg/mol): Z, rho,
// u, h and s from the overall sums; cp and cv of one phase from its record, of
// two phases weighted by the molar or mass fraction of each phase; w, kappa
// and jt of one phase from its record, of two phases not defined (NaN).
PhaseProperties overall_properties(const equilibrium::EquilibriumResult& eq, double M, Basis basis);

}  // namespace ngtherm::properties
