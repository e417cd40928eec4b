// What every subcommand of the ngtherm command shares: the gas, state and unit
// options, the limits check, the JSON head and the writing of the answer.
//
// A subcommand parses its Input with parse_input, computes, and hands an
// Answer to emit. Exit status: a bad argument, including a state outside the
// limits of the range set, throws ArgumentError (one line on stderr, nothing
// on stdout, kExitUsage); a calculation inside the limits that does not
// succeed, or output that cannot be written, ends with kExitFailed.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "ngtherm/components.hpp"
#include "ngtherm/exports.hpp"

namespace ngtherm::cli {

using Json = nlohmann::ordered_json;

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the calculation did not succeed, or the output could not be written
inline constexpr int kExitUsage = 2;   // a bad command-line argument or a state outside the limits

// Largest deviation of the sum of the mole percentages from 100 (exclusive),
// as in the C functions' input check.
inline constexpr double kPercentSumTolerance = 1e-4;
// Lowest pressure the equation of state is evaluated at (the C functions'
// status 191 below it), MPa.
inline constexpr double kLowestPressure = 1e-9;

// A command-line argument that cannot be used; what() is "<argument>: <problem>".
class ArgumentError : public std::runtime_error {
public:
    ArgumentError(std::string_view argument, std::string_view problem);
};

// A calculation that ran but did not succeed, or output that could not be
// written; what() is its message.
class CalculationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses "CH4=90,C2H6=5,N2=3,CO2=2": mole percent keyed by component id or
// English name (case-insensitive), each finite, >= 0 and <= 100, each component
// at most once, summing to 100 within kPercentSumTolerance. Returns the
// percentages as given, in model order. Throws ArgumentError naming `argument`.
Composition parse_gas(std::string_view text, std::string_view argument = "--gas");

// A finite number written in full ("300", "2.5e1", "+7", "-40"); anything else
// (empty, trailing text, nan, inf) throws ArgumentError.
double parse_number(std::string_view text, std::string_view argument, std::string_view unit);

// The shortest text that reads back to exactly `value` ("nan", "inf", "-inf"
// for the non-finite values).
std::string format_shortest(double value);

// `value` with at most `digits` significant digits, for reading by people.
std::string format_readable(double value, int digits = 10);

enum class TemperatureUnit {
    K,  // kelvin
    C,  // degree Celsius
    F,  // degree Fahrenheit
};

enum class PressureUnit {
    MPa,   // megapascal
    bar,   // bar
    kPa,   // kilopascal
    psia,  // pound-force per square inch, absolute
};

// The units of temperatures and pressures on the command line and in the
// output; every other quantity has a fixed unit.
struct Units {
    TemperatureUnit T = TemperatureUnit::K;
    PressureUnit p = PressureUnit::MPa;

    double to_kelvin(double value) const;
    double from_kelvin(double kelvin) const;
    double to_mpa(double value) const;
    double from_mpa(double mpa) const;
    std::string_view T_name() const;  // "K", "C", "F"
    std::string_view p_name() const;  // "MPa", "bar", "kPa", "psia"
};

// The options every subcommand takes, as typed.
struct InputArgs {
    std::string gas, T, p;
    std::string T_unit = "K", p_unit = "MPa", range = "0";
    bool json = false;
};

// The checked options: the gas, the state (absent only where a subcommand
// makes it optional) and the units.
struct Input {
    Composition percent{};  // mol-% as given, model order
    std::optional<double> T, p;              // K, MPa
    std::optional<double> T_given, p_given;  // as given, in the chosen units
    Units units;
    std::int16_t range = 0;  // range set of the limits check
    bool json = false;

    Composition fractions() const;           // percent / 100, model order
    ExternalPercentages external() const;    // percent as given, in the C functions' order
    bool present(int component) const { return percent[component] > 0.0; }
};

// Adds --gas, -T and -p (required unless `state_optional`), --T-unit,
// --p-unit, --range and --json.
void add_input_options(CLI::App& command, InputArgs& args, bool state_optional = false);

// Parses the options (gas, T, p, units, range set) and checks the state
// against the general limits and those of the range set, the way the C
// functions do; a state without T or p is checked at 300 K and 1 MPa, as the
// envelope does. Throws ArgumentError naming the argument whose limit is
// violated, CalculationError below kLowestPressure.
Input parse_input(const InputArgs& args);

// {"CH4": 90, ...}: the components present in the input, mol-%, from
// model-order mole percentages (null where not finite).
Json composition_json(const Input& input, const Composition& percent);

inline constexpr double kPercent = 100.0;  // mol-% per mole fraction

// Mole percentages from mole fractions, position by position.
Composition to_percent(const Composition& fractions);

// The value, or null where a failed calculation left it meaningless.
Json value_json(double value, bool ok);

// One line of a text table for people.
struct TextLine {
    std::string label;
    std::string value;
    std::string unit;
};

// The lines with labels, values and units each in their own column, at least
// one space apart.
std::string aligned(const std::vector<TextLine>& lines);

// `text` widened with spaces to `width`, and by at least one space.
std::string padded(std::string text, std::size_t width);

// What a subcommand found: its JSON members (after "command", "input", "ok"
// and "message"), its text for people, and why the calculation failed (empty
// when it succeeded).
struct Answer {
    Json json = Json::object();
    std::string text;
    std::string failure;
};

// Writes the answer to stdout: the JSON object on one line with --json, else
// the text. `options` are the subcommand's own options for the echo. Throws
// CalculationError when the answer is a failure or stdout cannot be written.
void emit(std::string_view command, const Input& input, const Json& options, const Answer& answer);

// Writes `text` to stdout and flushes; throws CalculationError when that fails
// (full disk, closed pipe).
void write_stdout(std::string_view text);

// Parses the command line, runs the chosen subcommand and applies the exit
// statuses; returns the exit status.
int run_command_line(CLI::App& app, int argc, const char* const* argv);

}  // namespace ngtherm::cli
