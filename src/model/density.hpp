// Density from pressure: Peng-Robinson start values, the guided root search on
// the GERG-2008 surface and the spinodal fallback.
#pragma once

#include "model/mixstate.hpp"

namespace ngtherm::model {

// Valid Peng-Robinson density roots at (T, p): 0 < rho < 1/b.
struct PengRobinsonRoots {
    double rho_max = 0;      // largest valid root (liquid-like start), mol/dm3
    double rho_min = 1e100;  // smallest valid root (vapour-like start)
    int count = 0;           // 0 to 2 (three roots count as 2)
    double inv_b = 0;        // limiting density 1/b
};

PengRobinsonRoots peng_robinson_roots(const ActiveSet& set, const CompositionState& comp, double T,
                                      double p);

// Pressure, its density derivative and the residual Gibbs energy of a prepared
// composition at fixed T (tau fixed in the coefficients).
class DensityFunctions {
public:
    DensityFunctions(const ActiveSet& set, const CompositionState& comp, const TauCoefficients& tc,
                     double T)
        : set_(set), comp_(comp), tc_(tc), T_(T) {}

    struct Point {
        double p;       // MPa
        double dpdrho;  // MPa dm3/mol
    };
    Point at(double rho) const;
    double pressure(double rho) const { return at(rho).p; }
    double slope(double rho) const { return at(rho).dpdrho; }
    // g_r = 1000 R T (a - ln(1 + delta a_d) + delta a_d), J/mol.
    double gibbs(double rho) const;
    // Every residual derivative at rho; the candidates whose Gibbs energies
    // were compared are remembered, so the chosen one costs nothing more.
    // Where they are formed here, `shared` receives the exponentials.
    HelmholtzDerivs derivatives(double rho, DeltaExponentials* shared = nullptr) const;
    // The derivatives ln phi needs (Derivatives::ln_phi): those remembered
    // where rho is one of them, else formed without alpha_dt and alpha_tt.
    HelmholtzDerivs ln_phi_derivatives(double rho, DeltaExponentials* shared = nullptr) const;
    double T() const { return T_; }
    // Number of model evaluations made so far (for tests and diagnostics).
    long evaluations() const { return evaluations_; }

private:
    const ActiveSet& set_;
    const CompositionState& comp_;
    const TauCoefficients& tc_;
    double T_;
    mutable long evaluations_ = 0;
    // The search asks for the same densities more than once (slope, then
    // pressure, then the secant start); the last few points are remembered.
    static constexpr int kMemo = 4;
    mutable std::array<double, kMemo> memo_rho_{};
    mutable std::array<Point, kMemo> memo_point_{};
    mutable int memo_next_ = 0, memo_size_ = 0;
    mutable std::array<double, 2> full_rho_{-1.0, -1.0};
    mutable std::array<HelmholtzDerivs, 2> full_{};
    mutable int full_next_ = 0;
};

struct DensitySearchResult {
    double rho = 0;    // chosen root; with a non-zero status the liquid-like root found before, or 0
    double other = 0;  // the other candidate of a two-candidate search
    double dg = 0;     // |g_r(vapour) - g_r(liquid)| / (1000 R T)
    DensityStatus status = DensityStatus::found;  // found, or where the search stopped
};

// The guided search for the preferred root.
DensitySearchResult density_search(const DensityFunctions& F, double p, RootPreference preference,
                                   const PengRobinsonRoots& roots);

// Newton from `start`, a density found for a nearby composition of the same
// phase scaled by the move of the Peng-Robinson root, where the guided search
// would seek a single root (one Peng-Robinson root, p at least kLowPressure).
// Taken only where it ends within kWarmStartSteps steps, with the pressure
// rising at every step, inside the first bracket the search sets around the
// Peng-Robinson root (where the pressure rises through that bracket, the root
// there is the one the search converges to) or within 2 % of the start (the
// same branch as the root it came from: for water-rich phases, whose liquid
// root the Peng-Robinson cubic puts 20 % too low, the search first climbs out
// of the spinodal region in 1 % steps). Returns 0 otherwise, and the guided
// search decides.
double warm_density(const DensityFunctions& F, double p, const PengRobinsonRoots& roots, double start);

// The spinodal fallback, taken when the search failed. `current` is the
// search's result (a liquid-like root it found, or 0). Returns 0 when no
// density can be found.
double density_fallback(const DensityFunctions& F, double p, const PengRobinsonRoots& roots,
                        double current);

}  // namespace ngtherm::model
