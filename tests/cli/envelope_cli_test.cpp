// The ngtherm subcommands flash and envelope: their JSON carries exactly the
// values of the library, the CSV file holds every point, the text names the
// characteristic points in words, and bad arguments exit with 2 and one line
// naming the argument.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/run_command.hpp"
#include "envelope/envelope_gases.hpp"
#include "ngtherm/envelope.hpp"

namespace ngtherm::test {
namespace {

#ifdef NGTHERM_CLI_PATH

const std::string kRichGas = "CH4=86,N2=2.5,C2H6=6,C3H8=3,nC4=1.2,iC4=0.8,nC5=0.5";

std::size_t count_lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

TEST(FlashCommand, JsonCarriesTheLibrarysValues) {
    const CommandResult r = run_ngtherm({"flash", "--gas", kRichGas, "-T", "240", "-p", "4", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    const FlashResult lib = flash(rich_gas_7().external(), 4.0, 240.0);
    EXPECT_EQ(j["beta"].get<double>(), lib.beta);
    EXPECT_EQ(j["liquid_fraction"].get<double>(), lib.liquid_fraction);
    EXPECT_EQ(j["liquid_content"].get<double>(), lib.liquid_content);
    const auto liquid = in_model_order(lib.liquid);
    const auto vapour = in_model_order(lib.vapour);
    for (const auto& [id, value] : j["liquid"].items()) {
        EXPECT_EQ(value.get<double>(), liquid[*find_component(id)]) << id;
        EXPECT_EQ(j["vapour"][id].get<double>(), vapour[*find_component(id)]) << id;
    }
    EXPECT_EQ(j["liquid"].size(), 7u);
}

TEST(EnvelopeCommand, JsonCarriesTheLibrarysPointsAndValues) {
    const CommandResult r =
        run_ngtherm({"envelope", "--gas", kRichGas, "-T", "250", "-p", "5", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EnvelopeOptions o;
    o.T = 250.0;
    o.p = 5.0;
    const Envelope lib = phase_envelope(rich_gas_7().external(), o);
    ASSERT_EQ(j["count"].get<std::size_t>(), lib.points.size());
    ASSERT_EQ(j["points"].size(), lib.points.size());
    for (std::size_t k = 0; k < lib.points.size(); ++k) {
        const nlohmann::json& point = j["points"][k];
        EXPECT_EQ(point["T"].get<double>(), lib.points[k].T);
        EXPECT_EQ(point["p"].get<double>(), lib.points[k].p);
        EXPECT_EQ(point["type"].get<int>(), static_cast<int>(lib.points[k].type));
        EXPECT_EQ(point["x"]["CH4"].get<double>(), lib.points[k].x[0]);
    }
    for (int k = 0; k < kCharacteristicValueCount; ++k) {
        const std::string name(kCharacteristicNames[k]);
        EXPECT_EQ(j["values"][name].get<double>(), lib.value[k]) << name;
        EXPECT_EQ(j["status"][name].get<int>(), lib.status[k]) << name;
    }
    EXPECT_EQ(j["outcome"], "left_window");
}

TEST(EnvelopeCommand, TextNamesTheCharacteristicPointsAndCsvHoldsEveryPoint) {
    const std::filesystem::path csv = make_temp_file();
    const CommandResult r =
        run_ngtherm({"envelope", "--gas", kRichGas, "-p", "5", "--csv", csv.string()});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_NE(r.out.find("cricondentherm   273."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("cricondenbar     9.57"), std::string::npos);
    EXPECT_NE(r.out.find("critical point   224."), std::string::npos);
    EXPECT_NE(r.out.find("saturation temperature at 5 MPa: 273."), std::string::npos);
    EXPECT_NE(r.out.find("**CRIT**"), std::string::npos);
    EXPECT_NE(r.out.find(" P TAB. "), std::string::npos);
    EXPECT_EQ(r.out.find("saturation pressure"), std::string::npos) << "no -T given";

    EnvelopeOptions o;
    o.p = 5.0;
    const std::string text = read_file(csv);
    std::filesystem::remove(csv);
    EXPECT_EQ(count_lines(text), phase_envelope(rich_gas_7().external(), o).points.size() + 1);
    EXPECT_EQ(text.rfind("T_K,p_MPa,type,label,x_CH4,x_N2,", 0), 0u);
}

struct BadCall {
    std::vector<std::string> args;
    std::string message;
};

TEST(EnvelopeCommand, BadArgumentsExitWithTwoAndOneLineNamingTheArgument) {
    const std::vector<BadCall> cases{
        {{"envelope", "--gas", kRichGas, "--pmin", "3"}, "ngtherm: --pmin: status 196"},
        {{"envelope", "--gas", kRichGas, "--pmax", "0.05"}, "ngtherm: --pmax: status 198"},
        {{"envelope", "--gas", kRichGas, "--tmin", "20"}, "ngtherm: --tmin: status 199"},
        {{"envelope", "--gas", kRichGas, "--step", "2"}, "ngtherm: --step: status 200"},
        {{"envelope", "--gas", kRichGas, "--beta", "1.5"}, "ngtherm: --beta: status 201"},
        {{"envelope", "--gas", kRichGas, "--beta", "one"}, "ngtherm: --beta: expected a finite number"},
        {{"envelope", "--gas", "CH4=100"}, "ngtherm: --gas: status 202"},
        {{"envelope", "--gas", kRichGas, "-T", "-5"}, "ngtherm: -T: expected a positive finite number"},
        {{"envelope", "--gas", kRichGas, "-p", "2000"}, "ngtherm: -p: status 56"},
        {{"flash", "--gas", kRichGas, "-T", "3000", "-p", "4"}, "ngtherm: -T: status 55"},
        {{"flash", "--gas", kRichGas, "-T", "240"}, "--pressure is required"},
    };
    for (const BadCall& c : cases) {
        SCOPED_TRACE(c.message);
        const CommandResult r = run_ngtherm(c.args);
        EXPECT_EQ(r.exit_code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(count_lines(r.err), 1u) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
}

#endif

}  // namespace
}  // namespace ngtherm::test
