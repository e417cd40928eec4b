// Tolerances, caps and fixed factors of the phase-equilibrium solver, in one
// place. The stability test and the split are sensitive to every one of them
// near phase boundaries, so none appears as a bare literal in the algorithms.
#pragma once

#include "model/sentinels.hpp"

namespace ngtherm::equilibrium {

// ---- result cache ----------------------------------------------------------
// Results a solver keeps: enough for a table of 256 states whose properties
// are asked column by column (each state comes back after all the others).
// About 1.3 kB each (320 kB when full); the storage grows with the entries.
inline constexpr int kCacheEntries = 256;

// ---- model evaluations -----------------------------------------------------
// An evaluation whose |ln phi_i| exceeds this is no phase of the model: e^700 is
// near the largest double, and real phases stay far inside it (|ln phi| of a
// few tens for the heaviest traces at the lowest temperatures). Far inside the
// two-phase region of water, p(rho) of a water-rich mixture swings by 10^8 MPa
// between its loops; the equation's roots there give ln phi of 10^8 and more.
inline constexpr double kMaxLnPhi = 700.0;

// ---- tpsplit ---------------------------------------------------------------
enum class SplitStatus {
    // One phase, max |Delta ln K| < kSubstitutionTolerance or max gap < kSplitGradientTolerance
    // (or below kSplitStalledGap where the second-order split stalled).
    ok,
    // kSplitNewtonIterations passed, or no step was accepted, with max |ln f_V - ln f_L| above it,
    // and kFallbackSubstitutionSteps of substitution from there did not converge either.
    not_converged,
    // A trial phase ended with neither tm < kUnstableTm nor a stationary point.
    no_verdict,
    // The model found no density, or an ln phi beyond kMaxLnPhi, for the feed or a phase.
    model_failed,
    // The converged split failed its final check (fugacities, balance or Gibbs energy).
    check_failed,
    // The feed holds water where the model has no liquid water (model_has_liquid_water):
    // the phase its water would form lies outside the model.
    no_liquid_water,
};

// Phase fraction that starts the Rachford-Rice solution and every re-seed.
inline constexpr double kStartBeta = 0.5;
// ln z taken for a component of zero feed fraction (keeps its reference finite).
inline constexpr double kLnZeroFraction = -50.0;
// Substitution steps that probe for a split before the stability test.
inline constexpr int kProbingSteps = 3;
// A reduced Gibbs energy change or tangent-plane distance below this reveals a split.
inline constexpr double kSplitRevealed = -1e-8;
// Cycles of accelerated substitution, and substitution steps per cycle.
inline constexpr int kAcceleratedCycles = 3;
inline constexpr int kStepsPerCycle = 3;
// Substitution has converged when no |ln K_new - ln K| exceeds this.
inline constexpr double kSubstitutionTolerance = 1e-9;
// Largest ratio of successive step norms used for the extrapolation (factor <= 19).
inline constexpr double kMaxExtrapolationRatio = 0.95;
// An extrapolated point is kept when its Gibbs energy rose by less than this.
inline constexpr double kExtrapolationSlackG = 1e-10;
// Two phases whose largest |ln K| is below this are one phase (a trivial split).
inline constexpr double kTrivialSplitLnK = 1e-6;

// ---- rrsolve ---------------------------------------------------------------
// Upper (lower) end of the bracket of beta (of 1 - beta): the root lies in that half.
inline constexpr double kRachfordRiceHalf = 0.5;
// Newton iteration stops when |g| + |g/g'| falls to this.
inline constexpr double kRachfordRiceTolerance = 1e-8;
// Newton steps at most; the bracket halves on every rejected step, so the cap is far beyond need.
inline constexpr int kRachfordRiceMaxIterations = 200;

// ---- tpdmin ----------------------------------------------------------------
// Tangent-plane distance below which the feed counts as unstable.
inline constexpr double kUnstableTm = -1e-7;
// Substitution in the trial phase has converged when no |e_i| exceeds this.
inline constexpr double kTrialSubstitutionTolerance = 1e-7;
// A trial phase within this distance of the feed (sqrt-fraction metric) ...
inline constexpr double kTrivialDistance = 0.1;
// ... whose tm falls in this ratio to the first-order prediction is heading for the feed.
inline constexpr double kTrivialRatio = 0.8;
// A trial only asked for a verdict stops as stable once it has settled far
// above kUnstableTm. A substitution trial is worth a check of the Hessian once
// tm exceeds kTrialSettledTm and sum W_i e_i^2 (about what the next step lowers
// tm by) is below kTrialSettledShare times tm and below kTrialSettledRatio times
// that of the step before. The check passes where the Hessian is positive
// definite and the quadratic model lowers tm by less than kTrialSettledModelShare
// times tm: the model would have to be four times wrong to hide a negative tm.
// Where it was allowed to lower tm by all of it, a check as early as 7 % of tm
// in the sum already missed splits a hair inside the boundary (two sour gases
// and a helium-bearing gas, 190 to 235 K, 5 to 11 MPa), as did a check passing
// at half of tm.
// In the second-order stage the model's descent takes that sum's place, and
// below kTrialNewtonSettledShare times tm it has settled.
inline constexpr double kTrialSettledTm = 1e-5;
inline constexpr double kTrialSettledShare = 0.2;
inline constexpr double kTrialSettledRatio = 0.81;
inline constexpr double kTrialSettledModelShare = 0.25;
inline constexpr double kTrialNewtonSettledShare = 1e-2;
// ... and where tm at W on the other density root, if there is one, lies higher
// by more than this (sum W times the gap of the molar residual Gibbs energies / RT).
inline constexpr double kTrialSettledRootGap = 1e-2;
// The second-order stage, asked only for a verdict, stops as stable where it
// converges on the feed: within this sqrt-fraction distance of it ...
inline constexpr double kTrivialNewtonDistance = 3e-2;
// ... with a Newton step that ends nearer by this factor. The factor is the
// guard (at 0.2 a split a hair inside a sour gas's boundary was missed); the
// distance only bounds where the quadratic model is asked (any up to 1 missed none).
inline constexpr double kTrivialNewtonContraction = 0.1;
// Checks of the Hessian per trial at most (each costs an evaluation with the matrix).
inline constexpr int kTrialSettleChecks = 1;
// Substitution cycles at most, and the steps of the first and of each later cycle.
inline constexpr int kTrialCycles = 4;
inline constexpr int kTrialFirstCycleSteps = 3;
inline constexpr int kTrialLaterCycleSteps = 2;
// An extrapolated trial phase is kept when tm rose by less than this.
inline constexpr double kTrialExtrapolationSlack = 1e-10;
// An extrapolation that would move some ln W_i by more than this is not tried:
// the steps are then far from shrinking geometrically, and such a trial phase
// (amounts up to e^10 times as large) raised tm wherever it was evaluated.
inline constexpr double kTrialExtrapolationMaxMove = 10.0;
// Second-order stage of the stability test.
inline constexpr int kTrialNewtonIterations = 20;
inline constexpr double kTrialTrustRadius = 0.25;     // initial trust radius in alpha = 2 sqrt(W)
inline constexpr double kTrialGradientTolerance = 1e-7;
inline constexpr double kTrialSurelyUnstable = -0.001;  // a point this low settles the verdict
inline constexpr double kTrialStepSlack = 1e-12;      // largest rise of tm an accepted step may cause
inline constexpr double kTrialRejectShrink = 0.3333;  // new radius / step length after a rejection
inline constexpr double kAlphaBacktrack = -0.9;       // step of an alpha that would reach zero, times alpha

// ---- trial phases from pure components ---------------------------------------
// Tried after the Wilson trials found the feed stable: phases that neither
// reaches (an aqueous phase, a phase rich in a light gas, in CO2 or H2S, or in
// the heaviest component). Share of each other component in the start, times its feed fraction.
inline constexpr double kPureTrialTrace = 1e-6;
// One substitution step from the pure start gives sum W ~ 1 - tm of the stationary
// point nearby; below this no phase is near forming and the trial stops there.
inline constexpr double kPureTrialScreen = 0.5;
// The trial from pure water looks for an aqueous phase. Its one step gives
// W_w = f_w(feed) / f_w(pure water), in effect the feed's water saturation. An
// aqueous phase (more than kAqueousWaterShare water) lowers tm below zero only
// with W_w = x_w (1 - tm) above a half at its stationary point, and the first
// step's W_w is that times the activity coefficient of water in the phase: near
// 1 for the wet gases of the tests, 0.69 where the 21-component test mixture's
// aqueous phase holds 38 % dissolved gas (290 K, 11 MPa). Below this screen,
// half the W_w at which a phase of half water could form were that coefficient
// 0.6, the feed's water is far from forming a phase; the trial would only
// wander off to a hydrocarbon liquid, which is the Wilson liquid-like trial's
// to find.
inline constexpr double kAqueousTrialScreen = 0.15;
// Light gases (He, H2, N2) form a phase of their own only below this temperature, K.
inline constexpr double kLightTrialMaxT = 200.0;
// CO2 and H2S form a phase of their own only below this share of their critical temperature.
inline constexpr double kAcidTrialTcShare = 0.8;
// The heaviest component's own phase is one the Wilson liquid-like trial misses
// only far below its critical temperature: below this share of it.
inline constexpr double kHeavyTrialTcShare = 0.5;

// ---- water dew point ---------------------------------------------------------
// Substitution on the water-rich trial phase: steps at most, and its convergence on max |Delta ln W|.
inline constexpr int kWaterTrialIterations = 500;
inline constexpr double kWaterTrialTolerance = 1e-13;
// A water-rich stationary point is an aqueous phase when its water fraction exceeds this.
inline constexpr double kAqueousWaterShare = 0.5;
// Triple-point temperature of water, K: above it the model always has liquid water.
inline constexpr double kWaterTriplePointT = 273.16;
// A liquid-preference root of pure water is liquid water when its density
// exceeds this share of the Peng-Robinson limit 1/b (liquid water lies near
// 1/b; the roots of the artefact below 0.6/b).
inline constexpr double kLiquidWaterCovolumeShare = 0.9;
// The dew point is found when |tm| of the water-rich point is below this.
inline constexpr double kWaterDewTolerance = 1e-12;
// Regula-falsi steps at most.
inline constexpr int kWaterDewIterations = 100;
// Golden-section steps at most in the search of a sampled minimum of tm for a
// wet point, and the bracket width (relative) at which it stops.
inline constexpr int kWaterDewMinimumIterations = 60;
inline constexpr double kWaterDewMinimumWidth = 1e-10;
// Search range and scan steps: K, and MPa with steps in ln p.
inline constexpr double kWaterDewMaxT = 500.0;
inline constexpr double kWaterDewMinT = 200.0;
inline constexpr double kWaterDewTemperatureStep = 10.0;
inline constexpr double kWaterDewMinP = 0.001;
inline constexpr double kWaterDewMaxP = 100.0;
inline constexpr double kWaterDewLnPressureStep = 0.25;

// ---- second-order split ----------------------------------------------------
inline constexpr int kSplitNewtonIterations = 40;
// Substitution steps from the split the second-order stage stopped at without converging.
inline constexpr int kFallbackSubstitutionSteps = 50;
// A split that stalls (no step lowers G, or out of iterations) with max |ln f_V - ln f_L|
// below this is converged: a tenth of what the final check allows.
inline constexpr double kSplitStalledGap = 1e-9;
inline constexpr double kSplitTrustFactor = 0.5;      // initial radius: this times min(beta, 1 - beta)
inline constexpr double kSplitGradientTolerance = 1e-10;  // on max |ln f_V - ln f_L|
inline constexpr double kSplitStepSlack = 1e-10;     // largest rise of G an accepted step may cause
inline constexpr double kSplitRejectShrink = 0.2;    // new radius / step length after a rejection
inline constexpr double kMoleNumberFloor = 0.5;      // a mole number keeps at least this share per step

// The trust-region constants shared by both second-order methods are in
// numerics/trust_region.hpp.

}  // namespace ngtherm::equilibrium
