// The phase-equilibrium driver: the equilibrium state of a mixture at given T
// and p (one phase, or a liquid-like and a vapour-like phase), with a cache of
// the most recent results. All working storage lives in an EquilibriumSolver;
// use one solver per thread.
#pragma once

#include <cstdint>
#include <vector>

#include "equilibrium/solver_context.hpp"
#include "equilibrium/split_check.hpp"
#include "equilibrium/tpsplit.hpp"
#include "model/active_set.hpp"
#include "model/phase_record.hpp"

namespace ngtherm::equilibrium {

enum class EquilibriumError {
    none,          // one phase, or a converged split
    split_failed,  // the stability test or the split failed, or a phase had no density
};

// What a caller reads of an equilibrium state. The phase records and the
// overall h, s and u cost the second derivatives and the ideal-gas part of
// every phase; Z, the density and the composition of each phase come without.
enum class Detail {
    volumetric,  // the phases, their Z, ln phi and density, and the overall v
    all,         // also the records and the overall h, s and u
};

// One phase of the equilibrium state.
struct PhaseResult {
    double Z = 0.0;             // compressibility factor
    double rho = 0.0;           // mol/dm3, the root the phase was found at
    model::PhaseRecord record;  // residual and ideal-gas parts (molar mass alone without Detail::all)
    Vector lnphi{};             // ln phi by active position
};

// Everything a property routine, the flash or the C layer needs from one
// equilibrium calculation. Caloric values are divided by R = 8.314472 J/(mol K).
struct EquilibriumResult {
    double T = 0.0, p = 0.0;            // K, MPa (copies of the request)
    double beta = 0.0;                  // molar fraction of the vapour-like phase
    double one_minus_beta = 0.0;        // molar fraction of the liquid-like phase
    Vector x{}, y{};                    // liquid-like and vapour-like compositions (the feed for one phase)
    double h = 0.0, s = 0.0, u = 0.0;   // overall h/R [K], s/R, u/R = h/R - p v/R [K]
    double v = 0.0;                     // overall v/R = T Z / p [K/MPa]
    PhaseResult liquid, vapour;         // for one phase both hold the feed's state
    bool caloric = false;               // the records, h, s and u are filled (Detail::all)
    // Two phases: the solver found the vapour-like phase first (the phase sums
    // of h and s go in the solver's order).
    bool swapped = false;
    EquilibriumError error = EquilibriumError::none;
    // Diagnostics: status of the split and whether the cache answered.
    SplitStatus split_status = SplitStatus::ok;
    bool from_cache = false;

    // Two phases exactly when beta (1 - beta) > 0.
    bool two_phase() const { return beta * one_minus_beta > 0.0; }
};

class EquilibriumSolver;

// The equilibrium at (T, p) of n active components with ascending 0-based
// model numbers `ids` and fractions x (not necessarily normalised; components
// must have fractions >= 1e-8), with what `detail` asks for at least. The
// result stays valid until the next call on the same solver. Its numbers do
// not depend on `detail` nor on the calls before.
const EquilibriumResult& tpequil(EquilibriumSolver& solver, double T, double p, int n,
                                 const int* ids, const double* x, Detail detail = Detail::all);

// The same for an active set built by the caller; `set` must outlive the call.
const EquilibriumResult& tpequil(EquilibriumSolver& solver, const model::ActiveSet& set, double T,
                                 double p, const double* x, Detail detail = Detail::all);

// The results of the last kCacheEntries distinct requests of a solver. Only
// the very same request is answered: the same components, fractions, T and p
// to the bit. A nearby state answered from the cache would make a call's
// answer depend on the calls before it; an identical one gets the bits it
// would get computed afresh. When full, the entry used longest ago gives way.
// The entries are found through a hash table of (T, p) and kept in the order
// of their use, so that neither a miss nor a replacement reads every entry.
class ResultCache {
public:
    ResultCache() { slots_.fill(kNone); }
    // The result stored for this request, or null.
    EquilibriumResult* find(const model::ActiveSet& set, double T, double p, const double* x);
    // Keeps the result of a request that find did not answer.
    void store(const model::ActiveSet& set, double T, double p, const double* x,
               const EquilibriumResult& result);
    void clear();

private:
    using Entry = std::int16_t;
    static constexpr Entry kNone = -1;       // an empty slot of the table, the end of the use list
    static constexpr Entry kRemoved = -2;    // a slot whose entry gave way
    static constexpr int kSlots = 2 * kCacheEntries;  // a power of two
    static_assert((kSlots & (kSlots - 1)) == 0 && kCacheEntries <= 0x7fff);

    struct Key {
        int n = 0;
        std::array<int, kComponentCount> ids{};
        Vector x{};
    };
    bool holds(Entry k, const model::ActiveSet& set, double T, double p, const double* x) const;
    static std::uint32_t slot_of(double T, double p);
    Entry lookup(const model::ActiveSet& set, double T, double p, const double* x) const;
    void insert(Entry k);
    void remove(Entry k);
    void unlink(Entry k);
    void link_first(Entry k);
    void use(Entry k);

    // (T, p) of every entry apart from the rest of its key, so that a miss
    // reads little memory.
    std::vector<std::array<double, 2>> states_;
    std::vector<Key> keys_;
    std::vector<EquilibriumResult> results_;
    std::array<Entry, kSlots> slots_;  // entries by the hash of (T, p), linear probing
    int removed_ = 0;                    // slots marked kRemoved
    // The entries in the order of their use: newest_ first, oldest_ last.
    std::vector<Entry> newer_, older_;
    Entry newest_ = kNone, oldest_ = kNone;
    // The entry found or stored last, tried first: the property functions ask
    // for one state once per value they return.
    Entry latest_ = kNone;
};

class EquilibriumSolver {
public:
    // Model evaluations made by this solver so far (cache hits make none).
    long evaluations() const { return ctx_.evaluations(); }
    // The split of the last computed (not cached) request.
    const SplitResult& last_split() const { return split_; }
    const EquilibriumResult& result() const { return result_; }
    // Forgets every stored result: each request is computed again.
    void clear_cache() { cache_.clear(); }

private:
    const EquilibriumResult& solve(const model::ActiveSet& set, double T, double p,
                                   const double* x, Detail detail);
    void purestate(const model::ActiveSet& set, double T, double p, Detail detail);
    void mixture_state(const model::ActiveSet& set, double T, double p, const double* x, Detail detail);
    void tpprops_one_phase(const PhaseEvaluation& feed, model::Side side);
    bool tpprops_two_phase(Detail detail);
    void complete_records(const model::ActiveSet& set, const double* x, EquilibriumResult& r);
    SplitCheck check_two_phase() const;
    const model::ActiveSet& active_set(int n, const int* ids);

    ResultCache cache_;
    EquilibriumResult result_;
    SolverContext ctx_;
    SplitWork work_;
    SplitResult split_;
    PhaseEvaluation phase_;
    model::CompositionState record_composition_;  // scratch of complete_records
    model::ActiveSet own_set_;
    bool own_set_valid_ = false;

    friend const EquilibriumResult& tpequil(EquilibriumSolver&, double, double, int, const int*,
                                            const double*, Detail);
    friend const EquilibriumResult& tpequil(EquilibriumSolver&, const model::ActiveSet&, double,
                                            double, const double*, Detail);
};

}  // namespace ngtherm::equilibrium
