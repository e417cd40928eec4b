// The working state behind the C exports and the public C++ calls. Every
// thread gets its own Workspace, so calls from different threads never share
// an equilibrium cache or scratch storage, and a C call and a C++ call on one
// thread share both.
#pragma once

#include <cstdint>

#include "equilibrium/tpequil.hpp"
#include "ngtherm/components.hpp"

namespace ngtherm::api {

struct Workspace {
    // Equilibrium solver with its cache of recent results.
    equilibrium::EquilibriumSolver solver;
    // Model-order mole fractions of the current call.
    Composition x{};
    // Z at the reference state of K depends on the composition and the phase
    // selector alone: kept for the last pair asked, so that a run of calls on
    // one gas solves the reference state once.
    struct ReferenceZ {
        bool valid = false;
        Composition x{};
        std::int16_t selector = 0;
        double Z = 0.0;
    } reference;
};

// The workspace of the calling thread, created on its first use and
// destroyed when the thread ends.
Workspace& thread_workspace();

}  // namespace ngtherm::api
