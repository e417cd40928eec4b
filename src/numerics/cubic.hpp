// Cubic in a step variable s, kept in powers of s: the Hermite cubic through
// two points with their slopes, used to extrapolate along a traced curve
// (s = 0 at the last converged point).
#pragma once

#include "numerics/lu.hpp"

namespace ngtherm::numerics {

struct Cubic {
    double a0 = 0.0, a1 = 0.0, a2 = 0.0, a3 = 0.0;

    double value(double s) const { return ((a3 * s + a2) * s + a1) * s + a0; }
    double slope(double s) const { return (3.0 * a3 * s + 2.0 * a2) * s + a1; }
    double curvature(double s) const { return 6.0 * a3 * s + 2.0 * a2; }

    // The straight line through value x with slope d at s = 0.
    static Cubic line(double x, double d) { return {x, d, 0.0, 0.0}; }

    // The cubic with value x and slope d at s = 0 and value x_prev and slope
    // d_prev at s = u (u != 0).
    static Cubic hermite(double x_prev, double d_prev, double u, double x, double d) {
        const double A = (x_prev - x - d * u) / (u * u);
        const double B = (d_prev - d) / u;
        return {x, d, 3.0 * A - B, (B - 2.0 * A) / u};
    }

    // The same curve in the variable t = c s (c != 0).
    Cubic rescaled(double c) const { return {a0, a1 / c, a2 / (c * c), a3 / (c * c * c)}; }
};

// One cubic per unknown of a system, kept coefficient by coefficient.
struct CubicSet {
    LuVector a0{}, a1{}, a2{}, a3{};

    Cubic operator[](int k) const { return {a0[k], a1[k], a2[k], a3[k]}; }
    void set(int k, const Cubic& c) {
        a0[k] = c.a0;
        a1[k] = c.a1;
        a2[k] = c.a2;
        a3[k] = c.a3;
    }
};

}  // namespace ngtherm::numerics
