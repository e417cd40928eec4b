// The gases of the tests and benchmarks, one catalogue: each as mole percentages
// by component id, turned into model-order fractions, the caller's percentages of
// the C interface, or the active list and normalised feed of the solvers.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "model/active_set.hpp"
#include "model/mixstate.hpp"
#include "ngtherm/components.hpp"
#include "ngtherm/exports.hpp"

namespace ngtherm::test {

struct Gas {
    std::string name;
    std::vector<std::pair<const char*, double>> percent;  // mol-% by component id

    // Model-order mole fractions (percent / 100, not renormalised).
    Composition fractions() const {
        Composition x{};
        for (const auto& [id, value] : percent) x[*find_component(id)] += value / 100.0;
        return x;
    }
    // Mole percentages in the caller's order of the C interface.
    ExternalPercentages external() const { return external_percentages(fractions()); }
};

// A gas as the solvers take it: ascending model numbers of the components
// present, their fractions normalised to sum 1, and the active set.
struct Feed {
    std::string name;
    std::vector<int> ids;
    std::vector<double> x;
    model::ActiveSet set;

    explicit Feed(const Gas& gas) : name(gas.name) {
        const Composition all = gas.fractions();
        double total = 0.0;
        for (double v : all) total += v;
        for (int i = 0; i < kComponentCount; ++i) {
            if (all[i] > 0.0) { ids.push_back(i); x.push_back(all[i] / total); }
        }
        model::make_active_set(ids, set);
    }
    int n() const { return static_cast<int>(ids.size()); }
};

// A feed with its composition prepared for the model's evaluations.
struct ModelFeed : Feed {
    model::CompositionState comp;
    explicit ModelFeed(const Gas& gas) : Feed(gas) { model::prepare_composition(set, x.data(), comp); }
};

// A dry gas's percentages scaled to make room for `water` mol-% of water.
inline Gas with_water(const std::string& name, std::vector<std::pair<const char*, double>> dry, double water) {
    double total = 0.0;
    for (const auto& c : dry) total += c.second;
    for (auto& c : dry) c.second *= (100.0 - water) / total;
    dry.emplace_back("H2O", water);
    return {name, dry};
}
inline std::vector<std::pair<const char*, double>> lean_pipeline_percent() {
    return {{"CH4", 90}, {"C2H6", 5}, {"C3H8", 2}, {"N2", 2}, {"CO2", 1}};
}

// The 11-component pipeline gas of the benchmarks.
inline Gas lean_gas_11() {
    return {"lean_11", {{"CH4", 90}, {"N2", 2}, {"CO2", 1}, {"C2H6", 4}, {"C3H8", 1.5}, {"nC4", 0.4}, {"iC4", 0.4},
                        {"nC5", 0.2}, {"iC5", 0.2}, {"nC6", 0.2}, {"H2", 0.1}}};
}
// The published 21-component test mixture.
inline Gas published_mixture() {
    return {"published_21", {{"CH4", 77.824}, {"N2", 2}, {"CO2", 6}, {"C2H6", 8}, {"C3H8", 3}, {"nC4", 0.3},
                             {"iC4", 0.15}, {"nC5", 0.165}, {"iC5", 0.05}, {"nC6", 0.215}, {"nC7", 0.088},
                             {"nC8", 0.024}, {"nC9", 0.015}, {"nC10", 0.009}, {"H2", 0.4}, {"O2", 0.5}, {"CO", 0.2},
                             {"H2O", 0.01}, {"H2S", 0.25}, {"He", 0.7}, {"Ar", 0.1}}};
}
// Inside the limits of both range sets; one phase at ordinary states.
inline Gas pipeline_gas() { return {"pipeline_5", {{"CH4", 90}, {"N2", 3}, {"CO2", 2}, {"C2H6", 4}, {"C3H8", 1}}}; }
// Splits into two phases at 240 K and 4 MPa (the reference split).
inline Gas rich_gas_7() {
    return {"rich_7", {{"CH4", 86}, {"N2", 2.5}, {"C2H6", 6}, {"C3H8", 3}, {"nC4", 1.2}, {"iC4", 0.8}, {"nC5", 0.5}}};
}
inline Gas dry_gas() { return {"dry", {{"CH4", 98}, {"N2", 1}, {"CO2", 0.5}, {"C2H6", 0.5}}}; }
inline Gas high_nitrogen_gas() { return {"high_n2", {{"CH4", 80}, {"N2", 14}, {"CO2", 1}, {"C2H6", 4}, {"C3H8", 1}}}; }
inline Gas condensate_gas() {
    return {"condensate", {{"CH4", 74}, {"N2", 1}, {"CO2", 2}, {"C2H6", 9}, {"C3H8", 6}, {"nC4", 2.5}, {"iC4", 1.5},
                           {"nC5", 1.2}, {"iC5", 0.8}, {"nC6", 1}, {"nC7", 0.6}, {"nC8", 0.4}}};
}
inline Gas sour_gas() { return {"sour_15", {{"CH4", 70}, {"H2S", 15}, {"CO2", 10}, {"N2", 2}, {"C2H6", 3}}}; }
inline Gas co2_rich_gas() {
    return {"co2_rich", {{"CO2", 90}, {"CH4", 5}, {"N2", 3}, {"Ar", 1}, {"O2", 0.5}, {"H2", 0.5}}};
}
inline Gas hydrogen_blend() {
    return {"h2_blend", {{"CH4", 72}, {"H2", 20}, {"C2H6", 4}, {"N2", 2}, {"CO2", 1}, {"C3H8", 1}}};
}
// Its dew line turns, past the critical point, into a bubble line that climbs
// to very high pressures instead of returning.
inline Gas hydrogen_blend_10() {
    return {"h2_blend_10", {{"CH4", 72}, {"H2", 10}, {"C2H6", 8}, {"N2", 2}, {"CO2", 1}, {"C3H8", 4}, {"nC4", 2}, {"iC4", 1}}};
}
inline Gas hydrogen_rich() { return {"h2_rich", {{"H2", 90}, {"CH4", 10}}}; }
inline Gas helium_gas() {
    return {"with_he_ar_co", {{"CH4", 88}, {"N2", 5}, {"C2H6", 4}, {"He", 0.5}, {"Ar", 0.5}, {"CO", 1}, {"C3H8", 1}}};
}
inline Gas methane_propane() { return {"ch4_c3h8", {{"CH4", 90}, {"C3H8", 10}}}; }
inline Gas methane_decane() { return {"ch4_nc10", {{"CH4", 95}, {"nC10", 5}}}; }
inline Gas methane_co2() { return {"ch4_co2", {{"CH4", 50}, {"CO2", 50}}}; }
inline Gas methane_nitrogen() { return {"ch4_n2", {{"CH4", 50}, {"N2", 50}}}; }

// The dozen gases of the equilibrium grid.
inline std::vector<Gas> grid_gases() {
    return {lean_gas_11(),   dry_gas(),      high_nitrogen_gas(), rich_gas_7(),
            condensate_gas(), sour_gas(),    co2_rich_gas(),      hydrogen_blend(),
            hydrogen_rich(),  helium_gas(),  methane_propane(),   methane_decane()};
}

// The gases whose dew line returns to the minimum pressure.
inline std::vector<Gas> returning_gases() {
    return {lean_gas_11(), rich_gas_7(), methane_propane(), condensate_gas(), high_nitrogen_gas(), sour_gas(),
            {"lean_no_co2", {{"CH4", 96}, {"N2", 1}, {"C2H6", 2.5}, {"C3H8", 0.5}}},
            {"pipeline_7", {{"CH4", 94}, {"N2", 1.5}, {"CO2", 1.5}, {"C2H6", 2}, {"C3H8", 0.7}, {"nC4", 0.15}, {"iC4", 0.15}}},
            {"high_n2_9", {{"CH4", 81.4}, {"N2", 14.2}, {"CO2", 0.9}, {"C2H6", 2.8}, {"C3H8", 0.45}, {"nC4", 0.1},
                           {"iC4", 0.1}, {"nC5", 0.025}, {"iC5", 0.025}}},
            {"sour_6", {{"CH4", 84}, {"H2S", 6}, {"CO2", 4}, {"N2", 2}, {"C2H6", 3}, {"C3H8", 1}}},
            {"rich_no_inerts", {{"CH4", 85}, {"C2H6", 8}, {"C3H8", 4}, {"nC4", 1.5}, {"iC4", 1}, {"nC5", 0.5}}},
            {"co2_3", {{"CH4", 88}, {"CO2", 3}, {"C2H6", 5}, {"C3H8", 2}, {"nC4", 1}, {"iC4", 1}}},
            {"mixed_10", {{"CH4", 83}, {"N2", 3}, {"CO2", 2}, {"C2H6", 7}, {"C3H8", 3}, {"nC4", 1}, {"iC4", 0.5},
                          {"nC5", 0.2}, {"iC5", 0.2}, {"nC6", 0.1}}}};
}

}  // namespace ngtherm::test
