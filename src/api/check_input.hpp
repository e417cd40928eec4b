// The input check that every C export runs before any calculation, and the
// mapping of sentinel results to status codes.
#pragma once

#include <cstdint>

namespace ngtherm::api {

// General limits, checked for every range set.
inline constexpr double kPressureMax = 1000.0;     // MPa; p must be > 0 and <= this
inline constexpr double kTemperatureMin = 60.0;    // K; T must be > this
inline constexpr double kTemperatureMax = 2000.0;  // K; T must be <= this
inline constexpr double kPercentSum = 100.0;       // mol-%
inline constexpr double kPercentSumTolerance = 0.0001;  // mol-%; |sum - 100| must be below

// Composition limits of the range sets that are single-precision numbers: the
// limit is the float nearest to the decimal value, widened to double, and a
// mole percentage is compared with that exact value.
inline constexpr double kLimitFloat0p2 = 0.20000000298023223876953125;     // 0.2f
inline constexpr double kLimitFloat0p1 = 0.100000001490116119384765625;    // 0.1f
inline constexpr double kLimitFloat0p05 = 0.0500000007450580596923828125;  // 0.05f
inline constexpr double kLimitFloat0p02 = 0.0199999995529651641845703125;  // 0.02f
static_assert(kLimitFloat0p2 == static_cast<double>(0.2f) && kLimitFloat0p1 == static_cast<double>(0.1f) &&
              kLimitFloat0p05 == static_cast<double>(0.05f) && kLimitFloat0p02 == static_cast<double>(0.02f));

// Highest range set; a larger one is rewritten to it.
inline constexpr std::int16_t kMaxRangeSet = 2;

// Checks pressure p (MPa), temperature T (K) and the 21 mole percentages of
// `composition` (external order) and writes exactly one status code:
//   -1 all general limits hold and range_set is 0;
//    0 all general limits and the limits of range set 1 or 2 hold;
//   a positive code otherwise (53..56, 101..120, 170..173, 180..182).
// A range set above 2 is rewritten to 2 in the caller's variable.
//
// When several limits are violated, the strongest code wins, in this order:
// 53, 54, 55, 56, 180, 101, 102, 103, 104, 105, 110, 111, 115, 117, 119, 120,
// 171, 172, 173, 170, 181, 182.
//
// Not-finite input is bad input: a NaN or infinite pressure gives 56, such a
// temperature 55, such a mole percentage 53, each at the place of its code in
// the order above.
//
// A negative range set has no limits to check; it gives 180 in place of the
// range-set codes (so the general codes 53..56 still take precedence) and is
// left unchanged.
void check_input(const double* composition, double p, double T, std::int16_t& range_set,
                 std::int16_t& status);

// Overwrites `status` with the code of `value` when `value` equals one of the
// sentinels of kSentinelCodes; otherwise leaves it unchanged.
void status_from_sentinel(double value, std::int16_t& status);

}  // namespace ngtherm::api
