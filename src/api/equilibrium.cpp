// Phase equilibria from C++ (ngtherm/equilibrium.hpp), on the calling
// thread's workspace, the one the C exports use.

#include "equilibrium/solver_constants.hpp"
#include "equilibrium/tpequil.hpp"
#include "ngtherm/equilibrium.hpp"
#include "api/mixture_data.hpp"
#include "api/workspace.hpp"
#include "properties/phase_formulas.hpp"

namespace ngtherm {
namespace {


std::string failure_message(const equilibrium::EquilibriumResult& r) {
    switch (r.split_status) {
        case equilibrium::SplitStatus::not_converged:
            return "the two-phase split did not converge";
        case equilibrium::SplitStatus::no_verdict:
            return "the stability test ended without a verdict";
        case equilibrium::SplitStatus::model_failed:
            return "no density found for a phase";
        case equilibrium::SplitStatus::check_failed:
            return "the converged split failed its check of fugacities, balance and Gibbs energy";
        case equilibrium::SplitStatus::no_liquid_water:
            return "the feed holds water, and the model has no liquid water at this temperature and pressure "
                   "(below about 228 K): the phase its water would form is outside the model";
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

}  // namespace

EquilibriumState equilibrium_state(const Mixture& mixture, double T, double p) {
    detail::check_state_point(T, p);
    const detail::MixtureData& data = detail::mixture_data(mixture);
    const equilibrium::EquilibriumResult& r = equilibrium::tpequil(
        api::thread_workspace().solver, data.set, T, p, data.composition.x.data());
    EquilibriumState state;
    state.T = T;
    state.p = p;
    state.molar_mass = data.composition.molar_mass;
    if (r.error != equilibrium::EquilibriumError::none) {
        state.outcome = EquilibriumOutcome::split_failed;
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
    const properties::Basis molar = properties::Basis::molar;
    state.liquid = properties::phase_properties(r, r.liquid, molar);
    state.vapour = properties::phase_properties(r, r.vapour, molar);
    state.liquid_molar_mass = r.liquid.record.residual.molar_mass;
    state.vapour_molar_mass = r.vapour.record.residual.molar_mass;
    state.overall = properties::overall_properties(r, state.molar_mass, molar);
    return state;
}

}  // namespace ngtherm
