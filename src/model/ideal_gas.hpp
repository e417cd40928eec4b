// Ideal-gas part: enthalpy, entropy and isobaric heat capacity of the ideal gas
// from the heat-capacity correlations, with integration constants that make
// h0 = 0 and s0 = 0 for every pure ideal gas at 298.15 K and 0.101325 MPa.
#pragma once

#include <array>

#include "model/active_set.hpp"
#include "model/phase_record.hpp"

namespace ngtherm::model {

// One hyperbolic term of a heat-capacity correlation: a (theta/T)^2 / sinh^2(theta/T)
// or a (theta/T)^2 / cosh^2(theta/T).
struct Hyperbolic {
    double a = 0;
    double theta = 0;  // K; only |theta| matters
};

// The ideal-gas correlation of one component with its two integration constants:
// alpha0 = entropy_constant + enthalpy_constant / T - c0 ln T + hyperbolic terms.
struct IdealGasTerms {
    double c0 = 0;
    std::array<Hyperbolic, 2> sinh{}, cosh{};
    int sinh_count = 0, cosh_count = 0;
    double enthalpy_constant = 0;  // K
    double entropy_constant = 0;
};

// The correlation of model component `component`, integration constants zero.
IdealGasTerms subdata(int component);

// Derives the integration constants of `terms` in place (h0(T0) = 0 and
// alpha0(T0, rho0) = -1).
void derive_integration_constants(IdealGasTerms& terms);

// One component at T: cp' = r C(T), h' = r H(T) [K], G = 1 - ln R + r Gamma(T).
struct IdealComponentValues {
    double cp, h, G;
};
IdealComponentValues fnullp(const IdealGasTerms& terms, double T);
IdealComponentValues fnullp(const IdealGasTerms& terms, double T, double lnT);  // lnT = ln T

// The terms of model component `i` with their derived constants (built once).
const IdealGasTerms& ideal_terms(int i);

// Mixture ideal-gas values at T for the active fractions x (not renormalised):
// h0/R [K], s0/R at 1 MPa without the mixing term, cp0/R.
struct IdealMix {
    double h, s, cp;
};
IdealMix idealmix(const ActiveSet& set, const double* x, double T);

// The active components' values at one temperature, for several compositions
// at that temperature (the phases of a split and their feed): the correlations
// are summed once.
struct IdealComponents {
    double T = 0, lnT = 0;
    std::array<IdealComponentValues, kComponentCount> values{};
};
void ideal_components(const ActiveSet& set, double T, IdealComponents& out);
// idealmix and ideal_part from those values, to the same bits.
IdealMix idealmix(const ActiveSet& set, const IdealComponents& components, const double* x);
IdealGasPart ideal_part(const ActiveSet& set, const IdealComponents& components, const double* x, double p);

// The mixing term sum x_i ln x_i over the n fractions x (zero fractions add nothing).
double mixing_term(int n, const double* x);

// The ideal-gas part of a phase of composition x (active order, summing to 1)
// at (T, p), with the pressure and mixing terms.
IdealGasPart ideal_part(const ActiveSet& set, const double* x, double T, double p);

}  // namespace ngtherm::model
