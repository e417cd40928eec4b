#include "envelope/envelope_equations.hpp"

#include <algorithm>
#include <cmath>

namespace ngtherm::envelope {
namespace {

// Two densities of a phase are one root where they differ by this fraction at most.
constexpr double kSameRoot = 1e-9;

}  // namespace

void EnvelopeEquations::reset(const model::ActiveSet& set, const double* z, double beta) {
    set_ = &set;
    n_ = set.n;
    beta_ = beta;
    for (int i = 0; i < n_; ++i) z_[i] = z[i];
    liquid_.root = liquid_.next = model::RootPreference::liquid;
    vapour_.root = vapour_.next = model::RootPreference::vapour;
    evaluations_ = 0;
}

void EnvelopeEquations::update_root_preferences() {
    // Each phase keeps to the side its last evaluation found.
    for (Phase* ph : {&liquid_, &vapour_}) ph->root = ph->next;
}

EnvelopeEquations::RootState EnvelopeEquations::root_state() const {
    return {liquid_.root, liquid_.next, vapour_.root, vapour_.next};
}

void EnvelopeEquations::restore(const RootState& state) {
    liquid_.root = state.liquid_root;
    liquid_.next = state.liquid_next;
    vapour_.root = state.vapour_root;
    vapour_.next = state.vapour_next;
}

bool EnvelopeEquations::evaluate(const LuVector& X, model::MixRequest request) {
    liquid_.sum = vapour_.sum = 0.0;
    for (int i = 0; i < n_; ++i) {
        const double K = std::exp(X[i]);
        d_[i] = 1.0 - beta_ + beta_ * K;
        if (!(d_[i] > 0.0) || !std::isfinite(d_[i])) return false;
        liquid_.amount[i] = z_[i] / d_[i];
        vapour_.amount[i] = K * liquid_.amount[i];
        liquid_.sum += liquid_.amount[i];
        vapour_.sum += vapour_.amount[i];
    }
    const double T = std::exp(X[lnT_index()]);
    const double p = std::exp(X[lnp_index()]);
    for (Phase* ph : {&liquid_, &vapour_}) {
        ++evaluations_;
        const model::MixResult r =
            model::mixstate(*set_, ph->comp, request, ph->root, T, p, ph->amount.data(), &ph->fug, ph->rec);
        if (!r.ok()) return false;
        ph->next = r.side == model::Side::liquid_like ? model::RootPreference::liquid
                                                      : model::RootPreference::vapour;
    }
    return true;
}

void EnvelopeEquations::residuals(const LuVector& X, int fixed, double fixed_value, LuVector& F) const {
    for (int i = 0; i < n_; ++i) F[i] = X[i] + vapour_.fug.lnphi[i] - liquid_.fug.lnphi[i];
    F[n_] = vapour_.sum - liquid_.sum;
    F[n_ + 1] = X[fixed] - fixed_value;
}

void EnvelopeEquations::jacobian(const LuVector& X, int fixed, LuSystem& J) const {
    const double T = std::exp(X[lnT_index()]);
    const double p = std::exp(X[lnp_index()]);
    const int m = n_ + 2;
    J.m = m;
    for (int i = 0; i < n_; ++i) {
        for (int j = 0; j < n_; ++j) {
            // d y_j/d ln K_j = (1 - beta) y_j/d_j and d x_j/d ln K_j = -beta y_j/d_j;
            // the model's matrix is per unit amount, the phase amounts are the sums.
            const double dy = vapour_.fug.dlnphidn[i][j] * (1.0 - beta_) / vapour_.sum;
            const double dx = liquid_.fug.dlnphidn[i][j] * beta_ / liquid_.sum;
            J.a[i][j] = (i == j ? 1.0 : 0.0) + (dy + dx) * vapour_.amount[j] / d_[j];
        }
        J.a[i][n_] = T * (vapour_.fug.dlnphidT[i] - liquid_.fug.dlnphidT[i]);
        J.a[i][n_ + 1] = p * (vapour_.fug.dlnphidp[i] - liquid_.fug.dlnphidp[i]);
    }
    for (int j = 0; j < n_; ++j) J.a[n_][j] = vapour_.amount[j] / d_[j];
    J.a[n_][n_] = J.a[n_][n_ + 1] = 0.0;
    for (int j = 0; j < m; ++j) J.a[n_ + 1][j] = j == fixed ? 1.0 : 0.0;
}

bool EnvelopeEquations::newton_step(LuVector& X, int fixed, double fixed_value, LuVector& F, LuSystem& J,
                                    double& measure) {
    if (!evaluate(X, kNewtonRequest)) return false;
    residuals(X, fixed, fixed_value, F);
    jacobian(X, fixed, J);
    if (!lu_factor(J)) return false;
    const int m = n_ + 2;
    LuVector dX{};
    for (int k = 0; k < m; ++k) dX[k] = -F[k];
    lu_solve(J, dX);
    double sum_F = 0.0, sum_dX = 0.0;
    for (int k = 0; k < m; ++k) {
        sum_F += F[k] * F[k];
        sum_dX += dX[k] * dX[k];
        X[k] += dX[k];
    }
    measure = std::sqrt(sum_F * sum_dX);
    return std::isfinite(measure);
}

bool EnvelopeEquations::startup_pass(LuVector& X, double max_lnT_step) {
    if (!evaluate(X, kStartupRequest)) return false;
    const double T = std::exp(X[lnT_index()]);
    model::Vector F{}, G{};  // fugacity residuals and T d(ln phi_i(y) - ln phi_i(x))/dT
    double numerator = vapour_.sum - liquid_.sum;
    double denominator = 0.0;
    for (int i = 0; i < n_; ++i) {
        const double weight = vapour_.amount[i] / d_[i];  // d(material balance)/d ln K_i
        F[i] = X[i] + vapour_.fug.lnphi[i] - liquid_.fug.lnphi[i];
        G[i] = T * (vapour_.fug.dlnphidT[i] - liquid_.fug.dlnphidT[i]);
        numerator -= F[i] * weight;
        denominator += G[i] * weight;
    }
    const double delta = std::clamp(numerator / denominator, -max_lnT_step, max_lnT_step);
    if (!std::isfinite(delta)) return false;
    X[lnT_index()] += delta;
    for (int i = 0; i < n_; ++i) X[i] -= F[i] + G[i] * delta;
    return true;
}

bool EnvelopeEquations::feed_on_stable_root(const LuVector& X) const {
    if (beta_ != 0.0 && beta_ != 1.0) return true;
    const Phase& feed = beta_ == 1.0 ? vapour_ : liquid_;
    const double T = std::exp(X[lnT_index()]);
    const double p = std::exp(X[lnp_index()]);
    model::CompositionState comp;
    model::prepare_composition(*set_, z_.data(), comp);
    model::ResidualProperties rec;
    constexpr model::MixRequest kDensityOnly{};
    const model::MixResult chosen = model::mixstate(*set_, comp, kDensityOnly, feed.next, T, p, nullptr, rec);
    const model::MixResult stable =
        model::mixstate(*set_, comp, kDensityOnly, model::RootPreference::stable, T, p, nullptr, rec);
    return !chosen.ok() || !stable.ok() || std::abs(chosen.rho - stable.rho) <= kSameRoot * stable.rho;
}

}  // namespace ngtherm::envelope
