// The property routines: engineering values of a mixture at given T and p,
// of the equilibrium state as a whole or of one of its phases.
//
// Every routine takes the solver whose result cache it may answer from,
// T in K, p in MPa, the 21 mole fractions in model order, a phase selector
// and, where the value depends on it, a basis. It returns the value, or
// a sentinel (model/sentinels.hpp) in its place:
//   set_mixture's sentinel    fractions, their sum, T or p not admitted
//   kSentinelSplitFailed      the split failed
//   kSentinelNegativeSoundSquare   w_tp: the squared speed of sound is negative
//   kSentinelOverallUndefined      w_tp, kappa_tp, jt_tp of a two-phase whole
//
// Units. Molar basis: rho mol/dm3, u and h J/mol, s, cv and cp
// J/(mol K). Mass basis: kg/m3, kJ/kg, kJ/(kg K), with the gas
// constant 0.008314472 / M. Z, kappa (isentropic exponent), w (m/s) and jt
// (Joule-Thomson coefficient, K/MPa) do not depend on the basis.
//
// When the state splits into two phases, Selector::liquid gives the value of
// the liquid-like phase and Selector::vapour that of the vapour-like phase;
// Selector::overall, and every selector for a single phase, gives the value of
// the whole.
#pragma once

#include "equilibrium/tpequil.hpp"
#include "properties/mixture_setup.hpp"

namespace ngtherm::properties {

// Which part of the equilibrium state a routine reports.
enum class Selector {
    overall,  // the whole
    liquid,   // the liquid-like phase of a split (the whole for one phase)
    vapour,   // the vapour-like phase of a split (the whole for one phase)
};

using equilibrium::EquilibriumSolver;

double z_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector);
double rho_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector,
              Basis basis);
double u_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector,
            Basis basis);
double h_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector,
            Basis basis);
double s_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector,
            Basis basis);
double cv_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector,
             Basis basis);
double cp_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector,
             Basis basis);
double w_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector);
double kappa_tp(EquilibriumSolver& solver, double T, double p, const Composition& x,
                Selector selector);
double jt_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector);

// Solves the state for every routine at once, so that a caller asking for its
// caloric values after Z (which needs no phase records) solves it once.
void solve_state(EquilibriumSolver& solver, double T, double p, const Composition& x);

// The sentinel that stands for a failed equilibrium calculation.
double equilibrium_sentinel(equilibrium::EquilibriumError error);

}  // namespace ngtherm::properties
