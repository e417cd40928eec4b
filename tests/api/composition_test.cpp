#include "api/composition.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string_view>

#include "api/check_input.hpp"
#include "api/status_codes.hpp"
#include "model/gerg_data.hpp"
#include "properties/mixture_setup.hpp"

namespace ngtherm::api {
namespace {

// The set-up of the mixture belongs to the property layer; these tests follow a
// caller's composition from the boundary into it.
using properties::MixtureError;
using properties::MixtureSetup;
using properties::set_mixture;

using Percentages = std::array<double, kComponentCount>;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Ids of the components in the caller's order, written out independently of
// the mapping under test.
constexpr std::array<std::string_view, kComponentCount> kExternalIds{
    "CH4", "N2",  "CO2",  "C2H6", "C3H8", "nC4", "iC4", "nC5", "iC5", "nC6", "nC7",
    "nC8", "nC9", "nC10", "He",   "Ar",   "H2",  "O2",  "CO",  "H2O", "H2S"};

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof(double)) == 0; }

Composition model_fractions(const Percentages& percent) {
    Percentages echo{};
    Composition x{};
    sort_composition(percent.data(), echo.data(), x);
    return x;
}

Composition pure(Component c, double fraction = 1.0) {
    Composition x{};
    x[static_cast<int>(c)] = fraction;
    return x;
}

double molar_mass(Component c) { return model::kComponents[static_cast<int>(c)].molar_mass; }

TEST(ComponentOrder, MapsEveryExternalPositionToTheSameComponentInModelOrder) {
    for (int e = 0; e < kComponentCount; ++e) {
        const int m = kExternalToModel[e];
        EXPECT_EQ(std::string_view(model::kComponents[m].id), kExternalIds[e]) << e;
        EXPECT_EQ(kModelToExternal[m], e);
    }
    std::array<int, kComponentCount> sorted = kExternalToModel;
    std::sort(sorted.begin(), sorted.end());
    for (int i = 0; i < kComponentCount; ++i) EXPECT_EQ(sorted[i], i);
}

TEST(SortComposition, EchoesTheCompositionBitForBit) {
    Percentages in{};
    for (int e = 0; e < kComponentCount; ++e) in[e] = 0.1 * e + 1.0 / 3.0;
    in[3] = -0.0;
    in[4] = std::numeric_limits<double>::denorm_min();
    in[5] = -1e300;
    std::uint64_t payload = 0x7ff8000000001234u;  // a NaN with a payload
    std::memcpy(&in[6], &payload, sizeof(double));
    in[7] = -std::numeric_limits<double>::infinity();
    Percentages echo;
    echo.fill(42.0);
    Composition x{};
    sort_composition(in.data(), echo.data(), x);
    for (int e = 0; e < kComponentCount; ++e) EXPECT_TRUE(same_bits(echo[e], in[e])) << e;
}

TEST(SortComposition, DividesByOneHundredInModelOrder) {
    Percentages in{};
    for (int e = 0; e < kComponentCount; ++e) in[e] = 45.9 + e;
    const Composition x = model_fractions(in);
    for (int e = 0; e < kComponentCount; ++e) {
        EXPECT_TRUE(same_bits(x[kExternalToModel[e]], in[e] / 100.0)) << e;
    }
    // 45.9 / 100 and 45.9 * 0.01 differ in the last bit; the division is meant.
    ASSERT_NE(45.9 / 100.0, 45.9 * 0.01);
    EXPECT_EQ(x[0], 45.9 / 100.0);
}

TEST(SortComposition, PutsHeliumAndHydrogenAtTheirModelPositions) {
    Percentages in{};
    in[14] = 0.7;  // helium
    in[16] = 3.0;  // hydrogen
    const Composition x = model_fractions(in);
    EXPECT_EQ(x[19], 0.7 / 100.0);  // model position 20
    EXPECT_EQ(x[14], 3.0 / 100.0);  // model position 15
    EXPECT_EQ(x[static_cast<int>(Component::He)], 0.7 / 100.0);
    EXPECT_EQ(x[static_cast<int>(Component::H2)], 0.03);
}

TEST(SortComposition, AcceptsTheEchoInPlaceOfTheComposition) {
    Percentages in{};
    in[0] = 90.0;
    in[14] = 10.0;
    Composition x{};
    sort_composition(in.data(), in.data(), x);
    EXPECT_EQ(in[0], 90.0);
    EXPECT_EQ(x[0], 0.9);
    EXPECT_EQ(x[19], 0.1);
}

TEST(SetMixture, ListsActiveComponentsInModelOrderWithTheirFractions) {
    Percentages in{};
    in[0] = 80.0;   // methane
    in[1] = 5.0;    // nitrogen
    in[14] = 5.0;   // helium
    in[16] = 10.0;  // hydrogen
    const MixtureSetup s = set_mixture(300.0, 5.0, model_fractions(in));
    EXPECT_EQ(s.error, MixtureError::none);
    EXPECT_EQ(s.sentinel, 0.0);
    ASSERT_EQ(s.n, 4);
    EXPECT_EQ((std::array<int, 4>{s.list[0], s.list[1], s.list[2], s.list[3]}),
              (std::array<int, 4>{0, 1, 14, 19}));
    EXPECT_EQ((std::array<double, 4>{s.x[0], s.x[1], s.x[2], s.x[3]}),
              (std::array<double, 4>{0.8, 0.05, 0.1, 0.05}));
    const double M = molar_mass(Component::CH4) * 0.8 + molar_mass(Component::N2) * 0.05 +
                     molar_mass(Component::H2) * 0.1 + molar_mass(Component::He) * 0.05;
    EXPECT_EQ(s.M, M);
}

TEST(SetMixture, KeepsOneMillionthOfAPercentAndDropsLess) {
    Percentages kept{};
    kept[0] = 100.0 - 1e-6;
    kept[1] = 1e-6;
    const MixtureSetup a = set_mixture(300.0, 5.0, model_fractions(kept));
    EXPECT_EQ(a.error, MixtureError::none);
    ASSERT_EQ(a.n, 2);
    EXPECT_EQ(a.list[1], 1);

    Percentages dropped{};
    dropped[0] = 100.0 - 9.9e-7;
    dropped[1] = 9.9e-7;
    const Composition x = model_fractions(dropped);
    const MixtureSetup b = set_mixture(300.0, 5.0, x);
    EXPECT_EQ(b.error, MixtureError::none);
    ASSERT_EQ(b.n, 1);
    EXPECT_EQ(b.list[0], 0);
    EXPECT_EQ(b.M, molar_mass(Component::CH4) * x[0]);
}

TEST(SetMixture, DroppedComponentsDoNotCountInTheSumTest) {
    // Twenty traces just below the threshold would close the gap; ignored, they
    // leave the kept sum more than one millionth short.
    Composition x{};
    x[0] = 1.0 - 1.1e-6;
    for (int i = 1; i < kComponentCount; ++i) x[i] = 0.99e-8;
    const MixtureSetup s = set_mixture(300.0, 5.0, x);
    EXPECT_EQ(s.error, MixtureError::sum);
    EXPECT_EQ(s.sentinel, kSentinelFractionSum);
    EXPECT_EQ(s.n, 1);
}

TEST(SetMixture, MethaneAbove100PercentPassesTheCheckButFailsTheSetup) {
    Percentages in{};
    in[0] = 100.00005;
    std::int16_t range_set = 0;
    std::int16_t status = 0;
    check_input(in.data(), 5.0, 300.0, range_set, status);
    EXPECT_EQ(status, -1);
    const MixtureSetup s = set_mixture(300.0, 5.0, model_fractions(in));
    EXPECT_EQ(s.error, MixtureError::fraction);
    EXPECT_EQ(s.sentinel, -99997.0);
    EXPECT_EQ(s.n, 0);
    EXPECT_EQ(s.M, 0.0);
    status_from_sentinel(s.sentinel, status);
    EXPECT_EQ(status, 192);
}

TEST(SetMixture, TinyPressurePassesTheCheckButFailsTheStateRange) {
    Percentages in{};
    in[0] = 100.0;
    std::int16_t range_set = 0;
    std::int16_t status = 0;
    check_input(in.data(), 5e-10, 300.0, range_set, status);
    EXPECT_EQ(status, -1);
    const MixtureSetup s = set_mixture(300.0, 5e-10, model_fractions(in));
    EXPECT_EQ(s.error, MixtureError::pressure);
    EXPECT_EQ(s.sentinel, -99992.0);
    EXPECT_EQ(s.n, 1);
    EXPECT_EQ(s.M, molar_mass(Component::CH4));
    status_from_sentinel(s.sentinel, status);
    EXPECT_EQ(status, 191);
}

struct StateCase {
    double T;
    double p;
    MixtureError error;
    double sentinel;
};

TEST(SetMixture, AdmitsClosedStateRanges) {
    const StateCase cases[] = {
        {2.1768, 5.0, MixtureError::none, 0.0},
        {5000.0, 5.0, MixtureError::none, 0.0},
        {300.0, 1e-9, MixtureError::none, 0.0},
        {300.0, 2500.0, MixtureError::none, 0.0},
        {2.1768, 1e-9, MixtureError::none, 0.0},
        {std::nextafter(2.1768, 0.0), 5.0, MixtureError::temperature, -99991.0},
        {std::nextafter(5000.0, 1e4), 5.0, MixtureError::temperature, -99991.0},
        {300.0, std::nextafter(1e-9, 0.0), MixtureError::pressure, -99992.0},
        {300.0, std::nextafter(2500.0, 1e4), MixtureError::pressure, -99992.0},
        {1.0, 1e5, MixtureError::temperature, -99991.0},  // temperature tested first
        {kNaN, 5.0, MixtureError::temperature, -99991.0},
        {300.0, kNaN, MixtureError::pressure, -99992.0},
        {std::numeric_limits<double>::infinity(), 5.0, MixtureError::temperature, -99991.0},
    };
    for (const StateCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "T = " << c.T << ", p = " << c.p);
        const MixtureSetup s = set_mixture(c.T, c.p, pure(Component::CH4));
        EXPECT_EQ(s.error, c.error);
        EXPECT_EQ(s.sentinel, c.sentinel);
        EXPECT_EQ(s.n, 1);
    }
}

TEST(SetMixture, StopsAtTheFirstBadFractionKeepingWhatCameBefore) {
    struct FractionCase {
        int bad_position;
        double bad_value;
    };
    const FractionCase cases[] = {
        {0, -1e-300}, {0, std::nextafter(1.0, 2.0)}, {2, -0.1}, {2, 1.5}, {2, kNaN},
        {20, -0.0001}, {20, std::numeric_limits<double>::infinity()},
    };
    for (const FractionCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bad_position << ": " << c.bad_value);
        Composition x{};
        x[0] = 0.5;
        x[1] = 0.5;
        x[c.bad_position] = c.bad_value;
        const MixtureSetup s = set_mixture(300.0, 5.0, x);
        EXPECT_EQ(s.error, MixtureError::fraction);
        EXPECT_EQ(s.sentinel, -99997.0);
        const int before = c.bad_position == 0 ? 0 : 2;
        EXPECT_EQ(s.n, before);
        const double M = before == 0 ? 0.0
                                     : molar_mass(Component::CH4) * 0.5 +
                                           molar_mass(Component::N2) * 0.5;
        EXPECT_EQ(s.M, M);
    }
}

TEST(SetMixture, AcceptsAFractionOfExactlyOneAndSumsWithinOneMillionth) {
    const struct {
        double methane;
        double nitrogen;
        MixtureError error;
    } cases[] = {
        {1.0, 0.0, MixtureError::none},
        {0.5, 0.5000009, MixtureError::none},
        {0.5, 0.4999991, MixtureError::none},
        {0.5, 0.500002, MixtureError::sum},
        {0.5, 0.499998, MixtureError::sum},
        {0.5, 0.4, MixtureError::sum},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.methane << " + " << c.nitrogen);
        Composition x{};
        x[0] = c.methane;
        x[1] = c.nitrogen;
        const MixtureSetup s = set_mixture(300.0, 5.0, x);
        EXPECT_EQ(s.error, c.error);
        EXPECT_EQ(s.sentinel, c.error == MixtureError::sum ? -99998.0 : 0.0);
    }
}

TEST(SetMixture, MolarMassIsThatOfTheKeptComponents) {
    const MixtureSetup s = set_mixture(300.0, 5.0, pure(Component::CH4));
    EXPECT_EQ(s.M, 0.01604246);
}

}  // namespace
}  // namespace ngtherm::api
