// Layout of the built-in GERG-2008 constant tables. The values themselves are
// generated from data/gerg2008.json and data/peng_robinson.json into
// gerg_data.hpp by tools/generate_tables.py; never edit them by hand.
#pragma once

#include <array>
#include <cstdint>

#include "ngtherm/components.hpp"

namespace ngtherm::model {

// The tables cover the 21 components of ngtherm::kComponentCount.

struct ComponentData {
    const char* id;     // short id, e.g. "nC4"
    const char* name;   // English name, e.g. "n-butane"
    double molar_mass;  // kg/mol
    double Tc;          // reducing temperature (critical temperature), K
    double rhoc;        // reducing density (critical density), mol/dm3
};

// Ideal-gas heat-capacity correlation of one component:
// cp0/R* = 1 + c0 + sum_sinh a (th/T)^2/sinh^2(th/T) + sum_cosh a (th/T)^2/cosh^2(th/T).
// The two integration constants are derived at run time from the reference state.
struct IdealGasRecord {
    double c0;
    int sinh_count;
    std::array<double, 2> sinh_a;
    std::array<double, 2> sinh_theta;  // K
    int cosh_count;
    std::array<double, 2> cosh_a;
    std::array<double, 2> cosh_theta;  // K
};

// One equation of the residual part, a pure-fluid equation or a departure
// function: its terms are [first, first + count) of the family's flat term arrays.
struct TermSeries {
    int count;  // number of terms
    int first;  // index of the first term
};

// A term shape shared by several equations: delta^d tau^(e/D) times the
// exponential factor of its delta group. `delta_group` indexes kPureDeltaGroups or
// kDepDeltaGroups, which hold (d, exponential) combinations.
struct TermShape {
    int d;
    int e;
    int delta_group;
};

struct PureDeltaGroup {
    int d;
    int c;  // exponent of delta inside exp(-delta^c); 0 = polynomial
};

struct DepExponential {
    double eta, epsilon, beta, gamma;  // exp(-eta (delta-epsilon)^2 - beta (delta-gamma))
    int eta_eighths;    // eta * 8
    int beta_quarters;  // beta * 4
};

struct DepDeltaGroup {
    int d;
    int exponential;  // index into kDepExponentials; 0 = polynomial (factor 1)
};

struct DeparturePair {
    int i, j;      // 0-based model numbers, i < j
    double F;      // weight of the departure function
    int function;  // index into kDepartureSeries
};

struct BinaryReducing {
    double beta_v, gamma_v, beta_T, gamma_T;
};

struct PengRobinsonData {
    double Tc;     // K
    double pc;     // MPa
    double omega;  // acentric factor
};

struct PengRobinsonPair {
    int i, j;  // 0-based model numbers, i < j
    double k;
};

}  // namespace ngtherm::model
