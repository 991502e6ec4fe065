#include "core/calendar.h"

#include <gtest/gtest.h>

namespace rendaal {
namespace {

TEST(Calendar, WeekdaysAndDayNumbers) {
    EXPECT_EQ(DayNumber(1899, 12, 30), 0);
    EXPECT_EQ(Weekday(1899, 12, 30), 7);  // Saturday
    EXPECT_EQ(Weekday(2013, 3, 1), 6);    // Friday
    EXPECT_EQ(Weekday(2008, 3, 1), 7);    // Saturday
    EXPECT_EQ(Weekday(2026, 12, 6), 1);   // Sunday
    EXPECT_EQ(Weekday(2026, 12, 7), 2);   // Monday
    EXPECT_EQ(DayNumber(2026, 12, 7) - DayNumber(2026, 11, 30), 7);
    // Days outside the month run on.
    EXPECT_EQ(DayNumber(2026, 2, 30), DayNumber(2026, 3, 2));
    EXPECT_EQ(DayNumber(2026, 3, 0), DayNumber(2026, 2, 28));
    EXPECT_EQ(DayNumber(2026, 13, 1), DayNumber(2027, 1, 1));
    for (int64_t n = -1000; n < 100000; n += 37) {
        EXPECT_EQ(DayNumber(FromDayNumber(n)), n);
    }
}

struct SeriesCase {
    const char* series;
    int year, month;
    std::optional<int> day;
};

TEST(Calendar, SeriesDays) {
    const SeriesCase cases[] = {
        {"AEX", 2013, 3, 15},  // 1 March 2013 is a Friday
        {"AEX", 2008, 3, 20},  // third Friday 21 March becomes 20
        {"AX1", 2013, 3, 1},   {"AX2", 2013, 3, 8},
        {"AX4", 2013, 3, 22},  {"AX5", 2013, 3, 29},
        {"AEX", 2026, 12, 18}, {"AX5", 2026, 2, 34},  // no fifth Friday
        {"AX1", 2008, 3, 7},   {"XYZ", 2013, 3, std::nullopt},
        {"AX4", 2008, 3, 28},  // only "AEX" takes the March rule
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.series) + " " + std::to_string(c.year));
        EXPECT_EQ(SeriesDay(c.series, c.year, c.month), c.day);
    }
    EXPECT_EQ(ThirdFriday(2008, 3), 21);
}

TEST(Calendar, ParseDmy) {
    EXPECT_EQ(ParseDmy("06-12-2026"), (Date{2026, 12, 6}));
    EXPECT_EQ(ParseDmy("6-1-2027"), (Date{2027, 1, 6}));
    EXPECT_FALSE(ParseDmy("99-99-9999"));
    EXPECT_FALSE(ParseDmy("29-02-2027"));
    EXPECT_TRUE(ParseDmy("29-02-2028"));
    EXPECT_FALSE(ParseDmy(""));
    EXPECT_FALSE(ParseDmy("06-12"));
    EXPECT_FALSE(ParseDmy("aa-bb-cccc"));
    EXPECT_FALSE(ParseDmy("06-12-2026 17:35:00"));
    EXPECT_EQ(FormatDmy({2026, 12, 6}), "06-12-2026");
}

TEST(Calendar, SerialsKeepTheTimeOfDay) {
    const DateTime t{2026, 12, 7, 17, 35, 0, 0};
    EXPECT_EQ(FromSerial(ToSerial(t)), t);
    EXPECT_EQ(FormatDmyHms(t), "07-12-2026 17:35:00");
    EXPECT_EQ(FormatTimeShort({2026, 12, 7, 9, 12, 5, 0}), "9:12:05");
    EXPECT_EQ(AddDays(t, -2).date(), (Date{2026, 12, 5}));
}

}  // namespace
}  // namespace rendaal
