// Saturation points from C++ (ngtherm/saturation.hpp): the window checked and
// widened to hold the given state, the points found on the line, in model order.
#include "ngtherm/saturation.hpp"

#include <algorithm>
#include <cmath>
#include <memory>

#include "api/mixture_data.hpp"
#include "envelope/phase_envelope.hpp"
#include "envelope/saturation.hpp"
#include "equilibrium/water_dew.hpp"

namespace ngtherm {
namespace {

// A given pressure widens the window to this factor below and above it, a
// given temperature the minimum temperature to this factor below it, so that
// the line is traced through the given value and a little beyond.
constexpr double kWindowMargin = 2.0;
// Points of the trace: the window may reach up to 1000 MPa.
constexpr int kSaturationTracePoints = 1000;

envelope::TraceSettings window(const SaturationOptions& o) {
    if (!(o.beta >= 0.0 && o.beta <= 1.0)) throw InputError("beta must lie between 0 and 1");
    envelope::TraceSettings s;
    s.beta = o.beta;
    s.p_min = o.p_min;
    s.p_max = o.p_max;
    s.T_min = o.T_min;
    s.point_limit = kSaturationTracePoints;
    if (envelope::check_trace_parameters(s) != 0.0) {
        throw InputError("the window must have 0.0001 <= p_min <= 2.5 MPa, p_min <= p_max <= 1000 MPa and "
                         "50 <= T_min <= 550 K");
    }
    return s;
}

SaturationPoint public_point(const model::ActiveSet& set, const envelope::SaturationSolution& s) {
    SaturationPoint point;
    point.T = s.point.T;
    point.p = s.point.p;
    point.branch = s.branch;
    point.residual = s.residual;
    point.status = s.status;
    for (int i = 0; i < set.n; ++i) point.incipient[set.id[i]] = s.incipient[i];
    return point;
}

Saturation solve(const Mixture& mixture, const envelope::SaturationRequest& request) {
    const detail::MixtureData& data = detail::mixture_data(mixture);
    const auto tracer = std::make_unique<envelope::EnvelopeTracer>();
    const envelope::SaturationOutcome outcome =
        envelope::saturation_points(*tracer, data.set, data.composition.x.data(), request);
    Saturation out;
    out.status = outcome.status;
    for (const envelope::SaturationSolution& s : outcome.points) {
        out.points.push_back(public_point(data.set, s));
    }
    return out;
}

// Largest residual of a converged water dew point.
constexpr double kWaterDewResidual = 1e-10;

Saturation water_dew(const model::ActiveSet& set, const equilibrium::WaterDewPoint& w) {
    Saturation out;
    if (w.status == equilibrium::WaterDewStatus::no_water || w.status == equilibrium::WaterDewStatus::no_point) {
        out.status = SaturationStatus::no_point;
        return out;
    }
    SaturationPoint point;
    point.T = w.T;
    point.p = w.p;
    point.branch = SaturationBranch::water;
    point.residual = w.residual;
    const bool converged = w.status == equilibrium::WaterDewStatus::converged && w.residual <= kWaterDewResidual;
    point.status = converged ? SaturationStatus::converged : SaturationStatus::not_converged;
    for (int i = 0; i < set.n; ++i) point.incipient[set.id[i]] = w.incipient[i];
    out.status = point.status;
    out.points.push_back(point);
    return out;
}

}  // namespace

Saturation water_dew_temperature(const Mixture& mixture, double p) {
    detail::check_state_point(300.0, p);
    const detail::MixtureData& data = detail::mixture_data(mixture);
    return water_dew(data.set, equilibrium::water_dew_temperature(data.set, data.composition.x.data(), p));
}

Saturation water_dew_pressure(const Mixture& mixture, double T) {
    detail::check_state_point(T, 1.0);
    const detail::MixtureData& data = detail::mixture_data(mixture);
    return water_dew(data.set, equilibrium::water_dew_pressure(data.set, data.composition.x.data(), T));
}

Saturation saturation_temperatures(const Mixture& mixture, double p, const SaturationOptions& options) {
    detail::check_state_point(300.0, p);  // the pressure alone: T is the unknown
    envelope::SaturationRequest r{envelope::SaturationTarget::temperatures_at_pressure, p, window(options)};
    r.settings.p_min = std::max(std::min(r.settings.p_min, p / kWindowMargin), envelope::kMinPressureLow);
    r.settings.p_max = std::min(std::max(r.settings.p_max, p * kWindowMargin), envelope::kMaxPressureHigh);
    return solve(mixture, r);
}

Saturation saturation_pressures(const Mixture& mixture, double T, const SaturationOptions& options) {
    detail::check_state_point(T, 1.0);  // the temperature alone: p is the unknown
    envelope::SaturationRequest r{envelope::SaturationTarget::pressures_at_temperature, T, window(options)};
    r.settings.T_min = std::max(std::min(r.settings.T_min, T / kWindowMargin), envelope::kMinTemperatureLow);
    return solve(mixture, r);
}

Saturation cricondentherm(const Mixture& mixture, const SaturationOptions& options) {
    return solve(mixture, {envelope::SaturationTarget::cricondentherm, 0.0, window(options)});
}

Saturation cricondenbar(const Mixture& mixture, const SaturationOptions& options) {
    return solve(mixture, {envelope::SaturationTarget::cricondenbar, 0.0, window(options)});
}

}  // namespace ngtherm
