// Single-phase states and one mixture-state evaluation with the full fugacity set.
#include <benchmark/benchmark.h>

#include "model/mixstate.hpp"
#include "ngtherm/state.hpp"
#include "support/gases.hpp"

namespace {

using ngtherm::Composition;

// The temperature moves by a micro-kelvin between calls, so nothing can be reused.
void single_phase_state(benchmark::State& state, const Composition& x) {
    const ngtherm::Mixture mix(x);
    int i = 0;
    for (auto _ : state) {
        const double T = 300.0 + 1e-6 * (i++ % 1000);
        benchmark::DoNotOptimize(ngtherm::single_phase_state(mix, T, 5.0));
    }
}
BENCHMARK_CAPTURE(single_phase_state, natural_gas_11_components, ngtherm::test::lean_gas_11().fractions());
BENCHMARK_CAPTURE(single_phase_state, mixture_21_components, ngtherm::test::published_mixture().fractions());

void mixstate_full_fugacity_set(benchmark::State& state) {
    const ngtherm::test::Feed feed(ngtherm::test::lean_gas_11());
    ngtherm::model::CompositionState scratch;
    ngtherm::model::FugacitySet fug;
    ngtherm::model::ResidualProperties rec;
    using namespace ngtherm::model;
    constexpr MixRequest kFull{Fugacity::ln_phi_and_matrix, TpDerivatives::second};
    int i = 0;
    for (auto _ : state) {
        const double T = 300.0 + 1e-6 * (i++ % 1000);
        benchmark::DoNotOptimize(ngtherm::model::mixstate(feed.set, scratch, kFull, RootPreference::stable, T, 5.0, feed.x.data(), &fug, rec));
    }
}
BENCHMARK(mixstate_full_fugacity_set);

}  // namespace
