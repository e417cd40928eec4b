// The reference values of an independent implementation (data/reference_values.json)
// and the gases in it.
#pragma once

#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "support/gases.hpp"

namespace ngtherm::test {

inline const nlohmann::json& reference_values() {
    static const nlohmann::json j = [] {
        std::ifstream in(std::string(NGTHERM_SOURCE_DIR) + "/data/reference_values.json");
        return nlohmann::json::parse(in);
    }();
    return j;
}

// A gas from an object of component id -> mole fraction.
inline Gas gas_from_json(const std::string& name, const nlohmann::json& fractions) {
    Gas gas{name, {}};
    for (auto it = fractions.begin(); it != fractions.end(); ++it) {
        gas.percent.emplace_back(component_id(*find_component(it.key())).data(), 100.0 * it.value().get<double>());
    }
    return gas;
}

}  // namespace ngtherm::test
