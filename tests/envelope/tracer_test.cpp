// The envelope tracer, checked by the equations of the line themselves (evaluated
// apart from the tracer), by flashes at its crossings and by reference points.
#include "envelope/tracer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <ostream>
#include <vector>

#include "envelope/envelope_equations.hpp"
#include "envelope/phase_envelope.hpp"
#include "model/mixstate.hpp"
#include "ngtherm/envelope.hpp"
#include "properties/flash.hpp"
#include "support/fugacity_check.hpp"
#include "support/gases.hpp"
#include "support/reference_values.hpp"

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
// Agreement of the cricondentherm, cricondenbar and critical point between initial steps.
constexpr double kStepAgreement = 1e-3;  // K or MPa
constexpr std::array<double, 3> kInitialSteps{0.02, 0.1, 1.0};
constexpr double kCriticalTolerance_T = 1e-3, kCriticalTolerance_p = 1e-4;  // K, MPa: dew and bubble lines meet
// The caller's state, and the distance of the flashes from a crossing.
constexpr double kCallerT = 250.0;  // K
constexpr double kCallerP = 3.0;    // MPa: every returning gas crosses it twice
constexpr double kFlashOffset = 0.01;  // K
// Special points lie on the cubic between two converged points: about a tenth
// of a kelvin at the largest steps, a millikelvin with the step held at kFineMaxStep.
constexpr double kSpecialPointTolerance_T = 0.2, kFineMaxStep = 0.3, kFineTolerance_T = 1e-3;
constexpr double kCricondenbarTolerance_p = 5e-4;  // MPa: on a flat top, found closely at any step
// Lines that fold back where the density root of the incipient phase ends
// (co2_90 at 169.31 K and 5.35 MPa, co2_80 at 174.26 K and 4.05 MPa) end on
// their last point before the fold, within this of these temperatures.
constexpr double kFoldReach_T = 0.02;  // K
std::optional<double> fold_temperature(const Feed& feed) {
    if (feed.name == "co2_90") return 169.33;
    if (feed.name == "co2_80") return 174.26;
    return std::nullopt;
}

TraceSettings settings(double beta, std::optional<double> caller_p = std::nullopt,
                       std::optional<double> caller_T = std::nullopt) {
    TraceSettings s;
    s.beta = beta;
    s.temperatures = caller_T ? merge_tabulation(kTabulationTemperatures, *caller_T)
                              : fixed_tabulation(kTabulationTemperatures);
    s.pressures = caller_p ? merge_tabulation(kTabulationPressures, *caller_p)
                           : fixed_tabulation(kTabulationPressures);
    return s;
}

struct Trace {
    EnvelopeOutcome outcome;
    std::vector<TracePoint> points;
};

Trace trace(const Feed& feed, const TraceSettings& s) {
    EnvelopeTracer tracer;
    const EnvelopeOutcome outcome = tracer.trace(feed.set, feed.x.data(), s);
    return {outcome, std::vector<TracePoint>(tracer.points().begin(), tracer.points().end())};
}

std::vector<TracePoint> of_type(const std::vector<TracePoint>& line, EnvelopePointType type) {
    std::vector<TracePoint> out;
    std::copy_if(line.begin(), line.end(), std::back_inserter(out), [type](const TracePoint& p) { return p.type == type; });
    return out;
}

test::FugacityCheck check_point(const Feed& feed, const TracePoint& point) {
    return test::check_fugacities(feed, point.T, point.p, point.x.data(), point.y.data());
}

// The slope dX/dS of the line at a point, on its density roots, with `fixed`
// (ln T or ln p) as the fixed variable.
LuVector slope(const Feed& feed, const TracePoint& point, double beta, int fixed) {
    const int n = feed.n();
    LuVector X{}, slope{};
    for (int i = 0; i < n; ++i) X[i] = point.lnK[i];
    X[n] = std::log(point.T);
    X[n + 1] = std::log(point.p);
    const auto [rx, ry] = check_point(feed, point).roots;
    EnvelopeEquations eq;
    eq.reset(feed.set, feed.x.data(), beta);
    eq.restore({rx, rx, ry, ry});
    LuSystem J;
    EXPECT_TRUE(eq.evaluate(X, kNewtonRequest));
    eq.jacobian(X, fixed, J);
    EXPECT_TRUE(numerics::lu_factor(J));
    slope[n + 1] = 1.0;
    numerics::lu_solve(J, slope);
    return slope;
}

// A line at the caller's state. Every line is complete: back to the minimum
// pressure, or out through the maximum pressure, with its last point a
// converged point on it however far the last prediction overshot; or, where
// the density root of the incipient phase ends and the line folds back on
// itself, on its last point before the fold.
std::vector<TracePoint> line(const Feed& feed, double step, double beta = 1.0, double caller_p = kCallerP) {
    TraceSettings s = settings(beta, caller_p, kCallerT);
    s.initial_step = step;
    const Trace t = trace(feed, s);
    const std::optional<double> fold_T = fold_temperature(feed);
    EXPECT_EQ(t.outcome, fold_T ? EnvelopeOutcome::folded : EnvelopeOutcome::left_window);
    const TracePoint& last = t.points.back();
    if (fold_T) {
        EXPECT_NEAR(last.T, *fold_T, kFoldReach_T);
    } else {
        EXPECT_TRUE(std::abs(last.p - s.p_min) <= 1e-12 * s.p_min || (last.p <= s.p_max && s.p_max - last.p <= 1e-12))
            << last.T << " K " << last.p << " MPa";
    }
    EXPECT_LE(check_point(feed, last).residual, kOrdinaryResidualTolerance);
    return t.points;
}

bool is_maximum(EnvelopePointType t) {
    return t == EnvelopePointType::max_temperature || t == EnvelopePointType::max_pressure;
}
bool is_extremum(EnvelopePointType t) {
    return is_maximum(t) || t == EnvelopePointType::min_temperature || t == EnvelopePointType::min_pressure;
}

void expect_extremum(const Feed& feed, const std::vector<TracePoint>& line, std::size_t i, double beta) {
    const TracePoint& point = line[i];
    const int n = feed.n();
    const bool by_T = point.type == EnvelopePointType::max_temperature || point.type == EnvelopePointType::min_temperature;
    const LuVector s = slope(feed, point, beta, by_T ? n + 1 : n);
    double norm = 0.0;
    for (int j = 0; j < n + 2; ++j) norm += s[j] * s[j];
    EXPECT_LE(std::abs(s[by_T ? n : n + 1]) / std::sqrt(norm), kExtremumTolerance) << point.T << " K " << point.p << " MPa";
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

// Natural gases from lean to rich whose dew and bubble lines both return to the
// minimum pressure, then CO2-rich gases, methane-nitrogen, hydrogen blends and a
// gas with helium, whose lines leave the window or fold, and the dry gas, whose
// dew line turns at a corner near 0.2 MPa where a methane-rich incipient liquid
// takes over from a CO2- and ethane-rich one (its bubble line runs on past the
// corner as a metastable dew line and is not checked).
struct EnvelopeGas {
    Gas gas;
    bool returns = true;
};
void PrintTo(const EnvelopeGas& g, std::ostream* os) { *os << g.gas.name; }

std::vector<EnvelopeGas> envelope_gases() {
    std::vector<EnvelopeGas> all;
    for (const Gas& gas : test::returning_gases()) all.push_back({gas});
    for (const Gas& gas : std::vector<Gas>{{"co2_40", {{"CH4", 60}, {"CO2", 40}}},
                                           {"co2_90", {{"CO2", 90}, {"CH4", 5}, {"N2", 3}, {"H2S", 2}}},
                                           {"co2_80", {{"CH4", 15}, {"CO2", 80}, {"C2H6", 2}, {"N2", 3}}},
                                           test::methane_nitrogen(), test::hydrogen_blend(), test::hydrogen_blend_10(),
                                           test::hydrogen_rich(), test::helium_gas(), test::dry_gas()}) {
        all.push_back({gas, false});
    }
    return all;
}

class EnvelopeLines : public ::testing::TestWithParam<EnvelopeGas> {};

// Dew line of every gas, and the bubble line of the returning ones. The
// critical point solves the equations trivially (all K = 1), so it is checked
// by where the two lines meet. A crossing of the caller's state on the dew
// side, before the line turns over its maxima, is where a flash changes between
// one and two phases; a returning dew line crosses the caller's pressure once
// more on its bubble branch.
TEST_P(EnvelopeLines, EveryPointIsAnEquilibriumExtremaAndCrossingsLieWhereTheyShouldAndDewAndBubbleLinesMeet) {
    const Gas& gas = GetParam().gas;
    const Feed feed(gas);
    const bool returns = GetParam().returns;
    equilibrium::EquilibriumSolver solver;
    const auto flash_beta = [&](double T, double p) { return properties::flash_tp(solver, gas.fractions(), T, p).beta; };
    const auto two_phase = [&](double T, double p) { return flash_beta(T, p) > 0.0 && flash_beta(T, p) < 1.0; };
    std::vector<TracePoint> critical_points;
    for (const double beta : returns ? std::vector{1.0, 0.0} : std::vector{1.0}) {
        SCOPED_TRACE(beta == 1.0 ? "dew line" : "bubble line");
        const std::vector<TracePoint> points = line(feed, 0.1, beta);
        ASSERT_GE(points.size(), 3u);
        int crossings = 0;
        bool dew_side = beta == 1.0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const TracePoint& q = points[i];
            dew_side = dew_side && q.type != EnvelopePointType::max_temperature;
            if (q.type == EnvelopePointType::critical) continue;
            const double tolerance = q.type == EnvelopePointType::ordinary ? kOrdinaryResidualTolerance : kResidualTolerance;
            EXPECT_LE(check_point(feed, q).residual, tolerance) << "point " << i << " type " << static_cast<int>(q.type);
            if (is_extremum(q.type)) expect_extremum(feed, points, i, beta);
            const bool at_p = q.type == EnvelopePointType::caller_pressure;
            if (!dew_side || (!at_p && q.type != EnvelopePointType::caller_temperature)) continue;
            EXPECT_NEAR(at_p ? q.p : q.T, at_p ? kCallerP : kCallerT, 1e-12);
            ++crossings;
            EXPECT_NE(two_phase(q.T - kFlashOffset, q.p), two_phase(q.T + kFlashOffset, q.p)) << q.T << " K " << q.p << " MPa";
        }
        EXPECT_TRUE(beta == 0.0 || crossings >= 1);
        const std::optional<double> T_max = highest(points, EnvelopePointType::max_temperature);
        ASSERT_TRUE(T_max) << "every test gas has a cricondentherm";
        // A line that leaves through the maximum pressure has its highest
        // pressure at that end, not at a maximum.
        const std::optional<double> p_max =
            points.back().p <= points.front().p ? highest(points, EnvelopePointType::max_pressure) : std::nullopt;
        for (const TracePoint& q : points) {
            EXPECT_LE(q.T, *T_max) << "the cricondentherm is the highest temperature of the line";
            EXPECT_TRUE(!p_max || q.p <= *p_max) << "the cricondenbar is the highest pressure of the line";
        }
        if (!returns) continue;
        EXPECT_NEAR(points.front().p, 0.1, 1e-12) << "the first point lies at the minimum pressure";
        EXPECT_EQ(of_type(points, EnvelopePointType::max_temperature).size(), 1u);
        EXPECT_EQ(of_type(points, EnvelopePointType::max_pressure).size(), 1u);
        const std::vector<TracePoint> c = of_type(points, EnvelopePointType::critical);
        ASSERT_EQ(c.size(), 1u);
        critical_points.push_back(c[0]);
        if (beta == 0.0) continue;
        const std::vector<TracePoint> at_p = of_type(points, EnvelopePointType::caller_pressure);
        ASSERT_EQ(at_p.size(), 2u) << "dew branch and, past the critical point, bubble branch";
        EXPECT_GT(at_p[0].T, at_p[1].T);
        EXPECT_EQ(flash_beta(at_p[0].T + kFlashOffset, kCallerP), 1.0);
        // The bubble-branch crossing is a boundary of the feed's two-phase
        // region, or (sour_15 at 182.33 K) a saturation point of a feed that
        // splits into two liquids there, on both sides of it.
        const bool two_both = two_phase(at_p[1].T - kFlashOffset, kCallerP) && two_phase(at_p[1].T + kFlashOffset, kCallerP);
        EXPECT_EQ(at_p[1].metastable, two_both) << at_p[1].T;
        EXPECT_TRUE(two_both || !two_phase(at_p[1].T - kFlashOffset, kCallerP)) << at_p[1].T;
    }
    if (!returns) return;
    EXPECT_NEAR(critical_points[1].T, critical_points[0].T, kCriticalTolerance_T);
    EXPECT_NEAR(critical_points[1].p, critical_points[0].p, kCriticalTolerance_p);
}

// The highest temperature and pressure maxima and the critical points.
TEST_P(EnvelopeLines, CricondenthermCricondenbarAndCriticalPointDoNotDependOnTheInitialStep) {
    const Feed feed(GetParam().gas);
    const auto characteristic = [&feed](double step) {
        const std::vector<TracePoint> points = line(feed, step);
        std::vector<double> v;
        for (const EnvelopePointType type : {EnvelopePointType::max_temperature, EnvelopePointType::max_pressure}) {
            if (const std::optional<double> top = highest(points, type)) v.push_back(*top);
        }
        for (const TracePoint& c : of_type(points, EnvelopePointType::critical)) v.insert(v.end(), {c.T, c.p});
        return v;
    };
    const std::vector<double> reference = characteristic(kInitialSteps[0]);
    for (const double step : {kInitialSteps[1], kInitialSteps[2]}) {
        const std::vector<double> v = characteristic(step);
        ASSERT_EQ(v.size(), reference.size()) << step;
        for (std::size_t k = 0; k < v.size(); ++k) EXPECT_NEAR(v[k], reference[k], kStepAgreement) << step << " " << k;
    }
}

INSTANTIATE_TEST_SUITE_P(Gases, EnvelopeLines, ::testing::ValuesIn(envelope_gases()),
                         [](const auto& info) { return info.param.gas.name; });

// With 10 % hydrogen the dew line continues past the critical point as a
// bubble line whose pressure rises as it cools, so it leaves the window at the
// maximum pressure (checked with the other gases) rather than returning; and
// no bubble point exists at the minimum pressure.
TEST(HydrogenBlendEnvelope, DewLineClimbsPastItsCriticalPointAndNoBubbleLineStarts) {
    const Feed feed(test::hydrogen_blend_10());
    EXPECT_EQ(of_type(trace(feed, settings(1.0)).points, EnvelopePointType::critical).size(), 1u);
    EXPECT_EQ(trace(feed, settings(0.0)).outcome, EnvelopeOutcome::failed);
}

// ---- reference saturation points ------------------------------------------

struct ReferenceGas {
    const char* key;
    Gas gas;
};

class ReferenceSaturation : public ::testing::TestWithParam<ReferenceGas> {};

// At the largest steps and with the maximum step held down (short cubics). The
// dew line meets the cricondentherm and the cricondenbar before its critical point.
TEST_P(ReferenceSaturation, DewBubbleAndExtremePointsAgreeWithTheReference) {
    const nlohmann::json& ref = test::reference_values()["saturation"][GetParam().key];
    const Feed feed(GetParam().gas);
    for (const double max_step : {std::numeric_limits<double>::infinity(), kFineMaxStep}) {
        SCOPED_TRACE(max_step);
        const double tolerance_T = std::isinf(max_step) ? kSpecialPointTolerance_T : kFineTolerance_T;
        for (const auto& dew : ref["dew_point_T"]) {
            TraceSettings s = settings(1.0, dew["p_MPa"].get<double>());
            s.tuning.max_step_cap = max_step;
            const std::vector<TracePoint> t = trace(feed, s).points;
            const auto crossings = of_type(t, EnvelopePointType::caller_pressure);
            const auto max_T = of_type(t, EnvelopePointType::max_temperature);
            const auto max_p = of_type(t, EnvelopePointType::max_pressure);
            ASSERT_TRUE(!crossings.empty() && max_T.size() == 1 && max_p.size() == 1);
            EXPECT_NEAR(crossings.front().T, dew["T_K"].get<double>(), tolerance_T) << dew["p_MPa"];
            EXPECT_NEAR(max_T[0].T, ref["cricondentherm"]["T_K"].get<double>(), tolerance_T);
            EXPECT_NEAR(max_p[0].p, ref["cricondenbar"]["p_MPa"].get<double>(), kCricondenbarTolerance_p);
        }
        const auto& bubble = ref["bubble_point_T"][0];
        TraceSettings s = settings(0.0, bubble["p_MPa"].get<double>());
        s.tuning.max_step_cap = max_step;
        const auto crossings = of_type(trace(feed, s).points, EnvelopePointType::caller_pressure);
        ASSERT_FALSE(crossings.empty());
        EXPECT_NEAR(crossings.front().T, bubble["T_K"].get<double>(), tolerance_T);
    }
}

INSTANTIATE_TEST_SUITE_P(Gases, ReferenceSaturation,
                         ::testing::Values(ReferenceGas{"methane_propane_90_10", test::methane_propane()},
                                           ReferenceGas{"natural_gas_7_component", test::rich_gas_7()}),
                         [](const auto& info) { return info.param.gas.name; });

// ---- early ends -------------------------------------------------------------

// Model evaluations of the dew lines of three gases with the fixed tabulation.
// A change that makes the trace or the convergence of its points work harder
// (or skip work) shows here even where every point still converges; a
// deliberate change records its new count. A tracer that traced a wider gas
// before (as a thread's workspace does) traces each line as a fresh one.
TEST(TracerWork, TheDewLinesOfThreeGasesTakeTheRecordedEvaluationsWhateverWasTracedBefore) {
    constexpr long kRecordedEvaluations = 3492;
    long evaluations = 0;
    const Feed wide(test::published_mixture());
    EnvelopeTracer reused;
    for (const Gas& gas : {test::lean_gas_11(), test::rich_gas_7(), test::condensate_gas()}) {
        const Feed feed(gas);
        EnvelopeTracer tracer;
        tracer.trace(feed.set, feed.x.data(), settings(1.0));
        evaluations += tracer.evaluations();
        reused.trace(wide.set, wide.x.data(), settings(1.0));
        reused.trace(feed.set, feed.x.data(), settings(1.0));
        ASSERT_EQ(reused.points().size(), tracer.points().size()) << gas.name;
        for (std::size_t i = 0; i < tracer.points().size(); ++i) {
            EXPECT_TRUE(reused.points()[i].T == tracer.points()[i].T && reused.points()[i].p == tracer.points()[i].p)
                << gas.name << " point " << i;
        }
    }
    EXPECT_EQ(evaluations, kRecordedEvaluations);
}

// Small steps run into the point limit; points abandoned at their first
// iteration shrink the step to nothing; a first point without iterations, a
// pure fluid, or a start where Newton's method falls onto the trivial solution
// (methane-decane's bubble line from 30 MPa, all |ln K| about 1e-4) gives no
// line; a higher minimum temperature cuts the line short.
TEST(TraceOutcome, EachEarlyEndHasItsOutcomeAndPoints) {
    const Feed feed(test::rich_gas_7());
    EnvelopeTracer tracer;
    TraceSettings s = settings(1.0);
    s.tuning.max_step_cap = 0.01;
    EXPECT_EQ(tracer.trace(feed.set, feed.x.data(), s), EnvelopeOutcome::point_limit);
    EXPECT_EQ(tracer.count(), kEnvelopePoints);
    EXPECT_NEAR(tracer.points().front().p, s.p_min, 1e-12);
    s = settings(1.0);
    s.tuning.abandon_measure = 0.0;
    EXPECT_EQ(tracer.trace(feed.set, feed.x.data(), s), EnvelopeOutcome::step_too_small);
    EXPECT_EQ(tracer.count(), 1);
    EXPECT_LT(std::abs(tracer.step()), 1e-4 * tracer.max_step());
    s = settings(1.0);
    s.tuning.max_newton_iterations = 0;
    const Feed methane(Gas{"methane", {{"CH4", 100}}});
    const Feed decane(test::methane_decane());
    TraceSettings high = settings(0.0);
    high.p_min = 30.0;
    high.p_max = 40.0;
    for (auto [f, st] : {std::pair{&feed, s}, {&methane, settings(1.0)}, {&decane, high}}) {
        EXPECT_EQ(tracer.trace(f->set, f->x.data(), st), EnvelopeOutcome::failed);
        EXPECT_EQ(tracer.count(), 0);
    }
    s = settings(1.0);
    s.T_min = 200.0;  // the bubble branch past the critical point falls below it
    const Trace t = trace(feed, s);
    EXPECT_EQ(t.outcome, EnvelopeOutcome::left_window);
    EXPECT_GT(t.points.back().p, s.p_min);
    EXPECT_GE(t.points.back().T, s.T_min);
}

// Near the cricondenbar of methane-propane the cubics of a long interval
// overshoot the line by tenths of a kelvin; the crossings of the caller's
// temperature and pressure are points of the line at every initial step,
// and none lies beyond the cricondentherm.
TEST(Crossings, OfTheCallersStateAreTheSameAtEveryInitialStep) {
    const Feed feed(test::methane_propane());
    constexpr double kCallerHighP = 8.0;  // MPa, just below the cricondenbar
    const auto crossings = [&](double step) {
        std::vector<double> values;  // T of pressure crossings, then p of temperature crossings
        const std::vector<TracePoint> points = line(feed, step, 1.0, kCallerHighP);
        const double T_max = *highest(points, EnvelopePointType::max_temperature);
        for (const EnvelopePointType type : {EnvelopePointType::caller_pressure, EnvelopePointType::caller_temperature}) {
            for (const TracePoint& q : of_type(points, type)) {
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

// The Newton iteration of the first point wanders off from the start-up
// passes of this gas at low pressures; a retry from a closer start finds the
// dew point there.
TEST(LineCompleteness, StartsAtEveryLowMinimumPressureWhereADewPointExists) {
    const Feed feed(Gas{"sour_6_start", {{"CH4", 85}, {"H2S", 5}, {"CO2", 4}, {"C2H6", 4}, {"C3H8", 1.5}, {"N2", 0.5}}});
    for (const double p_min : {0.05, 0.1, 0.15, 0.2}) {
        TraceSettings s;
        s.p_min = p_min;
        const Trace t = trace(feed, s);
        ASSERT_EQ(t.outcome, EnvelopeOutcome::left_window) << p_min;
        EXPECT_NEAR(t.points.front().p, p_min, 1e-12);
        EXPECT_LE(check_point(feed, t.points.front()).residual, kOrdinaryResidualTolerance) << p_min;
        EXPECT_NEAR(t.points.back().p, p_min, 1e-12 * p_min) << "and the line returns to it";
    }
}

// The bubble line of methane-nitrogen starts at 0.2 MPa below 100 K: it comes
// in through that minimum temperature and goes on until it returns to the
// minimum pressure.
TEST(LineCompleteness, ALineThatStartsBelowTheMinimumTemperatureComesInThroughIt) {
    TraceSettings s;
    s.beta = 0.0;
    s.p_min = 0.2;
    s.T_min = 100.0;
    const Trace t = trace(Feed(test::methane_nitrogen()), s);
    ASSERT_EQ(t.outcome, EnvelopeOutcome::left_window);
    ASSERT_GE(t.points.size(), 3u);
    EXPECT_LT(t.points[0].T, s.T_min);
    EXPECT_NEAR(t.points[1].T, s.T_min, 1e-12 * s.T_min);
    EXPECT_NEAR(t.points.back().p, s.p_min, 1e-12 * s.p_min);
}

// Started at 0.1 MPa, this gas's line only runs round a small loop at
// 171-185 K below 0.24 MPa; the main line, with its dew point of 250.30 K at
// 5 MPa, is traced from a saturation point above the loop.
TEST(LineCompleteness, TheMainLineAboveALowPressureLoopIsTraced) {
    const Feed feed(Gas{"co2_40_loop", {{"CH4", 52}, {"CO2", 40}, {"C2H6", 5}, {"C3H8", 2}, {"N2", 1}}});
    TraceSettings s;
    s.pressures = merge_tabulation(kTabulationPressures, 5.0);
    const Trace t = trace(feed, s);
    ASSERT_EQ(t.outcome, EnvelopeOutcome::left_window);
    ASSERT_FALSE(of_type(t.points, EnvelopePointType::critical).empty());
    const std::vector<TracePoint> dew = of_type(t.points, EnvelopePointType::caller_pressure);
    ASSERT_FALSE(dew.empty());
    EXPECT_NEAR(dew[0].T, 250.30, 0.01);
    EXPECT_LE(check_point(feed, dew[0]).residual, kResidualTolerance);
    EXPECT_NEAR(t.points.front().p, s.p_min, 1e-12) << "the line starts on the minimum pressure";
    EXPECT_NEAR(t.points.back().p, s.p_min, 1e-12 * s.p_min) << "and returns to it";
}

// The dry gas's dew line from 0.1 MPa has a CO2- and ethane-rich incipient
// liquid; at 138.97 K and 0.3724 MPa a methane-rich one takes over (a
// three-phase point), and the first line runs on as a metastable one. The
// line is joined at that corner, stored once with each liquid, at every step.
TEST(LineCompleteness, ALineThatRunsPastACornerIsJoinedToTheMainLineThere) {
    const Feed feed(test::dry_gas());
    for (const double step : kInitialSteps) {
        const std::vector<TracePoint> points = line(feed, step);
        const auto corner = std::adjacent_find(points.begin(), points.end(), [](const TracePoint& a, const TracePoint& b) {
            return a.p < 1.0 && a.p == b.p && std::abs(a.T - b.T) < 1e-9;
        });
        ASSERT_NE(corner, points.end()) << step;
        EXPECT_NEAR(corner->T, 138.9695, 1e-4) << step;
        EXPECT_GT(corner->lnK[0] - (corner + 1)->lnK[0], 1.0) << "two incipient liquids";
        for (const TracePoint& q : {*corner, *(corner + 1)}) EXPECT_LE(check_point(feed, q).residual, kResidualTolerance);
    }
}

// Two maxima of each kind on one line (a line that turns past a corner, say):
// the values are the highest, not the last met; a crossing of a feed that
// splits otherwise gives no saturation value.
TEST(PhaseEnvelopeValues, AreTheHighestMaximaOfTheLineNotTheLastOnes) {
    std::vector<TracePoint> points(5);
    points[0] = {.T = 298.7, .p = 8.1, .type = EnvelopePointType::max_temperature};
    points[1] = {.T = 290.0, .p = 8.2, .type = EnvelopePointType::max_pressure};
    points[2] = {.T = 170.1, .p = 5.3, .type = EnvelopePointType::max_temperature};
    points[3] = {.T = 168.0, .p = 5.35, .type = EnvelopePointType::max_pressure};
    points[4] = {.T = 182.3, .p = 3.0, .type = EnvelopePointType::caller_pressure, .metastable = true};
    const CharacteristicPoints c = characteristic_points(points);
    EXPECT_TRUE(c.cricondentherm_found && c.cricondentherm_T == 298.7);
    EXPECT_TRUE(c.cricondenbar_found && c.cricondenbar_p == 8.2);
    EXPECT_EQ(c.at_caller_pressure.count, 0);
}

}  // namespace
}  // namespace ngtherm::envelope
