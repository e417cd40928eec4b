// Sentinel values: negative integral doubles stored in place of a result that
// could not be computed. Every layer passes them upwards unchanged and the C
// exports map them to status codes; they are recognised by exact equality.
#pragma once

namespace ngtherm {

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

}  // namespace ngtherm
