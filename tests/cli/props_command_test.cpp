// `ngtherm props`: the values and status codes of the gerg2008 frame, read
// back bit for bit from the JSON, the status codes in words, and bad arguments.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/common.hpp"
#include "cli/run_command.hpp"
#include "ngtherm/exports.hpp"

namespace ngtherm::test {
namespace {

const std::string kPipelineGas = "CH4=90,N2=3,CO2=2,C2H6=4,C3H8=1";
const std::string kRichGas = "CH4=86,N2=2.5,C2H6=6,C3H8=3,nC4=1.2,iC4=0.8,nC5=0.5";

struct PropsCase {
    std::string gas, T, p, phase, range;
    double T_value, p_value;
    std::int16_t selector, range_set;
};

ExportResults library_answer(const PropsCase& c) {
    const Composition x = cli::parse_gas(c.gas);
    return export_properties(external_percentages(x), c.p_value, c.T_value, c.selector,
                             c.range_set);
}

void expect_same_bits(const nlohmann::json& value, double expected) {
    if (std::isnan(expected)) {
        EXPECT_TRUE(value.is_null());
        return;
    }
    ASSERT_TRUE(value.is_number());
    EXPECT_EQ(std::bit_cast<std::uint64_t>(value.get<double>()),
              std::bit_cast<std::uint64_t>(expected));
}

TEST(PropsCommand, JsonHoldsTheValuesAndCodesOfTheLibraryBitForBit) {
    const std::vector<PropsCase> cases = {
        {kPipelineGas, "300", "5", "overall", "0", 300.0, 5.0, 0, 0},
        {kPipelineGas, "300", "5", "liquid", "1", 300.0, 5.0, 1, 1},
        {kRichGas, "240", "4", "overall", "0", 240.0, 4.0, 0, 0},
        {kRichGas, "240", "4", "liquid", "2", 240.0, 4.0, 1, 2},
        {kRichGas, "240", "4", "vapour", "0", 240.0, 4.0, 2, 0},
    };
    for (const PropsCase& c : cases) {
        SCOPED_TRACE(c.gas + " " + c.T + " K " + c.p + " MPa " + c.phase + " range " + c.range);
        const CommandResult r = run_ngtherm({"props", "--gas", c.gas, "-T", c.T, "-p", c.p,
                                             "--phase", c.phase, "--range", c.range, "--json"});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        const nlohmann::json json = nlohmann::json::parse(r.out);
        const ExportResults expected = library_answer(c);
        ASSERT_EQ(json.size(), static_cast<std::size_t>(kExportPropertyCount) + 1);
        for (int k = 0; k < kExportPropertyCount; ++k) {
            const std::string key(kExportPropertyNames[k]);
            SCOPED_TRACE(key);
            expect_same_bits(json.at(key), expected.value[k]);
            EXPECT_EQ(json.at("status").at(key).get<int>(), expected.status[k]);
        }
        EXPECT_EQ(json.at("status").size(), static_cast<std::size_t>(kExportPropertyCount));
    }
}

TEST(PropsCommand, TwoPhaseWholeExplainsTheUndefinedPropertiesInWords) {
    const CommandResult r = run_ngtherm({"props", "--gas", kRichGas, "-T", "240", "-p", "4"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("speed of sound w"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("status 204: property not defined for the overall state of two phases"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("kg/m3"), std::string::npos);
}

TEST(PropsCommand, FailedInputCheckPrintsNullsAndExitsWithOne) {
    // 249 K is below the 250 K of range set 1.
    const CommandResult r = run_ngtherm({"props", "--gas", kPipelineGas, "-T", "249", "-p", "5",
                                         "--range", "1", "--json"});
    EXPECT_EQ(r.exit_code, 1);
    const nlohmann::json json = nlohmann::json::parse(r.out);
    for (std::string_view key : kExportPropertyNames) {
        EXPECT_TRUE(json.at(std::string(key)).is_null());
        EXPECT_EQ(json.at("status").at(std::string(key)).get<int>(), 181);
    }
    EXPECT_EQ(r.err, "ngtherm: props: status 181: temperature outside the range set\n");
}

TEST(PropsCommand, BadArgumentsExitWithTwoAndOneLine) {
    struct Bad {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Bad> cases = {
        {{"props", "--gas", kPipelineGas, "-T", "300", "-p", "5", "--phase", "solid"},
         "ngtherm: --phase: expected overall, liquid or vapour, got 'solid'\n"},
        {{"props", "--gas", kPipelineGas, "-T", "300", "-p", "5", "--range", "3"},
         "ngtherm: --range: expected 0, 1 or 2, got '3'\n"},
        {{"props", "--gas", kPipelineGas, "-T", "300", "-p", "nan"},
         "ngtherm: -p: expected a positive finite number in MPa, got 'nan'\n"},
    };
    for (const Bad& c : cases) {
        const CommandResult r = run_ngtherm(c.args);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.message);
    }
}

}  // namespace
}  // namespace ngtherm::test
