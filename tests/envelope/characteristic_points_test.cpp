// The characteristic points of traced envelopes, checked by the equations of
// the line themselves: every stored point (crossings, extrema and the critical
// point included) solves the saturation equations, an extremum has a zero
// slope of its variable along the line and lies above (or below) the points
// beside it, the cricondentherm and cricondenbar are the extremes of the whole
// line and do not depend on the initial step, and a crossing of the caller's
// pressure is where a flash changes between one and two phases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "envelope/envelope_equations.hpp"
#include "envelope/phase_envelope.hpp"
#include "envelope/tracer.hpp"
#include "ngtherm/envelope.hpp"
#include "properties/flash.hpp"
#include "support/gases.hpp"

namespace ngtherm::envelope {
namespace {

using test::Feed;
using test::Gas;

// Residuals of the equations at the converged crossings and extrema, and at
// the ordinary points of the continuation.
constexpr double kResidualTolerance = 1e-10;
constexpr double kOrdinaryResidualTolerance = 1e-8;
// Extrema and their neighbours may differ by rounding only.
constexpr double kNeighbourTolerance = 1e-9;
// |dX_k/dS| / |dX/dS| at a temperature or pressure extremum.
constexpr double kExtremumTolerance = 1e-8;
// Agreement of the cricondentherm and cricondenbar between initial steps.
constexpr double kStepAgreement_T = 1e-3;  // K
constexpr double kStepAgreement_p = 1e-3;  // MPa
constexpr std::array<double, 3> kInitialSteps{0.02, 0.1, 1.0};
// The caller's state, and the distance of the flashes from a crossing.
constexpr double kCallerT = 250.0;  // K
constexpr double kCallerP = 3.0;    // MPa
constexpr double kFlashOffset = 0.01;  // K
// Lines that fold back where the density root of the incipient phase ends
// (co2_90 at 169.31 K and 5.35 MPa, co2_80 at 174.26 K and 4.05 MPa) end on
// their last point before the fold, within this of these temperatures.
constexpr double kFoldReach_T = 0.02;  // K
std::optional<double> fold_temperature(const Feed& feed) {
    if (feed.name == "co2_90") return 169.33;
    if (feed.name == "co2_80") return 174.26;
    return std::nullopt;
}

// The largest residual of the saturation equations at a point, on the pair of
// density roots that suits it, and the slope dX/dS of the line there with
// `fixed` (ln T or ln p) as the fixed variable.
struct PointCheck {
    double residual = std::numeric_limits<double>::infinity();
    LuVector slope{};
};

PointCheck check_point(const Feed& feed, const TracePoint& point, int fixed) {
    const int n = feed.n();
    LuVector X{};
    for (int i = 0; i < n; ++i) X[i] = point.lnK[i];
    X[n] = std::log(point.T);
    X[n + 1] = std::log(point.p);
    PointCheck best;
    EnvelopeEquations eq;
    using model::RootPreference;
    for (const RootPreference rx : {RootPreference::liquid, RootPreference::vapour}) {
        for (const RootPreference ry : {RootPreference::vapour, RootPreference::liquid}) {
            eq.reset(feed.set, feed.x.data(), 1.0);
            eq.restore({rx, rx, ry, ry});
            if (!eq.evaluate(X, kNewtonRequest)) continue;
            LuVector F{};
            eq.residuals(X, fixed, X[fixed], F);
            double worst = 0.0;
            for (int k = 0; k < n + 2; ++k) worst = std::max(worst, std::abs(F[k]));
            if (worst >= best.residual) continue;
            best.residual = worst;
            LuSystem J;
            eq.jacobian(X, fixed, J);
            if (!numerics::lu_factor(J)) continue;
            best.slope = LuVector{};
            best.slope[n + 1] = 1.0;
            numerics::lu_solve(J, best.slope);
        }
    }
    return best;
}

std::vector<TracePoint> trace(const Feed& feed, double step, double caller_p = kCallerP) {
    TraceSettings s;
    s.initial_step = step;
    s.temperatures = merge_tabulation(kTabulationTemperatures, kCallerT);
    s.pressures = merge_tabulation(kTabulationPressures, caller_p);
    EnvelopeTracer tracer;
    // Every line is complete: back to the minimum pressure, or out through
    // the maximum pressure, with its last point a converged point on it; or,
    // where the density root of the incipient phase ends and the line folds
    // back on itself, on its last point before the fold.
    EXPECT_EQ(tracer.trace(feed.set, feed.x.data(), s), EnvelopeOutcome::left_window);
    const TracePoint& last = tracer.points().back();
    if (const std::optional<double> fold_T = fold_temperature(feed)) {
        EXPECT_NEAR(last.T, *fold_T, kFoldReach_T);
    } else {
        EXPECT_TRUE(std::abs(last.p - s.p_min) <= 1e-12 * s.p_min || std::abs(last.p - s.p_max) <= 1e-12)
            << last.T << " K " << last.p << " MPa";
    }
    EXPECT_LE(check_point(feed, last, feed.n()).residual, kOrdinaryResidualTolerance);
    return {tracer.points().begin(), tracer.points().end()};
}

double relative_slope(const PointCheck& c, int k, int m) {
    double norm = 0.0;
    for (int j = 0; j < m; ++j) norm += c.slope[j] * c.slope[j];
    return std::abs(c.slope[k]) / std::sqrt(norm);
}

bool is_maximum(EnvelopePointType t) {
    return t == EnvelopePointType::max_temperature || t == EnvelopePointType::max_pressure;
}
bool is_extremum(EnvelopePointType t) {
    return is_maximum(t) || t == EnvelopePointType::min_temperature || t == EnvelopePointType::min_pressure;
}
bool is_temperature_extremum(EnvelopePointType t) {
    return t == EnvelopePointType::max_temperature || t == EnvelopePointType::min_temperature;
}

void expect_extremum(const Feed& feed, const std::vector<TracePoint>& line, std::size_t i) {
    const TracePoint& point = line[i];
    const int n = feed.n();
    const bool by_T = is_temperature_extremum(point.type);
    const int k = by_T ? n : n + 1;
    const PointCheck c = check_point(feed, point, by_T ? n + 1 : n);
    EXPECT_LE(relative_slope(c, k, n + 2), kExtremumTolerance) << point.T << " K " << point.p << " MPa";
    ASSERT_GT(i, 0u);
    ASSERT_LT(i + 1, line.size());
    const auto value = [&](const TracePoint& q) { return by_T ? q.T : q.p; };
    const double sign = is_maximum(point.type) ? 1.0 : -1.0;
    EXPECT_GE(sign * (value(point) - value(line[i - 1])), -kNeighbourTolerance) << "the point before";
    EXPECT_GE(sign * (value(point) - value(line[i + 1])), -kNeighbourTolerance) << "the point after";
}

// The largest temperature (or pressure) maximum, or nothing.
std::optional<double> highest(const std::vector<TracePoint>& line, EnvelopePointType type) {
    std::optional<double> best;
    for (const TracePoint& q : line) {
        if (q.type != type) continue;
        const double v = type == EnvelopePointType::max_temperature ? q.T : q.p;
        best = best ? std::max(*best, v) : v;
    }
    return best;
}

std::optional<TracePoint> critical(const std::vector<TracePoint>& line) {
    for (const TracePoint& q : line) {
        if (q.type == EnvelopePointType::critical) return q;
    }
    return std::nullopt;
}

std::vector<Gas> characteristic_gases() {
    return {test::lean_gas_11(),
            test::rich_gas_7(),
            test::condensate_gas(),
            test::sour_gas(),
            {"co2_40", {{"CH4", 60}, {"CO2", 40}}},
            {"co2_90", {{"CO2", 90}, {"CH4", 5}, {"N2", 3}, {"H2S", 2}}},
            {"co2_80", {{"CH4", 15}, {"CO2", 80}, {"C2H6", 2}, {"N2", 3}}},
            test::methane_nitrogen(),
            test::hydrogen_blend()};
}

class CharacteristicPoints : public ::testing::TestWithParam<Gas> {};

TEST_P(CharacteristicPoints, EveryPointSolvesTheSaturationEquationsAndEveryExtremumIsOne) {
    const Feed feed(GetParam());
    const std::vector<TracePoint> line = trace(feed, 0.1);
    ASSERT_GE(line.size(), 3u);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const TracePoint& point = line[i];
        // The critical point solves the equations trivially (all K = 1); its
        // place on the line is checked by the tracer's own tests.
        if (point.type == EnvelopePointType::critical) continue;
        const double tolerance =
            point.type == EnvelopePointType::ordinary ? kOrdinaryResidualTolerance : kResidualTolerance;
        EXPECT_LE(check_point(feed, point, feed.n()).residual, tolerance)
            << "point " << i << " type " << static_cast<int>(point.type) << " at " << point.T << " K";
        if (is_extremum(point.type)) expect_extremum(feed, line, i);
    }
    const std::optional<double> T_max = highest(line, EnvelopePointType::max_temperature);
    ASSERT_TRUE(T_max) << "every test gas has a cricondentherm";
    // A line that leaves through the maximum pressure has its highest
    // pressure at that end, not at a maximum.
    const bool returns = line.back().p <= line.front().p;
    const std::optional<double> p_max =
        returns ? highest(line, EnvelopePointType::max_pressure) : std::nullopt;
    for (const TracePoint& q : line) {
        EXPECT_LE(q.T, *T_max) << "the cricondentherm is the highest temperature of the line";
        if (p_max) {
            EXPECT_LE(q.p, *p_max) << "the cricondenbar is the highest pressure of the line";
        }
    }
}

TEST_P(CharacteristicPoints, CricondenthermCricondenbarAndCriticalPointDoNotDependOnTheInitialStep) {
    const Feed feed(GetParam());
    const std::vector<TracePoint> reference = trace(feed, kInitialSteps[0]);
    for (const double step : kInitialSteps) {
        SCOPED_TRACE(step);
        const std::vector<TracePoint> line = trace(feed, step);
        const auto T_ref = highest(reference, EnvelopePointType::max_temperature);
        const auto T_max = highest(line, EnvelopePointType::max_temperature);
        ASSERT_TRUE(T_ref && T_max);
        EXPECT_NEAR(*T_max, *T_ref, kStepAgreement_T);
        const auto p_ref = highest(reference, EnvelopePointType::max_pressure);
        const auto p_max = highest(line, EnvelopePointType::max_pressure);
        ASSERT_EQ(p_ref.has_value(), p_max.has_value());
        if (p_max) {
            EXPECT_NEAR(*p_max, *p_ref, kStepAgreement_p);
        }
        const auto c_ref = critical(reference);
        const auto c = critical(line);
        ASSERT_EQ(c_ref.has_value(), c.has_value());
        if (c) {
            EXPECT_NEAR(c->T, c_ref->T, kStepAgreement_T);
            EXPECT_NEAR(c->p, c_ref->p, kStepAgreement_p);
        }
    }
}

TEST_P(CharacteristicPoints, AFlashChangesBetweenOneAndTwoPhasesAcrossTheDewPointsAtTheCallersState) {
    const Gas& gas = GetParam();
    const Feed feed(gas);
    equilibrium::EquilibriumSolver solver;
    const auto two_phase = [&](double T, double p) {
        const double beta = properties::flash_tp(solver, gas.fractions(), T, p).beta;
        return beta > 0.0 && beta < 1.0;
    };
    // The crossings on the dew side, before the line turns over its maxima.
    int crossings = 0;
    for (const TracePoint& q : trace(feed, 0.1)) {
        if (q.type == EnvelopePointType::max_temperature) break;
        const bool at_p = q.type == EnvelopePointType::caller_pressure;
        const bool at_T = q.type == EnvelopePointType::caller_temperature;
        if (!at_p && !at_T) continue;
        EXPECT_NEAR(at_p ? q.p : q.T, at_p ? kCallerP : kCallerT, 1e-12);
        ++crossings;
        EXPECT_NE(two_phase(q.T - kFlashOffset, q.p), two_phase(q.T + kFlashOffset, q.p))
            << "at " << q.T << " K, " << q.p << " MPa";
    }
    EXPECT_GE(crossings, 1);
}

INSTANTIATE_TEST_SUITE_P(Gases, CharacteristicPoints, ::testing::ValuesIn(characteristic_gases()),
                         [](const auto& info) { return info.param.name; });

// Near the cricondenbar of methane-propane the cubics of a long interval
// overshoot the line by tenths of a kelvin; the crossings of the caller's
// temperature and pressure are points of the line at every initial step,
// and none lies beyond the cricondentherm.
TEST(Crossings, OfTheCallersStateAreTheSameAtEveryInitialStep) {
    const Feed feed(test::methane_propane());
    constexpr double kCallerHighP = 8.0;  // MPa, just below the cricondenbar
    const auto crossings = [&](double step) {
        std::vector<double> values;  // T of pressure crossings, then p of temperature crossings
        const std::vector<TracePoint> line = trace(feed, step, kCallerHighP);
        const double T_max = *highest(line, EnvelopePointType::max_temperature);
        for (const EnvelopePointType type : {EnvelopePointType::caller_pressure, EnvelopePointType::caller_temperature}) {
            for (const TracePoint& q : line) {
                if (q.type != type) continue;
                EXPECT_LE(q.T, T_max);
                values.push_back(type == EnvelopePointType::caller_pressure ? q.T : q.p);
            }
        }
        return values;
    };
    const std::vector<double> reference = crossings(kInitialSteps[0]);
    ASSERT_EQ(reference.size(), 4u) << "8 MPa and 250 K are each crossed twice";
    EXPECT_NEAR(reference[0], 249.367, 1e-3) << "the dew point at 8 MPa";
    EXPECT_NEAR(reference[3], 7.9229, 1e-4) << "the highest saturation pressure at 250 K";
    for (const double step : kInitialSteps) {
        const std::vector<double> values = crossings(step);
        ASSERT_EQ(values.size(), reference.size());
        for (std::size_t k = 0; k < values.size(); ++k) EXPECT_NEAR(values[k], reference[k], 1e-9) << step;
    }
}

// Steep lines that climb out through the maximum pressure end on a converged
// point on that pressure, however far the last prediction overshot it.
TEST(LineCompleteness, ALineThatLeavesThroughTheMaximumPressureEndsOnIt) {
    constexpr double kCeiling = 40.0;  // MPa
    for (const Gas& gas : {test::hydrogen_blend(), test::hydrogen_blend_10(), test::hydrogen_rich(),
                           test::helium_gas()}) {
        SCOPED_TRACE(gas.name);
        const Feed feed(gas);
        TraceSettings s;
        s.p_max = kCeiling;
        EnvelopeTracer tracer;
        ASSERT_EQ(tracer.trace(feed.set, feed.x.data(), s), EnvelopeOutcome::left_window);
        const TracePoint& last = tracer.points().back();
        EXPECT_LE(last.p, kCeiling);
        EXPECT_NEAR(last.p, kCeiling, 1e-12);
        EXPECT_LE(check_point(feed, last, feed.n()).residual, kOrdinaryResidualTolerance);
    }
}

// The Newton iteration of the first point wanders off from the start-up
// passes of this gas at low pressures; a retry from a closer start finds the
// dew point there.
TEST(LineCompleteness, StartsAtEveryLowMinimumPressureWhereADewPointExists) {
    const Feed feed(Gas{"sour_6_start", {{"CH4", 85}, {"H2S", 5}, {"CO2", 4}, {"C2H6", 4}, {"C3H8", 1.5},
                                         {"N2", 0.5}}});
    for (const double p_min : {0.05, 0.1, 0.15, 0.2}) {
        SCOPED_TRACE(p_min);
        TraceSettings s;
        s.p_min = p_min;
        EnvelopeTracer tracer;
        ASSERT_EQ(tracer.trace(feed.set, feed.x.data(), s), EnvelopeOutcome::left_window);
        const TracePoint& first = tracer.points().front();
        EXPECT_NEAR(first.p, p_min, 1e-12);
        EXPECT_LE(check_point(feed, first, feed.n()).residual, kOrdinaryResidualTolerance);
        EXPECT_NEAR(tracer.points().back().p, p_min, 1e-12 * p_min) << "and the line returns to it";
    }
}

// The bubble line of methane-nitrogen starts at 0.2 MPa below 100 K: it
// comes in through that minimum temperature and goes on
// until it returns to the minimum pressure.
TEST(LineCompleteness, ALineThatStartsBelowTheMinimumTemperatureComesInThroughIt) {
    const Feed feed(test::methane_nitrogen());
    TraceSettings s;
    s.beta = 0.0;
    s.p_min = 0.2;
    s.T_min = 100.0;
    EnvelopeTracer tracer;
    ASSERT_EQ(tracer.trace(feed.set, feed.x.data(), s), EnvelopeOutcome::left_window);
    const std::span<const TracePoint> line = tracer.points();
    ASSERT_GE(line.size(), 3u);
    EXPECT_LT(line[0].T, s.T_min);
    EXPECT_NEAR(line[1].T, s.T_min, 1e-12 * s.T_min);
    EXPECT_NEAR(line.back().p, s.p_min, 1e-12 * s.p_min);
}

// Started at 0.1 MPa, this gas's line only runs round a small loop at
// 171-185 K below 0.24 MPa; the main line, with its dew point of 250.30 K at
// 5 MPa, is traced from a saturation point above the loop.
TEST(LineCompleteness, TheMainLineAboveALowPressureLoopIsTraced) {
    const Gas gas{"co2_40_loop", {{"CH4", 52}, {"CO2", 40}, {"C2H6", 5}, {"C3H8", 2}, {"N2", 1}}};
    const Feed feed(gas);
    TraceSettings s;
    s.pressures = merge_tabulation(kTabulationPressures, 5.0);
    EnvelopeTracer tracer;
    ASSERT_EQ(tracer.trace(feed.set, feed.x.data(), s), EnvelopeOutcome::left_window);
    const std::vector<TracePoint> line(tracer.points().begin(), tracer.points().end());
    ASSERT_TRUE(critical(line));
    const auto dew = std::find_if(line.begin(), line.end(),
                                  [](const TracePoint& q) { return q.type == EnvelopePointType::caller_pressure; });
    ASSERT_NE(dew, line.end());
    EXPECT_NEAR(dew->T, 250.30, 0.01);
    EXPECT_LE(check_point(feed, *dew, feed.n()).residual, kResidualTolerance);
    equilibrium::EquilibriumSolver solver;
    const double below = properties::flash_tp(solver, gas.fractions(), dew->T - kFlashOffset, dew->p).beta;
    const double above = properties::flash_tp(solver, gas.fractions(), dew->T + kFlashOffset, dew->p).beta;
    EXPECT_GT(below, 0.0);
    EXPECT_LT(below, 1.0);
    EXPECT_EQ(above, 1.0);
    EXPECT_NEAR(line.front().p, s.p_min, 1e-12) << "the line starts on the minimum pressure";
    EXPECT_NEAR(line.back().p, s.p_min, 1e-12 * s.p_min) << "and returns to it";
}

// The line of this gas turns at 298.7 K and 8.2 MPa; the reported values are
// the highest temperature and the highest pressure maximum of the whole line.
TEST(PhaseEnvelopeValues, ReportTheHighestMaximaOfTheLineNotTheLastOnes) {
    const Gas gas{"co2_90", {{"CO2", 90}, {"CH4", 5}, {"N2", 3}, {"H2S", 2}}};
    EnvelopeOptions options;
    options.T = 250.0;
    options.p = 5.0;
    const Envelope env = phase_envelope(gas.external(), options);
    ASSERT_TRUE(env.ok());
    double T_top = 0.0, p_top = 0.0;  // the highest temperature, the highest pressure maximum
    for (const EnvelopePoint& q : env.points) {
        T_top = std::max(T_top, q.T);
        if (q.type == EnvelopePointType::max_pressure) p_top = std::max(p_top, q.p);
    }
    EXPECT_EQ(env.value[4], T_top);
    EXPECT_EQ(env.value[5], p_top);
    EXPECT_EQ(env.status[4], 0);
    EXPECT_EQ(env.status[5], 0);
}

}  // namespace
}  // namespace ngtherm::envelope
