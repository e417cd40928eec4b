// `ngtherm flash`: the phase split at given T, p and composition with the
// vapour fraction, the liquid content per normal cubic metre and both phase
// compositions, as the C function flash_tp reports them.
#include <iostream>
#include <memory>
#include <string>

#include "commands.hpp"
#include "common.hpp"
#include "ngtherm/envelope.hpp"
#include "ngtherm/exports.hpp"

namespace ngtherm::cli {
namespace {

struct FlashArgs {
    StatePointArgs point;
    bool json = false;
};

// A failed input check names the argument it concerns.
[[noreturn]] void fail(std::int16_t status) {
    const std::string words = "status " + std::to_string(status) + ": " + std::string(status_meaning(status));
    switch (status) {
        case 53:
        case 54: throw ArgumentError("--gas", words);
        case 55: throw ArgumentError("-T", words);
        case 56: throw ArgumentError("-p", words);
        default: throw CalculationError("flash: " + words);
    }
}

// {"CH4":..,...}: mole percentages of the feed's components, model order.
std::string composition_json(const Composition& feed, const ExternalPercentages& external) {
    const auto percent = in_model_order(external);
    std::string text = "{";
    for (int m = 0; m < kComponentCount; ++m) {
        if (feed[m] <= 0.0) continue;
        if (text.size() > 1) text += ", ";
        text += '"' + std::string(component_id(m)) + "\": " + format_shortest(percent[m]);
    }
    return text + "}";
}

std::string flash_json(const StatePoint& point, const FlashResult& r) {
    JsonObject json;
    json.add("T", point.T);
    json.add("p", point.p);
    json.add("beta", r.beta);
    json.add("liquid_fraction", r.liquid_fraction);
    json.add("liquid_content", r.liquid_content);
    // JsonObject is flat: the two composition objects go in by hand.
    std::string text = json.str();
    text.pop_back();
    return text + ", \"liquid\": " + composition_json(point.x, r.liquid) +
           ", \"vapour\": " + composition_json(point.x, r.vapour) + "}";
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.resize(width, ' ');
    return text;
}

std::string flash_text(const StatePoint& point, const FlashResult& r) {
    const auto f = [](double v) { return format_readable(v); };
    std::string text;
    text += "vapour fraction beta  " + padded(f(r.beta), 14) + "mol/mol\n";
    text += "liquid fraction       " + padded(f(r.liquid_fraction), 14) + "mol/mol\n";
    text += "liquid content        " + padded(f(r.liquid_content), 14) +
            "mg/m3 of gas at 273.15 K and 0.101325 MPa\n";
    text += "\ncomponent  liquid/mol-%        vapour/mol-%\n";
    const auto liquid = in_model_order(r.liquid);
    const auto vapour = in_model_order(r.vapour);
    for (int m = 0; m < kComponentCount; ++m) {
        if (point.x[m] <= 0.0) continue;
        text += padded(std::string(component_id(m)), 11) + padded(f(liquid[m]), 20) + f(vapour[m]) + "\n";
    }
    return text;
}

void run_flash(const FlashArgs& args) {
    const StatePoint point = parse_state_point(args.point);
    const FlashResult r = flash(external_percentages(point.x), point.p, point.T);
    if (!r.ok()) fail(r.status);
    std::cout << (args.json ? flash_json(point, r) + "\n" : flash_text(point, r));
}

}  // namespace

void add_flash_command(CLI::App& app) {
    auto args = std::make_shared<FlashArgs>();
    CLI::App* command = app.add_subcommand(
        "flash", "Phase split at given T (K), p (MPa) and composition (mole percent): vapour "
                 "fraction, liquid content per normal cubic metre, both phase compositions");
    add_state_point_options(*command, args->point);
    command->add_flag("--json", args->json,
                      "Print one JSON object with every number in shortest round-trip form");
    command->footer(
        "Output units: beta and the liquid fraction in mol/mol; the liquid content in mg of "
        "liquid per m3 of the gas at 273.15 K and 0.101325 MPa; compositions in mol-%. One "
        "phase gives beta 1 (vapour-like) or 0 (liquid-like) and the feed as both compositions. "
        "JSON keys: T p beta liquid_fraction liquid_content liquid vapour (compositions keyed by "
        "component id). Exit status: 0 success, 1 calculation failed, 2 bad argument.\n");
    command->callback([args] { run_flash(*args); });
}

}  // namespace ngtherm::cli
