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

// Sentinels with a status code.
inline constexpr double kSentinelTemperatureRange = -99991.0;
inline constexpr double kSentinelPressureRange = -99992.0;
inline constexpr double kSentinelBadFraction = -99997.0;
inline constexpr double kSentinelFractionSum = -99998.0;
inline constexpr double kSentinelPhaseSelector = -99999.0;
inline constexpr double kSentinelBasisFlag = -99990.0;
inline constexpr double kSentinelEnvelopeMinPressure = -99910.0;
inline constexpr double kSentinelEnvelopeMaxPressure = -99920.0;
inline constexpr double kSentinelEnvelopeMinTemperature = -99930.0;
inline constexpr double kSentinelEnvelopeInitialStep = -99940.0;
inline constexpr double kSentinelEnvelopeVapourFraction = -99950.0;
inline constexpr double kSentinelSingleComponent = -91111.0;
inline constexpr double kSentinelNoSinglePhaseValue = -94444.0;
inline constexpr double kSentinelOverallUndefined = -95555.0;
inline constexpr double kSentinelNegativeSoundSquare = -96666.0;
inline constexpr double kSentinelSplitFailed = -97777.0;
inline constexpr double kSentinelTraceFailed = -98888.0;

// Sentinels of state-variable ranges that only other input modes than
// (T, p) produce; they have no status code.
inline constexpr double kSentinelVolumeRange = -99993.0;
inline constexpr double kSentinelEnthalpyRange = -99994.0;
inline constexpr double kSentinelEntropyRange = -99995.0;
inline constexpr double kSentinelEnergyRange = -99996.0;

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
