#include "properties/phase_formulas.hpp"

#include <cmath>
#include <limits>

namespace ngtherm::properties {

PhaseProperties phase_properties(const model::ResidualRecord& r, double Z, double T, double p,
                                 bool* w_squared_negative) {
    const double R = kRMolar;
    const double M = r[16];
    const double V = T * Z / p;  // V' = v/R, K/MPa
    const double cv_R = r[15] - 1.0 + r[12];
    const double cp_R = r[5] + r[15];
    const double gamma = cp_R / cv_R;
    PhaseProperties out;
    out.Z = Z;
    out.rho = 1.0 / (model::kR * V);
    out.h = R * (r[3] + r[13]);
    out.s = R * (r[4] + r[14]);
    out.u = R * (r[3] + r[13] - T * Z);
    out.cp = R * cp_R;
    out.cv = R * cv_R;
    const double w2 = -V * V * gamma * r[8] * kRMolar / M;
    if (w_squared_negative) *w_squared_negative = w2 < 0.0;
    out.w = w2 < 0.0 ? std::numeric_limits<double>::quiet_NaN() : std::sqrt(w2);
    out.kappa = -V * gamma * r[8] / p;
    out.jt = -r[7] / (cv_R + T * r[9] * r[11]);
    return out;
}

}  // namespace ngtherm::properties
