// The twelve property exports as function pointers with the C signature,
// either from the frames linked into the test binary or from the shared
// library loaded with dlopen, and the gases the export tests use.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "api/export_list.h"
#include "api/frames.hpp"
#include "api/external_gases.hpp"
#include "ngtherm.h"

namespace ngtherm::test {

using PropertyExportFn = void (*)(const double*, const double*, const double*,
                                  const std::int16_t*, std::int16_t*, double*, double*,
                                  std::int16_t*);

inline constexpr int kSlots = api::kPropertyCount;

// The single exports in the order of the gerg2008 slots.
#define NGTHERM_SINGLE_EXPORT_NAME(name, bytes, shape) #name,
inline constexpr std::array<const char*, kSlots> kSingleExportNames{
    NGTHERM_SINGLE_PROPERTY_EXPORTS(NGTHERM_SINGLE_EXPORT_NAME)};
#undef NGTHERM_SINGLE_EXPORT_NAME

struct ExportTable {
    std::string source;
    PropertyExportFn all = nullptr;  // gerg2008
    std::array<PropertyExportFn, kSlots> single{};
};

template <api::Property P>
void frame_single(const double* c, const double* p, const double* T, const std::int16_t* sel,
                  std::int16_t* range, double* result, double* echo, std::int16_t* status) {
    api::single_property_export(P, c, p, T, sel, range, result, echo, status);
}

inline ExportTable frame_exports() {
    using P = api::Property;
    return {"frames",
            api::all_properties_export,
            {frame_single<P::Z>, frame_single<P::K>, frame_single<P::rho>, frame_single<P::u>,
             frame_single<P::h>, frame_single<P::s>, frame_single<P::cv>, frame_single<P::cp>,
             frame_single<P::w>, frame_single<P::kappa>, frame_single<P::jt>}};
}

#ifdef NGTHERM_SHARED_LIBRARY
// Never closed: the library stays loaded for the life of the test process,
// and loading it again only returns the same handle.
inline void* shared_library_handle() {
    return dlopen(NGTHERM_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
}

inline PropertyExportFn shared_symbol(const char* name) {
    void* handle = shared_library_handle();
    return handle ? reinterpret_cast<PropertyExportFn>(dlsym(handle, name)) : nullptr;
}
#endif

// Empty when the shared library was not built or a name is missing.
inline std::optional<ExportTable> shared_exports() {
#ifdef NGTHERM_SHARED_LIBRARY
    ExportTable t{"shared_library", shared_symbol("gerg2008"), {}};
    bool complete = t.all != nullptr;
    for (int k = 0; k < kSlots; ++k) {
        t.single[k] = shared_symbol(kSingleExportNames[k]);
        complete = complete && t.single[k] != nullptr;
    }
    if (complete) return t;
#endif
    return std::nullopt;
}

inline Percentages pure(Ext e) {
    Percentages c{};
    c[e] = 100.0;
    return c;
}

// The builds of the exports available to this test binary.
inline std::vector<std::string> export_sources() {
    std::vector<std::string> sources{"frames"};
    if (shared_exports()) sources.push_back("shared_library");
    return sources;
}

inline ExportTable export_table(const std::string& source) {
    if (source == "shared_library") return *shared_exports();
    return frame_exports();
}

// Parameterised by the name of an export build.
class ExportTest : public ::testing::TestWithParam<std::string> {
protected:
    ExportTable exports = export_table(GetParam());
};

// Arguments of one call.
struct Call {
    Percentages c = pipeline_gas();
    double p = 5.0;   // MPa
    double T = 300.0;  // K
    std::int16_t selector = 0;
    std::int16_t range = 0;
};

// Results are prefilled with these, to see what a call leaves untouched.
inline constexpr double kUntouched = 4242.4242;
inline constexpr std::int16_t kUntouchedStatus = 12345;

struct Outcome {
    std::array<double, kSlots> value{};
    std::array<std::int16_t, kSlots> status{};
    std::int16_t range = 0;  // after the call
    Percentages echo{};
};

inline Outcome prefilled(const Call& call) {
    Outcome out;
    out.value.fill(kUntouched);
    out.status.fill(kUntouchedStatus);
    out.range = call.range;
    out.echo.fill(kUntouched);
    return out;
}

inline Outcome call_all(const ExportTable& t, const Call& call) {
    Outcome out = prefilled(call);
    t.all(call.c.data(), &call.p, &call.T, &call.selector, &out.range, out.value.data(),
          out.echo.data(), out.status.data());
    return out;
}

// Slot 0 of the outcome holds the result and status of single export `slot`.
inline Outcome call_single(const ExportTable& t, int slot, const Call& call) {
    Outcome out = prefilled(call);
    t.single[slot](call.c.data(), &call.p, &call.T, &call.selector, &out.range,
                   out.value.data(), out.echo.data(), out.status.data());
    return out;
}

inline bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace ngtherm::test
