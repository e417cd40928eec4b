// The public C++ access to the flash and the phase envelope: the same frames
// and values as the C exports.
#include <limits>
#include <memory>

#include "api/check_input.hpp"
#include "api/composition.hpp"
#include "api/status_codes.hpp"
#include "envelope/flash.hpp"
#include "envelope/phase_envelope.hpp"
#include "ngtherm/envelope.hpp"

namespace ngtherm {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
// The state checked and given to the set-up when the caller names none: it
// lies inside every limit of both range sets, and nothing of it is tabulated.
constexpr double kStandInTemperature = 300.0;  // K
constexpr double kStandInPressure = 1.0;       // MPa

std::int16_t code_of(double sentinel) {
    std::int16_t code = api::kStatusSuccess;
    api::status_from_sentinel(sentinel, code);
    return code;
}

envelope::EnvelopeRequest envelope_request(const ExternalPercentages& composition,
                                           const EnvelopeOptions& o) {
    envelope::EnvelopeRequest r;
    ExternalPercentages echo{};
    api::sort_composition(composition.data(), echo.data(), r.x);
    r.T = o.T.value_or(kStandInTemperature);
    r.p = o.p.value_or(kStandInPressure);
    r.parameters = {o.p_min, o.p_max, o.T_min, o.initial_step, o.beta};
    r.temperatures = o.T ? envelope::merge_tabulation(envelope::kTabulationTemperatures, *o.T)
                         : envelope::fixed_tabulation(envelope::kTabulationTemperatures);
    r.pressures = o.p ? envelope::merge_tabulation(envelope::kTabulationPressures, *o.p)
                      : envelope::fixed_tabulation(envelope::kTabulationPressures);
    if (o.max_step > 0.0) r.tuning.max_step_cap = o.max_step;
    return r;
}

EnvelopePoint public_point(const model::ActiveSet& set, const envelope::TracePoint& t) {
    EnvelopePoint point;
    point.T = t.T;
    point.p = t.p;
    point.type = static_cast<EnvelopePointType>(t.type);
    for (int i = 0; i < set.n; ++i) {
        point.x[set.id[i]] = t.x[i];
        point.y[set.id[i]] = t.y[i];
    }
    return point;
}

void set_values(const envelope::CharacteristicValues& values, Envelope& out) {
    out.value = values.value;
    out.status = values.status;
}

}  // namespace

std::array<double, kComponentCount> in_model_order(const ExternalPercentages& values) {
    std::array<double, kComponentCount> model{};
    for (int e = 0; e < kComponentCount; ++e) model[api::kExternalToModel[e]] = values[e];
    return model;
}

FlashResult flash(const ExternalPercentages& composition, double p, double T,
                  std::int16_t range_set) {
    FlashResult out;
    out.range_set = range_set;
    std::array<double, 3> results{kNaN, kNaN, kNaN};
    out.liquid.fill(kNaN);
    out.vapour.fill(kNaN);
    ExternalPercentages echo{};
    envelope::flash_export(composition.data(), &p, &T, &out.range_set, results.data(),
                           out.liquid.data(), out.vapour.data(), echo.data(), &out.status);
    out.beta = results[0];
    out.liquid_fraction = results[1];
    out.liquid_content = results[2];
    return out;
}

std::string_view point_label(EnvelopePointType type) {
    switch (type) {
        case EnvelopePointType::critical: return "**CRIT**";
        case EnvelopePointType::max_temperature: return " MAX. T ";
        case EnvelopePointType::max_pressure: return " MAX. P ";
        case EnvelopePointType::min_temperature: return " MIN. T ";
        case EnvelopePointType::min_pressure: return " MIN. P ";
        case EnvelopePointType::caller_temperature: return " T TAB. ";
        case EnvelopePointType::caller_pressure: return " P TAB. ";
        case EnvelopePointType::ordinary:
        case EnvelopePointType::tabulated: break;
    }
    return "        ";
}

Envelope phase_envelope(const ExternalPercentages& composition, const EnvelopeOptions& options) {
    Envelope out;
    out.range_set = options.range_set;
    std::int16_t check = api::kStatusSuccess;
    api::check_input(composition.data(), options.p.value_or(kStandInPressure),
                     options.T.value_or(kStandInTemperature), out.range_set, check);
    if (check > 0) {
        out.code = check;
        out.status.fill(check);
        return out;
    }
    const auto work = std::make_unique<envelope::PhaseWork>();
    const envelope::EnvelopeRun run = envelope::run_envelope(*work, envelope_request(composition, options));
    if (run.sentinel != 0.0) {
        out.code = code_of(run.sentinel);
        set_values(envelope::characteristic_values({}), out);
        return out;
    }
    const auto points = work->tracer.points().first(run.count);
    out.points.reserve(points.size());
    for (const envelope::TracePoint& t : points) out.points.push_back(public_point(work->set, t));
    set_values(envelope::characteristic_values(points), out);
    out.outcome = static_cast<EnvelopeOutcome>(run.outcome);
    return out;
}

}  // namespace ngtherm
