// The envelope tracer on natural gases from lean to rich: dew and bubble
// lines from the minimum pressure over the critical region back to it, every
// converged point an equilibrium, the extrema the extremes of the line, the
// critical point where dew and bubble lines meet, crossings of the caller's
// pressure where a flash changes from one phase to two; the reference
// saturation points; and the outcomes that end a trace early.
#include "envelope/tracer.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "properties/flash.hpp"
#include "envelope/phase_envelope.hpp"
#include "model/mixstate.hpp"
#include "support/gases.hpp"
#include "support/reference_values.hpp"

namespace ngtherm::envelope {
namespace {

using test::Gas;
using test::Feed;

constexpr double kEquationTolerance = 1e-8;  // stored ordinary points solve the equations to this
constexpr double kCriticalTolerance_T = 0.5, kCriticalTolerance_p = 0.05;  // K, MPa: dew and bubble lines meet
// Special points lie on the cubic between two converged points: about a tenth
// of a kelvin at the largest steps, a millikelvin with the step held at kFineMaxStep.
constexpr double kSpecialPointTolerance_T = 0.2, kFineMaxStep = 0.3, kFineTolerance_T = 1e-3;
constexpr double kCricondenbarTolerance_p = 5e-4;  // MPa: on a flat top, found closely at any step
constexpr double kCallerPressure = 3.0;  // MPa: every returning gas crosses it twice

TraceSettings settings(double beta, std::optional<double> caller_p = std::nullopt) {
    TraceSettings s;
    s.beta = beta;
    s.temperatures = fixed_tabulation(kTabulationTemperatures);
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

std::vector<TracePoint> of_type(const Trace& t, EnvelopePointType type) {
    std::vector<TracePoint> out;
    std::copy_if(t.points.begin(), t.points.end(), std::back_inserter(out),
                 [type](const TracePoint& p) { return p.type == type; });
    return out;
}

// The largest deviation from equal fugacities, with each phase on the density
// root that suits it, and of the phase amounts from 1.
double equilibrium_residual(const Feed& feed, const TracePoint& point) {
    const int n = feed.set.n;
    model::CompositionState scratch;
    model::FugacitySet fx, fy;
    model::ResidualProperties rec;
    const model::MixRequest req{model::Fugacity::ln_phi, model::TpDerivatives::none};
    double best = std::numeric_limits<double>::infinity();
    for (const model::RootPreference root_x : {model::RootPreference::liquid, model::RootPreference::vapour}) {
        for (const model::RootPreference root_y : {model::RootPreference::vapour, model::RootPreference::liquid}) {
            if (!model::mixstate(feed.set, scratch, req, root_x, point.T, point.p, point.x.data(), &fx, rec).ok() ||
                !model::mixstate(feed.set, scratch, req, root_y, point.T, point.p, point.y.data(), &fy, rec).ok()) {
                continue;
            }
            double worst = 0.0;
            for (int i = 0; i < n; ++i) {
                worst = std::max(worst, std::abs(std::log(point.y[i]) + fy.lnphi[i] - std::log(point.x[i]) - fx.lnphi[i]));
            }
            best = std::min(best, worst);
        }
    }
    double sum_x = 0.0, sum_y = 0.0;
    for (int i = 0; i < n; ++i) {
        sum_x += point.x[i];
        sum_y += point.y[i];
    }
    return std::max({best, std::abs(sum_x - 1.0), std::abs(sum_y - 1.0)});
}

class NaturalGasEnvelope : public ::testing::TestWithParam<Gas> {};

void expect_equilibrium_points(const Feed& feed, const Trace& t) {
    for (const TracePoint& point : t.points) {
        if (point.type != EnvelopePointType::ordinary) continue;
        EXPECT_LE(equilibrium_residual(feed, point), kEquationTolerance) << point.T << " K " << point.p << " MPa";
    }
}

// Where the dew line crosses the caller's pressure, the flash finds two phases
// just below that temperature and one vapour phase (beta = 1) just above it.
TEST_P(NaturalGasEnvelope, DewAndBubbleLinesReturnThroughEquilibriumPointsAndMeetAtOneCriticalPoint) {
    const Gas& gas = GetParam();
    const Feed feed(gas);
    std::vector<TracePoint> critical[2];
    for (const double beta : {1.0, 0.0}) {
        SCOPED_TRACE(beta == 1.0 ? "dew line" : "bubble line");
        const TraceSettings s = settings(beta, kCallerPressure);
        const Trace t = trace(feed, s);
        EXPECT_EQ(t.outcome, EnvelopeOutcome::left_window);
        ASSERT_GE(t.points.size(), 2u);
        EXPECT_NEAR(t.points.front().p, s.p_min, 1e-12) << "the first point lies at the minimum pressure";
        EXPECT_NEAR(t.points.back().p, s.p_min, 1e-12 * s.p_min) << "the line ends back on the minimum pressure";
        expect_equilibrium_points(feed, t);
        const auto max_T = of_type(t, EnvelopePointType::max_temperature);
        const auto max_p = of_type(t, EnvelopePointType::max_pressure);
        ASSERT_TRUE(max_T.size() == 1 && max_p.size() == 1);
        for (const TracePoint& point : t.points) {
            EXPECT_LE(point.T, max_T[0].T + 1e-9);
            EXPECT_LE(point.p, max_p[0].p + 1e-12);
        }
        critical[beta == 1.0] = of_type(t, EnvelopePointType::critical);
        if (beta == 0.0) continue;
        const auto crossings = of_type(t, EnvelopePointType::caller_pressure);
        ASSERT_EQ(crossings.size(), 2u) << "dew branch and, past the critical point, bubble branch";
        const TracePoint& dew = crossings.front();
        EXPECT_NEAR(dew.p, kCallerPressure, 1e-6);
        EXPECT_GT(dew.T, crossings.back().T);
        equilibrium::EquilibriumSolver solver;
        const double below = properties::flash_tp(solver, gas.fractions(), dew.T - kSpecialPointTolerance_T, dew.p).beta;
        EXPECT_TRUE(below > 0.0 && below < 1.0) << below;
        EXPECT_EQ(properties::flash_tp(solver, gas.fractions(), dew.T + kSpecialPointTolerance_T, dew.p).beta, 1.0);
    }
    ASSERT_TRUE(critical[0].size() == 1 && critical[1].size() == 1);
    EXPECT_NEAR(critical[1][0].T, critical[0][0].T, kCriticalTolerance_T);
    EXPECT_NEAR(critical[1][0].p, critical[0][0].p, kCriticalTolerance_p);
}

INSTANTIATE_TEST_SUITE_P(Gases, NaturalGasEnvelope, ::testing::ValuesIn(test::returning_gases()),
                         [](const auto& info) { return info.param.name; });

TEST(HydrogenBlendEnvelope, DewLineClimbsPastItsCriticalPointOutOfThePressureWindow) {
    // With 10 % hydrogen the line continues past the critical point as a
    // bubble line whose pressure rises as it cools, so it leaves the window
    // at the maximum pressure rather than returning; and no bubble point
    // exists at the minimum pressure.
    const Feed feed(test::hydrogen_blend_10());
    const TraceSettings s = settings(1.0);
    const Trace dew = trace(feed, s);
    EXPECT_EQ(dew.outcome, EnvelopeOutcome::left_window);
    expect_equilibrium_points(feed, dew);
    EXPECT_EQ(of_type(dew, EnvelopePointType::critical).size(), 1u);
    EXPECT_GT(dew.points.back().p, s.p_max / 2.0);
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
            const Trace t = trace(feed, s);
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
        const auto crossings = of_type(trace(feed, s), EnvelopePointType::caller_pressure);
        ASSERT_FALSE(crossings.empty());
        EXPECT_NEAR(crossings.front().T, bubble["T_K"].get<double>(), tolerance_T);
    }
}

INSTANTIATE_TEST_SUITE_P(Gases, ReferenceSaturation,
                         ::testing::Values(ReferenceGas{"methane_propane_90_10", test::methane_propane()},
                                           ReferenceGas{"natural_gas_7_component", test::rich_gas_7()}),
                         [](const auto& info) { return info.param.gas.name; });

// ---- early ends -------------------------------------------------------------

// Small steps run into the point limit; points abandoned at their first
// iteration shrink the step to nothing; a first point without iterations, or a
// pure fluid, gives no line; a higher minimum temperature cuts the line short.
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
    for (auto [f, st] : {std::pair{&feed, s}, {&methane, settings(1.0)}}) {
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

}  // namespace
}  // namespace ngtherm::envelope
