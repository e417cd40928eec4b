#include "properties/phase_formulas.hpp"

#include <cmath>
#include <limits>

namespace ngtherm::properties {
namespace {

// J per kJ: R / 1000 turns v/R in K/MPa into a volume in the basis unit.
constexpr double kPerKilo = 1000.0;

// Density in the basis unit from the basis gas constant R and v/R = V.
double density(double R, double V) { return 1.0 / ((R / kPerKilo) * V); }

// cp and cv of the whole of a two-phase state, weighted by the molar or mass
// fraction of each phase.
void mix_phases(const equilibrium::EquilibriumResult& eq, Basis basis, PhaseProperties& whole) {
    double w1 = eq.one_minus_beta;
    double w2 = eq.beta;
    const double M1 = eq.liquid.record.residual.molar_mass;
    const double M2 = eq.vapour.record.residual.molar_mass;
    if (basis == Basis::mass) {
        w2 = eq.beta / (eq.one_minus_beta * M1 / M2 + eq.beta);
        w1 = 1.0 - w2;
    }
    const PhaseProperties liquid = phase_properties(eq, eq.liquid, basis);
    const PhaseProperties vapour = phase_properties(eq, eq.vapour, basis);
    whole.cp = w1 * liquid.cp + w2 * vapour.cp;
    whole.cv = w1 * liquid.cv + w2 * vapour.cv;
    whole.w = whole.kappa = whole.jt = kNaN;
}

}  // namespace

PhaseProperties phase_properties(const model::PhaseRecord& rec, double Z, double V, double T,
                                 double p, Basis basis, bool* w_squared_negative) {
    const model::ResidualProperties& r = rec.residual;
    const model::IdealGasPart& ig = rec.ideal;
    const double R = gas_constant(basis, r.molar_mass);
    const double cp_R = r.cp_r + ig.cp0;
    const double cv_R = ig.cp0 - 1.0 + r.cv_r;
    PhaseProperties out;
    out.Z = Z;
    out.rho = density(R, V);
    out.u = R * (r.h_r + ig.h0 - T * Z);
    out.h = R * (r.h_r + ig.h0);
    out.s = R * (r.s_r + ig.s0);
    out.cv = R * cv_R;
    out.cp = R * cp_R;
    const double w2 = -V * V * (cp_R / cv_R) * r.dpdV * kRMolar / r.molar_mass;
    if (w_squared_negative) *w_squared_negative = w2 < 0.0;
    out.w = w2 >= 0.0 ? std::sqrt(w2) : kNaN;
    out.kappa = -V * (cp_R / cv_R) * r.dpdV / p;
    out.jt = -r.V_minus_TdVdT / (cv_R + T * r.dVdT * r.dpdT);
    return out;
}

PhaseProperties phase_properties(const equilibrium::EquilibriumResult& eq,
                                 const equilibrium::PhaseResult& phase, Basis basis) {
    return phase_properties(phase.record, phase.Z, eq.T * phase.Z / eq.p, eq.T, eq.p, basis);
}

PhaseProperties phase_volumetric(const equilibrium::EquilibriumResult& eq,
                                 const equilibrium::PhaseResult& phase, Basis basis) {
    PhaseProperties out;
    out.Z = phase.Z;
    out.rho = density(gas_constant(basis, phase.record.residual.molar_mass), eq.T * phase.Z / eq.p);
    return out;
}

PhaseProperties overall_volumetric(const equilibrium::EquilibriumResult& eq, double M, Basis basis) {
    PhaseProperties out;
    out.Z = eq.p * eq.v / eq.T;
    out.rho = density(gas_constant(basis, M), eq.v);
    return out;
}

PhaseProperties overall_properties(const equilibrium::EquilibriumResult& eq, double M, Basis basis) {
    const double Z = eq.p * eq.v / eq.T;
    PhaseProperties whole;
    if (eq.two_phase()) {
        mix_phases(eq, basis, whole);
    } else {
        whole = phase_properties(eq.liquid.record, Z, eq.v, eq.T, eq.p, basis);
    }
    const PhaseProperties volumetric = overall_volumetric(eq, M, basis);
    const double R = gas_constant(basis, M);
    whole.Z = volumetric.Z;
    whole.rho = volumetric.rho;
    whole.u = R * eq.u;
    whole.h = R * eq.h;
    whole.s = R * eq.s;
    return whole;
}

}  // namespace ngtherm::properties
