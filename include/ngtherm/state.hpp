// Single-phase states: density, Z and the engineering properties of one phase
// of a mixture at given temperature and pressure.
//
// Units: T in K, p in MPa, molar density in mol/dm3, mass density in kg/m3,
// u and h in J/mol, s, cv and cp in J/(mol K), w in m/s, Joule-Thomson
// coefficient in K/MPa; Z and the isentropic exponent are dimensionless.
// Mass-basis values: u and h in kJ/kg, s, cv, cp in kJ/(kg K).
// Reference state: h = 0 and s = 0 for every pure component as an ideal gas at
// 298.15 K and 0.101325 MPa; mixture entropies include the ideal mixing term.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "ngtherm/components.hpp"

namespace ngtherm {

// Thrown for arguments no calculation can start from, with the limit in its
// message: T or p outside the general limits of the C functions (60 K < T <=
// 2000 K, 0 < p <= 1000 MPa) or p below 1e-9 MPa, negative or non-finite
// fractions, no component present.
class InputError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// Which density root a single-phase state takes where the equation of state has
// more than one at (T, p).
enum class Root {
    liquid,  // the liquid-like root
    vapour,  // the vapour-like root
    stable,  // the root with the lower Gibbs energy
};

class Mixture;

namespace detail {
struct MixtureData;
// The prepared data of a Mixture, for the library's own calculations.
const MixtureData& mixture_data(const Mixture& mixture);
}  // namespace detail

// A composition prepared once for any number of evaluations: the active
// components, their pair parameters and every composition-dependent constant.
// Immutable; copies share the prepared data, and one Mixture may be used from
// several threads at once.
class Mixture {
public:
    // Mole fractions in model order; they are normalised to sum 1 after
    // components below kMinActiveFraction are dropped. Throws InputError.
    explicit Mixture(const Composition& fractions);

    const Composition& fractions() const;  // normalised, absent components 0
    int active_count() const;              // components taking part
    double molar_mass() const;             // kg/mol

private:
    friend const detail::MixtureData& detail::mixture_data(const Mixture& mixture);
    std::shared_ptr<const detail::MixtureData> data_;
};

// Engineering properties of one phase, molar basis (see the units above).
struct PhaseProperties {
    double rho = 0;       // mol/dm3
    double Z = 0;
    double u = 0, h = 0;  // J/mol
    double s = 0, cv = 0, cp = 0;  // J/(mol K)
    double w = 0;      // m/s
    double kappa = 0;  // isentropic exponent w^2 M / (Z R T)
    double jt = 0;     // K/MPa
};

// The same on the mass basis, for a molar mass M in kg/mol.
struct MassProperties {
    double rho = 0;       // kg/m3
    double Z = 0;
    double u = 0, h = 0;  // kJ/kg
    double s = 0, cv = 0, cp = 0;  // kJ/(kg K)
    double w = 0, kappa = 0, jt = 0;
};
MassProperties to_mass_basis(const PhaseProperties& molar, double molar_mass);

// Which side of the phase boundary a root lies on.
enum class Side {
    liquid_like,  // a dense, liquid-like root
    vapour_like,  // a vapour-like root
};

enum class StateStatus {
    ok,
    no_density,           // no density root could be found at (T, p)
    negative_sound_speed, // w^2 < 0 (mechanically unstable root): w is NaN
    no_such_root,         // the vapour-like root asked for is not on the vapour branch at (T, p)
};

struct PhaseState {
    double T = 0, p = 0;
    double molar_mass = 0;  // kg/mol
    Side side = Side::liquid_like;  // of the root found
    PhaseProperties props;
    StateStatus status = StateStatus::ok;
    std::string message;  // empty when ok
    bool ok() const { return status == StateStatus::ok; }
};

// The single-phase state at (T, p). Throws InputError for T or p outside the
// limits named at InputError.
PhaseState single_phase_state(const Mixture& mixture, double T, double p, Root root = Root::stable);

// Throws the InputError every state calculation throws for T or p outside
// those limits; computes nothing (for callers that check a batch first).
void check_state_limits(double T, double p);

}  // namespace ngtherm
