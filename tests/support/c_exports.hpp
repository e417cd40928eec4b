// The 14 C exports behind one caller, linked frames or dlopen'ed entry points.
#pragma once

#include <dlfcn.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "api/export_list.h"
#include "api/frames.hpp"
#include "envelope/phase_envelope.hpp"
#include "ngtherm.h"
#include "support/gases.hpp"

namespace ngtherm::test {

using PropertyFn = decltype(&::gerg2008);
using FlashFn = decltype(&::flash_tp);
using PhaseFn = decltype(&::phase);

enum class Shape {
    ALL_PROPERTIES,  // gerg2008: eleven results and statuses
    PROPERTY,        // one property, one status
    FLASH,           // flash_tp
    PHASE,           // phase
};

struct Export {
    std::string name;
    Shape shape;
    int slot = 0;  // PROPERTY: the gerg2008 slot it fills
    PropertyFn property = nullptr;
    FlashFn flash = nullptr;
    PhaseFn phase = nullptr;
    bool is_property() const { return shape == Shape::ALL_PROPERTIES || shape == Shape::PROPERTY; }
};

template <api::Property P>
void frame_property(const double* c, const double* p, const double* T, const std::int16_t* sel,
                    std::int16_t* range, double* result, double* echo, std::int16_t* status) {
    api::single_property_export(P, c, p, T, sel, range, result, echo, status);
}

// The frames, in the order of the gerg2008 slots after gerg2008; flash_tp and phase last.
inline std::vector<Export> frame_exports() {
    using P = api::Property;
    const PropertyFn single[] = {frame_property<P::Z>,  frame_property<P::K>,    frame_property<P::rho>,
                                 frame_property<P::u>,  frame_property<P::h>,    frame_property<P::s>,
                                 frame_property<P::cv>, frame_property<P::cp>,   frame_property<P::w>,
                                 frame_property<P::kappa>, frame_property<P::jt>};
    std::vector<Export> all{{"gerg2008", Shape::ALL_PROPERTIES, 0, api::all_properties_export}};
    int slot = 0;
#define NGTHERM_FRAME(name, bytes, shape) all.push_back({#name, Shape::shape, slot, single[slot]}), ++slot;
    NGTHERM_SINGLE_PROPERTY_EXPORTS(NGTHERM_FRAME)
#undef NGTHERM_FRAME
    all.push_back({"flash_tp", Shape::FLASH, 0, nullptr, api::flash_export});
    all.push_back({"phase", Shape::PHASE, 0, nullptr, nullptr, api::phase_export});
    return all;
}

#ifdef NGTHERM_SHARED_LIBRARY
// The same exports from the shared library (never closed); a missing name stays null.
inline std::vector<Export> shared_exports() {
    void* handle = dlopen(NGTHERM_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    std::vector<Export> all = frame_exports();
    for (Export& e : all) {
        void* symbol = handle ? dlsym(handle, e.name.c_str()) : nullptr;
        e.property = e.is_property() ? reinterpret_cast<PropertyFn>(symbol) : nullptr;
        e.flash = e.shape == Shape::FLASH ? reinterpret_cast<FlashFn>(symbol) : nullptr;
        e.phase = e.shape == Shape::PHASE ? reinterpret_cast<PhaseFn>(symbol) : nullptr;
    }
    return all;
}
#endif

// The inputs of any export; each takes those of its argument list.
struct Call {
    ExternalPercentages c = pipeline_gas().external();
    double p = 5.0, T = 300.0;  // MPa, K
    std::int16_t selector = 0, range = 0;
    double p_min = 0.1, p_max = 30.0, T_min = 50.0, step = 0.1, beta = 1.0;  // phase only
};

// Outputs are prefilled with these, to see what a call leaves untouched.
inline constexpr double kUntouched = 4242.4242;
inline constexpr std::int16_t kUntouchedStatus = 12345;

// Every output of a call; `out` holds the double outputs in argument order.
struct Outcome {
    std::vector<double> out;
    std::vector<std::int16_t> status;
    std::int32_t count = -7;
    ExternalPercentages echo{};
    std::int16_t range = 0;

    bool same_bits(const Outcome& o) const {
        return std::memcmp(out.data(), o.out.data(), sizeof(double) * out.size()) == 0 &&
               status == o.status && count == o.count && range == o.range &&
               std::memcmp(echo.data(), o.echo.data(), sizeof echo) == 0;
    }
};

inline int argument_count(Shape s) { return s == Shape::PHASE ? 14 : s == Shape::FLASH ? 9 : 8; }

inline Outcome prefilled(Shape s, std::int16_t range) {
    using enum Shape;
    const std::size_t n = s == ALL_PROPERTIES ? api::kPropertyCount : s == PROPERTY ? 1 : s == FLASH ? 3 + 2 * kComponentCount
                                                                                    : envelope::kTableSize + kCharacteristicValueCount;
    const std::size_t statuses = s == ALL_PROPERTIES ? api::kPropertyCount : s == PHASE ? kCharacteristicValueCount : 1;
    Outcome o{std::vector<double>(n, kUntouched), std::vector<std::int16_t>(statuses, kUntouchedStatus), -7, {}, range};
    o.echo.fill(kUntouched);
    return o;
}

// Calls e with the inputs of `in`; argument number `null_arg` (0-based) is passed as null.
inline Outcome call(const Export& e, const Call& in, int null_arg = -1) {
    Outcome o = prefilled(e.shape, in.range);
    const auto a = [null_arg](int i, auto* ptr) { return i == null_arg ? nullptr : ptr; };
    double* out = o.out.data();
    if (e.is_property()) {
        e.property(a(0, in.c.data()), a(1, &in.p), a(2, &in.T), a(3, &in.selector), a(4, &o.range),
                   a(5, out), a(6, o.echo.data()), a(7, o.status.data()));
    } else if (e.shape == Shape::FLASH) {
        e.flash(a(0, in.c.data()), a(1, &in.p), a(2, &in.T), a(3, &o.range), a(4, out), a(5, out + 3),
                a(6, out + 3 + kComponentCount), a(7, o.echo.data()), a(8, o.status.data()));
    } else {
        e.phase(a(0, in.c.data()), a(1, &in.p), a(2, &in.T), a(3, &in.p_min), a(4, &in.p_max),
                a(5, &in.T_min), a(6, &in.step), a(7, &in.beta), a(8, &o.range), a(9, out),
                a(10, &o.count), a(11, out + envelope::kTableSize), a(12, o.echo.data()),
                a(13, o.status.data()));
    }
    return o;
}

inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The comment of include/ngtherm.h from `opening` to the end of its paragraph.
inline std::string header_block(const std::string& opening) {
    std::ifstream in(NGTHERM_SOURCE_DIR "/include/ngtherm.h");
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t from = text.find(opening) + opening.size();
    const std::size_t end = std::min(text.find("\n *\n", from), text.find("\n */", from)) + 1;
    return text.substr(from, end - from);
}

}  // namespace ngtherm::test
