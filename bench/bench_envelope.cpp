// One dew-line trace from the minimum pressure over the critical region back
// to it: the 11-component pipeline gas and a rich 7-component gas; and the
// whole phase-envelope operation with its table for the pipeline gas.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "envelope/phase_envelope.hpp"
#include "envelope/tracer.hpp"
#include "model/active_set.hpp"
#include "ngtherm/components.hpp"

namespace {

using ngtherm::Component;

struct Feed {
    std::vector<int> ids;
    std::vector<double> z;
    ngtherm::model::ActiveSet set;
};

// Mole percentages by component, into the active set and fractions.
Feed make_feed(std::initializer_list<std::pair<Component, double>> percent) {
    std::array<double, ngtherm::kComponentCount> all{};
    for (const auto& [c, v] : percent) all[static_cast<int>(c)] = v / 100.0;
    Feed f;
    for (int i = 0; i < ngtherm::kComponentCount; ++i) {
        if (all[i] > 0.0) {
            f.ids.push_back(i);
            f.z.push_back(all[i]);
        }
    }
    ngtherm::model::make_active_set(f.ids, f.set);
    return f;
}

const Feed& pipeline_gas() {
    static const Feed f = make_feed({{Component::CH4, 90}, {Component::N2, 2}, {Component::CO2, 1},
                                     {Component::C2H6, 4}, {Component::C3H8, 1.5},
                                     {Component::nC4, 0.4}, {Component::iC4, 0.4},
                                     {Component::nC5, 0.2}, {Component::iC5, 0.2},
                                     {Component::nC6, 0.2}, {Component::H2, 0.1}});
    return f;
}

const Feed& rich_gas() {
    static const Feed f = make_feed({{Component::CH4, 86}, {Component::N2, 2.5},
                                     {Component::C2H6, 6}, {Component::C3H8, 3},
                                     {Component::nC4, 1.2}, {Component::iC4, 0.8},
                                     {Component::nC5, 0.5}});
    return f;
}

void trace_dew_line(benchmark::State& state, const Feed& feed) {
    ngtherm::envelope::TraceSettings s;
    s.beta = 1.0;
    s.temperatures = ngtherm::envelope::fixed_tabulation(ngtherm::envelope::kTabulationTemperatures);
    s.pressures = ngtherm::envelope::fixed_tabulation(ngtherm::envelope::kTabulationPressures);
    ngtherm::envelope::EnvelopeTracer tracer;
    long evaluations = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tracer.trace(feed.set, feed.z.data(), s));
        evaluations += tracer.evaluations();
    }
    state.counters["points"] = tracer.count();
    state.counters["mixstate"] = static_cast<double>(evaluations) / static_cast<double>(state.iterations());
}

void BM_DewLinePipelineGas11(benchmark::State& state) { trace_dew_line(state, pipeline_gas()); }
void BM_DewLineRichGas7(benchmark::State& state) { trace_dew_line(state, rich_gas()); }

// The export's work: checks, set-up, trace, table and characteristic values.
void BM_PhaseExportPipelineGas11(benchmark::State& state) {
    // Caller's order: CH4 N2 CO2 C2H6 C3H8 nC4 iC4 nC5 iC5 nC6 ... H2 at position 17.
    std::array<double, ngtherm::kComponentCount> c{90, 2, 1, 4, 1.5, 0.4, 0.4, 0.2, 0.2, 0.2};
    c[16] = 0.1;
    const double p = 5.0, T = 250.0, p_min = 0.1, p_max = 30.0, T_min = 50.0, step = 0.1, beta = 1.0;
    std::vector<double> table(ngtherm::envelope::kTableSize);
    std::array<double, 8> values{};
    std::array<double, ngtherm::kComponentCount> echo{};
    std::array<std::int16_t, 8> status{};
    std::int32_t count = 0;
    for (auto _ : state) {
        std::int16_t range = 0;
        ngtherm::envelope::phase_export(c.data(), &p, &T, &p_min, &p_max, &T_min, &step, &beta, &range,
                                        table.data(), &count, values.data(), echo.data(), status.data());
        benchmark::DoNotOptimize(table.data());
    }
    state.counters["points"] = count;
}

}  // namespace

BENCHMARK(BM_DewLinePipelineGas11)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DewLineRichGas7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhaseExportPipelineGas11)->Unit(benchmark::kMillisecond);
