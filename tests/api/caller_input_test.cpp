// The caller's input: the components by name; the composition on its way in
// (external order, division by 100, properties::set_mixture); the status codes
// and sentinels as include/ngtherm.h documents them; and api::check_input
// against an oracle of each limit and the documented precedence, up to three
// violations at once.
#include "api/check_input.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <regex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "api/composition.hpp"
#include "api/status_codes.hpp"
#include "model/gerg_data.hpp"
#include "model/sentinels.hpp"
#include "ngtherm/components.hpp"
#include "properties/mixture_setup.hpp"
#include "support/c_exports.hpp"

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

TEST(StatusCodes, HeaderTableEqualsTheLibraryTable) {
    const std::string block = test::header_block("Status codes:");
    const std::regex entry(R"(\s+(-?\d+)\s{2,}(\S.*\S)\s*\n)");
    std::map<int, std::string> header;
    for (std::sregex_iterator m(block.begin(), block.end(), entry), end; m != end; ++m) {
        header[std::stoi((*m)[1])] = (*m)[2];
    }
    ASSERT_EQ(header.size(), status_meanings().size());
    for (const StatusMeaning& e : status_meanings()) EXPECT_EQ(header[e.code], e.meaning) << e.code;
    EXPECT_EQ(status_meaning(57), "unknown status code");
}

TEST(StatusCodes, EveryDocumentedSentinelGivesItsCodeAndOtherValuesNone) {
    const std::string block = test::header_block("Sentinels and their codes:");
    const std::regex pair(R"((-\d+) (\d+))");
    int listed = 0;
    for (std::sregex_iterator m(block.begin(), block.end(), pair), end; m != end; ++m, ++listed) {
        for (std::int16_t before : {-1, 0}) {
            std::int16_t status = before;
            status_from_sentinel(std::stod((*m)[1]), status);
            EXPECT_EQ(status, std::stoi((*m)[2])) << (*m)[1];
        }
    }
    EXPECT_EQ(listed, static_cast<int>(kSentinelCodes.size()));
    for (double other : {-99993.0, 0.0, -0.0, std::nextafter(-97777.0, 0.0), 97777.0, std::nan(""), -99991.5}) {
        std::int16_t status = 53;
        status_from_sentinel(other, status);
        EXPECT_EQ(status, 53) << other;
    }
}

using Percentages = std::array<double, kComponentCount>;
using enum ExternalPosition;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Input {
    Percentages c = test::pipeline_gas().external();
    double p = 5.0, T = 300.0;

    double& operator[](ExternalPosition e) { return c[index(e)]; }
    double operator[](ExternalPosition e) const { return c[index(e)]; }
};

int run_check(const Input& in, std::int16_t range_set) {
    std::int16_t status = 12345;
    check_input(in.c.data(), in.p, in.T, range_set, status);
    return status;
}

// Moves `amount` mol-% from methane to component `e`, keeping the sum at 100.
Input with(ExternalPosition e, double amount, Input in = {}) {
    in[e] += amount;
    in[CH4] -= amount;
    return in;
}

Input only(ExternalPosition e, double amount) {
    Input in{.c = {}};
    in[e] = amount;
    return in;
}

// The precedence include/ngtherm.h documents, strongest first.
std::vector<int> documented_precedence() {
    const std::string block = test::header_block("the strongest code wins:");
    const std::regex number(R"(\d+)");
    std::vector<int> codes;
    for (std::sregex_iterator m(block.begin(), block.end(), number), end; m != end; ++m) codes.push_back(std::stoi(m->str()));
    return codes;
}

bool violated(int code, const Input& in, int rs) {
    const bool set1 = rs == 1;
    double sum = 0.0;
    for (double v : in.c) sum += v;
    switch (code) {
        case 53: for (double v : in.c) if (!(v >= 0.0) || std::isinf(v)) return true; return false;
        case 54: return !(std::fabs(sum - 100.0) < 1e-4);
        case 55: return !(in.T > 60.0 && in.T <= 2000.0);
        case 56: return !(in.p > 0.0 && in.p <= 1000.0);
        case 180: return rs < 0;
    }
    if (rs < 1) return false;
    switch (code) {
        case 101: return in[CH4] < (set1 ? 45.0 : 0.0);
        case 102: return in[N2] > (set1 ? 50.0 : 100.0);
        case 103: return in[CO2] > (set1 ? 30.0 : 100.0);
        case 104: return in[C2H6] > (set1 ? 20.0 : 100.0);
        case 105: return in[C3H8] > (set1 ? 10.0 : 100.0);
        case 110: return in[nC6] > double{0.2f};
        case 111: return in[nC7] > double{0.05f};
        case 115: return in[He] > double{0.2f};
        case 117: return in[H2] > 10.0;
        case 119: return in[CO] > 3.0;
        case 120: return in[H2O] > double{0.02f};
        case 171: return in[nC4] + in[iC4] > 3.0;
        case 172: return in[nC5] + in[iC5] > 0.5;
        case 173: return in[nC8] + in[nC9] + in[nC10] > double{0.05f};
        case 170: return in[Ar] + in[O2] + in[H2S] + in[nC9] + in[nC10] > double{0.1f};
        case 181: return in.T < (set1 ? 250.0 : 60.0) || in.T > (set1 ? 450.0 : 700.0);
        case 182: return in.p > (set1 ? 30.0 : 70.0);
    }
    return false;
}

int expected_status(const Input& in, int rs) {
    const int effective = rs > 2 ? 2 : rs;
    static const std::vector<int> precedence = documented_precedence();
    for (int code : precedence) {
        if (violated(code, in, effective)) return code;
    }
    return effective == 0 ? -1 : 0;
}

using Perturbation = std::function<void(Input&)>;

// Violations far beyond a limit, then each limit and the nearest value on its
// other side; the first leaves the input alone.
std::vector<Perturbation> perturbations() {
    const auto p = [](double v) -> Perturbation { return [=](Input& in) { in.p = v; }; };
    const auto T = [](double v) -> Perturbation { return [=](Input& in) { in.T = v; }; };
    const auto set = [](ExternalPosition e, double v) -> Perturbation { return [=](Input& in) { in[e] = v; }; };
    const auto move = [](ExternalPosition e, double amount) -> Perturbation {
        return [=](Input& in) { in = with(e, amount, in); };
    };
    const auto gas = [](const Input& g) -> Perturbation { return [=](Input& in) { in.c = g.c; }; };
    Input methane_45 = only(CH4, 45.0);
    methane_45[N2] = 50.0;
    methane_45[CO2] = 5.0;
    // Group 170 sums five components, 173 three.
    const Input argon_group = with(Ar, 0.03, with(O2, 0.03, with(H2S, 0.03, with(nC9, 0.01))));
    const Input octanes = with(nC8, 0.02, with(nC9, 0.02));
    return {
        [](Input&) {},
        p(2000.0), p(35.0), p(0.0), p(kNaN), T(50.0), T(500.0), T(800.0), T(kInf),
        set(nC5, -0.5), set(H2S, kNaN), set(H2O, kInf), [](Input& in) { in[CH4] += 1.0; },
        move(N2, 48.0), move(CO2, 29.0), move(C2H6, 17.0), move(C3H8, 10.0), move(nC6, 0.3), move(nC7, 0.06),
        move(He, 0.3), move(H2, 11.0), move(CO, 4.0), move(H2O, 0.03), move(Ar, 0.2), move(nC8, 0.06),
        move(nC5, 0.6), move(nC4, 3.5), move(O2, 0.05), move(H2S, 0.08), move(C3H8, 50.0),
        p(1000.0), p(std::nextafter(1000.0, 2e3)), p(5e-324), p(30.0), p(30.000001), p(70.0), p(70.000001),
        T(2000.0), T(std::nextafter(2000.0, 3e3)), T(60.0), T(std::nextafter(60.0, 1e2)), T(250.0),
        T(std::nextafter(250.0, 0.0)), T(450.0), T(std::nextafter(450.0, 1e3)), T(700.0), T(700.001),
        gas(only(CH4, 100.00009)), gas(only(CH4, 100.0001)), gas(only(CH4, 99.9999)), gas(only(N2, 100.0)),
        gas(with(N2, 47.0, with(C2H6, -4.0))), gas(with(N2, 48.0, with(C2H6, -4.0))),
        gas(methane_45), gas(with(CO2, 0.0001, methane_45)), move(CO, 3.0), move(CO, 3.1),
        // 0.2, 0.1, 0.05 and 0.02 are the nearest floats, widened.
        move(He, 0.2000000029), move(He, 0.2000000030), move(nC6, 0.2000000029), move(nC6, 0.2000000030),
        move(nC7, 0.05000000074), move(nC7, 0.05000000075), move(nC10, 0.05000000074), move(nC10, 0.05000000075),
        move(O2, 0.1000000014), move(O2, 0.1000000015), move(H2O, 0.01999999955), move(H2O, 0.01999999956),
        gas(argon_group), gas(with(nC10, 0.002, argon_group)), gas(octanes), gas(with(nC10, 0.02, octanes)),
        gas(with(nC5, 0.25, with(iC5, 0.25))), gas(with(nC5, 0.3, with(iC5, 0.3))),
        gas(with(nC4, 1.5, with(iC4, 1.5))), gas(with(nC4, 1.6, with(iC4, 1.6))),
    };
}

TEST(CheckInput, EachLimitAndTheStrongestDocumentedViolationHoldInEveryCombinationOfUpToThree) {
    ASSERT_EQ(documented_precedence().size(), 22u);
    const std::vector<Perturbation> all = perturbations();
    const int count = static_cast<int>(all.size());
    int checked = 0;
    for (int a = -1; a < count; ++a) {
        for (int b = a + 1; b < count; ++b) {
            for (int c = b + 1; c <= count; ++c) {
                Input in;
                for (int k : {a, b, c}) if (k >= 0 && k < count) all[k](in);
                for (std::int16_t rs : {-1, 0, 1, 2, 5}) {
                    ++checked;
                    ASSERT_EQ(run_check(in, rs), expected_status(in, rs))
                        << "perturbations " << a << ", " << b << ", " << c << ", range set " << rs;
                }
            }
        }
    }
    EXPECT_GT(checked, 10000);
}

}  // namespace
}  // namespace ngtherm::api
