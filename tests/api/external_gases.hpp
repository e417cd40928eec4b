// Gases in the caller's component order (mole percentages, external order),
// shared by the tests of the C boundary.
#pragma once

#include <array>

namespace ngtherm::test {

// Mole percentages in the external order.
using Percentages = std::array<double, 21>;

// 0-based external positions.
enum Ext {
    kCH4, kN2, kCO2, kC2H6, kC3H8, kNC4, kIC4, kNC5, kIC5, kNC6, kNC7,
    kNC8, kNC9, kNC10, kHe, kAr, kH2, kO2, kCO, kH2O, kH2S
};

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
