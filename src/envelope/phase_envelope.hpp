// The phase-envelope operation behind the C export `phase` and the public
// phase_envelope: checks of the trace parameters, the composition set-up, the
// tabulation grids with the caller's temperature and pressure merged in, the
// trace, the layout of the 200 x 24 envelope table and the points behind the
// eight characteristic values.
#pragma once

#include <array>
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

// The first failing check in the order p_min, p_max, T_min, initial step,
// beta gives its sentinel; 0 when all hold.
double check_trace_parameters(const TraceSettings& settings);

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
    TraceSettings settings;  // trace parameters, tabulations and tuning
};

struct EnvelopeRun {
    double sentinel = 0.0;  // 0, or the sentinel that replaces the whole envelope
    EnvelopeOutcome outcome = EnvelopeOutcome::failed;
    int count = 0;  // points of work.tracer that make up the envelope
};

// Checks the parameters, sets up the mixture, builds the active set and
// traces; the points stay in work.tracer.
EnvelopeRun run_envelope(PhaseWork& work, const EnvelopeRequest& request);

// Crossings of the caller's temperature or pressure: how many, and the
// highest and lowest value of the other variable at them.
struct Crossings {
    int count = 0;
    double highest = 0.0, lowest = 0.0;
    void add(double v);
};

// The points behind the characteristic values of an envelope: the highest
// temperature maximum and the highest pressure maximum of the line; of
// several critical points the later one.
struct CharacteristicPoints {
    Crossings at_caller_pressure;     // temperatures, K
    Crossings at_caller_temperature;  // pressures, MPa
    bool cricondentherm_found = false;
    double cricondentherm_T = 0.0;  // K
    bool cricondenbar_found = false;
    double cricondenbar_p = 0.0;  // MPa
    bool critical_found = false;
    double critical_T = 0.0, critical_p = 0.0;  // K, MPa
};

CharacteristicPoints characteristic_points(std::span<const TracePoint> points);

}  // namespace ngtherm::envelope
