// The shared library as a host sees it: the 14 names, the frames' bits, calls from several threads.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/c_exports.hpp"

namespace ngtherm::test {
namespace {

// One-phase, two-phase, failed and envelope calls: each export gets them all.
std::vector<Call> sample_calls() {
    const ExternalPercentages rich = rich_gas_7().external();
    return {Call{}, {.c = rich, .p = 4.0, .T = 240.0, .range = 1}, {.c = rich, .p = 4.0, .T = 240.0, .selector = 1, .range = 1},
            {.c = rich, .T = 250.0, .range = 1}, {.c = lean_gas_11().external(), .p = 3.0, .T = 230.0}, {.p = 0.0}};
}

#ifdef NGTHERM_SHARED_LIBRARY

// The defined dynamic symbols, without version-definition entries (type A) and version suffixes.
std::set<std::string> defined_dynamic_symbols(const std::string& library) {
    const std::string nm =
        "nm -D -P --defined-only '" + library + "' 2>/dev/null | awk '$2 != \"A\" {sub(/@.*/, \"\", $1); print $1}'";
    FILE* pipe = popen(nm.c_str(), "r");
    std::set<std::string> names;
    std::array<char, 512> line{};
    while (pipe != nullptr && std::fgets(line.data(), static_cast<int>(line.size()), pipe) != nullptr) {
        names.insert(std::string(line.data(), std::strcspn(line.data(), "\n")));
    }
    if (pipe != nullptr) pclose(pipe);
    return names;
}

TEST(SharedLibrary, ExportsTheFourteenNamesAndNothingElse) {
#define NGTHERM_NAME(name, bytes, shape) #name,
    const std::set<std::string> expected{NGTHERM_EXPORTS_BY_ORDINAL(NGTHERM_NAME)};
#undef NGTHERM_NAME
    ASSERT_EQ(expected.size(), 14u);
    EXPECT_EQ(defined_dynamic_symbols(NGTHERM_SHARED_LIBRARY), expected);
}

TEST(SharedLibrary, EveryExportThroughDlopenGivesTheFramesBits) {
    const std::vector<Export> frames = frame_exports(), loaded = shared_exports();
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(frames[i].name);
        ASSERT_TRUE(loaded[i].property || loaded[i].flash || loaded[i].phase);
        for (const Call& in : sample_calls()) EXPECT_TRUE(call(loaded[i], in).same_bits(call(frames[i], in)));
    }
}

#endif

// Every thread answers with its own workspace and cache: eight threads walk
// different gases, states and exports (gerg2008, flash_tp, phase) and must
// give the bits of one thread.
TEST(ExportThreads, ConcurrentCallsGiveTheBitsOfOneThread) {
    const std::vector<Export> exports = frame_exports();
    const Export* kinds[] = {&exports[0], &exports[exports.size() - 2], &exports.back()};
    const std::vector<Call> calls = sample_calls();
    const auto answer = [&](int j) { return call(*kinds[j / calls.size() % 3], calls[j % calls.size()]); };
    constexpr int kThreads = 8, kCallsPerThread = 9;
    std::vector<Outcome> serial;
    std::thread([&] {
        for (int j = 0; j < kThreads + kCallsPerThread; ++j) serial.push_back(answer(j));
    }).join();
    std::vector<std::vector<Outcome>> got(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int j = 0; j < kCallsPerThread; ++j) got[t].push_back(answer(t + j));
        });
    }
    for (std::thread& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t) {
        for (int j = 0; j < kCallsPerThread; ++j) EXPECT_TRUE(got[t][j].same_bits(serial[t + j])) << t << " " << j;
    }
}

}  // namespace
}  // namespace ngtherm::test
