// The shared library as a host program sees it: the names it exports, and a
// call through the C signature after loading it with dlopen.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "export_support.hpp"

namespace ngtherm::test {
namespace {

#ifdef NGTHERM_SHARED_LIBRARY

#define EXPORT_NAME(name, bytes, shape) #name,
const std::set<std::string> kExports{NGTHERM_EXPORTS_BY_ORDINAL(EXPORT_NAME)};
#undef EXPORT_NAME

// The defined dynamic symbols: the last word of each line of nm's listing,
// without version-definition entries (type A).
std::set<std::string> defined_dynamic_symbols(const std::string& library) {
    const std::string command = "nm -D --defined-only '" + library + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::set<std::string> names;
    if (pipe == nullptr) return names;
    std::array<char, 512> line{};
    while (std::fgets(line.data(), static_cast<int>(line.size()), pipe) != nullptr) {
        std::istringstream words(line.data());
        std::string address, type, name;
        if (!(words >> address >> type >> name)) continue;
        if (type != "A") names.insert(name.substr(0, name.find('@')));
    }
    pclose(pipe);
    return names;
}

TEST(SharedLibrary, ExportsTheDocumentedNamesAndNothingElse) {
    const std::set<std::string> names = defined_dynamic_symbols(NGTHERM_SHARED_LIBRARY);
    ASSERT_FALSE(names.empty()) << "nm listed nothing for " << NGTHERM_SHARED_LIBRARY;
    ASSERT_EQ(kExports.size(), 14u);
    EXPECT_EQ(names, kExports);
}

TEST(SharedLibrary, LoadsWithDlopenAndComputesGerg2008ThroughTheCSignature) {
    void* handle = dlopen(NGTHERM_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    using Gerg2008 = decltype(&::gerg2008);
    const auto f = reinterpret_cast<Gerg2008>(dlsym(handle, "gerg2008"));
    ASSERT_NE(f, nullptr);
    const Percentages c = pipeline_gas();
    const double p = 5.0, T = 300.0;
    const std::int16_t selector = 0;
    std::int16_t range = 1;
    std::array<double, kSlots> result{};
    Percentages echo{};
    std::array<std::int16_t, kSlots> status{};
    f(c.data(), &p, &T, &selector, &range, result.data(), echo.data(), status.data());
    const Outcome in_process = call_all(frame_exports(), {c, p, T, selector, 1});
    for (int k = 0; k < kSlots; ++k) {
        EXPECT_EQ(status[k], 0) << k;
        EXPECT_TRUE(same_bits(result[k], in_process.value[k])) << k;
    }
    EXPECT_NEAR(result[0], 0.9089619508, 1e-9);  // Z of this gas at 5 MPa and 300 K
    EXPECT_EQ(echo, c);
    EXPECT_EQ(dlclose(handle), 0);
}

#endif

}  // namespace
}  // namespace ngtherm::test
