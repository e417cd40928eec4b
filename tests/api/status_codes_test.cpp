// The status codes and sentinels as include/ngtherm.h documents them.
#include "api/status_codes.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <regex>
#include <string>

#include "api/check_input.hpp"
#include "support/c_exports.hpp"

namespace ngtherm::api {
namespace {

using test::header_block;

TEST(StatusCodes, HeaderTableEqualsTheLibraryTable) {
    const std::string block = header_block("Status codes:");
    const std::regex entry(R"(\s+(-?\d+)\s{2,}(\S.*\S)\s*\n)");
    std::map<int, std::string> header;
    for (std::sregex_iterator m(block.begin(), block.end(), entry), end; m != end; ++m) {
        header[std::stoi((*m)[1])] = (*m)[2];
    }
    ASSERT_EQ(header.size(), status_meanings().size());
    for (const StatusMeaning& e : status_meanings()) EXPECT_EQ(header[e.code], e.meaning) << e.code;
    EXPECT_EQ(status_meaning(57), "unknown status code");
}

TEST(StatusCodes, EveryDocumentedSentinelGivesItsCodeAndOtherValuesNone) {
    const std::string block = header_block("Sentinels and their codes:");
    const std::regex pair(R"((-\d+) (\d+))");
    int listed = 0;
    for (std::sregex_iterator m(block.begin(), block.end(), pair), end; m != end; ++m, ++listed) {
        for (std::int16_t before : {-1, 0}) {
            std::int16_t status = before;
            status_from_sentinel(std::stod((*m)[1]), status);
            EXPECT_EQ(status, std::stoi((*m)[2])) << (*m)[1];
        }
    }
    EXPECT_EQ(listed, static_cast<int>(kSentinelCodes.size()));
    for (double other : {-99993.0, 0.0, -0.0, std::nextafter(-97777.0, 0.0), 97777.0, std::nan(""), -99991.5}) {
        std::int16_t status = 53;
        status_from_sentinel(other, status);
        EXPECT_EQ(status, 53) << other;
    }
}

}  // namespace
}  // namespace ngtherm::api
