// Single-phase states and one mixture-state evaluation with the full fugacity set.
#include <benchmark/benchmark.h>

#include <vector>

#include "model/active_set.hpp"
#include "model/mixstate.hpp"
#include "ngtherm/state.hpp"

namespace {

using ngtherm::Composition;

Composition natural_gas_11() {
    Composition x{};
    x[0] = 0.90; x[1] = 0.02; x[2] = 0.01; x[3] = 0.04; x[4] = 0.015; x[5] = 0.004;
    x[6] = 0.004; x[7] = 0.002; x[8] = 0.002; x[9] = 0.002; x[14] = 0.001;
    return x;
}

Composition mixture_21() {
    return {0.77824, 0.02, 0.06, 0.08, 0.03, 0.003, 0.0015, 0.00165, 0.0005, 0.00215, 0.00088,
            0.00024, 0.00015, 0.00009, 0.004, 0.005, 0.002, 0.0001, 0.0025, 0.007, 0.001};
}

// The temperature moves by a micro-kelvin between calls, so nothing can be reused.
void single_phase_state(benchmark::State& state, const Composition& x) {
    const ngtherm::Mixture mix(x);
    int i = 0;
    for (auto _ : state) {
        const double T = 300.0 + 1e-6 * (i++ % 1000);
        benchmark::DoNotOptimize(ngtherm::single_phase_state(mix, T, 5.0));
    }
}
BENCHMARK_CAPTURE(single_phase_state, natural_gas_11_components, natural_gas_11());
BENCHMARK_CAPTURE(single_phase_state, mixture_21_components, mixture_21());

void mixstate_full_fugacity_set(benchmark::State& state) {
    const Composition x = natural_gas_11();
    std::vector<int> ids;
    std::vector<double> fractions;
    for (int i = 0; i < ngtherm::kComponentCount; ++i) {
        if (x[i] > 0) {
            ids.push_back(i);
            fractions.push_back(x[i]);
        }
    }
    ngtherm::model::ActiveSet set;
    ngtherm::model::make_active_set(ids, set);
    ngtherm::model::CompositionState scratch;
    ngtherm::model::FugacitySet fug;
    ngtherm::model::ResidualProperties rec;
    using namespace ngtherm::model;
    constexpr MixRequest kFull{Fugacity::ln_phi_and_matrix, TpDerivatives::second};
    int i = 0;
    for (auto _ : state) {
        const double T = 300.0 + 1e-6 * (i++ % 1000);
        benchmark::DoNotOptimize(ngtherm::model::mixstate(set, scratch, kFull, RootPreference::stable, T, 5.0, fractions.data(), &fug, rec));
    }
}
BENCHMARK(mixstate_full_fugacity_set);

}  // namespace
