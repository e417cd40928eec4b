// Single-phase states from C++ (ngtherm/state.hpp): the prepared Mixture and
// the state of one phase at (T, p).
#include <array>
#include <charconv>
#include <cmath>
#include <string>

#include "api/check_input.hpp"
#include "model/ideal_gas.hpp"
#include "model/mixstate.hpp"
#include "api/mixture_data.hpp"
#include "properties/mixture_setup.hpp"
#include "properties/phase_formulas.hpp"

namespace ngtherm {
namespace {

std::shared_ptr<const detail::MixtureData> prepare(const Composition& fractions) {
    double sum = 0.0;
    for (int i = 0; i < kComponentCount; ++i) {
        const double x = fractions[i];
        if (!std::isfinite(x)) {
            throw InputError("mole fraction of " + std::string(component_id(i)) + " is not a finite number");
        }
        if (x < 0.0) throw InputError("mole fraction of " + std::string(component_id(i)) + " is negative");
        if (x >= kMinActiveFraction) sum += x;
    }
    if (!(sum > 0.0) || !std::isfinite(sum)) throw InputError("no component has a mole fraction of at least 1e-8");

    auto data = std::make_shared<detail::MixtureData>();
    std::array<int, kComponentCount> ids{};
    std::array<double, kComponentCount> x{};
    int n = 0;
    for (int i = 0; i < kComponentCount; ++i) {
        if (fractions[i] < kMinActiveFraction) continue;
        ids[n] = i;
        x[n] = fractions[i] / sum;
        data->fractions[i] = x[n];
        ++n;
    }
    model::make_active_set(std::span<const int>(ids.data(), n), data->set);
    model::prepare_composition(data->set, x.data(), data->composition);
    return data;
}

// The shortest text that reads back to `value`, for messages.
std::string shortest(double value) {
    std::array<char, 32> buffer{};
    return std::string(buffer.data(), std::to_chars(buffer.data(), buffer.data() + buffer.size(), value).ptr);
}

model::RootPreference root_preference(Root root) {
    switch (root) {
        case Root::liquid: return model::RootPreference::liquid;
        case Root::vapour: return model::RootPreference::vapour;
        case Root::stable: break;
    }
    return model::RootPreference::stable;
}

}  // namespace

void detail::check_state_point(double T, double p) {
    // The general limits of the C functions' input check, and the lowest
    // pressure their property routines evaluate, so that a state the C
    // functions refuse is refused here too.
    if (!(T > api::kTemperatureMin && T <= api::kTemperatureMax)) {
        throw InputError("temperature " + shortest(T) +
                         " K is outside the general limits: above 60 K, at most 2000 K");
    }
    if (!(p > 0.0 && p <= api::kPressureMax)) {
        throw InputError("pressure " + shortest(p) +
                         " MPa is outside the general limits: above 0 MPa, at most 1000 MPa");
    }
    if (p < properties::kStatePressureMin) {
        throw InputError("pressure " + shortest(p) +
                         " MPa is below 1e-9 MPa, the lowest the equation of state is evaluated at");
    }
}

void check_state_limits(double T, double p) { detail::check_state_point(T, p); }

const detail::MixtureData& detail::mixture_data(const Mixture& mixture) { return *mixture.data_; }

Mixture::Mixture(const Composition& fractions) : data_(prepare(fractions)) {}

const Composition& Mixture::fractions() const { return data_->fractions; }
int Mixture::active_count() const { return data_->set.n; }
double Mixture::molar_mass() const { return data_->composition.molar_mass; }

MassProperties to_mass_basis(const PhaseProperties& m, double molar_mass) {
    // J/mol -> kJ/kg is a division by M in kg/mol times 1000 J/kJ.
    const double per_mass = 1.0 / (1000.0 * molar_mass);
    MassProperties r;
    r.rho = m.rho * molar_mass * 1000.0;
    r.Z = m.Z;
    r.u = m.u * per_mass;
    r.h = m.h * per_mass;
    r.s = m.s * per_mass;
    r.cv = m.cv * per_mass;
    r.cp = m.cp * per_mass;
    r.w = m.w;
    r.kappa = m.kappa;
    r.jt = m.jt;
    return r;
}

PhaseState single_phase_state(const Mixture& mixture, double T, double p, Root root) {
    detail::check_state_point(T, p);
    const detail::MixtureData& d = detail::mixture_data(mixture);
    PhaseState state;
    state.T = T;
    state.p = p;
    state.molar_mass = d.composition.molar_mass;
    model::PhaseRecord rec;
    constexpr model::MixRequest kRequest{model::Fugacity::none, model::TpDerivatives::second};
    const model::MixResult r = model::mixstate(d.set, d.composition, kRequest, root_preference(root),
                                               T, p, nullptr, rec.residual);
    if (!r.ok()) {
        state.status = StateStatus::no_density;
        state.message = "no density root found at this temperature and pressure";
        return state;
    }
    // A root of the equation past the vapour branch (inside the two-phase region
    // of a pure fluid, say) is no vapour, whatever its density.
    if (root == Root::vapour && !model::on_vapour_branch(d.set, d.composition, T, r.rho, r.Z)) {
        state.status = StateStatus::no_such_root;
        state.message = "no vapour-like root at this temperature and pressure";
        return state;
    }
    state.side = r.side == model::Side::liquid_like ? Side::liquid_like : Side::vapour_like;
    rec.ideal = model::ideal_part(d.set, d.composition.x.data(), T, p);
    bool negative_w2 = false;
    state.props = properties::phase_properties(rec, r.Z, T * r.Z / p, T, p, properties::Basis::molar,
                                               &negative_w2);
    if (negative_w2) {
        state.status = StateStatus::negative_sound_speed;
        state.message = "the square of the speed of sound is negative (mechanically unstable root)";
    }
    return state;
}

}  // namespace ngtherm
