#include "equilibrium/solver_context.hpp"

#include <cmath>
#include <limits>

#include "equilibrium/solver_constants.hpp"

namespace ngtherm::equilibrium {

namespace {

// Pure water, prepared once.
struct PureWater {
    model::ActiveSet set;
    model::CompositionState comp;
    PureWater() {
        const int id = kModelH2O;
        model::make_active_set(std::span<const int>(&id, 1), set);
        const double one = 1.0;
        model::prepare_composition(set, &one, comp);
    }
};

const PureWater& pure_water() {
    static const PureWater water;
    return water;
}

}  // namespace

bool model_has_liquid_water(double T, double p) {
    if (!(T < kWaterTriplePointT)) return true;
    const PureWater& water = pure_water();
    model::ResidualProperties rec;
    const MixResult r = model::mixstate(water.set, water.comp, {model::Fugacity::none, model::TpDerivatives::none},
                                        RootPreference::liquid, T, p, nullptr, rec);
    return r.ok() && r.rho * water.comp.pr_b > kLiquidWaterCovolumeShare;
}

double pure_water_lnphi(double T, double p) {
    const PureWater& water = pure_water();
    model::ResidualProperties rec;
    model::FugacitySet fug;
    const MixResult r = model::mixstate(water.set, water.comp, {model::Fugacity::ln_phi, model::TpDerivatives::none},
                                        RootPreference::stable, T, p, &fug, rec);
    return r.ok() ? fug.lnphi[0] : std::numeric_limits<double>::quiet_NaN();
}

void SolverContext::begin(const model::ActiveSet& set, double T, double p, const double* z,
                          MixRequest feed_request) {
    // The prepared feed composition depends on the components and fractions
    // alone: a calculation for the feed of the one before keeps it.
    bool same_feed = feed_prepared_ && n_ == set.n;
    for (int i = 0; same_feed && i < set.n; ++i) same_feed = feed_ids_[i] == set.id[i] && z_[i] == z[i];
    set_ = &set;
    n_ = set.n;
    T_ = T;
    p_ = p;
    feed_request_ = feed_request;
    bool water = false;
    for (int i = 0; i < n_; ++i) {
        z_[i] = z[i];
        sqrt_z_[i] = std::sqrt(z[i]);
        water = water || (set.id[i] == kModelH2O && z[i] > 0.0);
        feed_ids_[i] = set.id[i];
    }
    liquid_water_ = !water || model_has_liquid_water(T, p);
    if (!same_feed) model::prepare_composition(set, z_.data(), feed_.composition);
    feed_prepared_ = true;
    feed_evaluated_ = false;
    feed_failed_ = false;
    ++calculations_;
}

namespace {

bool usable(int n, const MixResult& res, const FugacitySet& fug) {
    if (!res.ok() || !std::isfinite(res.Z)) return false;
    for (int i = 0; i < n; ++i) {
        if (!(std::fabs(fug.lnphi[i]) <= kMaxLnPhi)) return false;  // NaN fails too
    }
    return true;
}

}  // namespace

const PhaseEvaluation& SolverContext::evaluate_feed() {
    feed_.res = model::mixstate(*set_, feed_.composition, feed_request_, RootPreference::stable, T_, p_,
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

namespace {

// The density a phase keeps may come from a warm start of an earlier
// calculation: no calculation reuses another's.
void forget_earlier_calculation(PhaseEvaluation& out, long calculation) {
    if (out.calculation != calculation) out.composition.last.set = nullptr;
}

}  // namespace

void SolverContext::reuse(const PhaseEvaluation& from, PhaseEvaluation& out) {
    forget_earlier_calculation(out, calculations_);
    out.res = from.res;
    out.fug.lnphi = from.fug.lnphi;
    out.calculation = calculations_;
}

bool SolverContext::evaluate(const double* x, RootPreference root, MixRequest request,
                             PhaseEvaluation& out, Start start) {
    forget_earlier_calculation(out, calculations_);
    if (feed_evaluated_ && root == RootPreference::stable &&
        request.fugacity != model::Fugacity::ln_phi_and_matrix &&
        request.derivatives == model::TpDerivatives::none && same_composition(n_, x, z_)) {
        // A Rachford-Rice answer at beta = 0 or 1 hands back the feed itself.
        out.res = feed_.res;
        for (int i = 0; i < n_; ++i) out.fug.lnphi[i] = feed_.fug.lnphi[i];
        out.rec = feed_.rec;
        out.calculation = calculations_;
        return !feed_failed_;
    }
    model::DensityHint hint;
    const bool own = out.calculation == calculations_ && out.res.ok();
    const bool warm = start == Start::warm && request.derivatives == model::TpDerivatives::none &&
                      (own || (feed_evaluated_ && !feed_failed_));
    if (warm) {
        const MixResult& from = own ? out.res : feed_.res;
        hint = {from.rho, from.single_root_start};
    }
    out.res = model::mixstate(*set_, out.composition, request, root, T_, p_, x, &out.fug, out.rec,
                              warm ? &hint : nullptr);
    out.calculation = calculations_;
    ++evaluations_;
    return usable(n_, out.res, out.fug);
}

}  // namespace ngtherm::equilibrium
