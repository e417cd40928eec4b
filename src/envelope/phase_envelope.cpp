#include "envelope/phase_envelope.hpp"

#include <algorithm>
#include <cmath>

#include "api/check_input.hpp"
#include "api/composition.hpp"
#include "properties/mixture_setup.hpp"
#include "api/status_codes.hpp"

namespace ngtherm::envelope {
namespace {

bool within(double value, double low, double high) { return value >= low && value <= high; }

// Crossings of the caller's value; more than three make both values 0.
inline constexpr int kMaxReportedCrossings = 3;

struct Crossings {
    int count = 0;
    double highest = 0.0, lowest = 0.0;
    void add(double v) {
        highest = count == 0 ? v : std::max(highest, v);
        lowest = count == 0 ? v : std::min(lowest, v);
        ++count;
    }
};

void report_crossings(const Crossings& c, int first, CharacteristicValues& out) {
    if (c.count == 0) {
        out.status[first] = out.status[first + 1] = api::kStatusNotDetermined;
    } else if (c.count <= kMaxReportedCrossings) {
        out.value[first] = c.highest;
        out.value[first + 1] = c.lowest;
    }
}

TraceSettings trace_settings(const EnvelopeRequest& r) {
    TraceSettings s;
    s.beta = r.parameters.beta;
    s.p_min = r.parameters.p_min;
    s.p_max = r.parameters.p_max;
    s.T_min = r.parameters.T_min;
    s.initial_step = r.parameters.initial_step;
    s.point_limit = kEnvelopePoints;
    s.temperatures = r.temperatures;
    s.pressures = r.pressures;
    s.tuning = r.tuning;
    return s;
}

}  // namespace

double check_trace_parameters(const TraceParameters& t) {
    if (!within(t.p_min, kMinPressureLow, kMinPressureHigh)) return kSentinelEnvelopeMinPressure;
    if (!within(t.p_max, t.p_min, kMaxPressureHigh)) return kSentinelEnvelopeMaxPressure;
    if (!within(t.T_min, kMinTemperatureLow, kMinTemperatureHigh)) {
        return kSentinelEnvelopeMinTemperature;
    }
    if (!within(t.initial_step, kInitialStepLow, kInitialStepHigh)) {
        return kSentinelEnvelopeInitialStep;
    }
    if (!within(t.beta, kVapourFractionLow, kVapourFractionHigh)) {
        return kSentinelEnvelopeVapourFraction;
    }
    return 0.0;
}

Tabulation merge_tabulation(std::span<const double> fixed, double caller) {
    Tabulation tab;
    const int size = static_cast<int>(std::min<std::size_t>(fixed.size(), kMaxTabulation));
    tab.count = size;
    int k = 0;  // merged entries written
    for (int f = 0; f < size; ++f) {
        if (tab.caller < 0 && !(fixed[f] < caller)) {
            tab.caller = k;
            tab.ln_value[k++] = std::log(caller);
        }
        if (k < size) tab.ln_value[k++] = std::log(fixed[f]);
    }
    return tab;
}

Tabulation fixed_tabulation(std::span<const double> fixed) {
    Tabulation tab;
    tab.count = static_cast<int>(std::min<std::size_t>(fixed.size(), kMaxTabulation));
    for (int f = 0; f < tab.count; ++f) tab.ln_value[f] = std::log(fixed[f]);
    return tab;
}

EnvelopeRun run_envelope(PhaseWork& work, const EnvelopeRequest& request) {
    EnvelopeRun run;
    run.sentinel = check_trace_parameters(request.parameters);
    if (run.sentinel != 0.0) return run;
    const properties::MixtureSetup setup =
        properties::set_mixture(request.T, request.p, request.x);
    if (setup.error != properties::MixtureError::none) {
        run.sentinel = setup.sentinel;
        return run;
    }
    if (setup.n == 1) {  // a pure fluid has no envelope to trace
        run.sentinel = kSentinelSingleComponent;
        return run;
    }
    model::make_active_set(std::span<const int>(setup.list.data(), setup.n), work.set);
    run.outcome = work.tracer.trace(work.set, setup.x.data(), trace_settings(request));
    if (run.outcome == TraceOutcome::failed) {
        run.sentinel = kSentinelTraceFailed;
        return run;
    }
    run.count = work.tracer.count();
    return run;
}

CharacteristicValues characteristic_values(std::span<const TracePoint> points) {
    CharacteristicValues out;
    Crossings at_pressure, at_temperature;
    for (const TracePoint& point : points) {
        switch (point.type) {
            case kPointCritical:
                out.value[6] = point.T;
                out.value[7] = point.p;
                break;
            case kPointMaxT: out.value[4] = point.T; break;
            case kPointMaxP: out.value[5] = point.p; break;
            case kPointCallerP: at_pressure.add(point.T); break;
            case kPointCallerT: at_temperature.add(point.p); break;
            default: break;
        }
    }
    report_crossings(at_pressure, 0, out);
    report_crossings(at_temperature, 2, out);
    for (int k = 0; k < kCharacteristicCount; ++k) api::status_from_sentinel(out.value[k], out.status[k]);
    return out;
}

}  // namespace ngtherm::envelope
