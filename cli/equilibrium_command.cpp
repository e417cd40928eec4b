// `ngtherm equilibrium`: the phases at given T, p and composition, with the
// vapour fraction, both phase compositions and each phase's Z and density.
#include <cmath>
#include <iostream>
#include <memory>
#include <string>

#include "commands.hpp"
#include "common.hpp"
#include "ngtherm/equilibrium.hpp"

namespace ngtherm::cli {
namespace {

constexpr double kPercent = 100.0;

struct EquilibriumArgs {
    StatePointArgs point;
    bool json = false;
};

std::string outcome_name(EquilibriumOutcome o) {
    switch (o) {
        case EquilibriumOutcome::success:
            return "success";
        case EquilibriumOutcome::split_failed:
            return "split_failed";
    }
    return "unknown";
}

// {"CH4":90,...}: the components of the feed in model order, mole percent.
std::string composition_json(const Composition& feed, const Composition& c) {
    std::string text = "{";
    for (int i = 0; i < kComponentCount; ++i) {
        if (feed[i] <= 0.0) continue;
        if (text.size() > 1) text += ',';
        text += '"' + std::string(component_id(i)) + "\":" + format_shortest(c[i] * kPercent);
    }
    return text + "}";
}

std::string number_json(double value) {
    return std::isfinite(value) ? format_shortest(value) : "null";
}

std::string equilibrium_json(const EquilibriumState& eq, const Composition& feed) {
    std::string text = "{\"outcome\":\"" + outcome_name(eq.outcome) + "\"";
    if (!eq.ok()) return text + ",\"message\":\"" + eq.message + "\"}";
    text += ",\"phases\":" + std::to_string(eq.phases);
    text += ",\"beta\":" + number_json(eq.beta);
    text += ",\"x\":" + composition_json(feed, eq.x);
    text += ",\"y\":" + composition_json(feed, eq.y);
    text += ",\"Z1\":" + number_json(eq.liquid.Z) + ",\"Z2\":" + number_json(eq.vapour.Z);
    text += ",\"rho1\":" + number_json(eq.liquid.rho) + ",\"rho2\":" + number_json(eq.vapour.rho);
    return text + "}";
}

std::string equilibrium_text(const EquilibriumState& eq, const Composition& feed) {
    const auto f = [](double v) { return format_readable(v); };
    std::string text;
    if (eq.phases == 1) {
        text += "phases  1 (" + std::string(eq.beta == 1.0 ? "vapour-like" : "liquid-like") + ")\n";
    } else {
        text += "phases  2\n";
    }
    text += "beta    " + f(eq.beta) + " (molar fraction of the vapour-like phase)\n";
    text += "\ncomponent  liquid-like x/mol-%  vapour-like y/mol-%\n";
    for (int i = 0; i < kComponentCount; ++i) {
        if (feed[i] <= 0.0) continue;
        std::string id(component_id(i));
        id.resize(11, ' ');
        std::string xs = f(eq.x[i] * kPercent);
        xs.resize(21, ' ');
        text += id + xs + f(eq.y[i] * kPercent) + "\n";
    }
    text += "\n                liquid-like      vapour-like\n";
    std::string z1 = f(eq.liquid.Z), r1 = f(eq.liquid.rho);
    z1.resize(17, ' ');
    r1.resize(17, ' ');
    text += "Z               " + z1 + f(eq.vapour.Z) + "\n";
    text += "rho/(mol/dm3)   " + r1 + f(eq.vapour.rho) + "\n";
    return text;
}

void run_equilibrium(const EquilibriumArgs& args) {
    const StatePoint point = parse_state_point(args.point);
    const Mixture mixture(point.x);
    const EquilibriumState eq = equilibrium_state(mixture, point.T, point.p);
    if (args.json) std::cout << equilibrium_json(eq, mixture.fractions()) << '\n';
    if (!eq.ok()) throw CalculationError("equilibrium: " + eq.message);
    if (!args.json) std::cout << equilibrium_text(eq, mixture.fractions());
}

}  // namespace

void add_equilibrium_command(CLI::App& app) {
    auto args = std::make_shared<EquilibriumArgs>();
    CLI::App* command = app.add_subcommand(
        "equilibrium", "Phases at given T (K), p (MPa) and composition (mole percent): vapour "
                       "fraction, phase compositions, Z and density of each phase");
    add_state_point_options(*command, args->point);
    command->add_flag("--json", args->json,
                      "Print one JSON object with every number in shortest round-trip form");
    command->footer(
        "Output units: compositions in mol-%, rho in mol/dm3; beta (molar fraction of the "
        "vapour-like phase) and Z are dimensionless. Phase 1 is liquid-like, phase 2 "
        "vapour-like; one phase gives beta 1 (vapour-like) or 0 (liquid-like) and the feed as "
        "both compositions. JSON keys: outcome phases beta x y Z1 Z2 rho1 rho2 (x and y keyed "
        "by component id). Exit status: 0 success, 1 calculation failed, 2 bad argument.\n");
    command->callback([args] { run_equilibrium(*args); });
}

}  // namespace ngtherm::cli
