#include "equilibrium/tpequil.hpp"

#include <cmath>

#include "equilibrium/solver_constants.hpp"
#include "model/ideal_gas.hpp"

namespace ngtherm::equilibrium {

EquilibriumSolver::EquilibriumSolver() {
    key_.T = kCacheEmptyT;
    key_.p = kCacheEmptyP;
}

bool EquilibriumSolver::cache_hit(const model::ActiveSet& set, int mode, double T, double p,
                                  const double* x) const {
    if (key_.mode != mode || !(std::fabs(T - key_.T) <= kCacheTolerance) ||
        !(std::fabs(p - key_.p) <= kCacheTolerance) || key_.n != set.n) {
        return false;
    }
    for (int i = 0; i < set.n; ++i) {
        // The components themselves are part of the key: equal fractions of
        // different components are a different mixture.
        if (key_.ids[i] != set.id[i] || !(std::fabs(x[i] - key_.x[i]) <= kCacheTolerance)) {
            return false;
        }
    }
    return true;
}

void EquilibriumSolver::cache_store(const model::ActiveSet& set, int mode, const double* x) {
    key_.mode = mode;
    key_.T = result_.T;
    key_.p = result_.p;
    key_.n = set.n;
    for (int i = 0; i < set.n; ++i) {
        key_.ids[i] = set.id[i];
        key_.x[i] = x[i];
    }
    stored_ = result_;
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
void EquilibriumSolver::purestate(const model::ActiveSet& set, int mode, double T, double p) {
    if (mode != kModeTP) {
        result_.error = kErrorSingleRefused;
        result_.sentinel = kSentinelSingleComponent;
        return;
    }
    const double one = 1.0;
    ctx_.begin(set, T, p, &one);
    const PhaseEvaluation& feed = ctx_.evaluate_feed();
    if (ctx_.feed_failed()) {
        result_.error = kErrorSplitFailed;
        result_.sentinel = kSentinelSplitFailed;
        result_.split_status = SplitStatus::model_failed;
        return;
    }
    result_.x[0] = result_.y[0] = 1.0;
    result_.Z1 = result_.Z2 = feed.res.Z;
    result_.rec1 = feed.rec;
    result_.lnphi1[0] = feed.fug.lnphi[0];
    model::complete_record(set, result_.x.data(), T, p, result_.rec1);
    result_.v = feed.res.Z * T / p;
    result_.h = result_.rec1[13] + result_.rec1[3];
    result_.s = result_.rec1[14] + result_.rec1[4];
    result_.u = result_.h - p * result_.v;
    result_.beta = feed.res.phase_flag > 0 ? 0.0 : 1.0;
    result_.one_minus_beta = 1.0 - result_.beta;
}

// One phase: the feed's own evaluation, with beta from its phase flag.
void EquilibriumSolver::tpprops_one_phase() {
    const PhaseEvaluation& feed = ctx_.feed();
    const int n = ctx_.n();
    const double T = ctx_.T(), p = ctx_.p();
    result_.beta = split_.feed_phase_flag > 0 ? 0.0 : 1.0;
    result_.one_minus_beta = 1.0 - result_.beta;
    for (int i = 0; i < n; ++i) {
        result_.x[i] = result_.y[i] = ctx_.z()[i];
        result_.lnphi1[i] = feed.fug.lnphi[i];
    }
    result_.Z1 = result_.Z2 = feed.res.Z;
    result_.rec1 = feed.rec;
    model::complete_record(ctx_.set(), ctx_.z().data(), T, p, result_.rec1);
    result_.v = feed.res.Z * T / p;
    result_.h = result_.rec1[13] + result_.rec1[3];
    result_.s = result_.rec1[14] + result_.rec1[4];
    result_.u = result_.h - p * result_.v;
}

namespace {

double mixing_sum(int n, const Vector& c) {
    double s = 0.0;
    for (int i = 0; i < n; ++i) {
        if (c[i] > 0.0) s += c[i] * std::log(c[i]);
    }
    return s;
}

}  // namespace

// Two phases: the ideal-gas part once from the feed, the residual and mixing
// parts phase by phase. False when a phase could not be evaluated.
bool EquilibriumSolver::tpprops_two_phase() {
    const int n = ctx_.n();
    const double T = ctx_.T(), p = ctx_.p();
    const model::IdealMix ig = model::idealmix(ctx_.set(), ctx_.z().data(), T);
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
        int root;
        double weight;
        const Vector* c;
        double* Z;
        ResidualRecord* rec;
        Vector* lnphi;
    };
    const Phase phases[2] = {
        {model::kRootLiquid, result_.one_minus_beta, &result_.x, &result_.Z1, &result_.rec1,
         &result_.lnphi1},
        {model::kRootVapour, result_.beta, &result_.y, &result_.Z2, &result_.rec2,
         &result_.lnphi2}};
    for (const Phase& ph : phases) {
        if (!ctx_.evaluate(ph.c->data(), ph.root, kFeedRequest, phase_)) return false;
        *ph.Z = phase_.res.Z;
        *ph.rec = phase_.rec;
        for (int i = 0; i < n; ++i) (*ph.lnphi)[i] = phase_.fug.lnphi[i];
        result_.v += ph.weight * phase_.res.Z * T / p;
        result_.h += ph.weight * phase_.rec[3];
        result_.s += ph.weight * (phase_.rec[4] - mixing_sum(n, *ph.c));
        model::complete_record(ctx_.set(), ph.c->data(), T, p, *ph.rec);
    }
    result_.u = result_.h - p * result_.v;
    return true;
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
            tpprops_one_phase();
            return;
        }
        if (tpprops_two_phase()) return;
        result_.split_status = SplitStatus::model_failed;
    }
    result_.error = kErrorSplitFailed;
    result_.sentinel = kSentinelSplitFailed;
}

const EquilibriumResult& EquilibriumSolver::solve(const model::ActiveSet& set, int mode, double T,
                                                  double p, const double* x) {
    if (cache_hit(set, mode, T, p, x)) {
        result_ = stored_;
        result_.from_cache = true;
        return result_;
    }
    result_ = EquilibriumResult{};
    result_.T = T;
    result_.p = p;
    if (set.n <= 1) {
        purestate(set, mode, T, p);
    } else {
        mixture_state(set, T, p, x);
    }
    if (result_.error == kErrorNone) cache_store(set, mode, x);
    return result_;
}

const EquilibriumResult& tpequil(EquilibriumSolver& solver, int mode, double T, double p, int n,
                                 const int* ids, const double* x) {
    return solver.solve(solver.active_set(n, ids), mode, T, p, x);
}

const EquilibriumResult& tpequil(EquilibriumSolver& solver, const model::ActiveSet& set, int mode,
                                 double T, double p, const double* x) {
    return solver.solve(set, mode, T, p, x);
}

}  // namespace ngtherm::equilibrium
