// The mixture state evaluator: one phase of known composition at given T and p.
// It finds the density (Peng-Robinson start values and a guided search on the
// GERG-2008 surface), and returns Z, the side of the root found, the residual
// properties and, on request, the fugacity set.
#pragma once

#include <limits>

#include <array>

#include "model/active_set.hpp"
#include "model/phase_record.hpp"
#include "model/term_series.hpp"

namespace ngtherm::model {

// Which density root the search takes where there is more than one.
enum class RootPreference {
    stable,  // both roots; the lower residual Gibbs energy wins
    liquid,  // the liquid-like root only
    vapour,  // the vapour-like root only
};

// Which side of the phase boundary a root lies on, by its reduced volume.
enum class Side {
    liquid_like,  // V' at most kVapourLikeCovolumes Peng-Robinson co-volumes
    vapour_like,  // V' beyond that
};

// Fugacity coefficients a call of mixstate computes.
enum class Fugacity {
    none,               // no fugacities
    ln_phi,             // ln phi_i (with their T and p derivatives on request)
    ln_phi_and_matrix,  // also n d ln phi_i / d n_j
};

// Temperature and pressure derivatives a call of mixstate computes.
enum class TpDerivatives {
    none,    // only dp/dV' and the molar mass in the record
    first,   // also h_r, s_r, dp/dT and the first derivatives of ln phi
    second,  // also cp_r, cv_r and the volume derivatives
};

// What a call of mixstate computes besides density, Z and the side.
struct MixRequest {
    Fugacity fugacity = Fugacity::none;
    TpDerivatives derivatives = TpDerivatives::none;
    // With fugacities and derivatives first or second: also the T and p
    // derivatives of ln phi. Without, the derivatives go to the record alone.
    bool ln_phi_derivatives = true;
};

// Fugacity set of one phase, by active position.
struct FugacitySet {
    Vector lnphi{};     // ln phi_i
    Vector dlnphidT{};  // d ln phi_i / dT at constant p and amounts, 1/K
    Vector dlnphidp{};  // d ln phi_i / dp at constant T and amounts, 1/MPa
    Matrix dlnphidn{};  // n d ln phi_i / d n_j at constant T and p, symmetric
};

// Where a scratch composition was last evaluated by the mixstate overload that
// prepares x: the same fractions of the same active set at the same T, p and
// root preference have the same density, so a repeat that asks for other
// derivatives (ln phi, then the matrix, of one trial phase) reuses it.
struct EvaluatedState {
    const ActiveSet* set = nullptr;  // null: nothing to reuse
    std::array<int, kComponentCount> id{};  // the set's components when evaluated
    Vector x_in{};  // the fractions as given, before normalising
    double T = 0, p = 0, rho = 0;
    double root_gap = 0;  // of the root found, as MixResult::root_gap
    double single_root_start = 0;  // as MixResult::single_root_start
    RootPreference root = RootPreference::stable;
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
    EvaluatedState last;  // cleared by prepare_composition
};

// Normalises x (n fractions in active order) and prepares the composition.
void prepare_composition(const ActiveSet& set, const double* x, CompositionState& c);

// Outcome of the density search and of mixstate.
enum class DensityStatus {
    found,                 // a root of p(rho) = p on a stable branch
    lower_bound_unstable,  // dp/drho < 0 at the lower bound after kMaxStabiliseSteps steps
    upper_bound_unstable,  // dp/drho < 0 at the upper bound after kMaxStabiliseSteps steps
    vanishing_pressure,    // p < kVanishingPressure at both bounds, widening included
    bracket_shape,         // the bracket failed the shape test twice
    start_unstable,        // dp/drho < 0 at the start after kMaxStabiliseSteps steps
    no_root_in_scan,       // Newton failed and the bracket scan found no sign change
    not_found,             // no density at all: the fallback found none either
    bad_input,             // T or p not positive and finite
};

// A density below this, in mol/dm3, is no result: the smallest normal double,
// so that every pressure down to about 1e-300 MPa has its density.
inline constexpr double kNoDensity = std::numeric_limits<double>::min();

struct MixResult {
    double rho = 0;     // mol/dm3
    double Z = 0;
    Side side = Side::liquid_like;
    DensityStatus status = DensityStatus::found;  // found, not_found or bad_input
    double delta = 0, tau = 0;
    HelmholtzDerivs ar;     // residual Helmholtz derivatives at the result
    // How far the molar residual Gibbs energy of the other root lies above this
    // one's, / RT (the stable root); infinite where the search sought or found one
    // root only, 0 where it is unknown (a root of the fallback).
    double root_gap = 0;
    // The Peng-Robinson root a search for a single root started from (see
    // DensityHint); 0 where the search sought two roots or failed.
    double single_root_start = 0;
    bool ok() const { return status == DensityStatus::found; }
};

// A density the previous evaluation of the same phase found, for a nearby
// composition at the same T and p, with the single_root_start of its search.
// A solver iterating on a phase's composition passes it on, and the next
// search starts from it, moved as the Peng-Robinson root moved (warm_density):
// the density then converges in one to three evaluations instead of five or
// more.
struct DensityHint {
    double rho = 0;
    double single_root_start = 0;
};

// Evaluates a prepared composition. `fug` may be null when request.fugacity is none.
MixResult mixstate(const ActiveSet& set, const CompositionState& comp, MixRequest request,
                   RootPreference root, double T, double p, FugacitySet* fug,
                   ResidualProperties& rec, const DensityHint* hint = nullptr);

// Evaluates a prepared composition at a density an earlier mixstate call found
// for it at the same T and p: the numbers of that call, with what `request`
// asks for (the records a call for ln phi alone left out, say).
MixResult mixstate_at_density(const ActiveSet& set, const CompositionState& comp, MixRequest request,
                              double T, double p, double rho, FugacitySet* fug, ResidualProperties& rec);

// Prepares `x` into `scratch` and evaluates it; a repeat of scratch.last
// reuses its density and prepares nothing.
MixResult mixstate(const ActiveSet& set, CompositionState& scratch, MixRequest request,
                   RootPreference root, double T, double p, const double* x, FugacitySet* fug,
                   ResidualProperties& rec, const DensityHint* hint = nullptr);

// Whether a root with compressibility factor Z at density rho lies on the
// vapour branch at T: the pressure rises with density everywhere from zero to
// rho (checked at kVapourBranchChecks densities). A root with Z above
// kVapourBranchZ is taken as on it unchecked: a vapour branch ends, by the
// second virial term alone, where Z has fallen to about 1/2.
bool on_vapour_branch(const ActiveSet& set, const CompositionState& comp, double T, double rho, double Z);
inline constexpr int kVapourBranchChecks = 32;
inline constexpr double kVapourBranchZ = 0.7;

// Pressure [MPa] of a prepared composition at (T, rho): used by tests and tools.
double pressure(const ActiveSet& set, const CompositionState& comp, double T, double rho);

}  // namespace ngtherm::model
