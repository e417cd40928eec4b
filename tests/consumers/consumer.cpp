// A C++ program of a user of the C++ library: one state of a natural gas.
#include <cstdio>

#include <ngtherm/state.hpp>

int main() {
    ngtherm::Composition x{};  // mole fractions, C++ order
    x[int(ngtherm::Component::CH4)] = 0.9;
    x[int(ngtherm::Component::C2H6)] = 0.05;
    x[int(ngtherm::Component::N2)] = 0.03;
    x[int(ngtherm::Component::CO2)] = 0.02;
    const ngtherm::PhaseState s = ngtherm::single_phase_state(ngtherm::Mixture(x), 300.0, 5.0);
    if (!s.ok()) {
        std::fprintf(stderr, "%s\n", s.message.c_str());
        return 1;
    }
    std::printf("Z %.6f, density %.4f mol/dm3\n", s.props.Z, s.props.rho);
    return s.props.Z > 0.8 && s.props.Z < 1.0 ? 0 : 1;
}
