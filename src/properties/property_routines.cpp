#include "properties/property_routines.hpp"

#include <cmath>

#include "model/sentinels.hpp"
#include "properties/phase_formulas.hpp"

namespace ngtherm::properties {
namespace {

using equilibrium::EquilibriumResult;

enum class Quantity { Z, rho, u, h, s, cv, cp, w, kappa, jt };

// The outcome of the checks every routine runs before it forms a value.
struct Frame {
    const EquilibriumResult* eq = nullptr;  // null: return `sentinel`
    double sentinel = 0.0;
    double M = 0.0;  // mixture molar mass of set_mixture, kg/mol
};

Frame run_frame(EquilibriumSolver& solver, double T, double p, const Composition& x,
                equilibrium::Detail detail) {
    Frame frame;
    const MixtureSetup setup = set_mixture(T, p, x);
    if (setup.error != MixtureError::none) {
        frame.sentinel = setup.sentinel;
        return frame;
    }
    const EquilibriumResult& eq =
        equilibrium::tpequil(solver, T, p, setup.n, setup.list.data(), setup.x.data(), detail);
    if (eq.error != equilibrium::EquilibriumError::none) {
        frame.sentinel = equilibrium_sentinel(eq.error);
        return frame;
    }
    frame.eq = &eq;
    frame.M = setup.M;
    return frame;
}

double pick(Quantity q, const PhaseProperties& v) {
    switch (q) {
        case Quantity::Z: return v.Z;
        case Quantity::rho: return v.rho;
        case Quantity::u: return v.u;
        case Quantity::h: return v.h;
        case Quantity::s: return v.s;
        case Quantity::cv: return v.cv;
        case Quantity::cp: return v.cp;
        case Quantity::w: return v.w;
        case Quantity::kappa: return v.kappa;
        case Quantity::jt: return v.jt;
    }
    return kSentinelSplitFailed;
}

// w, kappa and jt of a two-phase whole are not defined; a speed of sound
// without a real value has its own sentinel. Z and rho need no phase records.
double property_tp(Quantity q, EquilibriumSolver& solver, double T, double p,
                   const Composition& x, Selector selector, Basis basis) {
    const bool volumetric = q == Quantity::Z || q == Quantity::rho;
    const Frame frame =
        run_frame(solver, T, p, x, volumetric ? equilibrium::Detail::volumetric : equilibrium::Detail::all);
    if (frame.eq == nullptr) return frame.sentinel;
    const EquilibriumResult& eq = *frame.eq;
    const bool whole = !eq.two_phase() || selector == Selector::overall;
    const bool mixed = q == Quantity::w || q == Quantity::kappa || q == Quantity::jt;
    if (whole && eq.two_phase() && mixed) return kSentinelOverallUndefined;
    const equilibrium::PhaseResult& phase = selector == Selector::liquid ? eq.liquid : eq.vapour;
    PhaseProperties values;
    if (volumetric) {
        values = whole ? overall_volumetric(eq, frame.M, basis) : phase_volumetric(eq, phase, basis);
    } else {
        values = whole ? overall_properties(eq, frame.M, basis) : phase_properties(eq, phase, basis);
    }
    const double value = pick(q, values);
    if (q == Quantity::w && std::isnan(value)) return kSentinelNegativeSoundSquare;
    return value;
}

}  // namespace

void solve_state(EquilibriumSolver& solver, double T, double p, const Composition& x) {
    run_frame(solver, T, p, x, equilibrium::Detail::all);
}

double equilibrium_sentinel(equilibrium::EquilibriumError error) {
    return error == equilibrium::EquilibriumError::none ? 0.0 : kSentinelSplitFailed;
}

double z_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector) {
    return property_tp(Quantity::Z, solver, T, p, x, selector, Basis::molar);
}
double rho_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector,
              Basis basis) {
    return property_tp(Quantity::rho, solver, T, p, x, selector, basis);
}
double u_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector,
            Basis basis) {
    return property_tp(Quantity::u, solver, T, p, x, selector, basis);
}
double h_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector,
            Basis basis) {
    return property_tp(Quantity::h, solver, T, p, x, selector, basis);
}
double s_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector,
            Basis basis) {
    return property_tp(Quantity::s, solver, T, p, x, selector, basis);
}
double cv_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector,
             Basis basis) {
    return property_tp(Quantity::cv, solver, T, p, x, selector, basis);
}
double cp_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector,
             Basis basis) {
    return property_tp(Quantity::cp, solver, T, p, x, selector, basis);
}
double w_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector) {
    return property_tp(Quantity::w, solver, T, p, x, selector, Basis::molar);
}
double kappa_tp(EquilibriumSolver& solver, double T, double p, const Composition& x,
                Selector selector) {
    return property_tp(Quantity::kappa, solver, T, p, x, selector, Basis::molar);
}
double jt_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, Selector selector) {
    return property_tp(Quantity::jt, solver, T, p, x, selector, Basis::molar);
}

}  // namespace ngtherm::properties
