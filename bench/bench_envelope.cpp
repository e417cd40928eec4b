// One dew-line trace from the minimum pressure over the critical region back
// to it: the 11-component pipeline gas and a rich 7-component gas; and the
// whole phase-envelope operation with its table for the pipeline gas.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

#include "api/frames.hpp"
#include "envelope/phase_envelope.hpp"
#include "envelope/tracer.hpp"
#include "support/gases.hpp"

namespace {


using ngtherm::test::Feed;

const Feed& pipeline_gas() {
    static const Feed f(ngtherm::test::lean_gas_11());
    return f;
}

const Feed& rich_gas() {
    static const Feed f(ngtherm::test::rich_gas_7());
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
        benchmark::DoNotOptimize(tracer.trace(feed.set, feed.x.data(), s));
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
        ngtherm::api::phase_export(c.data(), &p, &T, &p_min, &p_max, &T_min, &step, &beta, &range,
                                        table.data(), &count, values.data(), echo.data(), status.data());
        benchmark::DoNotOptimize(table.data());
    }
    state.counters["points"] = count;
}

}  // namespace

BENCHMARK(BM_DewLinePipelineGas11)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DewLineRichGas7)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PhaseExportPipelineGas11)->Unit(benchmark::kMillisecond);
