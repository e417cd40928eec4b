// Phase equilibrium at given temperature and pressure: whether a mixture is one
// phase or splits into a liquid-like and a vapour-like phase, how much of each
// and of what composition, with the properties of each phase and of the whole.
//
// Units as in state.hpp: T in K, p in MPa, compositions as mole fractions in
// model order, molar properties in J/mol and J/(mol K), density in mol/dm3.
#pragma once

#include <string>

#include "ngtherm/state.hpp"

namespace ngtherm {

enum class EquilibriumOutcome {
    success,
    split_failed,  // the stability test or the split did not converge, or no density
};

struct EquilibriumState {
    double T = 0, p = 0;
    EquilibriumOutcome outcome = EquilibriumOutcome::success;
    std::string message;  // empty on success

    int phases = 0;     // 1 or 2 on success
    // Molar fraction of the vapour-like phase. With one phase: 1 when it is
    // vapour-like, 0 when it is liquid-like.
    double beta = 0;
    // Liquid-like (x) and vapour-like (y) phase compositions; both equal the
    // feed for one phase.
    Composition x{}, y{};
    // Each phase with the single-phase formulas; for one phase both hold it.
    PhaseProperties liquid, vapour;
    double liquid_molar_mass = 0, vapour_molar_mass = 0;  // kg/mol
    // The whole: for one phase exactly the single-phase state of the feed. For
    // two phases Z, rho, u, h and s of the whole, cv and cp as mole-fraction
    // weighted means of the phases, and w, kappa and jt not defined (NaN).
    PhaseProperties overall;
    double molar_mass = 0;  // of the feed, kg/mol

    bool ok() const { return outcome == EquilibriumOutcome::success; }
};

// The equilibrium state at (T, p). Each thread keeps its own solver with a
// cache of its last 256 equilibria, so a request identical to one of them is
// answered without computing. Throws InputError for T or p outside the limits
// named at InputError (ngtherm/state.hpp).
EquilibriumState equilibrium_state(const Mixture& mixture, double T, double p);

}  // namespace ngtherm
