// The record of one evaluated phase: what the density search leaves behind
// (the residual part) and what the ideal-gas correlations add for the phase
// composition. Caloric values are divided by R; V' = v/R in K/MPa.
#pragma once

namespace ngtherm::model {

// Residual properties of one phase at (T, p), written by mixstate.
struct ResidualProperties {
    double h_r = 0;               // h_r/R, K
    double s_r = 0;               // s_r/R at T and p
    double cp_r = 0;              // cp_r/R
    double cv_r = 0;              // cv_r/R
    double dpdV = 0;              // (dp/dV')_T, MPa^2/K
    double dVdT = 0;              // (dV'/dT)_p, 1/MPa
    double dpdT = 0;              // (dp/dT)_rho, MPa/K
    double V_minus_TdVdT = 0;     // V' - T (dV'/dT)_p, K/MPa
    double inv_p_minus_dVdT = 0;  // 1/p - (dV'/dT)_p, 1/MPa
    double molar_mass = 0;        // kg/mol
    bool operator==(const ResidualProperties&) const = default;
};

// Ideal-gas part of one phase at (T, p), with the pressure and mixing terms.
struct IdealGasPart {
    double h0 = 0;   // h0/R, K
    double s0 = 0;   // s0/R - ln p - sum x ln x
    double cp0 = 0;  // cp0/R
    bool operator==(const IdealGasPart&) const = default;
};

struct PhaseRecord {
    ResidualProperties residual;
    IdealGasPart ideal;
    bool operator==(const PhaseRecord&) const = default;
};

}  // namespace ngtherm::model
