// The frame of the C export `phase`: input check, composition echo, the
// envelope calculation inside one guard, and the table and characteristic
// values written from its result.
#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>

#include "api/check_input.hpp"
#include "api/composition.hpp"
#include "api/status_codes.hpp"
#include "envelope/phase_envelope.hpp"

namespace ngtherm::envelope {
namespace {

// What a calculation that ends in an unexpected exception (in practice,
// memory exhaustion) reports: a failed trace, the closest documented outcome.
constexpr double kSentinelUnexpected = kSentinelTraceFailed;

double& cell(double* table, int row, int column) { return table[column * kEnvelopePoints + row]; }

// Every row holds the sentinel in the columns of T, p, type and fractions.
void fill_sentinel_table(double sentinel, double* table) {
    const double type = std::round(sentinel);  // half away from zero
    for (int row = 0; row < kEnvelopePoints; ++row) {
        cell(table, row, kColumnT) = sentinel;
        cell(table, row, kColumnP) = sentinel;
        cell(table, row, kColumnType) = type;
        for (int c = 0; c < kReportedComponents; ++c) cell(table, row, kColumnFirstFraction + c) = sentinel;
    }
}

// The points, then every row after the last one repeats it.
void fill_table(const model::ActiveSet& set, std::span<const TracePoint> points, double* table) {
    const int count = static_cast<int>(points.size());
    for (int row = 0; row < count; ++row) {
        const TracePoint& point = points[row];
        cell(table, row, kColumnT) = point.T;
        cell(table, row, kColumnP) = point.p;
        cell(table, row, kColumnType) = point.type;
        for (int i = 0; i < set.n; ++i) {
            if (set.id[i] < kReportedComponents) cell(table, row, kColumnFirstFraction + set.id[i]) = point.x[i];
        }
    }
    if (count == 0) return;
    for (int column = 0; column < kTableColumns; ++column) {
        for (int row = count; row < kEnvelopePoints; ++row) cell(table, row, column) = cell(table, count - 1, column);
    }
}

void write_values(const CharacteristicValues& values, double* characteristic, std::int16_t* status) {
    std::copy(values.value.begin(), values.value.end(), characteristic);
    std::copy(values.status.begin(), values.status.end(), status);
}

// The calculation after a passed input check.
void compute_envelope(const EnvelopeRequest& request, double* table, std::int32_t* point_count,
                      double* characteristic, std::int16_t* status) {
    const auto work = std::make_unique<PhaseWork>();
    const EnvelopeRun run = run_envelope(*work, request);
    if (run.sentinel != 0.0) {
        fill_sentinel_table(run.sentinel, table);
        *point_count = kEnvelopePoints;
        write_values(characteristic_values({}), characteristic, status);
        return;
    }
    const auto points = work->tracer.points().first(run.count);
    fill_table(work->set, points, table);
    *point_count = run.count;
    write_values(characteristic_values(points), characteristic, status);
}

bool present(std::initializer_list<const void*> pointers) {
    return std::all_of(pointers.begin(), pointers.end(), [](const void* p) { return p != nullptr; });
}

}  // namespace

void phase_export(const double* composition, const double* pressure, const double* temperature,
                  const double* p_min, const double* p_max, const double* T_min,
                  const double* initial_step, const double* vapour_fraction,
                  std::int16_t* range_set, double* envelope, std::int32_t* point_count,
                  double* characteristic, double* composition_echo, std::int16_t* status) noexcept {
    if (!present({composition, pressure, temperature, p_min, p_max, T_min, initial_step,
                  vapour_fraction, range_set, envelope, point_count, characteristic,
                  composition_echo, status})) {
        return;
    }
    // Inputs are read before any output is written, so aliased arguments
    // cannot change the calculation.
    std::array<double, kComponentCount> percent{};
    std::copy(composition, composition + kComponentCount, percent.begin());
    EnvelopeRequest request;
    request.p = *pressure;
    request.T = *temperature;
    request.parameters = {*p_min, *p_max, *T_min, *initial_step, *vapour_fraction};

    *point_count = 0;
    std::fill(characteristic, characteristic + kCharacteristicCount, 0.0);
    std::fill(status, status + kCharacteristicCount, api::kStatusSuccess);
    std::fill(envelope, envelope + kTableSize, 0.0);

    std::int16_t check = api::kStatusSuccess;
    api::check_input(percent.data(), request.p, request.T, *range_set, check);
    api::sort_composition(percent.data(), composition_echo, request.x);
    if (check > 0) {
        std::fill(status, status + kCharacteristicCount, check);
        return;
    }
    try {
        request.temperatures = merge_tabulation(kTabulationTemperatures, request.T);
        request.pressures = merge_tabulation(kTabulationPressures, request.p);
        compute_envelope(request, envelope, point_count, characteristic, status);
    } catch (...) {
        fill_sentinel_table(kSentinelUnexpected, envelope);
        *point_count = kEnvelopePoints;
        write_values(characteristic_values({}), characteristic, status);
    }
}

}  // namespace ngtherm::envelope
