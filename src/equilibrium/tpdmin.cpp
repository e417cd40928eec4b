#include "equilibrium/tpdmin.hpp"

#include <cmath>

#include "equilibrium/solver_constants.hpp"
#include "numerics/ldl.hpp"
#include "numerics/trust_region.hpp"

namespace ngtherm::equilibrium {
namespace {

using numerics::RestrictedStep;

// What one substitution evaluation found at the current trial phase.
struct SubstitutionStep {
    double S = 0.0;      // sum W_i e_i^2
    double tm = 0.0;     // tm at the current W
    double max_e = 0.0;  // largest |e_i|
    double dist = 0.0;   // sqrt-fraction distance of W from the feed
    double rat = 0.0;    // tm over its first-order prediction towards the feed
    double other_root = 0.0;  // how far tm at W lies higher on the other density root
    bool ok = true;      // the model evaluated the trial phase
};

enum class StepVerdict { go_on, unstable, converged, trivial, settled, failed };

// Evaluates the model at W, or takes `known`, an evaluation there made before,
// and forms the substitution values ln W_new = d - ln phi(W).
SubstitutionStep substitution_step(SolverContext& ctx, TrialWork& w, const Vector& W,
                                   const PhaseEvaluation* known) {
    SubstitutionStep st;
    if (known != nullptr) {
        ctx.reuse(*known, w.phase);
    } else {
        st.ok = ctx.evaluate(W.data(), RootPreference::stable, kLnPhiRequest, w.phase);
    }
    if (!st.ok) return st;
    const Vector& z = ctx.z();
    const Vector& d = ctx.d();
    double sum_we = 0.0, dist2 = 0.0, predicted = 0.0, sum_w = 0.0;
    for (int i = 0; i < ctx.n(); ++i) {
        if (z[i] == 0.0) {
            w.lnW_new[i] = 0.0;
            w.e[i] = 0.0;
            continue;
        }
        w.lnW_new[i] = d[i] - w.phase.fug.lnphi[i];
        w.e[i] = w.lnW_new[i] - w.lnW[i];
        st.S += W[i] * w.e[i] * w.e[i];
        sum_we += W[i] * (w.e[i] + 1.0);
        sum_w += W[i];
        st.max_e = std::fmax(st.max_e, std::fabs(w.e[i]));
        const double gap = ctx.sqrt_z()[i] - std::sqrt(W[i]);
        dist2 += gap * gap;
        predicted += (std::sqrt(z[i] * W[i]) - W[i]) * w.e[i];
    }
    st.tm = 1.0 - sum_we;
    st.dist = std::sqrt(std::fabs(dist2));
    st.rat = st.tm / predicted;
    st.other_root = sum_w * w.phase.res.root_gap;
    return st;
}

StepVerdict judge(const SubstitutionStep& st, bool verdict_only) {
    if (!st.ok) return StepVerdict::failed;
    if (verdict_only && st.tm < kUnstableTm) return StepVerdict::unstable;
    if (st.max_e < kTrialSubstitutionTolerance) return StepVerdict::converged;
    if (st.dist < kTrivialDistance && st.rat > kTrivialRatio) return StepVerdict::trivial;
    return StepVerdict::go_on;
}

TrialResult verdict_result(StepVerdict v, double tm) {
    TrialResult r;
    r.tm = tm;
    if (v == StepVerdict::failed) return r;  // no verdict
    const bool unstable =
        v == StepVerdict::unstable || (v == StepVerdict::converged && tm < kUnstableTm);
    r.outcome = unstable ? TrialOutcome::unstable : TrialOutcome::finished;
    return r;
}

void set_from_log(const SolverContext& ctx, const Vector& lnW, Vector& W) {
    for (int i = 0; i < ctx.n(); ++i) {
        if (ctx.z()[i] != 0.0) W[i] = std::exp(lnW[i]);
    }
}

// Ratio of the last two step norms, kept inside [0, kMaxExtrapolationRatio].
double extrapolation_ratio(double S_previous, double S_last) {
    const double lambda = std::sqrt(S_last / S_previous);
    return (lambda >= 0.0 && lambda <= kMaxExtrapolationRatio) ? lambda : kMaxExtrapolationRatio;
}

// tm = 1 + sum W_i (ln W_i + ln phi_i - d_i - 1) at W with the ln phi in w.phase.
double tangent_plane(const SolverContext& ctx, const TrialWork& w, const Vector& W) {
    double tm = 1.0;
    for (int i = 0; i < ctx.n(); ++i) {
        if (ctx.z()[i] == 0.0) continue;
        tm += W[i] * (std::log(W[i]) + w.phase.fug.lnphi[i] - ctx.d()[i] - 1.0);
    }
    return tm;
}

// Gradient and Hessian in alpha at W; returns max |g_i|. Components absent
// from the feed get a unit diagonal and no coupling.
double trial_derivatives(const SolverContext& ctx, TrialWork& w, const Vector& W) {
    const int n = ctx.n();
    const Vector& z = ctx.z();
    double sumW = 0.0, gmax = 0.0;
    Vector root{};  // sqrt(W_i), formed once for the whole matrix
    for (int i = 0; i < n; ++i) {
        sumW += z[i] != 0.0 ? W[i] : 0.0;
        root[i] = std::sqrt(W[i]);
    }
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) w.H[i][j] = i == j ? 1.0 : 0.0;
        if (z[i] == 0.0) {
            w.g[i] = 0.0;
            continue;
        }
        const double root_i = root[i];
        w.g[i] = root_i * (std::log(W[i]) + w.phase.fug.lnphi[i] - ctx.d()[i]);
        gmax = std::fmax(gmax, std::fabs(w.g[i]));
        for (int j = 0; j < n; ++j) {
            if (z[j] == 0.0) continue;
            w.H[i][j] += root_i * root[j] * w.phase.fug.dlnphidn[i][j] / sumW;
        }
    }
    return gmax;
}

// Whether the substitution steps shrink and are small against a tm far above
// kUnstableTm, on a density root clearly below the other one (a trial settled
// near a switch of the stable root may cross it onto a branch where tm goes on
// down): then it is worth asking whether the trial has settled.
bool settling(const SubstitutionStep& st, double S_previous) {
    return st.tm > kTrialSettledTm && st.S < kTrialSettledShare * st.tm &&
           st.S < kTrialSettledRatio * S_previous && st.other_root > kTrialSettledRootGap;
}

// Whether the quadratic model at W (derivatives in w.g and w.H) has its minimum
// close by and far above kUnstableTm: the Hessian positive definite, the model
// lowering tm by g^T H^-1 g / 2 < share * tm and to above kTrialSettledTm.
// Substitution can also settle near a saddle, from which the second-order
// stage goes on down; the Hessian tells the two apart.
bool model_minimum_above(const SolverContext& ctx, TrialWork& w, double tm, double share) {
    const int n = ctx.n();
    numerics::ldl_factor(n, w.H, 0.0, w.factors);
    if (!w.factors.positive_definite) return false;
    numerics::ldl_solve(n, w.factors, w.g, w.r);
    double descent = 0.0;
    for (int i = 0; i < n; ++i) descent += w.g[i] * w.r[i];
    return 0.5 * descent < share * tm && tm - 0.5 * descent > kTrialSettledTm;
}

// Whether a settling trial has settled far above kUnstableTm, by the
// quadratic model at W (one evaluation with the matrix).
bool settled_above(SolverContext& ctx, TrialWork& w, const Vector& W, double tm) {
    if (!ctx.evaluate(W.data(), RootPreference::stable, kMatrixRequest, w.phase)) return false;
    trial_derivatives(ctx, w, W);
    return model_minimum_above(ctx, w, tm, kTrialSettledModelShare);
}

// The substitution stage. Returns true with `out` set when it reaches a
// verdict; false hands the current W over to the second-order stage.
class SubstitutionStage {
public:
    SubstitutionStage(SolverContext& ctx, TrialWork& w, Vector& W, bool verdict_only,
                      const PhaseEvaluation* start)
        : ctx_(ctx), w_(w), W_(W), verdict_only_(verdict_only), start_(start) {}

    bool run(TrialResult& out);

private:
    // Evaluates at W; true with `out` set when that gives the verdict.
    bool step(SubstitutionStep& st, TrialResult& out) {
        st = substitution_step(ctx_, w_, W_, start_);
        start_ = nullptr;
        StepVerdict v = judge(st, verdict_only_);
        if (v == StepVerdict::go_on && verdict_only_ && settle_checks_ > 0 &&
            settling(st, S_last_)) {
            // The check evaluates at W again; the substitution values stay those of st.
            --settle_checks_;
            if (settled_above(ctx_, w_, W_, st.tm)) v = StepVerdict::settled;
        }
        if (v == StepVerdict::go_on) return false;
        out = verdict_result(v, st.tm);
        return true;
    }
    // Takes the substitution values of the last step as the new W.
    void advance(const SubstitutionStep& st) {
        S_previous_ = S_last_;
        S_last_ = st.S;
        tm_last_ = st.tm;
        w_.lnW = w_.lnW_new;
        set_from_log(ctx_, w_.lnW, W_);
    }

    SolverContext& ctx_;
    TrialWork& w_;
    Vector& W_;
    const bool verdict_only_;
    const PhaseEvaluation* start_;  // an evaluation at the first W, or null
    int settle_checks_ = kTrialSettleChecks;
    double S_previous_ = 0.0, S_last_ = 0.0, tm_last_ = 0.0;
};

bool SubstitutionStage::run(TrialResult& out) {
    SubstitutionStep st;
    for (int cycle = 1; cycle <= kTrialCycles; ++cycle) {
        const int steps = cycle == 1 ? kTrialFirstCycleSteps : kTrialLaterCycleSteps;
        for (int k = 0; k < steps; ++k) {
            if (step(st, out)) return true;
            advance(st);
        }
        // Extrapolate along the last step, as if the steps shrank geometrically.
        const double lambda = extrapolation_ratio(S_previous_, S_last_);
        double largest_move = 0.0;
        for (int i = 0; i < ctx_.n(); ++i) {
            largest_move = std::fmax(largest_move, std::fabs(w_.e[i] * lambda / (1.0 - lambda)));
        }
        // Not worth an evaluation: the second-order stage starts from here.
        if (!(largest_move <= kTrialExtrapolationMaxMove)) return false;
        w_.lnW_saved = w_.lnW;
        for (int i = 0; i < ctx_.n(); ++i) w_.lnW[i] += w_.e[i] * lambda / (1.0 - lambda);
        set_from_log(ctx_, w_.lnW, W_);
        if (step(st, out)) return true;
        if (st.tm > tm_last_ + kTrialExtrapolationSlack) {
            // Rejected: the second-order stage starts from the point before it.
            w_.lnW = w_.lnW_saved;
            set_from_log(ctx_, w_.lnW, W_);
            return false;
        }
        advance(st);
    }
    return false;
}

// Takes the restricted step in alpha, keeping every alpha positive: a step
// that would end at or below zero shrinks that alpha to a tenth instead.
// Writes the step actually taken to `taken` and the new trial phase to w.W_new.
void take_alpha_step(const SolverContext& ctx, TrialWork& w, const Vector& W,
                     const RestrictedStep& rs, Vector& taken) {
    for (int i = 0; i < ctx.n(); ++i) {
        if (ctx.z()[i] == 0.0) {
            taken[i] = 0.0;
            w.alpha_new[i] = w.alpha[i];
            w.W_new[i] = W[i];
            continue;
        }
        double s = rs.s[i];
        if (w.alpha[i] + s <= 0.0) s = kAlphaBacktrack * w.alpha[i];
        taken[i] = s;
        w.alpha_new[i] = w.alpha[i] + s;
        w.W_new[i] = 0.25 * w.alpha_new[i] * w.alpha_new[i];
    }
}

// The trial phase's side of a restricted step in alpha; any evaluated point
// below kTrialSurelyUnstable is remembered. Each point is evaluated with the
// matrix: nearly every step is accepted, and the next iteration then takes its
// derivatives from that evaluation.
class AlphaStep final : public numerics::StepTrial {
public:
    AlphaStep(SolverContext& ctx, TrialWork& w, Vector& W, bool& surely_unstable, double& tm_out)
        : ctx_(ctx), w_(w), W_(W), surely_unstable_(surely_unstable), tm_out_(tm_out) {}

    bool evaluate(const RestrictedStep& rs, Vector& taken, double& tm_new) override {
        take_alpha_step(ctx_, w_, W_, rs, taken);
        if (!ctx_.evaluate(w_.W_new.data(), RootPreference::stable, kMatrixRequest, w_.phase)) {
            return false;
        }
        tm_new = tm_new_ = tangent_plane(ctx_, w_, w_.W_new);
        if (tm_new < kTrialSurelyUnstable) surely_unstable_ = true;
        return true;
    }
    void accept() override {
        w_.alpha = w_.alpha_new;
        W_ = w_.W_new;
        tm_out_ = tm_new_;
    }

private:
    SolverContext& ctx_;
    TrialWork& w_;
    Vector& W_;
    bool& surely_unstable_;
    double& tm_out_;
    double tm_new_ = 0.0;
};

constexpr numerics::RetrySettings kTrialRetry{kTrialStepSlack, kTrialRejectShrink, false};

// Restricted steps from one set of derivatives until one lowers tm (within the
// slack). Returns false when none does within the cap.
bool newton_step(SolverContext& ctx, TrialWork& w, Vector& W, double tm, double& radius,
                 bool& surely_unstable, double& tm_out) {
    const int n = ctx.n();
    for (int i = 0; i < n; ++i) w.r[i] = -w.g[i];
    AlphaStep trial(ctx, w, W, surely_unstable, tm_out);
    return numerics::accept_or_shrink(n, w.H, w.g, w.r, tm, kTrialRetry, trial, radius);
}

// Whether the second-order stage, with the derivatives at W in hand, has
// settled far above kUnstableTm on a root clearly below the other one.
bool settled_here(const SolverContext& ctx, TrialWork& w, const Vector& W, double tm) {
    double sum_w = 0.0;
    for (int i = 0; i < ctx.n(); ++i) sum_w += ctx.z()[i] != 0.0 ? W[i] : 0.0;
    return sum_w * w.phase.res.root_gap > kTrialSettledRootGap &&
           model_minimum_above(ctx, w, tm, kTrialNewtonSettledShare);
}

// Whether the second-order stage converges on the feed itself (tm = 0 there):
// within kTrivialNewtonDistance of it, with a positive definite Hessian whose
// Newton step ends nearer by kTrivialNewtonContraction. Near a critical point a
// stationary point of negative tm can lie as close; the steps towards it do
// not contract so.
bool converging_on_feed(const SolverContext& ctx, TrialWork& w, const Vector& W) {
    const int n = ctx.n();
    double dist2 = 0.0;
    for (int i = 0; i < n; ++i) {
        const double gap = ctx.z()[i] != 0.0 ? ctx.sqrt_z()[i] - std::sqrt(W[i]) : 0.0;
        dist2 += gap * gap;
    }
    if (!(dist2 < kTrivialNewtonDistance * kTrivialNewtonDistance)) return false;
    numerics::ldl_factor(n, w.H, 0.0, w.factors);
    if (!w.factors.positive_definite) return false;
    numerics::ldl_solve(n, w.factors, w.g, w.r);
    double next2 = 0.0;  // the step is -H^-1 g in alpha = 2 sqrt(W)
    for (int i = 0; i < n; ++i) {
        const double gap = ctx.z()[i] != 0.0 ? ctx.sqrt_z()[i] - std::sqrt(W[i]) + 0.5 * w.r[i] : 0.0;
        next2 += gap * gap;
    }
    return next2 < kTrivialNewtonContraction * kTrivialNewtonContraction * dist2;
}

// Second-order stage from the current W.
TrialResult newton_stage(SolverContext& ctx, TrialWork& w, Vector& W, bool verdict_only) {
    const int n = ctx.n();
    for (int i = 0; i < n; ++i) w.alpha[i] = ctx.z()[i] != 0.0 ? 2.0 * std::sqrt(W[i]) : 0.0;
    double radius = kTrialTrustRadius;
    bool surely_unstable = false;
    TrialResult out;
    bool have_matrix = false;
    for (int it = 1; it <= kTrialNewtonIterations; ++it) {
        out.newton_iterations = it;
        // After an accepted step the phase holds the matrix at W already.
        if (!have_matrix && !ctx.evaluate(W.data(), RootPreference::stable, kMatrixRequest, w.phase)) break;
        const double tm = tangent_plane(ctx, w, W);
        if (trial_derivatives(ctx, w, W) < kTrialGradientTolerance) {
            out.outcome = tm < kUnstableTm ? TrialOutcome::unstable : TrialOutcome::finished;
            out.tm = tm;
            return out;
        }
        // Not once a point below kTrialSurelyUnstable was seen: out of iterations, that decides.
        if (verdict_only && !surely_unstable &&
            (settled_here(ctx, w, W, tm) || converging_on_feed(ctx, w, W))) {
            out.outcome = TrialOutcome::finished;
            out.tm = tm;
            return out;
        }
        if (!newton_step(ctx, w, W, tm, radius, surely_unstable, out.tm)) break;
        have_matrix = true;
    }
    // Out of iterations: only a clearly negative tm on the way gives a verdict.
    out.outcome = surely_unstable ? TrialOutcome::unstable : TrialOutcome::no_verdict;
    return out;
}

}  // namespace

TrialResult tpdmin(SolverContext& ctx, TrialWork& work, Vector& W, bool verdict_only,
                   const PhaseEvaluation* start) {
    for (int i = 0; i < ctx.n(); ++i) {
        work.lnW[i] = ctx.z()[i] != 0.0 ? std::log(W[i]) : 0.0;
    }
    TrialResult out;
    if (SubstitutionStage(ctx, work, W, verdict_only, start).run(out)) return out;
    return newton_stage(ctx, work, W, verdict_only);
}

}  // namespace ngtherm::equilibrium
