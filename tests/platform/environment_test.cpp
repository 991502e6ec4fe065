#include "platform/environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "support/test_support.h"

namespace rendaal {
namespace {

TEST(Environment, LanguageCodeFromLocaleNames) {
    const struct {
        const char* locale;
        const char* code;
    } cases[] = {
        {"nl_NL.UTF-8", "NLD"}, {"nl_BE@euro", "NLD"},  {"af_ZA", "NLD"}, {"nl_NL", "NLD"},
        {"de_DE.UTF-8", "ENU"}, {"en_US.UTF-8", "ENU"}, {"C", "ENU"},     {"POSIX", "ENU"},
        {"nl", "ENU"},          {"fy_NL", "ENU"},       {"", "ENU"},      {"nl_NLX", "ENU"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LanguageCodeForLocale(c.locale), c.code) << c.locale;
    }
}

TEST(Environment, FirstNonEmptyLocaleVariableWins) {
    EXPECT_EQ(LanguageCodeFrom("de_DE", "nl_NL", "nl_NL"), "ENU");
    EXPECT_EQ(LanguageCodeFrom("", "nl_BE", "en_US"), "NLD");
    EXPECT_EQ(LanguageCodeFrom(nullptr, nullptr, "af_ZA.UTF-8"), "NLD");
    EXPECT_EQ(LanguageCodeFrom(nullptr, "", ""), "ENU");
}

TEST(Environment, InitReadsTheLocaleVariables) {
    test::ScopedEnv all("LC_ALL", "");
    test::ScopedEnv messages("LC_MESSAGES", "nl_BE.UTF-8");
    InitEnvironment();
    EXPECT_EQ(ProgramEnvironment().LanguageCode, "NLD");
    EXPECT_TRUE(ProgramEnvironment().NtFamily);
    EXPECT_FALSE(ProgramEnvironment().DesktopFolder.empty());
    EXPECT_EQ(ProgramEnvironment().DesktopFolder.back(), '/');
}

TEST(Environment, WindowsNameTable) {
    const struct {
        int platform, major, minor;
        const char* csd;
        const char* name;
        bool nt;
    } cases[] = {
        {1, 4, 0, "B", "95 OSR2", false},
        {1, 4, 0, "C", "95 OSR2", false},
        {1, 4, 0, "", "95", false},
        {1, 4, 0, "A", "95", false},
        {1, 4, 10, "A", "98 SE", false},
        {1, 4, 10, " A", "98", false},
        {1, 4, 90, "", "ME", false},
        {1, 4, 50, "", "", false},
        {1, 5, 0, "", "9x version (unknown)", false},
        {2, 3, 51, "", "NT", true},
        {2, 4, 0, "", "NT", true},
        {2, 5, 0, "", "2000", true},
        {2, 5, 1, "Service Pack 3", "XP", true},
        {2, 5, 2, "", "Server 2003", true},
        {2, 5, 3, "", "", false},
        {2, 6, 0, "", "Vista", true},
        {2, 6, 1, "", "Windows 7", true},
        {2, 6, 2, "", "Future Windows version (unknown)", true},
        {2, 10, 0, "", "Future Windows version (unknown)", true},
        {0, 3, 1, "", "", false},
        {3, 10, 0, "", "", false},
    };
    for (const auto& c : cases) {
        const std::string name = WindowsName(c.platform, c.major, c.minor, c.csd);
        EXPECT_EQ(name, c.name) << c.platform << " " << c.major << "." << c.minor;
        EXPECT_EQ(IsNtFamily(name), c.nt) << name;
    }
}

const TransitionRule kCetStart{0, 3, 0, 5, 2, 0, 0};  // last Sunday of March, 2:00
const TransitionRule kCetEnd{0, 10, 0, 5, 3, 0, 0};   // last Sunday of October, 3:00

TEST(Environment, RecurringRuleMoments) {
    EXPECT_EQ(TransitionMoment(kCetStart, 2013), (DateTime{2013, 3, 31, 2, 0, 0, 0}));
    EXPECT_EQ(TransitionMoment(kCetEnd, 2013), (DateTime{2013, 10, 27, 3, 0, 0, 0}));
    EXPECT_EQ(TransitionMoment(kCetStart, 2026), (DateTime{2026, 3, 29, 2, 0, 0, 0}));
    EXPECT_EQ(TransitionMoment(kCetEnd, 2026), (DateTime{2026, 10, 25, 3, 0, 0, 0}));
    // Second Sunday of March 2026 (US rule): day 6 is a Friday, so 6 + 0 + 7 - 5 = 8.
    EXPECT_EQ(TransitionMoment({0, 3, 0, 2, 2, 0, 0}, 2026), (DateTime{2026, 3, 8, 2, 0, 0, 0}));
    // Fifth week beyond the month's end falls back a week: February 2026 has four Sundays.
    EXPECT_EQ(TransitionMoment({0, 2, 0, 5, 1, 0, 0}, 2026), (DateTime{2026, 2, 22, 1, 0, 0, 0}));
}

TEST(Environment, RulesWithoutAValidDayGiveNoMoment) {
    EXPECT_FALSE(TransitionMoment({0, 0, 0, 0, 0, 0, 0}, 2013));   // zone without daylight rule
    EXPECT_FALSE(TransitionMoment({0, 3, 0, 1, 2, 0, 0}, 2013));   // first week
    EXPECT_FALSE(TransitionMoment({0, 13, 0, 5, 2, 0, 0}, 2013));  // broken month
    EXPECT_FALSE(TransitionMoment({0, 3, 9, 5, 2, 0, 0}, 2013));   // broken weekday
    EXPECT_FALSE(TransitionMoment({2013, 2, 0, 30, 2, 0, 0}, 2013));
    EXPECT_EQ(TransitionMoment({2013, 4, 0, 7, 2, 30, 5}, 2020),
              (DateTime{2013, 4, 7, 2, 30, 5, 0}));
}

TEST(Environment, DaylightDecisionCentralEurope2013) {
    const struct {
        DateTime now;
        bool saving;
    } cases[] = {
        {{2013, 7, 1, 12, 0, 0, 0}, true},
        {{2013, 3, 31, 2, 0, 0, 0}, false},  // the start itself does not count
        {{2013, 3, 31, 2, 0, 1, 0}, true},
        {{2013, 10, 27, 2, 59, 59, 0}, true},
        {{2013, 10, 27, 3, 0, 0, 0}, false},
        {{2013, 1, 15, 12, 0, 0, 0}, false},
        {{2013, 12, 1, 12, 0, 0, 0}, false},
    };
    for (const auto& c : cases) {
        const Daylight d = DaylightFromRules(31, kCetStart, kCetEnd, 0, -60, c.now);
        EXPECT_EQ(d.saving, c.saving) << FormatDmyHms(c.now);
        EXPECT_DOUBLE_EQ(d.offset, 60.0 / 1440.0);
    }
}

TEST(Environment, DaylightDecisionSpecialCases) {
    const DateTime july{2013, 7, 1, 12, 0, 0, 0};
    const Daylight us = DaylightFromRules(1, kCetStart, kCetEnd, 0, -60, july);
    EXPECT_FALSE(us.saving);
    EXPECT_EQ(us.offset, 0);
    // Southern hemisphere: the period runs over the new year and never counts.
    const TransitionRule octStart{0, 10, 0, 1, 2, 0, 0};
    const TransitionRule aprEnd{0, 4, 0, 1, 3, 0, 0};
    EXPECT_FALSE(DaylightFromRules(61, {0, 10, 0, 2, 2, 0, 0}, {0, 4, 0, 2, 3, 0, 0}, -600, -660,
                                   {2013, 12, 1, 12, 0, 0, 0})
                     .saving);
    EXPECT_FALSE(DaylightFromRules(31, octStart, aprEnd, 0, -60, july).saving);
    EXPECT_FALSE(DaylightFromRules(31, {}, {}, 0, 0, july).saving);
}

TEST(Environment, DaylightFromSystemOffsets) {
    const Daylight summer = DaylightFromOffsets(true, 7200, 3600);
    EXPECT_TRUE(summer.saving);
    EXPECT_DOUBLE_EQ(summer.offset, 1.0 / 24.0);
    const Daylight winter = DaylightFromOffsets(false, 3600, 3600);
    EXPECT_FALSE(winter.saving);
    EXPECT_EQ(winter.offset, 0);
    // Lord Howe Island shifts by half an hour.
    EXPECT_DOUBLE_EQ(DaylightFromOffsets(true, 39600, 37800).offset, 1.0 / 48.0);
}

class ScopedTimeZone final {
public:
    explicit ScopedTimeZone(const char* zone) : env_("TZ", zone) { ::tzset(); }
    ~ScopedTimeZone() { ::tzset(); }

private:
    test::ScopedEnv env_;
};

TEST(Environment, SystemDaylightFollowsTheTimeZoneDatabase) {
    {
        ScopedTimeZone tz("Europe/Amsterdam");
        const std::time_t july = 1372680000;     // 2013-07-01 12:00 UTC
        const std::time_t january = 1358251200;  // 2013-01-15 12:00 UTC
        const Daylight summer = SystemDaylight(july);
        EXPECT_TRUE(summer.saving);
        EXPECT_DOUBLE_EQ(summer.offset, 1.0 / 24.0);
        EXPECT_FALSE(SystemDaylight(january).saving);
    }
    {
        ScopedTimeZone tz("Australia/Sydney");
        const Daylight summer = SystemDaylight(1358251200);  // January is summer there
        EXPECT_TRUE(summer.saving);
        EXPECT_DOUBLE_EQ(summer.offset, 1.0 / 24.0);
    }
    {
        ScopedTimeZone tz("UTC");
        EXPECT_FALSE(SystemDaylight(1372680000).saving);
    }
}

}  // namespace
}  // namespace rendaal
