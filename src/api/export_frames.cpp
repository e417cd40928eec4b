#include "api/export_frames.hpp"

#include <algorithm>
#include <optional>

#include "api/check_input.hpp"
#include "api/composition.hpp"
#include "api/status_codes.hpp"
#include "api/workspace.hpp"
#include "properties/property_routines.hpp"

namespace ngtherm::api {
namespace {

// What a calculation that ends in an unexpected exception (in practice, memory
// exhaustion) reports: a failed calculation, the closest documented outcome.
constexpr double kSentinelUnexpected = kSentinelSplitFailed;

// The inputs, read once before anything is written, so that an output
// argument that aliases an input cannot change the calculation.
struct Request {
    double p = 0.0;
    double T = 0.0;
    int selector = 0;  // widened with sign
    Composition x{};   // model-order mole fractions
};

// Runs the input check and the composition set-up: writes the echo and
// returns the check's status.
std::int16_t begin_request(const double* composition, const double* pressure,
                           const double* temperature, const std::int16_t* selector,
                           std::int16_t* range_set, double* echo, Request& request) {
    request.p = *pressure;
    request.T = *temperature;
    request.selector = *selector;
    std::int16_t check = kStatusSuccess;
    check_input(composition, request.p, request.T, *range_set, check);
    sort_composition(composition, echo, request.x);
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
double evaluate(Property property, Workspace& ws, const Request& r) {
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
    return kSentinelUnexpected;
}

double reference_z(Workspace& ws, const Request& r) {
    const std::optional<properties::Selector> selector = selector_of(r.selector);
    if (!selector) return kSentinelPhaseSelector;
    return properties::z_tp(ws.solver, kReferenceTemperature, kReferencePressure, r.x, *selector);
}

double state_z(Workspace& ws, const Request& r) {
    const std::optional<properties::Selector> selector = selector_of(r.selector);
    if (!selector) return kSentinelPhaseSelector;
    return properties::z_tp(ws.solver, r.T, r.p, r.x, *selector);
}

bool present(const void* a, const void* b, const void* c, const void* d, const void* e,
             const void* f, const void* g, const void* h) {
    return a && b && c && d && e && f && g && h;
}

// The common opening of both frames: a call with a null argument ends here
// without touching anything; otherwise the input check and the echo run.
std::optional<std::int16_t> open_request(const double* composition, const double* pressure,
                                         const double* temperature, const std::int16_t* phase_selector,
                                         std::int16_t* range_set, const double* result,
                                         double* composition_echo, const std::int16_t* status,
                                         Request& request) {
    if (!present(composition, pressure, temperature, phase_selector, range_set, result,
                 composition_echo, status)) {
        return std::nullopt;
    }
    return begin_request(composition, pressure, temperature, phase_selector, range_set,
                         composition_echo, request);
}

}  // namespace

void single_property_export(Property property, const double* composition, const double* pressure,
                            const double* temperature, const std::int16_t* phase_selector,
                            std::int16_t* range_set, double* result, double* composition_echo,
                            std::int16_t* status) noexcept {
    Request request;
    const std::optional<std::int16_t> opened = open_request(
        composition, pressure, temperature, phase_selector, range_set, result, composition_echo, status, request);
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
        *result = kSentinelUnexpected;
        *status = code_of(kSentinelUnexpected);
    }
}

void all_properties_export(const double* composition, const double* pressure,
                           const double* temperature, const std::int16_t* phase_selector,
                           std::int16_t* range_set, double* result, double* composition_echo,
                           std::int16_t* status) noexcept {
    Request request;
    const std::optional<std::int16_t> opened = open_request(
        composition, pressure, temperature, phase_selector, range_set, result, composition_echo, status, request);
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
        result[0] = state_z(ws, request);
        filled = 1;
        // Z at the caller's state again after Zn, so that the cache holds it
        // for the slots that follow.
        Zn = reference_z(ws, request);
        Z = state_z(ws, request);
        result[k_slot] = Z / Zn;
        filled = k_slot + 1;
        for (; filled < kPropertyCount; ++filled) {
            result[filled] = evaluate(static_cast<Property>(filled), ws, request);
        }
    } catch (...) {
        std::fill(result + filled, result + kPropertyCount, kSentinelUnexpected);
    }
    for (int k = 0; k < kPropertyCount; ++k) {
        if (k == k_slot && filled > k_slot) {
            ratio_status(Z, Zn, result[k], status[k]);
        } else {
            status_from_sentinel(result[k], status[k]);
        }
    }
}

}  // namespace ngtherm::api
