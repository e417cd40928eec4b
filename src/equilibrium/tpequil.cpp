#include "equilibrium/tpequil.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <utility>

#include "equilibrium/solver_constants.hpp"
#include "model/ideal_gas.hpp"

namespace ngtherm::equilibrium {

bool ResultCache::holds(Entry k, const model::ActiveSet& set, double T, double p, const double* x) const {
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

std::uint32_t ResultCache::slot_of(double T, double p) {
    // The bits of T and p, mixed (a 64-bit multiplicative hash), top bits kept.
    const std::uint64_t h = (std::bit_cast<std::uint64_t>(T) * 0x9E3779B97F4A7C15ull) ^
                            std::bit_cast<std::uint64_t>(p);
    return static_cast<std::uint32_t>((h * 0xC2B2AE3D27D4EB4Full) >> 40) & (kSlots - 1);
}

ResultCache::Entry ResultCache::lookup(const model::ActiveSet& set, double T, double p, const double* x) const {
    for (std::uint32_t i = slot_of(T, p), probes = 0; probes < kSlots; i = (i + 1) & (kSlots - 1), ++probes) {
        const Entry k = slots_[i];
        if (k == kNone) return kNone;
        if (k >= 0 && holds(k, set, T, p, x)) return k;
    }
    return kNone;
}

void ResultCache::insert(Entry k) {
    std::uint32_t i = slot_of(states_[k][0], states_[k][1]);
    while (slots_[i] >= 0) i = (i + 1) & (kSlots - 1);  // fewer entries than slots: ends
    if (slots_[i] == kRemoved) --removed_;
    slots_[i] = k;
}

void ResultCache::remove(Entry k) {
    std::uint32_t i = slot_of(states_[k][0], states_[k][1]);
    while (slots_[i] != k) i = (i + 1) & (kSlots - 1);  // k is in the table
    slots_[i] = kRemoved;
    // Removed slots lengthen every probe that passes them: past a quarter of
    // the table, it is built again from the entries.
    if (++removed_ > kSlots / 4) {
        slots_.fill(kNone);
        removed_ = 0;
        for (Entry e = newest_; e != kNone; e = older_[e]) {
            if (e != k) insert(e);
        }
    }
}

void ResultCache::unlink(Entry k) {
    (newer_[k] == kNone ? newest_ : older_[newer_[k]]) = older_[k];
    (older_[k] == kNone ? oldest_ : newer_[older_[k]]) = newer_[k];
}

void ResultCache::link_first(Entry k) {
    newer_[k] = kNone;
    older_[k] = newest_;
    (newest_ == kNone ? oldest_ : newer_[newest_]) = k;
    newest_ = k;
}

void ResultCache::use(Entry k) {
    latest_ = k;
    if (newest_ == k) return;
    unlink(k);
    link_first(k);
}

EquilibriumResult* ResultCache::find(const model::ActiveSet& set, double T, double p, const double* x) {
    Entry k = latest_;
    if (k == kNone || !holds(k, set, T, p, x)) k = lookup(set, T, p, x);
    if (k == kNone) return nullptr;
    use(k);
    return &results_[k];
}

void ResultCache::store(const model::ActiveSet& set, double T, double p, const double* x,
                        const EquilibriumResult& result) {
    Entry k = static_cast<Entry>(states_.size());
    if (k < kCacheEntries) {
        // Grown as needed: a solver of one envelope trace keeps a few states.
        states_.emplace_back();
        keys_.emplace_back();
        results_.emplace_back();
        newer_.push_back(kNone);
        older_.push_back(kNone);
    } else {
        k = oldest_;
        remove(k);
        unlink(k);
    }
    states_[k] = {T, p};
    Key& key = keys_[k];
    key.n = set.n;
    for (int i = 0; i < set.n; ++i) {
        key.ids[i] = set.id[i];
        key.x[i] = x[i];
    }
    results_[k] = result;
    insert(k);
    link_first(k);
    latest_ = k;
}

void ResultCache::clear() {
    states_.clear();
    keys_.clear();
    results_.clear();
    newer_.clear();
    older_.clear();
    slots_.fill(kNone);
    newest_ = oldest_ = latest_ = kNone;
    removed_ = 0;
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

namespace {

MixRequest feed_request(Detail detail) { return detail == Detail::all ? kFeedRequest : kLnPhiRequest; }

// The feed as the solver takes it: the fractions normalised to sum 1.
Vector normalised(const model::ActiveSet& set, const double* x) {
    Vector z{};
    double total = 0.0;
    for (int i = 0; i < set.n; ++i) total += x[i];
    for (int i = 0; i < set.n; ++i) z[i] = x[i] / total;
    return z;
}

// The record and the overall h, s and u of a one-phase result of feed z
// from the feed's residual record.
void one_phase_records(const model::ActiveSet& set, const Vector& z, const model::ResidualProperties& rec,
                       EquilibriumResult& r) {
    PhaseResult& phase = r.liquid;
    phase.record = {rec, model::ideal_part(set, z.data(), r.T, r.p)};
    r.h = phase.record.ideal.h0 + phase.record.residual.h_r;
    r.s = phase.record.ideal.s0 + phase.record.residual.s_r;
    r.u = r.h - r.p * r.v;
    r.vapour.record = phase.record;
}

// A phase of a two-phase result by the order the solver found them in: its
// fraction, composition and result.
struct SolverPhase {
    double weight;
    const Vector* c;
    PhaseResult* result;
};

std::array<SolverPhase, 2> solver_phases(EquilibriumResult& r) {
    const SolverPhase liquid{r.one_minus_beta, &r.x, &r.liquid}, vapour{r.beta, &r.y, &r.vapour};
    if (r.swapped) return {vapour, liquid};
    return {liquid, vapour};
}

// The records and the overall h and s of a two-phase result of feed z from
// the residual records of its phases, in the solver's order: the ideal-gas
// part once from the feed, the residual and mixing parts phase by phase.
void two_phase_records(const model::ActiveSet& set, const Vector& z,
                       const std::array<model::ResidualProperties, 2>& rec, EquilibriumResult& r) {
    model::IdealComponents components;  // the correlations once for the feed and both phases
    model::ideal_components(set, r.T, components);
    const model::IdealMix ig = model::idealmix(set, components, z.data());
    r.h = ig.h;
    r.s = ig.s - std::log(r.p);
    const std::array<SolverPhase, 2> phases = solver_phases(r);
    for (int k = 0; k < 2; ++k) {
        const SolverPhase& ph = phases[k];
        r.h += ph.weight * rec[k].h_r;
        r.s += ph.weight * (rec[k].s_r - model::mixing_term(set.n, ph.c->data()));
        ph.result->record = {rec[k], model::ideal_part(set, components, ph.c->data(), r.p)};
    }
    r.u = r.h - r.p * r.v;
}

}  // namespace

// One component: no split is possible; the state is the stable root.
void EquilibriumSolver::purestate(const model::ActiveSet& set, double T, double p, Detail detail) {
    const double one = 1.0;
    ctx_.begin(set, T, p, &one, feed_request(detail));
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
    phase.rho = feed.res.rho;
    phase.record.residual.molar_mass = feed.rec.molar_mass;
    result_.v = feed.res.Z * T / p;
    result_.vapour = phase;
    if (result_.caloric) one_phase_records(ctx_.set(), ctx_.z(), feed.rec, result_);
}

// Two phases: each evaluated at its composition by the density search alone,
// with the records where they are asked for. False when a phase could not be
// evaluated.
bool EquilibriumSolver::tpprops_two_phase(Detail detail) {
    const int n = ctx_.n();
    const double T = ctx_.T(), p = ctx_.p();
    result_.beta = split_.beta;
    result_.one_minus_beta = 1.0 - split_.beta;
    for (int i = 0; i < n; ++i) {
        result_.x[i] = split_.x[i];
        result_.y[i] = split_.y[i];
    }
    result_.v = 0.0;
    std::array<model::ResidualProperties, 2> rec;
    const std::array<SolverPhase, 2> phases = solver_phases(result_);
    for (int k = 0; k < 2; ++k) {
        const SolverPhase& ph = phases[k];
        // Each phase at its stable root, as the split was solved.
        if (!ctx_.evaluate(ph.c->data(), RootPreference::stable, feed_request(detail), phase_, Start::search)) {
            return false;
        }
        PhaseResult& out = *ph.result;
        out.Z = phase_.res.Z;
        out.rho = phase_.res.rho;
        for (int i = 0; i < n; ++i) out.lnphi[i] = phase_.fug.lnphi[i];
        out.record.residual.molar_mass = phase_.rec.molar_mass;
        rec[k] = phase_.rec;
        result_.v += ph.weight * phase_.res.Z * T / p;
    }
    if (result_.caloric) two_phase_records(ctx_.set(), ctx_.z(), rec, result_);
    // The denser phase (by mass: M / Z at the same T and p) is the liquid-like
    // one; far below the critical region the solver's first phase can be the lighter.
    const auto mass_density = [](const PhaseResult& ph) { return ph.record.residual.molar_mass / ph.Z; };
    if (mass_density(result_.liquid) < mass_density(result_.vapour)) {
        std::swap(result_.x, result_.y);
        std::swap(result_.liquid, result_.vapour);
        std::swap(result_.beta, result_.one_minus_beta);
        result_.swapped = true;
    }
    return true;
}

// The records of a result solved without them, each phase at the density it
// was found at: the numbers a solution with Detail::all gives.
void EquilibriumSolver::complete_records(const model::ActiveSet& set, const double* x, EquilibriumResult& r) {
    const Vector z = normalised(set, x);
    const auto record_at = [&](const Vector& c, double rho) {
        model::ResidualProperties rec;
        model::prepare_composition(set, c.data(), record_composition_);
        model::mixstate_at_density(set, record_composition_, kRecordRequest, r.T, r.p, rho, nullptr, rec);
        return rec;
    };
    if (r.two_phase()) {
        const std::array<SolverPhase, 2> phases = solver_phases(r);
        const std::array<model::ResidualProperties, 2> rec{record_at(*phases[0].c, phases[0].result->rho),
                                                           record_at(*phases[1].c, phases[1].result->rho)};
        two_phase_records(set, z, rec, r);
    } else {
        one_phase_records(set, z, record_at(z, r.liquid.rho), r);
    }
    r.caloric = true;
}

SplitCheck EquilibriumSolver::check_two_phase() const {
    return check_split(ctx_.n(), ctx_.z().data(), ctx_.d().data(), result_.beta, result_.x.data(),
                       result_.liquid.lnphi.data(), result_.y.data(), result_.vapour.lnphi.data());
}

void EquilibriumSolver::mixture_state(const model::ActiveSet& set, double T, double p,
                                      const double* x, Detail detail) {
    const Vector z = normalised(set, x);
    ctx_.begin(set, T, p, z.data(), feed_request(detail));
    split_ = tpsplit(ctx_, work_);
    result_.split_status = split_.status;
    if (split_.status == SplitStatus::ok) {
        if (!split_.two_phase) {
            tpprops_one_phase(ctx_.feed(), split_.feed_side);
            return;
        }
        if (!tpprops_two_phase(detail)) {
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
                                                  const double* x, Detail detail) {
    if (EquilibriumResult* stored = cache_.find(set, T, p, x)) {
        if (detail == Detail::all && !stored->caloric && stored->error == EquilibriumError::none) {
            complete_records(set, x, *stored);
        }
        result_ = *stored;
        result_.from_cache = true;
        return result_;
    }
    result_ = EquilibriumResult{};
    result_.T = T;
    result_.p = p;
    result_.caloric = detail == Detail::all;
    if (set.n <= 1) {
        purestate(set, T, p, detail);
    } else {
        mixture_state(set, T, p, x, detail);
    }
    // A failure is kept too: the same request fails the same way, and the
    // property functions ask for one state once per value they return.
    cache_.store(set, T, p, x, result_);
    return result_;
}

const EquilibriumResult& tpequil(EquilibriumSolver& solver, double T, double p, int n,
                                 const int* ids, const double* x, Detail detail) {
    return solver.solve(solver.active_set(n, ids), T, p, x, detail);
}

const EquilibriumResult& tpequil(EquilibriumSolver& solver, const model::ActiveSet& set, double T,
                                 double p, const double* x, Detail detail) {
    return solver.solve(set, T, p, x, detail);
}

}  // namespace ngtherm::equilibrium
