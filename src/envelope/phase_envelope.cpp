#include "envelope/phase_envelope.hpp"

#include <algorithm>
#include <cmath>

#include "model/sentinels.hpp"
#include "properties/mixture_setup.hpp"

namespace ngtherm::envelope {
namespace {

bool within(double value, double low, double high) { return value >= low && value <= high; }

}  // namespace

double check_trace_parameters(const TraceSettings& t) {
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
    run.sentinel = check_trace_parameters(request.settings);
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
    run.outcome = work.tracer.trace(work.set, setup.x.data(), request.settings);
    if (run.outcome == EnvelopeOutcome::failed) {
        run.sentinel = kSentinelTraceFailed;
        return run;
    }
    run.count = work.tracer.count();
    return run;
}

void Crossings::add(double v) {
    highest = count == 0 ? v : std::max(highest, v);
    lowest = count == 0 ? v : std::min(lowest, v);
    ++count;
}

CharacteristicPoints characteristic_points(std::span<const TracePoint> points) {
    CharacteristicPoints out;
    for (const TracePoint& point : points) {
        if (point.metastable) continue;  // no saturation value of the feed as it is
        switch (point.type) {
            case EnvelopePointType::critical:
                out.critical_found = true;
                out.critical_T = point.T;
                out.critical_p = point.p;
                break;
            case EnvelopePointType::max_temperature:
                out.cricondentherm_T = out.cricondentherm_found ? std::max(out.cricondentherm_T, point.T) : point.T;
                out.cricondentherm_found = true;
                break;
            case EnvelopePointType::max_pressure:
                out.cricondenbar_p = out.cricondenbar_found ? std::max(out.cricondenbar_p, point.p) : point.p;
                out.cricondenbar_found = true;
                break;
            case EnvelopePointType::caller_pressure: out.at_caller_pressure.add(point.T); break;
            case EnvelopePointType::caller_temperature: out.at_caller_temperature.add(point.p); break;
            default: break;
        }
    }
    return out;
}

}  // namespace ngtherm::envelope
