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

// The expected composition: percent / 100 in model order, like the parser.
Composition fractions(std::initializer_list<std::pair<Component, double>> percents) {
    Composition x{};
    for (const auto& [c, percent] : percents) x[at(c)] = percent / 100.0;
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

TEST(GasParsing, AcceptsIdsNamesCaseAndSpacesGivingPercentOverHundred) {
    using enum Component;
    const Composition natural_gas = fractions({{CH4, 90}, {C2H6, 5}, {N2, 3}, {CO2, 2}});
    const Composition butanes = fractions({{nC4, 25}, {iC4, 25}, {H2S, 50}});
    const std::vector<std::pair<std::string, Composition>> cases = {
        {"CH4=90,C2H6=5,N2=3,CO2=2", natural_gas}, {"methane=90,ethane=5,nitrogen=3,carbon dioxide=2", natural_gas},
        {" ch4 = 90 , c2h6=5,N2= 3 ,Co2=+2 ", natural_gas},
        {"nC4=25,Isobutane=25,hydrogen sulphide=50", butanes}, {"n-butane=25,iC4=25,H2S=50", butanes},
        {"He=0.5,Ar=0.5,H2=1,O2=1,CO=1,H2O=1,CH4=95",
         fractions({{He, 0.5}, {Ar, 0.5}, {H2, 1}, {O2, 1}, {CO, 1}, {H2O, 1}, {CH4, 95}})},
        {"CH4=1e2,N2=0", fractions({{CH4, 100}})}, {"CH4=100.00009", fractions({{CH4, 100.00009}})},
        {"CH4=33.3,C2H6=33.3,C3H8=33.4", fractions({{CH4, 33.3}, {C2H6, 33.3}, {C3H8, 33.4}})},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(parse_gas(text), expected) << text;
}

TEST(GasParsing, RejectsBadCompositionsWithOneLineNamingTheArgument) {
    const std::string bad_percent = "--gas: mole percent of CH4 must be a finite number >= 0, got ";
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"CH5=100", "--gas", "--gas: unknown component 'CH5'"},
        {"XX=100", "--feed", "--feed: unknown component 'XX'"},
        {"=100", "--gas", "--gas: unknown component ''"},
        {"CH4=50,methane=50", "--gas", "--gas: component CH4 is given more than once"},
        {"CH4=99.9", "--gas", "--gas: mole percentages sum to 99.9, not 100"},
        {"CH4=101,N2=-1", "--gas", "--gas: mole percent of N2 must be a finite number >= 0, got '-1'"},
        {"CH4=nan", "--gas", bad_percent + "'nan'"}, {"CH4=inf", "--gas", bad_percent + "'inf'"},
        {"CH4=1e999", "--gas", bad_percent + "'1e999'"}, {"CH4=90%,N2=10", "--gas", bad_percent + "'90%'"},
        {"CH4=0x64", "--gas", bad_percent + "'0x64'"},
        {"CH4", "--gas", "--gas: expected COMPONENT=PERCENT, got 'CH4'"},
        {"CH4=90,,N2=10", "--gas", "--gas: empty entry in "}, {"CH4=100,", "--gas", "--gas: empty entry in "},
        {"   ", "--gas", "--gas: empty composition"},
    };
    for (const auto& [text, argument, message] : cases) expect_rejected([&] { parse_gas(text, argument); }, message);
}

TEST(PositiveNumberParsing, AcceptsDecimalAndExponentFormsAndRejectsZeroNegativeNonFiniteAndTrailingText) {
    for (const auto& [text, expected] : {std::pair{"300", 300.0}, {"2.5e1", 25.0}, {"+7", 7.0}, {" 5 ", 5.0},
                                         {"1E-3", 1e-3}, {".5", 0.5}}) {
        EXPECT_EQ(parse_positive(text, "-T", "K"), expected) << text;
    }
    for (const std::string text : {"-5", "0", "-0", "nan", "inf", "", "300K", "1e999", "3,5", "+-5", "0x10"}) {
        expect_rejected([&] { parse_positive(text, "-p", "MPa"); },
                        "-p: expected a positive finite number in MPa, got '" + text + "'");
    }
}

TEST(StatePointParsing, ChecksGasThenTemperatureThenPressure) {
    const StatePoint point = parse_state_point({"CH4=100", "300", "5"});
    EXPECT_TRUE(point.x == fractions({{Component::CH4, 100}}) && point.T == 300.0 && point.p == 5.0);
    for (const auto& [args, prefix] : {std::pair{StatePointArgs{"CH4=99", "-5", "nan"}, "--gas: "},
                                       {StatePointArgs{"CH4=100", "-5", "nan"}, "-T: "},
                                       {StatePointArgs{"CH4=100", "300", "nan"}, "-p: "}}) {
        expect_rejected([&] { parse_state_point(args); }, prefix);
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

TEST(JsonOutput, WritesNonFiniteAsNullAndEscapesTextOnOneLine) {
    JsonObject json;
    json.add("nan", kNaN);
    json.add("inf", std::numeric_limits<double>::infinity());
    json.add("flag", -2);
    json.add("text", std::string_view("a \"b\"\\\n"));
    EXPECT_EQ(json.str(), R"({"nan": null, "inf": null, "flag": -2, "text": "a \"b\"\\\u000a"})");
}

}  // namespace
}  // namespace ngtherm::cli
