// `ngtherm state`: density, Z and the engineering properties of one phase.
#include <algorithm>
#include <cstddef>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "commands.hpp"
#include "common.hpp"
#include "ngtherm/state.hpp"

namespace ngtherm::cli {
namespace {

// g/mol per kg/mol, for people who read molar masses in g/mol.
constexpr double kGramsPerKilogram = 1000.0;

struct StateArgs {
    StatePointArgs point;
    std::string root = "auto";
    bool json = false;
};

Root parse_root(const std::string& text) {
    if (text == "auto") return Root::stable;
    if (text == "vapour" || text == "vapor") return Root::vapour;
    if (text == "liquid") return Root::liquid;
    throw ArgumentError("--root", "expected vapour, liquid or auto, got '" + text + "'");
}

std::string status_text(const PhaseState& state) {
    if (!state.message.empty()) return state.message;
    switch (state.status) {
        case StateStatus::no_density:
            return "no density root found";
        case StateStatus::negative_sound_speed:
            return "mechanically unstable root (negative squared speed of sound)";
        case StateStatus::no_such_root:
            return "no vapour-like root at this temperature and pressure";
        case StateStatus::ok:
            break;
    }
    return "calculation failed";
}

// The phase flag printed for a state: +1 for a liquid-like and -1 for a
// vapour-like root, negated with the vapour preference and doubled with the
// stable one.
int phase_flag(const PhaseState& state, Root root) {
    const int side = state.side == Side::liquid_like ? 1 : -1;
    switch (root) {
        case Root::liquid: return side;
        case Root::vapour: return -side;
        case Root::stable: break;
    }
    return 2 * side;
}

std::string state_json(const PhaseState& state, Root root) {
    const PhaseProperties& m = state.props;
    const MassProperties mass = to_mass_basis(m, state.molar_mass);
    JsonObject json;
    json.add("T", state.T);
    json.add("p", state.p);
    json.add("M", state.molar_mass);
    json.add("rho", m.rho);
    json.add("rho_mass", mass.rho);
    json.add("Z", m.Z);
    json.add("u", m.u);
    json.add("h", m.h);
    json.add("s", m.s);
    json.add("cv", m.cv);
    json.add("cp", m.cp);
    json.add("w", m.w);
    json.add("kappa", m.kappa);
    json.add("jt", m.jt);
    json.add("phase_flag", phase_flag(state, root));
    return json.str();
}

struct TextLine {
    std::string label;
    std::string value;
    std::string unit;
};

std::string aligned(const std::vector<TextLine>& lines) {
    std::size_t label_width = 0;
    std::size_t value_width = 0;
    for (const TextLine& line : lines) {
        label_width = std::max(label_width, line.label.size());
        value_width = std::max(value_width, line.value.size());
    }
    std::string text;
    for (const TextLine& line : lines) {
        std::string row = line.label + std::string(label_width - line.label.size() + 2, ' ') +
                          line.value;
        if (!line.unit.empty()) {
            row += std::string(value_width - line.value.size() + 1, ' ') + line.unit;
        }
        text += row + "\n";
    }
    return text;
}

std::string state_text(const PhaseState& state) {
    const PhaseProperties& m = state.props;
    const MassProperties mass = to_mass_basis(m, state.molar_mass);
    const auto f = [](double value) { return format_readable(value); };
    return aligned({
        {"phase", state.side == Side::liquid_like ? "liquid-like" : "vapour-like", ""},
        {"temperature T", f(state.T), "K"},
        {"pressure p", f(state.p), "MPa"},
        {"molar mass M", f(state.molar_mass * kGramsPerKilogram), "g/mol"},
        {"density rho", f(m.rho), "mol/dm3"},
        {"mass density", f(mass.rho), "kg/m3"},
        {"compressibility factor Z", f(m.Z), ""},
        {"internal energy u", f(m.u), "J/mol"},
        {"enthalpy h", f(m.h), "J/mol"},
        {"entropy s", f(m.s), "J/(mol K)"},
        {"isochoric heat capacity cv", f(m.cv), "J/(mol K)"},
        {"isobaric heat capacity cp", f(m.cp), "J/(mol K)"},
        {"speed of sound w", f(m.w), "m/s"},
        {"isentropic exponent kappa", f(m.kappa), ""},
        {"Joule-Thomson coefficient", f(m.jt), "K/MPa"},
    });
}

void run_state(const StateArgs& args) {
    const StatePoint point = parse_state_point(args.point);
    const Root root = parse_root(args.root);
    const PhaseState state = single_phase_state(Mixture(point.x), point.T, point.p, root);
    if (!state.ok()) throw CalculationError("state: " + status_text(state));
    if (args.json) {
        std::cout << state_json(state, root) << '\n';
    } else {
        std::cout << state_text(state);
    }
}

}  // namespace

void add_state_command(CLI::App& app) {
    auto args = std::make_shared<StateArgs>();
    CLI::App* command = app.add_subcommand(
        "state", "Density, Z and the properties of one phase at given T (K), p (MPa) and "
                 "composition (mole percent)");
    add_state_point_options(*command, args->point);
    command
        ->add_option("--root", args->root,
                     "Density root where two exist: vapour, liquid, or auto for the one with "
                     "the lower Gibbs energy")
        ->capture_default_str();
    command->add_flag("--json", args->json,
                      "Print one JSON object with every number in shortest round-trip form "
                      "(null where not a number)");
    command->footer(
        "Output units: T K, p MPa, M g/mol (kg/mol in JSON), rho mol/dm3, rho_mass kg/m3, "
        "u h J/mol, s cv cp J/(mol K), w m/s, jt K/MPa; Z and kappa are dimensionless. "
        "JSON keys: T p M rho rho_mass Z u h s cv cp w kappa jt phase_flag. Exit status: 0 "
        "success, 1 calculation failed, 2 bad argument.\n");
    command->callback([args] { run_state(*args); });
}

}  // namespace ngtherm::cli
