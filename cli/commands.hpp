// The subcommands of the ngtherm command. Each one registers itself on the
// application with add_input_options and its own options; its callback reads
// the Input with parse_input, computes, and hands an Answer to emit (see
// common.hpp), which applies the one JSON style and exit convention. main
// only lists them.
#pragma once

#include <CLI/CLI.hpp>

namespace ngtherm::cli {

// `ngtherm state`: the single-phase state at given T, p and composition.
void add_state_command(CLI::App& app);

// `ngtherm equilibrium`: the phases, beta, phase compositions, Z and density at given T, p.
void add_equilibrium_command(CLI::App& app);

// `ngtherm props`: the eleven properties of the C function gerg2008, with status codes.
void add_props_command(CLI::App& app);

// `ngtherm flash`: the phase split with the liquid content and both compositions.
void add_flash_command(CLI::App& app);

// `ngtherm envelope`: the phase envelope with its labelled and characteristic points.
void add_envelope_command(CLI::App& app);

// `ngtherm saturation`: saturation temperatures or pressures, cricondentherm, cricondenbar.
void add_saturation_command(CLI::App& app);

}  // namespace ngtherm::cli
