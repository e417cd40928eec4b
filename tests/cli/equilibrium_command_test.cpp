// `ngtherm equilibrium`: its JSON carries exactly the library's values, and its
// text output lists the phases with their compositions, Z and density.
#include <gtest/gtest.h>

#include <string>

#include <nlohmann/json.hpp>

#include "cli/run_command.hpp"
#include "ngtherm/equilibrium.hpp"

namespace ngtherm::test {
namespace {

Composition methane_propane() {
    Composition c{};
    c[static_cast<int>(Component::CH4)] = 0.9;
    c[static_cast<int>(Component::C3H8)] = 0.1;
    return c;
}

TEST(EquilibriumCommand, JsonReadsBackBitExactlyAsTheLibraryValues) {
    const CommandResult r =
        run_ngtherm({"equilibrium", "--gas", "CH4=90,C3H8=10", "-T", "230", "-p", "3", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    const EquilibriumState eq = equilibrium_state(Mixture(methane_propane()), 230.0, 3.0);
    EXPECT_EQ(j["outcome"], "success");
    EXPECT_EQ(j["phases"], 2);
    EXPECT_EQ(j["beta"].get<double>(), eq.beta);
    EXPECT_EQ(j["Z1"].get<double>(), eq.liquid.Z);
    EXPECT_EQ(j["Z2"].get<double>(), eq.vapour.Z);
    EXPECT_EQ(j["rho1"].get<double>(), eq.liquid.rho);
    EXPECT_EQ(j["rho2"].get<double>(), eq.vapour.rho);
    EXPECT_EQ(j["x"]["C3H8"].get<double>(), eq.x[static_cast<int>(Component::C3H8)] * 100.0);
    EXPECT_EQ(j["y"]["CH4"].get<double>(), eq.y[static_cast<int>(Component::CH4)] * 100.0);
    EXPECT_EQ(j["x"].size(), 2u) << "only the components of the feed";
}

TEST(EquilibriumCommand, OnePhaseGasGivesBetaOneAndTheFeedAsBothCompositions) {
    const CommandResult r = run_ngtherm(
        {"equilibrium", "--gas", "CH4=90,C2H6=5,N2=3,CO2=2", "-T", "300", "-p", "5", "--json"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["phases"], 1);
    EXPECT_EQ(j["beta"], 1.0);
    EXPECT_EQ(j["x"]["N2"].get<double>(), 3.0);
    EXPECT_EQ(j["y"]["N2"].get<double>(), 3.0);
    EXPECT_EQ(j["Z1"], j["Z2"]);
}

TEST(EquilibriumCommand, TextOutputNamesThePhasesCompositionsZAndDensity) {
    const CommandResult r =
        run_ngtherm({"equilibrium", "--gas", "CH4=90,C3H8=10", "-T", "230", "-p", "3"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    for (const char* expected : {"phases  2", "beta", "CH4", "C3H8", "mol-%", "Z ", "mol/dm3"}) {
        EXPECT_NE(r.out.find(expected), std::string::npos) << expected << "\n" << r.out;
    }
}

TEST(EquilibriumCommand, BadTemperatureExitsWithTwo) {
    const CommandResult r =
        run_ngtherm({"equilibrium", "--gas", "CH4=90,C3H8=10", "-T", "-5", "-p", "3"});
    EXPECT_EQ(r.exit_code, 2);
    EXPECT_EQ(r.out, "");
}

}  // namespace
}  // namespace ngtherm::test
