// libFuzzer target over the 14 C exports of ngtherm.h. The input bytes choose the export and its
// arguments; after each call the fuzzer aborts with a message when a promise of the C interface
// is broken: the echo is a bit-for-bit copy and the inputs are left alone; every status is a
// documented code, and the codes of the general input limits (53 to 56, 180) are the ones the
// arguments call for; a result under success is finite, a failed calculation holds its code's
// sentinel; nothing is written outside the documented array sizes and, after a failed input
// check, the results keep what the caller put there (phase: zeros); a null argument makes the
// call return without writing; the same call gives the same bits twice, and after a call at a
// nearby state; no call takes longer than a fixed bound.
//
// Input layout (bytes that run out read as zero): function, flags (bit 0: call twice; bit 1: skip the
// nearby-state check, which triples the cost of an input; bits 1 to 3 all set: pass the argument
// that bits 4 to 7 choose as null), phase selector (int16), range
// set (int16), composition block, edit count and edits, T, p, and for `phase`: p_min, p_max,
// T_min, initial step, vapour fraction. tools/make_fuzz_corpus.py writes inputs in this layout.
#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <tuple>
#include <vector>

#include "api/export_list.h"
#include "api/workspace.hpp"
#include "ngtherm.h"

namespace {

constexpr int kComponents = 21, kFlashResults = 3, kCharacteristics = 8;
constexpr int kSlots = 11;  // gerg2008 results and statuses
constexpr int kEnvelopeRows = 200, kEnvelopeCells = kEnvelopeRows * 24;
constexpr int kGuardCells = 8;  // on either side of every output array
constexpr int kFlash = 12, kPhase = 13, kFunctionCount = 14;
constexpr int kSlotK = 1, kRatioFunction = 2;

// Wall-clock bound per equilibrium evaluation under the sanitizers and coverage, and the evaluations
// an export makes. A second-order split run to its cap (178 model evaluations with derivative
// matrices) took up to 200 ms here (regressions/slow-flash-21-components: a wet gas at 165 K, which
// now fails at once, as the model has no liquid water there). A failed evaluation is cached
// like any other, so the property slots after the first do not repeat it. An envelope whose crossings
// need the continuation fallback to converge takes up to 0.9 s (0.13 s in Release; regressions/
// slow-phase-crossing-refinement). A call over its bound (room for busy cores) is timed again and
// fails when slow twice.
constexpr double kEvaluationBoundMs = 400.0;
constexpr int kGerg2008Evaluations = 2;  // Z at the reference state (once per gas) and at the state
constexpr int kRatioEvaluations = 2;     // gerg2008_k: Z at the state and at the reference
constexpr int kFlashEvaluations = 2;     // flash_tp: the split and the feed's normal density
constexpr double kPhaseBoundMs = 3000.0;

constexpr std::int16_t kInputCodes[] = {53,  54,  55,  56,  101, 102, 103, 104, 105, 110, 111,
                                        115, 117, 119, 120, 170, 171, 172, 173, 180, 181, 182};
// Sentinels of the calculation codes 190 to 207 (197 has none).
constexpr double kSentinels[] = {-99991, -99992, -99997, -99998, -99999, -99990, -99910, 0, -99920,
                                 -99930, -99940, -99950, -91111, -94444, -95555, -96666, -97777, -98888};

constexpr bool is_success(int code) { return code == -1 || code == 0; }
constexpr bool is_input_code(int code) { return std::ranges::count(kInputCodes, code) != 0; }
constexpr bool is_calculation_code(int code) { return code >= 190 && code <= 207; }
constexpr double sentinel_of(int code) {
    return is_calculation_code(code) ? kSentinels[code - 190] : 0.0;
}
// Codes that only the envelope reports, and the one no export can report
// (no export takes a basis flag).
constexpr bool is_envelope_code(int code) { return (code >= 196 && code <= 201) || code == 207; }
constexpr int kBasisFlagCode = 195, kSelectorCode = 194;

using PropertyFn = void (*)(const double*, const double*, const double*, const std::int16_t*,
                            std::int16_t*, double*, double*, std::int16_t*);
// gerg2008 and the single properties in the order of its slots, then flash_tp and phase.
#define NGTHERM_FUZZ_FUNCTION(name, bytes, shape) name,
#define NGTHERM_FUZZ_NAME(name, bytes, shape) #name,
constexpr PropertyFn kPropertyFunctions[] = {NGTHERM_PROPERTY_EXPORTS(NGTHERM_FUZZ_FUNCTION)};
constexpr const char* kFunctionNames[] = {NGTHERM_PROPERTY_EXPORTS(NGTHERM_FUZZ_NAME) "flash_tp", "phase"};

using Percentages = std::array<double, kComponents>;

// Realistic gases the composition block can start from (mol-%, header order).
Percentages gas(std::initializer_list<std::pair<int, double>> parts) {
    Percentages c{};
    for (const auto& [i, v] : parts) c[i] = v;
    return c;
}
const Percentages kGases[] = {
    gas({{0, 90}, {3, 5}, {1, 3}, {2, 2}}),
    gas({{0, 90}, {1, 2}, {2, 1}, {3, 4}, {4, 1.5}, {5, 0.4}, {6, 0.4}, {7, 0.2}, {8, 0.2}, {9, 0.2},
         {16, 0.1}}),
    gas({{0, 86}, {3, 6}, {4, 3}, {5, 1.2}, {6, 0.8}, {7, 0.5}, {1, 2.5}}), gas({{0, 90}, {4, 10}}),
    gas({{0, 100}}),
    gas({{0, 77.824}, {1, 2.0}, {2, 6.0}, {3, 8.0}, {4, 3.0}, {5, 0.3}, {6, 0.15}, {7, 0.165},
         {8, 0.05}, {9, 0.215}, {10, 0.088}, {11, 0.024}, {12, 0.015}, {13, 0.009}, {14, 0.7},
         {15, 0.1}, {16, 0.4}, {17, 0.5}, {18, 0.2}, {19, 0.01}, {20, 0.25}})};

// Special values a number can take: non-finite, signed zero, denormals,
// extremes, and the limits of the input check and the range sets.
constexpr double kInf = std::numeric_limits<double>::infinity();
using Limits = std::numeric_limits<double>;
const double kSpecials[] = {
    Limits::quiet_NaN(), -Limits::quiet_NaN(), kInf, -kInf, 0.0, -0.0, Limits::denorm_min(),
    -Limits::denorm_min(), Limits::min(), std::nextafter(Limits::min(), 0.0), Limits::max(), -Limits::max(),
    1.0, -1.0, 100.0, 60.0, 2000.0, 1000.0, 250.0, 450.0, 700.0, 30.0, 70.0,
    0.0001, 2.5, 50.0, 550.0, 0.01, 0.2, 0.1, 0.05, 0.02, 2.1768, 5000.0, 1e-9, 2500.0};

double step_ulps(double v, int steps) {
    for (int k = 0; k < std::abs(steps); ++k) v = std::nextafter(v, steps < 0 ? -kInf : kInf);
    return v;
}

struct Reader {
    const std::uint8_t* data;
    std::size_t size, pos = 0;

    template <class T>
    T read() {
        std::array<std::uint8_t, sizeof(T)> bytes{};
        for (std::uint8_t& b : bytes) b = pos < size ? data[pos++] : 0;
        return std::bit_cast<T>(bytes);
    }
    std::uint8_t byte() { return read<std::uint8_t>(); }
    // A tag byte chooses float, special value, raw double, or raw double moved by ulps.
    double value() {
        const int tag = byte() % 4;
        if (tag == 0) return read<float>();
        const double v = tag == 1 ? kSpecials[byte() % std::size(kSpecials)] : read<double>();
        return tag == 2 ? v : step_ulps(v, read<std::int8_t>());
    }
};

struct Input {
    int function = 0;  // index into kFunctionNames
    bool repeat = false;
    bool nearby_check = true;
    int null_argument = -1;  // index of the argument passed as null, or -1
    std::int16_t selector = 0, range = 0;
    Percentages c{};
    double T = 0.0, p = 0.0, p_min = 0.0, p_max = 0.0, T_min = 0.0, step = 0.0, beta = 0.0;
};

Input read_input(const std::uint8_t* data, std::size_t size) {
    Reader in{data, size};
    Input input;
    input.function = in.byte() % kFunctionCount;
    const std::uint8_t flags = in.byte();
    input.repeat = (flags & 1) != 0;
    input.nearby_check = (flags & 2) == 0;
    const int arguments = input.function == kPhase ? 14 : input.function == kFlash ? 9 : 8;
    if ((flags & 0x0E) == 0x0E) input.null_argument = (flags >> 4) % arguments;
    input.selector = in.read<std::int16_t>();
    input.range = in.read<std::int16_t>();
    Percentages& c = input.c;
    const int mode = in.byte() % 3;
    if (mode == 0) {
        c = kGases[in.byte() % std::size(kGases)];
    } else if (mode == 1) {  // weights scaled to 100 mol-%
        std::array<std::uint16_t, kComponents> w{};
        double total = 0.0;
        for (std::uint16_t& v : w) total += v = in.read<std::uint16_t>();
        for (int i = 0; i < kComponents; ++i) c[i] = total > 0.0 ? 100.0 * w[i] / total : 0.0;
    } else {
        for (double& v : c) v = in.value();
    }
    // Edits: replace a percentage, or move it by a number of ulps.
    for (int e = in.byte() % 8; e > 0; --e) {
        double& v = c[in.byte() % kComponents];
        v = in.byte() % 2 == 0 ? in.value() : step_ulps(v, in.read<std::int8_t>());
    }
    input.T = in.value();
    input.p = in.value();
    if (input.function == kPhase) {
        for (double* v : {&input.p_min, &input.p_max, &input.T_min, &input.step, &input.beta}) {
            *v = in.value();
        }
    }
    return input;
}

void describe(const Input& in) {
    std::fprintf(stderr, "call %s, selector %d, range set %d, T %.17g K, p %.17g MPa\n",
                 kFunctionNames[in.function], in.selector, in.range, in.T, in.p);
    if (in.function == kPhase) {
        std::fprintf(stderr, "p_min %.17g, p_max %.17g, T_min %.17g, step %.17g, vapour fraction %.17g\n",
                     in.p_min, in.p_max, in.T_min, in.step, in.beta);
    }
    if (in.null_argument >= 0) std::fprintf(stderr, "argument %d passed as null\n", in.null_argument);
    std::fprintf(stderr, "composition (mol-%%):");
    for (double v : in.c) std::fprintf(stderr, " %a", v);
    std::fprintf(stderr, "\n");
}

const Input* current = nullptr;  // for the message of a failed check

[[noreturn]] void fail(const char* what, long detail = 0) {
    std::fprintf(stderr, "\nngtherm exports fuzzer: %s (%ld)\n", what, detail);
    if (current) describe(*current);
    std::abort();
}

void check(bool ok, const char* what, long detail = 0) { if (!ok) fail(what, detail); }

template <class T>
bool same(const T& a, const T& b) { return std::memcmp(&a, &b, sizeof(T)) == 0; }

// An output array with guard cells on either side, prefilled with a pattern
// that no export writes, so that both stray writes and untouched results show.
template <class T>
struct Guarded {
    Guarded(const char* name, int n, T fill)
        : name(name), n(n), fill(fill), cells(n + 2 * kGuardCells, fill) {}
    T* data() { return cells.data() + kGuardCells; }
    const T& operator[](int i) const { return cells[kGuardCells + i]; }
    template <class P>
    bool each(P ok, int from = kGuardCells, int count = -1) const {
        return std::all_of(&cells[from], &cells[from] + (count < 0 ? n : count), ok);
    }
    bool all(T v) const { return each([v](const T& c) { return same(c, v); }); }
    bool untouched() const { return all(fill); }
    bool guards_intact() const {
        const auto is_fill = [this](const T& c) { return same(c, fill); };
        return each(is_fill, 0, kGuardCells) && each(is_fill, kGuardCells + n, kGuardCells);
    }
    bool all_finite() const { return each([](T v) { return std::isfinite(double(v)); }); }
    // Prints the cells that differ.
    bool same_bits(const Guarded& o) const {
        if (std::memcmp(cells.data(), o.cells.data(), cells.size() * sizeof(T)) == 0) return true;
        for (int i = 0; i < n; ++i) {
            if (same((*this)[i], o[i])) continue;
            std::fprintf(stderr, "%s[%d]: first call %.17g, second call %.17g\n", name, i,
                         double((*this)[i]), double(o[i]));
        }
        return false;
    }
    const char* name;
    int n;
    T fill;
    std::vector<T> cells;
};

// A signalling NaN with a payload that no calculation produces.
const double kFill = std::bit_cast<double>(std::uint64_t{0x7ff42a2a2a2a2a2a});
constexpr std::int16_t kFillStatus = 0x2a2a;
constexpr std::int32_t kFillCount = 0x2a2a2a2a;

struct Outputs {
    explicit Outputs(const Input& in)
        : result("result", in.function == 0 ? kSlots : 1, kFill),
          status("status", in.function == kPhase ? kCharacteristics : result.n, kFillStatus),
          range("range set", 1, in.range), echo("echo", kComponents, kFill),
          flash_results("flash results", kFlashResults, kFill), liquid("liquid", kComponents, kFill),
          vapour("vapour", kComponents, kFill), envelope("envelope", kEnvelopeCells, kFill),
          count("point count", 1, kFillCount), characteristic("characteristic", kCharacteristics, kFill) {}

    auto arrays() const {
        return std::tie(result, status, range, echo, flash_results, liquid, vapour, envelope, count,
                        characteristic);
    }
    template <class F>
    bool every(F f) const {
        return std::apply([&](const auto&... a) { return (f(a) && ...); }, arrays());
    }
    bool same_bits(const Outputs& o) const {  // every array compared, so that all differences show
        return std::apply([&](const auto&... a) {
            return std::apply([&](const auto&... b) { return (int{a.same_bits(b)} & ...); }, o.arrays());
        }, arrays());
    }

    Guarded<double> result;
    Guarded<std::int16_t> status, range;
    Guarded<double> echo, flash_results, liquid, vapour, envelope;
    Guarded<std::int32_t> count;
    Guarded<double> characteristic;
};

// The arguments as the export receives them. Input arrays and scalars live on
// the heap at their exact size, so that AddressSanitizer sees a read past them.
struct Arguments {
    explicit Arguments(const Input& in)
        : c(in.c.begin(), in.c.end()), scalars{in.p, in.T, in.p_min, in.p_max, in.T_min, in.step, in.beta},
          selector{in.selector} {}
    std::vector<double> c, scalars;
    std::vector<std::int16_t> selector;
};

void call(const Input& in, const Arguments& a, Outputs& out) {
    const auto u = [n = in.null_argument](auto* pointer, int i) { return i == n ? nullptr : pointer; };
    const double* s = a.scalars.data();
    if (in.function < kFlash) {
        kPropertyFunctions[in.function](u(a.c.data(), 0), u(s, 1), u(s + 1, 2),
                                        u(a.selector.data(), 3), u(out.range.data(), 4),
                                        u(out.result.data(), 5), u(out.echo.data(), 6),
                                        u(out.status.data(), 7));
    } else if (in.function == kFlash) {
        flash_tp(u(a.c.data(), 0), u(s, 1), u(s + 1, 2), u(out.range.data(), 3),
                 u(out.flash_results.data(), 4), u(out.liquid.data(), 5), u(out.vapour.data(), 6),
                 u(out.echo.data(), 7), u(out.status.data(), 8));
    } else {
        phase(u(a.c.data(), 0), u(s, 1), u(s + 1, 2), u(s + 2, 3), u(s + 3, 4), u(s + 4, 5), u(s + 5, 6),
              u(s + 6, 7), u(out.range.data(), 8), u(out.envelope.data(), 9), u(out.count.data(), 10),
              u(out.characteristic.data(), 11), u(out.echo.data(), 12), u(out.status.data(), 13));
    }
}

// The code of the general input limits that the arguments call for: 0 when
// they pass, -2 when the sum lies too close to its tolerance to tell.
int general_limit_code(const Input& in) {
    constexpr double kSumTolerance = 0.0001, kSumMargin = 1e-9;
    double sum = 0.0;
    for (double v : in.c) {
        if (!std::isfinite(v) || v < 0.0) return 53;
        sum += v;
    }
    const double off = std::fabs(sum - 100.0);
    if (off > kSumTolerance + kSumMargin) return 54;
    if (off > kSumTolerance - kSumMargin) return -2;
    if (!(in.T > 60.0 && in.T <= 2000.0)) return 55;
    if (!(in.p > 0.0 && in.p <= 1000.0)) return 56;
    return in.range < 0 ? 180 : 0;
}

// Checks the input-check part of the first status; true when the input check failed, after
// checking that its code fills every slot.
bool check_input_status(const Input& in, const Outputs& out) {
    const int status = out.status[0];
    check(is_success(status) || is_input_code(status) || is_calculation_code(status),
          "undocumented status code", status);
    check(status != kBasisFlagCode, "basis-flag status from an export without a basis flag", status);
    const int general = general_limit_code(in);
    if (general > 0) {
        check(status == general, "status differs from the code of the general limits", status);
    } else if (general == 0) {
        check(status < 53 || status > 56, "general-limit status for arguments within them", status);
        check(status != 180, "status 180 for a range set that is not negative", status);
        if (in.range == 0) check(!is_input_code(status), "range-set status with range set 0", status);
    }
    if (!is_input_code(status)) return false;
    if (in.function != kFlash) check(out.status.all(status), "input status not in every slot", status);
    return true;
}

// The statuses of a calculation, slot by slot, and what each slot's status says of the results.
void check_slots(const Input& in, const Outputs& out, const Guarded<double>& values) {
    const bool property = in.function < kFlash, selector_ok = in.selector >= 0 && in.selector <= 2;
    for (int k = 0; k < out.status.n; ++k) {
        const int status = out.status[k];
        const bool success = is_success(status);
        const double sentinel = sentinel_of(status);
        check(success || is_calculation_code(status), "undocumented status in a slot", status);
        check(property || status != kSelectorCode, "phase-selector status from flash_tp or phase", status);
        check(!property || selector_ok || status == kSelectorCode, "bad phase selector not reported", status);
        check(in.function == kPhase || !is_envelope_code(status), "envelope status elsewhere", status);
        if (in.function == 0) check(status != -1, "gerg2008 reports success as -1", k);
        if (property && in.function != 0 && success) {
            check(status == (out.range[0] == 0 ? -1 : 0), "success code not of the range set", status);
        }
        if (in.function != kFlash) {
            // K reports a failed Z evaluation's code with the quotient.
            const bool is_k = in.function == 0 ? k == kSlotK : in.function == kRatioFunction;
            if (success) check(std::isfinite(values[k]), "non-finite result under a success status", status);
            if (!success && property && !is_k) {
                check(values[k] == sentinel, "result is not the sentinel of its status", status);
            }
            continue;
        }
        const double beta = out.flash_results[0];
        if (success) {
            check(same(out.flash_results[1], 1.0 - beta), "liquid fraction is not 1 - vapour fraction", status);
            check(beta >= 0.0 && beta <= 1.0, "vapour fraction outside 0 to 1", status);
            check(out.flash_results.all_finite(), "non-finite flash result", status);
            check(out.liquid.all_finite() && out.vapour.all_finite(), "non-finite phase composition", status);
        } else {
            const auto is_sentinel = [&](double v) { return v == 100.0 * sentinel; };
            check(beta == sentinel && out.flash_results[1] == sentinel && out.flash_results[2] == sentinel,
                  "vapour fraction, liquid fraction or liquid content is not the sentinel of the status", status);
            check(out.liquid.each(is_sentinel) && out.vapour.each(is_sentinel),
                  "phase composition is not 100 times the sentinel", status);
        }
    }
}

void check_call(const Input& in, const Arguments& a, const Outputs& out) {
    check(out.every([](const auto& g) { return g.guards_intact(); }), "write outside a documented array");
    check(std::memcmp(a.c.data(), in.c.data(), sizeof in.c) == 0 && a.selector[0] == in.selector,
          "an input argument was changed");
    if (in.null_argument >= 0) {
        check(out.every([](const auto& g) { return g.untouched(); }), "call with a null argument wrote output",
              in.null_argument);
        return;
    }
    check(std::memcmp(&out.echo[0], in.c.data(), sizeof in.c) == 0, "echo differs from the composition");
    check(out.range[0] == std::min<std::int16_t>(in.range, 2), "range set written wrongly", out.range[0]);
    if (check_input_status(in, out)) {
        const bool kept =
            in.function < kFlash    ? out.result.untouched()
            : in.function == kFlash ? out.flash_results.untouched() && out.liquid.untouched() &&
                                          out.vapour.untouched()
                                    : out.envelope.all(0.0) && out.count.all(0) && out.characteristic.all(0.0);
        check(kept, "results written after a failed input check (phase: not zeros)", out.status[0]);
        return;
    }
    check_slots(in, out, in.function == kPhase ? out.characteristic : out.result);
    if (in.function == kPhase) {
        const int count = out.count[0];
        check(count >= 0 && count <= kEnvelopeRows, "point count outside 0 to 200", count);
        check(out.envelope.all_finite(), "non-finite table cell");
    }
}

// Empties the thread's equilibrium cache, so that every input starts from the
// same cache and a failure reproduces from its input alone.
void flush_cache() { ngtherm::api::thread_workspace().solver.clear_cache(); }

void timed_call(const Input& in, const Arguments& a, Outputs& out) {
    const int evaluations = in.function == 0                ? kGerg2008Evaluations
                            : in.function == kRatioFunction ? kRatioEvaluations
                            : in.function == kFlash         ? kFlashEvaluations : 1;
    const double bound = in.function == kPhase ? kPhaseBoundMs : evaluations * kEvaluationBoundMs;
    const auto call_ms = [&](Outputs& o) {
        const auto start = std::chrono::steady_clock::now();
        call(in, a, o);
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    };
    const double took = call_ms(out);
    if (took <= bound) return;
    Outputs again(in);
    flush_cache();
    const double retook = call_ms(again);
    if (retook > bound) {
        std::fprintf(stderr, "call took %.1f ms and %.1f ms, bound %.0f ms\n", took, retook, bound);
        fail("call took longer than its bound", static_cast<long>(retook));
    }
}

// The previous call of a thread must not change the bits of an answer: the
// same call after a call at a state a few ulps away gives the same result.
// An input skips it with bit 1 of its flags, so that the fuzzer spends about half
// its inputs on more states; NGTHERM_FUZZ_SKIP_NEARBY_STATES=1 skips it always.
void check_after_nearby_state(const Input& in, const Arguments& a, const Outputs& out) {
    constexpr double kNearby = 5e-13;  // MPa
    Input nearby = in;
    nearby.p = in.p + kNearby;
    Outputs ignored(nearby), again(in);
    flush_cache();
    call(nearby, Arguments(nearby), ignored);
    call(in, a, again);
    if (!out.same_bits(again)) fail("a call at a nearby state changes the answer");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool nearby_states = std::getenv("NGTHERM_FUZZ_SKIP_NEARBY_STATES") == nullptr;
    const Input in = read_input(data, size);
    current = &in;
    const Arguments args(in);
    Outputs out(in);
    flush_cache();
    timed_call(in, args, out);
    check_call(in, args, out);
    if (in.repeat) {
        Outputs again(in);
        timed_call(in, args, again);
        if (!out.same_bits(again)) fail("the same call twice gives different bits");
    }
    if (std::getenv("NGTHERM_FUZZ_VERBOSE")) {
        const auto& first = in.function == kFlash   ? out.flash_results
                            : in.function == kPhase ? out.characteristic : out.result;
        describe(in);
        std::fprintf(stderr, "status %d, range set %d, first result %.17g\n\n", out.status[0],
                     out.range[0], first[0]);
    }
    if (nearby_states && in.nearby_check && in.null_argument < 0) check_after_nearby_state(in, args, out);
    current = nullptr;
    return 0;
}
