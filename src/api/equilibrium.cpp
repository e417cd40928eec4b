// Phase equilibria from C++ (ngtherm/equilibrium.hpp), on the calling
// thread's workspace, the one the C exports use.
#include <cmath>
#include <limits>

#include "equilibrium/solver_constants.hpp"
#include "equilibrium/tpequil.hpp"
#include "ngtherm/equilibrium.hpp"
#include "api/mixture_data.hpp"
#include "api/workspace.hpp"
#include "properties/phase_formulas.hpp"

namespace ngtherm {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string failure_message(const equilibrium::EquilibriumResult& r) {
    if (r.error == equilibrium::kErrorSingleRefused) {
        return "a single component can only be asked for at given temperature and pressure";
    }
    switch (r.split_status) {
        case equilibrium::SplitStatus::not_converged:
            return "the two-phase split did not converge";
        case equilibrium::SplitStatus::no_verdict:
            return "the stability test ended without a verdict";
        case equilibrium::SplitStatus::model_failed:
            return "no density found for a phase";
        default:
            return "the phase equilibrium could not be computed";
    }
}

// Spreads active-order fractions into model order.
Composition model_order(const model::ActiveSet& set, const model::Vector& c) {
    Composition out{};
    for (int i = 0; i < set.n; ++i) out[set.id[i]] = c[i];
    return out;
}

// The whole of a two-phase state from the overall values of the split.
PhaseProperties two_phase_overall(const equilibrium::EquilibriumResult& r,
                                  const PhaseProperties& liquid, const PhaseProperties& vapour) {
    const double R = properties::kRMolar;
    PhaseProperties o;
    o.rho = 1.0 / (model::kR * r.v);
    o.Z = r.p * r.v / r.T;
    o.u = R * r.u;
    o.h = R * r.h;
    o.s = R * r.s;
    o.cv = r.one_minus_beta * liquid.cv + r.beta * vapour.cv;
    o.cp = r.one_minus_beta * liquid.cp + r.beta * vapour.cp;
    o.w = o.kappa = o.jt = kNaN;
    return o;
}

}  // namespace

EquilibriumState equilibrium_state(const Mixture& mixture, double T, double p) {
    detail::check_state_point(T, p);
    const detail::MixtureData& data = detail::mixture_data(mixture);
    const equilibrium::EquilibriumResult& r = equilibrium::tpequil(
        api::thread_workspace().solver, data.set, equilibrium::kModeTP, T, p, data.composition.x.data());
    EquilibriumState state;
    state.T = T;
    state.p = p;
    state.molar_mass = data.composition.molar_mass;
    if (r.error != equilibrium::kErrorNone) {
        state.outcome = r.error == equilibrium::kErrorSingleRefused
                            ? EquilibriumOutcome::single_component_refused
                            : EquilibriumOutcome::split_failed;
        state.message = failure_message(r);
        return state;
    }
    state.beta = r.beta;
    state.x = model_order(data.set, r.x);
    state.y = model_order(data.set, r.y);
    if (!r.two_phase()) {
        // One phase is the feed itself; its properties are those of the feed's state.
        const PhaseState feed = single_phase_state(mixture, T, p, Root::stable);
        state.phases = 1;
        state.overall = state.liquid = state.vapour = feed.props;
        state.liquid_molar_mass = state.vapour_molar_mass = state.molar_mass;
        return state;
    }
    state.phases = 2;
    state.liquid = properties::phase_properties(r.rec1, r.Z1, T, p);
    state.vapour = properties::phase_properties(r.rec2, r.Z2, T, p);
    state.liquid_molar_mass = r.rec1[16];
    state.vapour_molar_mass = r.rec2[16];
    state.overall = two_phase_overall(r, state.liquid, state.vapour);
    return state;
}

}  // namespace ngtherm
