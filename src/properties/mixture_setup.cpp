#include "properties/mixture_setup.hpp"

#include <cmath>

#include "model/gerg_data.hpp"
#include "model/sentinels.hpp"
#include "properties/phase_formulas.hpp"

namespace ngtherm::properties {
namespace {

bool fraction_admitted(double x) { return x >= 0.0 && x <= 1.0; }

bool in_closed_range(double value, double lo, double hi) { return value >= lo && value <= hi; }

void fail(MixtureSetup& setup, MixtureError error, double sentinel) {
    setup.error = error;
    setup.sentinel = sentinel;
}

// Gathers the active components; false when a fraction is not admitted, with
// the setup holding what was gathered before it.
bool gather_active(const Composition& x, MixtureSetup& setup, double& sum) {
    for (int i = 0; i < kComponentCount; ++i) {
        if (!fraction_admitted(x[i])) return false;
        if (x[i] >= kMinActiveFraction) {
            setup.list[setup.n] = i;
            setup.x[setup.n] = x[i];
            ++setup.n;
            sum += x[i];
            setup.M += model::kComponents[i].molar_mass * x[i];
        }
    }
    return true;
}

}  // namespace

MixtureSetup set_mixture(double T, double p, const Composition& x) {
    MixtureSetup setup;
    double sum = 0.0;
    if (!gather_active(x, setup, sum)) {
        fail(setup, MixtureError::fraction, kSentinelBadFraction);
    } else if (!(std::fabs(1.0 - sum) <= kFractionSumTolerance)) {
        fail(setup, MixtureError::sum, kSentinelFractionSum);
    } else if (!in_closed_range(T, kStateTemperatureMin, kStateTemperatureMax)) {
        fail(setup, MixtureError::temperature, kSentinelTemperatureRange);
    } else if (!in_closed_range(p, kStatePressureMin, kStatePressureMax)) {
        fail(setup, MixtureError::pressure, kSentinelPressureRange);
    }
    return setup;
}

double gas_constant(Basis basis, double M) {
    return basis == Basis::molar ? kRMolar : model::kR / M;
}

}  // namespace ngtherm::properties
