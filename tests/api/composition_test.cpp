// The components by name, and the caller's composition on its way in: external
// order, division by 100, properties::set_mixture.
#include "api/composition.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>

#include "model/gerg_data.hpp"
#include "ngtherm/components.hpp"
#include "model/sentinels.hpp"
#include "properties/mixture_setup.hpp"

namespace ngtherm::api {
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

using properties::MixtureError;
using properties::set_mixture;

TEST(ComponentOrder, MapsEveryExternalPositionToTheSameComponentInModelOrder) {
    // Written out independently of the mapping under test.
    constexpr std::array<std::string_view, kComponentCount> external_ids{
        "CH4", "N2",  "CO2",  "C2H6", "C3H8", "nC4", "iC4", "nC5", "iC5", "nC6", "nC7",
        "nC8", "nC9", "nC10", "He",   "Ar",   "H2",  "O2",  "CO",  "H2O", "H2S"};
    for (int e = 0; e < kComponentCount; ++e) {
        EXPECT_EQ(std::string_view(model::kComponents[kExternalToModel[e]].id), external_ids[e]) << e;
        EXPECT_EQ(kModelToExternal[kExternalToModel[e]], e);
    }
}

TEST(SortComposition, DividesByOneHundredInModelOrder) {
    std::array<double, kComponentCount> in{}, echo{};
    for (int e = 0; e < kComponentCount; ++e) in[e] = 45.9 + e;
    Composition x{};
    sort_composition(in.data(), echo.data(), x);
    for (int e = 0; e < kComponentCount; ++e) EXPECT_EQ(x[kExternalToModel[e]], in[e] / 100.0) << e;
    // 45.9 / 100 and 45.9 * 0.01 differ in the last bit; the division is meant.
    ASSERT_NE(45.9 / 100.0, 45.9 * 0.01);
}

TEST(SetMixture, KeepsComponentsFromOneHundredMillionthAndTestsTheSumOfTheKeptOnes) {
    using enum MixtureError;
    const struct {
        double methane, nitrogen, traces;  // traces: every other component
        MixtureError error;
        int n;
    } cases[] = {
        {1.0, 0.0, 0.0, none, 1}, {1.0 - 1e-8, 1e-8, 0.0, none, 2}, {1.0 - 9.9e-9, 9.9e-9, 0.0, none, 1},
        {0.5, 0.5000009, 0.0, none, 2}, {0.5, 0.4999991, 0.0, none, 2}, {0.5, 0.500002, 0.0, sum, 2}, {0.5, 0.499998, 0.0, sum, 2},
        {1.0 - 1.1e-6, 0.99e-8, 0.99e-8, sum, 1},  // twenty traces below the threshold would close the gap; ignored
    };
    for (const auto& c : cases) {
        Composition x{};
        x.fill(c.traces);
        x[0] = c.methane, x[1] = c.nitrogen;
        const properties::MixtureSetup s = set_mixture(300.0, 5.0, x);
        EXPECT_TRUE(s.error == c.error && s.n == c.n && s.sentinel == (c.error == sum ? kSentinelFractionSum : 0.0))
            << c.methane << " + " << c.nitrogen;
    }
}

TEST(SetMixture, AdmitsClosedStateRangesTemperatureFirst) {
    using enum MixtureError;
    Composition methane{};
    methane[0] = 1.0;
    for (const auto& [T, p, error] : {std::tuple{2.1768, 1e-9, none}, {5000.0, 2500.0, none},
                                      {std::nextafter(2.1768, 0.0), 5.0, temperature},
                                      {std::nextafter(5000.0, 1e4), 5.0, temperature},
                                      {300.0, std::nextafter(1e-9, 0.0), pressure},
                                      {300.0, std::nextafter(2500.0, 1e4), pressure}, {1.0, 1e5, temperature}}) {
        EXPECT_EQ(set_mixture(T, p, methane).error, error) << "T = " << T << ", p = " << p;
    }
}

TEST(SetMixture, StopsAtTheFirstBadFractionKeepingWhatCameBefore) {
    const double M = model::kComponents[0].molar_mass * 0.5 + model::kComponents[1].molar_mass * 0.5;
    for (const auto& [position, value] : {std::pair{0, -1e-300}, {0, std::nextafter(1.0, 2.0)}, {2, 1.5},
                                          {20, std::numeric_limits<double>::infinity()}}) {
        Composition x{};
        x[0] = x[1] = 0.5;
        x[position] = value;
        const properties::MixtureSetup s = set_mixture(300.0, 5.0, x);
        EXPECT_TRUE(s.error == MixtureError::fraction && s.n == (position == 0 ? 0 : 2) && s.M == (position == 0 ? 0.0 : M)) << position;
    }
}

}  // namespace
}  // namespace ngtherm::api
