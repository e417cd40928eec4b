// Restricted step (trust-region step) for a symmetric matrix: the step s that
// solves (H + mu I) s = r with the smallest shift mu >= 0 that keeps H + mu I
// positive definite and ||s|| within the trust radius.
#pragma once

#include "model/active_set.hpp"

namespace ngtherm::equilibrium {

struct RestrictedStep {
    model::Vector s{};   // the step
    double norm = 0.0;   // ||s||
    double mu = 0.0;     // final shift; 0 when the unshifted step was taken
    int iterations = 0;  // factorisations made
    bool ok = true;      // false when the shift did not settle within the cap
};

// H: n x n symmetric matrix ([row][column], left unchanged); r: right-hand side
// (the negative gradient); radius: trust radius (> 0); tau: relative tolerance
// on ||s||^2 / radius^2; mu: starting shift (>= 0).
RestrictedStep rstep(int n, const model::Matrix& H, const model::Vector& r, double radius,
                     double tau, double mu);

// Trust-radius update after an accepted step of length `norm` whose actual
// change agreed with the predicted one by `ratio`: halve the radius to half the
// step on poor agreement, double it on good agreement when the step was
// constrained (mu > 0), otherwise take the step length.
double update_trust_radius(double ratio, double norm, double mu, double radius);

// g^T s + s^T H s / 2: the change of the quadratic model along s.
double predicted_change(int n, const model::Vector& g, const model::Matrix& H,
                        const model::Vector& s);

// Symmetric triangular factorisation H + mu I = L D L^T without pivoting, and
// solves with it; exposed for tests.
struct LdlFactors {
    model::Matrix L{};   // unit lower triangle
    model::Vector D{};   // pivots
    bool positive_definite = true;
};
void ldl_factor(int n, const model::Matrix& H, double mu, LdlFactors& f);
// s = (L D L^T)^-1 r; returns s^T (L D L^T)^-1 s.
double ldl_solve(int n, const LdlFactors& f, const model::Vector& r, model::Vector& s);

}  // namespace ngtherm::equilibrium
