// Saturation points on request: at a given T or p, and the extremes of the line.
#include "ngtherm/saturation.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "ngtherm/envelope.hpp"
#include "properties/flash.hpp"
#include "support/fugacity_check.hpp"
#include "support/gases.hpp"

namespace ngtherm::envelope {
namespace {

using test::Feed;
using test::Gas;

constexpr double kResidualTolerance = 1e-10;
// Agreement with the envelope's converged crossings and extrema.
constexpr double kAgreement_T = 1e-3;  // K
constexpr double kAgreement_p = 1e-6;  // MPa at a given T (the crossings are converged to rounding)
constexpr double kAgreement_cricondenbar = 1e-3;  // MPa
// Flashes this far on either side of a point differ in their number of phases.
constexpr double kFlashOffset_T = 0.01;  // K
constexpr double kFlashOffset_p = 1e-3;  // MPa

struct SaturationCase {
    Gas gas;
    double beta;
    double p;  // MPa: its saturation temperatures
    double T;  // K: its saturation pressures
};

std::vector<SaturationCase> saturation_cases() {
    return {{test::lean_gas_11(), 1.0, 3.0, 250.0},
            {test::rich_gas_7(), 1.0, 6.0, 260.0},
            {test::condensate_gas(), 1.0, 3.0, 250.0},
            {test::sour_gas(), 1.0, 6.0, 240.0},
            {{"co2_90", {{"CO2", 90}, {"CH4", 5}, {"N2", 3}, {"H2S", 2}}}, 1.0, 6.0, 250.0},
            {test::methane_nitrogen(), 0.0, 3.0, 150.0},
            {test::hydrogen_blend(), 1.0, 6.0, 200.0}};
}

// Equal fugacities of the feed and the incipient phase.
double saturation_residual(const Feed& feed, const SaturationPoint& point) {
    std::vector<double> w;
    for (const int id : feed.ids) w.push_back(point.incipient[id]);
    return test::check_fugacities(feed, point.T, point.p, w.data(), feed.x.data()).residual;
}

class SaturationPoints : public ::testing::TestWithParam<SaturationCase> {
protected:
    Saturation at_p() const { return saturation_temperatures(mixture_, GetParam().p, options()); }
    Saturation at_T() const { return saturation_pressures(mixture_, GetParam().T, options()); }
    SaturationOptions options() const { return {.beta = GetParam().beta}; }
    // The envelope traced over the same window, crossing the case's T and p.
    Envelope envelope() const {
        const SaturationOptions window;
        return phase_envelope(GetParam().gas.external(), {.beta = GetParam().beta, .p_min = window.p_min,
                                                          .p_max = window.p_max, .T = GetParam().T, .p = GetParam().p});
    }
    bool two_phase(double T, double p) {
        const double beta = properties::flash_tp(solver_, GetParam().gas.fractions(), T, p).beta;
        EXPECT_GE(beta, 0.0) << "the flash failed at " << T << " K, " << p << " MPa";
        return beta > 0.0 && beta < 1.0;
    }

    Mixture mixture_{GetParam().gas.fractions()};
    Feed feed_{GetParam().gas};
    equilibrium::EquilibriumSolver solver_;
};

TEST_P(SaturationPoints, SolveTheSaturationEquationsAndAreTheConvergedCrossingsAndExtremaOfTheEnvelope) {
    const Envelope env = envelope();
    ASSERT_TRUE(env.ok());
    std::vector<double> T_at_p, p_at_T;  // the envelope's crossings
    for (const EnvelopePoint& q : env.points) {
        if (q.type == EnvelopePointType::caller_pressure) T_at_p.push_back(q.T);
        if (q.type == EnvelopePointType::caller_temperature) p_at_T.push_back(q.p);
    }
    std::sort(T_at_p.rbegin(), T_at_p.rend());
    std::sort(p_at_T.rbegin(), p_at_T.rend());
    const Saturation by_p = at_p(), by_T = at_T(), top_T = cricondentherm(mixture_, options());
    for (const Saturation* s : {&by_p, &by_T, &top_T}) {
        ASSERT_EQ(s->status, SaturationStatus::converged);
        ASSERT_FALSE(s->points.empty());
        for (const SaturationPoint& q : s->points) {
            EXPECT_LE(saturation_residual(feed_, q), kResidualTolerance) << q.T << " K, " << q.p << " MPa";
        }
    }
    ASSERT_EQ(by_p.points.size(), T_at_p.size());
    ASSERT_EQ(by_T.points.size(), p_at_T.size());
    for (std::size_t k = 0; k < T_at_p.size(); ++k) {
        EXPECT_NEAR(by_p.points[k].T, T_at_p[k], kAgreement_T);
        EXPECT_EQ(by_p.points[k].p, GetParam().p);
    }
    for (std::size_t k = 0; k < p_at_T.size(); ++k) {
        EXPECT_NEAR(by_T.points[k].p, p_at_T[k], kAgreement_p);
        EXPECT_EQ(by_T.points[k].T, GetParam().T);
    }
    ASSERT_EQ(top_T.points.size(), 1u);
    EXPECT_NEAR(top_T.points[0].T, env.value[4], kAgreement_T);
    const Saturation top_p = cricondenbar(mixture_, options());
    if (env.status[5] == 0 && env.value[5] > 0.0 && top_p.ok()) {
        EXPECT_NEAR(top_p.points[0].p, env.value[5], kAgreement_cricondenbar);
    }
}

// The upper branch has the two-phase region below it: at lower T for a given
// p, at lower p for a given T.
TEST_P(SaturationPoints, HaveOnePhaseOnOneSideAndTwoOnTheOther) {
    for (const SaturationPoint& q : at_p().points) {
        SCOPED_TRACE(testing::Message() << q.T << " K, " << q.p << " MPa");
        EXPECT_EQ(two_phase(q.T - kFlashOffset_T, q.p), q.branch == SaturationBranch::upper);
        EXPECT_EQ(two_phase(q.T + kFlashOffset_T, q.p), q.branch == SaturationBranch::lower);
    }
    for (const SaturationPoint& q : at_T().points) {
        SCOPED_TRACE(testing::Message() << q.T << " K, " << q.p << " MPa");
        EXPECT_EQ(two_phase(q.T, q.p - kFlashOffset_p), q.branch == SaturationBranch::upper);
        EXPECT_EQ(two_phase(q.T, q.p + kFlashOffset_p), q.branch == SaturationBranch::lower);
    }
    const Saturation top_T = cricondentherm(mixture_, options());
    ASSERT_TRUE(top_T.ok());
    const SaturationPoint& t = top_T.points[0];
    EXPECT_EQ(t.branch, SaturationBranch::none);
    EXPECT_TRUE(two_phase(t.T - kFlashOffset_T, t.p));
    EXPECT_FALSE(two_phase(t.T + kFlashOffset_T, t.p));
    const Saturation top_p = cricondenbar(mixture_, options());
    if (top_p.ok()) {
        const SaturationPoint& b = top_p.points[0];
        EXPECT_TRUE(two_phase(b.T, b.p - kFlashOffset_p));
        EXPECT_FALSE(two_phase(b.T, b.p + kFlashOffset_p));
    }
}

INSTANTIATE_TEST_SUITE_P(Gases, SaturationPoints, ::testing::ValuesIn(saturation_cases()),
                         [](const auto& info) { return info.param.gas.name; });

// The dew trace of the dry gas ends early on a loop below 1.4 MPa, and the
// dew and bubble traces of the hydrogen blend each leave the window before
// they reach the other half: the points of either request are those of the
// whole boundary.
TEST(SaturationBoundary, DewAndBubbleRequestsFindTheSamePoints) {
    for (const Gas& gas : {test::dry_gas(), test::hydrogen_blend_10()}) {
        const Mixture mixture(gas.fractions());
        for (const bool at_p : {true, false}) {
            SCOPED_TRACE(gas.name + (at_p ? " at 3 MPa" : " at 180 K"));
            std::array<Saturation, 2> s;
            for (const int beta : {0, 1}) {
                const SaturationOptions o{.beta = static_cast<double>(beta)};
                s[beta] = at_p ? saturation_temperatures(mixture, 3.0, o) : saturation_pressures(mixture, 180.0, o);
                EXPECT_EQ(s[beta].status, SaturationStatus::converged);
            }
            ASSERT_FALSE(s[0].points.empty());
            ASSERT_EQ(s[0].points.size(), s[1].points.size());
            for (std::size_t k = 0; k < s[0].points.size(); ++k) {
                EXPECT_NEAR(s[0].points[k].T, s[1].points[k].T, 1e-9);
                EXPECT_NEAR(s[0].points[k].p, s[1].points[k].p, 1e-9);
                EXPECT_EQ(s[0].points[k].branch, s[1].points[k].branch);
            }
        }
    }
}

// A point of a line of 0 < beta < 1 is where the flash of the feed gives
// that vapour fraction, with the incipient (liquid-like) phase as its liquid.
TEST(SaturationLines, OfIntermediateVapourFractionAreWhereTheFlashGivesIt) {
    struct Case { Gas gas; double beta; bool at_p; double value; };
    equilibrium::EquilibriumSolver solver;
    for (const Case& c : {Case{test::lean_gas_11(), 0.5, true, 3.0}, Case{test::rich_gas_7(), 0.8, false, 220.0},
                          Case{test::rich_gas_7(), 0.8, true, 3.0}}) {
        SCOPED_TRACE(c.gas.name);
        const Mixture mixture(c.gas.fractions());
        const SaturationOptions o{.beta = c.beta};
        const Saturation s = c.at_p ? saturation_temperatures(mixture, c.value, o)
                                    : saturation_pressures(mixture, c.value, o);
        ASSERT_EQ(s.status, SaturationStatus::converged);
        ASSERT_FALSE(s.points.empty());
        for (const SaturationPoint& q : s.points) {
            const properties::FlashValues f = properties::flash_tp(solver, c.gas.fractions(), q.T, q.p);
            EXPECT_NEAR(f.beta, c.beta, 1e-8);
            for (int m = 0; m < kComponentCount; ++m) EXPECT_NEAR(f.x[m], q.incipient[m], 1e-8);
        }
    }
}

TEST(SaturationRequests, WithoutAnAnswerSayWhyByStatusAndBadArgumentsThrow) {
    const Mixture lean(test::lean_gas_11().fractions());
    Composition methane{};
    methane[static_cast<int>(Component::CH4)] = 1.0;
    EXPECT_EQ(saturation_temperatures(Mixture(methane), 3.0).status, SaturationStatus::pure_fluid);
    EXPECT_EQ(saturation_temperatures(lean, 50.0).status, SaturationStatus::no_point) << "above the cricondenbar";
    EXPECT_EQ(saturation_pressures(lean, 300.0).status, SaturationStatus::no_point) << "above the cricondentherm";
    EXPECT_EQ(cricondenbar(Mixture(test::hydrogen_blend().fractions())).status, SaturationStatus::no_point)
        << "the line leaves through the maximum pressure while it rises";
    EXPECT_THROW(saturation_temperatures(lean, 3.0, {.beta = 1.5}), InputError);
    EXPECT_THROW(saturation_pressures(lean, -1.0), InputError);
}

}  // namespace
}  // namespace ngtherm::envelope
