#include "core/market_hours.h"

#include <gtest/gtest.h>

#include <ctime>

namespace rendaal {
namespace {

// 7 December 2026 is a Monday.
DateTime At(int day, int hour, int minute) {
    return {2026, 12, day, hour, minute, 0, 0};
}

TEST(DownloadTick, DecisionTable) {
    const Date monday{2026, 12, 7};
    const struct {
        const char* name;
        DateTime now;
        std::optional<Date> closingRun;
        bool run;
    } cases[] = {
        {"saturday midday", At(5, 12, 0), std::nullopt, false},
        {"sunday midday", At(6, 12, 0), std::nullopt, false},
        {"saturday after close", At(5, 18, 0), std::nullopt, false},
        {"sunday 09:00", At(6, 9, 0), std::nullopt, false},
        {"monday 08:59", At(7, 8, 59), std::nullopt, false},
        {"monday 00:00", At(7, 0, 0), std::nullopt, false},
        {"monday 09:00", At(7, 9, 0), std::nullopt, true},
        {"monday 12:30", At(7, 12, 30), std::nullopt, true},
        {"monday 17:34", At(7, 17, 34), std::nullopt, true},
        {"monday 17:34 after an evening run", At(7, 17, 34), monday, true},
        {"monday 17:35 first after close", At(7, 17, 35), std::nullopt, true},
        {"monday 17:35 closing run done", At(7, 17, 35), monday, false},
        {"monday 17:36 first after close", At(7, 17, 36), std::nullopt, true},
        {"monday 17:36 closing run done", At(7, 17, 36), monday, false},
        {"monday 23:59 closing run done", At(7, 23, 59), monday, false},
        {"friday 17:40, closing run was thursday", At(11, 17, 40), Date{2026, 12, 10}, true},
        {"friday 17:40, closing run done", At(11, 17, 40), Date{2026, 12, 11}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShouldDownloadOnTick(c.now, c.closingRun), c.run) << c.name;
    }
}

TEST(DownloadTick, WorkingDaysAndClose) {
    for (int day = 5; day <= 11; ++day) {
        EXPECT_EQ(IsWorkingDay({2026, 12, day}), day >= 7) << day;
    }
    EXPECT_FALSE(IsAfterClose(At(7, 17, 34)));
    EXPECT_TRUE(IsAfterClose(At(7, 17, 35)));
}

// Whatever zone this machine is set to, the exchange's clock decides what is stale.
TEST(AmsterdamTime, WinterSummerAndTheSwitches) {
    const struct {
        std::time_t utc;
        DateTime amsterdam;
    } rows[] = {
        {1796641200, {2026, 12, 7, 12, 0, 0, 0}},    // 11:00 UTC in winter
        {1782900000, {2026, 7, 1, 12, 0, 0, 0}},     // 10:00 UTC in summer
        {1774745999, {2026, 3, 29, 1, 59, 59, 0}},   // just before the spring switch
        {1774746000, {2026, 3, 29, 3, 0, 0, 0}},     // 01:00 UTC: clocks jump ahead
        {1792889999, {2026, 10, 25, 2, 59, 59, 0}},  // last summer second
        {1792890000, {2026, 10, 25, 2, 0, 0, 0}},    // clocks go back
        {1798759800, {2027, 1, 1, 0, 30, 0, 0}},     // into the next year
    };
    for (const auto& r : rows) {
        EXPECT_EQ(AmsterdamTime(r.utc), r.amsterdam) << r.utc;
    }
}

}  // namespace
}  // namespace rendaal
