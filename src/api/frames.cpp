#include "api/frames.hpp"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <memory>
#include <optional>

#include "api/check_input.hpp"
#include "api/composition.hpp"
#include "api/status_codes.hpp"
#include "api/workspace.hpp"
#include "envelope/phase_envelope.hpp"
#include "properties/flash.hpp"
#include "properties/property_routines.hpp"

namespace ngtherm::api {
namespace {

// What a calculation that ends in an unexpected exception (in practice, memory
// exhaustion) reports, per frame kind: the closest documented failure.
constexpr struct {
    double property, flash, phase;
} kSentinelUnexpected{kSentinelSplitFailed, kSentinelSplitFailed, kSentinelTraceFailed};


// Crossings of the caller's value; more than three make both values 0.
constexpr int kMaxReportedCrossings = 3;

// The inputs, read once before anything is written, so that an output
// argument that aliases an input cannot change the calculation.
struct Inputs {
    std::array<double, kComponentCount> percent{};  // the caller's mole percentages
    double p = 0.0;
    double T = 0.0;
    int selector = 0;  // property frames only; widened with sign
    Composition x{};   // model-order mole fractions, after the echo
};

bool present(std::initializer_list<const void*> arguments) {
    return std::all_of(arguments.begin(), arguments.end(), [](const void* a) { return a != nullptr; });
}

// The opening of every frame. A call with a null argument ends here without
// reading or writing anything. Otherwise the composition, pressure and
// temperature are read, `before_check` reads the frame's other inputs (and may
// reset its outputs), the input check and the echo run, and the check's status
// is returned.
template <class BeforeCheck>
std::optional<std::int16_t> open_call(std::initializer_list<const void*> arguments,
                                      const double* composition, const double* pressure,
                                      const double* temperature, std::int16_t* range_set,
                                      double* echo, Inputs& in, BeforeCheck&& before_check) {
    if (!present(arguments)) return std::nullopt;
    std::copy(composition, composition + kComponentCount, in.percent.begin());
    in.p = *pressure;
    in.T = *temperature;
    before_check();
    std::int16_t check = kStatusSuccess;
    check_input(in.percent.data(), in.p, in.T, *range_set, check);
    sort_composition(in.percent.data(), echo, in.x);
    return check;
}

std::int16_t code_of(double value) {
    std::int16_t code = kStatusSuccess;
    status_from_sentinel(value, code);
    return code;
}

// The status of K = Z / Zn: a failed Z evaluation shows through, the one at
// the caller's state first; otherwise the quotient is tested like any result.
void ratio_status(double Z, double Zn, double K, std::int16_t& status) {
    if (const std::int16_t code = code_of(Z); code != kStatusSuccess) {
        status = code;
    } else if (const std::int16_t code_n = code_of(Zn); code_n != kStatusSuccess) {
        status = code_n;
    } else {
        status_from_sentinel(K, status);
    }
}

// The caller's phase selector; a code that names no part of the state has none
// (and the value is the selector's sentinel, status 194).
std::optional<properties::Selector> selector_of(int code) {
    switch (code) {
        case 0: return properties::Selector::overall;
        case 1: return properties::Selector::liquid;
        case 2: return properties::Selector::vapour;
        default: return std::nullopt;
    }
}

// The property routine of one result slot (not K), mass basis.
double evaluate(Property property, Workspace& ws, const Inputs& r) {
    using namespace properties;
    const std::optional<Selector> selector = selector_of(r.selector);
    if (!selector) return kSentinelPhaseSelector;
    const Selector sel = *selector;
    auto& s = ws.solver;
    switch (property) {
        case Property::Z: return z_tp(s, r.T, r.p, r.x, sel);
        case Property::rho: return rho_tp(s, r.T, r.p, r.x, sel, Basis::mass);
        case Property::u: return u_tp(s, r.T, r.p, r.x, sel, Basis::mass);
        case Property::h: return h_tp(s, r.T, r.p, r.x, sel, Basis::mass);
        case Property::s: return s_tp(s, r.T, r.p, r.x, sel, Basis::mass);
        case Property::cv: return cv_tp(s, r.T, r.p, r.x, sel, Basis::mass);
        case Property::cp: return cp_tp(s, r.T, r.p, r.x, sel, Basis::mass);
        case Property::w: return w_tp(s, r.T, r.p, r.x, sel);
        case Property::kappa: return kappa_tp(s, r.T, r.p, r.x, sel);
        case Property::jt: return jt_tp(s, r.T, r.p, r.x, sel);
        case Property::K: break;
    }
    return kSentinelUnexpected.property;
}

// Z at (T, p) of the request, or at the reference state of K.
double z_at(Workspace& ws, const Inputs& r, double T, double p) {
    const std::optional<properties::Selector> selector = selector_of(r.selector);
    if (!selector) return kSentinelPhaseSelector;
    return properties::z_tp(ws.solver, T, p, r.x, *selector);
}

double reference_z(Workspace& ws, const Inputs& r) {
    Workspace::ReferenceZ& ref = ws.reference;
    if (ref.valid && ref.selector == r.selector && ref.x == r.x) return ref.Z;
    ref.Z = z_at(ws, r, kReferenceTemperature, kReferencePressure);
    ref.x = r.x;
    ref.selector = r.selector;
    ref.valid = true;
    return ref.Z;
}

double state_z(Workspace& ws, const Inputs& r) { return z_at(ws, r, r.T, r.p); }

}  // namespace

void single_property_export(Property property, const double* composition, const double* pressure,
                            const double* temperature, const std::int16_t* phase_selector,
                            std::int16_t* range_set, double* result, double* composition_echo,
                            std::int16_t* status) noexcept {
    Inputs request;
    const std::optional<std::int16_t> opened =
        open_call({composition, pressure, temperature, phase_selector, range_set, result,
                   composition_echo, status},
                  composition, pressure, temperature, range_set, composition_echo, request,
                  [&] { request.selector = *phase_selector; });
    if (!opened) return;
    const std::int16_t check = *opened;
    *status = check;
    if (check > 0) return;
    try {
        Workspace& ws = thread_workspace();
        if (property == Property::K) {
            // The reference state first, so that the cache keeps the caller's state.
            const double Zn = reference_z(ws, request);
            const double Z = state_z(ws, request);
            *result = Z / Zn;
            ratio_status(Z, Zn, *result, *status);
            return;
        }
        *result = evaluate(property, ws, request);
        status_from_sentinel(*result, *status);
    } catch (...) {
        *result = kSentinelUnexpected.property;
        *status = code_of(kSentinelUnexpected.property);
    }
}

void all_properties_export(const double* composition, const double* pressure,
                           const double* temperature, const std::int16_t* phase_selector,
                           std::int16_t* range_set, double* result, double* composition_echo,
                           std::int16_t* status) noexcept {
    Inputs request;
    const std::optional<std::int16_t> opened =
        open_call({composition, pressure, temperature, phase_selector, range_set, result,
                   composition_echo, status},
                  composition, pressure, temperature, range_set, composition_echo, request,
                  [&] { request.selector = *phase_selector; });
    if (!opened) return;
    const std::int16_t check = *opened;
    // gerg2008 reports success as 0 whatever the range set.
    std::fill(status, status + kPropertyCount, std::max(check, kStatusSuccess));
    if (check > 0) return;
    const int k_slot = static_cast<int>(Property::K);
    int filled = 0;
    double Z = 0.0, Zn = 0.0;
    try {
        Workspace& ws = thread_workspace();
        // The reference state first, so that the equilibrium cache holds the
        // caller's state, with everything the slots read, for every slot that follows.
        Zn = reference_z(ws, request);
        if (selector_of(request.selector)) properties::solve_state(ws.solver, request.T, request.p, request.x);
        Z = state_z(ws, request);
        result[0] = Z;
        filled = 1;
        result[k_slot] = Z / Zn;
        filled = k_slot + 1;
        for (; filled < kPropertyCount; ++filled) {
            result[filled] = evaluate(static_cast<Property>(filled), ws, request);
        }
    } catch (...) {
        std::fill(result + filled, result + kPropertyCount, kSentinelUnexpected.property);
    }
    for (int k = 0; k < kPropertyCount; ++k) {
        if (k == k_slot && filled > k_slot) {
            ratio_status(Z, Zn, result[k], status[k]);
        } else {
            status_from_sentinel(result[k], status[k]);
        }
    }
}

// ---- flash_tp ---------------------------------------------------------------

namespace {

void write_results(const properties::FlashValues& v, double* results, double* liquid, double* vapour) {
    results[0] = v.beta;
    results[1] = v.failed ? v.beta : 1.0 - v.beta;  // a sentinel stays a sentinel
    results[2] = v.liquid_content;
    for (int e = 0; e < kComponentCount; ++e) {
        liquid[e] = kPercent * v.x[kExternalToModel[e]];
        vapour[e] = kPercent * v.y[kExternalToModel[e]];
    }
}

std::int16_t flash_status(const properties::FlashValues& v, std::int16_t status) {
    for (int m = 0; m < kComponentCount; ++m) {
        status_from_sentinel(v.x[m], status);
        status_from_sentinel(v.y[m], status);
    }
    return status;
}

}  // namespace

void flash_export(const double* composition, const double* pressure, const double* temperature,
                  std::int16_t* range_set, double* results, double* liquid, double* vapour,
                  double* composition_echo, std::int16_t* status) noexcept {
    Inputs in;
    const std::optional<std::int16_t> opened =
        open_call({composition, pressure, temperature, range_set, results, liquid, vapour,
                   composition_echo, status},
                  composition, pressure, temperature, range_set, composition_echo, in, [] {});
    if (!opened) return;
    const std::int16_t check = *opened;
    *status = check;
    if (check > 0) return;
    properties::FlashValues v;
    try {
        v = properties::flash_tp(thread_workspace().solver, in.x, in.T, in.p);
    } catch (...) {
        properties::fail(kSentinelUnexpected.flash, v);
    }
    write_results(v, results, liquid, vapour);
    *status = flash_status(v, check);
}

// ---- phase ------------------------------------------------------------------

namespace {

using envelope::kColumnFirstFraction;
using envelope::kColumnP;
using envelope::kColumnT;
using envelope::kColumnType;
using envelope::kEnvelopePoints;
using envelope::kReportedComponents;
using envelope::kTableColumns;

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
void fill_table(const model::ActiveSet& set, std::span<const envelope::TracePoint> points, double* table) {
    const int count = static_cast<int>(points.size());
    for (int row = 0; row < count; ++row) {
        const envelope::TracePoint& point = points[row];
        cell(table, row, kColumnT) = point.T;
        cell(table, row, kColumnP) = point.p;
        cell(table, row, kColumnType) = static_cast<int>(point.type);
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
void compute_envelope(const envelope::EnvelopeRequest& request, double* table, std::int32_t* point_count,
                      double* characteristic, std::int16_t* status) {
    const auto work = std::make_unique<envelope::PhaseWork>();
    const envelope::EnvelopeRun run = envelope::run_envelope(*work, request);
    if (run.sentinel != 0.0) {
        fill_sentinel_table(run.sentinel, table);
        *point_count = kEnvelopePoints;
        write_values(characteristic_values({}), characteristic, status);
        return;
    }
    const auto points = work->tracer.points().first(run.count);
    fill_table(work->set, points, table);
    *point_count = run.count;
    write_values(characteristic_values(envelope::characteristic_points(points)), characteristic, status);
}

void report_crossings(const envelope::Crossings& c, Characteristic highest, Characteristic lowest,
                      CharacteristicValues& out) {
    if (c.count == 0) {
        out.status[static_cast<int>(highest)] = out.status[static_cast<int>(lowest)] = kStatusNotDetermined;
    } else if (c.count <= kMaxReportedCrossings) {
        out[highest] = c.highest;
        out[lowest] = c.lowest;
    }
}

}  // namespace

CharacteristicValues characteristic_values(const envelope::CharacteristicPoints& points) {
    CharacteristicValues out;
    if (points.critical_found) {
        out[Characteristic::critical_T] = points.critical_T;
        out[Characteristic::critical_p] = points.critical_p;
    }
    if (points.cricondentherm_found) out[Characteristic::cricondentherm_T] = points.cricondentherm_T;
    if (points.cricondenbar_found) out[Characteristic::cricondenbar_p] = points.cricondenbar_p;
    report_crossings(points.at_caller_pressure, Characteristic::T_sat_max_at_p, Characteristic::T_sat_min_at_p, out);
    report_crossings(points.at_caller_temperature, Characteristic::p_sat_max_at_T, Characteristic::p_sat_min_at_T,
                     out);
    for (int k = 0; k < kCharacteristicValueCount; ++k) status_from_sentinel(out.value[k], out.status[k]);
    return out;
}

void phase_export(const double* composition, const double* pressure, const double* temperature,
                  const double* p_min, const double* p_max, const double* T_min,
                  const double* initial_step, const double* vapour_fraction,
                  std::int16_t* range_set, double* envelope, std::int32_t* point_count,
                  double* characteristic, double* composition_echo, std::int16_t* status) noexcept {
    Inputs in;
    envelope::EnvelopeRequest request;
    const auto read_trace_and_reset = [&] {
        envelope::TraceSettings& t = request.settings;
        t.p_min = *p_min;
        t.p_max = *p_max;
        t.T_min = *T_min;
        t.initial_step = *initial_step;
        t.beta = *vapour_fraction;
        *point_count = 0;
        std::fill(characteristic, characteristic + kCharacteristicValueCount, 0.0);
        std::fill(status, status + kCharacteristicValueCount, kStatusSuccess);
        std::fill(envelope, envelope + envelope::kTableSize, 0.0);
    };
    const std::optional<std::int16_t> opened =
        open_call({composition, pressure, temperature, p_min, p_max, T_min, initial_step,
                   vapour_fraction, range_set, envelope, point_count, characteristic,
                   composition_echo, status},
                  composition, pressure, temperature, range_set, composition_echo, in,
                  read_trace_and_reset);
    if (!opened) return;
    const std::int16_t check = *opened;
    if (check > 0) {
        std::fill(status, status + kCharacteristicValueCount, check);
        return;
    }
    request.x = in.x;
    request.T = in.T;
    request.p = in.p;
    try {
        request.settings.temperatures = envelope::merge_tabulation(envelope::kTabulationTemperatures, request.T);
        request.settings.pressures = envelope::merge_tabulation(envelope::kTabulationPressures, request.p);
        compute_envelope(request, envelope, point_count, characteristic, status);
    } catch (...) {
        fill_sentinel_table(kSentinelUnexpected.phase, envelope);
        *point_count = kEnvelopePoints;
        write_values(characteristic_values({}), characteristic, status);
    }
}

}  // namespace ngtherm::api
