// The command's own parsers and writers.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "cli/common.hpp"

namespace ngtherm::cli {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::size_t at(Component c) { return static_cast<std::size_t>(c); }

// The expected composition: the percentages as given, in model order.
Composition percentages(std::initializer_list<std::pair<Component, double>> percents) {
    Composition x{};
    for (const auto& [c, percent] : percents) x[at(c)] = percent;
    return x;
}

// `parse` throws one line starting with `message`.
template <typename Parse>
void expect_rejected(Parse parse, const std::string& message) {
    try {
        parse();
        ADD_FAILURE() << "accepted, expected " << message;
    } catch (const ArgumentError& e) {
        const std::string what = e.what();
        EXPECT_EQ(what.substr(0, message.size()), message);
        EXPECT_EQ(what.find('\n'), std::string::npos) << what;
    }
}

// Every spelling of every component is ComponentLookup's (tests/api/caller_input_test.cpp).
TEST(GasParsing, AcceptsIdsNamesCaseAndSpacesGivingThePercentagesAsGiven) {
    using enum Component;
    const Composition natural_gas = percentages({{CH4, 90}, {C2H6, 5}, {N2, 3}, {CO2, 2}});
    const Composition butanes = percentages({{nC4, 25}, {iC4, 25}, {H2S, 50}});
    const std::vector<std::pair<std::string, Composition>> cases = {
        {"CH4=90,C2H6=5,N2=3,CO2=2", natural_gas}, {" ch4 = 90 , c2h6=5,N2= 3 ,Co2=+2 ", natural_gas},
        {"nC4=25,Isobutane=25,hydrogen sulphide=50", butanes}, {"CH4=1e2,N2=0", percentages({{CH4, 100}})}, {"CH4=99.99991", percentages({{CH4, 99.99991}})},
        {"CH4=33.3,C2H6=33.3,C3H8=33.4", percentages({{CH4, 33.3}, {C2H6, 33.3}, {C3H8, 33.4}})},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parse_gas(text), expected) << text;
}

TEST(GasParsing, RejectsBadCompositionsWithOneLineNamingTheArgument) {
    const std::string bad_percent = "--gas: mole percent of CH4 must be a number from 0 to 100, got ";
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"CH5=100", "--gas", "--gas: unknown component 'CH5'; the ids are CH4 N2 CO2 C2H6 C3H8 nC4 iC4 nC5 iC5 "
                             "nC6 nC7 nC8 nC9 nC10 H2 O2 CO H2O H2S He Ar (or their English names)"},
        {"XX=100", "--feed", "--feed: unknown component 'XX'"},
        {"=100", "--gas", "--gas: unknown component ''"},
        {"CH4=50,methane=50", "--gas", "--gas: component CH4 is given more than once"},
        {"CH4=99.9", "--gas", "--gas: mole percentages sum to 99.9, not 100"},
        {"CH4=101,N2=-1", "--gas", bad_percent + "'101'"}, {"CH4=100.00005", "--gas", bad_percent + "'100.00005'"},
        {"CH4=99.9999", "--gas", "--gas: mole percentages sum to 99.9999, not 100"},
        {"CH4=nan", "--gas", bad_percent + "'nan'"},  // the numbers read_number refuses: NumberParsing
        {"CH4", "--gas", "--gas: expected COMPONENT=PERCENT, got 'CH4'"},
        {"CH4=90,,N2=10", "--gas", "--gas: empty entry in "}, {"CH4=100,", "--gas", "--gas: empty entry in "},
        {"   ", "--gas", "--gas: empty composition"},
    };
    for (const auto& [text, argument, message] : cases) expect_rejected([&] { parse_gas(text, argument); }, message);
}

TEST(NumberParsing, AcceptsDecimalExponentAndSignedFormsAndRejectsNonFiniteAndTrailingText) {
    for (const auto& [text, expected] : {std::pair{"300", 300.0}, {"2.5e1", 25.0}, {"+7", 7.0}, {" 5 ", 5.0},
                                         {"-40", -40.0}, {".5", 0.5}}) {
        EXPECT_EQ(parse_number(text, "-T", "K"), expected) << text;
    }
    for (const std::string text : {"nan", "inf", "", "300K", "1e999", "3,5", "+-5", "0x10"}) {
        expect_rejected([&] { parse_number(text, "-p", "MPa"); },
                        "-p: expected a finite number in MPa, got '" + text + "'");
    }
}

TEST(Units, ConvertTemperaturesAndPressuresToKelvinAndMegapascalAndBack) {
    using enum TemperatureUnit;
    using enum PressureUnit;
    const std::vector<std::tuple<Units, double, double, double, double>> cases{
        {{K, MPa}, 300.0, 300.0, 5.0, 5.0},      {{C, bar}, 26.85, 300.0, 50.0, 5.0},
        {{F, kPa}, 32.0, 273.15, 5000.0, 5.0},   {{C, psia}, -40.0, 233.15, 14.503773773020923, 0.1},
    };
    for (const auto& [units, T, kelvin, p, mpa] : cases) {
        EXPECT_NEAR(units.to_kelvin(T), kelvin, 1e-12 * kelvin) << units.T_name();
        EXPECT_NEAR(units.from_kelvin(kelvin), T, 1e-12 * kelvin) << units.T_name();
        EXPECT_NEAR(units.to_mpa(p), mpa, 1e-15 * p) << units.p_name();
        EXPECT_NEAR(units.from_mpa(mpa), p, 1e-15 * p) << units.p_name();
    }
}

TEST(NumberFormatting, ShortestFormReadsBackToTheSameBits) {
    for (const double v : {0.1, 1.0 / 3.0, 2.0 / 3.0, 300.0, -0.0, 5e-324, 2.2250738585072014e-308,
                           1.7976931348623157e308, 0.9012345678901234, -1234.5678, 1e21, 123456789012345680.0}) {
        const std::string text = format_shortest(v);
        double back = 0.0;
        EXPECT_EQ(std::from_chars(text.data(), text.data() + text.size(), back).ptr, text.data() + text.size());
        EXPECT_EQ(std::bit_cast<std::uint64_t>(back), std::bit_cast<std::uint64_t>(v)) << text;
    }
    for (const auto& [v, text] : {std::pair{0.1, "0.1"}, {300.0, "300"}, {kNaN, "nan"}, {-std::numeric_limits<double>::infinity(), "-inf"}}) {
        EXPECT_EQ(format_shortest(v), text);
    }
    EXPECT_EQ(format_readable(1.0 / 3.0, 4), "0.3333");
}

}  // namespace
}  // namespace ngtherm::cli
