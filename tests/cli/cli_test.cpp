// Runs the built ngtherm command: the limits, exit statuses and JSON echo of
// every subcommand, the JSON bits, the text, the envelope's points and write errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/common.hpp"
#include "cli/run_command.hpp"
#include "ngtherm/envelope.hpp"
#include "ngtherm/equilibrium.hpp"
#include "ngtherm/exports.hpp"
#include "ngtherm/state.hpp"

namespace ngtherm::test {
namespace {

#ifdef NGTHERM_CLI_PATH

using nlohmann::json;

const std::string kPipelineGas = "CH4=90,N2=3,CO2=2,C2H6=4,C3H8=1";
const std::string kRichGas = "CH4=86,N2=2.5,C2H6=6,C3H8=3,nC4=1.2,iC4=0.8,nC5=0.5";

std::size_t count_lines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

// The gas as the command reads it.
cli::Input gas(const std::string& text) {
    cli::Input in;
    in.percent = cli::parse_gas(text);
    return in;
}

json run_json(const std::vector<std::string>& args) {
    const CommandResult r = run_ngtherm(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(count_lines(r.out), 1u);
    return json::parse(r.out);
}

// A number of the JSON with the bits of `expected`; null for NaN.
void expect_bits(const json& value, double expected) {
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    EXPECT_TRUE(std::isnan(expected) ? value.is_null() : value.is_number() && bits(value.get<double>()) == bits(expected))
        << value << " " << expected;
}

TEST(CommandLine, EverySubcommandAppliesTheSameLimitsExitStatusesAndInputEcho) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> subcommands{
        {"state", {"--root", "liquid"}}, {"props", {"--phase", "overall"}}, {"equilibrium", {}}, {"flash", {}},
        {"envelope", {"--beta", "0"}}};
    struct Case {
        std::string gas, T, p;
        std::vector<std::string> more;
        int exit_code;
        std::string message;  // the start of the one line on stderr
    };
    const std::vector<Case> cases{
        {kPipelineGas, "1", "5", {}, 2, "-T: 1 K is outside the limits of range set 0: temperature not above 60 K"},
        {kPipelineGas, "-213.15", "5", {"--T-unit", "C"}, 2, "-T: -213.15 C is outside the limits of range set 0"},
        {kPipelineGas, "300", "1001", {}, 2, "-p: 1001 MPa is outside the limits of range set 0: pressure"},
        {kPipelineGas, "249", "5", {"--range", "1"}, 2, "-T: 249 K is outside the limits of range set 1"},
        {kPipelineGas, "300", "800", {"--range", "2", "--p-unit", "bar"}, 2, "-p: 800 bar is outside the limits of range set 2"},
        {"CH4=40,C2H6=60", "300", "5", {"--range", "1"}, 2, "--gas: the composition is outside the limits of range set 1: methane"},
        {kPipelineGas, "300", "5", {"--range", "3"}, 2, "--range: expected 0, 1 or 2, got '3'"},
        {kPipelineGas, "300", "5", {"--p-unit", "atm"}, 2, "--p-unit: expected MPa, bar, kPa or psia, got 'atm'"},
        {kPipelineGas, "300", "1e-20", {}, 1, "pressure 1e-20 MPa is below 1e-9 MPa"},
        {kPipelineGas, "26.85", "50", {"--T-unit", "C", "--p-unit", "bar", "--range", "2", "--json"}, 0, ""},
    };
    for (const auto& [name, options] : subcommands) {
        for (const Case& c : cases) {
            std::vector<std::string> args{name, "--gas", c.gas, "-T", c.T, "-p", c.p};
            args.insert(args.end(), options.begin(), options.end());
            args.insert(args.end(), c.more.begin(), c.more.end());
            const CommandResult r = run_ngtherm(args);
            const std::string what = name + " " + c.T + " " + c.p;
            EXPECT_EQ(r.exit_code, c.exit_code) << what << "\n" << r.err;
            if (c.exit_code != 0) {
                EXPECT_TRUE(r.out.empty() && count_lines(r.err) == 1 && r.err.rfind("ngtherm: " + c.message, 0) == 0)
                    << what << "\n" << r.out << r.err;
                continue;
            }
            const json j = json::parse(r.out);
            EXPECT_TRUE(j["command"] == name && j["ok"] == true && j["message"] == "") << j;
            const json echo{{"gas", {{"CH4", 90.0}, {"N2", 3.0}, {"CO2", 2.0}, {"C2H6", 4.0}, {"C3H8", 1.0}}},
                            {"T", 26.85}, {"p", 50.0}, {"T_unit", "C"}, {"p_unit", "bar"}, {"range", 2}};
            for (const auto& [key, value] : echo.items()) EXPECT_EQ(j["input"][key], value) << name << " " << key;
            if (!options.empty()) {
                EXPECT_EQ(j["input"][options[0].substr(2)], name == "envelope" ? json(0.0) : json(options[1])) << name;
            }
        }
    }
}

TEST(CommandLine, JsonNumbersReadBackToTheLibrarysBits) {
    const cli::Input rich = gas(kRichGas);
    const PhaseState s = single_phase_state(Mixture(rich.fractions()), 250.5, 12.25, Root::liquid);
    const json state = run_json({"state", "--gas", kRichGas, "-T", "250.5", "-p", "12.25", "--root", "liquid", "--json"});
    EXPECT_EQ(state["phase"], s.side == Side::liquid_like ? "liquid-like" : "vapour-like");
    for (const auto& [key, value] : {std::pair{"M", s.molar_mass * 1000.0}, {"rho", s.props.rho}, {"Z", s.props.Z},
                                     {"h", s.props.h}, {"w", s.props.w}, {"jt", s.props.jt}}) {
        expect_bits(state[key], value);
    }

    const ExportResults lib = export_properties(rich.external(), 4.0, 240.0, 0, 2);
    const json props = run_json({"props", "--gas", kRichGas, "-T", "240", "-p", "4", "--range", "2", "--json"});
    for (int k = 0; k < kExportPropertyCount; ++k) {
        const json& property = props["properties"][std::string(kExportPropertyNames[k])];
        expect_bits(property["value"], lib.status[k] > 0 ? NAN : lib.value[k]);
        EXPECT_EQ(property["status"], lib.status[k]);
    }

    const EquilibriumState eq = equilibrium_state(Mixture(gas("CH4=90,C3H8=10").fractions()), 230.0, 3.0);
    const json ej = run_json({"equilibrium", "--gas", "CH4=90,C3H8=10", "-T", "230", "-p", "3", "--json"});
    EXPECT_TRUE(ej["phases"] == 2 && ej["liquid"]["composition"].size() == 2) << "only the components of the feed";
    expect_bits(ej["beta"], eq.beta);
    expect_bits(ej["liquid"]["Z"], eq.liquid.Z);
    expect_bits(ej["vapour"]["rho"], eq.vapour.rho);
    expect_bits(ej["liquid"]["composition"]["C3H8"], eq.x[static_cast<int>(Component::C3H8)] * 100.0);

    const FlashResult f = flash(rich.external(), 4.0, 240.0);
    const json fj = run_json({"flash", "--gas", kRichGas, "-T", "240", "-p", "4", "--json"});
    expect_bits(fj["beta"], f.beta);
    expect_bits(fj["liquid_content"], f.liquid_content);
    const auto liquid = in_model_order(f.liquid), vapour = in_model_order(f.vapour);
    for (const auto& [id, value] : fj["liquid"]["composition"].items()) {
        expect_bits(value, liquid[*find_component(id)]);
        expect_bits(fj["vapour"]["composition"][id], vapour[*find_component(id)]);
    }
}

TEST(CommandLine, EnvelopeNamesItsPhasesRepeatsNoPointAndFailsOnBadLimitsAndIncompleteTraces) {
    const Envelope env = phase_envelope(gas(kRichGas).external(), {.T = 250.0, .p = 5.0});
    const std::filesystem::path csv = make_temp_file();
    const json j = run_json({"envelope", "--gas", kRichGas, "-T", "250", "-p", "5", "--csv", csv.string(), "--json"});
    std::vector<const EnvelopePoint*> distinct;
    for (const EnvelopePoint& point : env.points) {
        if (distinct.empty() || point.T != distinct.back()->T || point.p != distinct.back()->p) distinct.push_back(&point);
    }
    ASSERT_LT(distinct.size(), env.points.size()) << "the grid holds 250 K and 5 MPa";
    ASSERT_EQ(j["points"].size(), distinct.size());
    for (std::size_t k = 0; k < distinct.size(); ++k) {
        const json& point = j["points"][k];
        expect_bits(point["T"], distinct[k]->T);
        expect_bits(point["incipient"]["C3H8"], distinct[k]->x[static_cast<int>(Component::C3H8)] * 100.0);
        expect_bits(point["feed"]["CH4"], distinct[k]->y[0] * 100.0);
    }
    expect_bits(j["characteristic"]["cricondenbar_p"]["value"], env.value[5]);
    const std::string text = read_file(csv);
    std::filesystem::remove(csv);
    EXPECT_EQ(count_lines(text), distinct.size() + 1);
    EXPECT_EQ(text.rfind("T_K,p_MPa,type,label,incipient_CH4,incipient_N2,", 0), 0u) << text.substr(0, 200);
    EXPECT_NE(text.find(",feed_CH4,"), std::string::npos);

    const CommandResult start = run_ngtherm({"envelope", "--gas", kRichGas, "--tmin", "300"});
    EXPECT_TRUE(start.exit_code == 2 && start.out.empty() && start.err.find("--tmin: the limits exclude the start") != std::string::npos)
        << start.err;
    const CommandResult incomplete = run_ngtherm({"envelope", "--gas", "Ar=50,O2=50"});
    EXPECT_TRUE(incomplete.exit_code == 1 && incomplete.out.find("21 points; the trace did not complete") != std::string::npos &&
                incomplete.err == "ngtherm: envelope: the trace did not complete: its steps kept failing\n")
        << incomplete.out << incomplete.err;
    // A gas that holds water gets its water dew line, whether its traced line succeeds or not.
    EXPECT_GT(json::parse(run_ngtherm({"envelope", "--gas", "CH4=89.995,C2H6=5,C3H8=2,N2=2,CO2=1,H2O=0.005", "--json"}).out)["water_dew"].size(), 20u);
}

TEST(CommandLine, TextOutputNamesQuantitiesUnitsAndCodesInWords) {
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases{
        {{"state", "--gas", kPipelineGas, "-T", "80.33", "--T-unit", "F", "-p", "725", "--p-unit", "psia"},
         {"vapour-like", "80.33        F\n", "725          psia\n", "g/mol", "mol/dm3", "kg/m3", "J/(mol K)", "K/MPa"}},
        {{"props", "--gas", kRichGas, "-T", "240", "-p", "4"},
         {"speed of sound w", "(status 204: property not defined for the overall state of two phases)", "kg/m3"}},
        {{"equilibrium", "--gas", "CH4=90,C3H8=10", "-T", "230", "-p", "3"}, {"phases  2", "beta", "mol-%", "mol/dm3"}},
        {{"flash", "--gas", kRichGas, "-T", "240", "-p", "4"}, {"0.9432868937 mol/mol", "0.0567131063 mol/mol"}},
        {{"envelope", "--gas", kRichGas, "-p", "50", "--p-unit", "bar"},
         {"cricondentherm   273.", "cricondenbar     95.7", "critical point   224.", "saturation temperature at 50 bar: 273.",
          "**CRIT**", " P TAB. ", "p/bar"}},
        {{"saturation", "--gas", kRichGas, "-p", "5"}, {"upper: T = 273.07", "lower: T = 197.8", "incipient phase, mol-%"}},
        {{"saturation", "--gas", "CH4=89.995,C2H6=5,C3H8=2,N2=2,CO2=1,H2O=0.005", "--water", "-p", "4"},
         {"water dew line", "water: T = 253.2475", "H2O 99.95"}},
    };
    for (const auto& [args, texts] : cases) {
        const CommandResult r = run_ngtherm(args);
        ASSERT_EQ(r.exit_code, 0) << args[0] << r.err;
        for (const std::string& text : texts) EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
    }
}

TEST(CommandLine, OutputThatCannotBeWrittenExitsWithOneAndSaysWhy) {
    const std::vector<std::string> props{"props", "--gas", kPipelineGas, "-T", "300", "-p", "5", "--json"};
    EXPECT_EQ(run_ngtherm(props, Stdout::full_disk).err, "ngtherm: cannot write the output: No space left on device\n");
    const CommandResult pipe = run_ngtherm(props, Stdout::closed_pipe);
    EXPECT_TRUE(pipe.exit_code == 1 && pipe.err == "ngtherm: cannot write the output: Broken pipe\n") << pipe.err;
    const CommandResult csv = run_ngtherm({"envelope", "--gas", kRichGas, "--csv", "/dev/full"});
    EXPECT_TRUE(csv.exit_code == 1 && csv.err == "ngtherm: envelope: cannot write '/dev/full': No space left on device\n")
        << csv.err;
}

TEST(CommandLine, BadArgumentsHelpAndVersion) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"state", "--gas", kPipelineGas, "-p", "5"}, {}, {"stat"}, {"props", "--gas", kRichGas, "-T", "300", "-p", "5", "--fast"}}) {
        const CommandResult r = run_ngtherm(args);
        EXPECT_TRUE(r.exit_code == 2 && r.out.empty() && count_lines(r.err) == 1) << r.err;
    }
    const CommandResult top = run_ngtherm({"--help"}), state = run_ngtherm({"state", "--help"});
    EXPECT_EQ(top.exit_code, 0);
    for (const std::string word : {"--gas", "--root", "--json", "--T-unit", "--p-unit", "--range", "mol/dm3", "nC4"}) {
        EXPECT_NE(state.out.find(word), std::string::npos) << word;
    }
    std::string version;
    std::ifstream(std::string(NGTHERM_SOURCE_DIR) + "/VERSION") >> version;
    EXPECT_EQ(run_ngtherm({"--version"}).out, "ngtherm " + version + "\n");
}

#endif

}  // namespace
}  // namespace ngtherm::test
