#include "history/rows.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/text.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

using test::Line;

struct NameCase {
    const char* name;
    const char* kind;
    const char* series;
    int year, month;
    const char* putLabel;
    const char* callLabel;
    int margin;
    double low, high;
    bool swapped;
};

TEST(ParseChartFileName, NamesOfTheFiveKinds) {
    const NameCase cases[] = {
        {"Strangle_AEX_1303_00460.00_00500.00.csv", "Strangle", "AEX", 2013, 3,
         "AEX P1303_00460.00", "AEX C1303_00500.00", 20, 460, 500, false},
        {"Strangle_AEX_1303_00500.00_00460.00.csv", "Strangle", "AEX", 2013, 3,
         "AEX P1303_00500.00", "AEX C1303_00460.00", 20, 460, 500, true},
        {"Straddle_AX2_1206_00330.00_00330.00.csv", "Straddle", "AX2", 2012, 6,
         "AX2 P1206_00330.00", "AX2 C1206_00330.00", 40, 330, 330, false},
        {"Single_AEX_1303_00Geen_00500.00.csv", "Single", "AEX", 2013, 3, "AEX P1303_00Geen.0",
         "AEX C1303_00500.00", 20, 0, 500, false},
        {"Single_AEX_1303_00460.00_00Geen.csv", "Single", "AEX", 2013, 3, "AEX P1303_00460.00",
         "AEX C1303_00Geen.0", 20, 0, 460, true},
        {"Strangle_AX4_2612_00462_00462.5.csv", "Strangle", "AX4", 2026, 12, "AX4 P2612_00462.0",
         "AX4 C2612_00462.5", 20, 462, 462.5, false},
        // Four-digit strikes: older versions wrote one zero more.
        {"Strangle_AEX_2703_00950.00_001000.00.csv", "Strangle", "AEX", 2027, 3,
         "AEX P2703_00950.00", "AEX C2703_001000.00", 20, 950, 1000, false},
        {"Strangle_AEX_2703_01000.00_00950.00.csv", "Strangle", "AEX", 2027, 3,
         "AEX P2703_01000.00", "AEX C2703_00950.00", 20, 950, 1000, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ChartHeader h = ParseChartFileName(c.name);
        EXPECT_EQ(h.kind, c.kind);
        EXPECT_EQ(h.series, c.series);
        EXPECT_EQ(h.expiryYear, c.year);
        EXPECT_EQ(h.expiryMonth, c.month);
        EXPECT_EQ(h.putLabel, c.putLabel);
        EXPECT_EQ(h.callLabel, c.callLabel);
        EXPECT_EQ(h.margin, c.margin);
        EXPECT_DOUBLE_EQ(h.lowStrike, c.low);
        EXPECT_DOUBLE_EQ(h.highStrike, c.high);
        EXPECT_EQ(h.swapped, c.swapped);
    }
}

TEST(ParseChartFileName, NamesOutsideTheRuleGiveNoExpiryAndNoCrash) {
    const char* names[] = {"",
                           "foo",
                           "foo.csv",
                           "___",
                           "Strangle_.csv",
                           "Strangle_AEX_13_x_y.csv",
                           "Strangle_AEX_1313_00460.00_00500.00.csv",  // month 13
                           "Strangle_AEX_1300_00460.00_00500.00.csv",  // month 0
                           "Strangle_AEX_ab03_00460.00_00500.00.csv",
                           "Strangle_XYZ_1303_00460.00_00500.00.csv",   // unknown series
                           "Strangle_AX5_2602_00460.00_00500.00.csv"};  // no fifth Friday
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const ChartHeader h = ParseChartFileName(name);
        EXPECT_FALSE(h.expiryDate.has_value());
    }
    const ChartHeader longName = ParseChartFileName(std::string(5000, '_') + "x.csv");
    EXPECT_FALSE(longName.expiryDate.has_value());
}

TEST(ExpiryDate, FridaysOfTheSeries) {
    struct Case {
        const char* series;
        int year, month;
        std::optional<Date> date;
    } cases[] = {
        {"AEX", 2013, 3, Date{2013, 3, 15}},  // 1 March 2013 is a Friday
        {"AEX", 2008, 3, Date{2008, 3, 20}},  // 21 March becomes 20
        {"AX1", 2013, 3, Date{2013, 3, 1}},  {"AX5", 2013, 3, Date{2013, 3, 29}},
        {"AX5", 2026, 2, std::nullopt},  // 1 Feb 2026 is a Sunday: day 34
        {"AEX", 2026, 13, std::nullopt},     {"XYZ", 2013, 3, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.series) + " " + std::to_string(c.month));
        EXPECT_EQ(ExpiryDate(c.series, c.year, c.month), c.date);
    }
}

TEST(LoadHistoryRows, HeaderOnlyEmptyAndMissingFilesGiveOneEmptyLine) {
    test::TempDir dir;
    test::WriteAll(dir.path() / "h.csv", test::kHeader + "\r\n");
    test::WriteAll(dir.path() / "e.csv", "");
    std::filesystem::create_directory(dir.path() / "sub");
    test::WriteAll(dir.path() / "sub" / "d.csv",
                   test::kHeader + "\r\n" + Line("06-12-2026", "1", "1", "2", "3") + "\r\n");
    for (const char* name : {"h.csv", "e.csv", "missing.csv", "sub/d.csv", "../sub/d.csv", ""}) {
        SCOPED_TRACE(name);
        const HistoryRows rows = LoadHistoryRows(dir.folder(), name);
        ASSERT_EQ(rows.lines.size(), 1u);
        EXPECT_EQ(rows.lines[0], "");
        EXPECT_EQ(rows.startDate, "");
    }
}

TEST(LoadHistoryRows, KeepsFileOrderAcceptsAllLineEnds) {
    const std::string a = Line("06-12-2026", "12,35", "08,40", "20,75", "912,34");
    const std::string b = Line("05-12-2026", "12,00", "08,00", "20,00", "910,00");
    for (const char* end : {"\r\n", "\n", "\r"}) {
        const HistoryRows rows = HistoryRowsFromText(test::kHeader + end + a + end + b + end);
        ASSERT_EQ(rows.lines.size(), 2u);
        EXPECT_EQ(rows.lines[0], a);
        EXPECT_EQ(rows.lines[1], b);
        EXPECT_EQ(rows.startDate, "06-12-2026");
    }
    // An editor's tab between date and time reads as the program's blank.
    EXPECT_EQ(HistoryRowsFromText("06-12-2026\t17:35:00; 1; 1; 2; 3\n").startDate, "06-12-2026");
}

TEST(SplitHistoryRow, FieldsKeepTheirBlank) {
    const HistoryRow r = SplitHistoryRow("06-12-2026 17:35:00; 12,35; 08,40; 20,75; 455,12");
    EXPECT_EQ(r.dateText, "06-12-2026");
    EXPECT_EQ(r.dateTimeField, "06-12-2026 17:35:00");
    EXPECT_EQ(r.putField, " 12,35");
    EXPECT_EQ(r.callField, " 08,40");
    EXPECT_EQ(r.somField, " 20,75");
    EXPECT_EQ(r.aexField, " 455,12");
    EXPECT_DOUBLE_EQ(ParseNumber(r.callField), 8.4);
    EXPECT_EQ(SplitHistoryRow("06-12-2026 9:12:05; 1; 2; 3; 4").dateText, "06-12-2026");
}

TEST(SplitHistoryRow, ShortAndOddLines) {
    const HistoryRow noBlank = SplitHistoryRow("06-12-2026;1;2;3;4");
    EXPECT_EQ(noBlank.dateText, "");
    EXPECT_EQ(noBlank.aexField, "4");
    const HistoryRow noSemicolon = SplitHistoryRow("06-12-2026 17:35:00");
    EXPECT_EQ(noSemicolon.dateText, "06-12-2026");
    EXPECT_EQ(noSemicolon.putField, "");
    EXPECT_EQ(noSemicolon.somField, "");
    EXPECT_EQ(noSemicolon.aexField, "");
    const HistoryRow three = SplitHistoryRow("d t; 1; 2");
    EXPECT_EQ(three.callField, " 2");
    EXPECT_EQ(three.somField, "");
    const HistoryRow more = SplitHistoryRow("d t; 1; 2; 3; 4; 5");
    EXPECT_EQ(more.somField, " 3");
    EXPECT_EQ(more.aexField, "");  // " 4; 5" is no level
}

TEST(RowDayNumber, UnparseableDatesCountAsNoDate) {
    EXPECT_TRUE(RowDayNumber("06-12-2026").has_value());
    for (const char* text :
         {"", "99-99-9999", "31-02-2026", "xx-yy-zzzz", "06-12", "06-12-99999"}) {
        EXPECT_FALSE(RowDayNumber(text).has_value()) << text;
    }
}

}  // namespace
}  // namespace rendaal
