#include "common.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "ngtherm/state.hpp"

namespace ngtherm::cli {
namespace {

// Room for any double written by std::to_chars, shortest or with a precision.
constexpr std::size_t kNumberBufferSize = 64;

constexpr double kPercentSum = 100.0;  // mol-%

constexpr double kCelsiusZero = 273.15;     // K
constexpr double kFahrenheitZero = 459.67;  // degree Rankine at 0 F
constexpr double kKelvinPerRankine = 5.0 / 9.0;
constexpr double kMpaPerBar = 0.1;
constexpr double kMpaPerKpa = 1e-3;
constexpr double kMpaPerPsi = 0.006894757293168361;  // 1 lbf/in2 = 6894.757293168361 Pa

// The state the limits check uses when a subcommand takes none, as the
// envelope does: inside every limit of every range set.
constexpr double kStandInTemperature = 300.0;  // K
constexpr double kStandInPressure = 1.0;       // MPa

std::string single_quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

std::string_view trim(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

// The number that `text` spells in full, or empty. A leading '+' is allowed;
// nan and inf come back as such, for the caller to reject with its own words.
std::optional<double> read_number(std::string_view text) {
    text = trim(text);
    if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end) return std::nullopt;
    return value;
}

// One "key=percent" entry of a composition.
struct GasEntry {
    int component = 0;
    double percent = 0;
};

// "CH4 N2 CO2 ... Ar": every component id, model order.
std::string all_ids() {
    std::string ids;
    for (int i = 0; i < kComponentCount; ++i) {
        if (i > 0) ids += ' ';
        ids += component_id(i);
    }
    return ids;
}

GasEntry parse_gas_entry(std::string_view entry, std::string_view argument) {
    const auto equals = entry.find('=');
    if (equals == std::string_view::npos) {
        throw ArgumentError(argument, "expected COMPONENT=PERCENT, got " + single_quoted(entry));
    }
    const std::string_view key = trim(entry.substr(0, equals));
    const std::string_view value = trim(entry.substr(equals + 1));
    const std::optional<int> component = find_component(key);
    if (!component) {
        throw ArgumentError(argument, "unknown component " + single_quoted(key) + "; the ids are " + all_ids() +
                                          " (or their English names)");
    }
    const std::optional<double> percent = read_number(value);
    if (!percent || !std::isfinite(*percent) || *percent < 0 || *percent > kPercentSum) {
        const std::string id(component_id(*component));
        throw ArgumentError(argument, "mole percent of " + id + " must be a number from 0 to 100, got " +
                                          single_quoted(value));
    }
    return {*component, *percent};
}

// Splits `text` at commas into trimmed entries; an empty entry is an error.
std::vector<std::string_view> split_entries(std::string_view text, std::string_view argument) {
    std::vector<std::string_view> entries;
    std::size_t start = 0;
    while (true) {
        const auto comma = text.find(',', start);
        const std::string_view entry =
            trim(text.substr(start, comma == std::string_view::npos ? comma : comma - start));
        if (entry.empty()) {
            throw ArgumentError(argument, "empty entry in " + single_quoted(text) +
                                              "; expected e.g. CH4=90,C2H6=5,N2=3,CO2=2");
        }
        entries.push_back(entry);
        if (comma == std::string_view::npos) return entries;
        start = comma + 1;
    }
}

std::string one_line(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    return line;
}

void print_error(std::string_view message) {
    std::cerr << "ngtherm: " << one_line(message) << '\n';
}

// CLI11 reports a mistyped subcommand as a missing one; this names the word instead.
std::optional<std::string> unknown_subcommand(const CLI::App& app, int argc,
                                              const char* const* argv) {
    if (argc < 2) return std::nullopt;
    const std::string_view first = argv[1];
    if (first.empty() || first.front() == '-') return std::nullopt;
    const auto named = [first](const CLI::App* sub) { return sub->get_name() == first; };
    if (!app.get_subcommands(named).empty()) return std::nullopt;
    return std::string(first);
}

}  // namespace

ArgumentError::ArgumentError(std::string_view argument, std::string_view problem)
    : std::runtime_error(std::string(argument) + ": " + std::string(problem)) {}


namespace {

constexpr std::array<std::string_view, 3> kTemperatureUnitNames{"K", "C", "F"};
constexpr std::array<std::string_view, 4> kPressureUnitNames{"MPa", "bar", "kPa", "psia"};

// kExternalPosition[m]: where model component m stands in the C functions' order.
const std::array<int, kComponentCount> kExternalPosition = [] {
    ExternalPercentages position{};
    for (int e = 0; e < kComponentCount; ++e) position[e] = e;
    const auto in_model = in_model_order(position);
    std::array<int, kComponentCount> out{};
    for (int m = 0; m < kComponentCount; ++m) out[m] = static_cast<int>(in_model[m]);
    return out;
}();

template <std::size_t N>
std::size_t unit_index(const std::array<std::string_view, N>& names, const std::string& text,
                       std::string_view argument) {
    for (std::size_t k = 0; k < N; ++k) {
        if (names[k] == text) return k;
    }
    std::string list;
    for (std::size_t k = 0; k < N; ++k) {
        if (k > 0) list += k + 1 == N ? " or " : ", ";
        list += names[k];
    }
    throw ArgumentError(argument, "expected " + list + ", got " + single_quoted(text));
}

Units parse_units(const std::string& T_unit, const std::string& p_unit) {
    Units units;
    units.T = static_cast<TemperatureUnit>(unit_index(kTemperatureUnitNames, T_unit, "--T-unit"));
    units.p = static_cast<PressureUnit>(unit_index(kPressureUnitNames, p_unit, "--p-unit"));
    return units;
}

std::int16_t parse_range(const std::string& text) {
    if (text == "0" || text == "1" || text == "2") return static_cast<std::int16_t>(text[0] - '0');
    throw ArgumentError("--range", "expected 0, 1 or 2, got " + single_quoted(text));
}

// The state against the C functions' input check. A violated limit is a bad
// argument, named by the option it concerns; the lowest pressure of the
// equation of state lies inside the general limits, so a state below it is one
// that cannot be computed.
void check_limits(const Input& in) {
    const std::int16_t code = ngtherm::check_limits(in.external(), in.p.value_or(kStandInPressure),
                                                    in.T.value_or(kStandInTemperature), in.range);
    if (code > 0) {
        const std::string limits = "outside the limits of range set " + std::to_string(in.range) + ": " +
                                   std::string(status_meaning(code)) + " (status " + std::to_string(code) + ")";
        if (code == 55 || code == 181) {
            throw ArgumentError("-T", format_shortest(*in.T_given) + " " + std::string(in.units.T_name()) +
                                          " is " + limits);
        }
        if (code == 56 || code == 182) {
            throw ArgumentError("-p", format_shortest(*in.p_given) + " " + std::string(in.units.p_name()) +
                                          " is " + limits);
        }
        throw ArgumentError("--gas", "the composition is " + limits);
    }
    if (in.p && *in.p < kLowestPressure) {
        throw CalculationError("pressure " + format_shortest(*in.p) +
                               " MPa is below 1e-9 MPa, the lowest the equation of state is evaluated at "
                               "(status 191)");
    }
}

// {"gas": {...}, "T": .., "p": .., "T_unit": .., "p_unit": .., "range": .., options...}
Json input_json(const Input& in, const Json& options) {
    Json json;
    json["gas"] = composition_json(in, in.percent);
    json["T"] = in.T_given ? Json(*in.T_given) : Json(nullptr);
    json["p"] = in.p_given ? Json(*in.p_given) : Json(nullptr);
    json["T_unit"] = std::string(in.units.T_name());
    json["p_unit"] = std::string(in.units.p_name());
    json["range"] = in.range;
    for (const auto& [key, value] : options.items()) json[key] = value;
    return json;
}

}  // namespace

Composition parse_gas(std::string_view text, std::string_view argument) {
    if (trim(text).empty()) {
        throw ArgumentError(argument, "empty composition; expected e.g. CH4=90,C2H6=5,N2=3,CO2=2");
    }
    std::array<bool, kComponentCount> seen{};
    Composition percent{};
    double sum = 0;
    for (const std::string_view entry : split_entries(text, argument)) {
        const GasEntry e = parse_gas_entry(entry, argument);
        const auto i = static_cast<std::size_t>(e.component);
        if (seen[i]) {
            throw ArgumentError(argument, "component " + std::string(component_id(e.component)) +
                                              " is given more than once");
        }
        seen[i] = true;
        percent[i] = e.percent;
        sum += e.percent;
    }
    if (!(std::fabs(sum - kPercentSum) < kPercentSumTolerance)) {
        throw ArgumentError(argument, "mole percentages sum to " + format_shortest(sum) + ", not 100");
    }
    return percent;
}

double parse_number(std::string_view text, std::string_view argument, std::string_view unit) {
    const std::optional<double> value = read_number(text);
    if (!value || !std::isfinite(*value)) {
        throw ArgumentError(argument, "expected a finite number" +
                                          (unit.empty() ? std::string() : " in " + std::string(unit)) +
                                          ", got " + single_quoted(text));
    }
    return *value;
}

std::string format_shortest(double value) {
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    std::array<char, kNumberBufferSize> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return std::string(buffer.data(), result.ptr);
}

std::string format_readable(double value, int digits) {
    if (!std::isfinite(value)) return format_shortest(value);
    std::array<char, kNumberBufferSize> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                      std::chars_format::general, digits);
    return std::string(buffer.data(), result.ptr);
}

double Units::to_kelvin(double value) const {
    switch (T) {
        case TemperatureUnit::C: return value + kCelsiusZero;
        case TemperatureUnit::F: return (value + kFahrenheitZero) * kKelvinPerRankine;
        case TemperatureUnit::K: break;
    }
    return value;
}

double Units::from_kelvin(double kelvin) const {
    switch (T) {
        case TemperatureUnit::C: return kelvin - kCelsiusZero;
        case TemperatureUnit::F: return kelvin / kKelvinPerRankine - kFahrenheitZero;
        case TemperatureUnit::K: break;
    }
    return kelvin;
}

double Units::to_mpa(double value) const {
    switch (p) {
        case PressureUnit::bar: return value * kMpaPerBar;
        case PressureUnit::kPa: return value * kMpaPerKpa;
        case PressureUnit::psia: return value * kMpaPerPsi;
        case PressureUnit::MPa: break;
    }
    return value;
}

double Units::from_mpa(double mpa) const {
    switch (p) {
        case PressureUnit::bar: return mpa / kMpaPerBar;
        case PressureUnit::kPa: return mpa / kMpaPerKpa;
        case PressureUnit::psia: return mpa / kMpaPerPsi;
        case PressureUnit::MPa: break;
    }
    return mpa;
}

std::string_view Units::T_name() const { return kTemperatureUnitNames[static_cast<std::size_t>(T)]; }
std::string_view Units::p_name() const { return kPressureUnitNames[static_cast<std::size_t>(p)]; }

Composition Input::fractions() const {
    Composition x{};
    for (int i = 0; i < kComponentCount; ++i) x[i] = percent[i] / kPercent;
    return x;
}

ExternalPercentages Input::external() const {
    ExternalPercentages out{};
    for (int m = 0; m < kComponentCount; ++m) out[kExternalPosition[m]] = percent[m];
    return out;
}

void add_input_options(CLI::App& command, InputArgs& args, bool state_optional) {
    command
        .add_option("-g,--gas", args.gas,
                    "Composition in mole percent, e.g. CH4=90,C2H6=5,N2=3,CO2=2. Keys are component ids "
                    "or English names, case-insensitive: " + all_ids() +
                    ". Values from 0 to 100 that sum to 100 within 0.0001.")
        ->type_name("ID=PERCENT,...")
        ->required();
    const std::string given = state_optional ? " (optional)" : "";
    CLI::Option* T = command.add_option("-T,--temperature", args.T, "Temperature in --T-unit" + given)
                         ->type_name("T")
                         ->allow_extra_args(false);
    CLI::Option* p = command.add_option("-p,--pressure", args.p, "Pressure in --p-unit" + given)
                         ->type_name("P")
                         ->allow_extra_args(false);
    if (!state_optional) {
        T->required();
        p->required();
    }
    command.add_option("--T-unit", args.T_unit, "Unit of every temperature in and out: K, C or F")
        ->capture_default_str();
    command.add_option("--p-unit", args.p_unit, "Unit of every pressure in and out: MPa, bar, kPa or psia")
        ->capture_default_str();
    command
        .add_option("--range", args.range,
                    "Limits of the state: 0 the general limits (60 K < T <= 2000 K, 0 < p <= 1000 MPa), "
                    "1 or 2 also those of that range set of the C functions")
        ->capture_default_str();
    command.add_flag("--json", args.json,
                     "Print one JSON object on one line: the inputs, then the results, every number "
                     "reading back to the same double (null where not computed)");
}

Input parse_input(const InputArgs& args) {
    Input in;
    in.json = args.json;
    in.units = parse_units(args.T_unit, args.p_unit);
    in.range = parse_range(args.range);
    in.percent = parse_gas(args.gas, "--gas");
    if (!args.T.empty()) {
        in.T_given = parse_number(args.T, "-T", in.units.T_name());
        in.T = in.units.to_kelvin(*in.T_given);
    }
    if (!args.p.empty()) {
        in.p_given = parse_number(args.p, "-p", in.units.p_name());
        in.p = in.units.to_mpa(*in.p_given);
    }
    check_limits(in);
    return in;
}

Composition to_percent(const Composition& fractions) {
    Composition out{};
    for (int i = 0; i < kComponentCount; ++i) out[i] = fractions[i] * kPercent;
    return out;
}

Json composition_json(const Input& input, const Composition& percent) {
    Json json = Json::object();
    for (int i = 0; i < kComponentCount; ++i) {
        if (input.present(i)) json[std::string(component_id(i))] = percent[i];
    }
    return json;
}

Json value_json(double value, bool ok) { return ok && std::isfinite(value) ? Json(value) : Json(nullptr); }

std::string aligned(const std::vector<TextLine>& lines) {
    std::size_t label_width = 0;
    std::size_t value_width = 0;
    for (const TextLine& line : lines) {
        label_width = std::max(label_width, line.label.size());
        value_width = std::max(value_width, line.value.size());
    }
    std::string text;
    for (const TextLine& line : lines) {
        std::string row = line.label + std::string(label_width - line.label.size() + 2, ' ') + line.value;
        if (!line.unit.empty()) row += std::string(value_width - line.value.size() + 1, ' ') + line.unit;
        text += row + "\n";
    }
    return text;
}

std::string padded(std::string text, std::size_t width) {
    text.resize(std::max(width, text.size() + 1), ' ');
    return text;
}

void emit(std::string_view command, const Input& input, const Json& options, const Answer& answer) {
    if (input.json) {
        Json json;
        json["command"] = std::string(command);
        json["input"] = input_json(input, options);
        json["ok"] = answer.failure.empty();
        json["message"] = answer.failure;
        for (const auto& [key, value] : answer.json.items()) json[key] = value;
        write_stdout(json.dump() + "\n");
    } else {
        write_stdout(answer.text);
    }
    if (!answer.failure.empty()) throw CalculationError(std::string(command) + ": " + answer.failure);
}

void write_stdout(std::string_view text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
    if (std::fflush(stdout) != 0 || !written || std::ferror(stdout)) {
        throw CalculationError(std::string("cannot write the output: ") +
                               (errno != 0 ? std::strerror(errno) : "write error"));
    }
}

int run_command_line(CLI::App& app, int argc, const char* const* argv) {
    if (const auto word = unknown_subcommand(app, argc, argv)) {
        print_error("unknown subcommand " + single_quoted(*word) + "; run 'ngtherm --help' for the list");
        return kExitUsage;
    }
    try {
        app.parse(argc, argv);
        return kExitOk;
    } catch (const CLI::ParseError& e) {
        // Help and version requests are parse "errors" with exit code 0.
        if (e.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) return app.exit(e);
        print_error(e.what());
        return kExitUsage;
    } catch (const ArgumentError& e) {
        print_error(e.what());
        return kExitUsage;
    } catch (const InputError& e) {
        print_error(e.what());
        return kExitUsage;
    } catch (const CalculationError& e) {
        print_error(e.what());
        return kExitFailed;
    } catch (const std::exception& e) {
        print_error(std::string("internal error: ") + e.what());
        return kExitFailed;
    }
}

}  // namespace ngtherm::cli
