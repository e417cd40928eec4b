// flash_tp and phase as a host program calls them: through the C signature
// of the loaded shared library, with the same bits as the in-process frames,
// and from several threads at once.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "envelope/envelope_gases.hpp"
#include "api/frames.hpp"
#include "properties/flash.hpp"
#include "envelope/phase_envelope.hpp"
#include "ngtherm.h"

namespace ngtherm::envelope {
namespace {

using FlashFn = decltype(&::flash_tp);
using PhaseFn = decltype(&::phase);

struct PhaseResult {
    std::vector<double> table = std::vector<double>(kTableSize);
    std::int32_t count = 0;
    std::array<double, kCharacteristicValueCount> value{};
    std::array<std::int16_t, kCharacteristicValueCount> status{};
    ExternalPercentages echo{};

    bool same_bits(const PhaseResult& o) const {
        return std::memcmp(table.data(), o.table.data(), sizeof(double) * table.size()) == 0 &&
               count == o.count && std::memcmp(value.data(), o.value.data(), sizeof(value)) == 0 &&
               status == o.status && std::memcmp(echo.data(), o.echo.data(), sizeof(echo)) == 0;
    }
};

PhaseResult run_phase(PhaseFn f, const ExternalPercentages& c, double p, double T) {
    const double p_min = 0.1, p_max = 30.0, T_min = 50.0, step = 0.1, beta = 1.0;
    std::int16_t range = 0;
    PhaseResult r;
    f(c.data(), &p, &T, &p_min, &p_max, &T_min, &step, &beta, &range, r.table.data(), &r.count,
      r.value.data(), r.echo.data(), r.status.data());
    return r;
}

struct FlashResultBits {
    std::array<double, 3> results{};
    ExternalPercentages liquid{}, vapour{}, echo{};
    std::int16_t status = 0;
    bool same_bits(const FlashResultBits& o) const {
        return std::memcmp(results.data(), o.results.data(), sizeof(results)) == 0 &&
               std::memcmp(liquid.data(), o.liquid.data(), sizeof(liquid)) == 0 &&
               std::memcmp(vapour.data(), o.vapour.data(), sizeof(vapour)) == 0 &&
               std::memcmp(echo.data(), o.echo.data(), sizeof(echo)) == 0 && status == o.status;
    }
};

FlashResultBits run_flash(FlashFn f, const ExternalPercentages& c, double p, double T) {
    FlashResultBits r{};
    std::int16_t range = 0;
    f(c.data(), &p, &T, &range, r.results.data(), r.liquid.data(), r.vapour.data(), r.echo.data(),
      &r.status);
    return r;
}

#ifdef NGTHERM_SHARED_LIBRARY
TEST(EnvelopeExports, SharedLibraryGivesTheFramesBitsThroughTheCSignatures) {
    void* handle = dlopen(NGTHERM_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    const auto flash = reinterpret_cast<FlashFn>(dlsym(handle, "flash_tp"));
    const auto phase = reinterpret_cast<PhaseFn>(dlsym(handle, "phase"));
    ASSERT_NE(flash, nullptr);
    ASSERT_NE(phase, nullptr);
    const ExternalPercentages rich = test::rich_gas_7().external();
    const PhaseResult loaded = run_phase(phase, rich, 5.0, 250.0);
    EXPECT_TRUE(loaded.same_bits(run_phase(api::phase_export, rich, 5.0, 250.0)));
    EXPECT_GT(loaded.count, 20);
    const FlashResultBits split = run_flash(flash, rich, 4.0, 240.0);
    EXPECT_TRUE(split.same_bits(run_flash(api::flash_export, rich, 4.0, 240.0)));
    EXPECT_GT(split.results[0], 0.9);
    EXPECT_LT(split.results[0], 1.0);
}
#endif

TEST(EnvelopeExports, CallsFromSeveralThreadsGiveTheSameResults) {
    const ExternalPercentages rich = test::rich_gas_7().external();
    const ExternalPercentages lean = test::lean_gas_11().external();
    const PhaseResult phase_rich = run_phase(api::phase_export, rich, 5.0, 250.0);
    const PhaseResult phase_lean = run_phase(api::phase_export, lean, 3.0, 230.0);
    const FlashResultBits flash_rich = run_flash(api::flash_export, rich, 4.0, 240.0);
    const FlashResultBits flash_lean = run_flash(api::flash_export, lean, 5.0, 300.0);
    std::vector<int> agree(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            bool same = true;
            for (int k = 0; k < 3; ++k) {
                const bool rich_turn = (t + k) % 2 == 0;
                same = same && run_phase(api::phase_export, rich_turn ? rich : lean, rich_turn ? 5.0 : 3.0,
                                         rich_turn ? 250.0 : 230.0)
                                   .same_bits(rich_turn ? phase_rich : phase_lean);
                same = same && run_flash(api::flash_export, rich_turn ? rich : lean, rich_turn ? 4.0 : 5.0,
                                         rich_turn ? 240.0 : 300.0)
                                   .same_bits(rich_turn ? flash_rich : flash_lean);
            }
            agree[t] = same ? 1 : 0;
        });
    }
    for (std::thread& t : threads) t.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(agree[t], 1) << "thread " << t;
}

TEST(EnvelopeExports, NullArgumentsAreIgnored) {
    const ExternalPercentages rich = test::rich_gas_7().external();
    const double p = 5.0, T = 250.0;
    std::int16_t range = 0, status = -7;
    std::array<double, 3> results{};
    ExternalPercentages liquid{}, echo{};
    api::flash_export(rich.data(), &p, &T, &range, results.data(), liquid.data(), nullptr, echo.data(),
                 &status);
    EXPECT_EQ(status, -7);
    std::array<std::int16_t, kCharacteristicValueCount> statuses{};
    statuses.fill(-7);
    api::phase_export(rich.data(), &p, &T, &p, &p, &T, &p, &p, &range, nullptr, nullptr, nullptr,
                 echo.data(), statuses.data());
    EXPECT_EQ(statuses[0], -7);
}

}  // namespace
}  // namespace ngtherm::envelope
