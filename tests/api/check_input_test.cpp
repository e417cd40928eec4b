// api::check_input: the general limits and those of each range set, the
// single-precision limits, sums of groups, not-finite input, the range set
// rewritten, and the documented precedence in every combination of up to three
// violations.
#include "api/check_input.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "api/composition.hpp"

namespace ngtherm::api {
namespace {

using Percentages = std::array<double, kComponentCount>;
using Ext = int;
#define NGTHERM_POSITION(name, component) constexpr int name = index(ExternalPosition::component);
NGTHERM_POSITION(kCH4, CH4) NGTHERM_POSITION(kN2, N2) NGTHERM_POSITION(kCO2, CO2) NGTHERM_POSITION(kC2H6, C2H6)
NGTHERM_POSITION(kC3H8, C3H8) NGTHERM_POSITION(kNC4, nC4) NGTHERM_POSITION(kIC4, iC4) NGTHERM_POSITION(kNC5, nC5)
NGTHERM_POSITION(kIC5, iC5) NGTHERM_POSITION(kNC6, nC6) NGTHERM_POSITION(kNC7, nC7) NGTHERM_POSITION(kNC8, nC8)
NGTHERM_POSITION(kNC9, nC9) NGTHERM_POSITION(kNC10, nC10) NGTHERM_POSITION(kHe, He) NGTHERM_POSITION(kAr, Ar)
NGTHERM_POSITION(kH2, H2) NGTHERM_POSITION(kO2, O2) NGTHERM_POSITION(kCO, CO) NGTHERM_POSITION(kH2O, H2O)
NGTHERM_POSITION(kH2S, H2S)
#undef NGTHERM_POSITION

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Input {
    Percentages c = pipeline_c();
    double p = 5.0;
    double T = 300.0;
    static Percentages pipeline_c() {
        Percentages c{};
        c[kCH4] = 90.0;
        c[kN2] = 3.0;
        c[kCO2] = 2.0;
        c[kC2H6] = 4.0;
        c[kC3H8] = 1.0;
        return c;
    }
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

TEST(CheckInput, GeneralLimitsAreOpenBelowClosedAboveAndRejectWhatIsNotFinite) {
    Input nan_methane, inf_water, huge_entries = only(kCH4, 1e308);
    nan_methane.c[kCH4] = kNaN;
    inf_water.c[kH2O] = kInf;
    huge_entries.c[kN2] = 1e308;  // the sum overflows
    expect_cases({
        {"success, range set 0", {}, 0, -1},
        {"success, range set 1", {}, 1, 0},
        {"success, range set 2", {}, 2, 0},
        {"p = 1000 passes", at(1000.0, 300.0), 0, -1},
        {"p just above 1000", at(std::nextafter(1000.0, 2000.0), 300.0), 0, 56},
        {"p = 0 fails", at(0.0, 300.0), 0, 56},
        {"p tiny passes", at(std::numeric_limits<double>::denorm_min(), 300.0), 0, -1},
        {"T = 2000 passes", at(5.0, 2000.0), 0, -1},
        {"T just above 2000", at(5.0, std::nextafter(2000.0, 3000.0)), 0, 55},
        {"T = 60 fails", at(5.0, 60.0), 0, 55},
        {"T just above 60 passes", at(5.0, std::nextafter(60.0, 100.0)), 0, -1},
        {"NaN pressure", at(kNaN, 300.0), 1, 56},
        {"minus infinite pressure", at(-kInf, 300.0), 2, 56},
        {"infinite temperature", at(5.0, kInf), 1, 55},
        {"NaN temperature and pressure", at(kNaN, kNaN), 0, 55},
        {"NaN mole percentage", nan_methane, 1, 53},
        {"infinite mole percentage", inf_water, 0, 53},
        {"overflowing sum", huge_entries, 0, 54},
        {"methane 100.00009 passes the sum", only(kCH4, 100.00009), 0, -1},
        {"methane 100.0001", only(kCH4, 100.0001), 0, 54},
        {"methane 99.9999", only(kCH4, 99.9999), 0, 54},
    });
}

TEST(CheckInput, AppliesTheLimitsOfEachRangeSet) {
    Input methane_45 = only(kCH4, 45.0);
    methane_45.c[kN2] = 50.0;
    methane_45.c[kCO2] = 5.0;
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

// The limits 0.2, 0.1, 0.05 and 0.02 are the nearest floats, widened.
TEST(CheckInput, DrawsTheLineAtTheWidenedSinglePrecisionLimitsAndSumsGroups) {
    Input argon_group = with(kAr, 0.03, with(kO2, 0.03, with(kH2S, 0.03, with(kNC9, 0.01))));
    Input octanes = with(kNC8, 0.02, with(kNC9, 0.02));
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
        {"argon group 0.1 passes", argon_group, 1, 0},
        {"argon group 0.102 fails", with(kNC10, 0.002, argon_group), 1, 170},
        {"octanes 0.04 pass", octanes, 1, 0},
        {"octanes 0.06 fail", with(kNC10, 0.02, octanes), 1, 173},
        {"pentanes 0.5 pass", with(kNC5, 0.25, with(kIC5, 0.25)), 1, 0},
        {"pentanes 0.6 fail", with(kNC5, 0.3, with(kIC5, 0.3)), 1, 172},
        {"butanes 3 pass", with(kNC4, 1.5, with(kIC4, 1.5)), 1, 0},
        {"butanes 3.2 fail", with(kNC4, 1.6, with(kIC4, 1.6)), 1, 171},
    });
}

TEST(CheckInput, RewritesARangeSetAboveTwoToTwoAndKeepsANegativeOne) {
    for (std::int16_t rs : {3, 7, 32767}) {
        EXPECT_EQ(run_check(at(50.0, 600.0), rs).status, 0) << "inside set 2 only";
        EXPECT_EQ(run_check(at(50.0, 600.0), rs).range_set, 2);
        EXPECT_EQ(run_check(at(0.0, 300.0), rs).range_set, 2) << "also when the check fails";
    }
    for (std::int16_t rs : {-1, -32768, 0, 1, 2}) EXPECT_EQ(run_check({}, rs).range_set, rs);
}

// The precedence include/ngtherm.h documents, strongest first, checked
// against every combination of up to three violations. The oracle states the
// conditions independently of the implementation and picks the strongest one.
std::vector<int> documented_precedence() {
    std::ifstream in(NGTHERM_SOURCE_DIR "/include/ngtherm.h");
    std::string text;
    bool inside = false;
    for (std::string line; std::getline(in, line) && !(inside && line == " *");) {
        if (inside) text += line.substr(2) + " ";
        inside = inside || line.find("the strongest code wins:") != std::string::npos;
    }
    std::vector<int> codes;
    std::stringstream words(text);
    for (std::string w; std::getline(words, w, ',');) codes.push_back(std::stoi(w));
    return codes;
}

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
    static const std::vector<int> precedence = documented_precedence();
    for (int code : precedence) {
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

TEST(CheckInput, StrongestDocumentedViolationWinsInEveryCombinationOfUpToThree) {
    ASSERT_EQ(documented_precedence().size(), 22u);
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

}  // namespace
}  // namespace ngtherm::api
