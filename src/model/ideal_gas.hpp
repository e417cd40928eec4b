// Ideal-gas part: enthalpy, entropy and isobaric heat capacity of the ideal gas
// from the heat-capacity correlations, with integration constants that make
// h0 = 0 and s0 = 0 for every pure ideal gas at 298.15 K and 0.101325 MPa.
#pragma once

#include <array>

#include "model/active_set.hpp"
#include "model/phase_record.hpp"

namespace ngtherm::model {

// Coefficient record of one component (polynomial terms first, then sinh terms,
// then cosh terms). a[0] is the entropy constant, a[1] the enthalpy constant.
struct FnicRecord {
    double fallback = 0;  // takes the enthalpy constant if no term of exponent 1 exists
    double c0 = 0;
    std::array<double, 6> a{};
    std::array<double, 6> e{};  // polynomial: exponent of tau; hyperbolic: theta in K
    double T_red = 1.0, rho_red = 1.0, R_star = kRStar;
    int npol = 2, nterm = 2;
    int sinh_count = 0;  // terms npol .. npol+sinh_count-1 are sinh terms, the rest cosh
};

// The record for an 8-character component label; an unknown label writes its
// message and stops the process.
FnicRecord subdata(const char* label);

// Derives the integration constants of `record` in place (h0(T0) = 0 and
// alpha0(T0, rho0) = -1).
void derive_integration_constants(FnicRecord& record);

// One component at T: cp' = r C(T), h' = r H(T) [K], G = 1 - ln R + r Gamma(T).
struct IdealComponentValues {
    double cp, h, G;
};
IdealComponentValues fnullp(const FnicRecord& record, double T);
IdealComponentValues fnullp(const FnicRecord& record, double T, double lnT);  // lnT = ln T

// The record of model component `i` with its derived constants (built once).
const FnicRecord& ideal_record(int i);

// Mixture ideal-gas values at T for the active fractions x (not renormalised):
// h0/R [K], s0/R at 1 MPa without the mixing term, cp0/R.
struct IdealMix {
    double h, s, cp;
};
IdealMix idealmix(const ActiveSet& set, const double* x, double T);

// The mixing term sum x_i ln x_i over the n fractions x (zero fractions add nothing).
double mixing_term(int n, const double* x);

// The ideal-gas part of a phase of composition x (active order, summing to 1)
// at (T, p), with the pressure and mixing terms.
IdealGasPart ideal_part(const ActiveSet& set, const double* x, double T, double p);

}  // namespace ngtherm::model
