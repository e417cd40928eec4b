// `ngtherm state`: density, Z and the engineering properties of one phase.
#include <memory>
#include <string>

#include "commands.hpp"
#include "common.hpp"
#include "ngtherm/state.hpp"

namespace ngtherm::cli {
namespace {

// g/mol per kg/mol.
constexpr double kGramsPerKilogram = 1000.0;

struct StateArgs {
    InputArgs input;
    std::string root = "auto";
};

Root parse_root(const std::string& text) {
    if (text == "auto") return Root::stable;
    if (text == "vapour" || text == "vapor") return Root::vapour;
    if (text == "liquid") return Root::liquid;
    throw ArgumentError("--root", "expected vapour, liquid or auto, got '" + text + "'");
}

std::string side_name(const PhaseState& state) {
    return state.side == Side::liquid_like ? "liquid-like" : "vapour-like";
}

// The properties in output order: JSON key, text label, unit, value.
struct Quantity {
    const char* key;
    const char* label;
    const char* unit;
    double value;
};

std::vector<Quantity> quantities(const PhaseState& state) {
    const PhaseProperties& m = state.props;
    const MassProperties mass = to_mass_basis(m, state.molar_mass);
    return {
        {"M", "molar mass M", "g/mol", state.molar_mass * kGramsPerKilogram},
        {"rho", "density rho", "mol/dm3", m.rho},
        {"rho_mass", "mass density", "kg/m3", mass.rho},
        {"Z", "compressibility factor Z", "", m.Z},
        {"u", "internal energy u", "J/mol", m.u},
        {"h", "enthalpy h", "J/mol", m.h},
        {"s", "entropy s", "J/(mol K)", m.s},
        {"cv", "isochoric heat capacity cv", "J/(mol K)", m.cv},
        {"cp", "isobaric heat capacity cp", "J/(mol K)", m.cp},
        {"w", "speed of sound w", "m/s", m.w},
        {"kappa", "isentropic exponent kappa", "", m.kappa},
        {"jt", "Joule-Thomson coefficient", "K/MPa", m.jt},
    };
}

Answer state_answer(const Input& in, const PhaseState& state) {
    Answer answer;
    const bool found = state.status != StateStatus::no_density && state.status != StateStatus::no_such_root;
    answer.json["phase"] = found ? Json(side_name(state)) : Json(nullptr);
    for (const Quantity& q : quantities(state)) answer.json[q.key] = value_json(q.value, found);
    if (!state.ok()) {
        answer.failure = state.message;
        return answer;
    }
    std::vector<TextLine> lines{
        {"phase", side_name(state), ""},
        {"temperature T", format_readable(*in.T_given), std::string(in.units.T_name())},
        {"pressure p", format_readable(*in.p_given), std::string(in.units.p_name())},
    };
    for (const Quantity& q : quantities(state)) lines.push_back({q.label, format_readable(q.value), q.unit});
    answer.text = aligned(lines);
    return answer;
}

void run_state(const StateArgs& args) {
    const Input in = parse_input(args.input);
    const Root root = parse_root(args.root);
    const PhaseState state = single_phase_state(Mixture(in.fractions()), *in.T, *in.p, root);
    emit("state", in, {{"root", args.root}}, state_answer(in, state));
}

}  // namespace

void add_state_command(CLI::App& app) {
    auto args = std::make_shared<StateArgs>();
    CLI::App* command = app.add_subcommand(
        "state", "Density, Z and the properties of one phase at given T, p and composition (mole percent)");
    add_input_options(*command, args->input);
    command
        ->add_option("--root", args->root,
                     "Density root where two exist: vapour, liquid, or auto for the one with the lower "
                     "Gibbs energy")
        ->capture_default_str();
    command->footer(
        "Output units: M g/mol, rho mol/dm3, rho_mass kg/m3, u h J/mol, s cv cp J/(mol K), w m/s, jt "
        "K/MPa; Z and kappa are dimensionless. JSON keys after command input ok message: phase M rho "
        "rho_mass Z u h s cv cp w kappa jt. Exit status: 0 success, 1 calculation failed, 2 bad argument "
        "or state outside the limits.\n");
    command->callback([args] { run_state(*args); });
}

}  // namespace ngtherm::cli
