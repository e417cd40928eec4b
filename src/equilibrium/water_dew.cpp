#include "equilibrium/water_dew.hpp"

#include <cmath>

#include "equilibrium/solver_constants.hpp"

namespace ngtherm::equilibrium {
namespace {

// tm of the water-rich stationary point at the context's (T, p), by plain
// substitution from nearly pure water; W receives the point (mole numbers).
struct WaterTrial {
    bool ok = false;  // the point converged
    double tm = 0.0;
};

WaterTrial water_trial(SolverContext& ctx, int water, Vector& W, PhaseEvaluation& phase) {
    const int n = ctx.n();
    ctx.evaluate_feed();
    WaterTrial out;
    if (ctx.feed_failed()) return out;
    for (int j = 0; j < n; ++j) W[j] = j == water ? 1.0 : kPureTrialTrace * ctx.z()[j];
    for (int it = 0; it < kWaterTrialIterations; ++it) {
        if (!ctx.evaluate(W.data(), RootPreference::stable, kLnPhiRequest, phase)) return out;
        double step = 0.0, sum = 0.0;
        for (int j = 0; j < n; ++j) {
            const double lnW = ctx.d()[j] - phase.fug.lnphi[j];
            step = std::fmax(step, std::fabs(lnW - std::log(W[j])));
            W[j] = std::exp(lnW);
            sum += W[j];
        }
        if (!std::isfinite(sum)) return out;
        if (step < kWaterTrialTolerance) {
            out.ok = true;
            out.tm = 1.0 - sum;
            return out;
        }
    }
    return out;
}

// tm of the water-rich point at (T, p); NaN where it was not found.
class WaterDew {
public:
    WaterDew(const model::ActiveSet& set, const double* z) : set_(set), z_(z) {
        for (int i = 0; i < set.n; ++i) {
            if (set.id[i] == kModelH2O && z[i] > 0.0) water_ = i;
        }
    }
    bool has_water() const { return water_ >= 0; }

    // A point that is no aqueous phase (the trial fell onto the feed, as at high
    // T where pure water is a vapour) counts as dry: tm is taken as 1.
    double tm(double T, double p) {
        ctx_.begin(set_, T, p, z_);
        if (ctx_.water_without_liquid()) return std::nan("");  // no aqueous phase in the model
        const WaterTrial t = water_trial(ctx_, water_, W_, phase_);
        if (!t.ok) return std::nan("");
        double sum = 0.0;
        for (int i = 0; i < set_.n; ++i) sum += W_[i];
        return W_[water_] / sum > kAqueousWaterShare ? t.tm : 1.0;
    }

    // The point after tm(T, p) was evaluated last at the root.
    WaterDewPoint point(WaterDewStatus status) {
        WaterDewPoint out;
        out.status = status;
        out.T = ctx_.T();
        out.p = ctx_.p();
        double sum = 0.0;
        for (int i = 0; i < set_.n; ++i) sum += W_[i];
        for (int i = 0; i < set_.n; ++i) {
            out.incipient[i] = W_[i] / sum;
            const double r = std::log(out.incipient[i]) + phase_.fug.lnphi[i] - ctx_.d()[i];
            out.residual = std::fmax(out.residual, std::fabs(r));
        }
        return out;
    }

private:
    const model::ActiveSet& set_;
    const double* z_;
    int water_ = -1;
    SolverContext ctx_;
    Vector W_{};
    PhaseEvaluation phase_;
};

// Root of tm along u (T or ln p) between a point on the dry side (tm > 0) and
// one on the wet side, by the Illinois variant of regula falsi.
template <class Tm>
bool illinois(Tm tm, double u_dry, double tm_dry, double u_wet, double tm_wet) {
    int side = 0;
    for (int it = 0; it < kWaterDewIterations; ++it) {
        const double u = u_wet - tm_wet * (u_dry - u_wet) / (tm_dry - tm_wet);
        const double t = tm(u);
        if (std::isnan(t)) return false;
        if (std::fabs(t) < kWaterDewTolerance) return true;
        if (t > 0.0) {
            u_dry = u;
            tm_dry = t;
            if (side == 1) tm_wet *= 0.5;
            side = 1;
        } else {
            u_wet = u;
            tm_wet = t;
            if (side == -1) tm_dry *= 0.5;
            side = -1;
        }
    }
    return false;
}

// Smallest tm on [a, b] by golden-section search, from the sampled minimum
// (u, t) inside it; stops at the first wet point. NaN where tm was not found.
struct Lowest { double u, tm; };  // where the smallest tm found lies, and that tm
template <class Tm> Lowest lowest_tm(Tm tm, double a, double b, double u, double t) {
    constexpr double kGolden = 0.6180339887498949;
    for (int it = 0; it < kWaterDewMinimumIterations && t > 0.0; ++it) {
        // Probe inside the larger part of the bracket.
        const bool right = b - u > u - a;
        const double v = right ? u + (1.0 - kGolden) * (b - u) : u - (1.0 - kGolden) * (u - a);
        const double tv = tm(v);
        if (std::isnan(tv)) return {v, tv};
        if (tv < t) {
            (right ? a : b) = u;
            u = v;
            t = tv;
        } else {
            (right ? b : a) = v;
        }
        if (b - a < kWaterDewMinimumWidth * (1.0 + std::fabs(u))) break;
    }
    return {u, t};
}

// Scans u from `from` towards `to` in steps of `step` for the first change of
// sign of tm from dry to wet, then solves for the root. Near the highest dew
// temperature over p the wet range at one T can be narrower than a step: a
// sampled minimum of tm between two dry samples is searched for a wet point.
template <class Tm>
WaterDewStatus solve(Tm tm, double from, double to, double step) {
    double u_before = from, tm_before = std::nan("");
    double u_prev = from, tm_prev = tm(from);
    const int steps = static_cast<int>(std::fabs((to - from) / step));
    for (int k = 1; k <= steps; ++k) {
        double u = from + k * step;
        double t = tm(u);
        if (tm_prev > 0.0 && t > 0.0 && tm_prev < tm_before && tm_prev < t) {
            const Lowest low = lowest_tm(tm, u_before, u, u_prev, tm_prev);
            if (low.tm <= 0.0) {
                u_prev = u_before;
                tm_prev = tm_before;
                u = low.u;
                t = low.tm;
            }
        }
        if (tm_prev > 0.0 && t <= 0.0) {
            if (t == 0.0) return WaterDewStatus::converged;
            return illinois(tm, u_prev, tm_prev, u, t) ? WaterDewStatus::converged
                                                       : WaterDewStatus::not_converged;
        }
        u_before = u_prev;
        tm_before = tm_prev;
        u_prev = u;
        tm_prev = t;
    }
    return WaterDewStatus::no_point;
}

}  // namespace

WaterDewPoint water_dew_temperature(const model::ActiveSet& set, const double* z, double p) {
    WaterDew dew(set, z);
    if (!dew.has_water()) return {WaterDewStatus::no_water};
    // From hot (dry) to cold (wet).
    const auto tm = [&](double T) { return dew.tm(T, p); };
    const WaterDewStatus s = solve(tm, kWaterDewMaxT, kWaterDewMinT, -kWaterDewTemperatureStep);
    if (s == WaterDewStatus::no_point) return {s};
    return dew.point(s);
}

WaterDewPoint water_dew_pressure(const model::ActiveSet& set, const double* z, double T) {
    WaterDew dew(set, z);
    if (!dew.has_water()) return {WaterDewStatus::no_water};
    // From low (dry) to high pressure (wet), in ln p.
    const auto tm = [&](double lnp) { return dew.tm(T, std::exp(lnp)); };
    const WaterDewStatus s =
        solve(tm, std::log(kWaterDewMinP), std::log(kWaterDewMaxP), kWaterDewLnPressureStep);
    if (s == WaterDewStatus::no_point) return {s};
    return dew.point(s);
}

}  // namespace ngtherm::equilibrium
