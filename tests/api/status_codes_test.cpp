#include "api/status_codes.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <limits>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "ngtherm.h"

namespace ngtherm::api {
namespace {

std::vector<std::string> header_lines() {
    std::ifstream in(NGTHERM_SOURCE_DIR "/include/ngtherm.h");
    EXPECT_TRUE(in.good()) << "cannot open include/ngtherm.h";
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The "Status codes:" block of the header comment: lines " *  <code>  <meaning>"
// up to the first comment line without text.
std::map<int, std::string> header_status_table() {
    const std::vector<std::string> lines = header_lines();
    const std::regex entry(R"(^ \*\s+(-?\d+)\s{2,}(\S.*\S)\s*$)");
    std::map<int, std::string> table;
    bool inside = false;
    for (const std::string& line : lines) {
        if (line == " * Status codes:") {
            inside = true;
            continue;
        }
        if (!inside) continue;
        std::smatch m;
        if (!std::regex_match(line, m, entry)) break;
        const int code = std::stoi(m[1]);
        EXPECT_EQ(table.count(code), 0u) << "code listed twice: " << code;
        table[code] = m[2];
    }
    return table;
}

TEST(StatusMeaning, HeaderTableEqualsTheLibraryTable) {
    const std::map<int, std::string> header = header_status_table();
    ASSERT_FALSE(header.empty());
    EXPECT_EQ(header.size(), status_meanings().size());
    for (const StatusMeaning& entry : status_meanings()) {
        auto it = header.find(entry.code);
        ASSERT_NE(it, header.end()) << "code missing in the header: " << entry.code;
        EXPECT_EQ(it->second, entry.meaning) << entry.code;
    }
    for (const auto& [code, meaning] : header) {
        EXPECT_EQ(status_meaning(code), meaning) << code;
    }
}

TEST(StatusMeaning, HeaderStatesThePrecedenceTheCheckImplements) {
    const std::vector<std::string> lines = header_lines();
    std::string text;
    bool inside = false;
    for (const std::string& line : lines) {
        if (line.find("the strongest code wins:") != std::string::npos) {
            inside = true;
            continue;
        }
        if (!inside) continue;
        if (line == " *") break;
        text += line.substr(2) + " ";
    }
    std::vector<int> listed;
    std::stringstream words(text);
    for (std::string w; std::getline(words, w, ',');) listed.push_back(std::stoi(w));
    const std::vector<int> expected{53,  54,  55,  56,  180, 101, 102, 103, 104, 105, 110,
                                    111, 115, 117, 119, 120, 171, 172, 173, 170, 181, 182};
    EXPECT_EQ(listed, expected);
}

TEST(StatusMeaning, AnswersUnknownCodesWithAFixedText) {
    for (int code : {-2, 1, 52, 57, 100, 106, 116, 118, 121, 169, 174, 179, 183, 189, 208, 32767}) {
        EXPECT_EQ(status_meaning(code), "unknown status code") << code;
    }
    EXPECT_EQ(status_meaning(197), "phase envelope: characteristic value not determined");
    EXPECT_EQ(status_meaning(0), "success");
}

TEST(StatusMeaning, EverySentinelCodeHasAMeaningAndNoSentinelGives197) {
    std::set<double> sentinels;
    for (const SentinelCode& entry : kSentinelCodes) {
        EXPECT_NE(status_meaning(entry.code), "unknown status code") << entry.code;
        EXPECT_NE(entry.code, kStatusNotDetermined);
        EXPECT_GE(entry.code, 190);
        EXPECT_LE(entry.code, 207);
        EXPECT_TRUE(sentinels.insert(entry.sentinel).second) << entry.sentinel;
        EXPECT_LT(entry.sentinel, 0.0);
        EXPECT_EQ(entry.sentinel, static_cast<double>(static_cast<long>(entry.sentinel)));
    }
}

// The exports as the header declares them: every argument a pointer, 16-bit
// options and status words, a 32-bit point count. Unevaluated, so nothing needs
// to be linked.
using PropertyExport = void(NGTHERM_CALL*)(const double*, const double*, const double*,
                                           const std::int16_t*, std::int16_t*, double*, double*,
                                           std::int16_t*);
using FlashExport = void(NGTHERM_CALL*)(const double*, const double*, const double*,
                                        std::int16_t*, double*, double*, double*, double*,
                                        std::int16_t*);
using PhaseExport = void(NGTHERM_CALL*)(const double*, const double*, const double*,
                                        const double*, const double*, const double*,
                                        const double*, const double*, std::int16_t*, double*,
                                        std::int32_t*, double*, double*, std::int16_t*);

static_assert(std::is_same_v<decltype(&::gerg2008), PropertyExport>);
static_assert(std::is_same_v<decltype(&::gerg2008_z), PropertyExport>);
static_assert(std::is_same_v<decltype(&::gerg2008_k), PropertyExport>);
static_assert(std::is_same_v<decltype(&::gerg2008_rho), PropertyExport>);
static_assert(std::is_same_v<decltype(&::gerg2008_u), PropertyExport>);
static_assert(std::is_same_v<decltype(&::gerg2008_h), PropertyExport>);
static_assert(std::is_same_v<decltype(&::gerg2008_s), PropertyExport>);
static_assert(std::is_same_v<decltype(&::gerg2008_cv), PropertyExport>);
static_assert(std::is_same_v<decltype(&::gerg2008_cp), PropertyExport>);
static_assert(std::is_same_v<decltype(&::gerg2008_sos), PropertyExport>);
static_assert(std::is_same_v<decltype(&::gerg2008_kappa), PropertyExport>);
static_assert(std::is_same_v<decltype(&::gerg2008_jtc), PropertyExport>);
static_assert(std::is_same_v<decltype(&::flash_tp), FlashExport>);
static_assert(std::is_same_v<decltype(&::phase), PhaseExport>);

}  // namespace
}  // namespace ngtherm::api
