// The public equilibrium API: phases, fractions, compositions and properties.
#include "ngtherm/equilibrium.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "equilibrium/gases.hpp"

namespace ngtherm {
namespace {

Composition fractions(const equilibrium::testing::Feed& f) {
    Composition c{};
    for (int i = 0; i < f.n(); ++i) c[f.ids[i]] = f.x[i];
    return c;
}

TEST(EquilibriumState, OnePhaseIsExactlyTheSingleStateOfTheFeed) {
    const Mixture gas(fractions(equilibrium::testing::lean_gas()));
    const EquilibriumState eq = equilibrium_state(gas, 300.0, 5.0);
    ASSERT_TRUE(eq.ok());
    EXPECT_EQ(eq.phases, 1);
    EXPECT_EQ(eq.beta, 1.0);
    const PhaseState single = single_phase_state(gas, 300.0, 5.0);
    for (const PhaseProperties* p : {&eq.overall, &eq.liquid, &eq.vapour}) {
        EXPECT_EQ(p->rho, single.props.rho);
        EXPECT_EQ(p->h, single.props.h);
        EXPECT_EQ(p->s, single.props.s);
        EXPECT_EQ(p->w, single.props.w);
    }
    EXPECT_EQ(eq.x, gas.fractions());
    EXPECT_EQ(eq.y, gas.fractions());
}

TEST(EquilibriumState, LiquidOnePhaseHasBetaZero) {
    Composition c{};
    c[static_cast<int>(Component::CH4)] = 0.05;
    c[static_cast<int>(Component::nC10)] = 0.95;
    const EquilibriumState eq = equilibrium_state(Mixture(c), 300.0, 5.0);
    ASSERT_TRUE(eq.ok());
    EXPECT_EQ(eq.phases, 1);
    EXPECT_EQ(eq.beta, 0.0);
}

TEST(EquilibriumState, TwoPhasesCarryBothPhasesAndAConsistentWhole) {
    const Mixture gas(fractions(equilibrium::testing::methane_propane()));
    const EquilibriumState eq = equilibrium_state(gas, 230.0, 3.0);
    ASSERT_TRUE(eq.ok());
    ASSERT_EQ(eq.phases, 2);
    EXPECT_NEAR(eq.beta, 0.9224784085547943, 1e-9);
    EXPECT_NEAR(eq.liquid.Z, 0.10751034218168531, 1e-8);
    EXPECT_NEAR(eq.vapour.Z, 0.8388500696122803, 1e-8);
    EXPECT_NEAR(eq.liquid.rho, 14.591787602821993, 1e-6);
    EXPECT_NEAR(eq.vapour.rho, 1.8701412028814193, 1e-7);
    const double b = eq.beta;
    EXPECT_NEAR(eq.overall.Z, (1 - b) * eq.liquid.Z + b * eq.vapour.Z, 1e-14);
    EXPECT_NEAR(eq.overall.h, (1 - b) * eq.liquid.h + b * eq.vapour.h, 1e-9);
    EXPECT_NEAR(eq.overall.s, (1 - b) * eq.liquid.s + b * eq.vapour.s, 1e-11);
    EXPECT_NEAR(eq.overall.cp, (1 - b) * eq.liquid.cp + b * eq.vapour.cp, 1e-12);
    EXPECT_TRUE(std::isnan(eq.overall.w));
    EXPECT_TRUE(std::isnan(eq.overall.kappa));
    EXPECT_TRUE(std::isnan(eq.overall.jt));
    for (int i = 0; i < kComponentCount; ++i) {
        EXPECT_NEAR((1 - b) * eq.x[i] + b * eq.y[i], gas.fractions()[i], 1e-12);
    }
    EXPECT_NEAR(eq.x[static_cast<int>(Component::C3H8)], 0.6942393861902367, 1e-8);
    EXPECT_GT(eq.liquid_molar_mass, eq.vapour_molar_mass);
}

TEST(EquilibriumState, RejectsInvalidTemperatureAndPressure) {
    const Mixture gas(fractions(equilibrium::testing::dry_gas()));
    EXPECT_THROW(equilibrium_state(gas, -1.0, 5.0), InputError);
    EXPECT_THROW(equilibrium_state(gas, 300.0, std::nan("")), InputError);
    EXPECT_THROW(equilibrium_state(gas, 300.0, 0.0), InputError);
}

TEST(EquilibriumState, SingleComponentIsOnePhaseWithBetaFromItsRoot) {
    Composition c{};
    c[static_cast<int>(Component::CH4)] = 1.0;
    const EquilibriumState liquid = equilibrium_state(Mixture(c), 150.0, 2.0);
    const EquilibriumState vapour = equilibrium_state(Mixture(c), 150.0, 0.5);
    ASSERT_TRUE(liquid.ok());
    ASSERT_TRUE(vapour.ok());
    EXPECT_EQ(liquid.phases, 1);
    EXPECT_EQ(liquid.beta, 0.0);
    EXPECT_EQ(vapour.beta, 1.0);
}

}  // namespace
}  // namespace ngtherm
