// Helpers shared by the tests: compositions by component id, the reference
// values file, and set-ups of the model for a composition.
#pragma once

#include <array>
#include <fstream>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/active_set.hpp"
#include "model/mixstate.hpp"
#include "ngtherm/components.hpp"

namespace ngtherm::test {

// Mole fractions from (id, fraction) pairs, model order.
inline Composition composition(std::initializer_list<std::pair<const char*, double>> parts) {
    Composition x{};
    for (const auto& [id, value] : parts) x[*find_component(id)] = value;
    return x;
}

// The published 21-component test mixture.
inline Composition published_mixture() {
    return composition({{"CH4", 0.77824}, {"N2", 0.02}, {"CO2", 0.06}, {"C2H6", 0.08}, {"C3H8", 0.03},
                        {"nC4", 0.003}, {"iC4", 0.0015}, {"nC5", 0.00165}, {"iC5", 0.0005}, {"nC6", 0.00215},
                        {"nC7", 0.00088}, {"nC8", 0.00024}, {"nC9", 0.00015}, {"nC10", 0.00009}, {"H2", 0.004},
                        {"O2", 0.005}, {"CO", 0.002}, {"H2O", 0.0001}, {"H2S", 0.0025}, {"He", 0.007},
                        {"Ar", 0.001}});
}

// The 11-component natural gas of the benchmarks.
inline Composition natural_gas_11() {
    return composition({{"CH4", 0.90}, {"N2", 0.02}, {"CO2", 0.01}, {"C2H6", 0.04}, {"C3H8", 0.015},
                        {"nC4", 0.004}, {"iC4", 0.004}, {"nC5", 0.002}, {"iC5", 0.002}, {"nC6", 0.002},
                        {"H2", 0.001}});
}

inline const nlohmann::json& reference_values() {
    static const nlohmann::json j = [] {
        std::ifstream in(std::string(NGTHERM_SOURCE_DIR) + "/data/reference_values.json");
        return nlohmann::json::parse(in);
    }();
    return j;
}

inline Composition composition_from_json(const nlohmann::json& fractions) {
    Composition x{};
    for (auto it = fractions.begin(); it != fractions.end(); ++it) x[*find_component(it.key())] = it.value();
    return x;
}

// The model set-up of a composition: the active set and its fractions.
struct ModelSetup {
    model::ActiveSet set;
    std::vector<double> x;
    model::CompositionState comp;

    explicit ModelSetup(const Composition& fractions) {
        std::vector<int> ids;
        for (int i = 0; i < kComponentCount; ++i) {
            if (fractions[i] >= kMinActiveFraction) {
                ids.push_back(i);
                x.push_back(fractions[i]);
            }
        }
        model::make_active_set(ids, set);
        model::prepare_composition(set, x.data(), comp);
    }
};

}  // namespace ngtherm::test
