// Equilibrium calls that miss the cache: a lean 11-component natural gas that
// stays one phase (stability test included) and a rich gas inside its
// two-phase region.
#include <benchmark/benchmark.h>

#include <array>
#include <utility>
#include <vector>

#include "equilibrium/tpequil.hpp"
#include "ngtherm/components.hpp"

namespace {

using ngtherm::Component;
using ngtherm::equilibrium::EquilibriumSolver;

struct Feed {
    std::vector<int> ids;
    std::vector<double> x;
};

// Mole percentages by component, into ascending model numbers and fractions.
Feed make_feed(std::initializer_list<std::pair<Component, double>> percent) {
    std::array<double, ngtherm::kComponentCount> all{};
    for (const auto& [c, v] : percent) all[static_cast<int>(c)] = v / 100.0;
    Feed f;
    for (int i = 0; i < ngtherm::kComponentCount; ++i) {
        if (all[i] > 0.0) {
            f.ids.push_back(i);
            f.x.push_back(all[i]);
        }
    }
    return f;
}

const Feed& lean_gas() {
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

// Alternates between two temperatures 1e-9 K apart so every call misses the cache.
void run(benchmark::State& state, const Feed& feed, double T, double p) {
    EquilibriumSolver solver;
    int k = 0;
    for (auto _ : state) {
        const double Tk = T + ((++k & 1) ? 1e-9 : 0.0);
        const auto& r = ngtherm::equilibrium::tpequil(solver, 1, Tk, p, static_cast<int>(feed.ids.size()),
                                                      feed.ids.data(), feed.x.data());
        benchmark::DoNotOptimize(r.beta);
    }
}

void BM_EquilibriumLeanGasOnePhase(benchmark::State& state) { run(state, lean_gas(), 300.0, 5.0); }
void BM_EquilibriumRichGasTwoPhase(benchmark::State& state) { run(state, rich_gas(), 240.0, 4.0); }

}  // namespace

BENCHMARK(BM_EquilibriumLeanGasOnePhase)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EquilibriumRichGasTwoPhase)->Unit(benchmark::kMicrosecond);
