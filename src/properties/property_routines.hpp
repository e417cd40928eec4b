// The property routines: engineering values of a mixture at given T and p,
// of the equilibrium state as a whole or of one of its phases.
//
// Every routine takes the solver whose one-entry cache it may answer from,
// T in K, p in MPa, the 21 mole fractions in model order, a phase selector
// and, where the value depends on it, a basis flag. It returns the value, or
// a sentinel (model/sentinels.hpp) in its place:
//   kSentinelPhaseSelector    selector not 0, 1 or 2 (tested first)
//   kSentinelBasisFlag        basis flag not 0 or 1
//   set_mixture's sentinel    fractions, their sum, T or p not admitted
//   tpequil's sentinel        the split failed, or a pure fluid was refused
//   kSentinelNegativeSoundSquare   w_tp: the squared speed of sound is negative
//   kSentinelOverallUndefined      w_tp, kappa_tp, jt_tp of a two-phase whole
//
// Units. Molar basis (kBasisMolar): rho mol/dm3, u and h J/mol, s, cv and cp
// J/(mol K). Mass basis (kBasisMass): kg/m3, kJ/kg, kJ/(kg K), with the gas
// constant 0.008314472 / M. Z, kappa (isentropic exponent), w (m/s) and jt
// (Joule-Thomson coefficient, K/MPa) do not depend on the basis.
//
// When the state splits into two phases, selector 1 gives the value of the
// liquid-like phase and 2 that of the vapour-like phase; selector 0, and every
// selector for a single phase, gives the value of the whole.
#pragma once

#include "properties/mixture_setup.hpp"
#include "equilibrium/tpequil.hpp"
#include "model/mixstate.hpp"

namespace ngtherm::properties {

inline constexpr int kSelectorOverall = 0;
inline constexpr int kSelectorPhase1 = 1;  // liquid-like
inline constexpr int kSelectorPhase2 = 2;  // vapour-like

using equilibrium::EquilibriumSolver;

double z_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector);
double rho_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
              int basis);
double u_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
            int basis);
double h_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
            int basis);
double s_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
            int basis);
double cv_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
             int basis);
double cp_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
             int basis);
double w_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector);
double kappa_tp(EquilibriumSolver& solver, double T, double p, const Composition& x,
                int selector);
double jt_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector);

// The speed of sound in m/s of a phase with the completed record `rec` and
// v/R = V in K/MPa. It uses the molar gas constant and the molar mass of slot
// 16 whatever the basis; kSentinelNegativeSoundSquare when the square of the
// speed is negative or not a number.
double speed_of_sound(const model::ResidualRecord& rec, double V);

// Values of the whole of a two-phase state that are not simple sums.
struct MixedProperties {
    double cp = 0.0, cv = 0.0;              // basis units
    double w = 0.0, kappa = 0.0, jt = 0.0;  // always kSentinelOverallUndefined
};

// Mixes the phases of a two-phase state: cp and cv are the phase values on the
// given basis weighted by the molar (kBasisMolar) or mass (kBasisMass) fraction
// of each phase; w, kappa and jt of the whole are not defined. beta is the
// molar fraction of phase 2; the records are completed in slots 13 to 16.
MixedProperties mix_phases(double beta, double one_minus_beta, const model::ResidualRecord& rec1,
                           const model::ResidualRecord& rec2, int basis);

}  // namespace ngtherm::properties
