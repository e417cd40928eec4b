#include "api/check_input.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "api/external_gases.hpp"
#include "api/status_codes.hpp"

namespace ngtherm::api {
namespace {

using test::Percentages;
using test::pipeline_gas;
using namespace test;  // Ext and the positions kCH4 ... kH2S

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Input {
    Percentages c = pipeline_gas();
    double p = 5.0;
    double T = 300.0;
};

struct CheckResult {
    std::int16_t status;
    std::int16_t range_set;
};

CheckResult run_check(const Input& in, std::int16_t range_set) {
    std::int16_t status = 12345;
    check_input(in.c.data(), in.p, in.T, range_set, status);
    return {status, range_set};
}

// Moves `amount` mol-% from methane to component `e`, keeping the sum at 100.
Input with(Ext e, double amount, Input in = {}) {
    in.c[e] += amount;
    in.c[kCH4] -= amount;
    return in;
}

Input only(Ext e, double amount) {
    Input in;
    in.c = {};
    in.c[e] = amount;
    return in;
}

Input at(double p, double T, Input in = {}) {
    in.p = p;
    in.T = T;
    return in;
}

struct Case {
    const char* name;
    Input input;
    std::int16_t range_set;
    std::int16_t status;
};

void expect_cases(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(run_check(c.input, c.range_set).status, c.status);
    }
}

TEST(CheckInput, ReportsSuccessAsMinusOneWithoutRangeSetAndZeroWithOne) {
    expect_cases({
        {"range set 0", {}, 0, -1},
        {"range set 1", {}, 1, 0},
        {"range set 2", {}, 2, 0},
    });
}

TEST(CheckInput, GeneralLimitsAreOpenBelowAndClosedAbove) {
    expect_cases({
        {"p = 1000 passes", at(1000.0, 300.0), 0, -1},
        {"p just above 1000", at(std::nextafter(1000.0, 2000.0), 300.0), 0, 56},
        {"p = 0 fails", at(0.0, 300.0), 0, 56},
        {"p tiny passes", at(std::numeric_limits<double>::denorm_min(), 300.0), 0, -1},
        {"p negative", at(-1.0, 300.0), 0, 56},
        {"T = 2000 passes", at(5.0, 2000.0), 0, -1},
        {"T just above 2000", at(5.0, std::nextafter(2000.0, 3000.0)), 0, 55},
        {"T = 60 fails", at(5.0, 60.0), 0, 55},
        {"T just above 60 passes", at(5.0, std::nextafter(60.0, 100.0)), 0, -1},
    });
}

TEST(CheckInput, RangeSetOneLimitsOfPressureAndTemperature) {
    expect_cases({
        {"p = 30", at(30.0, 300.0), 1, 0},
        {"p = 30.000001", at(30.000001, 300.0), 1, 182},
        {"T = 250", at(5.0, 250.0), 1, 0},
        {"T = 450", at(5.0, 450.0), 1, 0},
        {"T below 250", at(5.0, std::nextafter(250.0, 0.0)), 1, 181},
        {"T above 450", at(5.0, std::nextafter(450.0, 1000.0)), 1, 181},
        {"set 2: p = 70", at(70.0, 300.0), 2, 0},
        {"set 2: p above 70", at(70.000001, 300.0), 2, 182},
        {"set 2: T = 700", at(5.0, 700.0), 2, 0},
        {"set 2: T above 700", at(5.0, 700.001), 2, 181},
        {"set 2: T = 60 fails generally", at(5.0, 60.0), 2, 55},
    });
}

TEST(CheckInput, ComparesWithTheWidenedSinglePrecisionLimits) {
    expect_cases({
        {"helium 0.2 passes set 1", with(kHe, 0.2), 1, 0},
        {"helium 0.2000001 fails set 1", with(kHe, 0.2000001), 1, 115},
        {"n-hexane 0.2 passes", with(kNC6, 0.2), 2, 0},
        {"n-hexane 0.2000001 fails", with(kNC6, 0.2000001), 2, 110},
        {"n-heptane 0.05 passes", with(kNC7, 0.05), 1, 0},
        {"n-heptane 0.0500001 fails", with(kNC7, 0.0500001), 1, 111},
        {"water 0.02 fails set 2", with(kH2O, 0.02), 2, 120},
        {"water 0.0199999995 passes", with(kH2O, 0.0199999995), 2, 0},
        {"argon 0.1 passes", with(kAr, 0.1), 1, 0},
        {"argon 0.1000001 fails", with(kAr, 0.1000001), 1, 170},
        {"n-octane 0.05 passes", with(kNC8, 0.05), 1, 0},
        {"n-octane 0.0500001 fails", with(kNC8, 0.0500001), 1, 173},
    });
}

TEST(CheckInput, DrawsTheLineAtTheExactWidenedValue) {
    expect_cases({
        {"helium 0.2000000029", with(kHe, 0.2000000029), 1, 0},
        {"helium 0.2000000030", with(kHe, 0.2000000030), 1, 115},
        {"n-hexane 0.2000000029", with(kNC6, 0.2000000029), 2, 0},
        {"n-hexane 0.2000000030", with(kNC6, 0.2000000030), 2, 110},
        {"n-heptane 0.05000000074", with(kNC7, 0.05000000074), 1, 0},
        {"n-heptane 0.05000000075", with(kNC7, 0.05000000075), 1, 111},
        {"n-decane 0.05000000074", with(kNC10, 0.05000000074), 1, 0},
        {"n-decane 0.05000000075", with(kNC10, 0.05000000075), 1, 173},
        {"oxygen 0.1000000014", with(kO2, 0.1000000014), 2, 0},
        {"oxygen 0.1000000015", with(kO2, 0.1000000015), 2, 170},
        {"water 0.01999999955", with(kH2O, 0.01999999955), 1, 0},
        {"water 0.01999999956", with(kH2O, 0.01999999956), 1, 120},
    });
}

TEST(CheckInput, SumsGroupsOfComponents) {
    Input argon_group = with(kAr, 0.03, with(kO2, 0.03, with(kH2S, 0.03, with(kNC9, 0.01))));
    Input argon_group_over = with(kNC10, 0.002, argon_group);
    Input octanes = with(kNC8, 0.02, with(kNC9, 0.02));
    expect_cases({
        {"argon group 0.1 passes", argon_group, 1, 0},
        {"argon group 0.102 fails", argon_group_over, 1, 170},
        {"octanes 0.04 pass", octanes, 1, 0},
        {"octanes 0.06 fail", with(kNC10, 0.02, octanes), 1, 173},
        {"pentanes 0.5 pass", with(kNC5, 0.25, with(kIC5, 0.25)), 1, 0},
        {"pentanes 0.6 fail", with(kNC5, 0.3, with(kIC5, 0.3)), 1, 172},
        {"butanes 3 pass", with(kNC4, 1.5, with(kIC4, 1.5)), 1, 0},
        {"butanes 3.2 fail", with(kNC4, 1.6, with(kIC4, 1.6)), 1, 171},
    });
}

TEST(CheckInput, AppliesTheIndividualLimitsOfEachRangeSet) {
    Input methane_45 = only(kCH4, 45.0);
    methane_45.c[kN2] = 50.0;
    methane_45.c[kCO2] = 5.0;
    expect_cases({
        {"carbon monoxide 3.1", with(kCO, 3.1), 2, 119},
        {"hydrogen 10.1", with(kH2, 10.1), 2, 117},
        {"set 1 propane 10.5", with(kC3H8, 9.5), 1, 105},
        {"set 2 propane 10.5", with(kC3H8, 9.5), 2, 0},
        {"set 1 ethane 21", with(kC2H6, 17.0), 1, 104},
        {"set 1 carbon dioxide 31", with(kCO2, 29.0), 1, 103},
        {"set 1 nitrogen 51 with methane 46", with(kN2, 48.0, with(kC2H6, -4.0)), 1, 102},
        {"set 1 nitrogen 50 passes", with(kN2, 47.0, with(kC2H6, -4.0)), 1, 0},
        {"set 2 nitrogen 100 and methane 0 pass", only(kN2, 100.0), 2, 0},
        {"set 1 methane 45 passes", methane_45, 1, 0},
        {"set 1 methane below 45", with(kCO2, 0.0001, methane_45), 1, 101},
    });
}

TEST(CheckInput, LaterChecksOverwriteEarlierOnes) {
    Input negative_sum_150 = only(kCH4, 151.0);
    negative_sum_150.c[kN2] = -1.0;
    Input methane_40 = only(kCH4, 40.0);
    methane_40.c[kN2] = 60.0;
    expect_cases({
        {"negative entry and sum 150 give 53", negative_sum_150, 0, 53},
        {"p = 2000 with range set 1 gives 56", at(2000.0, 300.0), 1, 56},
        {"T = 50 and p = -1 give 55", at(-1.0, 50.0), 0, 55},
        {"methane 40, nitrogen 60 give 101", methane_40, 1, 101},
        {"methane 100.00009 passes the sum", only(kCH4, 100.00009), 0, -1},
        {"methane 100.0001 gives 54", only(kCH4, 100.0001), 0, 54},
        {"methane 99.9999 gives 54", only(kCH4, 99.9999), 0, 54},
        {"sum 150 with bad T gives 54", at(5.0, 10.0, only(kCH4, 150.0)), 1, 54},
    });
}

TEST(CheckInput, RewritesARangeSetAboveTwoToTwo) {
    Input set2_only = at(50.0, 600.0);  // outside set 1, inside set 2
    for (std::int16_t rs : {std::int16_t{3}, std::int16_t{7}, std::int16_t{32767}}) {
        SCOPED_TRACE(rs);
        CheckResult r = run_check(set2_only, rs);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.range_set, 2);
        EXPECT_EQ(run_check(at(80.0, 300.0), rs).status, 182);
    }
    for (std::int16_t rs : {std::int16_t{0}, std::int16_t{1}, std::int16_t{2}}) {
        EXPECT_EQ(run_check({}, rs).range_set, rs);
    }
    // Also rewritten when the check fails.
    EXPECT_EQ(run_check(at(0.0, 300.0), 9).range_set, 2);
}

TEST(CheckInput, RejectsANegativeRangeSetBelowTheGeneralCodes) {
    for (std::int16_t rs : {std::int16_t{-1}, std::int16_t{-32768}}) {
        SCOPED_TRACE(rs);
        CheckResult r = run_check({}, rs);
        EXPECT_EQ(r.status, 180);
        EXPECT_EQ(r.range_set, rs);
        EXPECT_EQ(run_check(at(0.0, 300.0), rs).status, 56);
        EXPECT_EQ(run_check(at(5.0, 10.0), rs).status, 55);
        EXPECT_EQ(run_check(only(kCH4, 99.0), rs).status, 54);
        EXPECT_EQ(run_check(with(kN2, 60.0), rs).status, 180);
    }
}

TEST(CheckInput, TreatsNotFiniteInputAsBadInputOfItsKind) {
    Input nan_methane;
    nan_methane.c[kCH4] = kNaN;
    Input inf_water;
    inf_water.c[kH2O] = kInf;
    Input minus_inf_he;
    minus_inf_he.c[kHe] = -kInf;
    Input nan_and_negative = at(kNaN, 300.0);
    nan_and_negative.c[kN2] = -1.0;
    Input huge_entries = only(kCH4, 1e308);
    huge_entries.c[kN2] = 1e308;  // the sum overflows
    expect_cases({
        {"NaN pressure", at(kNaN, 300.0), 0, 56},
        {"NaN pressure, range set 1", at(kNaN, 300.0), 1, 56},
        {"infinite pressure", at(kInf, 300.0), 0, 56},
        {"minus infinite pressure", at(-kInf, 300.0), 2, 56},
        {"NaN temperature", at(5.0, kNaN), 0, 55},
        {"infinite temperature", at(5.0, kInf), 1, 55},
        {"minus infinite temperature", at(5.0, -kInf), 0, 55},
        {"NaN temperature and pressure", at(kNaN, kNaN), 0, 55},
        {"NaN mole percentage", nan_methane, 1, 53},
        {"infinite mole percentage", inf_water, 0, 53},
        {"minus infinite mole percentage", minus_inf_he, 2, 53},
        {"NaN pressure and negative entry", nan_and_negative, 0, 53},
        {"NaN pressure and sum 150", at(kNaN, 300.0, only(kCH4, 150.0)), 0, 54},
        {"overflowing sum", huge_entries, 0, 54},
    });
}

// The documented precedence, strongest first, checked against every
// combination of up to three violations. The oracle states the conditions
// independently of the implementation and picks the strongest one that holds.
constexpr std::array<int, 22> kPrecedence{53, 54, 55, 56, 180, 101, 102, 103, 104, 105, 110,
                                          111, 115, 117, 119, 120, 171, 172, 173, 170, 181, 182};

bool violated(int code, const Input& in, int rs) {
    const Percentages& c = in.c;
    const bool set1 = rs == 1;
    double sum = 0.0;
    for (double v : c) sum += v;
    switch (code) {
        case 53: for (double v : c) if (!(v >= 0.0) || std::isinf(v)) return true; return false;
        case 54: return !(std::fabs(sum - 100.0) < 1e-4);
        case 55: return !(in.T > 60.0 && in.T <= 2000.0);
        case 56: return !(in.p > 0.0 && in.p <= 1000.0);
        case 180: return rs < 0;
    }
    if (rs < 1) return false;
    switch (code) {
        case 101: return c[kCH4] < (set1 ? 45.0 : 0.0);
        case 102: return c[kN2] > (set1 ? 50.0 : 100.0);
        case 103: return c[kCO2] > (set1 ? 30.0 : 100.0);
        case 104: return c[kC2H6] > (set1 ? 20.0 : 100.0);
        case 105: return c[kC3H8] > (set1 ? 10.0 : 100.0);
        case 110: return c[kNC6] > double{0.2f};
        case 111: return c[kNC7] > double{0.05f};
        case 115: return c[kHe] > double{0.2f};
        case 117: return c[kH2] > 10.0;
        case 119: return c[kCO] > 3.0;
        case 120: return c[kH2O] > double{0.02f};
        case 171: return c[kNC4] + c[kIC4] > 3.0;
        case 172: return c[kNC5] + c[kIC5] > 0.5;
        case 173: return c[kNC8] + c[kNC9] + c[kNC10] > double{0.05f};
        case 170: return c[kAr] + c[kO2] + c[kH2S] + c[kNC9] + c[kNC10] > double{0.1f};
        case 181: return in.T < (set1 ? 250.0 : 60.0) || in.T > (set1 ? 450.0 : 700.0);
        case 182: return in.p > (set1 ? 30.0 : 70.0);
    }
    return false;
}

int expected_status(const Input& in, int rs) {
    const int effective = rs > 2 ? 2 : rs;
    for (int code : kPrecedence) {
        if (violated(code, in, effective)) return code;
    }
    return effective == 0 ? -1 : 0;
}

using Perturbation = std::function<void(Input&)>;

std::vector<Perturbation> perturbations() {
    auto move = [](Ext e, double amount) {
        return [=](Input& in) { in = with(e, amount, in); };
    };
    return {
        [](Input& in) { in.p = 2000.0; },   [](Input& in) { in.p = 35.0; },
        [](Input& in) { in.p = 0.0; },      [](Input& in) { in.p = kNaN; },
        [](Input& in) { in.T = 50.0; },     [](Input& in) { in.T = 500.0; },
        [](Input& in) { in.T = 800.0; },    [](Input& in) { in.T = kInf; },
        [](Input& in) { in.c[kNC5] = -0.5; },
        [](Input& in) { in.c[kCH4] += 1.0; },
        [](Input& in) { in.c[kH2S] = kNaN; },
        move(kN2, 48.0),  move(kCO2, 29.0), move(kC2H6, 17.0), move(kC3H8, 10.0),
        move(kNC6, 0.3),  move(kNC7, 0.06), move(kHe, 0.3),    move(kH2, 11.0),
        move(kCO, 4.0),   move(kH2O, 0.03), move(kAr, 0.2),    move(kNC8, 0.06),
        move(kNC5, 0.6),  move(kNC4, 3.5),  move(kO2, 0.05),   move(kH2S, 0.08),
        move(kC3H8, 50.0),
    };
}

TEST(CheckInput, StrongestViolationWinsInEveryCombinationOfUpToThree) {
    const std::vector<Perturbation> all = perturbations();
    const int count = static_cast<int>(all.size());
    int checked = 0;
    int mismatches = 0;
    std::string first_mismatch;
    for (int a = -1; a < count; ++a) {
        for (int b = a + 1; b < count; ++b) {
            for (int c = b + 1; c <= count; ++c) {
                Input in;
                for (int k : {a, b, c}) {
                    if (k >= 0 && k < count) all[k](in);
                }
                for (std::int16_t rs : {-1, 0, 1, 2, 5}) {
                    ++checked;
                    const int got = run_check(in, rs).status;
                    const int want = expected_status(in, rs);
                    if (got != want && mismatches++ == 0) {
                        first_mismatch = "perturbations " + std::to_string(a) + "," +
                                         std::to_string(b) + "," + std::to_string(c) +
                                         " range set " + std::to_string(rs) + ": got " +
                                         std::to_string(got) + ", want " + std::to_string(want);
                    }
                }
            }
        }
    }
    EXPECT_GT(checked, 10000);
    EXPECT_EQ(mismatches, 0) << first_mismatch;
}

TEST(CheckInput, EveryCodeItCanReportHasAMeaning) {
    for (int code : kPrecedence) {
        EXPECT_NE(status_meaning(code), "unknown status code") << code;
    }
}

TEST(StatusFromSentinel, MapsEverySentinelToItsCode) {
    const std::array<std::pair<double, int>, 17> expected{{
        {-99991.0, 190}, {-99992.0, 191}, {-99997.0, 192}, {-99998.0, 193}, {-99999.0, 194},
        {-99990.0, 195}, {-99910.0, 196}, {-99920.0, 198}, {-99930.0, 199}, {-99940.0, 200},
        {-99950.0, 201}, {-91111.0, 202}, {-94444.0, 203}, {-95555.0, 204}, {-96666.0, 205},
        {-97777.0, 206}, {-98888.0, 207},
    }};
    for (auto [sentinel, code] : expected) {
        for (std::int16_t before : {std::int16_t{-1}, std::int16_t{0}}) {
            std::int16_t status = before;
            status_from_sentinel(sentinel, status);
            EXPECT_EQ(status, code) << sentinel;
        }
    }
}

TEST(StatusFromSentinel, LeavesTheStatusUnchangedForOtherValues) {
    const double others[] = {-99993.0, -99994.0, -99995.0, -99996.0, 0.0, -0.0, -1.0, 1.0,
                             std::nextafter(-97777.0, 0.0), 97777.0, kNaN, kInf, -kInf,
                             -99991.5, 0.8995};
    for (double value : others) {
        for (std::int16_t before : {std::int16_t{-1}, std::int16_t{0}, std::int16_t{53}}) {
            std::int16_t status = before;
            status_from_sentinel(value, status);
            EXPECT_EQ(status, before) << value;
        }
    }
}

}  // namespace
}  // namespace ngtherm::api
