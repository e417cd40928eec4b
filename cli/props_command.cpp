// `ngtherm props`: the eleven properties of the C function gerg2008 at given
// T, p and composition, with the status code of each explained in words.
#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>

#include "commands.hpp"
#include "common.hpp"
#include "ngtherm/exports.hpp"

namespace ngtherm::cli {
namespace {

struct PropsArgs {
    StatePointArgs point;
    std::string phase = "overall";
    std::string range = "0";
    bool json = false;
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

std::int16_t parse_range(const std::string& text) {
    if (text == "0" || text == "1" || text == "2") return static_cast<std::int16_t>(text[0] - '0');
    throw ArgumentError("--range", "expected 0, 1 or 2, got '" + text + "'");
}

bool failed(std::int16_t status) { return status > 0; }

std::string status_words(std::int16_t status) {
    return "status " + std::to_string(status) + ": " + std::string(status_meaning(status));
}

std::string props_json(const ExportResults& r) {
    JsonObject values;
    JsonObject codes;
    for (int k = 0; k < kExportPropertyCount; ++k) {
        values.add(kExportPropertyNames[k], r.value[k]);
        codes.add(kExportPropertyNames[k], static_cast<int>(r.status[k]));
    }
    // JsonObject is flat: the status object goes in as the last member by hand.
    std::string text = values.str();
    text.pop_back();
    return text + ", \"status\": " + codes.str() + "}";
}

std::string props_text(const ExportResults& r) {
    std::size_t width = 0;
    for (const PropertyLabel& label : kLabels) {
        width = std::max(width, std::string(label.name).size());
    }
    std::string text;
    for (int k = 0; k < kExportPropertyCount; ++k) {
        std::string row = kLabels[k].name;
        row += std::string(width - row.size() + 2, ' ');
        if (failed(r.status[k])) {
            row += "-  (" + status_words(r.status[k]) + ")";
        } else {
            row += format_readable(r.value[k]);
            if (*kLabels[k].unit != '\0') row += std::string(" ") + kLabels[k].unit;
        }
        text += row + "\n";
    }
    return text;
}

void run_props(const PropsArgs& args) {
    const StatePoint point = parse_state_point(args.point);
    const std::int16_t selector = parse_phase(args.phase);
    const std::int16_t range = parse_range(args.range);
    const ExportResults r =
        export_properties(external_percentages(point.x), point.p, point.T, selector, range);
    std::cout << (args.json ? props_json(r) + "\n" : props_text(r));
    bool any_value = false;
    for (const std::int16_t status : r.status) any_value = any_value || !failed(status);
    if (!any_value) throw CalculationError("props: " + status_words(r.status[0]));
}

}  // namespace

void add_props_command(CLI::App& app) {
    auto args = std::make_shared<PropsArgs>();
    CLI::App* command = app.add_subcommand(
        "props", "The eleven properties of the C function gerg2008 (mass basis) at given T (K), "
                 "p (MPa) and composition (mole percent), each with its status code");
    add_state_point_options(*command, args->point);
    command
        ->add_option("--phase", args->phase,
                     "Which value where the state splits into two phases: overall, liquid or "
                     "vapour")
        ->capture_default_str();
    command
        ->add_option("--range", args->range,
                     "Range set of the input check: 0 general limits only, 1 or 2 also the "
                     "limits of that set")
        ->capture_default_str();
    command->add_flag("--json", args->json,
                      "Print one JSON object with every number in shortest round-trip form "
                      "(null where nothing was computed)");
    command->footer(
        "Output units: Z K kappa dimensionless, rho kg/m3, u h kJ/kg, s cv cp kJ/(kg K), w m/s, "
        "jt K/MPa. A failed property shows its status code in words; in JSON it holds the "
        "value of the C function (a negative sentinel such as -95555) and its code under "
        "\"status\". JSON keys: Z K rho u h s cv cp w kappa jt status. Exit status: 0 when at "
        "least one property was computed, 1 when none was (for example a failed input "
        "check), 2 bad argument.\n");
    command->callback([args] { run_props(*args); });
}

}  // namespace ngtherm::cli
