#include "model/active_set.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace ngtherm::model {
namespace {

// The general power with the double nearest -1/3, as the reducing density uses it.
constexpr double kMinusOneThird = -0.3333333333333333;

// Peng-Robinson constants: Omega_a and Omega_b of the cubic.
constexpr double kPrOmegaA = 0.45724;
constexpr double kPrOmegaB = 0.0778;
// Peng-Robinson m(omega) = kPrM0 + (kPrM1 + kPrM2 omega) omega.
constexpr double kPrM0 = 0.37464;
constexpr double kPrM1 = 1.54226;
constexpr double kPrM2 = -0.26992;

int departure_function(int i, int j, double& F) {
    for (const DeparturePair& p : kDeparturePairs) {
        if (p.i == i && p.j == j) {
            F = p.F;
            return p.function;
        }
    }
    F = 0.0;
    return -1;
}

double pr_k(int i, int j) {
    if (i > j) std::swap(i, j);
    for (const PengRobinsonPair& p : kPengRobinsonPairs) {
        if (p.i == i && p.j == j) return p.k;
    }
    return 0.0;
}

void collect_shapes(ActiveSet& set) {
    std::array<bool, kPureShapeCount> pure{};
    std::array<bool, kDepShapeCount> dep{};
    for (int k = 0; k < set.n; ++k) {
        const TermSeries& s = kPureSeries[set.id[k]];
        for (int t = 0; t < s.count; ++t) pure[kPureTermShape[s.first + t]] = true;
    }
    std::array<bool, kDepartureFunctionCount> functions{};
    for (int q = 0; q < set.dep_pair_count; ++q) {
        functions[set.pair[set.dep_pair[q][0]][set.dep_pair[q][1]].function] = true;
    }
    for (int f = 0; f < kDepartureFunctionCount; ++f) {
        if (!functions[f]) continue;
        const TermSeries& s = kDepartureSeries[f];
        for (int t = 0; t < s.count; ++t) dep[kDepTermShape[s.first + t]] = true;
    }
    std::array<bool, kPureGroupCount> pure_groups{};
    std::array<bool, kDepGroupCount> dep_groups{};
    std::array<bool, kDepExponentialCount> exps{};
    for (int s = 0; s < kPureShapeCount; ++s) {
        if (!pure[s]) continue;
        set.pure_shapes.add(s);
        pure_groups[kPureShapes[s].delta_group] = true;
    }
    for (int s = 0; s < kDepShapeCount; ++s) {
        if (!dep[s]) continue;
        set.dep_shapes.add(s);
        dep_groups[kDepShapes[s].delta_group] = true;
    }
    // The used shapes come in group order, so each group's are one run.
    for (int g = 0, j = 0; g <= kPureGroupCount; ++g) {
        while (j < set.pure_shapes.size && kPureShapes[set.pure_shapes.index[j]].delta_group < g) ++j;
        set.pure_group_first[g] = static_cast<std::uint8_t>(j);
    }
    for (int g = 0, j = 0; g <= kDepGroupCount; ++g) {
        while (j < set.dep_shapes.size && kDepShapes[set.dep_shapes.index[j]].delta_group < g) ++j;
        set.dep_group_first[g] = static_cast<std::uint8_t>(j);
    }
    for (int g = 0; g < kPureGroupCount; ++g) {
        if (!pure_groups[g]) continue;
        set.pure_groups.add(g);
        const PureDeltaGroup& grp = kPureDeltaGroups[g];
        set.pure_exp_used[grp.c] = true;
        set.pure_degree[grp.c] = std::max(set.pure_degree[grp.c], grp.d);
    }
    for (int g = 0; g < kDepGroupCount; ++g) {
        if (!dep_groups[g]) continue;
        set.dep_groups.add(g);
        const DepDeltaGroup& grp = kDepDeltaGroups[g];
        exps[grp.exponential] = true;
        set.dep_degree[grp.exponential] = std::max(set.dep_degree[grp.exponential], grp.d);
    }
    for (int e = 0; e < kDepExponentialCount; ++e) {
        if (exps[e]) set.dep_exponentials.add(e);
    }
    std::array<std::uint8_t, kPureShapeCount> pure_j{};
    std::array<std::uint8_t, kDepShapeCount> dep_j{};
    for (int j = 0; j < set.pure_shapes.size; ++j) {
        const TermShape& shape = kPureShapes[set.pure_shapes.index[j]];
        pure_j[set.pure_shapes.index[j]] = static_cast<std::uint8_t>(j);
        set.pure_power[j] = sigma_power_index(shape.e);
        set.pure_t[j] = shape.e / kPureTauDivisor;
    }
    for (int j = 0; j < set.dep_shapes.size; ++j) {
        const TermShape& shape = kDepShapes[set.dep_shapes.index[j]];
        dep_j[set.dep_shapes.index[j]] = static_cast<std::uint8_t>(j);
        set.dep_power[j] = sigma_power_index(shape.e);
        set.dep_t[j] = shape.e / kDepTauDivisor;
    }
    for (std::size_t t = 0; t < kPureTermN.size(); ++t) set.pure_term_j[t] = pure_j[kPureTermShape[t]];
    for (std::size_t t = 0; t < kDepTermN.size(); ++t) set.dep_term_j[t] = dep_j[kDepTermShape[t]];
}

}  // namespace

void make_active_set(std::span<const int> ids, ActiveSet& set) {
    assert(!ids.empty() && ids.size() <= static_cast<size_t>(kComponentCount));
    set = ActiveSet{};
    set.n = static_cast<int>(ids.size());
    for (int k = 0; k < set.n; ++k) {
        const int i = ids[k];
        assert(i >= 0 && i < kComponentCount && (k == 0 || ids[k - 1] < i));
        set.id[k] = i;
        set.Tc[k] = kComponents[i].Tc;
        set.inv_rhoc[k] = 1.0 / kComponents[i].rhoc;
        set.molar_mass[k] = kComponents[i].molar_mass;

        const PengRobinsonData& pr = kPengRobinson[i];
        set.pr_m[k] = kPrM0 + (kPrM1 + kPrM2 * pr.omega) * pr.omega;
        set.pr_sqrt_a0[k] = std::sqrt(kPrOmegaA * kR * kR * pr.Tc * pr.Tc / pr.pc);
        set.pr_inv_sqrt_Tc[k] = 1.0 / std::sqrt(pr.Tc);
        set.pr_b[k] = kPrOmegaB * kR * pr.Tc / pr.pc;
        set.wilson_Tc[k] = pr.Tc;
        set.wilson_pc[k] = pr.pc;
        set.wilson_omega[k] = pr.omega;
    }
    for (int k = 0; k < set.n; ++k) {
        for (int l = k + 1; l < set.n; ++l) {
            const double kij = pr_k(set.id[k], set.id[l]);
            if (kij != 0.0) set.pr_pair[set.pr_pair_count++] = {k, l, kij};
        }
    }
    for (int k = 0; k < set.n; ++k) {
        for (int l = k + 1; l < set.n; ++l) {
            const int i = set.id[k], j = set.id[l];
            const BinaryReducing& b = kBinaryReducing[i][j];
            PairData& p = set.pair[k][l];
            p.beta_T = b.beta_T;
            p.gamma_T = b.gamma_T;
            p.beta_v = b.beta_v;
            p.gamma_v = b.gamma_v;
            set.beta2[k][l] = {b.beta_T * b.beta_T, b.beta_v * b.beta_v};
            const double T_factor = 2.0 * b.beta_T * b.gamma_T * std::sqrt(kComponents[i].Tc * kComponents[j].Tc);
            const double c = std::pow(kComponents[i].rhoc, kMinusOneThird) +
                             std::pow(kComponents[j].rhoc, kMinusOneThird);
            set.factor[k][l] = {T_factor, 2.0 * b.beta_v * b.gamma_v * (c * c * c / 8.0)};
            if (set.beta2[k][l][0] == 1.0 && set.beta2[k][l][1] == 1.0) {
                set.plain_l[k][set.plain_count[k]++] = static_cast<std::uint8_t>(l);
            } else {
                set.general_l[k][set.general_count[k]++] = static_cast<std::uint8_t>(l);
            }
            p.function = departure_function(i, j, p.F);
            if (p.function >= 0) set.dep_pair[set.dep_pair_count++] = {k, l};
        }
    }
    collect_shapes(set);
}

double wilson_lnK(const ActiveSet& set, int i, double T, double p) {
    return std::log(set.wilson_pc[i] / p) +
           kWilsonFactor * (1.0 + set.wilson_omega[i]) * (1.0 - set.wilson_Tc[i] / T);
}

}  // namespace ngtherm::model
