#include "api/check_input.hpp"

#include <array>
#include <cmath>

#include "api/composition.hpp"
#include "api/status_codes.hpp"

namespace ngtherm::api {
namespace {

using enum ExternalPosition;

// A limit on one component.
struct ComponentLimit {
    ExternalPosition position;
    std::int16_t code;
};

// Tested in this order, each later hit overwriting an earlier one, so that the
// first entries are the weakest codes: water, carbon monoxide, hydrogen, helium,
// n-heptane, n-hexane, propane, ethane, carbon dioxide, nitrogen.
constexpr std::array<ComponentLimit, 10> kComponentLimits{{
    {H2O, 120}, {CO, 119}, {H2, 117}, {He, 115}, {nC7, 111},
    {nC6, 110}, {C3H8, 105}, {C2H6, 104}, {CO2, 103}, {N2, 102},
}};

// A limit on the sum of a group of components, summed in the listed order.
struct GroupLimit {
    std::array<ExternalPosition, 5> positions;
    int count;
    double limit;  // mol-%, the same in both range sets
    std::int16_t code;
};

// argon + oxygen + hydrogen sulphide + n-nonane + n-decane; n-octane + n-nonane
// + n-decane; the pentanes; the butanes (weakest first, as above).
constexpr std::array<GroupLimit, 4> kGroupLimits{{
    {{Ar, O2, H2S, nC9, nC10}, 5, kLimitFloat0p1, 170},
    {{nC8, nC9, nC10}, 3, kLimitFloat0p05, 173},
    {{nC5, iC5}, 2, 0.5, 172},
    {{nC4, iC4}, 2, 3.0, 171},
}};

constexpr std::int16_t kMethaneCode = 101;

struct RangeLimits {
    double p_max;        // MPa
    double T_min;        // K
    double T_max;        // K
    std::array<double, kComponentLimits.size()> component_max;  // mol-%, as kComponentLimits
    double methane_min;  // mol-%
};

constexpr std::array<RangeLimits, 2> kRangeSets{{
    {30.0, 250.0, 450.0,
     {kLimitFloat0p02, 3.0, 10.0, kLimitFloat0p2, kLimitFloat0p05, kLimitFloat0p2, 10.0, 20.0,
      30.0, 50.0},
     45.0},
    {70.0, 60.0, 700.0,
     {kLimitFloat0p02, 3.0, 10.0, kLimitFloat0p2, kLimitFloat0p05, kLimitFloat0p2, 100.0, 100.0,
      100.0, 100.0},
     0.0},
}};

double group_sum(const double* composition, const GroupLimit& group) {
    double sum = 0.0;
    for (int k = 0; k < group.count; ++k) sum += composition[index(group.positions[k])];
    return sum;
}

// The limits of one range set. Comparisons are strict and a NaN never hits:
// not-finite input is caught by the general limits, which take precedence.
std::int16_t range_set_code(const double* composition, double p, double T,
                            const RangeLimits& limits) {
    std::int16_t code = p > limits.p_max ? kStatusRangeSetPressure : kStatusSuccess;
    if (T < limits.T_min || T > limits.T_max) code = kStatusRangeSetTemperature;
    for (const GroupLimit& group : kGroupLimits) {
        if (group_sum(composition, group) > group.limit) code = group.code;
    }
    for (std::size_t k = 0; k < kComponentLimits.size(); ++k) {
        if (composition[index(kComponentLimits[k].position)] > limits.component_max[k]) {
            code = kComponentLimits[k].code;
        }
    }
    if (composition[index(CH4)] < limits.methane_min) code = kMethaneCode;
    return code;
}

// The code before the general limits: -1 for range set 0, the range-set code
// otherwise. Rewrites a range set above the highest one.
std::int16_t range_code(const double* composition, double p, double T, std::int16_t& range_set) {
    if (range_set == 0) return kStatusSuccessUnchecked;
    if (range_set < 0) return kStatusNegativeRangeSet;
    if (range_set > kMaxRangeSet) range_set = kMaxRangeSet;
    return range_set_code(composition, p, T, kRangeSets[range_set - 1]);
}

// Negated comparisons so that NaN fails.
bool pressure_admitted(double p) { return p > 0.0 && p <= kPressureMax; }
bool temperature_admitted(double T) { return T > kTemperatureMin && T <= kTemperatureMax; }
bool percentage_admitted(double x) { return x >= 0.0 && std::isfinite(x); }

}  // namespace

void check_input(const double* composition, double p, double T, std::int16_t& range_set,
                 std::int16_t& status) {
    std::int16_t code = range_code(composition, p, T, range_set);
    if (!pressure_admitted(p)) code = kStatusBadPressure;
    if (!temperature_admitted(T)) code = kStatusBadTemperature;
    double sum = 0.0;
    for (int e = 0; e < kComponentCount; ++e) {
        if (!percentage_admitted(composition[e])) {
            status = kStatusBadFraction;
            return;
        }
        sum += composition[e];
    }
    if (std::fabs(sum - kPercentSum) >= kPercentSumTolerance) code = kStatusBadSum;
    status = code;
}

void status_from_sentinel(double value, std::int16_t& status) {
    for (const SentinelCode& entry : kSentinelCodes) {
        if (value == entry.sentinel) {
            status = entry.code;
            return;
        }
    }
}

}  // namespace ngtherm::api
