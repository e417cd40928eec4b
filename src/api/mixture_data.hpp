// What a public Mixture holds: the active set and the prepared composition.
#pragma once

#include "model/active_set.hpp"
#include "model/mixstate.hpp"
#include "ngtherm/state.hpp"

namespace ngtherm::detail {

struct MixtureData {
    Composition fractions{};  // normalised, model order, absent components 0
    model::ActiveSet set;
    model::CompositionState composition;
};

// Throws InputError, naming the limit, unless T (K) and p (MPa) lie inside the
// general limits (60 K < T <= 2000 K, 0 < p <= 1000 MPa) and p >= 1e-9 MPa.
void check_state_point(double T, double p);

}  // namespace ngtherm::detail
