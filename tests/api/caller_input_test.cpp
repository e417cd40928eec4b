// The status codes and sentinels as include/ngtherm.h documents them, and
// api::check_input against an oracle of each limit and the documented
// precedence, up to three violations at once.
#include "api/check_input.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "api/composition.hpp"
#include "api/status_codes.hpp"
#include "support/c_exports.hpp"

namespace ngtherm::api {
namespace {

TEST(StatusCodes, HeaderTableEqualsTheLibraryTable) {
    const std::string block = test::header_block("Status codes:");
    const std::regex entry(R"(\s+(-?\d+)\s{2,}(\S.*\S)\s*\n)");
    std::map<int, std::string> header;
    for (std::sregex_iterator m(block.begin(), block.end(), entry), end; m != end; ++m) {
        header[std::stoi((*m)[1])] = (*m)[2];
    }
    ASSERT_EQ(header.size(), status_meanings().size());
    for (const StatusMeaning& e : status_meanings()) EXPECT_EQ(header[e.code], e.meaning) << e.code;
    EXPECT_EQ(status_meaning(57), "unknown status code");
}

TEST(StatusCodes, EveryDocumentedSentinelGivesItsCodeAndOtherValuesNone) {
    const std::string block = test::header_block("Sentinels and their codes:");
    const std::regex pair(R"((-\d+) (\d+))");
    int listed = 0;
    for (std::sregex_iterator m(block.begin(), block.end(), pair), end; m != end; ++m, ++listed) {
        for (std::int16_t before : {-1, 0}) {
            std::int16_t status = before;
            status_from_sentinel(std::stod((*m)[1]), status);
            EXPECT_EQ(status, std::stoi((*m)[2])) << (*m)[1];
        }
    }
    EXPECT_EQ(listed, static_cast<int>(kSentinelCodes.size()));
    for (double other : {-99993.0, 0.0, -0.0, std::nextafter(-97777.0, 0.0), 97777.0, std::nan(""), -99991.5}) {
        std::int16_t status = 53;
        status_from_sentinel(other, status);
        EXPECT_EQ(status, 53) << other;
    }
}

using Percentages = std::array<double, kComponentCount>;
using enum ExternalPosition;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Input {
    Percentages c = test::pipeline_gas().external();
    double p = 5.0, T = 300.0;

    double& operator[](ExternalPosition e) { return c[index(e)]; }
    double operator[](ExternalPosition e) const { return c[index(e)]; }
};

int run_check(const Input& in, std::int16_t range_set) {
    std::int16_t status = 12345;
    check_input(in.c.data(), in.p, in.T, range_set, status);
    return status;
}

// Moves `amount` mol-% from methane to component `e`, keeping the sum at 100.
Input with(ExternalPosition e, double amount, Input in = {}) {
    in[e] += amount;
    in[CH4] -= amount;
    return in;
}

Input only(ExternalPosition e, double amount) {
    Input in{.c = {}};
    in[e] = amount;
    return in;
}

// The precedence include/ngtherm.h documents, strongest first.
std::vector<int> documented_precedence() {
    const std::string block = test::header_block("the strongest code wins:");
    const std::regex number(R"(\d+)");
    std::vector<int> codes;
    for (std::sregex_iterator m(block.begin(), block.end(), number), end; m != end; ++m) codes.push_back(std::stoi(m->str()));
    return codes;
}

bool violated(int code, const Input& in, int rs) {
    const bool set1 = rs == 1;
    double sum = 0.0;
    for (double v : in.c) sum += v;
    switch (code) {
        case 53: for (double v : in.c) if (!(v >= 0.0) || std::isinf(v)) return true; return false;
        case 54: return !(std::fabs(sum - 100.0) < 1e-4);
        case 55: return !(in.T > 60.0 && in.T <= 2000.0);
        case 56: return !(in.p > 0.0 && in.p <= 1000.0);
        case 180: return rs < 0;
    }
    if (rs < 1) return false;
    switch (code) {
        case 101: return in[CH4] < (set1 ? 45.0 : 0.0);
        case 102: return in[N2] > (set1 ? 50.0 : 100.0);
        case 103: return in[CO2] > (set1 ? 30.0 : 100.0);
        case 104: return in[C2H6] > (set1 ? 20.0 : 100.0);
        case 105: return in[C3H8] > (set1 ? 10.0 : 100.0);
        case 110: return in[nC6] > double{0.2f};
        case 111: return in[nC7] > double{0.05f};
        case 115: return in[He] > double{0.2f};
        case 117: return in[H2] > 10.0;
        case 119: return in[CO] > 3.0;
        case 120: return in[H2O] > double{0.02f};
        case 171: return in[nC4] + in[iC4] > 3.0;
        case 172: return in[nC5] + in[iC5] > 0.5;
        case 173: return in[nC8] + in[nC9] + in[nC10] > double{0.05f};
        case 170: return in[Ar] + in[O2] + in[H2S] + in[nC9] + in[nC10] > double{0.1f};
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

// Violations far beyond a limit, then each limit and the nearest value on its
// other side; the first leaves the input alone.
std::vector<Perturbation> perturbations() {
    const auto p = [](double v) -> Perturbation { return [=](Input& in) { in.p = v; }; };
    const auto T = [](double v) -> Perturbation { return [=](Input& in) { in.T = v; }; };
    const auto set = [](ExternalPosition e, double v) -> Perturbation { return [=](Input& in) { in[e] = v; }; };
    const auto move = [](ExternalPosition e, double amount) -> Perturbation {
        return [=](Input& in) { in = with(e, amount, in); };
    };
    const auto gas = [](const Input& g) -> Perturbation { return [=](Input& in) { in.c = g.c; }; };
    Input methane_45 = only(CH4, 45.0);
    methane_45[N2] = 50.0;
    methane_45[CO2] = 5.0;
    // Group 170 sums five components, 173 three.
    const Input argon_group = with(Ar, 0.03, with(O2, 0.03, with(H2S, 0.03, with(nC9, 0.01))));
    const Input octanes = with(nC8, 0.02, with(nC9, 0.02));
    return {
        [](Input&) {},
        p(2000.0), p(35.0), p(0.0), p(kNaN), T(50.0), T(500.0), T(800.0), T(kInf),
        set(nC5, -0.5), set(H2S, kNaN), set(H2O, kInf), [](Input& in) { in[CH4] += 1.0; },
        move(N2, 48.0), move(CO2, 29.0), move(C2H6, 17.0), move(C3H8, 10.0), move(nC6, 0.3), move(nC7, 0.06),
        move(He, 0.3), move(H2, 11.0), move(CO, 4.0), move(H2O, 0.03), move(Ar, 0.2), move(nC8, 0.06),
        move(nC5, 0.6), move(nC4, 3.5), move(O2, 0.05), move(H2S, 0.08), move(C3H8, 50.0),
        p(1000.0), p(std::nextafter(1000.0, 2e3)), p(5e-324), p(30.0), p(30.000001), p(70.0), p(70.000001),
        T(2000.0), T(std::nextafter(2000.0, 3e3)), T(60.0), T(std::nextafter(60.0, 1e2)), T(250.0),
        T(std::nextafter(250.0, 0.0)), T(450.0), T(std::nextafter(450.0, 1e3)), T(700.0), T(700.001),
        gas(only(CH4, 100.00009)), gas(only(CH4, 100.0001)), gas(only(CH4, 99.9999)), gas(only(N2, 100.0)),
        gas(with(N2, 47.0, with(C2H6, -4.0))), gas(with(N2, 48.0, with(C2H6, -4.0))),
        gas(methane_45), gas(with(CO2, 0.0001, methane_45)), move(CO, 3.0), move(CO, 3.1),
        // 0.2, 0.1, 0.05 and 0.02 are the nearest floats, widened.
        move(He, 0.2000000029), move(He, 0.2000000030), move(nC6, 0.2000000029), move(nC6, 0.2000000030),
        move(nC7, 0.05000000074), move(nC7, 0.05000000075), move(nC10, 0.05000000074), move(nC10, 0.05000000075),
        move(O2, 0.1000000014), move(O2, 0.1000000015), move(H2O, 0.01999999955), move(H2O, 0.01999999956),
        gas(argon_group), gas(with(nC10, 0.002, argon_group)), gas(octanes), gas(with(nC10, 0.02, octanes)),
        gas(with(nC5, 0.25, with(iC5, 0.25))), gas(with(nC5, 0.3, with(iC5, 0.3))),
        gas(with(nC4, 1.5, with(iC4, 1.5))), gas(with(nC4, 1.6, with(iC4, 1.6))),
    };
}

TEST(CheckInput, EachLimitAndTheStrongestDocumentedViolationHoldInEveryCombinationOfUpToThree) {
    ASSERT_EQ(documented_precedence().size(), 22u);
    const std::vector<Perturbation> all = perturbations();
    const int count = static_cast<int>(all.size());
    int checked = 0;
    for (int a = -1; a < count; ++a) {
        for (int b = a + 1; b < count; ++b) {
            for (int c = b + 1; c <= count; ++c) {
                Input in;
                for (int k : {a, b, c}) if (k >= 0 && k < count) all[k](in);
                for (std::int16_t rs : {-1, 0, 1, 2, 5}) {
                    ++checked;
                    ASSERT_EQ(run_check(in, rs), expected_status(in, rs))
                        << "perturbations " << a << ", " << b << ", " << c << ", range set " << rs;
                }
            }
        }
    }
    EXPECT_GT(checked, 10000);
}

}  // namespace
}  // namespace ngtherm::api
