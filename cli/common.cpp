#include "common.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <system_error>

#include "ngtherm/state.hpp"

namespace ngtherm::cli {
namespace {

// Room for any double written by std::to_chars, shortest or with a precision.
constexpr std::size_t kNumberBufferSize = 64;

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

GasEntry parse_gas_entry(std::string_view entry, std::string_view argument) {
    const auto equals = entry.find('=');
    if (equals == std::string_view::npos) {
        throw ArgumentError(argument, "expected COMPONENT=PERCENT, got " + single_quoted(entry));
    }
    const std::string_view key = trim(entry.substr(0, equals));
    const std::string_view value = trim(entry.substr(equals + 1));
    const std::optional<int> component = find_component(key);
    if (!component) throw ArgumentError(argument, "unknown component " + single_quoted(key));
    const std::optional<double> percent = read_number(value);
    if (!percent || !std::isfinite(*percent) || *percent < 0) {
        const std::string id(component_id(*component));
        throw ArgumentError(argument, "mole percent of " + id +
                                          " must be a finite number >= 0, got " +
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

Composition parse_gas(std::string_view text, std::string_view argument) {
    if (trim(text).empty()) {
        throw ArgumentError(argument, "empty composition; expected e.g. CH4=90,C2H6=5,N2=3,CO2=2");
    }
    std::array<bool, kComponentCount> seen{};
    Composition x{};
    double sum = 0;
    for (const std::string_view entry : split_entries(text, argument)) {
        const GasEntry e = parse_gas_entry(entry, argument);
        const auto i = static_cast<std::size_t>(e.component);
        if (seen[i]) {
            throw ArgumentError(argument, "component " + std::string(component_id(e.component)) +
                                              " is given more than once");
        }
        seen[i] = true;
        x[i] = e.percent / 100.0;
        sum += e.percent;
    }
    if (!(std::fabs(sum - 100.0) <= kPercentSumTolerance)) {
        throw ArgumentError(argument,
                            "mole percentages sum to " + format_shortest(sum) + ", not 100");
    }
    return x;
}

double parse_positive(std::string_view text, std::string_view argument, std::string_view unit) {
    const std::optional<double> value = read_number(text);
    if (!value || !std::isfinite(*value) || *value <= 0) {
        throw ArgumentError(argument, "expected a positive finite number in " + std::string(unit) +
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

void JsonObject::add(std::string_view key, double value) {
    add_raw(key, std::isfinite(value) ? format_shortest(value) : "null");
}

void JsonObject::add(std::string_view key, int value) { add_raw(key, std::to_string(value)); }

void JsonObject::add(std::string_view key, std::string_view value) {
    std::string text = "\"";
    for (const char c : value) {
        if (c == '"' || c == '\\') {
            text += '\\';
            text += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            std::array<char, 8> escape{};
            std::snprintf(escape.data(), escape.size(), "\\u%04x", static_cast<unsigned>(c));
            text += escape.data();
        } else {
            text += c;
        }
    }
    add_raw(key, text + "\"");
}

void JsonObject::add_raw(std::string_view key, std::string_view json_value) {
    if (!body_.empty()) body_ += ", ";
    body_ += "\"";
    body_ += key;
    body_ += "\": ";
    body_ += json_value;
}

std::string JsonObject::str() const { return "{" + body_ + "}"; }

void add_state_point_options(CLI::App& command, StatePointArgs& args) {
    command
        .add_option("-g,--gas", args.gas,
                    "Composition in mole percent, e.g. CH4=90,C2H6=5,N2=3,CO2=2. Keys are "
                    "component ids or English names, case-insensitive: CH4 N2 CO2 C2H6 C3H8 "
                    "nC4 iC4 nC5 iC5 nC6 nC7 nC8 nC9 nC10 H2 O2 CO H2O H2S He Ar. Values must "
                    "be >= 0 and sum to 100.")
        ->type_name("ID=PERCENT,...")
        ->required();
    command.add_option("-T,--temperature", args.T, "Temperature in K")
        ->type_name("KELVIN")
        ->required();
    command.add_option("-p,--pressure", args.p, "Pressure in MPa")->type_name("MPA")->required();
}

StatePoint parse_state_point(const StatePointArgs& args) {
    StatePoint point;
    point.x = parse_gas(args.gas, "--gas");
    point.T = parse_positive(args.T, "-T", "K");
    point.p = parse_positive(args.p, "-p", "MPa");
    return point;
}

int run_command_line(CLI::App& app, int argc, const char* const* argv) {
    if (const auto word = unknown_subcommand(app, argc, argv)) {
        print_error("unknown subcommand " + single_quoted(*word) +
                    "; run 'ngtherm --help' for the list");
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
