// `ngtherm flash`: the phase split at given T, p and composition with the
// vapour fraction, the liquid content per normal cubic metre and both phase
// compositions, as the C function flash_tp reports them.
#include <memory>
#include <string>

#include "commands.hpp"
#include "common.hpp"
#include "ngtherm/exports.hpp"

namespace ngtherm::cli {
namespace {

Json phase_json(const Input& in, const FlashResult& r, const ExternalPercentages& c) {
    return {{"composition", r.ok() ? composition_json(in, in_model_order(c)) : Json(nullptr)}};
}

std::string flash_text(const Input& in, const FlashResult& r) {
    const auto f = [](double v) { return format_readable(v); };
    std::string text = aligned({
        {"vapour fraction beta", f(r.beta), "mol/mol"},
        {"liquid fraction", f(r.liquid_fraction), "mol/mol"},
        {"liquid content", f(r.liquid_content), "mg/m3 of gas at 273.15 K and 0.101325 MPa"},
    });
    text += "\ncomponent  liquid-like/mol-%    vapour-like/mol-%\n";
    const auto liquid = in_model_order(r.liquid);
    const auto vapour = in_model_order(r.vapour);
    for (int m = 0; m < kComponentCount; ++m) {
        if (in.present(m)) text += padded(std::string(component_id(m)), 11) + padded(f(liquid[m]), 21) + f(vapour[m]) + "\n";
    }
    return text;
}

Answer flash_answer(const Input& in, const FlashResult& r) {
    Answer answer;
    answer.json["status"] = r.status;
    answer.json["beta"] = value_json(r.beta, r.ok());
    answer.json["liquid_fraction"] = value_json(r.liquid_fraction, r.ok());
    answer.json["liquid_content"] = value_json(r.liquid_content, r.ok());
    answer.json["liquid"] = phase_json(in, r, r.liquid);
    answer.json["vapour"] = phase_json(in, r, r.vapour);
    if (r.ok()) {
        answer.text = flash_text(in, r);
    } else {
        answer.failure = "status " + std::to_string(r.status) + ": " + std::string(status_meaning(r.status));
    }
    return answer;
}

void run_flash(const InputArgs& args) {
    const Input in = parse_input(args);
    const FlashResult r = flash(in.external(), *in.p, *in.T, in.range);
    emit("flash", in, Json::object(), flash_answer(in, r));
}

}  // namespace

void add_flash_command(CLI::App& app) {
    auto args = std::make_shared<InputArgs>();
    CLI::App* command = app.add_subcommand(
        "flash", "Phase split at given T, p and composition (mole percent): vapour fraction, liquid "
                 "content per normal cubic metre, both phase compositions");
    add_input_options(*command, *args);
    command->footer(
        "Output units: beta and the liquid fraction in mol/mol; the liquid content in mg of liquid per m3 "
        "of the gas at 273.15 K and 0.101325 MPa; compositions in mol-%. One phase gives beta 1 "
        "(vapour-like) or 0 (liquid-like) and the feed as both compositions. JSON keys after command input "
        "ok message: status beta liquid_fraction liquid_content liquid vapour, each phase {composition} "
        "keyed by component id. Exit status: 0 success, 1 calculation failed, 2 bad argument or state "
        "outside the limits.\n");
    command->callback([args] { run_flash(*args); });
}

}  // namespace ngtherm::cli
