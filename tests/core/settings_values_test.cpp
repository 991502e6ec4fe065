#include "core/settings_values.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace rendaal {
namespace {

constexpr std::string_view kKey = "HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults";

TEST(ReadUserSettings, MissingValuesGiveTheDefaults) {
    const UserSettings s = ReadUserSettings(RegFile(), kKey);
    EXPECT_EQ(s.years, 1);
    EXPECT_TRUE(s.downloadTimer);
    EXPECT_EQ(s.minutes, 1);
    EXPECT_TRUE(s.updates);
    EXPECT_EQ(s.days, 30);
    EXPECT_FALSE(s.opruim);
}

struct StoredCase {
    const char* name;
    bool asString;
    const char* text;  // as a string value
    int64_t dword;     // as a DWORD value
    int years, minutes, days;
};

TEST(ReadUserSettings, StoredNumbersComeBackInsideTheLimits) {
    const StoredCase cases[] = {
        {"zero", false, "", 0, 1, 1, 20},
        {"minus five", false, "", -5, 1, 1, 20},
        {"minus five as text", true, "-5", 0, 1, 1, 20},
        {"100000", false, "", 100000, 5, 35791, 360},
        {"not a number", true, "veel", 0, 1, 1, 30},
        {"empty text", true, "", 0, 1, 1, 30},
        {"in range as text", true, "3", 0, 3, 3, 20},
        {"90", false, "", 90, 5, 90, 90},
        {"45 as text", true, "45", 0, 5, 45, 45},
    };
    for (const StoredCase& c : cases) {
        RegFile file;
        for (std::string_view name : {kYearsValue, kMinutesValue, kDaysValue}) {
            if (c.asString) {
                file.SetString(kKey, name, c.text);
            } else {
                file.SetDword(kKey, name, static_cast<uint32_t>(c.dword));
            }
        }
        const UserSettings s = ReadUserSettings(file, kKey);
        EXPECT_EQ(s.years, c.years) << c.name;
        EXPECT_EQ(s.minutes, c.minutes) << c.name;
        EXPECT_EQ(s.days, c.days) << c.name;
        EXPECT_GT(TimerIntervalMs(s.minutes), 0) << c.name;
    }
}

TEST(ReadUserSettings, OnOffValuesOfEitherKind) {
    RegFile file;
    file.SetDword(kKey, kUpdatesValue, 1);
    file.SetString(kKey, kDownloadTimerValue, "0");
    file.SetString(kKey, kOpruimValue, "ja");  // not a number: the default (off)
    UserSettings s = ReadUserSettings(file, kKey);
    EXPECT_TRUE(s.updates);
    EXPECT_FALSE(s.downloadTimer);
    EXPECT_FALSE(s.opruim);
    file.SetDword(kKey, kOpruimValue, 7);
    EXPECT_TRUE(ReadUserSettings(file, kKey).opruim);
}

TEST(WriteUserSettings, ReadsBackAndKeepsStringKinds) {
    RegFile file;
    file.SetString(kKey, kDaysValue, "25");  // written by hand as a string: stays one
    const UserSettings in{4, false, 17, false, 115, true};
    WriteUserSettings(file, kKey, in);
    const UserSettings out = ReadUserSettings(file, kKey);
    EXPECT_EQ(out.years, 4);
    EXPECT_FALSE(out.downloadTimer);
    EXPECT_EQ(out.minutes, 17);
    EXPECT_FALSE(out.updates);
    EXPECT_EQ(out.days, 115);
    EXPECT_TRUE(out.opruim);
    EXPECT_EQ(file.Find(kKey, kYearsValue)->type, RegValue::Type::Dword);
    EXPECT_EQ(file.Find(kKey, kDaysValue)->type, RegValue::Type::String);
    EXPECT_EQ(file.Find(kKey, kDaysValue)->text, "115");
    EXPECT_EQ(file.Find(kKey, kDownloadTimerValue)->type, RegValue::Type::String);
    EXPECT_EQ(file.Find(kKey, kDownloadTimerValue)->text, "0");
    EXPECT_EQ(file.Find(kKey, kOpruimValue)->text, "1");
}

TEST(BoxValue, TextsThatAreNotNumbersCountAsTheMinimum) {
    const struct {
        const char* text;
        int expected;
    } cases[] = {
        {"", 20},      {"abc", 20},  {"45", 45},
        {" 50 ", 50},  {"+55", 55},  {"-30", 20},
        {"1000", 360}, {"12,5", 20}, {"99999999999999999999999", 360},
        {"-", 20},     {"3a", 20},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BoxValue(c.text, kDaysLimits), c.expected) << '"' << c.text << '"';
    }
    EXPECT_EQ(BoxValue("", kYearsLimits), 1);
    EXPECT_EQ(BoxValue("9", kYearsLimits), 5);
}

TEST(TimerIntervalMs, NeverZeroNeverOverflows) {
    EXPECT_EQ(TimerIntervalMs(1), 60000);
    EXPECT_EQ(TimerIntervalMs(90), 90 * 60000);
    EXPECT_EQ(TimerIntervalMs(0), 60000);
    EXPECT_EQ(TimerIntervalMs(-5), 60000);
    EXPECT_LE(TimerIntervalMs(INT_MAX), INT_MAX);
    EXPECT_GT(TimerIntervalMs(INT_MAX), 0);
}

}  // namespace
}  // namespace rendaal
