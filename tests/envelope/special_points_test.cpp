// Special points on the cubics of one interval: extrema with their kind,
// crossings of tabulation values (twice around an extremum, caller's value
// told apart), the critical point with its acceptance test, and the order
// along the line.
#include "envelope/special_points.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace ngtherm::envelope {
namespace {

// Two components; the cubics of ln K_1, ln K_2, ln T and ln p are given directly.
struct Interval {
    CubicSet cubic;
    double u = -1.0;
    Interval(double u_, const Cubic& k1, const Cubic& k2, const Cubic& lnT, const Cubic& lnp) : u(u_) {
        for (int k = 0; const Cubic& c : {k1, k2, lnT, lnp}) cubic.set(k++, c);
    }
    IntervalCubics view() const { return {cubic, 2, u}; }
};

Tabulation tabulation(std::initializer_list<double> values, int caller) {
    Tabulation tab;
    for (const double v : values) tab.ln_value[tab.count++] = std::log(v);
    tab.caller = caller;
    return tab;
}

// ln T = ln 250 + 0.1 s - 0.2 s^2 has its maximum at s = 0.25 inside [-1, 1].
TEST(SpecialPoints, FindTheTemperatureMaximumAndTheGridTemperatureCrossedOnBothSidesOfIt) {
    const Interval iv(1.0, Cubic::line(1.0, 0.0), Cubic::line(-1.0, 0.0), {std::log(250.0), 0.1, -0.2, 0.0},
                      Cubic::line(std::log(5.0), -0.5));
    const double peak = std::exp(std::log(250.0) + 0.1 * 0.25 - 0.2 * 0.0625);
    const double below = 250.5;  // crossed once on each side of the maximum
    ASSERT_LT(below, peak);
    SpecialPointList list;
    find_special_points(iv.view(), tabulation({200.0, below, 300.0}, 1), tabulation({}, -1), list);
    ASSERT_EQ(list.size, 3);
    int maxima = 0;
    for (int k = 0; k < list.size; ++k) {
        const SpecialPoint& sp = list.item[k];
        if (sp.type == EnvelopePointType::max_temperature) {
            ++maxima;
            EXPECT_NEAR(sp.s, 0.25, 1e-9);
        } else {
            EXPECT_EQ(sp.type, EnvelopePointType::caller_temperature);
            EXPECT_NEAR(std::exp(iv.cubic[2].value(sp.s)), below, 1e-4);  // the iteration stops at steps of 0.001 in s
        }
    }
    EXPECT_EQ(maxima, 1);
    // Sorted from the previous point (s = 1) towards the current one (s = 0).
    for (int k = 1; k < list.size; ++k) EXPECT_GE(std::abs(list.item[k - 1].s), std::abs(list.item[k].s));
}

TEST(SpecialPoints, TellPressureMinimaAndGridPressuresFromTheCallersPressure) {
    // ln p has its minimum at s = -0.3.
    const Interval iv(-0.8, Cubic::line(2.0, 0.1), Cubic::line(-2.0, -0.1), Cubic::line(std::log(200.0), 0.3),
                      {std::log(2.05), 0.6, 1.0, 0.0});
    SpecialPointList list;
    find_special_points(iv.view(), tabulation({}, -1), tabulation({1.0, 1.9, 2.2}, 2), list);
    int minima = 0, caller = 0, grid = 0;
    for (int k = 0; k < list.size; ++k) {
        const SpecialPoint& sp = list.item[k];
        if (sp.type == EnvelopePointType::min_pressure) {
            ++minima;
            EXPECT_NEAR(sp.s, -0.3, 1e-9);
        } else if (sp.type == EnvelopePointType::caller_pressure) {
            ++caller;
            EXPECT_NEAR(std::exp(iv.cubic[3].value(sp.s)), 2.2, 1e-6);
        } else {
            ++grid;
            EXPECT_EQ(sp.type, EnvelopePointType::tabulated);
            EXPECT_NEAR(std::exp(iv.cubic[3].value(sp.s)), 1.9, 1e-6);
        }
    }
    // 2.2 MPa lies above the current pressure: crossed before the minimum only.
    EXPECT_TRUE(minima == 1 && caller == 1 && grid == 2) << minima << caller << grid;
}

TEST(SpecialPoints, AcceptACriticalPointOnlyWhereAllLnKVanishTogether) {
    // Previous point at ln K = (0.1, -0.05), current at (-0.1, 0.05).
    Interval iv(-0.2, Cubic::line(-0.1, -1.0), Cubic::line(0.05, 0.5), Cubic::line(std::log(220.0), 0.01),
                Cubic::line(std::log(7.0), 0.01));
    SpecialPointList list;
    find_special_points(iv.view(), tabulation({}, -1), tabulation({}, -1), list);
    ASSERT_EQ(list.size, 1);
    EXPECT_EQ(list.item[0].type, EnvelopePointType::critical);
    EXPECT_NEAR(list.item[0].s, -0.1, 1e-12);

    // One ln K crosses zero while the other stays large: no critical point.
    iv.cubic.set(1, Cubic::line(2.0, 0.0));
    find_special_points(iv.view(), tabulation({}, -1), tabulation({}, -1), list);
    EXPECT_EQ(list.size, 0);
}

TEST(SpecialPoints, FindNothingInAMonotonicIntervalWithoutGridValues) {
    const Interval iv(-1.0, Cubic::line(1.0, 0.1), Cubic::line(-1.0, -0.1), Cubic::line(std::log(200.0), 0.2),
                      Cubic::line(std::log(3.0), 0.5));
    SpecialPointList list;
    find_special_points(iv.view(), tabulation({150.0, 250.0}, 0), tabulation({1.0, 10.0}, 1), list);
    EXPECT_EQ(list.size, 0);
}

}  // namespace
}  // namespace ngtherm::envelope
