// The phase-envelope operation behind the C export `phase`: checks of the
// trace parameters, the composition set-up, the tabulation grids with the
// caller's temperature and pressure merged in, the trace, the 200 x 24
// envelope table and the eight characteristic values with their statuses.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "envelope/tracer.hpp"
#include "model/active_set.hpp"
#include "ngtherm/components.hpp"

namespace ngtherm::envelope {

// The envelope table: kEnvelopePoints rows, stored column by column.
inline constexpr int kTableColumns = 24;
inline constexpr int kTableSize = kEnvelopePoints * kTableColumns;
// Columns (0-based): T, p, point type, then the liquid mole fractions of the
// model components 0 .. kReportedComponents - 1; the rest stay 0.
inline constexpr int kColumnT = 0;
inline constexpr int kColumnP = 1;
inline constexpr int kColumnType = 2;
inline constexpr int kColumnFirstFraction = 3;
inline constexpr int kReportedComponents = 18;  // methane ... water

inline constexpr int kCharacteristicCount = 8;

// Fixed tabulation grids; the caller's value is merged into each.
inline constexpr std::array<double, 20> kTabulationTemperatures{
    75, 100, 125, 150, 175, 200, 225, 250, 275, 300, 325, 350, 375, 400, 425, 450, 475, 500, 525, 550};
inline constexpr std::array<double, 15> kTabulationPressures{1, 2, 3, 4, 5, 6, 7, 8, 9, 10,
                                                             12, 14, 16, 18, 20};

// Admitted ranges of the trace parameters (closed intervals).
inline constexpr double kMinPressureLow = 0.0001, kMinPressureHigh = 2.5;  // MPa
inline constexpr double kMaxPressureHigh = 1000.0;                        // MPa
inline constexpr double kMinTemperatureLow = 50.0, kMinTemperatureHigh = 550.0;  // K
inline constexpr double kInitialStepLow = 0.01, kInitialStepHigh = 1.0;
inline constexpr double kVapourFractionLow = 0.0, kVapourFractionHigh = 1.0;

struct TraceParameters {
    double p_min = 0.1;         // MPa
    double p_max = 30.0;        // MPa
    double T_min = 50.0;        // K
    double initial_step = 0.1;  // first step of the trace
    double beta = 1.0;          // molar vapour fraction of the line
};

// The first failing check in the order p_min, p_max, T_min, initial step,
// beta gives its sentinel; 0 when all hold.
double check_trace_parameters(const TraceParameters& parameters);

// A fixed grid with the caller's value placed before the first fixed value
// that is not smaller than it. Only the first fixed.size() entries are
// tabulated, so a value above the whole grid is never crossed.
Tabulation merge_tabulation(std::span<const double> fixed, double caller);
Tabulation fixed_tabulation(std::span<const double> fixed);

// Working storage of one envelope calculation.
struct PhaseWork {
    model::ActiveSet set;
    EnvelopeTracer tracer;
};

struct EnvelopeRequest {
    Composition x{};  // model-order mole fractions of the feed
    double T = 0.0, p = 0.0;  // K, MPa: state of the set-up's range test
    TraceParameters parameters;
    Tabulation temperatures, pressures;
    TracerTuning tuning;
};

struct EnvelopeRun {
    double sentinel = 0.0;  // 0, or the sentinel that replaces the whole envelope
    TraceOutcome outcome = TraceOutcome::failed;
    int count = 0;  // points of work.tracer that make up the envelope
};

// Checks the parameters, sets up the mixture, builds the active set and
// traces; the points stay in work.tracer.
EnvelopeRun run_envelope(PhaseWork& work, const EnvelopeRequest& request);

struct CharacteristicValues {
    std::array<double, kCharacteristicCount> value{};
    std::array<std::int16_t, kCharacteristicCount> status{};
};

// The eight characteristic values of the points, in order: highest and lowest
// temperature of the crossings of the caller's pressure, highest and lowest
// pressure of the crossings of the caller's temperature (K, MPa; 0 with
// status 197 when there is none, 0 with status 0 when there are more than
// three), cricondentherm temperature, cricondenbar pressure, critical
// temperature and pressure (0 with status 0 when not met; a later point of
// the same type wins). A value equal to a sentinel takes its status code.
CharacteristicValues characteristic_values(std::span<const TracePoint> points);

// The operation with the arguments of the C export `phase` (see
// include/ngtherm.h). Null pointers make it return without reading or
// writing; nothing escapes it.
void phase_export(const double* composition, const double* pressure, const double* temperature,
                  const double* p_min, const double* p_max, const double* T_min,
                  const double* initial_step, const double* vapour_fraction,
                  std::int16_t* range_set, double* envelope, std::int32_t* point_count,
                  double* characteristic, double* composition_echo, std::int16_t* status) noexcept;

}  // namespace ngtherm::envelope
