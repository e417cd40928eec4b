#include "ngtherm/components.hpp"

#include <array>
#include <stdexcept>
#include <string>

#include "model/gerg_data.hpp"

namespace ngtherm {
namespace {

// A spelling accepted besides the id and the English name of a component.
struct Alias {
    std::string_view spelling;
    Component component;
};

// Common spellings that name exactly one component of the set. Formulas that are
// already ids (CH4, C2H6, ...) need no entry; C4H10 and C5H12 are left out because
// both isomers are in the set.
constexpr std::array<Alias, 10> kAliases{{
    {"i-butane", Component::iC4},
    {"iso-butane", Component::iC4},
    {"i-pentane", Component::iC5},
    {"iso-pentane", Component::iC5},
    {"hydrogen sulfide", Component::H2S},
    {"C6H14", Component::nC6},
    {"C7H16", Component::nC7},
    {"C8H18", Component::nC8},
    {"C9H20", Component::nC9},
    {"C10H22", Component::nC10},
}};

char to_lower_ascii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equals_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (to_lower_ascii(a[i]) != to_lower_ascii(b[i])) return false;
    }
    return true;
}

const model::ComponentData& component_data(int index) {
    if (index < 0 || index >= kComponentCount) {
        throw std::out_of_range("component index " + std::to_string(index) + " is outside 0.." +
                                std::to_string(kComponentCount - 1));
    }
    return model::kComponents[static_cast<std::size_t>(index)];
}

}  // namespace

std::string_view component_id(int index) { return component_data(index).id; }

std::string_view component_name(int index) { return component_data(index).name; }

double component_molar_mass(int index) { return component_data(index).molar_mass; }

std::optional<int> find_component(std::string_view id_or_name) {
    for (int i = 0; i < kComponentCount; ++i) {
        const model::ComponentData& c = model::kComponents[static_cast<std::size_t>(i)];
        if (equals_ignoring_case(id_or_name, c.id) || equals_ignoring_case(id_or_name, c.name)) {
            return i;
        }
    }
    for (const Alias& alias : kAliases) {
        if (equals_ignoring_case(id_or_name, alias.spelling)) {
            return static_cast<int>(alias.component);
        }
    }
    return std::nullopt;
}

}  // namespace ngtherm
