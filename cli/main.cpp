// The ngtherm command: one subcommand per kind of calculation.
#include <csignal>

#include <CLI/CLI.hpp>

#include "commands.hpp"
#include "common.hpp"

int main(int argc, char** argv) {
#ifdef SIGPIPE
    // A closed pipe is a write error with a message, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    CLI::App app{
        "ngtherm: thermodynamic properties of natural gases with the GERG-2008 equation of "
        "state.\nUnits: temperature in K and pressure in MPa unless --T-unit and --p-unit say "
        "otherwise, compositions in mole percent.",
        "ngtherm"};
    app.set_version_flag("--version", "ngtherm " NGTHERM_VERSION, "Print the version and exit");
    app.require_subcommand(1);
    app.footer(
        "Run 'ngtherm SUBCOMMAND --help' for the options and output units of a subcommand.\n");

    ngtherm::cli::add_state_command(app);
    ngtherm::cli::add_equilibrium_command(app);
    ngtherm::cli::add_props_command(app);
    ngtherm::cli::add_flash_command(app);
    ngtherm::cli::add_envelope_command(app);
    ngtherm::cli::add_saturation_command(app);

    return ngtherm::cli::run_command_line(app, argc, argv);
}
