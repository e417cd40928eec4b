// The phase envelope from C++ (ngtherm/envelope.hpp): the same input check,
// trace and characteristic values as the export phase.
#include "ngtherm/envelope.hpp"

#include <algorithm>
#include <cmath>
#include <memory>

#include "api/check_input.hpp"
#include "api/composition.hpp"
#include "api/frames.hpp"
#include "api/status_codes.hpp"
#include "envelope/phase_envelope.hpp"
#include "model/sentinels.hpp"
#include "ngtherm/saturation.hpp"

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

// Largest ratio of neighbouring pressures of the water dew line. Its
// temperature is close to linear in ln p, so points equally spaced in ln p
// draw it evenly on a linear and on a logarithmic axis. At a factor 1.25 the
// chord between two points of a pipeline gas departs from the line by less
// than 0.1 K, and the default window (0.1 to 30 MPa, with the grid) takes 33
// solves of about 3 ms each; a coarser factor would save little, since the
// grid pressures above 1 MPa are solved anyway.
constexpr double kWaterLinePressureRatio = 1.25;

// The pressures of the water dew line, ascending: the window's ends, the grid
// pressures and the caller's inside it, with each gap cut into equal steps in
// ln p of at most kWaterLinePressureRatio.
std::vector<double> water_line_pressures(const EnvelopeOptions& o) {
    std::vector<double> anchors{o.p_min, o.p_max};
    for (const double p : envelope::kTabulationPressures) {
        if (p > o.p_min && p < o.p_max) anchors.push_back(p);
    }
    if (o.p && *o.p > o.p_min && *o.p < o.p_max) anchors.push_back(*o.p);
    // Iterator algorithms, not std::ranges: clang 14 cannot compile those
    // against this standard library (the fuzzer's build).
    std::sort(anchors.begin(), anchors.end());
    anchors.erase(std::unique(anchors.begin(), anchors.end()), anchors.end());
    std::vector<double> pressures{anchors.front()};
    for (std::size_t k = 1; k < anchors.size(); ++k) {
        const double ln_a = std::log(anchors[k - 1]), ln_b = std::log(anchors[k]);
        const int steps = static_cast<int>(std::ceil((ln_b - ln_a) / std::log(kWaterLinePressureRatio)));
        for (int j = 1; j < steps; ++j) pressures.push_back(std::exp(ln_a + (ln_b - ln_a) * j / steps));
        pressures.push_back(anchors[k]);
    }
    return pressures;
}

// The water dew line of the feed (model-order fractions x) over the window;
// one water dew solve per pressure, so a dry gas costs nothing.
std::vector<WaterDewLinePoint> water_dew_line(const Composition& x, const EnvelopeOptions& o) {
    std::vector<WaterDewLinePoint> line;
    if (!(x[static_cast<int>(Component::H2O)] >= kMinActiveFraction)) return line;
    const Mixture mixture(x);
    for (const double p : water_line_pressures(o)) {
        const Saturation s = water_dew_temperature(mixture, p);
        if (!s.ok() || s.points.front().T < o.T_min) continue;
        line.push_back({s.points.front().T, s.points.front().p, s.points.front().incipient});
    }
    return line;
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
    const envelope::EnvelopeRequest request = envelope_request(composition, options);
    const envelope::EnvelopeRun run = envelope::run_envelope(*work, request);
    // The water dew line needs no point of the trace: a trace that failed
    // (the start point of a gas with little water may not converge) still has it.
    if (run.sentinel == 0.0 || run.sentinel == kSentinelTraceFailed) {
        out.water_dew = water_dew_line(request.x, options);
    }
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
