// Gases in the caller's component order (mole percentages, external order),
// shared by the tests of the C boundary.
#pragma once

#include <array>

#include "api/composition.hpp"

namespace ngtherm::test {

// Mole percentages in the external order.
using Percentages = std::array<double, 21>;

// 0-based external positions as indices (api::ExternalPosition).
using Ext = int;
#define NGTHERM_TEST_POSITION(name, component) \
    inline constexpr int name = api::index(api::ExternalPosition::component);
NGTHERM_TEST_POSITION(kCH4, CH4) NGTHERM_TEST_POSITION(kN2, N2) NGTHERM_TEST_POSITION(kCO2, CO2)
NGTHERM_TEST_POSITION(kC2H6, C2H6) NGTHERM_TEST_POSITION(kC3H8, C3H8) NGTHERM_TEST_POSITION(kNC4, nC4)
NGTHERM_TEST_POSITION(kIC4, iC4) NGTHERM_TEST_POSITION(kNC5, nC5) NGTHERM_TEST_POSITION(kIC5, iC5)
NGTHERM_TEST_POSITION(kNC6, nC6) NGTHERM_TEST_POSITION(kNC7, nC7) NGTHERM_TEST_POSITION(kNC8, nC8)
NGTHERM_TEST_POSITION(kNC9, nC9) NGTHERM_TEST_POSITION(kNC10, nC10) NGTHERM_TEST_POSITION(kHe, He)
NGTHERM_TEST_POSITION(kAr, Ar) NGTHERM_TEST_POSITION(kH2, H2) NGTHERM_TEST_POSITION(kO2, O2)
NGTHERM_TEST_POSITION(kCO, CO) NGTHERM_TEST_POSITION(kH2O, H2O) NGTHERM_TEST_POSITION(kH2S, H2S)
#undef NGTHERM_TEST_POSITION

// Inside the limits of both range sets.
inline Percentages pipeline_gas() {
    Percentages c{};
    c[kCH4] = 90.0;
    c[kN2] = 3.0;
    c[kCO2] = 2.0;
    c[kC2H6] = 4.0;
    c[kC3H8] = 1.0;
    return c;
}

// Splits into two phases at 240 K and 4 MPa.
inline Percentages rich_gas() {
    Percentages c{};
    c[kCH4] = 86.0;
    c[kN2] = 2.5;
    c[kC2H6] = 6.0;
    c[kC3H8] = 3.0;
    c[kNC4] = 1.2;
    c[kIC4] = 0.8;
    c[kNC5] = 0.5;
    return c;
}

}  // namespace ngtherm::test
