#include "equilibrium/tpequil.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "equilibrium/solver_constants.hpp"
#include "model/ideal_gas.hpp"

namespace ngtherm::equilibrium {

bool ResultCache::holds(std::size_t k, const model::ActiveSet& set, double T, double p,
                        const double* x) const {
    if (states_[k][0] != T || states_[k][1] != p) return false;
    const Key& key = keys_[k];
    if (key.n != set.n) return false;
    for (int i = 0; i < set.n; ++i) {
        // The components themselves are part of the key: equal fractions of
        // different components are a different mixture.
        if (key.ids[i] != set.id[i] || key.x[i] != x[i]) return false;
    }
    return true;
}

const EquilibriumResult* ResultCache::find(const model::ActiveSet& set, double T, double p,
                                           const double* x) {
    std::size_t k = latest_;
    if (!(k < states_.size() && holds(k, set, T, p, x))) {
        for (k = 0; k < states_.size() && !holds(k, set, T, p, x); ++k) {
        }
        if (k == states_.size()) return nullptr;
    }
    latest_ = k;
    last_used_[k] = ++clock_;
    return &results_[k];
}

void ResultCache::store(const model::ActiveSet& set, double T, double p, const double* x,
                        const EquilibriumResult& result) {
    std::size_t k = states_.size();
    if (k < static_cast<std::size_t>(kCacheEntries)) {
        // Grown as needed: a solver of one envelope trace keeps a few states.
        states_.emplace_back();
        keys_.emplace_back();
        results_.emplace_back();
        last_used_.emplace_back();
    } else {
        k = static_cast<std::size_t>(
            std::min_element(last_used_.begin(), last_used_.end()) - last_used_.begin());
    }
    states_[k] = {T, p};
    Key& key = keys_[k];
    key.n = set.n;
    for (int i = 0; i < set.n; ++i) {
        key.ids[i] = set.id[i];
        key.x[i] = x[i];
    }
    results_[k] = result;
    last_used_[k] = ++clock_;
    latest_ = k;
}

void ResultCache::clear() {
    states_.clear();
    keys_.clear();
    results_.clear();
    last_used_.clear();
}

const model::ActiveSet& EquilibriumSolver::active_set(int n, const int* ids) {
    bool same = own_set_valid_ && own_set_.n == n;
    for (int i = 0; same && i < n; ++i) same = own_set_.id[i] == ids[i];
    if (!same) {
        // The set depends on the component numbers alone, so one built for the
        // same components serves again.
        model::make_active_set(std::span<const int>(ids, static_cast<std::size_t>(n)), own_set_);
        own_set_valid_ = true;
    }
    return own_set_;
}

// One component: no split is possible; the state is the stable root.
void EquilibriumSolver::purestate(const model::ActiveSet& set, double T, double p) {
    const double one = 1.0;
    ctx_.begin(set, T, p, &one);
    if (ctx_.water_without_liquid()) {
        result_.error = EquilibriumError::split_failed;
        result_.split_status = SplitStatus::no_liquid_water;
        return;
    }
    const PhaseEvaluation& feed = ctx_.evaluate_feed();
    if (ctx_.feed_failed()) {
        result_.error = EquilibriumError::split_failed;
        result_.split_status = SplitStatus::model_failed;
        return;
    }
    tpprops_one_phase(feed, feed.res.side);
}

// One phase: the feed's own evaluation, with beta from the side of its root.
// Both phases hold the feed's state.
void EquilibriumSolver::tpprops_one_phase(const PhaseEvaluation& feed, model::Side side) {
    const int n = ctx_.n();
    const double T = ctx_.T(), p = ctx_.p();
    result_.beta = side == model::Side::liquid_like ? 0.0 : 1.0;
    result_.one_minus_beta = 1.0 - result_.beta;
    PhaseResult& phase = result_.liquid;
    for (int i = 0; i < n; ++i) {
        result_.x[i] = result_.y[i] = ctx_.z()[i];
        phase.lnphi[i] = feed.fug.lnphi[i];
    }
    phase.Z = feed.res.Z;
    phase.record = {feed.rec, model::ideal_part(ctx_.set(), ctx_.z().data(), T, p)};
    result_.v = feed.res.Z * T / p;
    result_.h = phase.record.ideal.h0 + phase.record.residual.h_r;
    result_.s = phase.record.ideal.s0 + phase.record.residual.s_r;
    result_.u = result_.h - p * result_.v;
    result_.vapour = phase;
}

// Two phases: the ideal-gas part once from the feed, the residual and mixing
// parts phase by phase. False when a phase could not be evaluated.
bool EquilibriumSolver::tpprops_two_phase() {
    const int n = ctx_.n();
    const double T = ctx_.T(), p = ctx_.p();
    model::IdealComponents components;  // the correlations once for the feed and both phases
    model::ideal_components(ctx_.set(), T, components);
    const model::IdealMix ig = model::idealmix(ctx_.set(), components, ctx_.z().data());
    result_.beta = split_.beta;
    result_.one_minus_beta = 1.0 - split_.beta;
    for (int i = 0; i < n; ++i) {
        result_.x[i] = split_.x[i];
        result_.y[i] = split_.y[i];
    }
    result_.h = ig.h;
    result_.s = ig.s - std::log(p);
    result_.v = 0.0;
    struct Phase {
        model::RootPreference root;
        double weight;
        const Vector* c;
        PhaseResult* result;
    };
    // Each phase at its stable root, as the split was solved; the names follow below.
    const Phase phases[2] = {
        {model::RootPreference::stable, result_.one_minus_beta, &result_.x, &result_.liquid},
        {model::RootPreference::stable, result_.beta, &result_.y, &result_.vapour}};
    for (const Phase& ph : phases) {
        if (!ctx_.evaluate(ph.c->data(), ph.root, kFeedRequest, phase_)) return false;
        PhaseResult& out = *ph.result;
        out.Z = phase_.res.Z;
        for (int i = 0; i < n; ++i) out.lnphi[i] = phase_.fug.lnphi[i];
        result_.v += ph.weight * phase_.res.Z * T / p;
        result_.h += ph.weight * phase_.rec.h_r;
        result_.s += ph.weight * (phase_.rec.s_r - model::mixing_term(n, ph.c->data()));
        out.record = {phase_.rec, model::ideal_part(ctx_.set(), components, ph.c->data(), p)};
    }
    result_.u = result_.h - p * result_.v;
    // The denser phase (by mass: M / Z at the same T and p) is the liquid-like
    // one; far below the critical region the solver's first phase can be the lighter.
    const auto mass_density = [](const PhaseResult& ph) { return ph.record.residual.molar_mass / ph.Z; };
    if (mass_density(result_.liquid) < mass_density(result_.vapour)) {
        std::swap(result_.x, result_.y);
        std::swap(result_.liquid, result_.vapour);
        std::swap(result_.beta, result_.one_minus_beta);
    }
    return true;
}

SplitCheck EquilibriumSolver::check_two_phase() const {
    return check_split(ctx_.n(), ctx_.z().data(), ctx_.d().data(), result_.beta, result_.x.data(),
                       result_.liquid.lnphi.data(), result_.y.data(), result_.vapour.lnphi.data());
}

void EquilibriumSolver::mixture_state(const model::ActiveSet& set, double T, double p,
                                      const double* x) {
    Vector z{};
    double total = 0.0;
    for (int i = 0; i < set.n; ++i) total += x[i];
    for (int i = 0; i < set.n; ++i) z[i] = x[i] / total;
    ctx_.begin(set, T, p, z.data());
    split_ = tpsplit(ctx_, work_);
    result_.split_status = split_.status;
    if (split_.status == SplitStatus::ok) {
        if (!split_.two_phase) {
            tpprops_one_phase(ctx_.feed(), split_.feed_side);
            return;
        }
        if (!tpprops_two_phase()) {
            result_.split_status = SplitStatus::model_failed;
        } else if (check_two_phase().passed()) {
            return;
        } else {
            result_.split_status = SplitStatus::check_failed;
        }
    }
    result_.error = EquilibriumError::split_failed;
}

const EquilibriumResult& EquilibriumSolver::solve(const model::ActiveSet& set, double T, double p,
                                                  const double* x) {
    if (const EquilibriumResult* stored = cache_.find(set, T, p, x)) {
        result_ = *stored;
        result_.from_cache = true;
        return result_;
    }
    result_ = EquilibriumResult{};
    result_.T = T;
    result_.p = p;
    if (set.n <= 1) {
        purestate(set, T, p);
    } else {
        mixture_state(set, T, p, x);
    }
    // A failure is kept too: the same request fails the same way, and the
    // property functions ask for one state once per value they return.
    cache_.store(set, T, p, x, result_);
    return result_;
}

const EquilibriumResult& tpequil(EquilibriumSolver& solver, double T, double p, int n,
                                 const int* ids, const double* x) {
    return solver.solve(solver.active_set(n, ids), T, p, x);
}

const EquilibriumResult& tpequil(EquilibriumSolver& solver, const model::ActiveSet& set, double T,
                                 double p, const double* x) {
    return solver.solve(set, T, p, x);
}

}  // namespace ngtherm::equilibrium
