// The mixture state evaluator: one phase of known composition at given T and p.
// It finds the density (Peng-Robinson start values and a guided search on the
// GERG-2008 surface), and returns Z, the phase flag, the residual property
// record and, on request, the fugacity set.
#pragma once

#include <array>

#include "model/active_set.hpp"
#include "model/term_series.hpp"

namespace ngtherm::model {

// Root preference of the density search.
inline constexpr int kRootLiquid = 1;
inline constexpr int kRootVapour = -1;
inline constexpr int kRootStable = 0;  // both roots, lower residual Gibbs energy wins

// What a call of mixstate computes besides density, Z and the phase flag.
struct MixRequest {
    int fugacity = 0;        // 0 none, 1 ln phi, 2 ln phi and the composition matrix
    int tp_derivatives = 0;  // 0 none, 1 first order, 2 also second order
};

// Residual property record, slots 1 to 16 (index 0 unused).
//  3 h_r/R [K]            4 s_r/R at T, p       5 cp_r/R
//  6 1/p - (dV'/dT)_p     7 V' - T (dV'/dT)_p   8 (dp/dV')_T [MPa^2/K]
//  9 (dV'/dT)_p [1/MPa]  10 slot 8 / T         11 (dp/dT)_rho [MPa/K]
// 12 cv_r/R              16 molar mass [kg/mol]
// 13 to 15 belong to the caller (the ideal-gas values of the phase); 1 and 2 are unused.
struct ResidualRecord {
    std::array<double, 17> slot{};
    double& operator[](int i) { return slot[i]; }
    double operator[](int i) const { return slot[i]; }
};

// Fugacity set of one phase, by active position.
struct FugacitySet {
    Vector lnphi{};     // ln phi_i
    Vector dlnphidT{};  // d ln phi_i / dT at constant p and amounts, 1/K
    Vector dlnphidp{};  // d ln phi_i / dp at constant T and amounts, 1/MPa
    Matrix dlnphidn{};  // n d ln phi_i / d n_j at constant T and p, symmetric
};

// Everything of a composition that the evaluation needs and that does not
// depend on T or p. Rebuilt for each new composition without allocation.
struct CompositionState {
    Vector x{};        // fractions normalised to sum 1
    double T_r = 0;    // reducing temperature, K
    double rho_r = 0;  // reducing density, mol/dm3
    double molar_mass = 0;  // kg/mol
    double pr_b = 0;   // Peng-Robinson co-volume b = sum x_i b_i, dm3/mol
    Vector dT_r{}, drho_r{};  // composition derivatives of T_r and rho_r
    SeriesCoefficients series;
};

// Normalises x (n fractions in active order) and prepares the composition.
void prepare_composition(const ActiveSet& set, const double* x, CompositionState& c);

// Density-search status: 0 found; 1 lower bound not stable after 50 steps;
// 2 upper bound not stable; 3 pressure below 1e-10 at both bounds; 4 bracket
// shape test failed twice; 5 start not stable; 6 no root in the scan.
// 7: no density at all (the fallback found none either); 8: invalid T or p.
inline constexpr int kDensityNotFound = 7;
inline constexpr int kDensityBadInput = 8;

struct MixResult {
    double rho = 0;     // mol/dm3
    double Z = 0;
    int phase_flag = 0;
    int search_status = 0;  // status of the guided search (fallback taken when non-zero)
    int status = 0;         // 0 usable result, kDensityNotFound, kDensityBadInput
    double other_rho = 0;   // the other candidate root of a two-candidate search
    double delta = 0, tau = 0;
    HelmholtzDerivs ar;     // residual Helmholtz derivatives at the result
    bool ok() const { return status == 0; }
};

// Evaluates a prepared composition. `fug` may be null when request.fugacity is 0.
MixResult mixstate(const ActiveSet& set, const CompositionState& comp, MixRequest request,
                   int root, double T, double p, FugacitySet* fug, ResidualRecord& rec);

// Prepares `x` into `scratch` and evaluates it.
MixResult mixstate(const ActiveSet& set, CompositionState& scratch, MixRequest request, int root,
                   double T, double p, const double* x, FugacitySet* fug, ResidualRecord& rec);

// Pressure [MPa] of a prepared composition at (T, rho): used by tests and tools.
double pressure(const ActiveSet& set, const CompositionState& comp, double T, double rho);

}  // namespace ngtherm::model
