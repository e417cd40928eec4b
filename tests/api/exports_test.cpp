// The frame of the property exports as a caller sees it: status codes and
// their precedence, range sets, what is written and what is left alone, the
// composition echo, phase selectors and the compressibility ratio.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "api/frames.hpp"
#include "api/status_codes.hpp"
#include "export_support.hpp"

namespace ngtherm::test {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int kSlotK = static_cast<int>(api::Property::K);

class PropertyExports : public ExportTest {};
INSTANTIATE_TEST_SUITE_P(EveryBuild, PropertyExports, ::testing::ValuesIn(export_sources()),
                         [](const auto& info) { return info.param; });

Call with(Ext e, double amount, Call call = {}) {
    call.c[e] += amount;
    call.c[kCH4] -= amount;
    return call;
}
Call at(double p, double T, std::int16_t range = 0, Call call = {}) {
    call.p = p;
    call.T = T;
    call.range = range;
    return call;
}
Call in_range(std::int16_t range, Call call) {
    call.range = range;
    return call;
}
Call methane_only(double percent) {
    Call call;
    call.c = Percentages{};
    call.c[kCH4] = percent;
    return call;
}

TEST_P(PropertyExports, SuccessIsMinusOneWithRangeSetZeroAndZeroOtherwiseButAlwaysZeroForAll) {
    for (std::int16_t range : {0, 1, 2}) {
        SCOPED_TRACE("range set " + std::to_string(range));
        const Call call = in_range(range, {});
        for (int k = 0; k < kSlots; ++k) {
            const Outcome out = call_single(exports, k, call);
            EXPECT_EQ(out.status[0], range == 0 ? -1 : 0) << kSingleExportNames[k];
            EXPECT_TRUE(std::isfinite(out.value[0])) << kSingleExportNames[k];
        }
        const Outcome all = call_all(exports, call);
        for (int k = 0; k < kSlots; ++k) EXPECT_EQ(all.status[k], 0) << k;
        EXPECT_EQ(all.range, range);
    }
}

struct CheckCase {
    std::string what;
    Call call;
    std::int16_t code;  // expected status of the failed check
};

std::vector<CheckCase> failing_checks() {
    Call negative_sum_150;
    negative_sum_150.c[kCO2] = -1.0;
    negative_sum_150.c[kCH4] += 53.0;
    Call sum_99_9;
    sum_99_9.c[kCH4] -= 0.1;
    Call methane_40 = methane_only(40.0);
    methane_40.c[kN2] = 60.0;
    methane_40.range = 1;
    Call nan_entry, inf_entry, minus_inf_entry;
    nan_entry.c[kH2S] = kNaN;
    inf_entry.c[kHe] = kInf;
    minus_inf_entry.c[kAr] = -kInf;
    return {
        {"negative entry", with(kN2, -4.0), api::kStatusBadFraction},
        {"negative entry beats a sum of 150", negative_sum_150, api::kStatusBadFraction},
        {"NaN entry", nan_entry, api::kStatusBadFraction},
        {"infinite entry", inf_entry, api::kStatusBadFraction},
        {"minus infinite entry", minus_inf_entry, api::kStatusBadFraction},
        {"sum 99.9", sum_99_9, api::kStatusBadSum},
        {"methane 100.0001", methane_only(100.0001), api::kStatusBadSum},
        {"T exactly 60 K", at(5.0, 60.0), api::kStatusBadTemperature},
        {"T above 2000 K", at(5.0, 2000.001), api::kStatusBadTemperature},
        {"T NaN", at(5.0, kNaN), api::kStatusBadTemperature},
        {"T infinite", at(5.0, kInf), api::kStatusBadTemperature},
        {"T minus infinite", at(5.0, -kInf), api::kStatusBadTemperature},
        {"T 50 K and p -1 MPa", at(-1.0, 50.0), api::kStatusBadTemperature},
        {"p exactly 0", at(0.0, 300.0), api::kStatusBadPressure},
        {"p above 1000 MPa", at(1000.001, 300.0), api::kStatusBadPressure},
        {"p NaN", at(kNaN, 300.0), api::kStatusBadPressure},
        {"p infinite", at(kInf, 300.0), api::kStatusBadPressure},
        {"p minus infinite", at(-kInf, 300.0), api::kStatusBadPressure},
        {"p 2000 MPa with range set 1", at(2000.0, 300.0, 1), api::kStatusBadPressure},
        {"negative range set", at(5.0, 300.0, -1), api::kStatusNegativeRangeSet},
        {"helium 0.2000001 with range set 1", in_range(1, with(kHe, 0.2000001)), 115},
        {"water 0.02 with range set 2", in_range(2, with(kH2O, 0.02)), 120},
        {"methane 40 nitrogen 60 with range set 1", methane_40, 101},
        {"p 30.000001 MPa with range set 1", at(30.000001, 300.0, 1), 182},
        {"T 249.99 K with range set 1", at(5.0, 249.99, 1), 181},
        {"T 700.001 K with range set 2", at(5.0, 700.001, 2), 181},
        {"p 70.0001 MPa with range set 2", at(70.0001, 300.0, 2), 182},
    };
}

TEST_P(PropertyExports, FailedInputCheckReportsItsCodeAndLeavesTheResultsUntouched) {
    for (const CheckCase& c : failing_checks()) {
        SCOPED_TRACE(c.what);
        for (int k = 0; k < kSlots; ++k) {
            const Outcome out = call_single(exports, k, c.call);
            EXPECT_EQ(out.status[0], c.code) << kSingleExportNames[k];
            EXPECT_TRUE(same_bits(out.value[0], kUntouched)) << kSingleExportNames[k];
            EXPECT_EQ(out.status[1], kUntouchedStatus);
        }
        const Outcome all = call_all(exports, c.call);
        for (int k = 0; k < kSlots; ++k) {
            EXPECT_EQ(all.status[k], c.code) << "slot " << k;
            EXPECT_TRUE(same_bits(all.value[k], kUntouched)) << "slot " << k;
        }
    }
}

// Limits met exactly, and the single-precision limits that admit their
// decimal value: the check passes and a result is written.
std::vector<CheckCase> passing_checks() {
    return {
        {"p exactly 1000 MPa", at(1000.0, 300.0), -1},
        {"T exactly 2000 K", at(5.0, 2000.0), -1},
        {"methane 100.00009", methane_only(100.00009), -1},
        {"helium 0.2 with range set 1", in_range(1, with(kHe, 0.2)), 0},
        {"n-hexane 0.2 with range set 1", in_range(1, with(kNC6, 0.2)), 0},
        {"n-heptane 0.05 with range set 2", in_range(2, with(kNC7, 0.05)), 0},
        {"octanes to decanes 0.05 with range set 1", in_range(1, with(kNC8, 0.05)), 0},
        {"argon to decane group 0.1 with range set 2", in_range(2, with(kAr, 0.1)), 0},
        {"water just below 0.02 with range set 2",
         in_range(2, with(kH2O, 0.0199999995529651641845703125)), 0},
        {"p exactly 30 MPa with range set 1", at(30.0, 300.0, 1), 0},
        {"T exactly 250 K with range set 1", at(5.0, 250.0, 1), 0},
        {"T exactly 450 K with range set 1", at(5.0, 450.0, 1), 0},
        {"methane 0 with range set 2", {pure(kC2H6), 1.0, 300.0, 0, 2}, 0},
    };
}

TEST_P(PropertyExports, InputMeetingALimitExactlyPassesTheCheck) {
    for (const CheckCase& c : passing_checks()) {
        SCOPED_TRACE(c.what);
        const Outcome z = call_single(exports, 0, c.call);
        // The check passed; a calculation may still report a code of 190 or above.
        EXPECT_TRUE(z.status[0] == c.code || z.status[0] >= 190) << z.status[0];
        EXPECT_FALSE(same_bits(z.value[0], kUntouched));
        const Outcome all = call_all(exports, c.call);
        EXPECT_TRUE(all.status[0] == 0 || all.status[0] >= 190) << all.status[0];
        EXPECT_TRUE(same_bits(all.value[0], z.value[0]));
    }
}

TEST_P(PropertyExports, RangeSetAboveTwoIsCheckedAsTwoAndWrittenBackNegativeIsKept) {
    struct Case {
        std::int16_t range, range_after;
        double T;
        std::int16_t single_status;
    };
    const std::vector<Case> cases = {
        {7, 2, 650.0, 0},     // inside set 2 (up to 700 K), outside set 1
        {3, 2, 750.0, 181},   // outside set 2 as well
        {32767, 2, 650.0, 0},
        {-1, -1, 300.0, api::kStatusNegativeRangeSet},
        {-32768, -32768, 300.0, api::kStatusNegativeRangeSet},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("range set " + std::to_string(c.range) + " at " + std::to_string(c.T) + " K");
        const Call call = at(5.0, c.T, c.range);
        const Outcome single = call_single(exports, 2, call);
        EXPECT_EQ(single.range, c.range_after);
        EXPECT_EQ(single.status[0], c.single_status);
        const Outcome all = call_all(exports, call);
        EXPECT_EQ(all.range, c.range_after);
        for (int k = 0; k < kSlots; ++k) EXPECT_EQ(all.status[k], c.single_status) << k;
    }
}

TEST_P(PropertyExports, CompositionEchoIsABitForBitCopyOnEveryCall) {
    Call signed_zero;  // passes: -0.0 is not negative
    signed_zero.c[kH2S] = -0.0;
    Call payload;      // fails with 53, the payload still travels
    payload.c[kO2] = std::bit_cast<double>(0x7FF80000DEADBEEFull);
    Call tiny;
    tiny.c[kHe] = 5e-324;
    tiny.c[kCH4] = 90.00000000000001;
    for (const Call& call : {signed_zero, payload, tiny, at(0.0, 300.0)}) {
        const Outcome all = call_all(exports, call);
        EXPECT_EQ(std::memcmp(all.echo.data(), call.c.data(), sizeof call.c), 0);
        for (int k = 0; k < kSlots; ++k) {
            const Outcome one = call_single(exports, k, call);
            EXPECT_EQ(std::memcmp(one.echo.data(), call.c.data(), sizeof call.c), 0);
        }
    }
}

TEST_P(PropertyExports, EchoMayBeTheCompositionArrayItself) {
    Call call;
    Percentages shared = call.c;
    double result = kUntouched;
    std::int16_t status = kUntouchedStatus;
    exports.single[2](shared.data(), &call.p, &call.T, &call.selector, &call.range, &result,
                      shared.data(), &status);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(std::memcmp(shared.data(), call.c.data(), sizeof shared), 0);
    EXPECT_TRUE(same_bits(result, call_single(exports, 2, call).value[0]));
}

TEST_P(PropertyExports, PhaseSelectorOutsideZeroToTwoGives194InEverySlot) {
    for (std::int16_t selector : {-1, 3, 32767, -32768}) {
        SCOPED_TRACE("selector " + std::to_string(selector));
        Call call;
        call.selector = selector;
        for (int k = 0; k < kSlots; ++k) {
            const Outcome one = call_single(exports, k, call);
            EXPECT_EQ(one.status[0], 194) << kSingleExportNames[k];
            // K divides the two failed evaluations by each other.
            EXPECT_EQ(one.value[0], k == kSlotK ? 1.0 : kSentinelPhaseSelector);
        }
        const Outcome all = call_all(exports, call);
        for (int k = 0; k < kSlots; ++k) {
            EXPECT_EQ(all.status[k], 194) << k;
            EXPECT_EQ(all.value[k], k == kSlotK ? 1.0 : kSentinelPhaseSelector) << k;
        }
    }
}

struct SetUpCase {
    std::string what;
    Call call;
    double sentinel;
    std::int16_t code;
};

std::vector<SetUpCase> set_up_failures() {
    // Passes the percent check, but the fraction is 1.0000005.
    const Call over_one = methane_only(100.00005);
    Call traces = methane_only(99.99989);
    for (int e = 1; e < 21; ++e) traces.c[e] = 9.9e-7;  // below the kept fraction 1e-8
    return {
        {"fraction above 1", over_one, kSentinelBadFraction, 192},
        {"kept fractions sum to 0.9999989", traces, kSentinelFractionSum, 193},
        {"p 5e-10 MPa", at(5e-10, 300.0), kSentinelPressureRange, 191},
    };
}

TEST_P(PropertyExports, MixtureSetUpFailureIsStoredAsSentinelWithItsCode) {
    for (const SetUpCase& c : set_up_failures()) {
        SCOPED_TRACE(c.what);
        const Outcome all = call_all(exports, c.call);
        for (int k = 0; k < kSlots; ++k) {
            EXPECT_EQ(all.status[k], c.code) << k;
            if (k != kSlotK) {
                EXPECT_EQ(all.value[k], c.sentinel) << k;
            }
            const Outcome one = call_single(exports, k, c.call);
            EXPECT_EQ(one.status[0], c.code) << kSingleExportNames[k];
            EXPECT_TRUE(same_bits(one.value[0], all.value[k])) << kSingleExportNames[k];
        }
    }
}

TEST_P(PropertyExports, KReportsTheFailureOfTheZEvaluationAtTheCallersState) {
    // Only the evaluation at (p, T) fails: K is that sentinel over a regular Zn.
    const Outcome k = call_single(exports, kSlotK, at(5e-10, 300.0));
    EXPECT_EQ(k.status[0], 191);
    EXPECT_LT(k.value[0], 0.0);
    EXPECT_NE(k.value[0], kSentinelPressureRange);
}

TEST_P(PropertyExports, KIsExactlyOneAtTheReferenceState) {
    const double pn = 0.101324997842311859130859375, Tn = 273.15;
    for (const Percentages& c : {pipeline_gas(), rich_gas(), pure(kCH4), pure(kN2)}) {
        for (std::int16_t selector : {0, 1, 2}) {
            Call call = at(pn, Tn);
            call.c = c;
            call.selector = selector;
            const Outcome one = call_single(exports, kSlotK, call);
            EXPECT_EQ(one.value[0], 1.0);
            EXPECT_EQ(one.status[0], -1);
            const Outcome all = call_all(exports, call);
            EXPECT_EQ(all.value[kSlotK], 1.0);
            EXPECT_EQ(all.status[kSlotK], 0);
        }
    }
}

TEST_P(PropertyExports, KIsTheRatioOfTheZExportAtTheStateAndAtTheReferenceState) {
    const Call state = at(7.5, 285.0);
    const Call reference = at(0.101324997842311859130859375, 273.15);
    const double Z = call_single(exports, 0, state).value[0];
    const double Zn = call_single(exports, 0, reference).value[0];
    EXPECT_EQ(call_single(exports, kSlotK, state).value[0], Z / Zn);
    // The single-precision reference pressure is not the decimal one.
    EXPECT_NE(call_single(exports, 0, at(0.101325, 273.15)).value[0], Zn);
}

TEST_P(PropertyExports, NullArgumentsAreIgnoredWithoutWritingAnything) {
    const Call call;
    for (int missing = 0; missing < 8; ++missing) {
        SCOPED_TRACE("argument " + std::to_string(missing + 1) + " null");
        Outcome out = prefilled(call);
        const auto pick = [missing](int i, auto* ptr) { return i == missing ? nullptr : ptr; };
        exports.all(pick(0, call.c.data()), pick(1, &call.p), pick(2, &call.T),
                    pick(3, &call.selector), pick(4, &out.range), pick(5, out.value.data()),
                    pick(6, out.echo.data()), pick(7, out.status.data()));
        exports.single[3](pick(0, call.c.data()), pick(1, &call.p), pick(2, &call.T),
                          pick(3, &call.selector), pick(4, &out.range), pick(5, out.value.data()),
                          pick(6, out.echo.data()), pick(7, out.status.data()));
        for (int k = 0; k < kSlots; ++k) {
            EXPECT_TRUE(same_bits(out.value[k], kUntouched));
            EXPECT_EQ(out.status[k], kUntouchedStatus);
        }
        EXPECT_TRUE(same_bits(out.echo[0], kUntouched));
    }
}

}  // namespace
}  // namespace ngtherm::test
