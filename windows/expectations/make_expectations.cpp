// Writes the expectations table of the Windows DLL test host: a set of calls
// of every export (valid one- and two-phase states, invalid inputs), each with
// the values of all arguments before the call and what the native shared
// library left in them after it. The host (windows/host/host.c) repeats the
// calls on ngtherm.dll and compares.
//
//   make_expectations <output file>
//
// Format, one case per block:
//   case <export> <label>
//   <argument 1 before the call> => <argument 1 after the call>
//   ...
//   end
// Numbers are the shortest decimal forms that read back to the same double;
// "N*v" stands for N copies of v.
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <string>
#include <vector>

#include "api/export_list.h"
#include "ngtherm.h"

namespace {

using Gas = std::array<double, 21>;

// Components at the boundary, in the exports' order.
enum Component {
    kMethane, kNitrogen, kCarbonDioxide, kEthane, kPropane, kNButane, kIsobutane, kNPentane,
    kIsopentane, kNHexane, kNHeptane, kNOctane, kNNonane, kNDecane, kHelium, kArgon, kHydrogen,
    kOxygen, kCarbonMonoxide, kWater, kHydrogenSulphide
};

// What the caller leaves in output arguments, so that "not written" shows.
constexpr double kUnwrittenDouble = -12345.678;
constexpr std::int16_t kUnwrittenStatus = 4321;
constexpr std::int32_t kUnwrittenCount = 4321;
// The reference pressure of the compressibility ratio, at which K is exactly 1.
constexpr double kReferencePressure = 0.101324997842311859130859375;
constexpr int kEnvelopeSize = 200 * 24;

struct Argument {
    char kind;  // x, d: double; s: int16; i: int32 (as in the host's layouts)
    std::vector<double> before;
    std::vector<double> after;
};

struct Case {
    std::string export_name;
    std::string label;
    std::vector<Argument> args;
};

Gas gas(std::initializer_list<std::pair<Component, double>> parts) {
    Gas g{};
    for (const auto& [component, percent] : parts) g[component] = percent;
    return g;
}

Argument doubles(const Gas& values) { return {'x', {values.begin(), values.end()}, {}}; }
Argument scalar(double v) { return {'x', {v}, {}}; }
Argument int16(std::int16_t v) { return {'s', {double(v)}, {}}; }
Argument unwritten(char kind, int count) {
    const double fill = kind == 's' ? kUnwrittenStatus : kind == 'i' ? kUnwrittenCount : kUnwrittenDouble;
    return {kind, std::vector<double>(count, fill), {}};
}

struct State {
    std::string label;
    Gas composition;
    double p;
    double T;
    std::int16_t phase_selector;
    std::int16_t range_set;
};

Case property_case(const std::string& name, const State& s) {
    const int results = name == "gerg2008" ? 11 : 1;
    return {name, s.label,
            {doubles(s.composition), scalar(s.p), scalar(s.T), int16(s.phase_selector), int16(s.range_set),
             unwritten('d', results), unwritten('x', 21), unwritten('s', results)}};
}

Case flash_case(const State& s) {
    return {"flash_tp", s.label,
            {doubles(s.composition), scalar(s.p), scalar(s.T), int16(s.range_set), unwritten('d', 3),
             unwritten('d', 21), unwritten('d', 21), unwritten('x', 21), unwritten('s', 1)}};
}

struct Trace {
    double p_min;
    double p_max;
    double T_min;
    double initial_step;
    double vapour_fraction;
};

Case phase_case(const State& s, const Trace& t) {
    return {"phase", s.label,
            {doubles(s.composition), scalar(s.p), scalar(s.T), scalar(t.p_min), scalar(t.p_max), scalar(t.T_min),
             scalar(t.initial_step), scalar(t.vapour_fraction), int16(s.range_set), unwritten('d', kEnvelopeSize),
             unwritten('i', 1), unwritten('d', 8), unwritten('x', 21), unwritten('s', 8)}};
}

// A natural gas inside range set 1.
Gas natural_gas() {
    return gas({{kMethane, 91.0}, {kNitrogen, 2.0}, {kCarbonDioxide, 1.0}, {kEthane, 4.5}, {kPropane, 1.0},
                {kNButane, 0.2}, {kIsobutane, 0.2}, {kNPentane, 0.05}, {kIsopentane, 0.05}});
}

// Fourteen components, among them the minor ones, inside range set 2.
Gas rich_gas() {
    return gas({{kMethane, 85.0}, {kNitrogen, 5.0}, {kCarbonDioxide, 2.0}, {kEthane, 5.0}, {kPropane, 1.5},
                {kNButane, 0.05}, {kIsobutane, 0.04}, {kHelium, 0.1}, {kArgon, 0.05}, {kHydrogen, 1.0},
                {kOxygen, 0.02}, {kCarbonMonoxide, 0.2}, {kWater, 0.01}, {kHydrogenSulphide, 0.03}});
}

// Splits into two phases of similar amounts at a few MPa and 250 K.
Gas condensing_gas() { return gas({{kMethane, 70.0}, {kPropane, 20.0}, {kNButane, 10.0}}); }

Gas methane() { return gas({{kMethane, 100.0}}); }

Gas with(Gas g, Component c, double percent, Component balance = kMethane) {
    g[balance] -= percent - g[c];
    g[c] = percent;
    return g;
}

// States on which every property export is called.
std::vector<State> property_states() {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    Gas short_sum = natural_gas();
    short_sum[kMethane] -= 1.0;
    return {
        {"gas_5MPa_280K_range_set_0", natural_gas(), 5.0, 280.0, 0, 0},
        {"gas_5MPa_280K_range_set_1", natural_gas(), 5.0, 280.0, 0, 1},
        {"gas_12MPa_320K_range_set_7_read_as_2", natural_gas(), 12.0, 320.0, 0, 7},
        {"gas_25MPa_260K_phase_1", natural_gas(), 25.0, 260.0, 1, 1},
        {"rich_gas_reference_state", rich_gas(), kReferencePressure, 273.15, 0, 2},
        {"rich_gas_60MPa_400K", rich_gas(), 60.0, 400.0, 0, 2},
        {"rich_gas_1MPa_600K", rich_gas(), 1.0, 600.0, 0, 0},
        {"methane_10MPa_200K", methane(), 10.0, 200.0, 0, 0},
        {"methane_liquid_5MPa_150K", methane(), 5.0, 150.0, 0, 0},
        {"two_phase_overall", condensing_gas(), 3.0, 250.0, 0, 0},
        {"two_phase_liquid", condensing_gas(), 3.0, 250.0, 1, 0},
        {"two_phase_vapour", condensing_gas(), 3.0, 250.0, 2, 0},
        {"phase_selector_3", natural_gas(), 5.0, 280.0, 3, 0},
        {"phase_selector_minus_1", natural_gas(), 5.0, 280.0, -1, 1},
        {"negative_fraction", with(natural_gas(), kEthane, -0.5), 5.0, 280.0, 0, 0},
        {"sum_below_100", short_sum, 5.0, 280.0, 0, 0},
        {"temperature_50K", natural_gas(), 5.0, 50.0, 0, 0},
        {"temperature_nan", natural_gas(), 5.0, nan, 0, 0},
        {"pressure_0", natural_gas(), 0.0, 280.0, 0, 0},
        {"pressure_inf", natural_gas(), inf, 280.0, 0, 0},
        {"range_set_minus_1", natural_gas(), 5.0, 280.0, 0, -1},
        {"methane_40_range_set_1", with(natural_gas(), kNitrogen, 53.0), 5.0, 280.0, 0, 1},
        {"helium_0_5_range_set_2", with(natural_gas(), kHelium, 0.5), 5.0, 280.0, 0, 2},
        {"temperature_500K_range_set_1", natural_gas(), 5.0, 500.0, 0, 1},
        {"pressure_40MPa_range_set_1", natural_gas(), 40.0, 280.0, 0, 1},
    };
}

std::vector<Case> flash_cases() {
    return {
        flash_case({"gas_5MPa_280K", natural_gas(), 5.0, 280.0, 0, 0}),
        flash_case({"rich_gas_8MPa_300K_range_set_2", rich_gas(), 8.0, 300.0, 0, 2}),
        flash_case({"two_phase_3MPa_250K", condensing_gas(), 3.0, 250.0, 0, 0}),
        flash_case({"two_phase_1MPa_230K", condensing_gas(), 1.0, 230.0, 0, 0}),
        flash_case({"methane_5MPa_150K", methane(), 5.0, 150.0, 0, 0}),
        flash_case({"range_set_7_read_as_2", natural_gas(), 5.0, 280.0, 0, 7}),
        flash_case({"negative_fraction", with(natural_gas(), kEthane, -0.5), 5.0, 280.0, 0, 0}),
        flash_case({"pressure_0", natural_gas(), 0.0, 280.0, 0, 0}),
        flash_case({"range_set_minus_1", natural_gas(), 5.0, 280.0, 0, -1}),
    };
}

std::vector<Case> phase_cases() {
    const State gas_state{"", natural_gas(), 5.0, 250.0, 0, 0};
    const State condensing{"", condensing_gas(), 3.0, 250.0, 0, 0};
    const Trace dew{0.1, 30.0, 100.0, 0.1, 1.0};
    auto named = [](State s, const char* label) {
        s.label = label;
        return s;
    };
    return {
        phase_case(named(gas_state, "gas_dew_line"), dew),
        phase_case(named(condensing, "condensing_gas_bubble_line"), {0.1, 30.0, 100.0, 0.1, 0.0}),
        phase_case(named(condensing, "condensing_gas_half_vapour"), {0.1, 30.0, 100.0, 0.1, 0.5}),
        phase_case(named(gas_state, "minimum_pressure_0"), {0.0, 30.0, 100.0, 0.1, 1.0}),
        phase_case(named(gas_state, "maximum_below_minimum"), {1.0, 0.5, 100.0, 0.1, 1.0}),
        phase_case(named(gas_state, "minimum_temperature_20K"), {0.1, 30.0, 20.0, 0.1, 1.0}),
        phase_case(named(gas_state, "initial_step_2"), {0.1, 30.0, 100.0, 2.0, 1.0}),
        phase_case(named(gas_state, "vapour_fraction_1_5"), {0.1, 30.0, 100.0, 0.1, 1.5}),
        phase_case({"pure_methane", methane(), 2.0, 150.0, 0, 0}, dew),
        phase_case({"negative_fraction", with(natural_gas(), kEthane, -0.5), 5.0, 250.0, 0, 0}, dew),
    };
}

#define PROPERTY_EXPORT_NAME(name, bytes, shape) #name,
constexpr const char* kPropertyExports[] = {NGTHERM_PROPERTY_EXPORTS(PROPERTY_EXPORT_NAME)};
#undef PROPERTY_EXPORT_NAME

std::vector<Case> all_cases() {
    std::vector<Case> cases;
    for (const char* name : kPropertyExports)
        for (const State& s : property_states()) cases.push_back(property_case(name, s));
    for (Case& c : flash_cases()) cases.push_back(std::move(c));
    for (Case& c : phase_cases()) cases.push_back(std::move(c));
    return cases;
}

// The argument storage that an export receives, loaded from `before`.
struct Buffer {
    std::vector<double> d;
    std::vector<std::int16_t> s;
    std::vector<std::int32_t> i;

    explicit Buffer(const Argument& a) {
        for (double v : a.before) {
            if (a.kind == 's') s.push_back(static_cast<std::int16_t>(v));
            else if (a.kind == 'i') i.push_back(static_cast<std::int32_t>(v));
            else d.push_back(v);
        }
    }
    std::vector<double> values(char kind) const {
        if (kind == 's') return {s.begin(), s.end()};
        if (kind == 'i') return {i.begin(), i.end()};
        return d;
    }
};

using PropertyFn = void(NGTHERM_CALL*)(const double*, const double*, const double*, const std::int16_t*,
                                       std::int16_t*, double*, double*, std::int16_t*);

struct NamedProperty {
    const char* name;
    PropertyFn fn;
};

#define PROPERTY_FUNCTION(name, bytes, shape) {#name, name},
constexpr NamedProperty kPropertyFunctions[] = {NGTHERM_PROPERTY_EXPORTS(PROPERTY_FUNCTION)};
#undef PROPERTY_FUNCTION

PropertyFn property_function(const std::string& name) {
    for (const NamedProperty& f : kPropertyFunctions)
        if (name == f.name) return f.fn;
    return nullptr;
}

// Calls the native export of a case and records every argument afterwards.
void run(Case& c) {
    std::vector<Buffer> b;
    for (const Argument& a : c.args) b.emplace_back(a);
    auto d = [&](int k) { return b[k].d.data(); };
    auto s = [&](int k) { return b[k].s.data(); };
    if (c.export_name == "flash_tp") {
        flash_tp(d(0), d(1), d(2), s(3), d(4), d(5), d(6), d(7), s(8));
    } else if (c.export_name == "phase") {
        phase(d(0), d(1), d(2), d(3), d(4), d(5), d(6), d(7), s(8), d(9), b[10].i.data(), d(11), d(12), s(13));
    } else {
        property_function(c.export_name)(d(0), d(1), d(2), s(3), s(4), d(5), d(6), s(7));
    }
    for (std::size_t k = 0; k < c.args.size(); ++k) c.args[k].after = b[k].values(c.args[k].kind);
}

std::string number(double v) {
    char text[64];
    const auto result = std::to_chars(text, text + sizeof text, v);
    return {text, result.ptr};
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Values with runs of three or more equal ones written as N*v.
std::string values_text(const std::vector<double>& values) {
    constexpr std::size_t kMinimumRun = 3;
    std::string text;
    for (std::size_t k = 0; k < values.size();) {
        std::size_t run = 1;
        while (k + run < values.size() && same_bits(values[k + run], values[k])) ++run;
        if (!text.empty()) text += ' ';
        if (run >= kMinimumRun) {
            text += std::to_string(run) + '*' + number(values[k]);
        } else {
            run = 1;
            text += number(values[k]);
        }
        k += run;
    }
    return text;
}

void write(std::ostream& out, const Case& c) {
    out << "case " << c.export_name << ' ' << c.label << '\n';
    for (const Argument& a : c.args) out << "  " << values_text(a.before) << " => " << values_text(a.after) << '\n';
    out << "end\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_expectations <output file>\n";
        return 2;
    }
    std::ofstream out(argv[1]);
    out << "# Calls of the ngtherm exports and the arguments after each call, from the native library.\n";
    std::vector<Case> cases = all_cases();
    for (Case& c : cases) {
        run(c);
        write(out, c);
    }
    out.close();
    if (!out) {
        std::cerr << "make_expectations: cannot write " << argv[1] << '\n';
        return 1;
    }
    std::cout << "make_expectations: " << cases.size() << " cases written to " << argv[1] << '\n';
    return 0;
}
