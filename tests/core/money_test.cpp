#include "core/money.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace rendaal {
namespace {

TEST(FormatMoney, OneWayForEveryAmount) {
    const struct {
        double value;
        int decimals;
        const char* expected;
    } cases[] = {
        {2219.0, 0,
         "\xE2\x82\xAC"
         "2.219"},
        {2219.0, 2,
         "\xE2\x82\xAC"
         "2.219,00"},
        {-310.0, 0,
         "\xE2\x82\xAC"
         "-310"},
        {8.049, 2,
         "\xE2\x82\xAC"
         "8,05"},
        {999.5, 0,
         "\xE2\x82\xAC"
         "1.000"},
        {-1234567.891, 2,
         "\xE2\x82\xAC"
         "-1.234.567,89"},
        {-0.004, 2,
         "\xE2\x82\xAC"
         "0,00"},
        {100.0, 0,
         "\xE2\x82\xAC"
         "100"},
        {1e20, 0,
         "\xE2\x82\xAC"
         "100.000.000.000.000.000.000"},
        {std::nan(""), 2, ""},
        {std::numeric_limits<double>::infinity(), 0, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        EXPECT_EQ(FormatMoney(c.value, c.decimals), c.expected);
    }
}

}  // namespace
}  // namespace rendaal
