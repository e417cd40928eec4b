// The gases of the benchmarks, as active components with their mole fractions.
#pragma once

#include <array>
#include <utility>
#include <vector>

#include "ngtherm/components.hpp"

namespace ngtherm::bench {

struct Feed {
    std::vector<int> ids;  // ascending model numbers
    std::vector<double> x; // mole fractions
};

inline Feed make_feed(std::initializer_list<std::pair<Component, double>> percent) {
    std::array<double, kComponentCount> all{};
    for (const auto& [c, v] : percent) all[static_cast<int>(c)] = v / 100.0;
    Feed f;
    for (int i = 0; i < kComponentCount; ++i) {
        if (all[i] > 0.0) {
            f.ids.push_back(i);
            f.x.push_back(all[i]);
        }
    }
    return f;
}

// CH4 90, N2 2, CO2 1, C2H6 4, C3H8 1.5, nC4 0.4, iC4 0.4, nC5 0.2, iC5 0.2, nC6 0.2, H2 0.1 mol-%.
inline const Feed& pipeline_gas() {
    static const Feed f = make_feed({{Component::CH4, 90}, {Component::N2, 2}, {Component::CO2, 1},
                                     {Component::C2H6, 4}, {Component::C3H8, 1.5}, {Component::nC4, 0.4},
                                     {Component::iC4, 0.4}, {Component::nC5, 0.2}, {Component::iC5, 0.2},
                                     {Component::nC6, 0.2}, {Component::H2, 0.1}});
    return f;
}

// A rich gas: CH4 86, N2 2.5, C2H6 6, C3H8 3, nC4 1.2, iC4 0.8, nC5 0.5 mol-%.
inline const Feed& rich_gas() {
    static const Feed f = make_feed({{Component::CH4, 86}, {Component::N2, 2.5}, {Component::C2H6, 6},
                                     {Component::C3H8, 3}, {Component::nC4, 1.2}, {Component::iC4, 0.8},
                                     {Component::nC5, 0.5}});
    return f;
}

}  // namespace ngtherm::bench
