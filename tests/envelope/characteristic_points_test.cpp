// The characteristic points of traced envelopes, checked by the equations of the line: every
// stored point solves the saturation equations, an extremum has a zero slope of its variable and
// tops the points beside it, the cricondentherm and cricondenbar are the extremes of the whole line
// and do not depend on the initial step, and a flash changes phase count at a dew-side crossing.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>
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
using Type = EnvelopePointType;
using Line = std::vector<TracePoint>;

constexpr double kResidualTolerance = 1e-10;         // at converged crossings and extrema
constexpr double kOrdinaryResidualTolerance = 1e-8;  // at the continuation's own points
constexpr double kNeighbourTolerance = 1e-9;         // extrema and neighbours differ by rounding only
constexpr double kExtremumTolerance = 1e-8;          // |dX_k/dS| / |dX/dS| at an extremum
constexpr double kStepAgreement = 1e-3;              // K or MPa, between initial steps
constexpr std::array<double, 3> kInitialSteps{0.02, 0.1, 1.0};
constexpr double kCallerT = 250.0, kCallerP = 3.0;  // K, MPa
constexpr double kFlashOffset = 0.01;               // K, of the flashes from a crossing

// A complete line: back below the minimum pressure, or ending on the maximum pressure.
Line run(const Feed& feed, const TraceSettings& s) {
    EnvelopeTracer tracer;
    const bool left = tracer.trace(feed.set, feed.x.data(), s) == EnvelopeOutcome::left_window;
    EXPECT_TRUE(left) << "the line leaves the window";
    if (!left || tracer.points().empty()) return {};
    const TracePoint& last = tracer.points().back();
    EXPECT_TRUE(last.p < s.p_min || std::abs(last.p - s.p_max) <= 1e-12) << last.T << " K " << last.p << " MPa";
    return {tracer.points().begin(), tracer.points().end()};
}

Line trace(const Feed& feed, double step, double caller_p = kCallerP) {
    TraceSettings s;
    s.initial_step = step;
    s.temperatures = merge_tabulation(kTabulationTemperatures, kCallerT);
    s.pressures = merge_tabulation(kTabulationPressures, caller_p);
    return run(feed, s);
}

// The largest residual of the saturation equations at a point, on the pair of density roots that
// suits it, and the slope dX/dS there with `fixed` (ln T or ln p) as the fixed variable.
struct PointCheck {
    double residual = std::numeric_limits<double>::infinity();
    LuVector slope{};
};

PointCheck check_point(const Feed& feed, const TracePoint& point, int fixed) {
    const int n = feed.n();
    LuVector X{};
    std::copy(point.lnK.begin(), point.lnK.begin() + n, X.begin());
    X[n] = std::log(point.T), X[n + 1] = std::log(point.p);
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
            best.slope = LuVector{}, best.slope[n + 1] = 1.0;
            numerics::lu_solve(J, best.slope);
        }
    }
    return best;
}

void expect_solves(const Feed& feed, const TracePoint& q, double tolerance = kOrdinaryResidualTolerance) {
    EXPECT_LE(check_point(feed, q, feed.n()).residual, tolerance)
        << "type " << static_cast<int>(q.type) << " at " << q.T << " K " << q.p << " MPa";
}

// Point i solves the equations; an extremum also has a zero slope of its variable and is not
// passed by the points beside it.
void expect_on_line(const Feed& feed, const Line& line, std::size_t i) {
    const TracePoint& q = line[i];
    expect_solves(feed, q, q.type == Type::ordinary ? kOrdinaryResidualTolerance : kResidualTolerance);
    const bool by_T = q.type == Type::max_temperature || q.type == Type::min_temperature;
    const bool maximum = q.type == Type::max_temperature || q.type == Type::max_pressure;
    if (!by_T && !maximum && q.type != Type::min_pressure) return;
    const int n = feed.n();
    const PointCheck c = check_point(feed, q, by_T ? n + 1 : n);
    double norm = 0.0;
    for (int j = 0; j < n + 2; ++j) norm += c.slope[j] * c.slope[j];
    EXPECT_LE(std::abs(c.slope[by_T ? n : n + 1]) / std::sqrt(norm), kExtremumTolerance) << q.T << " K " << q.p;
    ASSERT_TRUE(i > 0 && i + 1 < line.size());
    for (const TracePoint& r : {line[i - 1], line[i + 1]}) {
        EXPECT_GE((maximum ? 1.0 : -1.0) * (by_T ? q.T - r.T : q.p - r.p), -kNeighbourTolerance)
            << "a neighbour at " << r.T << " K " << r.p << " MPa";
    }
}

// The largest temperature (or pressure) maximum, or nothing.
std::optional<double> highest(const Line& line, Type type) {
    std::optional<double> best;
    for (const TracePoint& q : line) {
        if (q.type == type) best = std::max(best.value_or(0.0), type == Type::max_temperature ? q.T : q.p);
    }
    return best;
}

const TracePoint* find(const Line& line, Type type) {
    const auto q = std::find_if(line.begin(), line.end(), [&](const TracePoint& r) { return r.type == type; });
    return q == line.end() ? nullptr : &*q;
}

Gas co2_90() { return {"co2_90", {{"CO2", 90}, {"CH4", 5}, {"N2", 3}, {"H2S", 2}}}; }

// The line of a gas at one of the initial steps, traced once for all of its tests.
const Line& line_at(const Gas& gas, std::size_t step) {
    static std::map<std::pair<std::string, std::size_t>, Line> traced;
    const auto [it, fresh] = traced.try_emplace({gas.name, step});
    if (fresh) it->second = trace(Feed(gas), kInitialSteps[step]);
    return it->second;
}

class CharacteristicPoints : public ::testing::TestWithParam<Gas> {};

TEST_P(CharacteristicPoints, EveryPointSolvesTheSaturationEquationsAndEveryExtremumIsOne) {
    const Feed feed(GetParam());
    const Line& line = line_at(GetParam(), 1);
    ASSERT_GE(line.size(), 3u);
    for (std::size_t i = 0; i < line.size(); ++i) {
        // The critical point solves the equations trivially (all K = 1); the tracer's tests place it.
        if (line[i].type != Type::critical) expect_on_line(feed, line, i);
    }
    const std::optional<double> T_max = highest(line, Type::max_temperature);
    ASSERT_TRUE(T_max) << "every test gas has a cricondentherm";
    // A line that leaves through the maximum pressure is highest at that end.
    const auto p_max = line.back().p <= line.front().p ? highest(line, Type::max_pressure) : std::nullopt;
    for (const TracePoint& q : line) {
        EXPECT_LE(q.T, *T_max) << "the cricondentherm is the highest temperature of the line";
        EXPECT_TRUE(!p_max || q.p <= *p_max) << "the cricondenbar is the highest pressure: " << q.p;
    }
}

// The cricondentherm, cricondenbar and critical temperature and pressure; NaN where there is none.
std::array<double, 4> landmarks(const Line& line) {
    const double none = std::numeric_limits<double>::quiet_NaN();
    const TracePoint* c = find(line, Type::critical);
    return {highest(line, Type::max_temperature).value_or(none), highest(line, Type::max_pressure).value_or(none),
            c ? c->T : none, c ? c->p : none};
}

TEST_P(CharacteristicPoints, CricondenthermCricondenbarAndCriticalPointDoNotDependOnTheInitialStep) {
    const std::array<double, 4> reference = landmarks(line_at(GetParam(), 0));
    for (std::size_t k = 0; k < kInitialSteps.size(); ++k) {
        SCOPED_TRACE(kInitialSteps[k]);
        const std::array<double, 4> values = landmarks(line_at(GetParam(), k));
        ASSERT_FALSE(std::isnan(values[0])) << "every test gas has a cricondentherm";
        for (std::size_t j = 0; j < values.size(); ++j) {
            ASSERT_EQ(std::isnan(values[j]), std::isnan(reference[j])) << j;
            EXPECT_TRUE(std::isnan(values[j]) || std::abs(values[j] - reference[j]) <= kStepAgreement)
                << j << ": " << values[j] << " vs " << reference[j];
        }
    }
}

// The phase fractions of flashes just below and above a crossing's temperature.
std::pair<double, double> betas_across(const Gas& gas, const TracePoint& q) {
    equilibrium::EquilibriumSolver solver;
    return {properties::flash_tp(solver, gas.fractions(), q.T - kFlashOffset, q.p).beta,
            properties::flash_tp(solver, gas.fractions(), q.T + kFlashOffset, q.p).beta};
}

TEST_P(CharacteristicPoints, AFlashChangesBetweenOneAndTwoPhasesAcrossTheDewPointsAtTheCallersState) {
    int crossings = 0;
    for (const TracePoint& q : line_at(GetParam(), 1)) {
        if (q.type == Type::max_temperature) break;  // the dew side ends at the first maximum
        const bool at_p = q.type == Type::caller_pressure;
        if (!at_p && q.type != Type::caller_temperature) continue;
        EXPECT_NEAR(at_p ? q.p : q.T, at_p ? kCallerP : kCallerT, 1e-12);
        ++crossings;
        const auto [below, above] = betas_across(GetParam(), q);
        EXPECT_NE(below > 0.0 && below < 1.0, above > 0.0 && above < 1.0) << "at " << q.T << " K, " << q.p << " MPa";
    }
    EXPECT_GE(crossings, 1);
}

INSTANTIATE_TEST_SUITE_P(Gases, CharacteristicPoints,
                         ::testing::Values(test::lean_gas_11(), test::rich_gas_7(), test::condensate_gas(),
                                           test::sour_gas(), Gas{"co2_40", {{"CH4", 60}, {"CO2", 40}}}, co2_90(),
                                           test::methane_nitrogen(), test::hydrogen_blend()),
                         [](const auto& info) { return info.param.name; });

// Near the cricondenbar of methane-propane the cubics of a long interval overshoot the line by
// tenths of a kelvin; the crossings of the caller's temperature and pressure are points of the line
// at every initial step, and none lies beyond the cricondentherm.
TEST(Crossings, OfTheCallersStateAreTheSameAtEveryInitialStep) {
    const Feed feed(test::methane_propane());
    std::vector<double> reference;  // T of pressure crossings, then p of temperature crossings
    for (const double step : kInitialSteps) {
        SCOPED_TRACE(step);
        const Line line = trace(feed, step, 8.0);  // MPa, just below the cricondenbar
        const double T_max = *highest(line, Type::max_temperature);
        std::vector<double> values;
        for (const Type type : {Type::caller_pressure, Type::caller_temperature}) {
            for (const TracePoint& q : line) {
                if (q.type != type) continue;
                EXPECT_LE(q.T, T_max);
                values.push_back(type == Type::caller_pressure ? q.T : q.p);
            }
        }
        if (reference.empty()) reference = values;
        ASSERT_EQ(values.size(), 4u) << "8 MPa and 250 K are each crossed twice";
        for (std::size_t k = 0; k < values.size(); ++k) EXPECT_NEAR(values[k], reference[k], 1e-9);
    }
    EXPECT_NEAR(reference[0], 249.367, 1e-3) << "the dew point at 8 MPa";
    EXPECT_NEAR(reference[3], 7.9229, 1e-4) << "the highest saturation pressure at 250 K";
}

// Steep lines that climb out through the maximum pressure end on a converged point on that
// pressure, however far the last prediction overshot it.
TEST(LineCompleteness, ALineThatLeavesThroughTheMaximumPressureEndsOnIt) {
    TraceSettings s;
    s.p_max = 40.0;  // MPa
    for (const Gas& gas : {test::hydrogen_blend(), test::hydrogen_blend_10(), test::hydrogen_rich(),
                           test::helium_gas()}) {
        SCOPED_TRACE(gas.name);
        const Feed feed(gas);
        const Line line = run(feed, s);
        ASSERT_FALSE(line.empty());
        EXPECT_LE(line.back().p, s.p_max);
        EXPECT_NEAR(line.back().p, s.p_max, 1e-12);
        expect_solves(feed, line.back());
    }
}

// The Newton iteration of the first point wanders off from the start-up passes of this gas at low
// pressures; a retry from a closer start finds the dew point there.
TEST(LineCompleteness, StartsAtEveryLowMinimumPressureWhereADewPointExists) {
    const Feed feed(Gas{"sour_6_start", {{"CH4", 85}, {"H2S", 5}, {"CO2", 4}, {"C2H6", 4}, {"C3H8", 1.5},
                                         {"N2", 0.5}}});
    for (const double p_min : {0.05, 0.1, 0.15, 0.2}) {
        SCOPED_TRACE(p_min);
        TraceSettings s;
        s.p_min = p_min;
        const Line line = run(feed, s);
        ASSERT_FALSE(line.empty());
        EXPECT_NEAR(line.front().p, p_min, 1e-12);
        expect_solves(feed, line.front());
        EXPECT_LT(line.back().p, p_min) << "and the line returns below it";
    }
}

// Started at 0.1 MPa, this gas's line only runs round a small loop at 171-185 K below 0.24 MPa;
// the main line, with its dew point of 250.30 K at 5 MPa, is traced from a point above the loop.
TEST(LineCompleteness, TheMainLineAboveALowPressureLoopIsTraced) {
    const Gas gas{"co2_40_loop", {{"CH4", 52}, {"CO2", 40}, {"C2H6", 5}, {"C3H8", 2}, {"N2", 1}}};
    const Feed feed(gas);
    TraceSettings s;
    s.pressures = merge_tabulation(kTabulationPressures, 5.0);
    const Line line = run(feed, s);
    ASSERT_TRUE(find(line, Type::critical));
    const TracePoint* dew = find(line, Type::caller_pressure);
    ASSERT_TRUE(dew);
    EXPECT_NEAR(dew->T, 250.30, 0.01);
    expect_solves(feed, *dew, kResidualTolerance);
    const auto [below, above] = betas_across(gas, *dew);
    EXPECT_TRUE(below > 0.0 && below < 1.0) << below;
    EXPECT_EQ(above, 1.0);
    EXPECT_NEAR(line.front().p, s.p_min, 1e-12) << "the line starts on the minimum pressure";
    EXPECT_LT(line.back().p, s.p_min) << "and returns below it";
}

// The line of this gas turns at 298.7 K and 8.2 MPa and later meets smaller maxima near 170 K;
// the reported values are those of the whole line.
TEST(PhaseEnvelopeValues, ReportTheHighestMaximaOfTheLineNotTheLastOnes) {
    const Envelope env = phase_envelope(co2_90().external(), EnvelopeOptions{.T = 250.0, .p = 5.0});
    ASSERT_TRUE(env.ok());
    double T_top = 0.0, p_top = 0.0;  // the highest temperature, the highest pressure maximum
    for (const EnvelopePoint& q : env.points) {
        T_top = std::max(T_top, q.T);
        if (q.type == Type::max_pressure) p_top = std::max(p_top, q.p);
    }
    EXPECT_EQ(env.value[4], T_top);
    EXPECT_EQ(env.value[5], p_top);
    EXPECT_EQ(env.status[4], 0);
    EXPECT_EQ(env.status[5], 0);
}

}  // namespace
}  // namespace ngtherm::envelope
