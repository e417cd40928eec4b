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

struct SaturationArgs {
    InputArgs input;
    bool cricondentherm = false, cricondenbar = false;
    bool water = false;  // the water dew point instead of the phase boundary
    std::string beta = "1";
};

std::string_view branch_name(SaturationBranch b) {
    switch (b) {
        case SaturationBranch::upper: return "upper";
        case SaturationBranch::lower: return "lower";
        case SaturationBranch::water: return "water";
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
    if (args.water && args.input.p.empty() && args.input.T.empty()) {
        throw ArgumentError("--water", "give -p (the water dew temperature) or -T (the water dew pressure)");
    }
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

Answer saturation_answer(const Input& in, const std::string& what, double beta, bool water, const Saturation& s) {
    Answer answer;
    Json points = Json::array();
    for (const SaturationPoint& q : s.points) {
        const std::string_view branch = branch_name(q.branch);
        points.push_back({{"T", in.units.from_kelvin(q.T)},
                          {"p", in.units.from_mpa(q.p)},
                          {"branch", branch.empty() ? Json(nullptr) : Json(branch)},
                          {"incipient", composition_json(in, to_percent(q.incipient))}});
    }
    answer.json["points"] = s.ok() ? points : Json(nullptr);
    if (!s.ok()) {
        answer.failure = what + ": " + std::string(status_words(s.status));
        return answer;
    }
    // The dew and bubble lines are the two halves of one phase boundary.
    const std::string line = water                      ? "the water dew line (an aqueous phase appears)"
                             : beta == 1.0 || beta == 0.0 ? "the phase boundary (dew and bubble line)"
                                                          : "the line of vapour fraction " + format_readable(beta);
    answer.text = what + " on " + line + ": " + std::to_string(s.points.size()) +
                  (s.points.size() == 1 ? " point\n" : " points\n");
    for (const SaturationPoint& q : s.points) answer.text += point_text(in, q);
    return answer;
}

// The points of the phase boundary (or a line of constant vapour fraction) asked for.
Saturation boundary_points(Request r, const Mixture& mixture, const Input& in, const SaturationOptions& o,
                           std::string& what) {
    switch (r) {
        case Request::temperatures_at_p:
            what = "saturation temperatures at " + format_readable(*in.p_given) + " " + std::string(in.units.p_name());
            return saturation_temperatures(mixture, *in.p, o);
        case Request::pressures_at_T:
            what = "saturation pressures at " + format_readable(*in.T_given) + " " + std::string(in.units.T_name());
            return saturation_pressures(mixture, *in.T, o);
        case Request::cricondentherm:
            what = "cricondentherm";
            return cricondentherm(mixture, o);
        case Request::cricondenbar:
            what = "cricondenbar";
            return cricondenbar(mixture, o);
    }
    return {};
}

// The water dew point at the given p or T.
Saturation water_dew_point(Request r, const Mixture& mixture, const Input& in, std::string& what) {
    if (r == Request::temperatures_at_p) {
        what = "water dew temperature at " + format_readable(*in.p_given) + " " + std::string(in.units.p_name());
        return water_dew_temperature(mixture, *in.p);
    }
    what = "water dew pressure at " + format_readable(*in.T_given) + " " + std::string(in.units.T_name());
    return water_dew_pressure(mixture, *in.T);
}

void run_saturation(const SaturationArgs& args) {
    const Request r = request(args);
    const Input in = parse_input(args.input);
    SaturationOptions o;
    o.beta = parse_number(args.beta, "--beta", "");
    if (!(o.beta >= 0.0 && o.beta <= 1.0)) throw ArgumentError("--beta", "expected a vapour fraction from 0 to 1");
    const Mixture mixture(in.fractions());
    std::string what;
    const Saturation s = args.water ? water_dew_point(r, mixture, in, what) : boundary_points(r, mixture, in, o, what);
    Json options{{"beta", o.beta}};
    if (args.water) options["water"] = true;
    if (r == Request::cricondentherm || r == Request::cricondenbar) options["point"] = what;
    emit("saturation", in, options, saturation_answer(in, what, o.beta, args.water, s));
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
    command->add_flag("--water", args->water,
                      "The water dew point instead: with -p its temperature, with -T its pressure");
    command->add_option("--beta", args->beta, "Molar vapour fraction of the line, 0 to 1")->capture_default_str();
    command->footer(
        "Give exactly one of -p (its saturation temperatures), -T (its saturation pressures), --cricondentherm, "
        "--cricondenbar. Output: T and p in the chosen units, incipient phase in mol-%. The upper branch has two "
        "phases just below it (at lower T for a given p: the dew point; at lower p for a given T), the lower branch "
        "just above it. --water gives the water dew point (branch water): where an aqueous phase first appears on cooling "
        "at -p, or on compression at -T. --beta 1 and 0 give the points of the whole phase boundary. JSON keys after command input "
        "ok message: points (T p branch incipient; branch null for the cricondentherm and cricondenbar); input "
        "also holds beta and, for those two, point. Exit status: 0 success, 1 none found or a point not "
        "converged, 2 bad argument.\n");
    command->callback([args] { run_saturation(*args); });
}

}  // namespace ngtherm::cli
