// Helpers shared by the subcommands of the ngtherm command: argument parsing and
// validation, number formatting, and the error convention.
//
// Error convention: a bad argument throws ArgumentError and the command prints
// one line "ngtherm: <argument>: <problem>" to stderr and exits with
// kExitUsage; a calculation that runs but does not succeed throws
// CalculationError and exits with kExitFailed.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <CLI/CLI.hpp>

#include "ngtherm/components.hpp"

namespace ngtherm::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the calculation did not succeed
inline constexpr int kExitUsage = 2;   // a bad command-line argument

// Largest deviation of the sum of the mole percentages from 100.
inline constexpr double kPercentSumTolerance = 1e-4;

// A command-line argument that cannot be used; what() is "<argument>: <problem>".
class ArgumentError : public std::runtime_error {
public:
    ArgumentError(std::string_view argument, std::string_view problem);
};

// A calculation that ran but did not succeed; what() is its message.
class CalculationError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses "CH4=90,C2H6=5,N2=3,CO2=2": mole percent keyed by component id or
// English name (case-insensitive), each finite and >= 0, each component at most
// once, summing to 100 within kPercentSumTolerance. Returns mole fractions
// (percent / 100) in model order. Throws ArgumentError naming `argument`.
Composition parse_gas(std::string_view text, std::string_view argument = "--gas");

// A positive finite number written in full ("300", "2.5e1", "+7"); anything else
// (empty, trailing text, nan, inf, zero, negative) throws ArgumentError.
double parse_positive(std::string_view text, std::string_view argument, std::string_view unit);

// The shortest text that reads back to exactly `value` ("nan", "inf", "-inf"
// for the non-finite values).
std::string format_shortest(double value);

// `value` with at most `digits` significant digits, for reading by people.
std::string format_readable(double value, int digits = 10);

// A flat JSON object written in insertion order; numbers in shortest
// round-trip form, non-finite numbers as null.
class JsonObject {
public:
    void add(std::string_view key, double value);
    void add(std::string_view key, int value);
    void add(std::string_view key, std::string_view value);
    std::string str() const;  // one line, no trailing newline

private:
    void add_raw(std::string_view key, std::string_view json_value);
    std::string body_;
};

// The options of every calculation at one temperature, pressure and composition.
struct StatePointArgs {
    std::string gas;
    std::string T;
    std::string p;
};

struct StatePoint {
    Composition x{};  // mole fractions, model order
    double T = 0;     // K
    double p = 0;     // MPa
};

// Adds the required options --gas, -T/--temperature and -p/--pressure.
void add_state_point_options(CLI::App& command, StatePointArgs& args);

// Validates and converts the state-point options (gas, then T, then p).
StatePoint parse_state_point(const StatePointArgs& args);

// Parses the command line, runs the chosen subcommand and applies the error
// convention; returns the exit status.
int run_command_line(CLI::App& app, int argc, const char* const* argv);

}  // namespace ngtherm::cli
