#include "charts/hover.h"

#include <gtest/gtest.h>

#include "chart_test_support.h"
#include "charts/chart_request.h"

namespace rendaal {
namespace {

using namespace test;

TEST(HoverText, LinesAsTheReadOutShowsThem) {
    const std::string text =
        HoverText(Date{2026, 12, 6}, "17:35", LastRowTexts{" 12,35", " 08,40", " 20,75"});
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
    const std::string wide = HoverText(std::nullopt, "", LastRowTexts{"x", "", " 123,456"});
    EXPECT_NE(wide.find("  Datum: \r"), std::string::npos);
    EXPECT_NE(wide.find("\r  Tijd     : \r"), std::string::npos);
    EXPECT_NE(wide.find("  Put      : €  0,00\r"), std::string::npos);
    EXPECT_NE(wide.find("  Call     : €  0,00\r"), std::string::npos);
    EXPECT_NE(wide.find("  Som    : €123,46\r"), std::string::npos);
}

// On a Monday the chart's last line is Friday's: the read-out dates it so, and the point under
// the mouse is the day nearest to it.
TEST(HoverText, DatesAreThoseOfTheRowsDrawn) {
    const std::string name = "Strangle_AEX_2612_00900.00_00950.00.csv";
    struct Case {
        bool blocks;
        int mouseX, mouseY;  // relative to the Wednesday's point
        const char* datum;
        const char* point;
    } cases[] = {
        {false, 0, 200, "04-12-2026", "Bij de muis:\r  Datum: 02-12-2026\r  Som    : € 12,80\r"},
        {false, 60, -100, "04-12-2026", "Bij de muis:\r  Datum: 03-12-2026\r  Som    : € 12,35\r"},
        {true, 0, 0, "04-12-2026",
         "Bij de muis:\r  Datum: 02-12-2026\r  Som    : € 12,80\r  AEX     : 915,00\r"},
        {true, 3, -2, "04-12-2026",
         "Bij de muis:\r  Datum: 02-12-2026\r  Som    : € 12,80\r  AEX     : 915,00\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blocks);
        ChartBench b;
        b.Write(name, {Line("01-12-2026", "12,00", "08,75", "20,75", "912,00"),
                       Line("02-12-2026", "07,00", "05,80", "12,80", "915,00"),
                       Line("03-12-2026", "07,00", "05,35", "12,35", "916,50"),
                       Line("04-12-2026", "07,00", "05,00", "12,00", "918,00")});
        DrawChart(b.Request(name, c.blocks, true, {2026, 12, 7}), b.canvas, b.state, b.outputs);
        const std::string text = HoverText(b.state.lastRowDate, "9:05", b.state.lastRowTexts);
        EXPECT_NE(text.find(std::string("  Datum: ") + c.datum + "\r"), std::string::npos);
        // Blocks: one square a row for each of the three passes.
        ASSERT_EQ(b.state.points.size(), c.blocks ? 12u : 4u);
        const ChartPoint wednesday = b.state.points[1];
        const auto nearest =
            NearestPoint(b.state.points, wednesday.x + c.mouseX, wednesday.y + c.mouseY, c.blocks);
        ASSERT_TRUE(nearest.has_value());
        EXPECT_EQ(PointText(*nearest, c.blocks), c.point);
    }
    EXPECT_FALSE(NearestPoint({}, 0, 0, true).has_value());
}

}  // namespace
}  // namespace rendaal
