#include "properties/flash.hpp"

#include "equilibrium/solver_constants.hpp"
#include "properties/mixture_setup.hpp"
#include "properties/property_routines.hpp"

namespace ngtherm::properties {
namespace {

constexpr double kGramsPerKilogram = 1000.0;

// g/mol of model-order fractions.
double molar_mass(const Composition& x) {
    double M = 0.0;
    for (int m = 0; m < kComponentCount; ++m) M += x[m] * component_molar_mass(m);
    return M * kGramsPerKilogram;
}

}  // namespace

void fail(double sentinel, FlashValues& v) {
    v.failed = true;
    v.beta = sentinel;
    v.liquid_content = sentinel;
    v.x.fill(sentinel);
    v.y.fill(sentinel);
}

FlashValues flash_tp(equilibrium::EquilibriumSolver& solver, const Composition& x, double T,
                     double p) {
    FlashValues v;
    const MixtureSetup setup = set_mixture(T, p, x);
    if (setup.error != MixtureError::none) {
        fail(setup.sentinel, v);
    } else {
        const equilibrium::EquilibriumResult& r =
            equilibrium::tpequil(solver, T, p, setup.n, setup.list.data(), setup.x.data(),
                                 equilibrium::Detail::volumetric);
        if (r.error != equilibrium::EquilibriumError::none) {
            fail(equilibrium_sentinel(r.error), v);
        } else {
            const bool two_phase = r.two_phase();
            for (int i = 0; i < setup.n; ++i) {
                v.x[setup.list[i]] = two_phase ? r.x[i] : setup.x[i];
                v.y[setup.list[i]] = two_phase ? r.y[i] : setup.x[i];
            }
            v.beta = r.beta;
        }
    }
    if (v.failed) return v;
    // The liquid's mass fraction of the feed times the feed's normal density.
    const double M_L = molar_mass(v.x);
    const double M_F = setup.M * kGramsPerKilogram;
    const double rho_n =
        rho_tp(solver, kNormalTemperature, kNormalPressure, x, Selector::overall, Basis::mass);
    if (!(rho_n > 0.0)) {
        fail(rho_n, v);  // the normal density's own sentinel
        return v;
    }
    v.liquid_content = M_L * (1.0 - v.beta) / M_F * kMilligramsPerKilogram * rho_n;
    return v;
}

}  // namespace ngtherm::properties
