// The Helmholtz energy: the residual part's merged sums against the published
// term lists, their derivatives against central differences, and the reducing
// functions; then the ideal-gas part.
#include "model/ideal_gas.hpp"
#include "model/reducing.hpp"
#include "model/term_series.hpp"

#include <cmath>
#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/gases.hpp"

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

// The parts of the merged sums, evaluated equation by equation from the
// published terms: alpha_oi by active position, F_kl alpha_kl by departure pair,
// and the mixture's sum x_i alpha_oi + sum x_k x_l F_kl alpha_kl.
struct Parts {
    std::vector<double> pure, pair;
    double mixture = 0.0;
};

Parts published_parts(const test::ModelFeed& m, double delta, double tau) {
    Parts out;
    for (int k = 0; k < m.set.n; ++k) {
        out.pure.push_back(published_value(constants()["components"][m.set.id[k]]["residual"]["terms"], false, delta, tau));
        out.mixture += m.comp.x[k] * out.pure.back();
    }
    for (int q = 0; q < m.set.dep_pair_count; ++q) {
        const int k = m.set.dep_pair[q][0], l = m.set.dep_pair[q][1];
        const PairData& p = m.set.pair[k][l];
        out.pair.push_back(p.F * published_value(constants()["departure_functions"][p.function]["terms"], true, delta, tau));
        out.mixture += m.comp.x[k] * m.comp.x[l] * out.pair.back();
    }
    return out;
}

struct Series {
    HelmholtzDerivs mixture;
    ComponentSeries parts;
};

Series series(const test::ModelFeed& m, double delta, double tau) {
    TauCoefficients tc;
    tau_coefficients(m.set, m.comp.series, tau, tc);
    DeltaFactors f;
    delta_factors(m.set, delta, f);
    Series s{mixture_series(m.set, tc, delta, Derivatives::all), {}};
    component_series(m.set, tc, f, s.parts);
    return s;
}

// |got - want| within tol relative to 1 + |want|.
void expect_close(double got, double want, double tol, int index = -1) {
    EXPECT_NEAR(got, want, tol * (1.0 + std::fabs(want))) << index;
}

// The published mixture holds every component and every departure function, so
// this checks every stored equation (integer exponents, shapes, delta groups).
TEST(MixtureSeries, SumsEqualThePublishedTermsEvaluatedEquationByEquation) {
    const test::ModelFeed m(test::published_mixture());
    std::set<int> functions;
    for (int q = 0; q < m.set.dep_pair_count; ++q) functions.insert(m.set.pair[m.set.dep_pair[q][0]][m.set.dep_pair[q][1]].function);
    ASSERT_EQ(m.set.n, kComponentCount);
    ASSERT_EQ(static_cast<int>(functions.size()), kDepartureFunctionCount);
    for (const double tau : {0.45, 1.25, 3.5}) {
        for (const double delta : {0.0, 1e-3, 0.4, 1.1, 2.7, 3.2}) {
            SCOPED_TRACE("delta " + std::to_string(delta) + " tau " + std::to_string(tau));
            const Parts want = published_parts(m, delta, tau);
            const Series got = series(m, delta, tau);
            expect_close(got.mixture.a, want.mixture, 1e-13);
            for (int k = 0; k < m.set.n; ++k) expect_close(got.parts.a[k], want.pure[k], 1e-13, k);
            for (int q = 0; q < m.set.dep_pair_count; ++q) expect_close(got.parts.pair_a[q], want.pair[q], 1e-13, q);
        }
    }
}

// Every derivative of the mixture's sum and of its parts against central differences.
TEST(MixtureSeries, DerivativesAgreeWithCentralDifferences) {
    const test::ModelFeed m(test::published_mixture());
    const double h = 1e-5;
    const auto fd = [h](double up, double down) { return (up - down) / (2 * h); };
    for (const auto& [delta, tau] : {std::pair{0.0, 1.25}, {0.4, 0.8}, {1.3, 0.9}, {2.7, 1.6}}) {
        SCOPED_TRACE("delta " + std::to_string(delta) + " tau " + std::to_string(tau));
        const Series s = series(m, delta, tau), d_up = series(m, delta + h, tau), d_dn = series(m, delta - h, tau),
                     t_up = series(m, delta, tau + h), t_dn = series(m, delta, tau - h);
        const HelmholtzDerivs& a = s.mixture;
        expect_close(a.a_d, fd(d_up.mixture.a, d_dn.mixture.a), 1e-7);
        expect_close(a.a_dd, fd(d_up.mixture.a_d, d_dn.mixture.a_d), 1e-7);
        expect_close(a.a_t, fd(t_up.mixture.a, t_dn.mixture.a), 1e-7);
        expect_close(a.a_tt, fd(t_up.mixture.a_t, t_dn.mixture.a_t), 1e-7);
        expect_close(a.a_dt, fd(t_up.mixture.a_d, t_dn.mixture.a_d), 1e-7);
        for (int k = 0; k < m.set.n; ++k) {
            expect_close(s.parts.a_d[k], fd(d_up.parts.a[k], d_dn.parts.a[k]), 1e-7, k);
            expect_close(s.parts.a_t[k], fd(t_up.parts.a[k], t_dn.parts.a[k]), 1e-7, k);
        }
        for (int q = 0; q < m.set.dep_pair_count; ++q) {
            expect_close(s.parts.pair_a_d[q], fd(d_up.parts.pair_a[q], d_dn.parts.pair_a[q]), 1e-7, q);
            expect_close(s.parts.pair_a_t[q], fd(t_up.parts.pair_a[q], t_dn.parts.pair_a[q]), 1e-7, q);
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

constexpr double kRatio = kRStar / kR;

TEST(IdealGas, EveryComponentHasZeroEnthalpyAndEntropyAtTheReferenceState) {
    for (int i = 0; i < kComponentCount; ++i) {
        const IdealComponentValues v = fnullp(ideal_terms(i), kIdealT0);
        const double s_over_R_1MPa = 1.0 + std::log(kIdealT0) - v.G + v.h / kIdealT0;
        EXPECT_NEAR(kIdealT0 + v.h, 0.0, 1e-9) << kComponents[i].id;
        EXPECT_NEAR(s_over_R_1MPa - std::log(kIdealP0), 0.0, 1e-12) << kComponents[i].id;
    }
}

// Derived constants equal the published n0_1, n0_2 rewritten for this form
// (enthalpy n0_2 Tc, entropy n0_1 + c0 ln Tc - (R/R*) ln rhoc), except for the
// components whose published constants leave out their first sinh term.
TEST(IdealGas, DerivedConstantsMatchThePublishedOnesWhereTheyAreConsistent) {
    const std::set<std::string> inconsistent{"nC5", "iC5", "nC6", "nC7", "nC8", "nC9", "nC10", "H2O"};
    for (int i = 0; i < kComponentCount; ++i) {
        if (inconsistent.count(kComponents[i].id)) continue;
        const auto& ideal = constants()["components"][i]["ideal"];
        const double Tc = kComponents[i].Tc, rhoc = kComponents[i].rhoc;
        const double h = ideal["n0_2"].get<double>() * Tc;
        const double s = ideal["n0_1"].get<double>() + ideal["n0_3"].get<double>() * std::log(Tc) - std::log(rhoc) / kRatio;
        EXPECT_NEAR(ideal_terms(i).enthalpy_constant, h, 1e-7 * std::fabs(h)) << kComponents[i].id;
        EXPECT_NEAR(ideal_terms(i).entropy_constant, s, 1e-7 * (1 + std::fabs(s))) << kComponents[i].id;
    }
}

TEST(IdealGas, HeatCapacityAndEntropyAreTheTemperatureDerivativesOfEnthalpy) {
    const test::ModelFeed m(test::published_mixture());
    auto at = [&m](double T) { return idealmix(m.set, m.x.data(), T); };
    for (double T : {150.0, 298.15, 700.0}) {
        const double h = 1e-4 * T;
        EXPECT_NEAR(at(T).cp, (at(T + h).h - at(T - h).h) / (2 * h), 1e-7);
        EXPECT_NEAR(at(T).cp / T, (at(T + h).s - at(T - h).s) / (2 * h), 1e-9);  // ds/dT = cp/T at fixed p
    }
}

}  // namespace
}  // namespace ngtherm::model
