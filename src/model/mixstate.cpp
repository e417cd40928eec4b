#include "model/mixstate.hpp"

#include <cmath>
#include <limits>

#include "model/density.hpp"
#include "model/reducing.hpp"

namespace ngtherm::model {
namespace {

// A phase is vapour-like when its reduced volume V' exceeds this many times the
// Peng-Robinson co-volume b/R.
constexpr double kVapourLikeCovolumes = 3.0;

struct StatePoint {
    double T, p, rho, delta, tau, Z, lnZ;
    HelmholtzDerivs ar;
};

void fill_record(const StatePoint& s, MixRequest req, double molar_mass, ResidualProperties& rec) {
    const HelmholtzDerivs& d = s.ar;
    const double R = kR;
    const double da = s.delta * d.a_d;
    const double curvature = 1.0 + 2.0 * da + s.delta * s.delta * d.a_dd;
    rec.dpdV = -R * R * s.rho * s.rho * s.T * curvature;
    rec.molar_mass = molar_mass;
    if (req.derivatives >= TpDerivatives::first) {
        rec.h_r = s.T * (da + s.tau * d.a_t);
        rec.s_r = s.tau * d.a_t - d.a + s.lnZ;
        rec.dpdT = R * s.rho * (1.0 + da - s.delta * s.tau * d.a_dt);
    }
    if (req.derivatives >= TpDerivatives::second) {
        const double v = 1.0 + da - s.delta * s.tau * d.a_dt;
        rec.cp_r = -s.tau * s.tau * d.a_tt - 1.0 + v * v / curvature;
        rec.dVdT = rec.dpdT / (-rec.dpdV);
        rec.inv_p_minus_dVdT = 1.0 / s.p - rec.dVdT;
        rec.V_minus_TdVdT = 1.0 / (R * s.rho) - s.T * rec.dVdT;
        rec.cv_r = -s.tau * s.tau * d.a_tt;
    }
}

void pure_fugacity(const StatePoint& s, MixRequest req, FugacitySet& fug) {
    const HelmholtzDerivs& d = s.ar;
    fug.lnphi[0] = d.a + s.delta * d.a_d - s.lnZ;
    if (req.derivatives >= TpDerivatives::first && req.ln_phi_derivatives) {
        fug.dlnphidT[0] = -(s.delta * d.a_d + s.tau * d.a_t) / s.T;
        fug.dlnphidp[0] = 1.0 / (kR * s.rho) / s.T - 1.0 / s.p;
    }
}

// Composition derivatives shared by the fugacity coefficients and their derivatives.
struct CompositionTerms {
    Vector nr, nT;         // n drho_r/dn_i, n dT_r/dn_i
    Vector dr, dT;         // drho_r/dx_i, dT_r/dx_i
    Vector ax, axd, axt;   // d alpha_r/dx_i, d a_d/dx_i, d a_t/dx_i at constant delta, tau
    double sx = 0, sxd = 0, sxt = 0;  // sum_k x_k of the three above
    Vector N;              // n d alpha_r/dn_i at constant T, V
};

// With ComponentParts::values (ln phi alone) the delta and tau parts axd, axt,
// sxd and sxt are left unset.
void composition_terms(const ActiveSet& set, const CompositionState& comp, const ComponentSeries& cs,
                       const ReducingDerivatives& red, const StatePoint& s, ComponentParts parts,
                       CompositionTerms& c) {
    const int n = set.n;
    const double* x = comp.x.data();
    const bool all = parts == ComponentParts::all;
    c.dr = red.drho;
    c.dT = red.dT;
    double sr = 0, sT = 0;
    // d alpha_r/dx_i = alpha_oi + sum_j x_j F_ij alpha_ij, over the pairs that have a function.
    for (int i = 0; i < n; ++i) {
        c.ax[i] = cs.a[i];
        if (all) {
            c.axd[i] = cs.a_d[i];
            c.axt[i] = cs.a_t[i];
        }
    }
    for (int q = 0; q < set.dep_pair_count; ++q) {
        const int k = set.dep_pair[q][0], l = set.dep_pair[q][1];
        c.ax[k] += x[l] * cs.pair_a[q];
        c.ax[l] += x[k] * cs.pair_a[q];
        if (all) {
            c.axd[k] += x[l] * cs.pair_a_d[q];
            c.axd[l] += x[k] * cs.pair_a_d[q];
            c.axt[k] += x[l] * cs.pair_a_t[q];
            c.axt[l] += x[k] * cs.pair_a_t[q];
        }
    }
    for (int i = 0; i < n; ++i) {
        sr += x[i] * c.dr[i];
        sT += x[i] * c.dT[i];
        c.sx += x[i] * c.ax[i];
        if (all) {
            c.sxd += x[i] * c.axd[i];
            c.sxt += x[i] * c.axt[i];
        }
    }
    for (int i = 0; i < n; ++i) {
        c.nr[i] = c.dr[i] - sr;
        c.nT[i] = c.dT[i] - sT;
        c.N[i] = s.delta * s.ar.a_d * (1.0 - c.nr[i] / comp.rho_r) + s.tau * s.ar.a_t * c.nT[i] / comp.T_r +
                 c.ax[i] - c.sx;
    }
}

// n d ln phi_i / d n_j at constant T and p, from the second amount derivatives of
// n alpha_r at constant T and V and the amount derivatives P_i of the pressure.
void composition_matrix(const ActiveSet& set, const CompositionState& comp, const ComponentSeries& cs,
                        const ReducingDerivatives& red, const StatePoint& s, const CompositionTerms& c,
                        const Vector& P, const Vector& dNdtau, double dpdV, FugacitySet& fug) {
    const int n = set.n;
    const double* x = comp.x.data();
    const double rr = comp.rho_r, Tr = comp.T_r;
    const HelmholtzDerivs& d = s.ar;
    const Matrix& d2r = red.d2rho;
    const Matrix& d2T = red.d2T;
    // d2 alpha_r / dx_k dx_j = F_kj alpha_kj, zero on the diagonal and without a function.
    Matrix pair;
    for (int k = 0; k < n; ++k) {
        for (int j = 0; j < n; ++j) pair[k][j] = 0.0;
    }
    for (int q = 0; q < set.dep_pair_count; ++q) {
        const int k = set.dep_pair[q][0], l = set.dep_pair[q][1];
        pair[k][l] = pair[l][k] = cs.pair_a[q];
    }
    Vector s2r{}, s2T{}, sa{};  // sums over k of x_k times column j
    for (int j = 0; j < n; ++j) {
        for (int k = 0; k < n; ++k) {
            s2r[j] += x[k] * d2r[k][j];
            s2T[j] += x[k] * d2T[k][j];
            sa[j] += x[k] * pair[k][j];
        }
    }
    Vector dNdx;
    const double inv_rr = 1.0 / rr, inv_Tr = 1.0 / Tr;
    for (int i = 0; i < n; ++i) {
        const double qr = c.nr[i] * inv_rr, qT = c.nT[i] * inv_Tr;
        const double dNddelta = (d.a_d + s.delta * d.a_dd) * (1.0 - qr) + s.tau * d.a_dt * qT +
                                (c.axd[i] - c.sxd);
        const double cr = s.delta * (1.0 - qr), cT = s.tau * qT;
        const double sr = s.delta * d.a_d, sT = s.tau * d.a_t;
        double row_sum = 0.0;
        for (int j = 0; j < n; ++j) {
            const double dqr = (d2r[i][j] - c.dr[j] - s2r[j] - qr * c.dr[j]) * inv_rr;
            const double dqT = (d2T[i][j] - c.dT[j] - s2T[j] - qT * c.dT[j]) * inv_Tr;
            dNdx[j] = c.axd[j] * cr - sr * dqr + c.axt[j] * cT + sT * dqT + pair[i][j] - c.ax[j] - sa[j];
            row_sum += x[j] * dNdx[j];
        }
        const double inv_TdpdV = 1.0 / (s.T * dpdV);
        for (int j = i; j < n; ++j) {
            const double second = c.N[j] + dNddelta * s.delta * (1.0 - c.nr[j] * inv_rr) +
                                  dNdtau[i] * s.tau * c.nT[j] * inv_Tr + dNdx[j] - row_sum;
            fug.dlnphidn[i][j] = 1.0 + second + P[i] * P[j] * inv_TdpdV;
            fug.dlnphidn[j][i] = fug.dlnphidn[i][j];
        }
    }
}

// Whether a request reads alpha_tt: the caloric second derivatives, the
// fugacities' temperature derivatives and the matrix do; ln phi alone does not.
bool reads_a_tt(MixRequest req) {
    if (req.derivatives >= TpDerivatives::second) return true;
    if (req.fugacity == Fugacity::ln_phi_and_matrix) return true;
    return req.fugacity == Fugacity::ln_phi && req.derivatives != TpDerivatives::none && req.ln_phi_derivatives;
}

// ln phi alone needs the values of the per-component series, not their derivatives.
ComponentParts component_parts(MixRequest req) {
    const bool ln_phi_only = req.fugacity == Fugacity::ln_phi &&
                             (req.derivatives == TpDerivatives::none || !req.ln_phi_derivatives);
    return ln_phi_only ? ComponentParts::values : ComponentParts::all;
}

void mixture_fugacity(const ActiveSet& set, const CompositionState& comp, const TauCoefficients& tc,
                      const DeltaFactors& f, const StatePoint& s, MixRequest req,
                      const ResidualProperties& rec, FugacitySet& fug) {
    const int n = set.n;
    const double rr = comp.rho_r, Tr = comp.T_r;
    const HelmholtzDerivs& d = s.ar;
    const bool matrix = req.fugacity == Fugacity::ln_phi_and_matrix;
    const ComponentParts parts = component_parts(req);
    ComponentSeries cs;
    component_series(set, tc, f, cs, parts);
    ReducingDerivatives red;
    if (matrix) {
        reducing_derivatives(set, comp.x.data(), true, red);
    } else {
        red.dT = comp.dT_r;
        red.drho = comp.drho_r;
    }
    CompositionTerms c;
    composition_terms(set, comp, cs, red, s, parts, c);
    for (int i = 0; i < n; ++i) fug.lnphi[i] = d.a + c.N[i] - s.lnZ;
    if (parts == ComponentParts::values) return;

    Vector P, dNdtau;
    for (int i = 0; i < n; ++i) {
        const double qr = c.nr[i] / rr, qT = c.nT[i] / Tr;
        const double nda = d.a_dd * s.delta * (1.0 - qr) + d.a_dt * s.tau * qT + (c.axd[i] - c.sxd);
        P[i] = s.rho * kR * s.T * (1.0 + s.delta * d.a_d * (2.0 - qr) + s.delta * nda);
        dNdtau[i] = s.delta * d.a_dt * (1.0 - qr) + (d.a_t + s.tau * d.a_tt) * qT + (c.axt[i] - c.sxt);
    }
    const double dpdV = rec.dpdV;
    if (req.derivatives >= TpDerivatives::first) {
        for (int i = 0; i < n; ++i) {
            const double Vi = -P[i] / dpdV;
            fug.dlnphidp[i] = Vi / s.T - 1.0 / s.p;
            fug.dlnphidT[i] = -(s.tau / s.T) * (d.a_t + dNdtau[i]) + 1.0 / s.T - rec.dpdT * Vi / s.T;
        }
    }
    if (matrix) composition_matrix(set, comp, cs, red, s, c, P, dNdtau, dpdV, fug);
}

}  // namespace

void prepare_composition(const ActiveSet& set, const double* x, CompositionState& c) {
    double sum = 0.0;
    for (int k = 0; k < set.n; ++k) sum += x[k];
    c.molar_mass = 0.0;
    c.pr_b = 0.0;
    for (int k = 0; k < set.n; ++k) {
        c.x[k] = x[k] / sum;
        c.molar_mass += c.x[k] * set.molar_mass[k];
        c.pr_b += c.x[k] * set.pr_b[k];
    }
    // The gradients come from the same pass over the pairs as the values; the
    // fugacities of every phase need them.
    ReducingDerivatives red;
    reducing_derivatives(set, c.x.data(), false, red);
    c.T_r = red.T_r;
    c.rho_r = red.rho_r;
    c.dT_r = red.dT;
    c.drho_r = red.drho;
    series_coefficients(set, c.x.data(), c.series);
    c.last.set = nullptr;
}

double pressure(const ActiveSet& set, const CompositionState& comp, double T, double rho) {
    TauCoefficients tc;
    tau_coefficients(set, comp.series, comp.T_r / T, tc);
    return DensityFunctions(set, comp, tc, T).pressure(rho);
}

bool on_vapour_branch(const ActiveSet& set, const CompositionState& comp, double T, double rho, double Z) {
    if (Z > kVapourBranchZ) return true;
    TauCoefficients tc;
    tau_coefficients(set, comp.series, comp.T_r / T, tc);
    const DensityFunctions F(set, comp, tc, T);
    for (int k = 1; k <= kVapourBranchChecks; ++k) {
        if (!(F.slope(rho * k / kVapourBranchChecks) > 0.0)) return false;
    }
    return true;
}

namespace {

// Everything mixstate forms once the density is known.
MixResult state_at_density(const ActiveSet& set, const CompositionState& comp, const TauCoefficients& tc,
                           const DensityFunctions& F, MixRequest req, double T, double p, double rho,
                           FugacitySet* fug, ResidualProperties& rec) {
    MixResult result;
    StatePoint s{T, p, rho, rho / comp.rho_r, tc.tau, 0, 0, {}};
    const bool ln_phi_alone = req.fugacity == Fugacity::ln_phi && req.derivatives == TpDerivatives::none;
    DeltaExponentials shared;  // left without a delta where the derivatives were remembered
    s.ar = ln_phi_alone ? F.ln_phi_derivatives(rho, &shared) : F.derivatives(rho, &shared);
    s.Z = p / (rho * kR * T);
    s.lnZ = std::log(s.Z);

    const double reduced_volume = 1.0 / (kR * rho);
    const double covolume = comp.pr_b / kR;
    result.side = reduced_volume > kVapourLikeCovolumes * covolume ? Side::vapour_like : Side::liquid_like;
    result.rho = rho;
    result.Z = s.Z;
    result.delta = s.delta;
    result.tau = tc.tau;
    result.ar = s.ar;

    fill_record(s, req, comp.molar_mass, rec);
    if (req.fugacity == Fugacity::none || fug == nullptr) return result;
    if (set.n == 1) {
        pure_fugacity(s, req, *fug);
    } else {
        DeltaFactors f;
        delta_factors(set, s.delta, f, component_parts(req), &shared);
        mixture_fugacity(set, comp, tc, f, s, req, rec, *fug);
    }
    return result;
}

bool same_state(const EvaluatedState& last, const ActiveSet& set, const double* x, double T, double p,
                RootPreference root) {
    if (last.set != &set || last.T != T || last.p != p || last.root != root) return false;
    for (int k = 0; k < set.n; ++k) {
        if (last.id[k] != set.id[k] || last.x_in[k] != x[k]) return false;
    }
    return true;
}

}  // namespace

MixResult mixstate(const ActiveSet& set, const CompositionState& comp, MixRequest req,
                   RootPreference root, double T, double p, FugacitySet* fug,
                   ResidualProperties& rec, const DensityHint* hint) {
    MixResult result;
    if (!(T > 0.0) || !(p > 0.0) || !std::isfinite(T) || !std::isfinite(p)) {
        result.status = DensityStatus::bad_input;
        return result;
    }
    TauCoefficients tc;
    tau_coefficients(set, comp.series, comp.T_r / T, tc, reads_a_tt(req));
    const DensityFunctions F(set, comp, tc, T);
    const PengRobinsonRoots roots = peng_robinson_roots(set, comp, T, p);
    // A single root sought, for either preference: the search's one candidate.
    const double single_root_start = roots.count == 1 ? roots.rho_max : 0.0;
    if (hint != nullptr && single_root_start > 0.0 && hint->single_root_start > 0.0) {
        const double start = hint->rho * (single_root_start / hint->single_root_start);
        const double rho = warm_density(F, p, roots, start);
        if (rho > kNoDensity && std::isfinite(rho)) {
            MixResult result = state_at_density(set, comp, tc, F, req, T, p, rho, fug, rec);
            result.root_gap = std::numeric_limits<double>::infinity();
            result.single_root_start = single_root_start;
            return result;
        }
    }
    const DensitySearchResult search = density_search(F, p, root, roots);
    double rho = search.rho;
    double root_gap = 0.0;
    if (rho < kNoDensity || search.status != DensityStatus::found) {
        rho = density_fallback(F, p, roots, rho);
    } else {
        root_gap = search.other > 0.0 ? search.dg : std::numeric_limits<double>::infinity();
    }
    if (!(rho > kNoDensity) || !std::isfinite(rho)) {
        result.status = DensityStatus::not_found;
        return result;
    }
    result = state_at_density(set, comp, tc, F, req, T, p, rho, fug, rec);
    result.root_gap = root_gap;
    if (search.status == DensityStatus::found && search.rho == rho) result.single_root_start = single_root_start;
    return result;
}

MixResult mixstate_at_density(const ActiveSet& set, const CompositionState& comp, MixRequest req,
                              double T, double p, double rho, FugacitySet* fug, ResidualProperties& rec) {
    TauCoefficients tc;
    tau_coefficients(set, comp.series, comp.T_r / T, tc, reads_a_tt(req));
    const DensityFunctions F(set, comp, tc, T);
    return state_at_density(set, comp, tc, F, req, T, p, rho, fug, rec);
}

MixResult mixstate(const ActiveSet& set, CompositionState& scratch, MixRequest req,
                   RootPreference root, double T, double p, const double* x, FugacitySet* fug,
                   ResidualProperties& rec, const DensityHint* hint) {
    EvaluatedState& last = scratch.last;
    if (same_state(last, set, x, T, p, root)) {
        MixResult result = mixstate_at_density(set, scratch, req, T, p, last.rho, fug, rec);
        result.root_gap = last.root_gap;
        result.single_root_start = last.single_root_start;
        return result;
    }
    prepare_composition(set, x, scratch);
    const MixResult result = mixstate(set, scratch, req, root, T, p, fug, rec, hint);
    if (result.ok()) {
        last.set = &set;
        for (int k = 0; k < set.n; ++k) {
            last.id[k] = set.id[k];
            last.x_in[k] = x[k];
        }
        last.T = T;
        last.p = p;
        last.rho = result.rho;
        last.root_gap = result.root_gap;
        last.single_root_start = result.single_root_start;
        last.root = root;
    }
    return result;
}

}  // namespace ngtherm::model
