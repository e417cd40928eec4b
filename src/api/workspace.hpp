// The working state behind the C exports and the public C++ calls. Every
// thread gets its own Workspace, so calls from different threads never share
// an equilibrium cache or scratch storage, and a C call and a C++ call on one
// thread share both.
#pragma once

#include "equilibrium/tpequil.hpp"
#include "ngtherm/components.hpp"

namespace ngtherm::api {

struct Workspace {
    // Equilibrium solver with its one-entry result cache.
    equilibrium::EquilibriumSolver solver;
    // Model-order mole fractions of the current call.
    Composition x{};
};

// The workspace of the calling thread, created on its first use and
// destroyed when the thread ends.
Workspace& thread_workspace();

}  // namespace ngtherm::api
