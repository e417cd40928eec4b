// Runs the built ngtherm command: JSON bits, text units, exit codes 2 and 1, help and version.
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
#include "support/gases.hpp"

namespace ngtherm::test {
namespace {

#ifdef NGTHERM_CLI_PATH

const std::string kPipelineGas = "CH4=90,N2=3,CO2=2,C2H6=4,C3H8=1";
const std::string kRichGas = "CH4=86,N2=2.5,C2H6=6,C3H8=3,nC4=1.2,iC4=0.8,nC5=0.5";

std::size_t count_lines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

nlohmann::json run_json(const std::vector<std::string>& args) {
    const CommandResult r = run_ngtherm(args);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(count_lines(r.out), 1u);
    return nlohmann::json::parse(r.out);
}

// A number of the JSON with the bits of `expected`; null for NaN.
void expect_bits(const nlohmann::json& value, double expected) {
    const auto bits = [](double v) { return std::bit_cast<std::uint64_t>(v); };
    EXPECT_TRUE(std::isnan(expected) ? value.is_null() : value.is_number() && bits(value.get<double>()) == bits(expected))
        << value << " " << expected;
}

TEST(CommandLine, StateAndPropsJsonReadBackToTheLibrarysBits) {
    for (const auto& [name, root] : {std::pair{"liquid", Root::liquid}, {"vapour", Root::vapour}, {"auto", Root::stable}}) {
        const PhaseState s = single_phase_state(Mixture(cli::parse_gas(kRichGas)), 250.5, 12.25, root);
        const nlohmann::json state = run_json({"state", "--gas", kRichGas, "-T", "250.5", "-p", "12.25", "--root", name, "--json"});
        EXPECT_EQ(state.size(), 15u);
        const PhaseProperties& m = s.props;
        const std::pair<const char*, double> keys[] = {
            {"T", s.T}, {"p", s.p}, {"M", s.molar_mass}, {"rho", m.rho}, {"rho_mass", to_mass_basis(m, s.molar_mass).rho},
            {"Z", m.Z}, {"u", m.u}, {"h", m.h}, {"s", m.s}, {"cv", m.cv}, {"cp", m.cp}, {"w", m.w}, {"kappa", m.kappa},
            {"jt", m.jt}};
        for (const auto& [key, value] : keys) expect_bits(state.at(key), value);
        // The side (+1 liquid-like), negated with the vapour preference and doubled with the stable one.
        const int side = s.side == Side::liquid_like ? 1 : -1;
        const int flag = root == Root::liquid ? side : root == Root::vapour ? -side : 2 * side;
        EXPECT_EQ(state.at("phase_flag").get<int>(), flag) << name;
    }

    for (const auto& [phase, selector] : {std::pair{"overall", 0}, {"liquid", 1}}) {
        const nlohmann::json props = run_json({"props", "--gas", kRichGas, "-T", "240", "-p", "4", "--phase", phase, "--range", "2", "--json"});
        const ExportResults lib = export_properties(external_percentages(cli::parse_gas(kRichGas)), 4.0, 240.0, selector, 2);
        ASSERT_EQ(props.size(), static_cast<std::size_t>(kExportPropertyCount) + 1);
        for (int k = 0; k < kExportPropertyCount; ++k) {
            const std::string key(kExportPropertyNames[k]);
            expect_bits(props.at(key), lib.value[k]);
            EXPECT_EQ(props.at("status").at(key).get<int>(), lib.status[k]) << key;
        }
    }
}

TEST(CommandLine, EquilibriumFlashAndEnvelopeJsonReadBackToTheLibrarysBits) {
    const EquilibriumState eq = equilibrium_state(Mixture(methane_propane().fractions()), 230.0, 3.0);
    const nlohmann::json j = run_json({"equilibrium", "--gas", "CH4=90,C3H8=10", "-T", "230", "-p", "3", "--json"});
    EXPECT_TRUE(j["phases"] == 2 && j["x"].size() == 2) << "only the components of the feed";
    for (const auto& [key, value] : {std::pair{"beta", eq.beta}, {"Z1", eq.liquid.Z}, {"rho2", eq.vapour.rho}}) expect_bits(j[key], value);
    expect_bits(j["x"]["C3H8"], eq.x[static_cast<int>(Component::C3H8)] * 100.0);

    const FlashResult f = flash(rich_gas_7().external(), 4.0, 240.0);
    const nlohmann::json fj = run_json({"flash", "--gas", kRichGas, "-T", "240", "-p", "4", "--json"});
    for (const auto& [key, value] : {std::pair{"beta", f.beta}, {"liquid_content", f.liquid_content}}) expect_bits(fj[key], value);
    const auto liquid = in_model_order(f.liquid), vapour = in_model_order(f.vapour);
    for (const auto& [id, value] : fj["liquid"].items()) {
        expect_bits(value, liquid[*find_component(id)]);
        expect_bits(fj["vapour"][id], vapour[*find_component(id)]);
    }
    EXPECT_EQ(fj["liquid"].size(), 7u);

    const Envelope env = phase_envelope(rich_gas_7().external(), {.T = 250.0, .p = 5.0});
    const nlohmann::json ej = run_json({"envelope", "--gas", kRichGas, "-T", "250", "-p", "5", "--json"});
    ASSERT_EQ(ej["points"].size(), env.points.size());
    for (std::size_t k = 0; k < env.points.size(); ++k) {
        const nlohmann::json& point = ej["points"][k];
        for (const auto& [key, value] : {std::pair{"T", env.points[k].T}, {"p", env.points[k].p}}) expect_bits(point[key], value);
        expect_bits(point["x"]["CH4"], env.points[k].x[0]);
        EXPECT_EQ(point["type"].get<int>(), static_cast<int>(env.points[k].type));
    }
    for (int k = 0; k < kCharacteristicValueCount; ++k) {
        const std::string name(kCharacteristicNames[k]);
        expect_bits(ej["values"][name], env.value[k]);
        EXPECT_EQ(ej["status"][name].get<int>(), env.status[k]);
    }
}

TEST(CommandLine, TextOutputNamesQuantitiesUnitsAndCodesInWords) {
    const std::filesystem::path csv = make_temp_file();
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> cases{
        {{"state", "--gas", kPipelineGas, "-T", "300", "-p", "5"},
         {"vapour-like", "g/mol", "mol/dm3", "kg/m3", "compressibility factor Z", "J/(mol K)", "m/s", "K/MPa"}},
        {{"props", "--gas", kRichGas, "-T", "240", "-p", "4"},
         {"speed of sound w", "status 204: property not defined for the overall state of two phases", "kg/m3"}},
        {{"equilibrium", "--gas", "CH4=90,C3H8=10", "-T", "230", "-p", "3"}, {"phases  2", "beta", "mol-%", "mol/dm3"}},
        {{"envelope", "--gas", kRichGas, "-p", "5", "--csv", csv.string()},
         {"cricondentherm   273.", "cricondenbar     9.57", "critical point   224.", "saturation temperature at 5 MPa: 273.",
          "**CRIT**", " P TAB. "}},
        {{"saturation", "--gas", kRichGas, "-p", "5"}, {"upper: T = 273.07", "lower: T = 197.8", "incipient phase, mol-%"}},
    };
    for (const auto& [args, texts] : cases) {
        const CommandResult r = run_ngtherm(args);
        ASSERT_EQ(r.exit_code, 0) << args[0] << r.err;
        for (const std::string& text : texts) EXPECT_NE(r.out.find(text), std::string::npos) << text << "\n" << r.out;
    }
    const std::string text = read_file(csv);
    std::filesystem::remove(csv);
    EXPECT_EQ(count_lines(text), phase_envelope(rich_gas_7().external(), {.T = {}, .p = 5.0}).points.size() + 1);
    EXPECT_EQ(text.rfind("T_K,p_MPa,type,label,x_CH4,x_N2,", 0), 0u);
}

TEST(CommandLine, BadArgumentsExitWithTwoAndOneLineNamingTheArgument) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"state", "--gas", kPipelineGas, "-T", "-5", "-p", "5"}, "ngtherm: -T: expected a positive finite number in K, got '-5'"},
        {{"state", "--gas", kPipelineGas, "-p", "5"}, "--temperature is required"},
        {{"state", "--gas", kPipelineGas, "-T", "300", "-p", "5", "--root", "solid"}, "ngtherm: --root: expected vapour, liquid or auto"},
        {{"state", "--gas", kPipelineGas, "-T", "300", "-p", "5", "--fast"}, "--fast"},
        {{}, "subcommand"},
        {{"props", "--gas", kPipelineGas, "-T", "300", "-p", "5", "--phase", "solid"}, "ngtherm: --phase: expected overall, liquid or vapour"},
        {{"props", "--gas", kPipelineGas, "-T", "300", "-p", "5", "--range", "3"}, "ngtherm: --range: expected 0, 1 or 2, got '3'"},
        {{"equilibrium", "--gas", "CH4=90,C3H8=10", "-T", "-5", "-p", "3"}, "ngtherm: -T: "},
        {{"envelope", "--gas", kRichGas, "--pmin", "3"}, "ngtherm: --pmin: status 196"},
        {{"envelope", "--gas", kRichGas, "--beta", "one"}, "ngtherm: --beta: expected a finite number"},
        {{"envelope", "--gas", "CH4=100"}, "ngtherm: --gas: status 202"},
        {{"envelope", "--gas", kRichGas, "-p", "2000"}, "ngtherm: -p: status 56"},
        {{"flash", "--gas", kRichGas, "-T", "3000", "-p", "4"}, "ngtherm: -T: status 55"},
    };
    for (const auto& [args, message] : cases) {
        const CommandResult r = run_ngtherm(args);
        EXPECT_TRUE(r.exit_code == 2 && r.out.empty() && count_lines(r.err) == 1 && r.err.rfind("ngtherm: ", 0) == 0 &&
                    r.err.find(message) != std::string::npos) << r.exit_code << " " << r.out << r.err;
    }
}

TEST(CommandLine, FailedInputCheckPrintsNullsAndExitsWithOne) {
    const CommandResult r = run_ngtherm({"props", "--gas", kPipelineGas, "-T", "249", "-p", "5", "--range", "1", "--json"});
    EXPECT_EQ(r.exit_code, 1);
    const nlohmann::json json = nlohmann::json::parse(r.out);
    for (const std::string_view name : kExportPropertyNames) {
        const std::string key(name);
        EXPECT_TRUE(json.at(key).is_null() && json.at("status").at(key) == 181) << key;
    }
    EXPECT_EQ(r.err, "ngtherm: props: status 181: temperature outside the range set\n");
}

TEST(CommandLine, HelpNamesTheUnitsAndVersionIsTheProjectVersion) {
    const CommandResult top = run_ngtherm({"--help"}), state = run_ngtherm({"state", "--help"});
    EXPECT_EQ(top.exit_code, 0);
    for (const std::string word : {"state", "K", "MPa", "mole percent"}) EXPECT_NE(top.out.find(word), std::string::npos) << word;
    for (const std::string word : {"--gas", "--root", "--json", "mol/dm3", "kg/m3", "J/(mol K)", "m/s", "K/MPa", "nC4"}) EXPECT_NE(state.out.find(word), std::string::npos) << word;
    std::string version;
    std::ifstream(std::string(NGTHERM_SOURCE_DIR) + "/VERSION") >> version;
    EXPECT_EQ(run_ngtherm({"--version"}).out, version + "\n");
}

#endif

}  // namespace
}  // namespace ngtherm::test
