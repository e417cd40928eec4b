// The pieces of a tracer step: the equations of an envelope point and the
// special points on the cubics of one interval.
#include "envelope/envelope_equations.hpp"
#include "envelope/special_points.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "support/gases.hpp"

namespace ngtherm::envelope {
namespace {

using test::Feed;

constexpr double kDifferenceStep = 1e-6, kDifferenceTolerance = 2e-6;  // of the central differences

struct JacobianCase {
    test::Gas gas;
    double beta, T, p;  // K, MPa: where the unknowns are placed
    double lnK_scale;   // ln K_i = lnK_scale * (ln Tc_i - ln Tc_mean), a plausible spread
};

class EnvelopeJacobian : public ::testing::TestWithParam<JacobianCase> {};

// Unknowns ln K_i = -lnK_scale (ln Tc_i - mean), ln T, ln p.
LuVector unknowns(const model::ActiveSet& set, double lnK_scale, double T, double p) {
    LuVector X{};
    double mean = 0.0;
    for (int i = 0; i < set.n; ++i) mean += std::log(set.Tc[i]) / set.n;
    for (int i = 0; i < set.n; ++i) X[i] = -lnK_scale * (std::log(set.Tc[i]) - mean);
    X[set.n] = std::log(T);
    X[set.n + 1] = std::log(p);
    return X;
}

TEST_P(EnvelopeJacobian, MatchesCentralDifferencesOfTheResiduals) {
    const JacobianCase& c = GetParam();
    const Feed feed(c.gas);
    const int n = feed.set.n;
    const int fixed = n + 1;
    EnvelopeEquations eq;
    eq.reset(feed.set, feed.x.data(), c.beta);
    const LuVector X = unknowns(feed.set, c.lnK_scale, c.T, c.p);
    ASSERT_TRUE(eq.evaluate(X, kNewtonRequest));
    LuSystem J;
    eq.jacobian(X, fixed, J);
    ASSERT_EQ(J.m, n + 2);
    for (int k = 0; k < n + 2; ++k) {
        LuVector up = X, down = X, F_up{}, F_down{};
        up[k] += kDifferenceStep;
        down[k] -= kDifferenceStep;
        ASSERT_TRUE(eq.evaluate(up, kNewtonRequest));
        eq.residuals(up, fixed, 0.0, F_up);
        ASSERT_TRUE(eq.evaluate(down, kNewtonRequest));
        eq.residuals(down, fixed, 0.0, F_down);
        for (int i = 0; i < n + 2; ++i) {
            const double difference = (F_up[i] - F_down[i]) / (2.0 * kDifferenceStep);
            EXPECT_NEAR(J.a[i][k], difference, kDifferenceTolerance * std::max(1.0, std::abs(difference)))
                << "row " << i << " column " << k;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, EnvelopeJacobian,
    ::testing::Values(JacobianCase{test::rich_gas_7(), 1.0, 250.0, 3.0, 3.0},
                      JacobianCase{test::rich_gas_7(), 0.0, 180.0, 3.0, 2.0},
                      JacobianCase{test::lean_gas_11(), 0.35, 230.0, 4.0, 2.5},
                      JacobianCase{test::methane_propane(), 1.0, 240.0, 2.0, 1.5}),
    [](const auto& info) {
        return info.param.gas.name + "_beta_" + std::to_string(static_cast<int>(info.param.beta * 100));
    });

// For K_i = 1 both phases are the feed, so the residuals vanish; K = 0 or NaN
// gives no liquid amount z/K and no evaluation.
TEST(EnvelopeEquations, ResidualsVanishWhereFugacitiesAndAmountsBalanceAndNoPhaseAmountIsRefused) {
    const Feed feed(test::rich_gas_7());
    EnvelopeEquations eq;
    eq.reset(feed.set, feed.x.data(), 1.0);
    LuVector X = unknowns(feed.set, 0.0, 300.0, 5.0), F{};
    ASSERT_TRUE(eq.evaluate(X, kNewtonRequest));
    eq.residuals(X, feed.set.n + 1, std::log(5.0), F);
    for (int i = 0; i < feed.set.n + 2; ++i) EXPECT_NEAR(F[i], 0.0, 1e-13) << i;
    for (double lnK : {-1000.0, std::nan("")}) {
        X[0] = lnK;
        EXPECT_FALSE(eq.evaluate(X, kNewtonRequest));
    }
}

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
// The points come sorted from the previous point (s = 1) towards the current one (s = 0).
TEST(SpecialPoints, FindTheTemperatureMaximumAndTheGridTemperatureCrossedOnBothSidesOfIt) {
    using enum EnvelopePointType;
    const Interval iv(1.0, Cubic::line(1.0, 0.0), Cubic::line(-1.0, 0.0), {std::log(250.0), 0.1, -0.2, 0.0},
                      Cubic::line(std::log(5.0), -0.5));
    const double below = 250.5;  // under the maximum of 253.1 K: crossed once on each side of it
    SpecialPointList list;
    find_special_points(iv.view(), tabulation({200.0, below, 300.0}, 1), tabulation({}, -1), list);
    ASSERT_EQ(list.size, 3);
    EXPECT_TRUE(list.item[0].type == caller_temperature && list.item[1].type == max_temperature &&
                list.item[2].type == caller_temperature);
    EXPECT_NEAR(list.item[1].s, 0.25, 1e-9);
    for (int k : {0, 2}) EXPECT_NEAR(std::exp(iv.cubic[2].value(list.item[k].s)), below, 1e-4);  // steps of 0.001 in s
    EXPECT_TRUE(list.item[0].s > list.item[1].s && list.item[1].s > list.item[2].s);
}

// ln p has its minimum at s = -0.3; 2.2 MPa lies above the current pressure, so
// it is crossed before the minimum only, and the grid's 1.9 MPa on both sides.
TEST(SpecialPoints, TellPressureMinimaAndGridPressuresFromTheCallersPressure) {
    using enum EnvelopePointType;
    const Interval iv(-0.8, Cubic::line(2.0, 0.1), Cubic::line(-2.0, -0.1), Cubic::line(std::log(200.0), 0.3),
                      {std::log(2.05), 0.6, 1.0, 0.0});
    SpecialPointList list;
    find_special_points(iv.view(), tabulation({}, -1), tabulation({1.0, 1.9, 2.2}, 2), list);
    ASSERT_EQ(list.size, 4);
    const EnvelopePointType expected[] = {caller_pressure, tabulated, min_pressure, tabulated};
    for (int k = 0; k < 4; ++k) EXPECT_EQ(list.item[k].type, expected[k]) << k;
    EXPECT_NEAR(list.item[2].s, -0.3, 1e-9);
    for (int k : {0, 1, 3}) EXPECT_NEAR(std::exp(iv.cubic[3].value(list.item[k].s)), k == 0 ? 2.2 : 1.9, 1e-6);
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
