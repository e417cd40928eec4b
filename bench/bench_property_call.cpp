// The cost of a stability-checked property call against a single-phase state
// over the grid 250-350 K x 1-12 MPa (steps 10 K and 1 MPa; one- and two-phase
// states alike), for the 11-component gas and the 21-component test mixture.
// Each repetition moves p by 1e-9 MPa, so no cache answers a state; the time
// reported is per state.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>

#include "api/frames.hpp"
#include "ngtherm/exports.hpp"
#include "ngtherm/state.hpp"
#include "support/gases.hpp"

namespace {

using ngtherm::test::Gas;

constexpr int kTemperatures = 11, kPressures = 12;  // 250 to 350 K, 1 to 12 MPa
constexpr double kFirstT = 250.0, kStepT = 10.0, kFirstP = 1.0, kStepP = 1.0;
constexpr double kNudge = 1e-9;  // MPa per repetition

template <class Call>
void over_grid(benchmark::State& state, Call call) {
    int repetition = 0;
    for (auto _ : state) {
        const double nudge = kNudge * (++repetition % 1000);
        for (int i = 0; i < kTemperatures; ++i) {
            for (int j = 0; j < kPressures; ++j) call(kFirstT + kStepT * i, kFirstP + kStepP * j + nudge);
        }
    }
    state.SetItemsProcessed(state.iterations() * kTemperatures * kPressures);
}

void single_phase(benchmark::State& state, const Gas& gas) {
    const ngtherm::Mixture mixture(gas.fractions());
    over_grid(state, [&](double T, double p) {
        benchmark::DoNotOptimize(ngtherm::single_phase_state(mixture, T, p).props.rho);
    });
}

void gerg2008(benchmark::State& state, const Gas& gas) {
    const ngtherm::ExternalPercentages c = gas.external();
    std::array<double, 11> result{};
    std::array<std::int16_t, 11> status{};
    std::array<double, ngtherm::kComponentCount> echo{};
    const std::int16_t selector = 0;
    std::int16_t range = 0;
    over_grid(state, [&](double T, double p) {
        ngtherm::api::all_properties_export(c.data(), &p, &T, &selector, &range, result.data(), echo.data(),
                                           status.data());
        benchmark::DoNotOptimize(result[0]);
    });
}

void gerg2008_z(benchmark::State& state, const Gas& gas) {
    const ngtherm::ExternalPercentages c = gas.external();
    double result = 0.0;
    std::int16_t status = 0, range = 0;
    std::array<double, ngtherm::kComponentCount> echo{};
    const std::int16_t selector = 0;
    over_grid(state, [&](double T, double p) {
        ngtherm::api::single_property_export(ngtherm::api::Property::Z, c.data(), &p, &T, &selector, &range, &result,
                                             echo.data(), &status);
        benchmark::DoNotOptimize(result);
    });
}

void BM_GridSinglePhaseState11(benchmark::State& s) { single_phase(s, ngtherm::test::lean_gas_11()); }
void BM_GridGerg2008_11(benchmark::State& s) { gerg2008(s, ngtherm::test::lean_gas_11()); }
void BM_GridGerg2008Z_11(benchmark::State& s) { gerg2008_z(s, ngtherm::test::lean_gas_11()); }
void BM_GridSinglePhaseState21(benchmark::State& s) { single_phase(s, ngtherm::test::published_mixture()); }
void BM_GridGerg2008_21(benchmark::State& s) { gerg2008(s, ngtherm::test::published_mixture()); }

}  // namespace

BENCHMARK(BM_GridSinglePhaseState11)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridGerg2008_11)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridGerg2008Z_11)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridSinglePhaseState21)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_GridGerg2008_21)->Unit(benchmark::kMicrosecond);
