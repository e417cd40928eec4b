// `ngtherm saturation`: the saturation temperatures at a pressure, the
// saturation pressures at a temperature, or the cricondentherm or
// cricondenbar of a gas, each found directly on its line of constant vapour
// fraction.
#include <memory>
#include <string>

#include "commands.hpp"
#include "common.hpp"
#include "ngtherm/saturation.hpp"

namespace ngtherm::cli {
namespace {

constexpr double kPercent = 100.0;  // mol-% per mole fraction

struct SaturationArgs {
    InputArgs input;
    bool cricondentherm = false, cricondenbar = false;
    std::string beta = "1";
};

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

Composition percent(const Composition& fractions) {
    Composition out{};
    for (int i = 0; i < kComponentCount; ++i) out[i] = fractions[i] * kPercent;
    return out;
}

// The request: which calculation, its words and its echo.
enum class Request {
    temperatures_at_p,  // -p given
    pressures_at_T,     // -T given
    cricondentherm,     // --cricondentherm
    cricondenbar,       // --cricondenbar
};

Request request(const SaturationArgs& args) {
    const int given = !args.input.p.empty() + !args.input.T.empty() + args.cricondentherm + args.cricondenbar;
    if (given != 1) throw ArgumentError("saturation", "give exactly one of -p, -T, --cricondentherm, --cricondenbar");
    if (!args.input.p.empty()) return Request::temperatures_at_p;
    if (!args.input.T.empty()) return Request::pressures_at_T;
    return args.cricondentherm ? Request::cricondentherm : Request::cricondenbar;
}

std::string point_text(const Input& in, const SaturationPoint& q) {
    std::string text = q.branch == SaturationBranch::none ? "" : std::string(branch_name(q.branch)) + ": ";
    text += "T = " + format_readable(in.units.from_kelvin(q.T)) + " " + std::string(in.units.T_name()) +
            ", p = " + format_readable(in.units.from_mpa(q.p)) + " " + std::string(in.units.p_name()) +
            "\n  incipient phase, mol-%:";
    for (int m = 0; m < kComponentCount; ++m) {
        if (in.present(m)) text += " " + std::string(component_id(m)) + " " + format_readable(kPercent * q.incipient[m], 6);
    }
    return text + "\n";
}

Answer saturation_answer(const Input& in, const std::string& what, double beta, const Saturation& s) {
    Answer answer;
    Json points = Json::array();
    for (const SaturationPoint& q : s.points) {
        const std::string_view branch = branch_name(q.branch);
        points.push_back({{"T", in.units.from_kelvin(q.T)},
                          {"p", in.units.from_mpa(q.p)},
                          {"branch", branch.empty() ? Json(nullptr) : Json(branch)},
                          {"incipient", composition_json(in, percent(q.incipient))}});
    }
    answer.json["points"] = s.ok() ? points : Json(nullptr);
    if (!s.ok()) {
        answer.failure = what + ": " + std::string(status_words(s.status));
        return answer;
    }
    // The dew and bubble lines are the two halves of one phase boundary.
    const std::string line = beta == 1.0 || beta == 0.0 ? "the phase boundary (dew and bubble line)"
                                                        : "the line of vapour fraction " + format_readable(beta);
    answer.text = what + " on " + line + ": " + std::to_string(s.points.size()) +
                  (s.points.size() == 1 ? " point\n" : " points\n");
    for (const SaturationPoint& q : s.points) answer.text += point_text(in, q);
    return answer;
}

void run_saturation(const SaturationArgs& args) {
    const Request r = request(args);
    const Input in = parse_input(args.input);
    SaturationOptions o;
    o.beta = parse_number(args.beta, "--beta", "");
    if (!(o.beta >= 0.0 && o.beta <= 1.0)) throw ArgumentError("--beta", "expected a vapour fraction from 0 to 1");
    const Mixture mixture(in.fractions());
    Saturation s;
    std::string what;
    switch (r) {
        case Request::temperatures_at_p:
            s = saturation_temperatures(mixture, *in.p, o);
            what = "saturation temperatures at " + format_readable(*in.p_given) + " " + std::string(in.units.p_name());
            break;
        case Request::pressures_at_T:
            s = saturation_pressures(mixture, *in.T, o);
            what = "saturation pressures at " + format_readable(*in.T_given) + " " + std::string(in.units.T_name());
            break;
        case Request::cricondentherm:
            s = cricondentherm(mixture, o);
            what = "cricondentherm";
            break;
        case Request::cricondenbar:
            s = cricondenbar(mixture, o);
            what = "cricondenbar";
            break;
    }
    Json options{{"beta", o.beta}};
    if (r == Request::cricondentherm || r == Request::cricondenbar) options["point"] = what;
    emit("saturation", in, options, saturation_answer(in, what, o.beta, s));
}

}  // namespace

void add_saturation_command(CLI::App& app) {
    auto args = std::make_shared<SaturationArgs>();
    CLI::App* command = app.add_subcommand(
        "saturation", "Saturation points without a trace: the temperatures at a pressure, the pressures at "
                      "a temperature, or the cricondentherm or cricondenbar of a dew (--beta 1), bubble "
                      "(--beta 0) or constant-quality line");
    add_input_options(*command, args->input, true);
    command->add_flag("--cricondentherm", args->cricondentherm, "The highest temperature of the line");
    command->add_flag("--cricondenbar", args->cricondenbar, "The highest pressure of the line");
    command->add_option("--beta", args->beta, "Molar vapour fraction of the line, 0 to 1")->capture_default_str();
    command->footer(
        "Give exactly one of -p (its saturation temperatures), -T (its saturation pressures), --cricondentherm, "
        "--cricondenbar. Output: T and p in the chosen units, incipient phase in mol-%. The upper branch has two "
        "phases just below it (at lower T for a given p: the dew point; at lower p for a given T), the lower branch "
        "just above it. --beta 1 and 0 give the points of the whole phase boundary. JSON keys after command input "
        "ok message: points (T p branch incipient; branch null for the cricondentherm and cricondenbar); input "
        "also holds beta and, for those two, point. Exit status: 0 success, 1 none found or a point not "
        "converged, 2 bad argument.\n");
    command->callback([args] { run_saturation(*args); });
}

}  // namespace ngtherm::cli
