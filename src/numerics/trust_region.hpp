// Restricted (trust-region) steps for a symmetric matrix, and the loop that
// tries them: the step s that solves (H + mu I) s = r with the smallest shift
// mu >= 0 that keeps H + mu I positive definite and ||s|| within the trust
// radius; a step that does not lower the objective shrinks the radius, an
// accepted one updates it from the agreement of actual and predicted change.
#pragma once

#include "numerics/dense.hpp"

namespace ngtherm::numerics {

// Relative tolerance of the constrained step length (on ||s||^2 / radius^2).
inline constexpr double kTrustTolerance = 0.1;
// Agreement of actual and predicted change: below kPoorRatio the radius shrinks
// to kShrinkFactor times the step, above kGoodRatio it grows to kGrowFactor
// times the step when the step was constrained.
inline constexpr double kPoorRatio = 0.25;
inline constexpr double kGoodRatio = 0.75;
inline constexpr double kShrinkFactor = 0.5;
inline constexpr double kGrowFactor = 2.0;
// Rejected steps from one set of derivatives at most (each shrinks the radius).
inline constexpr int kMaxRejectedSteps = 60;
// Shift updates at most; the shift converges in a handful where the model is smooth.
inline constexpr int kRstepMaxIterations = 100;
inline constexpr double kRstepGrowShift = 3.0;   // shift growth while no upper bound is known
inline constexpr double kRstepFirstShift = 1.2;  // first shift of an indefinite matrix, times |q|

struct RestrictedStep {
    Vector s{};          // the step
    double norm = 0.0;   // ||s||
    double mu = 0.0;     // final shift; 0 when the unshifted step was taken
    int iterations = 0;  // factorisations made
    bool ok = true;      // false when the shift did not settle within the cap
};

// H: n x n symmetric matrix ([row][column], left unchanged); r: right-hand side
// (the negative gradient); radius: trust radius (> 0); tau: relative tolerance
// on ||s||^2 / radius^2; mu: starting shift (>= 0).
RestrictedStep rstep(int n, const Matrix& H, const Vector& r, double radius, double tau, double mu);

// Trust-radius update after an accepted step of length `norm` whose actual
// change agreed with the predicted one by `ratio`.
double update_trust_radius(double ratio, double norm, double mu, double radius);

// g^T s + s^T H s / 2: the change of the quadratic model along s.
double predicted_change(int n, const Vector& g, const Matrix& H, const Vector& s);

// ||v|| over the first n entries.
double vector_norm(int n, const Vector& v);

// The solver's side of a trial step.
class StepTrial {
public:
    // Takes the restricted step rs, cut back where the variables demand it,
    // writes the step actually taken to `taken` and evaluates the objective
    // there into `value`. False when the objective could not be evaluated.
    virtual bool evaluate(const RestrictedStep& rs, Vector& taken, double& value) = 0;
    // Makes the point of the last evaluation the current one.
    virtual void accept() = 0;

protected:
    ~StepTrial() = default;
};

struct RetrySettings {
    double step_slack = 0.0;     // largest rise of the objective an accepted step may cause
    double reject_shrink = 0.0;  // new radius / step length after a rejection
    bool carry_shift = false;    // each attempt starts from the shift of the one before
};

// Restricted steps from one set of derivatives (H, gradient g, r = -g) at the
// objective value f until one lowers f within the slack; the accepted step
// updates `radius`, every rejected one shrinks it. False when the shift does
// not settle or no step is accepted within kMaxRejectedSteps.
bool accept_or_shrink(int n, const Matrix& H, const Vector& g, const Vector& r, double f,
                      const RetrySettings& settings, StepTrial& trial, double& radius);

}  // namespace ngtherm::numerics
