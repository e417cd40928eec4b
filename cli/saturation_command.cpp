// `ngtherm saturation`: the saturation temperatures at a pressure, the
// saturation pressures at a temperature, or the cricondentherm or
// cricondenbar of a gas, each found directly on its line of constant vapour
// fraction.
#include <charconv>
#include <cmath>
#include <iostream>
#include <memory>
#include <string>

#include "commands.hpp"
#include "common.hpp"
#include "ngtherm/saturation.hpp"

namespace ngtherm::cli {
namespace {

struct SaturationArgs {
    std::string gas;
    std::string T, p;
    bool cricondentherm = false, cricondenbar = false;
    std::string beta = "1";
    bool json = false;
};

// A vapour fraction from 0 to 1, written in full.
double parse_beta(const std::string& text) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !(value >= 0.0 && value <= 1.0)) {
        throw ArgumentError("--beta", "expected a vapour fraction from 0 to 1, got '" + text + "'");
    }
    return value;
}

std::string_view branch_name(SaturationBranch b) {
    switch (b) {
        case SaturationBranch::upper: return "upper";
        case SaturationBranch::lower: return "lower";
        case SaturationBranch::none: break;
    }
    return "";
}

std::string_view status_words(SaturationStatus s) {
    switch (s) {
        case SaturationStatus::converged: return "converged";
        case SaturationStatus::not_converged: return "a point did not converge to 1e-10";
        case SaturationStatus::no_point: return "none on the line inside the window (0.001 to 100 MPa)";
        case SaturationStatus::incomplete_line: return "the line ended early; its points may be missing some";
        case SaturationStatus::failed: return "no point of the line was found";
        case SaturationStatus::pure_fluid: return "a pure fluid has no saturation line of a mixture";
        case SaturationStatus::trivial: return "the trace lost the line (a point with both phases alike)";
        case SaturationStatus::metastable: return "only points with a phase on a metastable density root";
    }
    return "unknown status";
}

// {"CH4": ..}: mole percent of the feed's components.
std::string percent_json(const Composition& feed, const Composition& x) {
    std::string text = "{";
    for (int m = 0; m < kComponentCount; ++m) {
        if (feed[m] <= 0.0) continue;
        if (text.size() > 1) text += ", ";
        text += '"' + std::string(component_id(m)) + "\": " + format_shortest(100.0 * x[m]);
    }
    return text + "}";
}

std::string points_json(const Saturation& s, const Composition& feed) {
    std::string text = "[";
    for (const SaturationPoint& q : s.points) {
        if (text.size() > 1) text += ", ";
        const std::string_view branch = branch_name(q.branch);
        text += "{\"T\": " + format_shortest(q.T) + ", \"p\": " + format_shortest(q.p) + ", \"branch\": " +
                (branch.empty() ? "null" : '"' + std::string(branch) + '"') +
                ", \"incipient\": " + percent_json(feed, q.incipient) + "}";
    }
    return text + "]";
}

std::string point_text(const SaturationPoint& q, const Composition& feed) {
    std::string text = q.branch == SaturationBranch::none ? "" : std::string(branch_name(q.branch)) + ": ";
    text += "T = " + format_readable(q.T) + " K, p = " + format_readable(q.p) + " MPa\n  incipient phase, mol-%:";
    for (int m = 0; m < kComponentCount; ++m) {
        if (feed[m] > 0.0) text += " " + std::string(component_id(m)) + " " + format_readable(100.0 * q.incipient[m], 6);
    }
    return text + "\n";
}

void run_saturation(const SaturationArgs& args) {
    const Composition feed = parse_gas(args.gas, "--gas");
    SaturationOptions o;
    o.beta = parse_beta(args.beta);
    const Mixture mixture(feed);
    std::string what, echo;  // the request in words, and its JSON echo
    Saturation s;
    if (!args.p.empty()) {
        const double p = parse_positive(args.p, "-p", "MPa");
        s = saturation_temperatures(mixture, p, o);
        what = "saturation temperatures at " + format_readable(p) + " MPa";
        echo = "\"p\": " + format_shortest(p);
    } else if (!args.T.empty()) {
        const double T = parse_positive(args.T, "-T", "K");
        s = saturation_pressures(mixture, T, o);
        what = "saturation pressures at " + format_readable(T) + " K";
        echo = "\"T\": " + format_shortest(T);
    } else if (args.cricondentherm || args.cricondenbar) {
        s = args.cricondentherm ? cricondentherm(mixture, o) : cricondenbar(mixture, o);
        what = args.cricondentherm ? "cricondentherm" : "cricondenbar";
        echo = "\"point\": \"" + what + "\"";
    } else {
        throw ArgumentError("saturation", "give one of -p, -T, --cricondentherm, --cricondenbar");
    }
    if (!s.ok()) throw CalculationError("saturation: " + what + ": " + std::string(status_words(s.status)));
    if (args.json) {
        std::cout << "{\"gas\": " + percent_json(feed, feed) + ", \"beta\": " + format_shortest(o.beta) + ", " + echo +
                         ", \"points\": " + points_json(s, feed) + "}\n";
        return;
    }
    // The dew and bubble lines are the two halves of one phase boundary.
    const std::string line = o.beta == 1.0 || o.beta == 0.0 ? "the phase boundary (dew and bubble line)"
                                                            : "the line of vapour fraction " + format_readable(o.beta);
    std::cout << what << " on " << line << ": " << s.points.size() << (s.points.size() == 1 ? " point\n" : " points\n");
    for (const SaturationPoint& q : s.points) std::cout << point_text(q, feed);
}

}  // namespace

void add_saturation_command(CLI::App& app) {
    auto args = std::make_shared<SaturationArgs>();
    CLI::App* command = app.add_subcommand(
        "saturation", "Saturation points without a trace: the temperatures at a pressure, the pressures at "
                      "a temperature, or the cricondentherm or cricondenbar of a dew (--beta 1), bubble "
                      "(--beta 0) or constant-quality line");
    command
        ->add_option("-g,--gas", args->gas,
                     "Composition in mole percent, e.g. CH4=90,C2H6=5,N2=3,CO2=2 (ids or English "
                     "names, values >= 0 summing to 100)")
        ->type_name("ID=PERCENT,...")
        ->required();
    auto* p = command->add_option("-p,--pressure", args->p, "Pressure in MPa: its saturation temperatures")
                  ->type_name("MPA");
    auto* T = command->add_option("-T,--temperature", args->T, "Temperature in K: its saturation pressures")
                  ->type_name("KELVIN");
    auto* cct = command->add_flag("--cricondentherm", args->cricondentherm, "The highest temperature of the line");
    auto* ccb = command->add_flag("--cricondenbar", args->cricondenbar, "The highest pressure of the line");
    p->excludes(T)->excludes(cct)->excludes(ccb);
    T->excludes(cct)->excludes(ccb);
    cct->excludes(ccb);
    command->add_option("--beta", args->beta, "Molar vapour fraction of the line, 0 to 1")->capture_default_str();
    command->add_flag("--json", args->json, "Print one JSON object with every number in shortest round-trip form");
    command->footer(
        "Output units: T in K, p in MPa, incipient phase in mol-%. The upper branch has two phases just below it "
        "(at lower T for a given p: the dew point; at lower p for a given T), the lower branch just above it. "
        "--beta 1 and 0 give the points of the whole phase boundary. JSON keys: gas (mol-%), beta, p or T or point "
        "(the request), points (T p branch incipient; branch null for the cricondentherm and cricondenbar). Exit "
        "status: 0 success, 1 none found or a point not converged, 2 bad argument.\n");
    command->callback([args] { run_saturation(*args); });
}

}  // namespace ngtherm::cli
