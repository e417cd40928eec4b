#include "properties/property_routines.hpp"

#include <cmath>

#include "model/sentinels.hpp"
#include "properties/phase_formulas.hpp"

namespace ngtherm::properties {
namespace {

using equilibrium::EquilibriumResult;
using model::ResidualRecord;

enum class Quantity { Z, rho, u, h, s, cv, cp, w, kappa, jt };

// J per kJ: R / 1000 turns v/R in K/MPa into a volume in the basis unit.
constexpr double kPerKilo = 1000.0;

// The outcome of the checks every routine runs before it forms a value.
struct Frame {
    const EquilibriumResult* eq = nullptr;  // null: return `sentinel`
    double sentinel = 0.0;
    double M = 0.0;  // mixture molar mass of set_mixture, kg/mol
};

// Unsigned comparisons, so that negative codes fail as well.
bool selector_admitted(int selector) {
    return static_cast<unsigned>(selector) <= static_cast<unsigned>(kSelectorPhase2);
}
bool basis_admitted(int basis) {
    return static_cast<unsigned>(basis) <= static_cast<unsigned>(properties::kBasisMass);
}

Frame run_frame(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
                int basis) {
    Frame frame;
    if (!selector_admitted(selector)) {
        frame.sentinel = kSentinelPhaseSelector;
        return frame;
    }
    if (!basis_admitted(basis)) {
        frame.sentinel = kSentinelBasisFlag;
        return frame;
    }
    const properties::MixtureSetup setup = properties::set_mixture(properties::kModeTemperaturePressure, T, p, x);
    if (setup.error != properties::MixtureError::kNone) {
        frame.sentinel = setup.sentinel;
        return frame;
    }
    const EquilibriumResult& eq = equilibrium::tpequil(
        solver, properties::kModeTemperaturePressure, T, p, setup.n, setup.list.data(), setup.x.data());
    if (eq.error > 0) {
        frame.sentinel = eq.sentinel;
        return frame;
    }
    frame.eq = &eq;
    frame.M = setup.M;
    return frame;
}

// One phase as the formulas see it: its record (molar mass in slot 16), its
// compressibility factor and its v/R.
struct PhaseView {
    const ResidualRecord* rec;
    double Z;
    double V;  // K/MPa
};

// cp/R and cv/R of a phase: residual plus ideal-gas part.
double cp_over_R(const ResidualRecord& r) { return r[5] + r[15]; }
double cv_over_R(const ResidualRecord& r) { return r[15] - 1.0 + r[12]; }

double phase_value(Quantity q, const PhaseView& ph, double T, double p, int basis) {
    const ResidualRecord& r = *ph.rec;
    const double R = properties::gas_constant(basis, r[16]);
    const double cp_R = cp_over_R(r);
    const double cv_R = cv_over_R(r);
    switch (q) {
        case Quantity::Z: return ph.Z;
        case Quantity::rho: return 1.0 / ((R / kPerKilo) * ph.V);
        case Quantity::u: return R * (r[3] + r[13] - T * ph.Z);
        case Quantity::h: return R * (r[3] + r[13]);
        case Quantity::s: return R * (r[4] + r[14]);
        case Quantity::cv: return R * cv_R;
        case Quantity::cp: return R * cp_R;
        case Quantity::w: return speed_of_sound(r, ph.V);
        case Quantity::kappa: return -ph.V * (cp_R / cv_R) * r[8] / p;
        case Quantity::jt: return -r[7] / (cv_R + T * r[9] * r[11]);
    }
    return kSentinelSplitFailed;
}

PhaseView selected_phase(const EquilibriumResult& eq, int selector) {
    if (selector == kSelectorPhase1) return {&eq.rec1, eq.Z1, eq.T * eq.Z1 / eq.p};
    return {&eq.rec2, eq.Z2, eq.T * eq.Z2 / eq.p};
}

double mixed_value(Quantity q, const MixedProperties& m) {
    switch (q) {
        case Quantity::cv: return m.cv;
        case Quantity::cp: return m.cp;
        case Quantity::w: return m.w;
        case Quantity::kappa: return m.kappa;
        default: return m.jt;
    }
}

// The value of the whole: Z, rho, u, h and s from the overall sums of the
// equilibrium (with the mixture's own molar mass), the rest from record 1 for
// one phase or from the mixed phases for two.
double overall_value(Quantity q, const EquilibriumResult& eq, double M, int basis) {
    const double R = properties::gas_constant(basis, M);
    switch (q) {
        case Quantity::Z: return eq.p * eq.v / eq.T;
        case Quantity::rho: return 1.0 / ((R / kPerKilo) * eq.v);
        case Quantity::u: return R * eq.u;
        case Quantity::h: return R * eq.h;
        case Quantity::s: return R * eq.s;
        default: break;
    }
    if (eq.two_phase()) {
        return mixed_value(q, mix_phases(eq.beta, eq.one_minus_beta, eq.rec1, eq.rec2, basis));
    }
    const PhaseView whole{&eq.rec1, eq.p * eq.v / eq.T, eq.v};
    return phase_value(q, whole, eq.T, eq.p, basis);
}

double property_tp(Quantity q, EquilibriumSolver& solver, double T, double p,
                   const Composition& x, int selector, int basis) {
    const Frame frame = run_frame(solver, T, p, x, selector, basis);
    if (frame.eq == nullptr) return frame.sentinel;
    const EquilibriumResult& eq = *frame.eq;
    if (eq.two_phase() && selector != kSelectorOverall) {
        return phase_value(q, selected_phase(eq, selector), eq.T, eq.p, basis);
    }
    return overall_value(q, eq, frame.M, basis);
}

}  // namespace

double z_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector) {
    return property_tp(Quantity::Z, solver, T, p, x, selector, properties::kBasisMolar);
}
double rho_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
              int basis) {
    return property_tp(Quantity::rho, solver, T, p, x, selector, basis);
}
double u_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
            int basis) {
    return property_tp(Quantity::u, solver, T, p, x, selector, basis);
}
double h_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
            int basis) {
    return property_tp(Quantity::h, solver, T, p, x, selector, basis);
}
double s_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
            int basis) {
    return property_tp(Quantity::s, solver, T, p, x, selector, basis);
}
double cv_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
             int basis) {
    return property_tp(Quantity::cv, solver, T, p, x, selector, basis);
}
double cp_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector,
             int basis) {
    return property_tp(Quantity::cp, solver, T, p, x, selector, basis);
}
double w_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector) {
    return property_tp(Quantity::w, solver, T, p, x, selector, properties::kBasisMolar);
}
double kappa_tp(EquilibriumSolver& solver, double T, double p, const Composition& x,
                int selector) {
    return property_tp(Quantity::kappa, solver, T, p, x, selector, properties::kBasisMolar);
}
double jt_tp(EquilibriumSolver& solver, double T, double p, const Composition& x, int selector) {
    return property_tp(Quantity::jt, solver, T, p, x, selector, properties::kBasisMolar);
}

double speed_of_sound(const ResidualRecord& r, double V) {
    const double gamma = cp_over_R(r) / cv_over_R(r);
    const double w2 = -V * V * gamma * r[8] * kRMolar / r[16];
    // A radicand that is not a number has no real root either.
    if (!(w2 >= 0.0)) return kSentinelNegativeSoundSquare;
    return std::sqrt(w2);
}

MixedProperties mix_phases(double beta, double one_minus_beta, const ResidualRecord& rec1,
                           const ResidualRecord& rec2, int basis) {
    double w1 = one_minus_beta;
    double w2 = beta;
    if (basis != properties::kBasisMolar) {
        // On the mass basis the phases weigh by mass: the mass fraction of phase 2.
        w2 = beta / (one_minus_beta * rec1[16] / rec2[16] + beta);
        w1 = 1.0 - w2;
    }
    const double R1 = properties::gas_constant(basis, rec1[16]);
    const double R2 = properties::gas_constant(basis, rec2[16]);
    MixedProperties m;
    m.cp = w1 * (R1 * cp_over_R(rec1)) + w2 * (R2 * cp_over_R(rec2));
    m.cv = w1 * (R1 * cv_over_R(rec1)) + w2 * (R2 * cv_over_R(rec2));
    m.w = m.kappa = m.jt = kSentinelOverallUndefined;
    return m;
}

}  // namespace ngtherm::properties
