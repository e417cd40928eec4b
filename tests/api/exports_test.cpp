// The 14 exports as a caller sees them, then what only the property exports do,
// the C++ mirrors, and the shared library as a host sees it: the 14 names, the
// frames' bits, calls from several threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "api/composition.hpp"
#include "api/status_codes.hpp"
#include "ngtherm/equilibrium.hpp"
#include "ngtherm/exports.hpp"
#include "ngtherm/state.hpp"
#include "support/c_exports.hpp"

namespace ngtherm::test {
namespace {

using api::ExternalPosition;
constexpr int kCH4 = api::index(ExternalPosition::CH4);
constexpr int kSlotK = static_cast<int>(api::Property::K);
constexpr double kPn = api::kReferencePressure, kTn = api::kReferenceTemperature;

Call at(double p, double T, std::int16_t range = 0) { return {.p = p, .T = T, .range = range}; }

class EveryExport : public ::testing::TestWithParam<Export> {};
INSTANTIATE_TEST_SUITE_P(Frames, EveryExport, ::testing::ValuesIn(frame_exports()),
                         [](const auto& info) { return info.param.name; });

TEST_P(EveryExport, IgnoresACallWithANullArgumentWithoutWritingAnything) {
    for (int i = 0; i < argument_count(GetParam().shape); ++i) {
        EXPECT_TRUE(call(GetParam(), Call{}, i).same_bits(prefilled(GetParam().shape, 0))) << "argument " << i;
    }
}

TEST_P(EveryExport, ReadsItsInputsBeforeWritingOutputsThatShareTheirStorage) {
    const Export& e = GetParam();
    const Call in;
    // The composition in the echo, the pressure in the first double output,
    // the trace parameters of phase in its characteristic values.
    Outcome o = prefilled(e.shape, in.range);
    o.echo = in.c;
    double* out = o.out.data();
    out[0] = in.p;
    if (e.is_property()) {
        e.property(o.echo.data(), out, &in.T, &in.selector, &o.range, out, o.echo.data(), o.status.data());
    } else if (e.shape == Shape::FLASH) {
        e.flash(o.echo.data(), out, &in.T, &o.range, out, out + 3, out + 24, o.echo.data(), o.status.data());
    } else {
        double* ch = out + envelope::kTableSize;
        std::copy_n(std::array{in.p_min, in.p_max, in.T_min, in.step, in.beta}.begin(), 5, ch);
        e.phase(o.echo.data(), out, &in.T, ch, ch + 1, ch + 2, ch + 3, ch + 4, &o.range, out, &o.count, ch,
                o.echo.data(), o.status.data());
    }
    EXPECT_TRUE(o.same_bits(call(e, in)));
}

TEST_P(EveryExport, EchoesTheCompositionBitForBitWhateverTheOutcome) {
    Call signed_zero, payload, tiny;
    signed_zero.c[api::index(ExternalPosition::H2S)] = -0.0;  // passes: -0.0 is not negative
    payload.c[api::index(ExternalPosition::O2)] = std::bit_cast<double>(0x7FF80000DEADBEEFull);  // 53
    tiny.c[api::index(ExternalPosition::He)] = 5e-324;
    for (const Call& in : {signed_zero, payload, tiny, at(0.0, 300.0)}) {
        EXPECT_EQ(std::memcmp(call(GetParam(), in).echo.data(), in.c.data(), sizeof in.c), 0) << in.p;
    }
}

// Success is -1 with range set 0 (0 for gerg2008); a failed check writes its
// code and no result: phase clears its table, count and values, the others
// leave theirs alone. A range set above two is checked as two and written back.
TEST_P(EveryExport, ReportsTheInputCheckAndWritesTheRangeSetBack) {
    const Export& e = GetParam();
    const bool phase = e.shape == Shape::PHASE;
    Call bad_sum;
    bad_sum.c[kCH4] -= 1.0;
    const struct { Call in; std::int16_t range, code; } cases[] = {
        {at(5.0, 300.0), 0, static_cast<std::int16_t>(e.shape == Shape::ALL_PROPERTIES ? 0 : -1)},
        {at(5.0, 300.0, 1), 1, 0}, {at(5.0, 300.0, 2), 2, 0}, {at(5.0, 650.0, 7), 2, 0},
        {bad_sum, 0, api::kStatusBadSum}, {at(5.0, 249.99, 1), 1, 181}, {at(5.0, 750.0, 3), 2, 181},
        {at(5.0, 300.0, -1), -1, 180}, {at(5.0, 300.0, -32768), -32768, 180},
    };
    for (const auto& c : cases) {
        const Outcome o = call(e, c.in);
        EXPECT_EQ(o.range, c.range);
        if (phase && c.code <= 0) continue;  // phase reports a status per characteristic value
        for (const std::int16_t s : o.status) EXPECT_EQ(s, c.code) << c.in.range;
        if (c.code <= 0) continue;
        for (const double v : o.out) ASSERT_TRUE(same_bits(v, phase ? 0.0 : kUntouched)) << c.code;
        EXPECT_EQ(o.count, phase ? 0 : -7);
    }
}

// A failure gives its code in every status and its sentinel in every value: a
// fraction above 1 that passes the percent check (192; K divides the two failed
// evaluations by each other and is 1), a bad phase selector (194, not an
// argument of the flash), and a split that fails (206, a wet heavy gas at
// 250 K found by the exports fuzzer).
TEST(PropertyExports, AFailureGivesItsCodeAndSentinelInEverySlotOfTheFlashToo) {
    Call over_one{.c = {}};
    over_one.c[kCH4] = 100.00005;
    const Gas wet{"wet_heavy", {{"nC4", 34.4}, {"C3H8", 31}, {"H2O", 11.1}, {"nC6", 10.7}, {"nC9", 6.9}, {"iC4", 1.65},
                                {"nC7", 1.65}, {"nC8", 1.65}, {"N2", 0.95}}};
    std::vector<std::tuple<Call, std::int16_t, double>> cases{
        {over_one, 192, kSentinelBadFraction}, {{.c = wet.external(), .p = 5.0, .T = 250.0}, 206, kSentinelSplitFailed}};
    for (std::int16_t selector : {-1, 3, 32767}) cases.emplace_back(Call{.selector = selector}, 194, kSentinelPhaseSelector);
    for (const Export& e : frame_exports()) {
        for (const auto& [in, code, sentinel] : cases) {
            if (e.shape == Shape::PHASE || (e.shape == Shape::FLASH && code == 194)) continue;
            const Outcome o = call(e, in);
            for (std::int16_t status : o.status) EXPECT_EQ(status, code) << e.name;
            // The flash's beta, liquid fraction and liquid content, then its two compositions in mol-%.
            for (int k = 0; k < static_cast<int>(o.out.size()); ++k) {
                const bool K = e.is_property() && (e.shape == Shape::PROPERTY ? e.slot : k) == kSlotK;
                if (K && code != 192) continue;
                const double in_percent = e.is_property() || k < 3 ? sentinel : 100.0 * sentinel;
                EXPECT_EQ(o.out[k], K ? 1.0 : in_percent) << e.name << " " << k << " " << code;
            }
        }
    }
}

// The single exports give the bits of their gerg2008 slot, and gerg2008 gives
// the mass-basis values of the phase selected (the whole for 0).
TEST(PropertyExports, GiveTheMassBasisValuesOfThePhaseSelectedInEverySlot) {
    Call split{.c = rich_gas_7().external(), .p = 4.0, .T = 240.0};
    const Mixture mixture(rich_gas_7().fractions());
    const EquilibriumState eq = equilibrium_state(mixture, 240.0, 4.0);
    ASSERT_EQ(eq.phases, 2);
    const double Zn = single_phase_state(mixture, kTn, kPn).props.Z;
    const std::vector<Export> exports = frame_exports();
    for (std::int16_t selector : {0, 1, 2}) {
        split.selector = selector;
        const PhaseProperties& props = selector == 1 ? eq.liquid : selector == 2 ? eq.vapour : eq.overall;
        const MassProperties m = to_mass_basis(props, selector == 1   ? eq.liquid_molar_mass
                                                      : selector == 2 ? eq.vapour_molar_mass : eq.molar_mass);
        const double expected[] = {m.Z, m.Z / Zn, m.rho, m.u, m.h, m.s, m.cv, m.cp, m.w, m.kappa, m.jt};
        const Outcome all = call(exports[0], split);
        for (int k = 0; k < api::kPropertyCount; ++k) {
            SCOPED_TRACE("selector " + std::to_string(selector) + ", slot " + std::to_string(k));
            // The speed of sound, kappa and jt of the whole are not defined.
            if (selector == 0 && k >= static_cast<int>(api::Property::w)) {
                EXPECT_TRUE(all.out[k] == kSentinelOverallUndefined && all.status[k] == 204);
            } else {
                EXPECT_NEAR(all.out[k], expected[k], 1e-10 * std::fabs(expected[k]));
                EXPECT_EQ(all.status[k], 0);
            }
            const Outcome single = call(exports[k + 1], split);  // -1 for success, where gerg2008 has 0
            EXPECT_TRUE(same_bits(single.out[0], all.out[k]) && (single.status[0] == -1 ? 0 : single.status[0]) == all.status[k]);
        }
    }
}

TEST(PropertyExports, KIsTheRatioOfZAtTheStateAndAtTheSinglePrecisionReferenceState) {
    const std::vector<Export> exports = frame_exports();
    const Export &z = exports[1], &k = exports[1 + kSlotK];
    const double Z = call(z, at(7.5, 285.0)).out[0], Zn = call(z, at(kPn, kTn)).out[0];
    EXPECT_EQ(call(k, at(7.5, 285.0)).out[0], Z / Zn);
    EXPECT_NE(call(z, at(0.101325, kTn)).out[0], Zn);
    for (std::int16_t selector : {0, 1, 2}) EXPECT_EQ(call(k, {.p = kPn, .T = kTn, .selector = selector}).out[0], 1.0);
    // Half water splits at the reference state: each selector has its own Zn,
    // whichever selector the thread asked for before.
    const Call wet{.c = Gas{"wet", {{"CH4", 50}, {"H2O", 50}}}.external()};
    const auto with = [&wet](std::int16_t selector, double p, double T) {
        Call c = wet;
        c.selector = selector, c.p = p, c.T = T;
        return c;
    };
    ASSERT_NE(call(z, with(1, kPn, kTn)).out[0], call(z, with(2, kPn, kTn)).out[0]);
    for (std::int16_t selector : {1, 2, 0, 2, 1}) {
        const double Zn_sel = call(z, with(selector, kPn, kTn)).out[0], Z_sel = call(z, with(selector, 5.0, 300.0)).out[0];
        EXPECT_EQ(call(k, with(selector, 5.0, 300.0)).out[0], Z_sel / Zn_sel) << selector;
    }
    // Only the evaluation at (p, T) fails: its code shows, over a regular Zn.
    const Outcome failed = call(k, at(5e-10, 300.0));
    EXPECT_EQ(failed.status[0], 191);
    EXPECT_NE(failed.out[0], kSentinelPressureRange);
}

TEST(CppMirror, GivesTheBitsOfTheCExportsAndNotANumberAfterAFailedCheck) {
    const std::vector<Export> exports = frame_exports();
    for (const double p : {4.0, -1.0}) {
        const Call rich{.c = rich_gas_7().external(), .p = p, .T = 240.0, .selector = 1, .range = 3};
        const bool failed = p < 0.0;
        const auto mirrors = [failed](double a, double b) { return failed ? std::isnan(a) : same_bits(a, b); };
        const ExportResults r = export_properties(rich.c, p, rich.T, 1, rich.range);
        const Outcome all = call(exports[0], rich), o = call(exports[exports.size() - 2], rich);
        EXPECT_TRUE(r.range_set == all.range && std::ranges::equal(r.status, all.status));
        for (int k = 0; k < api::kPropertyCount; ++k) EXPECT_TRUE(mirrors(r.value[k], all.out[k])) << k;
        const FlashResult f = flash(rich.c, p, rich.T, rich.range);
        EXPECT_TRUE(f.status == o.status[0] && f.range_set == o.range && f.ok() == !failed);
        EXPECT_TRUE(mirrors(f.beta, o.out[0]));
        for (int e = 0; e < kComponentCount; ++e) {
            EXPECT_TRUE(mirrors(f.liquid[e], o.out[3 + e]) && mirrors(f.vapour[e], o.out[24 + e])) << e;
        }
        EXPECT_TRUE(failed || (same_bits(f.liquid_fraction, o.out[1]) && same_bits(f.liquid_content, o.out[2])));
    }
}

// One-phase, two-phase, failed and envelope calls: each export gets them all.
std::vector<Call> sample_calls() {
    const ExternalPercentages rich = rich_gas_7().external();
    return {Call{}, {.c = rich, .p = 4.0, .T = 240.0, .range = 1}, {.c = rich, .p = 4.0, .T = 240.0, .selector = 1, .range = 1},
            {.c = rich, .T = 250.0, .range = 1}, {.c = lean_gas_11().external(), .p = 3.0, .T = 230.0}, {.p = 0.0}};
}

#ifdef NGTHERM_SHARED_LIBRARY

// The defined dynamic symbols, without version-definition entries (type A) and version suffixes.
std::set<std::string> defined_dynamic_symbols(const std::string& library) {
    const std::string nm =
        "nm -D -P --defined-only '" + library + "' 2>/dev/null | awk '$2 != \"A\" {sub(/@.*/, \"\", $1); print $1}'";
    FILE* pipe = popen(nm.c_str(), "r");
    std::set<std::string> names;
    std::array<char, 512> line{};
    while (pipe != nullptr && std::fgets(line.data(), static_cast<int>(line.size()), pipe) != nullptr) {
        names.insert(std::string(line.data(), std::strcspn(line.data(), "\n")));
    }
    if (pipe != nullptr) pclose(pipe);
    return names;
}

TEST(SharedLibrary, ExportsTheFourteenNamesAndNothingElse) {
#define NGTHERM_NAME(name, bytes, shape) #name,
    const std::set<std::string> expected{NGTHERM_EXPORTS_BY_ORDINAL(NGTHERM_NAME)};
#undef NGTHERM_NAME
    ASSERT_EQ(expected.size(), 14u);
    EXPECT_EQ(defined_dynamic_symbols(NGTHERM_SHARED_LIBRARY), expected);
}

TEST(SharedLibrary, EveryExportThroughDlopenGivesTheFramesBits) {
    const std::vector<Export> frames = frame_exports(), loaded = shared_exports();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(frames[i].name);
        ASSERT_TRUE(loaded[i].property || loaded[i].flash || loaded[i].phase);
        for (const Call& in : sample_calls()) EXPECT_TRUE(call(loaded[i], in).same_bits(call(frames[i], in)));
    }
}

#endif

// Every thread answers with its own workspace and cache: eight threads walk
// different gases, states and exports (gerg2008, flash_tp, phase) and must
// give the bits of one thread.
TEST(ExportThreads, ConcurrentCallsGiveTheBitsOfOneThread) {
    const std::vector<Export> exports = frame_exports();
    const Export* kinds[] = {&exports[0], &exports[exports.size() - 2], &exports.back()};
    const std::vector<Call> calls = sample_calls();
    const auto answer = [&](int j) { return call(*kinds[j / calls.size() % 3], calls[j % calls.size()]); };
    constexpr int kThreads = 8, kCallsPerThread = 9;
    std::vector<Outcome> serial;
    std::thread([&] {
        for (int j = 0; j < kThreads + kCallsPerThread; ++j) serial.push_back(answer(j));
    }).join();
    std::vector<std::vector<Outcome>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int j = 0; j < kCallsPerThread; ++j) got[t].push_back(answer(t + j));
        });
    }
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        for (int j = 0; j < kCallsPerThread; ++j) EXPECT_TRUE(got[t][j].same_bits(serial[t + j])) << t << " " << j;
    }
}

}  // namespace
}  // namespace ngtherm::test
