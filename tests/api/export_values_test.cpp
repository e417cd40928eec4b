// The values of the property exports: the model core's single-phase state on
// the mass basis, the phases and the whole of a two-phase state, identities
// between the slots, calls from several threads, and arbitrary input.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "api/composition.hpp"
#include "api/frames.hpp"
#include "api/status_codes.hpp"
#include "export_support.hpp"
#include "ngtherm/equilibrium.hpp"
#include "ngtherm/state.hpp"

namespace ngtherm::test {
namespace {

constexpr int kSlotK = static_cast<int>(api::Property::K);
constexpr double kPn = 0.101324997842311859130859375, kTn = 273.15;

class ExportValues : public ExportTest {};
INSTANTIATE_TEST_SUITE_P(EveryBuild, ExportValues, ::testing::ValuesIn(export_sources()),
                         [](const auto& info) { return info.param; });

double rel(double a, double b) { return std::fabs(a - b) / std::fabs(b); }

Composition model_fractions(const Percentages& c) {
    Percentages echo{};
    Composition x{};
    api::sort_composition(c.data(), echo.data(), x);
    return x;
}

struct State {
    std::string name;
    Percentages c;
    double p, T;
};

Percentages published_gas() {
    Percentages c{};
    const double values[21] = {77.824, 2.0,  6.0,   8.0,   3.0,   0.3,  0.15,
                               0.165,  0.05, 0.215, 0.088, 0.024, 0.015, 0.009,
                               0.7,    0.1,  0.4,   0.5,   0.2,   0.01, 0.25};
    std::copy(std::begin(values), std::end(values), c.begin());
    return c;
}

std::vector<State> single_phase_states() {
    return {{"pipeline gas 5 MPa 300 K", pipeline_gas(), 5.0, 300.0},
            {"pipeline gas 30 MPa 250 K", pipeline_gas(), 30.0, 250.0},
            {"published gas 50 MPa 400 K", published_gas(), 50.0, 400.0},
            {"rich gas 4 MPa 320 K", rich_gas(), 4.0, 320.0},
            {"methane 0.5 MPa 150 K", pure(kCH4), 0.5, 150.0},
            {"liquid propane 2 MPa 250 K", pure(kC3H8), 2.0, 250.0},
            {"nitrogen 1000 MPa 2000 K", pure(kN2), 1000.0, 2000.0}};
}

Call call_at(const State& s, std::int16_t selector) {
    Call call;
    call.c = s.c;
    call.p = s.p;
    call.T = s.T;
    call.selector = selector;
    return call;
}

// The eleven values in slot order from a mass-basis phase and the two Z.
std::array<double, kSlots> slot_values(const MassProperties& m, double Z, double Zn) {
    return {m.Z, Z / Zn, m.rho, m.u, m.h, m.s, m.cv, m.cp, m.w, m.kappa, m.jt};
}

TEST_P(ExportValues, SinglePhaseGasIsTheModelCoresStateOnTheMassBasis) {
    for (const State& s : single_phase_states()) {
        const Mixture mixture(model_fractions(s.c));
        const PhaseState state = single_phase_state(mixture, s.T, s.p);
        const PhaseState reference = single_phase_state(mixture, kTn, kPn);
        ASSERT_TRUE(state.ok() && reference.ok()) << s.name;
        const auto expected = slot_values(to_mass_basis(state.props, state.molar_mass),
                                          state.props.Z, reference.props.Z);
        for (std::int16_t selector : {0, 1, 2}) {
            SCOPED_TRACE(s.name + ", selector " + std::to_string(selector));
            const Outcome all = call_all(exports, call_at(s, selector));
            for (int k = 0; k < kSlots; ++k) {
                EXPECT_EQ(all.status[k], 0) << k;
                EXPECT_LT(rel(all.value[k], expected[k]), 1e-12) << "slot " << k;
            }
        }
    }
}

TEST_P(ExportValues, EverySlotOfGerg2008EqualsItsSingleExport) {
    std::vector<State> states = single_phase_states();
    states.push_back({"rich gas split 4 MPa 240 K", rich_gas(), 4.0, 240.0});
    for (const State& s : states) {
        for (std::int16_t selector : {0, 1, 2}) {
            SCOPED_TRACE(s.name + ", selector " + std::to_string(selector));
            const Outcome all = call_all(exports, call_at(s, selector));
            for (int k = 0; k < kSlots; ++k) {
                const Outcome one = call_single(exports, k, call_at(s, selector));
                EXPECT_TRUE(same_bits(one.value[0], all.value[k])) << kSingleExportNames[k];
                EXPECT_EQ(one.status[0] == -1 ? 0 : one.status[0], all.status[k]);
            }
        }
    }
}

TEST_P(ExportValues, InternalEnergyIsEnthalpyMinusPressureOverDensity) {
    std::vector<State> states = single_phase_states();
    states.push_back({"rich gas split 4 MPa 240 K", rich_gas(), 4.0, 240.0});
    constexpr int kRho = 2, kU = 3, kH = 4;
    for (const State& s : states) {
        for (std::int16_t selector : {0, 1, 2}) {
            SCOPED_TRACE(s.name + ", selector " + std::to_string(selector));
            const Outcome all = call_all(exports, call_at(s, selector));
            // u = h - p v = h - R T Z with v = 1/rho; kJ/kg from MPa m3/kg.
            const double pv = 1000.0 * s.p / all.value[kRho];
            EXPECT_NEAR(all.value[kU], all.value[kH] - pv, 1e-12 * (std::fabs(all.value[kH]) + pv));
        }
    }
}

TEST_P(ExportValues, TwoPhaseStateGivesThePhasesForSelectorsOneAndTwoAndTheWholeForZero) {
    const State s{"rich gas split", rich_gas(), 4.0, 240.0};
    const Mixture mixture(model_fractions(s.c));
    const EquilibriumState eq = equilibrium_state(mixture, s.T, s.p);
    ASSERT_TRUE(eq.ok());
    ASSERT_EQ(eq.phases, 2);
    const double Zn = single_phase_state(mixture, kTn, kPn).props.Z;
    struct Case {
        std::int16_t selector;
        PhaseProperties props;
        double M;
    };
    for (const Case& c : {Case{1, eq.liquid, eq.liquid_molar_mass},
                          Case{2, eq.vapour, eq.vapour_molar_mass},
                          Case{0, eq.overall, eq.molar_mass}}) {
        SCOPED_TRACE("selector " + std::to_string(c.selector));
        const auto expected = slot_values(to_mass_basis(c.props, c.M), c.props.Z, Zn);
        const Outcome all = call_all(exports, call_at(s, c.selector));
        for (int k = 0; k < kSlots; ++k) {
            // Speed of sound, isentropic exponent and Joule-Thomson coefficient
            // of the whole are not defined.
            if (c.selector == 0 && k >= static_cast<int>(api::Property::w)) {
                EXPECT_EQ(all.value[k], kSentinelOverallUndefined) << k;
                EXPECT_EQ(all.status[k], 204) << k;
                continue;
            }
            EXPECT_EQ(all.status[k], 0) << k;
            EXPECT_LT(rel(all.value[k], expected[k]), 1e-10) << "slot " << k;
        }
    }
    // Z of the whole is the mole-fraction mean of the phases.
    const double Z0 = call_all(exports, call_at(s, 0)).value[0];
    EXPECT_LT(rel(Z0, (1.0 - eq.beta) * eq.liquid.Z + eq.beta * eq.vapour.Z), 1e-12);
}

std::vector<Call> concurrency_calls() {
    std::vector<Call> calls;
    for (const State& s : single_phase_states()) calls.push_back(call_at(s, 0));
    for (std::int16_t selector : {0, 1, 2}) {
        calls.push_back(call_at({"split", rich_gas(), 4.0, 240.0}, selector));
    }
    calls.push_back(call_at({"reference", pipeline_gas(), kPn, kTn}, 0));
    return calls;
}

struct Answer {
    Outcome all;
    Outcome rho;
};

Answer answer(const ExportTable& t, const Call& call) {
    return {call_all(t, call), call_single(t, 2, call)};
}

bool same_answer(const Answer& a, const Answer& b) {
    return std::memcmp(a.all.value.data(), b.all.value.data(), sizeof a.all.value) == 0 &&
           a.all.status == b.all.status && same_bits(a.rho.value[0], b.rho.value[0]) &&
           a.rho.status[0] == b.rho.status[0];
}

TEST_P(ExportValues, ThreadsCallingAtOnceGetExactlyTheSerialResults) {
    const std::vector<Call> calls = concurrency_calls();
    const int n = static_cast<int>(calls.size());
    // Serial answers, each from a thread of its own so that no cache is warm.
    std::vector<Answer> serial(calls.size());
    for (int i = 0; i < n; ++i) {
        std::thread([&, i] { serial[i] = answer(exports, calls[i]); }).join();
    }
    constexpr int kThreads = 4, kRounds = 3;
    std::vector<std::vector<Answer>> got(kThreads, std::vector<Answer>(kRounds * calls.size()));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Every thread walks the states in its own order.
            for (int j = 0; j < kRounds * n; ++j) {
                got[t][j] = answer(exports, calls[(j * (t + 1) + t) % n]);
            }
        });
    }
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        for (int j = 0; j < kRounds * n; ++j) {
            EXPECT_TRUE(same_answer(got[t][j], serial[(j * (t + 1) + t) % n]))
                << "thread " << t << ", call " << j;
        }
    }
}

// Anything a caller could pass: random bits, special values and plausible gases.
Call random_call(std::mt19937_64& rng) {
    const auto bits = [&rng] { return std::bit_cast<double>(rng()); };
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double specials[] = {0.0, -0.0, std::nan(""), kInf, -kInf, 5e-324, 1e308, -1.0};
    const auto pick = [&](double plausible) {
        switch (rng() % 8) {
            case 0: return bits();
            case 1: return specials[rng() % std::size(specials)];
            default: return plausible;
        }
    };
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Call call;
    double total = 0.0;
    for (double& v : call.c) {
        v = unit(rng) < 0.3 ? unit(rng) : 0.0;
        total += v;
    }
    for (double& v : call.c) v = total > 0.0 ? 100.0 * v / total : 0.0;
    if (rng() % 10 == 0) call.c[rng() % 21] = pick(1.0);
    call.p = pick(1e-3 * std::exp(unit(rng) * std::log(1e6)));  // 0.001 to 1000 MPa
    call.T = pick(60.0 + 1940.0 * unit(rng));
    call.selector = static_cast<std::int16_t>(rng() % 8 == 0 ? rng() : rng() % 3);
    // Range set 0 most often, so that most calls reach a calculation.
    constexpr std::int16_t kRangeSets[] = {0, 0, 0, 1, 2};
    call.range = rng() % 8 == 0 ? static_cast<std::int16_t>(rng()) : kRangeSets[rng() % 5];
    return call;
}

TEST_P(ExportValues, ArbitraryInputGivesDocumentedStatusCodesAndTheEcho) {
    std::mt19937_64 rng(20260405);
    constexpr int kCalls = 400;
    int computed = 0;
    for (int i = 0; i < kCalls; ++i) {
        const Call call = random_call(rng);
        SCOPED_TRACE("call " + std::to_string(i));
        const Outcome all = call_all(exports, call);
        const Outcome one = call_single(exports, static_cast<int>(rng() % kSlots), call);
        computed += all.status[0] == 0 || all.status[0] >= 190;
        for (const std::int16_t status : all.status) {
            EXPECT_NE(api::status_meaning(status), api::status_meaning(-12345)) << status;
            EXPECT_NE(status, -1);
        }
        EXPECT_NE(api::status_meaning(one.status[0]), api::status_meaning(-12345));
        EXPECT_EQ(all.range, call.range > 2 ? 2 : call.range);
        EXPECT_EQ(std::memcmp(all.echo.data(), call.c.data(), sizeof call.c), 0);
        EXPECT_EQ(std::memcmp(one.echo.data(), call.c.data(), sizeof call.c), 0);
    }
    // Enough calls get past the input check to exercise the calculations.
    EXPECT_GT(computed, kCalls / 5);
}

}  // namespace
}  // namespace ngtherm::test
