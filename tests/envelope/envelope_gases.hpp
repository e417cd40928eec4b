// Gases of the envelope tests, from lean to rich, with and without nitrogen,
// carbon dioxide and hydrogen sulphide, and a hydrogen blend; each as mole
// percentages by component id, turned into the active set of the tracer or
// the percentages of the C interface.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "api/composition.hpp"
#include "model/active_set.hpp"
#include "ngtherm/components.hpp"
#include "ngtherm/exports.hpp"

namespace ngtherm::test {

struct Gas {
    std::string name;
    std::vector<std::pair<const char*, double>> percent;

    // Model-order mole fractions.
    Composition fractions() const {
        Composition x{};
        for (const auto& [id, value] : percent) x[*find_component(id)] = value / 100.0;
        return x;
    }
    ExternalPercentages external() const { return external_percentages(fractions()); }
};

// The active set and normalised feed of a gas, as the tracer takes them.
struct TracerFeed {
    model::ActiveSet set;
    std::vector<double> z;
    explicit TracerFeed(const Gas& gas) {
        const Composition x = gas.fractions();
        std::vector<int> ids;
        for (int i = 0; i < kComponentCount; ++i) {
            if (x[i] > 0.0) {
                ids.push_back(i);
                z.push_back(x[i]);
            }
        }
        model::make_active_set(ids, set);
    }
};

// The 11-component pipeline gas of the benchmarks.
inline Gas lean_gas_11() {
    return {"lean_11", {{"CH4", 90}, {"N2", 2}, {"CO2", 1}, {"C2H6", 4}, {"C3H8", 1.5}, {"nC4", 0.4},
                        {"iC4", 0.4}, {"nC5", 0.2}, {"iC5", 0.2}, {"nC6", 0.2}, {"H2", 0.1}}};
}
// The 7-component gas and the methane-propane mixture of the reference values.
inline Gas rich_gas_7() {
    return {"rich_7", {{"CH4", 86}, {"N2", 2.5}, {"C2H6", 6}, {"C3H8", 3}, {"nC4", 1.2}, {"iC4", 0.8},
                       {"nC5", 0.5}}};
}
inline Gas methane_propane() { return {"methane_propane", {{"CH4", 90}, {"C3H8", 10}}}; }
inline Gas condensate_gas() {
    return {"condensate", {{"CH4", 74}, {"N2", 1}, {"CO2", 2}, {"C2H6", 9}, {"C3H8", 6}, {"nC4", 2.5},
                           {"iC4", 1.5}, {"nC5", 1.2}, {"iC5", 0.8}, {"nC6", 1}, {"nC7", 0.6},
                           {"nC8", 0.4}}};
}
// A hydrogen blend: its dew line turns, past the critical point, into a
// bubble line that climbs to very high pressures instead of returning.
inline Gas hydrogen_blend_10() {
    return {"hydrogen_blend_10", {{"CH4", 72}, {"H2", 10}, {"C2H6", 8}, {"N2", 2}, {"CO2", 1},
                                  {"C3H8", 4}, {"nC4", 2}, {"iC4", 1}}};
}

// Every gas of the envelope tests except the hydrogen blend.
inline std::vector<Gas> returning_gases() {
    return {
        lean_gas_11(),
        rich_gas_7(),
        methane_propane(),
        condensate_gas(),
        {"lean_no_co2", {{"CH4", 96}, {"N2", 1}, {"C2H6", 2.5}, {"C3H8", 0.5}}},
        {"pipeline", {{"CH4", 94}, {"N2", 1.5}, {"CO2", 1.5}, {"C2H6", 2}, {"C3H8", 0.7},
                      {"nC4", 0.15}, {"iC4", 0.15}}},
        {"high_nitrogen", {{"CH4", 80}, {"N2", 14}, {"CO2", 1}, {"C2H6", 4}, {"C3H8", 1}}},
        {"high_nitrogen_9", {{"CH4", 81.4}, {"N2", 14.2}, {"CO2", 0.9}, {"C2H6", 2.8}, {"C3H8", 0.45},
                             {"nC4", 0.1}, {"iC4", 0.1}, {"nC5", 0.025}, {"iC5", 0.025}}},
        {"sour_6", {{"CH4", 84}, {"H2S", 6}, {"CO2", 4}, {"N2", 2}, {"C2H6", 3}, {"C3H8", 1}}},
        {"sour_15", {{"CH4", 70}, {"H2S", 15}, {"CO2", 10}, {"N2", 2}, {"C2H6", 3}}},
        {"rich_no_inerts", {{"CH4", 85}, {"C2H6", 8}, {"C3H8", 4}, {"nC4", 1.5}, {"iC4", 1}, {"nC5", 0.5}}},
        {"carbon_dioxide_3", {{"CH4", 88}, {"CO2", 3}, {"C2H6", 5}, {"C3H8", 2}, {"nC4", 1}, {"iC4", 1}}},
        {"mixed_10", {{"CH4", 83}, {"N2", 3}, {"CO2", 2}, {"C2H6", 7}, {"C3H8", 3}, {"nC4", 1},
                      {"iC4", 0.5}, {"nC5", 0.2}, {"iC5", 0.2}, {"nC6", 0.1}}},
    };
}

}  // namespace ngtherm::test
