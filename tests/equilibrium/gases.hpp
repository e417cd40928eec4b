// Feeds used by the equilibrium tests: named gases as mole percentages, turned
// into the active list (ascending model numbers) and fractions.
#pragma once

#include <array>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "equilibrium/tpequil.hpp"
#include "ngtherm/components.hpp"

namespace ngtherm::equilibrium::testing {

struct Feed {
    std::string name;
    std::vector<int> ids;   // ascending model numbers
    std::vector<double> x;  // fractions, normalised
    int n() const { return static_cast<int>(ids.size()); }
};

inline Feed make_feed(std::string name, std::initializer_list<std::pair<Component, double>> percent) {
    std::array<double, kComponentCount> all{};
    double total = 0.0;
    for (const auto& [c, v] : percent) {
        all[static_cast<int>(c)] += v;
        total += v;
    }
    Feed f{std::move(name), {}, {}};
    for (int i = 0; i < kComponentCount; ++i) {
        if (all[i] > 0.0) {
            f.ids.push_back(i);
            f.x.push_back(all[i] / total);
        }
    }
    return f;
}

inline const EquilibriumResult& solve(EquilibriumSolver& solver, const Feed& f, double T, double p) {
    return tpequil(solver, T, p, f.n(), f.ids.data(), f.x.data());
}

using C = Component;

// The 11-component pipeline gas of the benchmark.
inline Feed lean_gas() {
    return make_feed("lean_11", {{C::CH4, 90}, {C::N2, 2}, {C::CO2, 1}, {C::C2H6, 4}, {C::C3H8, 1.5},
                                 {C::nC4, 0.4}, {C::iC4, 0.4}, {C::nC5, 0.2}, {C::iC5, 0.2},
                                 {C::nC6, 0.2}, {C::H2, 0.1}});
}
inline Feed dry_gas() {
    return make_feed("dry", {{C::CH4, 98}, {C::N2, 1}, {C::CO2, 0.5}, {C::C2H6, 0.5}});
}
inline Feed high_nitrogen_gas() {
    return make_feed("high_n2", {{C::CH4, 80}, {C::N2, 14}, {C::CO2, 1}, {C::C2H6, 4}, {C::C3H8, 1}});
}
// The seven-component gas of the reference split at 240 K and 4 MPa.
inline Feed rich_gas() {
    return make_feed("rich_7", {{C::CH4, 86}, {C::N2, 2.5}, {C::C2H6, 6}, {C::C3H8, 3}, {C::nC4, 1.2},
                                {C::iC4, 0.8}, {C::nC5, 0.5}});
}
inline Feed condensate_gas() {
    return make_feed("condensate", {{C::CH4, 74}, {C::N2, 1}, {C::CO2, 2}, {C::C2H6, 9}, {C::C3H8, 6},
                                    {C::nC4, 2.5}, {C::iC4, 1.5}, {C::nC5, 1.2}, {C::iC5, 0.8},
                                    {C::nC6, 1}, {C::nC7, 0.6}, {C::nC8, 0.4}});
}
inline Feed sour_gas() {
    return make_feed("sour", {{C::CH4, 70}, {C::H2S, 15}, {C::CO2, 10}, {C::N2, 2}, {C::C2H6, 3}});
}
inline Feed co2_rich_gas() {
    return make_feed("co2_rich", {{C::CO2, 90}, {C::CH4, 5}, {C::N2, 3}, {C::Ar, 1}, {C::O2, 0.5},
                                  {C::H2, 0.5}});
}
inline Feed hydrogen_blend() {
    return make_feed("h2_blend", {{C::CH4, 72}, {C::H2, 20}, {C::C2H6, 4}, {C::N2, 2}, {C::CO2, 1},
                                  {C::C3H8, 1}});
}
inline Feed hydrogen_rich() { return make_feed("h2_rich", {{C::H2, 90}, {C::CH4, 10}}); }
inline Feed helium_gas() {
    return make_feed("with_he_ar_co", {{C::CH4, 88}, {C::N2, 5}, {C::C2H6, 4}, {C::He, 0.5}, {C::Ar, 0.5},
                                       {C::CO, 1}, {C::C3H8, 1}});
}
inline Feed methane_propane() { return make_feed("ch4_c3h8", {{C::CH4, 90}, {C::C3H8, 10}}); }
inline Feed methane_decane() { return make_feed("ch4_nc10", {{C::CH4, 95}, {C::nC10, 5}}); }
inline Feed methane_co2() { return make_feed("ch4_co2", {{C::CH4, 50}, {C::CO2, 50}}); }
inline Feed methane_nitrogen() { return make_feed("ch4_n2", {{C::CH4, 50}, {C::N2, 50}}); }

// The dozen gases of the grid test.
inline std::vector<Feed> grid_gases() {
    return {lean_gas(),      dry_gas(),        high_nitrogen_gas(), rich_gas(),
            condensate_gas(), sour_gas(),      co2_rich_gas(),      hydrogen_blend(),
            hydrogen_rich(),  helium_gas(),    methane_propane(),   methane_decane()};
}

}  // namespace ngtherm::equilibrium::testing
