#include "model/ideal_gas.hpp"

#include <cmath>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "test_support.hpp"

namespace ngtherm::model {
namespace {

constexpr double kRatio = kRStar / kR;

TEST(IdealGas, EveryComponentHasZeroEnthalpyAndEntropyAtTheReferenceState) {
    for (int i = 0; i < kComponentCount; ++i) {
        const IdealComponentValues v = fnullp(ideal_record(i), kIdealT0);
        const double h_over_R = kIdealT0 + v.h;
        const double s_over_R_1MPa = 1.0 + std::log(kIdealT0) - v.G + v.h / kIdealT0;
        EXPECT_NEAR(h_over_R, 0.0, 1e-9) << kComponents[i].id;
        EXPECT_NEAR(s_over_R_1MPa - std::log(kIdealP0), 0.0, 1e-12) << kComponents[i].id;
    }
}

TEST(IdealGas, NitrogenConstantsAreThePublishedOnesInThisForm) {
    const FnicRecord& n2 = ideal_record(1);
    EXPECT_NEAR(n2.a[1], -2801.72771, 5e-6);
    EXPECT_NEAR(n2.a[0], 20.764954, 5e-7);
}

// Derived constants equal the published n0_1, n0_2 rewritten for this form
// (a2 = n0_2 Tc, a1 = n0_1 + c0 ln Tc - (R/R*) ln rhoc), except for the
// components whose published constants leave out their first sinh term.
TEST(IdealGas, DerivedConstantsMatchThePublishedOnesWhereTheyAreConsistent) {
    std::ifstream in(std::string(NGTHERM_SOURCE_DIR) + "/data/gerg2008.json");
    const nlohmann::json data = nlohmann::json::parse(in);
    const std::set<std::string> inconsistent{"nC5", "iC5", "nC6", "nC7", "nC8", "nC9", "nC10", "H2O"};
    for (int i = 0; i < kComponentCount; ++i) {
        if (inconsistent.count(kComponents[i].id)) continue;
        const auto& ideal = data["components"][i]["ideal"];
        const double Tc = kComponents[i].Tc, rhoc = kComponents[i].rhoc;
        const double a2 = ideal["n0_2"].get<double>() * Tc;
        const double a1 = ideal["n0_1"].get<double>() + ideal["n0_3"].get<double>() * std::log(Tc) -
                          std::log(rhoc) / kRatio;
        EXPECT_NEAR(ideal_record(i).a[1], a2, 1e-7 * std::fabs(a2)) << kComponents[i].id;
        EXPECT_NEAR(ideal_record(i).a[0], a1, 1e-7 * (1 + std::fabs(a1))) << kComponents[i].id;
    }
}

TEST(IdealGas, MonatomicGasesHaveConstantHeatCapacity) {
    for (const char* id : {"He", "Ar"}) {
        const test::ModelSetup m(test::composition({{id, 1.0}}));
        for (double T : {50.0, 300.0, 1500.0}) {
            EXPECT_NEAR(idealmix(m.set, m.x.data(), T).cp, 1.0 + 1.5 * kRatio, 1e-14) << id << " " << T;
        }
    }
}

TEST(IdealGas, SignOfACharacteristicTemperatureHasNoEffect) {
    FnicRecord flipped = subdata("N2      ");
    for (int k = flipped.npol; k < flipped.nterm; ++k) flipped.e[k] = -flipped.e[k];
    derive_integration_constants(flipped);
    for (double T : {120.0, 400.0}) {
        const IdealComponentValues a = fnullp(ideal_record(1), T), b = fnullp(flipped, T);
        EXPECT_DOUBLE_EQ(a.cp, b.cp);
        EXPECT_DOUBLE_EQ(a.h, b.h);
        EXPECT_DOUBLE_EQ(a.G, b.G);
    }
}

TEST(IdealGas, EquimolarMixtureIsTheMeanOfItsComponents) {
    const test::ModelSetup mix(test::composition({{"CH4", 0.5}, {"C3H8", 0.5}}));
    const test::ModelSetup a(test::composition({{"CH4", 1.0}})), b(test::composition({{"C3H8", 1.0}}));
    const double T = 350.0;
    const IdealMix m = idealmix(mix.set, mix.x.data(), T), ma = idealmix(a.set, a.x.data(), T),
                   mb = idealmix(b.set, b.x.data(), T);
    EXPECT_NEAR(m.h - T, 0.5 * ((ma.h - T) + (mb.h - T)), 1e-9);
    EXPECT_NEAR(m.cp - 1.0, 0.5 * ((ma.cp - 1.0) + (mb.cp - 1.0)), 1e-13);
    EXPECT_NEAR(m.s, 0.5 * (ma.s + mb.s), 1e-12);
}

TEST(IdealGas, HeatCapacityIsTheTemperatureDerivativeOfEnthalpy) {
    const test::ModelSetup m(test::published_mixture());
    for (double T : {150.0, 298.15, 700.0}) {
        const double h = 1e-4 * T;
        const double fd = (idealmix(m.set, m.x.data(), T + h).h - idealmix(m.set, m.x.data(), T - h).h) / (2 * h);
        EXPECT_NEAR(idealmix(m.set, m.x.data(), T).cp, fd, 1e-7);
        // ds/dT = cp/T at constant pressure.
        const double fs = (idealmix(m.set, m.x.data(), T + h).s - idealmix(m.set, m.x.data(), T - h).s) / (2 * h);
        EXPECT_NEAR(idealmix(m.set, m.x.data(), T).cp / T, fs, 1e-9);
    }
}

TEST(IdealGasDeathTest, AnUnknownComponentNameStopsWithItsMessage) {
    EXPECT_EXIT(subdata("XENON   "), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace ngtherm::model
