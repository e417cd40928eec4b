// The cost of a stability-checked property call against a single-phase state
// over the grid of property_grid.hpp, for the 11-component gas and the
// 21-component test mixture. Each repetition moves p by kGridNudge, so no cache
// answers a state; the time reported is per state.
#include <benchmark/benchmark.h>

#include <iterator>

#include "property_grid.hpp"

namespace {

using ngtherm::bench::GridCalls;
using ngtherm::test::Gas;

template <class Call>
void time_grid(benchmark::State& state, Call call) {
    int repetition = 0;
    for (auto _ : state) {
        const double nudge = ngtherm::bench::kGridNudge * (++repetition % 1000);
        ngtherm::bench::over_grid(nudge, [&](double T, double p) { benchmark::DoNotOptimize(call(T, p)); });
    }
    state.SetItemsProcessed(state.iterations() * ngtherm::bench::kGridStates);
}

void single_phase(benchmark::State& state, const Gas& gas) {
    const GridCalls calls(gas);
    time_grid(state, [&](double T, double p) { return calls.single_phase(T, p); });
}

void gerg2008(benchmark::State& state, const Gas& gas) {
    GridCalls calls(gas);
    time_grid(state, [&](double T, double p) { return calls.gerg2008(T, p); });
}

void gerg2008_z(benchmark::State& state, const Gas& gas) {
    GridCalls calls(gas);
    time_grid(state, [&](double T, double p) { return calls.gerg2008_z(T, p); });
}

// A table of the grid's states filled column by column, as a spreadsheet may:
// one single-property export for every state, then the next property. The
// thread's cache keeps every state of the table, so only the first column
// computes; the time reported is per call.
void table_by_columns(benchmark::State& state, const Gas& gas) {
    using ngtherm::api::Property;
    constexpr Property kColumns[] = {Property::Z,  Property::rho, Property::u, Property::h,
                                     Property::s,  Property::cv,  Property::cp, Property::w,
                                     Property::kappa, Property::jt};
    GridCalls calls(gas);
    int repetition = 0;
    for (auto _ : state) {
        const double nudge = ngtherm::bench::kGridNudge * (++repetition % 1000);
        for (const Property column : kColumns) {
            ngtherm::bench::over_grid(nudge, [&](double T, double p) {
                benchmark::DoNotOptimize(calls.property(column, T, p));
            });
        }
    }
    state.SetItemsProcessed(state.iterations() * ngtherm::bench::kGridStates * std::size(kColumns));
}

void BM_GridSinglePhaseState11(benchmark::State& s) { single_phase(s, ngtherm::test::lean_gas_11()); }
void BM_GridGerg2008_11(benchmark::State& s) { gerg2008(s, ngtherm::test::lean_gas_11()); }
void BM_GridGerg2008Z_11(benchmark::State& s) { gerg2008_z(s, ngtherm::test::lean_gas_11()); }
void BM_GridSinglePhaseState21(benchmark::State& s) { single_phase(s, ngtherm::test::published_mixture()); }
void BM_GridGerg2008_21(benchmark::State& s) { gerg2008(s, ngtherm::test::published_mixture()); }
void BM_TableByColumns11(benchmark::State& s) { table_by_columns(s, ngtherm::test::lean_gas_11()); }

}  // namespace

BENCHMARK(BM_GridSinglePhaseState11)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridGerg2008_11)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridGerg2008Z_11)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridSinglePhaseState21)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridGerg2008_21)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TableByColumns11)->Unit(benchmark::kMicrosecond);
