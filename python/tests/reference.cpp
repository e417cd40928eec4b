// The C++ API's results, unchanged, for the Python tests to compare with bit
// for bit. Reads requests from stdin, one per line, and answers each with one
// line of space-separated fields: integers in decimal, doubles in %a (exact).
//
//   gas percent|fraction v0 .. v20   composition in model order (percent: mol-%,
//                                    the Mixture gets v/100 and the C-order
//                                    functions v; fraction: the Mixture gets v
//                                    and the C-order functions external_percentages(v))
//   state T p root                   root 0 liquid, 1 vapour, 2 stable
//   equilibrium T p
//   properties T p selector range_set
//   flash T p range_set
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

#include "ngtherm/envelope.hpp"  // with the C-order functions: flash, export_properties
#include "ngtherm/equilibrium.hpp"
#include "ngtherm/state.hpp"

namespace {

using namespace ngtherm;

void put(double v) { std::printf(" %a", v); }
void put(int v) { std::printf(" %d", v); }

void put(const PhaseProperties& q) {
    for (const double v : {q.rho, q.Z, q.u, q.h, q.s, q.cv, q.cp, q.w, q.kappa, q.jt}) put(v);
}

template <class Array>
void put_all(const Array& values) {
    for (const auto v : values) put(v);
}

struct Gas {
    std::unique_ptr<Mixture> mixture;
    ExternalPercentages external{};
};

double read_double(std::istringstream& in) {
    std::string token;
    in >> token;
    return std::strtod(token.c_str(), nullptr);
}

Gas read_gas(std::istringstream& in) {
    std::string unit;
    in >> unit;
    Composition given{};
    for (double& v : given) v = read_double(in);
    Gas gas;
    if (unit == "percent") {
        Composition x{};
        for (int m = 0; m < kComponentCount; ++m) x[m] = given[m] / 100.0;
        gas.mixture = std::make_unique<Mixture>(x);
        // The caller's percentages themselves, moved into the C interface's order.
        for (int m = 0; m < kComponentCount; ++m) {
            Composition unit_vector{};
            unit_vector[m] = 1.0;
            const ExternalPercentages e = external_percentages(unit_vector);
            for (int k = 0; k < kComponentCount; ++k) {
                if (e[k] != 0.0) gas.external[k] = given[m];
            }
        }
    } else {
        gas.mixture = std::make_unique<Mixture>(given);
        gas.external = external_percentages(given);
    }
    return gas;
}

void answer(const std::string& line, Gas& gas) {
    std::istringstream in(line);
    std::string what;
    in >> what;
    if (what == "gas") {
        gas = read_gas(in);
        std::printf("gas %d", gas.mixture->active_count());
    } else if (what == "state") {
        const double T = read_double(in), p = read_double(in);
        int root = 0;
        in >> root;
        const PhaseState s = single_phase_state(*gas.mixture, T, p, static_cast<Root>(root));
        std::printf("state %d %d", static_cast<int>(s.status), s.side == Side::liquid_like ? 0 : 1);
        put(s.props);
    } else if (what == "equilibrium") {
        const double T = read_double(in), p = read_double(in);
        const EquilibriumState e = equilibrium_state(*gas.mixture, T, p);
        std::printf("equilibrium %d %d", static_cast<int>(e.outcome), e.phases);
        put(e.beta);
        put_all(e.x);
        put_all(e.y);
        put(e.liquid);
        put(e.vapour);
        put(e.overall);
        put(e.liquid_molar_mass);
        put(e.vapour_molar_mass);
    } else if (what == "properties") {
        const double T = read_double(in), p = read_double(in);
        int selector = 0, range_set = 0;
        in >> selector >> range_set;
        const ExportResults r = export_properties(gas.external, p, T, static_cast<std::int16_t>(selector),
                                                  static_cast<std::int16_t>(range_set));
        std::printf("properties");
        put_all(r.value);
        for (const std::int16_t s : r.status) put(static_cast<int>(s));
    } else if (what == "flash") {
        const double T = read_double(in), p = read_double(in);
        int range_set = 0;
        in >> range_set;
        const FlashResult f = flash(gas.external, p, T, static_cast<std::int16_t>(range_set));
        std::printf("flash %d", static_cast<int>(f.status));
        put(f.beta);
        put(f.liquid_fraction);
        put(f.liquid_content);
        put_all(f.liquid);
        put_all(f.vapour);
    } else {
        std::printf("unknown");
    }
    std::printf("\n");
}

}  // namespace

int main() {
    Gas gas;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty()) answer(line, gas);
    }
    return 0;
}
