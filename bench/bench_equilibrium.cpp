// Equilibrium calls that miss the cache: a lean 11-component natural gas that
// stays one phase (stability test included) and a rich gas inside its
// two-phase region.
#include <benchmark/benchmark.h>

#include <array>
#include <utility>
#include <vector>

#include "equilibrium/tpequil.hpp"
#include "bench_gases.hpp"

namespace {

using ngtherm::bench::Feed;
using ngtherm::equilibrium::EquilibriumSolver;

void run(benchmark::State& state, const Feed& feed, double T, double p) {
    EquilibriumSolver solver;
    int k = 0;
    for (auto _ : state) {
        const double Tk = T + ((++k & 1) ? 1e-9 : 0.0);
        const auto& r = ngtherm::equilibrium::tpequil(solver, Tk, p, static_cast<int>(feed.ids.size()),
                                                      feed.ids.data(), feed.x.data());
        benchmark::DoNotOptimize(r.beta);
    }
}

void BM_EquilibriumLeanGasOnePhase(benchmark::State& state) { run(state, ngtherm::bench::pipeline_gas(), 300.0, 5.0); }
void BM_EquilibriumRichGasTwoPhase(benchmark::State& state) { run(state, ngtherm::bench::rich_gas(), 240.0, 4.0); }

}  // namespace

BENCHMARK(BM_EquilibriumLeanGasOnePhase)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EquilibriumRichGasTwoPhase)->Unit(benchmark::kMicrosecond);
