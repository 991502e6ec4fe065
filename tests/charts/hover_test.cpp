#include "charts/hover.h"

#include <gtest/gtest.h>

namespace rendaal {
namespace {

TEST(HoverText, LinesAsTheReadOutShowsThem) {
    const std::string text =
        HoverText({2026, 12, 6}, "17:35", LastRowTexts{" 12,35", " 08,40", " 20,75"});
    EXPECT_EQ(text,
              "Laatste gegevens:\r"
              "  Datum: 06-12-2026\r"
              "  Tijd     : 17:35\r"
              "  Put      : € 12,35\r"
              "  Call     : €  8,40\r"
              "  Som    : € 20,75\r");
    EXPECT_EQ(DisplayLineBreaks(text).find('\r'), std::string::npos);
    EXPECT_EQ(DisplayLineBreaks("a\rb\r"), "a\nb\n");
}

TEST(HoverText, WideSumEmptyTimeAndNothingDrawn) {
    const std::string wide = HoverText({2026, 12, 6}, "", LastRowTexts{"x", "", " 123,456"});
    EXPECT_NE(wide.find("\r  Tijd     : \r"), std::string::npos);
    EXPECT_NE(wide.find("  Put      : €  0,00\r"), std::string::npos);
    EXPECT_NE(wide.find("  Call     : €  0,00\r"), std::string::npos);
    EXPECT_NE(wide.find("  Som    : €123,46\r"), std::string::npos);
}

}  // namespace
}  // namespace rendaal
