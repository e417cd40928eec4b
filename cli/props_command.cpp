// `ngtherm props`: the eleven properties of the C function gerg2008 at given
// T, p and composition, with the status code of each explained in words.
#include <cstdint>
#include <memory>
#include <string>

#include "commands.hpp"
#include "common.hpp"
#include "ngtherm/exports.hpp"

namespace ngtherm::cli {
namespace {

struct PropsArgs {
    InputArgs input;
    std::string phase = "overall";
};

struct PropertyLabel {
    const char* name;
    const char* unit;
};

// Text labels in result order (kExportPropertyNames gives the JSON keys).
constexpr PropertyLabel kLabels[kExportPropertyCount] = {
    {"compressibility factor Z", ""},
    {"compressibility ratio K", ""},
    {"density rho", "kg/m3"},
    {"internal energy u", "kJ/kg"},
    {"enthalpy h", "kJ/kg"},
    {"entropy s", "kJ/(kg K)"},
    {"isochoric heat capacity cv", "kJ/(kg K)"},
    {"isobaric heat capacity cp", "kJ/(kg K)"},
    {"speed of sound w", "m/s"},
    {"isentropic exponent kappa", ""},
    {"Joule-Thomson coefficient", "K/MPa"},
};

std::int16_t parse_phase(const std::string& text) {
    if (text == "overall") return 0;
    if (text == "liquid") return 1;
    if (text == "vapour" || text == "vapor") return 2;
    throw ArgumentError("--phase", "expected overall, liquid or vapour, got '" + text + "'");
}

bool failed(std::int16_t status) { return status > 0; }

std::string status_words(std::int16_t status) {
    return "status " + std::to_string(status) + ": " + std::string(status_meaning(status));
}

Answer props_answer(const ExportResults& r) {
    Answer answer;
    Json& properties = answer.json["properties"] = Json::object();
    std::vector<TextLine> lines;
    bool any_value = false;
    for (int k = 0; k < kExportPropertyCount; ++k) {
        const bool ok = !failed(r.status[k]);
        any_value = any_value || ok;
        properties[std::string(kExportPropertyNames[k])] = {{"value", value_json(r.value[k], ok)},
                                                            {"status", r.status[k]}};
        lines.push_back(ok ? TextLine{kLabels[k].name, format_readable(r.value[k]), kLabels[k].unit}
                           : TextLine{kLabels[k].name, "-", "(" + status_words(r.status[k]) + ")"});
    }
    answer.text = aligned(lines);
    if (!any_value) answer.failure = status_words(r.status[0]);
    return answer;
}

void run_props(const PropsArgs& args) {
    const Input in = parse_input(args.input);
    const std::int16_t selector = parse_phase(args.phase);
    const ExportResults r = export_properties(in.external(), *in.p, *in.T, selector, in.range);
    emit("props", in, {{"phase", args.phase}}, props_answer(r));
}

}  // namespace

void add_props_command(CLI::App& app) {
    auto args = std::make_shared<PropsArgs>();
    CLI::App* command = app.add_subcommand(
        "props", "The eleven properties of the C function gerg2008 (mass basis) at given T, p and "
                 "composition (mole percent), each with its status code");
    add_input_options(*command, args->input);
    command
        ->add_option("--phase", args->phase,
                     "Which value where the state splits into two phases: overall, liquid or vapour")
        ->capture_default_str();
    command->footer(
        "Output units: Z K kappa dimensionless, rho kg/m3, u h kJ/kg, s cv cp kJ/(kg K), w m/s, jt K/MPa. "
        "A failed property shows its status code in words; in JSON its value is null beside its status. "
        "JSON keys after command input ok message: properties, with Z K rho u h s cv cp w kappa jt, each "
        "{value, status}. Exit status: 0 when at least one property was computed, 1 when none was, 2 bad "
        "argument or state outside the limits.\n");
    command->callback([args] { run_props(*args); });
}

}  // namespace ngtherm::cli
