// Status codes of the C exports and the sentinel values that the numerical
// layers store in place of a result they could not compute.
//
// A status code is a signed 16-bit integer: 0 success, -1 success of a
// single-property export called with range set 0, positive codes for failures.
// Codes below 190 come from the input check, 190 to 207 from sentinels (and
// 197 from the phase-envelope export directly).
//
// A sentinel is a negative integral double, passed upwards unchanged and
// recognised by exact equality. Every layer uses the named constants below
// instead of the bare values.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "model/sentinels.hpp"

namespace ngtherm::api {

// Status codes that other layers set or test by name.
inline constexpr std::int16_t kStatusSuccessUnchecked = -1;  // success, range set 0
inline constexpr std::int16_t kStatusSuccess = 0;
inline constexpr std::int16_t kStatusBadFraction = 53;
inline constexpr std::int16_t kStatusBadSum = 54;
inline constexpr std::int16_t kStatusBadTemperature = 55;
inline constexpr std::int16_t kStatusBadPressure = 56;
inline constexpr std::int16_t kStatusNegativeRangeSet = 180;
inline constexpr std::int16_t kStatusRangeSetTemperature = 181;
inline constexpr std::int16_t kStatusRangeSetPressure = 182;
inline constexpr std::int16_t kStatusNotDetermined = 197;  // envelope characteristic value

struct SentinelCode {
    double sentinel;
    std::int16_t code;
};

// Sentinel -> status code, in the order in which values are tested.
inline constexpr std::array<SentinelCode, 17> kSentinelCodes{{
    {kSentinelTemperatureRange, 190},
    {kSentinelPressureRange, 191},
    {kSentinelBadFraction, 192},
    {kSentinelFractionSum, 193},
    {kSentinelPhaseSelector, 194},
    {kSentinelBasisFlag, 195},
    {kSentinelEnvelopeMinPressure, 196},
    {kSentinelEnvelopeMaxPressure, 198},
    {kSentinelEnvelopeMinTemperature, 199},
    {kSentinelEnvelopeInitialStep, 200},
    {kSentinelEnvelopeVapourFraction, 201},
    {kSentinelSingleComponent, 202},
    {kSentinelNoSinglePhaseValue, 203},
    {kSentinelOverallUndefined, 204},
    {kSentinelNegativeSoundSquare, 205},
    {kSentinelSplitFailed, 206},
    {kSentinelTraceFailed, 207},
}};

struct StatusMeaning {
    int code;
    std::string_view meaning;
};

// Every status code the library reports, ascending, with its meaning. The
// table in include/ngtherm.h carries the same text.
std::span<const StatusMeaning> status_meanings();

// The meaning of a status code; "unknown status code" for any other value.
std::string_view status_meaning(int code);

}  // namespace ngtherm::api
