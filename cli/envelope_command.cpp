// `ngtherm envelope`: the phase envelope of a gas (the line of constant vapour
// fraction from the minimum pressure over the critical region back to it),
// with its labelled points and the cricondentherm, cricondenbar, critical
// point and saturation values at the caller's state.
#include <charconv>
#include <cmath>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "commands.hpp"
#include "common.hpp"
#include "ngtherm/envelope.hpp"

namespace ngtherm::cli {
namespace {

struct EnvelopeArgs {
    std::string gas;
    std::string beta = "1", p_min = "0.1", p_max = "30", T_min = "50", step = "0.1";
    std::string T, p;  // optional caller's state
    std::string csv;
    bool json = false;
};

// A finite number written in full; ranges are checked by the library.
double parse_finite(const std::string& text, std::string_view argument, std::string_view unit) {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const char* begin = text.data() + (!text.empty() && text.front() == '+' ? 1 : 0);
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    if (text.empty() || ec != std::errc() || ptr != end || !std::isfinite(value)) {
        throw ArgumentError(argument, "expected a finite number" +
                                          (unit.empty() ? std::string() : " in " + std::string(unit)) +
                                          ", got '" + text + "'");
    }
    return value;
}

std::optional<double> parse_optional(const std::string& text, std::string_view argument,
                                     std::string_view unit) {
    if (text.empty()) return std::nullopt;
    return parse_positive(text, argument, unit);
}

// The argument each status code of a rejected request concerns.
[[noreturn]] void fail(std::int16_t code) {
    const std::string words = "status " + std::to_string(code) + ": " + std::string(status_meaning(code));
    switch (code) {
        case 53: case 54: case 202: throw ArgumentError("--gas", words);
        case 55: throw ArgumentError("-T", words);
        case 56: throw ArgumentError("-p", words);
        case 196: throw ArgumentError("--pmin", words);
        case 198: throw ArgumentError("--pmax", words);
        case 199: throw ArgumentError("--tmin", words);
        case 200: throw ArgumentError("--step", words);
        case 201: throw ArgumentError("--beta", words);
        default: throw CalculationError("envelope: " + words);
    }
}

std::string outcome_name(EnvelopeOutcome o) {
    switch (o) {
        case EnvelopeOutcome::left_window: return "left_window";
        case EnvelopeOutcome::step_too_small: return "step_too_small";
        case EnvelopeOutcome::failed: return "failed";
        case EnvelopeOutcome::point_limit: return "point_limit";
    }
    return "unknown";
}

std::string outcome_words(EnvelopeOutcome o) {
    switch (o) {
        case EnvelopeOutcome::left_window: return "the line left the pressure or temperature window";
        case EnvelopeOutcome::step_too_small: return "the steps kept failing; the points found so far";
        case EnvelopeOutcome::point_limit: return "the 200-point limit was reached";
        case EnvelopeOutcome::failed: break;
    }
    return "no envelope";
}

std::string trimmed(std::string_view label) {
    const auto first = label.find_first_not_of(' ');
    if (first == std::string_view::npos) return "";
    return std::string(label.substr(first, label.find_last_not_of(' ') - first + 1));
}

// {"CH4": ..}: mole fractions of the feed's components.
std::string fractions_json(const Composition& feed, const Composition& x) {
    std::string text = "{";
    for (int m = 0; m < kComponentCount; ++m) {
        if (feed[m] <= 0.0) continue;
        if (text.size() > 1) text += ", ";
        text += '"' + std::string(component_id(m)) + "\": " + format_shortest(x[m]);
    }
    return text + "}";
}

std::string envelope_json(const Envelope& env, const Composition& feed) {
    std::string text = "{\"points\": [";
    for (std::size_t k = 0; k < env.points.size(); ++k) {
        const EnvelopePoint& point = env.points[k];
        if (k > 0) text += ", ";
        text += "{\"T\": " + format_shortest(point.T) + ", \"p\": " + format_shortest(point.p) +
                ", \"type\": " + std::to_string(static_cast<int>(point.type)) +
                ", \"x\": " + fractions_json(feed, point.x) + "}";
    }
    JsonObject values, status;
    for (int k = 0; k < kCharacteristicValueCount; ++k) {
        values.add(kCharacteristicNames[k], env.value[k]);
        status.add(kCharacteristicNames[k], static_cast<int>(env.status[k]));
    }
    return text + "], \"count\": " + std::to_string(env.points.size()) + ", \"values\": " + values.str() +
           ", \"status\": " + status.str() + ", \"outcome\": \"" + outcome_name(env.outcome) + "\"}";
}

std::string padded(std::string text, std::size_t width) {
    if (text.size() < width) text.insert(0, width - text.size(), ' ');
    return text;
}

std::string points_text(const Envelope& env) {
    std::string text = "   #           T/K         p/MPa  type\n";
    for (std::size_t k = 0; k < env.points.size(); ++k) {
        const EnvelopePoint& point = env.points[k];
        text += padded(std::to_string(k + 1), 4) + padded(format_readable(point.T, 8), 14) +
                padded(format_readable(point.p, 8), 14) + "  " + std::string(point_label(point.type)) + "\n";
    }
    return text;
}

// The point of a type for the summary: the highest temperature maximum, the
// highest pressure maximum, the last critical point.
std::optional<EnvelopePoint> last_of(const Envelope& env, EnvelopePointType type) {
    std::optional<EnvelopePoint> found;
    for (const EnvelopePoint& point : env.points) {
        if (point.type != type) continue;
        if (found && type == EnvelopePointType::max_temperature && point.T < found->T) continue;
        if (found && type == EnvelopePointType::max_pressure && point.p < found->p) continue;
        found = point;
    }
    return found;
}

std::string pair_text(const Envelope& env, int first, const std::string& what, const char* unit,
                      const std::optional<double>& at, const char* at_unit) {
    if (!at) return "";
    std::string text = what + " at " + format_readable(*at) + " " + at_unit + ": ";
    if (env.status[first] == 197) return text + "none on the traced line\n";
    if (env.value[first] == 0.0) return text + "more than three crossings\n";
    if (env.value[first] == env.value[first + 1]) return text + format_readable(env.value[first]) + " " + unit + "\n";
    return text + format_readable(env.value[first]) + " " + unit + " (highest), " +
           format_readable(env.value[first + 1]) + " " + unit + " (lowest)\n";
}

std::string summary_text(const Envelope& env, const std::optional<double>& T, const std::optional<double>& p) {
    const auto f = [](double v) { return format_readable(v); };
    std::string text;
    const auto max_T = last_of(env, EnvelopePointType::max_temperature);
    const auto max_p = last_of(env, EnvelopePointType::max_pressure);
    const auto critical = last_of(env, EnvelopePointType::critical);
    text += "cricondentherm   " + (max_T ? f(max_T->T) + " K at " + f(max_T->p) + " MPa" : "not on the traced line") + "\n";
    text += "cricondenbar     " + (max_p ? f(max_p->p) + " MPa at " + f(max_p->T) + " K" : "not on the traced line") + "\n";
    text += "critical point   " + (critical ? f(critical->T) + " K, " + f(critical->p) + " MPa" : "not on the traced line") + "\n";
    text += pair_text(env, 0, "saturation temperature", "K", p, "MPa");
    text += pair_text(env, 2, "saturation pressure", "MPa", T, "K");
    return text;
}

void write_csv(const std::string& path, const Envelope& env, const Composition& feed) {
    std::ofstream out(path);
    if (!out) throw ArgumentError("--csv", "cannot write '" + path + "'");
    out << "T_K,p_MPa,type,label";
    for (const char* phase : {"x_", "y_"}) {
        for (int m = 0; m < kComponentCount; ++m) {
            if (feed[m] > 0.0) out << ',' << phase << component_id(m);
        }
    }
    out << '\n';
    for (const EnvelopePoint& point : env.points) {
        out << format_shortest(point.T) << ',' << format_shortest(point.p) << ','
            << static_cast<int>(point.type) << ',' << trimmed(point_label(point.type));
        for (const Composition* c : {&point.x, &point.y}) {
            for (int m = 0; m < kComponentCount; ++m) {
                if (feed[m] > 0.0) out << ',' << format_shortest((*c)[m]);
            }
        }
        out << '\n';
    }
    if (!out) throw ArgumentError("--csv", "cannot write '" + path + "'");
}

void run_envelope(const EnvelopeArgs& args) {
    const Composition feed = parse_gas(args.gas, "--gas");
    EnvelopeOptions o;
    o.beta = parse_finite(args.beta, "--beta", "");
    o.p_min = parse_finite(args.p_min, "--pmin", "MPa");
    o.p_max = parse_finite(args.p_max, "--pmax", "MPa");
    o.T_min = parse_finite(args.T_min, "--tmin", "K");
    o.initial_step = parse_finite(args.step, "--step", "");
    o.T = parse_optional(args.T, "-T", "K");
    o.p = parse_optional(args.p, "-p", "MPa");
    const Envelope env = phase_envelope(external_percentages(feed), o);
    if (!env.ok()) fail(env.code);
    if (!args.csv.empty()) write_csv(args.csv, env, feed);
    if (args.json) {
        std::cout << envelope_json(env, feed) << '\n';
        return;
    }
    std::cout << (o.beta == 1.0 ? "dew line" : o.beta == 0.0 ? "bubble line" : "line of vapour fraction " + format_readable(o.beta))
              << ": " << env.points.size() << " points; " << outcome_words(env.outcome) << "\n\n"
              << points_text(env) << '\n' << summary_text(env, o.T, o.p);
}

}  // namespace

void add_envelope_command(CLI::App& app) {
    auto args = std::make_shared<EnvelopeArgs>();
    CLI::App* command = app.add_subcommand(
        "envelope", "Phase envelope: the dew (--beta 1), bubble (--beta 0) or constant-quality "
                    "line from the minimum pressure over the critical region back to it");
    command
        ->add_option("-g,--gas", args->gas,
                     "Composition in mole percent, e.g. CH4=90,C2H6=5,N2=3,CO2=2 (ids or English "
                     "names, values >= 0 summing to 100)")
        ->type_name("ID=PERCENT,...")
        ->required();
    command->add_option("--beta", args->beta, "Molar vapour fraction of the line, 0 to 1")->capture_default_str();
    command->add_option("--pmin", args->p_min, "Minimum pressure in MPa (0.0001 to 2.5): start and end")
        ->capture_default_str();
    command->add_option("--pmax", args->p_max, "Maximum pressure in MPa (pmin to 1000)")->capture_default_str();
    command->add_option("--tmin", args->T_min, "Minimum temperature in K (50 to 550)")->capture_default_str();
    command->add_option("--step", args->step, "Initial step (0.01 to 1)")->capture_default_str();
    command->add_option("-T,--temperature", args->T,
                        "Temperature in K whose saturation pressures are reported")->type_name("KELVIN");
    command->add_option("-p,--pressure", args->p,
                        "Pressure in MPa whose saturation temperatures are reported")->type_name("MPA");
    command->add_option("--csv", args->csv, "Also write the points to this CSV file")->type_name("FILE");
    command->add_flag("--json", args->json,
                      "Print one JSON object with every number in shortest round-trip form");
    command->footer(
        "Output units: T in K, p in MPa, compositions as mole fractions. Labels: **CRIT** critical "
        "point, MAX. T cricondentherm, MAX. P cricondenbar, MIN. T / MIN. P minima, T TAB. / P TAB. "
        "crossings of -T / -p (blank: a grid value of 75 to 550 K or 1 to 20 MPa). JSON keys: points "
        "(T p type x) count values status outcome; values and status keyed by T_sat_max_at_p "
        "T_sat_min_at_p p_sat_max_at_T p_sat_min_at_T cricondentherm_T cricondenbar_p critical_T "
        "critical_p (a value not determined is 0; status 197 where no crossing was found). CSV "
        "columns: T_K p_MPa type label, then x_ID and y_ID of each component. Exit status: 0 "
        "success, 1 calculation failed, 2 bad argument.\n");
    command->callback([args] { run_envelope(*args); });
}

}  // namespace ngtherm::cli
