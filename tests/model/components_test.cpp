#include <gtest/gtest.h>

#include <cctype>
#include <stdexcept>
#include <string>
#include <vector>

#include "ngtherm/components.hpp"

namespace ngtherm {
namespace {

std::string upper(std::string_view text) {
    std::string s(text);
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string lower(std::string_view text) {
    std::string s(text);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

TEST(ComponentLookup, FindsEveryComponentByIdAndNameInAnyCase) {
    for (int i = 0; i < kComponentCount; ++i) {
        const std::string id(component_id(i));
        const std::string name(component_name(i));
        SCOPED_TRACE(id);
        for (const std::string& spelling : {id, upper(id), lower(id), name, upper(name)}) {
            EXPECT_EQ(find_component(spelling), i) << spelling;
        }
    }
}

TEST(ComponentLookup, IdsFollowTheModelOrderOfTheEnum) {
    const std::vector<std::pair<Component, std::string_view>> cases = {
        {Component::CH4, "CH4"}, {Component::N2, "N2"},   {Component::CO2, "CO2"},
        {Component::C2H6, "C2H6"}, {Component::nC4, "nC4"}, {Component::iC4, "iC4"},
        {Component::nC10, "nC10"}, {Component::H2, "H2"},   {Component::H2S, "H2S"},
        {Component::He, "He"},   {Component::Ar, "Ar"},
    };
    for (const auto& [component, id] : cases) {
        EXPECT_EQ(component_id(static_cast<int>(component)), id);
    }
    EXPECT_EQ(component_name(static_cast<int>(Component::iC4)), "isobutane");
    EXPECT_EQ(component_name(static_cast<int>(Component::H2S)), "hydrogen sulphide");
}

TEST(ComponentLookup, AcceptsCommonSpellingsThatNameOneComponent) {
    const std::vector<std::pair<std::string_view, Component>> cases = {
        {"i-butane", Component::iC4},         {"Iso-Butane", Component::iC4},
        {"isopentane", Component::iC5},       {"i-pentane", Component::iC5},
        {"hydrogen sulfide", Component::H2S}, {"Hydrogen Sulphide", Component::H2S},
        {"C6H14", Component::nC6},            {"c10h22", Component::nC10},
        {"carbon monoxide", Component::CO},   {"WATER", Component::H2O},
    };
    for (const auto& [spelling, component] : cases) {
        EXPECT_EQ(find_component(spelling), static_cast<int>(component)) << spelling;
    }
}

TEST(ComponentLookup, ReturnsNothingForUnknownOrAmbiguousSpellings) {
    for (const std::string_view spelling :
         {"", "CH5", "butane", "C4H10", "C5H12", "methane ", " CH4", "CH4=1", "nC11", "Ne"}) {
        EXPECT_FALSE(find_component(spelling).has_value()) << "'" << spelling << "'";
    }
}

TEST(ComponentLookup, GivesMolarMassesInKilogramsPerMole) {
    EXPECT_EQ(component_molar_mass(static_cast<int>(Component::CH4)), 0.01604246);
    EXPECT_EQ(component_molar_mass(static_cast<int>(Component::Ar)), 0.039948);
    for (int i = 0; i < kComponentCount; ++i) {
        EXPECT_GT(component_molar_mass(i), 0.002);
        EXPECT_LT(component_molar_mass(i), 0.15);
    }
}

TEST(ComponentLookup, ThrowsOutOfRangeForAnIndexOutsideTheSet) {
    for (const int index : {-1, kComponentCount, 1000}) {
        EXPECT_THROW(component_id(index), std::out_of_range);
        EXPECT_THROW(component_name(index), std::out_of_range);
        EXPECT_THROW(component_molar_mass(index), std::out_of_range);
    }
}

}  // namespace
}  // namespace ngtherm
