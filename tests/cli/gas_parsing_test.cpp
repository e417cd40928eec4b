#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include <nlohmann/json.hpp>

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

struct AcceptedGas {
    std::string text;
    Composition expected;
};

TEST(GasParsing, AcceptsIdsNamesCaseAndSpacesGivingPercentOverHundred) {
    using C = Component;
    const Composition natural_gas =
        fractions({{C::CH4, 90}, {C::C2H6, 5}, {C::N2, 3}, {C::CO2, 2}});
    const Composition butanes = fractions({{C::nC4, 50}, {C::iC4, 50}});
    const std::vector<AcceptedGas> cases = {
        {"CH4=90,C2H6=5,N2=3,CO2=2", natural_gas},
        {"methane=90,ethane=5,nitrogen=3,carbon dioxide=2", natural_gas},
        {" ch4 = 90 , c2h6=5,n2= 3 ,Co2=2 ", natural_gas},
        {"METHANE=90,Ethane=5,N2=3,CO2=+2", natural_gas},
        {"nC4=50,iC4=50", butanes},
        {"n-butane=50,Isobutane=50", butanes},
        {"hydrogen sulphide=10,CH4=90", fractions({{C::H2S, 10}, {C::CH4, 90}})},
        {"He=0.5,Ar=0.5,H2=1,O2=1,CO=1,H2O=1,CH4=95", fractions({{C::He, 0.5}, {C::Ar, 0.5},
                                                              {C::H2, 1}, {C::O2, 1}, {C::CO, 1},
                                                              {C::H2O, 1}, {C::CH4, 95}})},
        {"CH4=100,N2=0", fractions({{C::CH4, 100}})},
        {"CH4=1e2", fractions({{C::CH4, 100}})},
        {"CH4=100.00009", fractions({{C::CH4, 100.00009}})},
        {"CH4=33.3,C2H6=33.3,C3H8=33.4", fractions({{C::CH4, 33.3}, {C::C2H6, 33.3},
                                                     {C::C3H8, 33.4}})},
    };
    for (const AcceptedGas& c : cases) {
        SCOPED_TRACE(c.text);
        const Composition x = parse_gas(c.text);
        for (std::size_t i = 0; i < x.size(); ++i) EXPECT_EQ(x[i], c.expected[i]) << "index " << i;
    }
}

struct RejectedGas {
    std::string text;
    std::string message;  // the whole what()
};

TEST(GasParsing, RejectsBadCompositionsWithOneMessageNamingTheArgument) {
    const std::vector<RejectedGas> cases = {
        {"CH5=100", "--gas: unknown component 'CH5'"},
        {"=100", "--gas: unknown component ''"},
        {"CH4=50,methane=50", "--gas: component CH4 is given more than once"},
        {"nc4=50,N-Butane=50", "--gas: component nC4 is given more than once"},
        {"CH4=99.9", "--gas: mole percentages sum to 99.9, not 100"},
        {"CH4=0", "--gas: mole percentages sum to 0, not 100"},
        {"CH4=101,N2=-1", "--gas: mole percent of N2 must be a finite number >= 0, got '-1'"},
        {"CH4=nan", "--gas: mole percent of CH4 must be a finite number >= 0, got 'nan'"},
        {"CH4=inf", "--gas: mole percent of CH4 must be a finite number >= 0, got 'inf'"},
        {"CH4=1e999", "--gas: mole percent of CH4 must be a finite number >= 0, got '1e999'"},
        {"CH4=90%,N2=10", "--gas: mole percent of CH4 must be a finite number >= 0, got '90%'"},
        {"CH4=0x64", "--gas: mole percent of CH4 must be a finite number >= 0, got '0x64'"},
        {"CH4", "--gas: expected COMPONENT=PERCENT, got 'CH4'"},
    };
    for (const RejectedGas& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            parse_gas(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const ArgumentError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

TEST(GasParsing, RejectsEmptyEntriesAndNamesTheArgumentItWasGiven) {
    for (const auto& [text, argument, message] : {std::tuple{"CH4=90,,N2=10", "--gas", "--gas: empty "},
                                                  {"   ", "--gas", "--gas: empty "},
                                                  {"CH4=100,", "--gas", "--gas: empty "},
                                                  {"XX=100", "--feed", "--feed: unknown component 'XX'"}}) {
        try {
            parse_gas(text, argument);
            ADD_FAILURE() << "accepted " << text;
        } catch (const ArgumentError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(message, 0), 0u) << e.what();
            EXPECT_EQ(std::string(e.what()).find('\n'), std::string::npos);
        }
    }
}

TEST(PositiveNumberParsing, AcceptsPlainDecimalAndExponentForms) {
    const std::vector<std::pair<std::string, double>> cases = {
        {"300", 300.0}, {"2.5e1", 25.0}, {"+7", 7.0}, {" 5 ", 5.0},
        {"1E-3", 1e-3}, {".5", 0.5},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parse_positive(text, "-T", "K"), expected);
    }
}

TEST(PositiveNumberParsing, RejectsZeroNegativeNonFiniteAndTrailingText) {
    for (const std::string text : {"-5", "0", "-0", "nan", "inf", "", "300K", "1e999", "3,5", "+-5", "0x10"}) {
        SCOPED_TRACE("'" + text + "'");
        try {
            parse_positive(text, "-p", "MPa");
            ADD_FAILURE() << "accepted";
        } catch (const ArgumentError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "-p: expected a positive finite number in MPa, got '" + text + "'");
        }
    }
}

TEST(StatePointParsing, ChecksGasThenTemperatureThenPressure) {
    const StatePointArgs good{"CH4=100", "300", "5"};
    const StatePoint point = parse_state_point(good);
    EXPECT_EQ(point.x[at(Component::CH4)], 1.0);
    EXPECT_EQ(point.T, 300.0);
    EXPECT_EQ(point.p, 5.0);

    const std::vector<std::pair<StatePointArgs, std::string>> bad = {
        {{"CH4=99", "-5", "nan"}, "--gas: "},
        {{"CH4=100", "-5", "nan"}, "-T: "},
        {{"CH4=100", "300", "nan"}, "-p: "},
    };
    for (const auto& [args, prefix] : bad) {
        try {
            parse_state_point(args);
            ADD_FAILURE() << "accepted " << prefix;
        } catch (const ArgumentError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(prefix, 0), 0u) << e.what();
        }
    }
}

double read_back(const std::string& text) {
    double value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_EQ(ec, std::errc());
    EXPECT_EQ(ptr, text.data() + text.size());
    return value;
}

TEST(NumberFormatting, ShortestFormReadsBackToTheSameBits) {
    const std::vector<double> values = {0.1,     1.0 / 3.0, 2.0 / 3.0, 300.0,  -0.0,
                                        5e-324,  2.2250738585072014e-308,  1.7976931348623157e308,
                                        0.9012345678901234, -1234.5678, 1e21, 123456789012345680.0};
    for (const double v : values) {
        const std::string text = format_shortest(v);
        SCOPED_TRACE(text);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(read_back(text)), std::bit_cast<std::uint64_t>(v));
    }
    EXPECT_EQ(format_shortest(0.1), "0.1");
    EXPECT_EQ(format_shortest(300.0), "300");
    EXPECT_EQ(format_shortest(kNaN), "nan");
    EXPECT_EQ(format_shortest(-std::numeric_limits<double>::infinity()), "-inf");
    EXPECT_EQ(format_readable(1.0 / 3.0, 4), "0.3333");
}

TEST(JsonOutput, WritesNumbersExactlyAndNonFiniteAsNull) {
    JsonObject json;
    json.add("third", 1.0 / 3.0);
    json.add("nan", kNaN);
    json.add("inf", std::numeric_limits<double>::infinity());
    json.add("flag", -2);
    json.add("text", std::string_view("a \"b\"\\\n"));
    const nlohmann::json parsed = nlohmann::json::parse(json.str());
    EXPECT_EQ(parsed.at("third").get<double>(), 1.0 / 3.0);
    EXPECT_TRUE(parsed.at("nan").is_null());
    EXPECT_TRUE(parsed.at("inf").is_null());
    EXPECT_EQ(parsed.at("flag").get<int>(), -2);
    EXPECT_EQ(parsed.at("text").get<std::string>(), "a \"b\"\\\n");
    EXPECT_EQ(json.str().find('\n'), std::string::npos);
}

}  // namespace
}  // namespace ngtherm::cli
