// Equilibrium calls that miss the cache: a lean 11-component natural gas that
// stays one phase (stability test included) and a rich gas inside its
// two-phase region.
#include <benchmark/benchmark.h>

#include <array>
#include <utility>
#include <vector>

#include "equilibrium/tpequil.hpp"
#include "support/gases.hpp"

namespace {

using ngtherm::test::Feed;
using ngtherm::equilibrium::EquilibriumSolver;

// The same state again and again, its cached result forgotten before each call.
void run(benchmark::State& state, const Feed& feed, double T, double p) {
    EquilibriumSolver solver;
    for (auto _ : state) {
        solver.clear_cache();
        const auto& r = ngtherm::equilibrium::tpequil(solver, T, p, feed.n(), feed.ids.data(), feed.x.data());
        benchmark::DoNotOptimize(r.beta);
    }
}

void BM_EquilibriumLeanGasOnePhase(benchmark::State& state) { run(state, Feed(ngtherm::test::lean_gas_11()), 300.0, 5.0); }
void BM_EquilibriumRichGasTwoPhase(benchmark::State& state) { run(state, Feed(ngtherm::test::rich_gas_7()), 240.0, 4.0); }

}  // namespace

BENCHMARK(BM_EquilibriumLeanGasOnePhase)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EquilibriumRichGasTwoPhase)->Unit(benchmark::kMicrosecond);
