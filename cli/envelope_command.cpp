// `ngtherm envelope`: the phase envelope of a gas (the line of constant vapour
// fraction from the minimum pressure over the critical region back to it),
// with its labelled points and the cricondentherm, cricondenbar, critical
// point and saturation values at the caller's state; for a gas that holds
// water, also its water dew line.
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands.hpp"
#include "common.hpp"
#include "ngtherm/envelope.hpp"

namespace ngtherm::cli {
namespace {

// Which characteristic values (kCharacteristicNames) are temperatures; the others are pressures.
constexpr std::array<bool, kCharacteristicValueCount> kIsTemperature{true, true, false, false,
                                                                      true, false, true, false};

struct EnvelopeArgs {
    InputArgs input;
    std::string beta = "1", step = "0.1";
    std::string p_min, p_max, T_min;  // in the chosen units; empty for the library's defaults
    std::string csv;
};

// The names of a point's two phases: x has the amount 1 - beta, y the amount
// beta. On the dew and bubble lines one of them is the feed, the other the
// incipient phase, whichever side of the critical point.
struct PhaseNames {
    std::string x, y;
};

PhaseNames phase_names(double beta) {
    if (beta == 1.0) return {"incipient", "feed"};
    if (beta == 0.0) return {"feed", "incipient"};
    return {"phase_1_minus_beta", "phase_beta"};
}

std::string line_name(double beta) {
    if (beta == 1.0) return "dew line";
    if (beta == 0.0) return "bubble line";
    return "line of vapour fraction " + format_readable(beta);
}

// A trace parameter in the chosen unit, or the library's default.
double option_value(const std::string& text, std::string_view argument, std::string_view unit, double fallback,
                    double (Units::*to_base)(double) const, const Units& units) {
    if (text.empty()) return fallback;
    return (units.*to_base)(parse_number(text, argument, unit));
}

EnvelopeOptions trace_options(const EnvelopeArgs& args, const Input& in) {
    EnvelopeOptions o;
    o.beta = parse_number(args.beta, "--beta", "");
    o.initial_step = parse_number(args.step, "--step", "");
    o.p_min = option_value(args.p_min, "--pmin", in.units.p_name(), o.p_min, &Units::to_mpa, in.units);
    o.p_max = option_value(args.p_max, "--pmax", in.units.p_name(), o.p_max, &Units::to_mpa, in.units);
    o.T_min = option_value(args.T_min, "--tmin", in.units.T_name(), o.T_min, &Units::to_kelvin, in.units);
    o.T = in.T;
    o.p = in.p;
    o.range_set = in.range;
    return o;
}

std::string code_words(std::int16_t code) {
    return "status " + std::to_string(code) + ": " + std::string(status_meaning(code));
}

// A request the library rejected: the argument a code concerns, or a failed trace.
[[noreturn]] void fail(std::int16_t code) {
    const std::string words = code_words(code);
    switch (code) {
        case 196: throw ArgumentError("--pmin", words);
        case 198: throw ArgumentError("--pmax", words);
        case 199: throw ArgumentError("--tmin", words);
        case 200: throw ArgumentError("--step", words);
        case 201: throw ArgumentError("--beta", words);
        case 202: throw ArgumentError("--gas", words);
        default: throw CalculationError("envelope: " + words);
    }
}

// The points without repeats: where the caller's T or p is a grid value the
// line crosses it twice at the same point; the labelled crossing stays.
std::vector<EnvelopePoint> distinct_points(const std::vector<EnvelopePoint>& points) {
    std::vector<EnvelopePoint> out;
    for (const EnvelopePoint& point : points) {
        if (!out.empty() && out.back().T == point.T && out.back().p == point.p) {
            if (out.back().type == EnvelopePointType::tabulated) out.back() = point;
            continue;
        }
        out.push_back(point);
    }
    return out;
}

std::string outcome_name(EnvelopeOutcome o) {
    switch (o) {
        case EnvelopeOutcome::left_window: return "complete";
        case EnvelopeOutcome::folded: return "folded";
        case EnvelopeOutcome::step_too_small: return "step_too_small";
        case EnvelopeOutcome::point_limit: return "point_limit";
        case EnvelopeOutcome::failed: break;
    }
    return "failed";
}

// Why a trace is incomplete; empty for a complete one.
std::string incomplete_words(EnvelopeOutcome o) {
    switch (o) {
        case EnvelopeOutcome::step_too_small: return "the trace did not complete: its steps kept failing";
        case EnvelopeOutcome::point_limit: return "the trace did not complete: the 200-point limit was reached";
        case EnvelopeOutcome::left_window:
        case EnvelopeOutcome::folded:
        case EnvelopeOutcome::failed: break;
    }
    return "";
}

std::string trimmed(std::string_view label) {
    const auto first = label.find_first_not_of(' ');
    if (first == std::string_view::npos) return "";
    return std::string(label.substr(first, label.find_last_not_of(' ') - first + 1));
}

// A characteristic value in the chosen unit, or empty when not determined.
std::optional<double> characteristic(const Envelope& env, const Input& in, int k) {
    if (env.status[k] > 0 || env.value[k] == 0.0) return std::nullopt;
    return kIsTemperature[k] ? in.units.from_kelvin(env.value[k]) : in.units.from_mpa(env.value[k]);
}

// `text` widened with spaces on the left to `width`.
std::string right_aligned(std::string text, std::size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

Json envelope_json(const Input& in, const Envelope& env, const std::vector<EnvelopePoint>& points,
                   const PhaseNames& names) {
    Json json;
    json["outcome"] = outcome_name(env.outcome);
    json["count"] = points.size();
    Json& list = json["points"] = Json::array();
    for (const EnvelopePoint& point : points) {
        list.push_back({{"T", in.units.from_kelvin(point.T)}, {"p", in.units.from_mpa(point.p)},
                        {"type", static_cast<int>(point.type)}, {"label", trimmed(point_label(point.type))},
                        {names.x, composition_json(in, to_percent(point.x))},
                        {names.y, composition_json(in, to_percent(point.y))}});
    }
    Json& values = json["characteristic"] = Json::object();
    for (int k = 0; k < kCharacteristicValueCount; ++k) {
        const std::optional<double> value = characteristic(env, in, k);
        values[std::string(kCharacteristicNames[k])] = {{"value", value ? Json(*value) : Json(nullptr)},
                                                        {"status", env.status[k]}};
    }
    Json& water = json["water_dew"] = Json::array();
    for (const WaterDewLinePoint& point : env.water_dew) {
        water.push_back({{"T", in.units.from_kelvin(point.T)}, {"p", in.units.from_mpa(point.p)},
                         {"incipient", composition_json(in, to_percent(point.incipient))}});
    }
    return json;
}

// The water dew line for people: its points by pressure, empty for a dry gas.
std::string water_dew_text(const Input& in, const Envelope& env) {
    if (env.water_dew.empty()) return "";
    const std::size_t count = env.water_dew.size();
    std::string text = "\nwater dew line (where an aqueous phase appears on cooling): " + std::to_string(count) +
                       (count == 1 ? " point\n" : " points\n") +
                       right_aligned("T/" + std::string(in.units.T_name()), 18) +
                       right_aligned("p/" + std::string(in.units.p_name()), 14) + "\n";
    for (const WaterDewLinePoint& point : env.water_dew) {
        text += right_aligned(format_readable(in.units.from_kelvin(point.T), 8), 18) +
                right_aligned(format_readable(in.units.from_mpa(point.p), 8), 14) + "\n";
    }
    return text;
}

std::string points_text(const Input& in, const std::vector<EnvelopePoint>& points) {
    std::string text = "   #" + right_aligned("T/" + std::string(in.units.T_name()), 14) +
                       right_aligned("p/" + std::string(in.units.p_name()), 14) + "  type\n";
    for (std::size_t k = 0; k < points.size(); ++k) {
        const EnvelopePoint& point = points[k];
        text += right_aligned(std::to_string(k + 1), 4) + right_aligned(format_readable(in.units.from_kelvin(point.T), 8), 14) +
                right_aligned(format_readable(in.units.from_mpa(point.p), 8), 14) + "  " +
                std::string(point_label(point.type)) + "\n";
    }
    return text;
}

// The point of a type for the summary: the highest temperature maximum, the
// highest pressure maximum, the last critical point.
std::optional<EnvelopePoint> last_of(const std::vector<EnvelopePoint>& points, EnvelopePointType type) {
    std::optional<EnvelopePoint> found;
    for (const EnvelopePoint& point : points) {
        if (point.type != type) continue;
        if (found && type == EnvelopePointType::max_temperature && point.T < found->T) continue;
        if (found && type == EnvelopePointType::max_pressure && point.p < found->p) continue;
        found = point;
    }
    return found;
}

std::string summary_text(const Input& in, const Envelope& env, const std::vector<EnvelopePoint>& points) {
    const std::string T_unit(in.units.T_name()), p_unit(in.units.p_name());
    const auto T = [&](double kelvin) { return format_readable(in.units.from_kelvin(kelvin)) + " " + T_unit; };
    const auto p = [&](double mpa) { return format_readable(in.units.from_mpa(mpa)) + " " + p_unit; };
    const auto max_T = last_of(points, EnvelopePointType::max_temperature);
    const auto max_p = last_of(points, EnvelopePointType::max_pressure);
    const auto critical = last_of(points, EnvelopePointType::critical);
    const std::string none = "not on the traced line";
    std::string text = "cricondentherm   " + (max_T ? T(max_T->T) + " at " + p(max_T->p) : none) + "\n";
    text += "cricondenbar     " + (max_p ? p(max_p->p) + " at " + T(max_p->T) : none) + "\n";
    text += "critical point   " + (critical ? T(critical->T) + ", " + p(critical->p) : none) + "\n";
    // Saturation values at the caller's state: the highest and the lowest crossing.
    const auto pair = [&](int first, const std::string& what, const std::string& at, const auto& unit) {
        const auto high = characteristic(env, in, first), low = characteristic(env, in, first + 1);
        std::string line = what + " at " + at + ": ";
        if (!high) return line + "none on the traced line\n";
        if (!low || *high == *low) return line + format_readable(*high) + " " + unit + "\n";
        return line + format_readable(*high) + " " + unit + " (highest), " + format_readable(*low) + " " + unit +
               " (lowest)\n";
    };
    if (in.p) text += pair(0, "saturation temperature", p(*in.p), T_unit);
    if (in.T) text += pair(2, "saturation pressure", T(*in.T), p_unit);
    return text;
}

void write_csv(const std::string& path, const Input& in, const std::vector<EnvelopePoint>& points,
               const PhaseNames& names) {
    std::ofstream out(path);
    if (!out) throw ArgumentError("--csv", "cannot open '" + path + "' for writing: " + std::strerror(errno));
    out << "T_" << in.units.T_name() << ",p_" << in.units.p_name() << ",type,label";
    for (const std::string* name : {&names.x, &names.y}) {
        for (int m = 0; m < kComponentCount; ++m) {
            if (in.present(m)) out << ',' << *name << '_' << component_id(m);
        }
    }
    out << '\n';
    for (const EnvelopePoint& point : points) {
        out << format_shortest(in.units.from_kelvin(point.T)) << ',' << format_shortest(in.units.from_mpa(point.p))
            << ',' << static_cast<int>(point.type) << ',' << trimmed(point_label(point.type));
        for (const Composition* c : {&point.x, &point.y}) {
            for (int m = 0; m < kComponentCount; ++m) {
                if (in.present(m)) out << ',' << format_shortest((*c)[m] * kPercent);
            }
        }
        out << '\n';
    }
    out.flush();
    if (!out) throw CalculationError("envelope: cannot write '" + path + "': " + std::strerror(errno));
}

Json options_json(const Input& in, const EnvelopeOptions& o, const EnvelopeArgs& args) {
    return {{"beta", o.beta},
            {"pmin", in.units.from_mpa(o.p_min)},
            {"pmax", in.units.from_mpa(o.p_max)},
            {"tmin", in.units.from_kelvin(o.T_min)},
            {"step", o.initial_step},
            {"csv", args.csv.empty() ? Json(nullptr) : Json(args.csv)}};
}

// A failed trace of a gas with a water dew line: the line, and the failure.
Answer failed_trace_answer(const Input& in, const Envelope& env, double beta) {
    Answer answer;
    answer.json = envelope_json(in, env, {}, phase_names(beta));
    answer.failure = code_words(env.code);
    answer.text = line_name(beta) + ": " + answer.failure + "\n" + water_dew_text(in, env);
    return answer;
}

void run_envelope(const EnvelopeArgs& args) {
    const Input in = parse_input(args.input);
    const EnvelopeOptions o = trace_options(args, in);
    const Envelope env = phase_envelope(in.external(), o);
    // emit ends with the failure, as fail does, after writing the line.
    if (!env.ok() && !env.water_dew.empty()) {
        emit("envelope", in, options_json(in, o, args), failed_trace_answer(in, env, o.beta));
    }
    if (!env.ok()) fail(env.code);
    if (!env.points.empty() && env.points.front().T < o.T_min) {
        throw ArgumentError("--tmin", "the limits exclude the start of the line: it begins at " +
                                          format_readable(in.units.from_kelvin(env.points.front().T)) + " " +
                                          std::string(in.units.T_name()) + " on the minimum pressure, below --tmin");
    }
    const std::vector<EnvelopePoint> points = distinct_points(env.points);
    const PhaseNames names = phase_names(o.beta);
    if (!args.csv.empty()) write_csv(args.csv, in, points, names);
    Answer answer;
    answer.json = envelope_json(in, env, points, names);
    answer.failure = incomplete_words(env.outcome);
    answer.text = line_name(o.beta) + ": " + std::to_string(points.size()) +
                  (points.size() == 1 ? " point" : " points") +
                  (answer.failure.empty() ? "; complete" : "; " + answer.failure) + "\n\n" + points_text(in, points) +
                  "\n" + summary_text(in, env, points) + water_dew_text(in, env);
    emit("envelope", in, options_json(in, o, args), answer);
}

}  // namespace

void add_envelope_command(CLI::App& app) {
    auto args = std::make_shared<EnvelopeArgs>();
    CLI::App* command = app.add_subcommand(
        "envelope", "Phase envelope: the dew (--beta 1), bubble (--beta 0) or constant-quality line from the "
                    "minimum pressure over the critical region back to it");
    add_input_options(*command, args->input, true);
    command->add_option("--beta", args->beta, "Molar vapour fraction of the line, 0 to 1")->capture_default_str();
    command->add_option("--pmin", args->p_min, "Minimum pressure (0.0001 to 2.5 MPa; default 0.1 MPa): start and end")
        ->type_name("P");
    command->add_option("--pmax", args->p_max, "Maximum pressure (pmin to 1000 MPa; default 30 MPa)")->type_name("P");
    command->add_option("--tmin", args->T_min, "Minimum temperature (50 to 550 K; default 50 K)")->type_name("T");
    command->add_option("--step", args->step, "Initial step (0.01 to 1)")->capture_default_str();
    command->add_option("--csv", args->csv, "Also write the points to this CSV file")->type_name("FILE");
    command->footer(
        "-T and -p, when given, are the caller's state: the line's crossings of them are labelled and "
        "their saturation values reported. Output units: temperatures and pressures in --T-unit and "
        "--p-unit, compositions in mol-%. Labels: **CRIT** critical point, MAX. T cricondentherm, MAX. P "
        "cricondenbar, MIN. T / MIN. P minima, T TAB. / P TAB. crossings of -T / -p (blank: a grid value of "
        "75 to 550 K or 1 to 20 MPa). On the dew line the phase of amount 1 - beta is the incipient phase "
        "and the other the feed; on the bubble line the reverse; between them phase_1_minus_beta and "
        "phase_beta. JSON keys after command input ok message: outcome count points (T p type label and "
        "the two phases' compositions) characteristic (T_sat_max_at_p T_sat_min_at_p p_sat_max_at_T "
        "p_sat_min_at_T cricondentherm_T cricondenbar_p critical_T critical_p, each {value, status}) water_dew "
        "(the water dew line of a gas that holds water, by increasing pressure: T p incipient; empty for a dry "
        "gas, and given also when the trace fails). CSV "
        "columns: T_unit p_unit type label, then each phase's component columns. Exit status: 0 complete "
        "trace, 1 failed or incomplete trace or output not written, 2 bad argument or state outside the "
        "limits.\n");
    command->callback([args] { run_envelope(*args); });
}

}  // namespace ngtherm::cli
