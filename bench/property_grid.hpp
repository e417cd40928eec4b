// The grid of the property-call benchmarks: 250-350 K x 1-12 MPa in steps of
// 10 K and 1 MPa (132 states, one- and two-phase alike), and the calls they time.
#pragma once

#include <array>
#include <cstdint>

#include "api/frames.hpp"
#include "ngtherm/exports.hpp"
#include "ngtherm/state.hpp"
#include "support/gases.hpp"

namespace ngtherm::bench {

inline constexpr int kGridTemperatures = 11, kGridPressures = 12;
inline constexpr double kGridFirstT = 250.0, kGridStepT = 10.0, kGridFirstP = 1.0, kGridStepP = 1.0;
inline constexpr int kGridStates = kGridTemperatures * kGridPressures;
// Each pass over the grid moves p by this times the pass number, so no cache
// answers a state from the pass before.
inline constexpr double kGridNudge = 1e-9;  // MPa

// Calls call(T, p) for every state of the grid, p moved by `nudge`.
template <class Call>
void over_grid(double nudge, Call&& call) {
    for (int i = 0; i < kGridTemperatures; ++i) {
        for (int j = 0; j < kGridPressures; ++j) call(kGridFirstT + kGridStepT * i, kGridFirstP + kGridStepP * j + nudge);
    }
}

// The three calls compared: the single-phase state of a Mixture built once,
// and the exports gerg2008 and gerg2008_z (stability checked) through their
// C++ frames, with the gas given as the exports take it.
class GridCalls {
public:
    explicit GridCalls(const test::Gas& gas) : mixture_(gas.fractions()), percentages_(gas.external()) {}

    double single_phase(double T, double p) const { return single_phase_state(mixture_, T, p).props.rho; }

    double gerg2008(double T, double p) {
        api::all_properties_export(percentages_.data(), &p, &T, &kSelector, &range_, all_.data(), echo_.data(),
                                   all_status_.data());
        return all_[0];
    }

    double gerg2008_z(double T, double p) { return property(api::Property::Z, T, p); }
    // Any single-property export (gerg2008_z, gerg2008_rho, ...).
    double property(api::Property which, double T, double p) {
        api::single_property_export(which, percentages_.data(), &p, &T, &kSelector, &range_, &z_,
                                    echo_.data(), &z_status_);
        return z_;
    }

private:
    static constexpr std::int16_t kSelector = 0;
    Mixture mixture_;
    ExternalPercentages percentages_;
    std::int16_t range_ = 0, z_status_ = 0;
    double z_ = 0.0;
    std::array<double, 11> all_{};
    std::array<std::int16_t, 11> all_status_{};
    std::array<double, kComponentCount> echo_{};
};

}  // namespace ngtherm::bench
