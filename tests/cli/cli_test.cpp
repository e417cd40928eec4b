// Runs the built ngtherm command and checks its exit status, its messages and
// that its JSON output carries exactly the values of the library.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/common.hpp"
#include "cli/run_command.hpp"
#include "ngtherm/state.hpp"

namespace ngtherm::test {
namespace {

const std::string kNaturalGas = "CH4=90,C2H6=5,N2=3,CO2=2";

std::size_t count_lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

struct BadCall {
    std::string what;
    std::vector<std::string> args;
    std::string message;  // expected inside the one line on stderr
};

TEST(CommandLine, BadArgumentsExitWithTwoAndOneLineNamingTheArgument) {
    const std::vector<BadCall> cases = {
        {"unknown id", {"state", "--gas", "CH5=100", "-T", "300", "-p", "5"},
         "ngtherm: --gas: unknown component 'CH5'"},
        {"sum not 100", {"state", "--gas", "CH4=90,N2=9.9", "-T", "300", "-p", "5"},
         "ngtherm: --gas: mole percentages sum to 99.9, not 100"},
        {"repeated id", {"state", "--gas", "CH4=50,methane=50", "-T", "300", "-p", "5"},
         "ngtherm: --gas: component CH4 is given more than once"},
        {"negative T", {"state", "--gas", kNaturalGas, "-T", "-5", "-p", "5"},
         "ngtherm: -T: expected a positive finite number in K, got '-5'"},
        {"NaN p", {"state", "--gas", kNaturalGas, "-T", "300", "-p", "nan"},
         "ngtherm: -p: expected a positive finite number in MPa, got 'nan'"},
        {"missing T", {"state", "--gas", kNaturalGas, "-p", "5"}, "--temperature is required"},
        {"missing gas", {"state", "-T", "300", "-p", "5"}, "--gas is required"},
        {"bad root", {"state", "--gas", kNaturalGas, "-T", "300", "-p", "5", "--root", "solid"},
         "ngtherm: --root: expected vapour, liquid or auto, got 'solid'"},
        {"unknown option", {"state", "--gas", kNaturalGas, "-T", "300", "-p", "5", "--fast"},
         "--fast"},
        {"no subcommand", {}, "subcommand"},
    };
    for (const BadCall& c : cases) {
        SCOPED_TRACE(c.what);
        const CommandResult r = run_ngtherm(c.args);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(count_lines(r.err), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("ngtherm: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

TEST(CommandLine, HelpExplainsTheUnits) {
    const CommandResult top = run_ngtherm({"--help"});
    EXPECT_EQ(top.exit_code, 0);
    for (const std::string word : {"state", "K", "MPa", "mole percent"}) {
        EXPECT_NE(top.out.find(word), std::string::npos) << word;
    }
    const CommandResult state = run_ngtherm({"state", "--help"});
    EXPECT_EQ(state.exit_code, 0);
    for (const std::string word : {"--gas", "--temperature", "--pressure", "--root", "--json",
                                   "mol/dm3", "kg/m3", "J/(mol K)", "m/s", "K/MPa", "nC4"}) {
        EXPECT_NE(state.out.find(word), std::string::npos) << word;
    }
}

TEST(CommandLine, VersionIsTheProjectVersion) {
    std::ifstream file(std::string(NGTHERM_SOURCE_DIR) + "/VERSION");
    std::string version;
    file >> version;
    const CommandResult r = run_ngtherm({"--version"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, version + "\n");
}

struct StateCase {
    std::string gas;
    std::string T;
    std::string p;
    std::string root;
};

std::vector<StateCase> state_cases() {
    return {
        {kNaturalGas, "300", "5", "auto"},
        {kNaturalGas, "300", "5", "vapour"},
        {"methane=100", "200", "1", "auto"},
        {"C3H8=100", "300", "5", "liquid"},
        {"CH4=80,N2=2,CO2=1,C2H6=8,C3H8=4,nC4=1,iC4=1,nC5=0.5,iC5=0.5,nC6=0.3,nC7=0.2,H2=0.5,"
         "He=0.5,Ar=0.5",
         "250.5", "12.25", "auto"},
    };
}

Root root_of(const std::string& text) {
    if (text == "liquid") return Root::liquid;
    if (text == "vapour") return Root::vapour;
    return Root::stable;
}

PhaseState state_in_process(const StateCase& c) {
    const Composition x = cli::parse_gas(c.gas);
    const double T = cli::parse_positive(c.T, "-T", "K");
    const double p = cli::parse_positive(c.p, "-p", "MPa");
    return single_phase_state(Mixture(x), T, p, root_of(c.root));
}

void expect_same_bits(const nlohmann::json& json, const char* key, double expected) {
    SCOPED_TRACE(key);
    ASSERT_TRUE(json.contains(key));
    if (std::isnan(expected)) {
        EXPECT_TRUE(json.at(key).is_null());
        return;
    }
    ASSERT_TRUE(json.at(key).is_number());
    EXPECT_EQ(std::bit_cast<std::uint64_t>(json.at(key).get<double>()),
              std::bit_cast<std::uint64_t>(expected))
        << json.at(key).get<double>() << " vs " << expected;
}

TEST(StateCommand, JsonReadsBackBitExactlyAsTheLibraryValues) {
    for (const StateCase& c : state_cases()) {
        SCOPED_TRACE(c.gas + " T=" + c.T + " p=" + c.p + " root=" + c.root);
        const CommandResult r = run_ngtherm(
            {"state", "--gas", c.gas, "-T", c.T, "-p", c.p, "--root", c.root, "--json"});
        ASSERT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(count_lines(r.out), 1u);
        const nlohmann::json json = nlohmann::json::parse(r.out);
        EXPECT_EQ(json.size(), 15u);

        const PhaseState s = state_in_process(c);
        ASSERT_TRUE(s.ok()) << s.message;
        const PhaseProperties& m = s.props;
        expect_same_bits(json, "T", s.T);
        expect_same_bits(json, "p", s.p);
        expect_same_bits(json, "M", s.molar_mass);
        expect_same_bits(json, "rho", m.rho);
        expect_same_bits(json, "rho_mass", to_mass_basis(m, s.molar_mass).rho);
        expect_same_bits(json, "Z", m.Z);
        expect_same_bits(json, "u", m.u);
        expect_same_bits(json, "h", m.h);
        expect_same_bits(json, "s", m.s);
        expect_same_bits(json, "cv", m.cv);
        expect_same_bits(json, "cp", m.cp);
        expect_same_bits(json, "w", m.w);
        expect_same_bits(json, "kappa", m.kappa);
        expect_same_bits(json, "jt", m.jt);
        // The flag keeps its old reading: the side (+1 liquid-like), negated with
        // the vapour preference and doubled with the stable one.
        const int side = s.side == Side::liquid_like ? 1 : -1;
        const Root root = root_of(c.root);
        const int flag = root == Root::liquid ? side : root == Root::vapour ? -side : 2 * side;
        EXPECT_EQ(json.at("phase_flag").get<int>(), flag);
    }
}

TEST(StateCommand, NaturalGasAtThreeHundredKelvinAndFiveMegapascalIsAVapourWithZNearPointNine) {
    const CommandResult r =
        run_ngtherm({"state", "--gas", kNaturalGas, "-T", "300", "-p", "5", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const nlohmann::json json = nlohmann::json::parse(r.out);
    EXPECT_NEAR(json.at("Z").get<double>(), 0.90, 0.02);
    EXPECT_EQ(json.at("T").get<double>(), 300.0);
    EXPECT_EQ(json.at("p").get<double>(), 5.0);
    // M in kg/mol and the mass density consistent with it.
    EXPECT_NEAR(json.at("M").get<double>(), 0.0181, 0.0005);
    EXPECT_NEAR(json.at("rho_mass").get<double>(),
                json.at("rho").get<double>() * json.at("M").get<double>() * 1000.0,
                1e-9 * json.at("rho_mass").get<double>());
}

TEST(StateCommand, HumanOutputListsEveryPropertyWithItsUnit) {
    const CommandResult r = run_ngtherm({"state", "--gas", kNaturalGas, "-T", "300", "-p", "5"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(count_lines(r.out), 15u) << r.out;
    for (const std::string text :
         {"vapour-like", "g/mol", "mol/dm3", "kg/m3", "compressibility factor Z", "J/mol",
          "J/(mol K)", "m/s", "isentropic exponent kappa", "K/MPa"}) {
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
    }
    const CommandResult liquid =
        run_ngtherm({"state", "--gas", "C3H8=100", "-T", "300", "-p", "5"});
    ASSERT_EQ(liquid.exit_code, 0) << liquid.err;
    EXPECT_NE(liquid.out.find("liquid-like"), std::string::npos) << liquid.out;
}

}  // namespace
}  // namespace ngtherm::test
