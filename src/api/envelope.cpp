// The phase envelope from C++ (ngtherm/envelope.hpp): the same input check,
// trace and characteristic values as the export phase.
#include "ngtherm/envelope.hpp"

#include <memory>

#include "api/check_input.hpp"
#include "api/composition.hpp"
#include "api/frames.hpp"
#include "api/status_codes.hpp"
#include "envelope/phase_envelope.hpp"

namespace ngtherm {
namespace {

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
    envelope::TraceSettings& s = r.settings;
    s.beta = o.beta;
    s.p_min = o.p_min;
    s.p_max = o.p_max;
    s.T_min = o.T_min;
    s.initial_step = o.initial_step;
    s.temperatures = o.T ? envelope::merge_tabulation(envelope::kTabulationTemperatures, *o.T)
                         : envelope::fixed_tabulation(envelope::kTabulationTemperatures);
    s.pressures = o.p ? envelope::merge_tabulation(envelope::kTabulationPressures, *o.p)
                      : envelope::fixed_tabulation(envelope::kTabulationPressures);
    if (o.max_step > 0.0) s.tuning.max_step_cap = o.max_step;
    return r;
}

EnvelopePoint public_point(const model::ActiveSet& set, const envelope::TracePoint& t) {
    EnvelopePoint point;
    point.T = t.T;
    point.p = t.p;
    point.type = t.type;
    point.metastable = t.metastable;
    for (int i = 0; i < set.n; ++i) {
        point.x[set.id[i]] = t.x[i];
        point.y[set.id[i]] = t.y[i];
    }
    return point;
}

void set_values(const api::CharacteristicValues& values, Envelope& out) {
    out.value = values.value;
    out.status = values.status;
}

}  // namespace

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
        set_values(api::characteristic_values({}), out);
        return out;
    }
    const auto points = work->tracer.points().first(run.count);
    out.points.reserve(points.size());
    for (const envelope::TracePoint& t : points) out.points.push_back(public_point(work->set, t));
    set_values(api::characteristic_values(envelope::characteristic_points(points)), out);
    out.outcome = run.outcome;
    return out;
}

}  // namespace ngtherm
