#include "model/reducing.hpp"
#include "model/term_series.hpp"

#include <cmath>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/gases.hpp"
#include "support/reference_series.hpp"

namespace ngtherm::model {
namespace {

const nlohmann::json& constants() {
    static const nlohmann::json j = [] {
        std::ifstream in(std::string(NGTHERM_SOURCE_DIR) + "/data/gerg2008.json");
        return nlohmann::json::parse(in);
    }();
    return j;
}

// Direct evaluation of a published term list with real powers, independent of
// the stored form (integer exponents, shapes, delta groups).
double published_value(const nlohmann::json& terms, bool departure, double delta, double tau) {
    double sum = 0.0;
    for (const auto& t : terms) {
        double v = t["n"].get<double>() * std::pow(delta, t["d"].get<int>()) * std::pow(tau, t["t"].get<double>());
        if (departure) {
            const double eta = t["eta"], eps = t["epsilon"], beta = t["beta"], gamma = t["gamma"];
            v *= std::exp(-eta * (delta - eps) * (delta - eps) - beta * (delta - gamma));
        } else if (t["c"].get<int>() > 0) {
            v *= std::exp(-std::pow(delta, t["c"].get<int>()));
        }
        sum += v;
    }
    return sum;
}

TEST(TermSeries, EveryStoredEquationEqualsThePublishedTermsAtSeveralStates) {
    const double states[][2] = {{1.0, 1.0}, {0.3, 1.7}, {2.4, 0.8}, {1e-3, 3.5}, {3.2, 0.45}};
    for (const auto& s : states) {
        for (int i = 0; i < kComponentCount + kDepartureFunctionCount; ++i) {
            const bool dep = i >= kComponentCount;
            const int f = i - kComponentCount;
            const double want = published_value(dep ? constants()["departure_functions"][f]["terms"]
                                                    : constants()["components"][i]["residual"]["terms"],
                                                dep, s[0], s[1]);
            const double got = dep ? test::departure_series(f, s[0], s[1]).a : test::pure_series(i, s[0], s[1]).a;
            EXPECT_NEAR(got, want, 1e-13 * (1.0 + std::fabs(want))) << i << " delta " << s[0] << " tau " << s[1];
        }
    }
}

constexpr double HelmholtzDerivs::*kFields[] = {&HelmholtzDerivs::a,   &HelmholtzDerivs::a_d,  &HelmholtzDerivs::a_dd,
                                                &HelmholtzDerivs::a_t, &HelmholtzDerivs::a_tt, &HelmholtzDerivs::a_dt};

void expect_near(const HelmholtzDerivs& got, const HelmholtzDerivs& want, double tol, const std::string& what) {
    for (auto f : kFields) EXPECT_NEAR(got.*f, want.*f, tol * (1 + std::fabs(want.*f))) << what;
}

TEST(TermSeries, DerivativesAgreeWithCentralDifferences) {
    const double delta = 1.3, tau = 0.9, h = 1e-5;
    auto check = [&](auto eval, const std::string& what) {
        const HelmholtzDerivs d = eval(delta, tau);
        const HelmholtzDerivs up_d = eval(delta + h, tau), dn_d = eval(delta - h, tau);
        const HelmholtzDerivs up_t = eval(delta, tau + h), dn_t = eval(delta, tau - h);
        const HelmholtzDerivs fd{d.a, (up_d.a - dn_d.a) / (2 * h), (up_d.a_d - dn_d.a_d) / (2 * h),
                                 (up_t.a - dn_t.a) / (2 * h), (up_t.a_t - dn_t.a_t) / (2 * h),
                                 (up_t.a_d - dn_t.a_d) / (2 * h)};
        expect_near(d, fd, 1e-7, what);
    };
    for (int i = 0; i < kComponentCount; ++i) {
        check([i](double d, double t) { return test::pure_series(i, d, t); }, kComponents[i].id);
    }
    for (int f = 0; f < kDepartureFunctionCount; ++f) {
        check([f](double d, double t) { return test::departure_series(f, d, t); }, "departure " + std::to_string(f));
    }
}

// The merged mixture sums equal sum x_i alpha_oi + sum x_k x_l F_kl alpha_kl
// evaluated equation by equation, and so do the per-component parts.
TEST(MixtureSeries, MergedSumsEqualTheEquationByEquationSums) {
    const test::ModelFeed m(test::published_mixture());
    const double tau = 1.25;
    TauCoefficients tc;
    tau_coefficients(m.set, m.comp.series, tau, tc);
    for (double delta : {0.0, 1e-4, 0.4, 1.1, 2.7}) {
        HelmholtzDerivs want;
        auto add = [&want](const HelmholtzDerivs& d, double w) {
            for (auto f : kFields) want.*f += w * d.*f;
        };
        for (int k = 0; k < m.set.n; ++k) add(test::pure_series(m.set.id[k], delta, tau), m.comp.x[k]);
        for (int q = 0; q < m.set.dep_pair_count; ++q) {
            const int k = m.set.dep_pair[q][0], l = m.set.dep_pair[q][1];
            const PairData& p = m.set.pair[k][l];
            add(test::departure_series(p.function, delta, tau), m.comp.x[k] * m.comp.x[l] * p.F);
        }
        expect_near(mixture_series(m.set, tc, delta, Derivatives::all), want, 1e-13, std::to_string(delta));

        DeltaFactors f;
        delta_factors(m.set, delta, f);
        ComponentSeries cs;
        component_series(m.set, tc, f, cs);
        for (int k = 0; k < m.set.n; ++k) {
            const HelmholtzDerivs d = test::pure_series(m.set.id[k], delta, tau);
            for (auto [got, want] : {std::pair{cs.a[k], d.a}, {cs.a_d[k], d.a_d}, {cs.a_t[k], d.a_t}}) {
                EXPECT_NEAR(got, want, 1e-13 * (1 + std::fabs(want)));
            }
        }
    }
}

ReducingDerivatives reducing(const test::ModelFeed& m, const std::vector<double>& x) {
    ReducingDerivatives r;
    reducing_derivatives(m.set, x.data(), true, r);
    return r;
}

TEST(ReducingFunctions, OneComponentGivesItsCriticalValuesScaledByTheSquareOfItsFraction) {
    const test::ModelFeed m(test::Gas{"n2", {{"N2", 100}}});
    for (double x : {1.0, 0.5}) {
        EXPECT_DOUBLE_EQ(reducing(m, {x}).T_r, x * x * 126.192);
        EXPECT_DOUBLE_EQ(reducing(m, {x}).rho_r, 11.1839 / (x * x));
    }
}

TEST(ReducingFunctions, BetaOfOneMakesThePairFunctionTheProductOfFractions) {
    // CH4-H2 has beta_v = beta_T = 1: T_r = x1^2 Tc1 + x2^2 Tc2 + 2 x1 x2 gamma_T sqrt(Tc1 Tc2).
    const test::ModelFeed m(test::Gas{"ch4_h2", {{"CH4", 30}, {"H2", 70}}});
    const double want = 0.09 * 190.564 + 0.49 * 33.19 + 2 * 0.21 * 1.352643115 * std::sqrt(190.564 * 33.19);
    EXPECT_NEAR(reducing(m, {0.3, 0.7}).T_r, want, 1e-12);
}

// First and second composition derivatives against central differences, for
// the full published mixture (every pair has asymmetric beta).
TEST(ReducingFunctions, CompositionDerivativesAgreeWithCentralDifferences) {
    const test::ModelFeed m(test::published_mixture());
    const ReducingDerivatives r = reducing(m, m.x);
    for (int i = 0; i < m.set.n; ++i) {
        const double h = 1e-6 * std::max(m.x[i], 1e-3);
        std::vector<double> up = m.x, dn = m.x;
        up[i] += h;
        dn[i] -= h;
        const ReducingDerivatives u = reducing(m, up), d = reducing(m, dn);
        for (auto [got, fd] : {std::pair{r.dT[i], (u.T_r - d.T_r) / (2 * h)}, {r.drho[i], (u.rho_r - d.rho_r) / (2 * h)}}) {
            EXPECT_NEAR(got, fd, 1e-6 * (1 + std::fabs(got))) << i;
        }
        for (int j = 0; j < m.set.n; ++j) {
            EXPECT_NEAR(r.d2T[j][i], (u.dT[j] - d.dT[j]) / (2 * h), 1e-5 * (1 + std::fabs(r.d2T[j][i]))) << i << "," << j;
            EXPECT_NEAR(r.d2rho[j][i], (u.drho[j] - d.drho[j]) / (2 * h), 1e-5 * (1 + std::fabs(r.d2rho[j][i]))) << i << "," << j;
            EXPECT_TRUE(r.d2T[i][j] == r.d2T[j][i] && r.d2rho[i][j] == r.d2rho[j][i]) << i << "," << j;
        }
    }
}

}  // namespace
}  // namespace ngtherm::model
