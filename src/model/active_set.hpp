// The components taking part in a calculation and everything that depends only
// on which components they are: the active pair matrices, the Peng-Robinson and
// Wilson data, and the term shapes their equations use. Built once per active
// list and shared by every evaluation of that list; it holds no fractions.
#pragma once

#include <cstdint>

#include <array>
#include <span>

#include "model/gerg_data.hpp"
#include "numerics/dense.hpp"

namespace ngtherm::model {

inline constexpr int kPureShapeCount = static_cast<int>(kPureShapes.size());
inline constexpr int kDepShapeCount = static_cast<int>(kDepShapes.size());
inline constexpr int kPureGroupCount = static_cast<int>(kPureDeltaGroups.size());
inline constexpr int kDepGroupCount = static_cast<int>(kDepDeltaGroups.size());
inline constexpr int kDepExponentialCount = static_cast<int>(kDepExponentials.size());
inline constexpr int kDepartureFunctionCount = static_cast<int>(kDepartureSeries.size());

static_assert(kComponentCount == numerics::kMaxDimension);
using numerics::IndexList;
using numerics::Matrix;
using numerics::Vector;

// Reducing-function and departure parameters of the pair of active positions
// (k, l), k < l, oriented as tabulated for (id[k], id[l]).
struct PairData {
    double beta_T = 0, gamma_T = 0, beta_v = 0, gamma_v = 0, F = 0;
    int function = -1;   // departure function, -1 when F is 0
};

// tau^t of a term shape, t = e / divisor, is sigma^|e| (inverted for e < 0)
// with sigma = tau^(1 / divisor), read from two tables of powers of sigma as
// low[|e| % 16] high[|e| / 16].
struct SigmaPowerIndex {
    std::uint8_t low = 0, high = 0;
    bool invert = false;  // e < 0
};
constexpr SigmaPowerIndex sigma_power_index(int e) {
    const int a = e < 0 ? -e : e;
    return {static_cast<std::uint8_t>(a & 15), static_cast<std::uint8_t>(a >> 4), e < 0};
}

struct ActiveSet {
    int n = 0;
    std::array<int, kComponentCount> id{};  // 0-based model numbers, ascending
    std::array<std::array<PairData, kComponentCount>, kComponentCount> pair{};  // [k][l], k < l
    // The two reducing functions of the pair (k, l), k < l, side by side,
    // [k][l] = {T_r value, rho_r value}, for the pass that forms both in the two
    // lanes of a vector: beta^2 = {beta_T^2, beta_v^2} and the factors
    // {2 beta_T gamma_T sqrt(Tc_k Tc_l), 2 beta_v gamma_v (rhoc_k^-1/3 + rhoc_l^-1/3)^3 / 8}.
    std::array<std::array<std::array<double, 2>, kComponentCount>, kComponentCount> beta2{}, factor{};
    // The partners l > k of each row k, those with a beta other than 1 (`general`)
    // and those with both betas 1 (`plain`, whose quotient needs no division by
    // beta^2 x_k + x_l), each in ascending order.
    std::array<std::array<std::uint8_t, kComponentCount>, kComponentCount> general_l{}, plain_l{};
    std::array<std::uint8_t, kComponentCount> general_count{}, plain_count{};

    Vector Tc{}, inv_rhoc{}, molar_mass{};  // GERG-2008 reducing values, kg/mol

    // Peng-Robinson start values: sqrt(a_i) = pr_sqrt_a0[i] (1 + pr_m[i] (1 - sqrt(T/Tc_i))).
    Vector pr_sqrt_a0{}, pr_m{}, pr_inv_sqrt_Tc{}, pr_b{};
    // Pairs of active positions with a non-zero interaction parameter k_kl.
    int pr_pair_count = 0;
    std::array<PengRobinsonPair, kPengRobinsonPairs.size()> pr_pair{};
    // Wilson K-factor data (the same critical constants as Peng-Robinson).
    Vector wilson_Tc{}, wilson_pc{}, wilson_omega{};

    // Departure pairs that take part: positions (k, l) with a departure function.
    int dep_pair_count = 0;
    std::array<std::array<int, 2>, kDeparturePairs.size()> dep_pair{};

    // The shapes the active equations use, ascending, and so group by group: the
    // used shapes of group g are pure_shapes.index[pure_group_first[g] ..
    // pure_group_first[g + 1]) (dep_ likewise). A group's other shapes have no
    // coefficient in this set and are never formed.
    IndexList<kPureShapeCount> pure_shapes;
    IndexList<kDepShapeCount> dep_shapes;
    std::array<std::uint8_t, kPureGroupCount + 1> pure_group_first{};
    std::array<std::uint8_t, kDepGroupCount + 1> dep_group_first{};
    IndexList<kPureGroupCount> pure_groups;
    IndexList<kDepGroupCount> dep_groups;
    IndexList<kDepExponentialCount> dep_exponentials;
    // By the place j of a used shape: where its tau power is found, and t.
    std::array<SigmaPowerIndex, kPureShapeCount> pure_power{};
    std::array<SigmaPowerIndex, kDepShapeCount> dep_power{};
    std::array<double, kPureShapeCount> pure_t{};
    std::array<double, kDepShapeCount> dep_t{};
    // The place j among the used shapes of the shape of every tabulated
    // pure-fluid and departure term (read for the active equations only).
    std::array<std::uint8_t, kPureTermN.size()> pure_term_j{};
    std::array<std::uint8_t, kDepTermN.size()> dep_term_j{};
    std::array<bool, kPureExponentialClasses> pure_exp_used{};  // exp(-delta^c) needed (c = 0: polynomial terms)
    // Highest power of delta per exponential class, for the polynomial sums.
    std::array<int, kPureExponentialClasses> pure_degree{};
    std::array<int, kDepExponentialCount> dep_degree{};
};

// The pair set-up: gathers the tables for the model numbers `ids` (0-based,
// strictly ascending, 1 to 21 entries).
void make_active_set(std::span<const int> ids, ActiveSet& set);

// Wilson correlation: ln K = ln(pc/p) + kWilsonFactor (1 + omega)(1 - Tc/T).
inline constexpr double kWilsonFactor = 5.373;

// Wilson estimate of ln K_i = ln(y_i / x_i) of active position i at T (K) and p (MPa).
double wilson_lnK(const ActiveSet& set, int i, double T, double p);

}  // namespace ngtherm::model
