// One pass of one call over the grid of property_grid.hpp, for counting its
// instructions under Valgrind (tools/count_instructions.sh). Unlike a time, an
// instruction count does not move with the load of the machine, so the ratios
// of the property calls to the single-phase state can be followed while other
// work runs. Only `counted_pass` is counted: it runs after a first pass has
// built everything a composition needs once, with p moved so no cache answers.
//
// Usage: ngtherm_instruction_counts single_phase|gerg2008|gerg2008_z 11|21
// Prints the number of states of the counted pass.
#include <cstdio>
#include <cstring>

#include "property_grid.hpp"

namespace {

volatile double sink;

template <class Call>
[[gnu::noinline]] void counted_pass(Call call) {
    ngtherm::bench::over_grid(ngtherm::bench::kGridNudge, [&](double T, double p) { sink = call(T, p); });
}

template <class Call>
void warm_and_count(Call call) {
    ngtherm::bench::over_grid(0.0, [&](double T, double p) { sink = call(T, p); });
    counted_pass(call);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[2], "11") != 0 && std::strcmp(argv[2], "21") != 0)) {
        std::fprintf(stderr, "usage: %s single_phase|gerg2008|gerg2008_z 11|21\n", argv[0]);
        return 2;
    }
    const bool lean = std::strcmp(argv[2], "11") == 0;
    ngtherm::bench::GridCalls calls(lean ? ngtherm::test::lean_gas_11() : ngtherm::test::published_mixture());
    const char* call = argv[1];
    if (std::strcmp(call, "single_phase") == 0) {
        warm_and_count([&](double T, double p) { return calls.single_phase(T, p); });
    } else if (std::strcmp(call, "gerg2008") == 0) {
        warm_and_count([&](double T, double p) { return calls.gerg2008(T, p); });
    } else if (std::strcmp(call, "gerg2008_z") == 0) {
        warm_and_count([&](double T, double p) { return calls.gerg2008_z(T, p); });
    } else {
        std::fprintf(stderr, "unknown call %s\n", call);
        return 2;
    }
    std::printf("%d\n", ngtherm::bench::kGridStates);
    return 0;
}
