#include "model/term_series.hpp"

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "test_support.hpp"

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
// the stored form (integer exponents, groups, tails).
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

TEST(TermSeries, MethaneAtUnitDeltaAndTauIsThePlainSumOfItsTerms) {
    EXPECT_NEAR(pure_series(0, 1.0, 1.0).a, -0.942322529134418, 1e-15);
}

TEST(TermSeries, EveryStoredEquationEqualsThePublishedTermsAtSeveralStates) {
    const double states[][2] = {{1.0, 1.0}, {0.3, 1.7}, {2.4, 0.8}, {1e-3, 3.5}, {3.2, 0.45}};
    for (int i = 0; i < kComponentCount; ++i) {
        const auto& terms = constants()["components"][i]["residual"]["terms"];
        for (const auto& s : states) {
            const double want = published_value(terms, false, s[0], s[1]);
            EXPECT_NEAR(pure_series(i, s[0], s[1]).a, want, 1e-13 * (1.0 + std::fabs(want)))
                << kComponents[i].id << " delta " << s[0] << " tau " << s[1];
        }
    }
    for (int f = 0; f < kDepartureFunctionCount; ++f) {
        const auto& terms = constants()["departure_functions"][f]["terms"];
        for (const auto& s : states) {
            const double want = published_value(terms, true, s[0], s[1]);
            EXPECT_NEAR(departure_series(f, s[0], s[1]).a, want, 1e-13 * (1.0 + std::fabs(want)))
                << constants()["departure_functions"][f]["id"] << " delta " << s[0];
        }
    }
}

TEST(TermSeries, DerivativesAgreeWithCentralDifferences) {
    const double delta = 1.3, tau = 0.9, h = 1e-5;
    auto check = [&](auto eval, const std::string& what) {
        const HelmholtzDerivs d = eval(delta, tau);
        const double fd_d = (eval(delta + h, tau).a - eval(delta - h, tau).a) / (2 * h);
        const double fd_t = (eval(delta, tau + h).a - eval(delta, tau - h).a) / (2 * h);
        const double fd_dd = (eval(delta + h, tau).a_d - eval(delta - h, tau).a_d) / (2 * h);
        const double fd_tt = (eval(delta, tau + h).a_t - eval(delta, tau - h).a_t) / (2 * h);
        const double fd_dt = (eval(delta, tau + h).a_d - eval(delta, tau - h).a_d) / (2 * h);
        const double tol = 1e-7;
        EXPECT_NEAR(d.a_d, fd_d, tol * (1 + std::fabs(fd_d))) << what;
        EXPECT_NEAR(d.a_t, fd_t, tol * (1 + std::fabs(fd_t))) << what;
        EXPECT_NEAR(d.a_dd, fd_dd, tol * (1 + std::fabs(fd_dd))) << what;
        EXPECT_NEAR(d.a_tt, fd_tt, tol * (1 + std::fabs(fd_tt))) << what;
        EXPECT_NEAR(d.a_dt, fd_dt, tol * (1 + std::fabs(fd_dt))) << what;
    };
    for (int i = 0; i < kComponentCount; ++i) {
        check([i](double d, double t) { return pure_series(i, d, t); }, kComponents[i].id);
    }
    for (int f = 0; f < kDepartureFunctionCount; ++f) {
        check([f](double d, double t) { return departure_series(f, d, t); }, "departure " + std::to_string(f));
    }
}

TEST(TermSeries, AnEquationWithoutTermsIsZeroAndDensityZeroHasNoValue) {
    const TermSeries empty{};
    const HelmholtzDerivs d = term_series(empty, nullptr, nullptr, nullptr, 1.0, 1.0);
    EXPECT_EQ(d.a, 0.0);
    EXPECT_EQ(d.a_dd, 0.0);
    EXPECT_EQ(pure_series(0, 0.0, 1.2).a, 0.0);
    EXPECT_TRUE(std::isfinite(pure_series(0, 0.0, 1.2).a_dd));
}

// The merged mixture sums equal sum x_i alpha_oi + sum x_k x_l F_kl alpha_kl
// evaluated equation by equation.
TEST(MixtureSeries, MergedSumsEqualTheEquationByEquationSums) {
    const test::ModelSetup m(test::published_mixture());
    const double tau = 1.25;
    TauCoefficients tc;
    tau_coefficients(m.set, m.comp.series, tau, tc);
    for (double delta : {1e-4, 0.4, 1.1, 2.7}) {
        HelmholtzDerivs want;
        auto add = [&want](const HelmholtzDerivs& d, double w) {
            want.a += w * d.a;
            want.a_d += w * d.a_d;
            want.a_dd += w * d.a_dd;
            want.a_t += w * d.a_t;
            want.a_tt += w * d.a_tt;
            want.a_dt += w * d.a_dt;
        };
        for (int k = 0; k < m.set.n; ++k) add(pure_series(m.set.id[k], delta, tau), m.comp.x[k]);
        for (int q = 0; q < m.set.dep_pair_count; ++q) {
            const int k = m.set.dep_pair[q][0], l = m.set.dep_pair[q][1];
            const PairData& p = m.set.pair[k][l];
            add(departure_series(p.function, delta, tau), m.comp.x[k] * m.comp.x[l] * p.F);
        }
        const HelmholtzDerivs got = mixture_series(m.set, tc, delta, Derivatives::all);
        const double tol = 1e-13;
        EXPECT_NEAR(got.a, want.a, tol * (1 + std::fabs(want.a))) << delta;
        EXPECT_NEAR(got.a_d, want.a_d, tol * (1 + std::fabs(want.a_d))) << delta;
        EXPECT_NEAR(got.a_dd, want.a_dd, tol * (1 + std::fabs(want.a_dd))) << delta;
        EXPECT_NEAR(got.a_t, want.a_t, tol * (1 + std::fabs(want.a_t))) << delta;
        EXPECT_NEAR(got.a_tt, want.a_tt, tol * (1 + std::fabs(want.a_tt))) << delta;
        EXPECT_NEAR(got.a_dt, want.a_dt, tol * (1 + std::fabs(want.a_dt))) << delta;

        DeltaFactors f;
        delta_factors(m.set, delta, f);
        ComponentSeries cs;
        component_series(m.set, tc, f, cs);
        for (int k = 0; k < m.set.n; ++k) {
            const HelmholtzDerivs d = pure_series(m.set.id[k], delta, tau);
            EXPECT_NEAR(cs.a[k], d.a, tol * (1 + std::fabs(d.a)));
            EXPECT_NEAR(cs.a_d[k], d.a_d, tol * (1 + std::fabs(d.a_d)));
            EXPECT_NEAR(cs.a_t[k], d.a_t, tol * (1 + std::fabs(d.a_t)));
        }
    }
}

}  // namespace
}  // namespace ngtherm::model
