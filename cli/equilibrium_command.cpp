// `ngtherm equilibrium`: the phases at given T, p and composition, with the
// vapour fraction, both phase compositions and each phase's Z and density.
#include <memory>
#include <string>

#include "commands.hpp"
#include "common.hpp"
#include "ngtherm/equilibrium.hpp"

namespace ngtherm::cli {
namespace {

Json phase_json(const Input& in, const EquilibriumState& eq, const Composition& c, const PhaseProperties& m) {
    if (!eq.ok()) return {{"composition", nullptr}, {"Z", nullptr}, {"rho", nullptr}};
    return {{"composition", composition_json(in, to_percent(c))}, {"Z", m.Z}, {"rho", m.rho}};
}

std::string equilibrium_text(const Input& in, const EquilibriumState& eq) {
    const auto f = [](double v) { return format_readable(v); };
    std::string text = "phases  " + std::to_string(eq.phases);
    if (eq.phases == 1) text += eq.beta == 1.0 ? " (vapour-like)" : " (liquid-like)";
    text += "\nbeta    " + f(eq.beta) + " (molar fraction of the vapour-like phase)\n";
    text += "\ncomponent  liquid-like/mol-%    vapour-like/mol-%\n";
    for (int i = 0; i < kComponentCount; ++i) {
        if (!in.present(i)) continue;
        text += padded(std::string(component_id(i)), 11) + padded(f(eq.x[i] * kPercent), 21) +
                f(eq.y[i] * kPercent) + "\n";
    }
    text += "\n" + padded("", 16) + padded("liquid-like", 17) + "vapour-like\n";
    text += padded("Z", 16) + padded(f(eq.liquid.Z), 17) + f(eq.vapour.Z) + "\n";
    text += padded("rho/(mol/dm3)", 16) + padded(f(eq.liquid.rho), 17) + f(eq.vapour.rho) + "\n";
    return text;
}

Answer equilibrium_answer(const Input& in, const EquilibriumState& eq) {
    Answer answer;
    answer.json["phases"] = eq.ok() ? Json(eq.phases) : Json(nullptr);
    answer.json["beta"] = value_json(eq.beta, eq.ok());
    answer.json["liquid"] = phase_json(in, eq, eq.x, eq.liquid);
    answer.json["vapour"] = phase_json(in, eq, eq.y, eq.vapour);
    if (eq.ok()) {
        answer.text = equilibrium_text(in, eq);
    } else {
        answer.failure = eq.message;
    }
    return answer;
}

void run_equilibrium(const InputArgs& args) {
    const Input in = parse_input(args);
    const EquilibriumState eq = equilibrium_state(Mixture(in.fractions()), *in.T, *in.p);
    emit("equilibrium", in, Json::object(), equilibrium_answer(in, eq));
}

}  // namespace

void add_equilibrium_command(CLI::App& app) {
    auto args = std::make_shared<InputArgs>();
    CLI::App* command = app.add_subcommand(
        "equilibrium", "Phases at given T, p and composition (mole percent): vapour fraction, phase "
                       "compositions, Z and density of each phase");
    add_input_options(*command, *args);
    command->footer(
        "Output units: compositions in mol-%, rho in mol/dm3; beta (molar fraction of the vapour-like "
        "phase) and Z are dimensionless. One phase gives beta 1 (vapour-like) or 0 (liquid-like) and the "
        "feed as both compositions. JSON keys after command input ok message: phases beta liquid vapour, "
        "each phase {composition, Z, rho} with the composition keyed by component id. Exit status: 0 "
        "success, 1 calculation failed, 2 bad argument or state outside the limits.\n");
    command->callback([args] { run_equilibrium(*args); });
}

}  // namespace ngtherm::cli
