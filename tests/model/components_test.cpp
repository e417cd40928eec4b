#include <gtest/gtest.h>

#include <cctype>
#include <stdexcept>
#include <string>

#include "ngtherm/components.hpp"

namespace ngtherm {
namespace {

std::string with_case(std::string_view text, int (*change)(int)) {
    std::string s(text);
    for (char& c : s) c = static_cast<char>(change(static_cast<unsigned char>(c)));
    return s;
}

TEST(ComponentLookup, FindsEveryComponentByIdNameOrCommonSpellingInAnyCase) {
    for (int i = 0; i < kComponentCount; ++i) {
        const std::string id(component_id(i)), name(component_name(i));
        for (const std::string& spelling : {id, with_case(id, ::toupper), with_case(id, ::tolower), name,
                                            with_case(name, ::toupper)}) {
            EXPECT_EQ(find_component(spelling), i) << spelling;
        }
    }
    EXPECT_EQ(find_component("Iso-Butane"), static_cast<int>(Component::iC4));
    EXPECT_EQ(find_component("hydrogen sulfide"), static_cast<int>(Component::H2S));
    EXPECT_EQ(find_component("c10h22"), static_cast<int>(Component::nC10));
}

TEST(ComponentLookup, ReturnsNothingForUnknownOrAmbiguousSpellings) {
    for (const std::string_view spelling : {"", "CH5", "butane", "C4H10", "C5H12", "methane ", " CH4", "CH4=1", "nC11", "Ne"}) {
        EXPECT_FALSE(find_component(spelling).has_value()) << "'" << spelling << "'";
    }
}

TEST(ComponentLookup, GivesMolarMassesInKilogramsPerMoleAndThrowsOutsideTheSet) {
    EXPECT_EQ(component_molar_mass(static_cast<int>(Component::CH4)), 0.01604246);
    for (const int index : {-1, kComponentCount}) {
        EXPECT_THROW(component_id(index), std::out_of_range);
        EXPECT_THROW(component_name(index), std::out_of_range);
        EXPECT_THROW(component_molar_mass(index), std::out_of_range);
    }
}

}  // namespace
}  // namespace ngtherm
