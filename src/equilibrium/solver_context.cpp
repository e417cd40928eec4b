#include "equilibrium/solver_context.hpp"

#include <cmath>

#include "equilibrium/solver_constants.hpp"

namespace ngtherm::equilibrium {

void SolverContext::begin(const model::ActiveSet& set, double T, double p, const double* z) {
    set_ = &set;
    n_ = set.n;
    T_ = T;
    p_ = p;
    for (int i = 0; i < n_; ++i) z_[i] = z[i];
    model::prepare_composition(set, z_.data(), feed_comp_);
    feed_evaluated_ = false;
    feed_failed_ = false;
}

namespace {

bool usable(int n, const MixResult& res, const FugacitySet& fug) {
    if (!res.ok() || !std::isfinite(res.Z)) return false;
    for (int i = 0; i < n; ++i) {
        if (!std::isfinite(fug.lnphi[i])) return false;
    }
    return true;
}

}  // namespace

const PhaseEvaluation& SolverContext::evaluate_feed() {
    feed_.res = model::mixstate(*set_, feed_comp_, kFeedRequest, RootPreference::stable, T_, p_,
                                &feed_.fug, feed_.rec);
    ++evaluations_;
    feed_failed_ = !usable(n_, feed_.res, feed_.fug);
    feed_evaluated_ = true;
    for (int i = 0; i < n_; ++i) {
        const double lnz = z_[i] > 0.0 ? std::log(z_[i]) : kLnZeroFraction;
        d_[i] = lnz + feed_.fug.lnphi[i];
    }
    return feed_;
}

namespace {

bool same_composition(int n, const double* a, const Vector& b) {
    for (int i = 0; i < n; ++i) {
        if (a[i] != b[i]) return false;
    }
    return true;
}

}  // namespace

bool SolverContext::evaluate(const double* x, RootPreference root, MixRequest request,
                             PhaseEvaluation& out) {
    if (feed_evaluated_ && root == RootPreference::stable &&
        request.fugacity != model::Fugacity::ln_phi_and_matrix &&
        request.derivatives == model::TpDerivatives::none && same_composition(n_, x, z_)) {
        // A Rachford-Rice answer at beta = 0 or 1 hands back the feed itself.
        out.res = feed_.res;
        for (int i = 0; i < n_; ++i) out.fug.lnphi[i] = feed_.fug.lnphi[i];
        out.rec = feed_.rec;
        return !feed_failed_;
    }
    out.res = model::mixstate(*set_, trial_comp_, request, root, T_, p_, x, &out.fug, out.rec);
    ++evaluations_;
    return usable(n_, out.res, out.fug);
}

}  // namespace ngtherm::equilibrium
