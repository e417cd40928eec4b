#include "equilibrium/split_newton.hpp"

#include <algorithm>
#include <cmath>

#include "equilibrium/solver_constants.hpp"
#include "model/mixstate.hpp"
#include "numerics/trust_region.hpp"

namespace ngtherm::equilibrium {
namespace {

using numerics::RestrictedStep;

double sum(int n, const Vector& a) {
    double s = 0.0;
    for (int i = 0; i < n; ++i) s += a[i];
    return s;
}

// G = sum v_i ln(y_i phi_i^V) + l_i ln(x_i phi_i^L) at the evaluated phases.
double gibbs(const SolverContext& ctx, const Vector& l, const Vector& v,
             const PhaseEvaluation& liquid, const PhaseEvaluation& vapour) {
    const int n = ctx.n();
    const double L = sum(n, l), V = sum(n, v);
    double G = 0.0;
    for (int i = 0; i < n; ++i) {
        if (ctx.z()[i] == 0.0) continue;
        G += v[i] * (std::log(v[i] / V) + vapour.fug.lnphi[i]);
        G += l[i] * (std::log(l[i] / L) + liquid.fug.lnphi[i]);
    }
    return G;
}

// Evaluates both phases at (l, v); false when the model fails for either.
bool evaluate_phases(SolverContext& ctx, const Vector& l, const Vector& v, MixRequest request,
                     PhaseEvaluation& liquid, PhaseEvaluation& vapour) {
    const bool ok_l = ctx.evaluate(l.data(), RootPreference::stable, request, liquid);
    return ctx.evaluate(v.data(), RootPreference::stable, request, vapour) && ok_l;
}

// Scaled gradient (negated, in w.r), scaled Hessian and the largest gap of
// the logarithmic fugacities. Absent components get a unit diagonal.
double split_derivatives(const SolverContext& ctx, SplitNewtonWork& w) {
    const int n = ctx.n();
    const Vector& z = ctx.z();
    const double L = sum(n, w.l), V = sum(n, w.v);
    double gmax = 0.0;
    for (int i = 0; i < n; ++i) {
        w.r[i] = w.g[i] = 0.0;
        w.scale[i] = 1.0;
        if (z[i] == 0.0) continue;
        const double x = w.l[i] / L, y = w.v[i] / V;
        w.scale[i] = std::sqrt(z[i] / (x * y));
        const double D = std::log(y) + w.vapour.fug.lnphi[i] - std::log(x) - w.liquid.fug.lnphi[i];
        w.r[i] = -L * V * D / w.scale[i];
        w.g[i] = -w.r[i];
        gmax = std::max(gmax, std::fabs(D));
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            w.H[i][j] = i == j ? 1.0 : 0.0;
            if (z[i] == 0.0 || z[j] == 0.0) continue;
            const double coupling = V * w.liquid.fug.dlnphidn[i][j] +
                                    L * w.vapour.fug.dlnphidn[i][j] - 1.0;
            w.H[i][j] += coupling / (w.scale[i] * w.scale[j]);
        }
    }
    return gmax;
}

// Applies the scaled step, keeping at least kMoleNumberFloor of the smaller of
// the two mole numbers of each component; the step actually taken goes to `taken`.
void take_split_step(const SolverContext& ctx, SplitNewtonWork& w, const RestrictedStep& rs,
                     Vector& taken) {
    const Vector& z = ctx.z();
    for (int i = 0; i < ctx.n(); ++i) {
        w.l_new[i] = w.l[i];
        w.v_new[i] = w.v[i];
        taken[i] = 0.0;
        if (z[i] == 0.0) continue;
        const double change = rs.s[i] / w.scale[i];
        const double v_try = w.v[i] + change, l_try = w.l[i] - change;
        if (l_try > v_try) {
            w.v_new[i] = std::max(v_try, kMoleNumberFloor * w.v[i]);
            w.l_new[i] = z[i] - w.v_new[i];
        } else {
            w.l_new[i] = std::max(l_try, kMoleNumberFloor * w.l[i]);
            w.v_new[i] = z[i] - w.l_new[i];
        }
        taken[i] = (w.v_new[i] - w.v[i]) * w.scale[i];
    }
}

// The split's side of a restricted step in the scaled vapour mole numbers.
class SplitStep final : public numerics::StepTrial {
public:
    SplitStep(SolverContext& ctx, SplitNewtonWork& w) : ctx_(ctx), w_(w) {}

    bool evaluate(const RestrictedStep& rs, Vector& taken, double& G_new) override {
        take_split_step(ctx_, w_, rs, taken);
        if (!evaluate_phases(ctx_, w_.l_new, w_.v_new, kLnPhiRequest, w_.liquid, w_.vapour)) {
            return false;
        }
        G_new = gibbs(ctx_, w_.l_new, w_.v_new, w_.liquid, w_.vapour);
        return true;
    }
    void accept() override {
        w_.l = w_.l_new;
        w_.v = w_.v_new;
    }

private:
    SolverContext& ctx_;
    SplitNewtonWork& w_;
};

// The shift is carried from one attempt to the next.
constexpr numerics::RetrySettings kSplitRetry{kSplitStepSlack, kSplitRejectShrink, true};

// Restricted steps from one set of derivatives until one lowers G (within the
// slack). False when none does within the cap.
bool split_step(SolverContext& ctx, SplitNewtonWork& w, double G, double& radius) {
    SplitStep trial(ctx, w);
    return numerics::accept_or_shrink(ctx.n(), w.H, w.g, w.r, G, kSplitRetry, trial, radius);
}

}  // namespace

SplitNewtonResult split_newton(SolverContext& ctx, SplitNewtonWork& w, double& beta, Vector& x,
                               Vector& y) {
    const int n = ctx.n();
    for (int i = 0; i < n; ++i) {
        w.l[i] = (1.0 - beta) * x[i];
        w.v[i] = beta * y[i];
    }
    double radius = kSplitTrustFactor * std::min(beta, 1.0 - beta);
    SplitNewtonResult out;
    bool evaluated = false;  // the phases at (l, v) and out.max_gap belong together
    for (int it = 1; it <= kSplitNewtonIterations; ++it) {
        out.iterations = it;
        evaluated = evaluate_phases(ctx, w.l, w.v, kMatrixRequest, w.liquid, w.vapour);
        if (!evaluated) break;
        out.Z1 = w.liquid.res.Z;
        out.Z2 = w.vapour.res.Z;
        const double G = gibbs(ctx, w.l, w.v, w.liquid, w.vapour);
        out.max_gap = split_derivatives(ctx, w);
        if (out.max_gap < kSplitGradientTolerance) {
            out.status = SplitStatus::ok;
            break;
        }
        if (!split_step(ctx, w, G, radius)) break;
    }
    // Steps that no longer lower G by more than rounding stall the iteration
    // next to the solution, as with a component at a trace in one phase.
    if (evaluated && out.max_gap < kSplitStalledGap) out.status = SplitStatus::ok;
    if (out.status != SplitStatus::ok && !evaluated) return out;
    // Also where it did not converge: the last split is the best start known.
    beta = sum(n, w.v);
    for (int i = 0; i < n; ++i) {
        x[i] = w.l[i] / (1.0 - beta);
        y[i] = w.v[i] / beta;
    }
    return out;
}

}  // namespace ngtherm::equilibrium
