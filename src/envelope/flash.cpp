#include "envelope/flash.hpp"

#include <algorithm>
#include <array>

#include "api/check_input.hpp"
#include "api/composition.hpp"
#include "properties/mixture_setup.hpp"
#include "api/status_codes.hpp"
#include "api/workspace.hpp"
#include "equilibrium/solver_constants.hpp"
#include "properties/property_routines.hpp"

namespace ngtherm::envelope {
namespace {

constexpr double kPercent = 100.0;
constexpr double kGramsPerKilogram = 1000.0;
// What a calculation that ends in an unexpected exception (in practice,
// memory exhaustion) reports: a failed split, the closest documented outcome.
constexpr double kSentinelUnexpected = kSentinelSplitFailed;

void fail(double sentinel, FlashValues& v) {
    v.beta = sentinel;
    v.x.fill(sentinel);
    v.y.fill(sentinel);
}

// g/mol of model-order fractions.
double molar_mass(const Composition& x) {
    double M = 0.0;
    for (int m = 0; m < kComponentCount; ++m) M += x[m] * component_molar_mass(m);
    return M * kGramsPerKilogram;
}

void write_results(const FlashValues& v, double* results, double* liquid, double* vapour) {
    results[0] = v.beta;
    results[1] = 1.0 - results[0];
    results[2] = v.liquid_content;
    for (int e = 0; e < kComponentCount; ++e) {
        liquid[e] = kPercent * v.x[api::kExternalToModel[e]];
        vapour[e] = kPercent * v.y[api::kExternalToModel[e]];
    }
}

std::int16_t flash_status(const FlashValues& v, std::int16_t status) {
    for (int m = 0; m < kComponentCount; ++m) {
        api::status_from_sentinel(v.x[m], status);
        api::status_from_sentinel(v.y[m], status);
    }
    return status;
}

}  // namespace

FlashValues flash_tp(equilibrium::EquilibriumSolver& solver, const Composition& x, double T,
                     double p) {
    FlashValues v;
    const properties::MixtureSetup setup = properties::set_mixture(T, p, x);
    if (setup.error != properties::MixtureError::none) {
        fail(setup.sentinel, v);
    } else {
        const equilibrium::EquilibriumResult& r =
            equilibrium::tpequil(solver, T, p, setup.n, setup.list.data(), setup.x.data());
        if (r.error != equilibrium::EquilibriumError::none) {
            fail(properties::equilibrium_sentinel(r.error), v);
        } else {
            const bool two_phase = r.two_phase();
            for (int i = 0; i < setup.n; ++i) {
                v.x[setup.list[i]] = two_phase ? r.x[i] : setup.x[i];
                v.y[setup.list[i]] = two_phase ? r.y[i] : setup.x[i];
            }
            v.beta = r.beta;
        }
    }
    // The liquid's mass fraction of the feed times the feed's normal density.
    const double M_L = molar_mass(v.x);
    const double M_F = setup.M * kGramsPerKilogram;
    const double rho_n = properties::rho_tp(solver, kNormalTemperature, kNormalPressure, x,
                                            properties::Selector::overall, properties::Basis::mass);
    v.liquid_content = M_L * (1.0 - v.beta) / M_F * kMilligramsPerKilogram * rho_n;
    return v;
}

void flash_export(const double* composition, const double* pressure, const double* temperature,
                  std::int16_t* range_set, double* results, double* liquid, double* vapour,
                  double* composition_echo, std::int16_t* status) noexcept {
    if (!composition || !pressure || !temperature || !range_set || !results || !liquid ||
        !vapour || !composition_echo || !status) {
        return;
    }
    // Inputs are read before any output is written, so aliased arguments
    // cannot change the calculation.
    std::array<double, kComponentCount> percent{};
    std::copy(composition, composition + kComponentCount, percent.begin());
    const double p = *pressure;
    const double T = *temperature;
    std::int16_t check = api::kStatusSuccess;
    api::check_input(percent.data(), p, T, *range_set, check);
    Composition x{};
    api::sort_composition(percent.data(), composition_echo, x);
    *status = check;
    if (check > 0) return;
    FlashValues v;
    try {
        v = flash_tp(api::thread_workspace().solver, x, T, p);
    } catch (...) {
        fail(kSentinelUnexpected, v);
    }
    write_results(v, results, liquid, vapour);
    *status = flash_status(v, check);
}

}  // namespace ngtherm::envelope
