// The final check of a split: each of its three conditions on its own.
#include "equilibrium/split_check.hpp"

#include <gtest/gtest.h>

#include <cmath>

namespace ngtherm::equilibrium {
namespace {

// An ideal binary at its equilibrium: K_i = phi_L_i / phi_V_i, with the phases
// at beta = 0.5 of a feed z. ln phi of the feed makes its Gibbs energy lie above
// the split's.
struct IdealSplit {
    double z[2] = {0.5, 0.5}, x[2] = {0.8, 0.2}, y[2] = {0.2, 0.8};
    double lnphi_x[2] = {std::log(0.2 / 0.8), 0.0}, lnphi_y[2] = {0.0, std::log(0.2 / 0.8)};
    double d[2] = {std::log(0.5) + 0.0, std::log(0.5) + 0.0};
    double beta = 0.5;
    SplitCheck check() const { return check_split(2, z, d, beta, x, lnphi_x, y, lnphi_y); }
};

TEST(SplitCheck, PassesAnEquilibriumAndFailsEachBrokenCondition) {
    IdealSplit s;
    EXPECT_TRUE(s.check().passed());
    IdealSplit unequal = s;
    unequal.lnphi_x[1] += 2e-8;
    EXPECT_FALSE(unequal.check().passed());
    IdealSplit unbalanced = s;
    unbalanced.beta = 0.5 + 1e-9;
    EXPECT_FALSE(unbalanced.check().passed());
    IdealSplit above_feed = s;
    above_feed.d[0] = above_feed.d[1] = -5.0;
    EXPECT_FALSE(above_feed.check().passed());
    IdealSplit not_a_number = s;
    not_a_number.lnphi_y[0] = NAN;
    EXPECT_FALSE(not_a_number.check().passed());
}

}  // namespace
}  // namespace ngtherm::equilibrium
