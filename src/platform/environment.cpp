#include "platform/environment.h"

#include <cstdlib>

#include "platform/app_paths.h"

namespace rendaal {
namespace {

Environment gEnvironment;

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.substr(0, prefix.size()) == prefix;
}

// 0 = Sunday.
int WeekdayFromSunday(int year, int month, int day) {
    return Weekday(year, month, day) - 1;
}

bool Before(const DateTime& a, const DateTime& b) {
    return ToSerial(a) < ToSerial(b);
}

}  // namespace

const Environment& ProgramEnvironment() {
    return gEnvironment;
}

void InitEnvironment() {
    Environment env;
    env.LanguageCode =
        LanguageCodeFrom(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    env.NtFamily = true;
    env.DesktopFolder = DataFolderBase();
    const Daylight daylight = SystemDaylight(std::time(nullptr));
    env.DaylightSaving = daylight.saving;
    env.DaylightOffset = daylight.offset;
    gEnvironment = env;
}

std::string LanguageCodeForLocale(std::string_view locale) {
    // Language and territory only: the codeset and modifier ("UTF-8", "@euro") do not matter.
    const std::string_view base = locale.substr(0, locale.find_first_of(".@"));
    return base == "nl_NL" || base == "nl_BE" || base == "af_ZA" ? "NLD" : "ENU";
}

std::string LanguageCodeFrom(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value && *value) {
            return LanguageCodeForLocale(value);
        }
    }
    return "ENU";
}

std::string WindowsName(int platform, int major, int minor, std::string_view servicePack) {
    if (platform == 1) {
        if (major != 4) {
            return "9x version (unknown)";
        }
        switch (minor) {
            case 0:
                return StartsWith(servicePack, "B") || StartsWith(servicePack, "C") ? "95 OSR2"
                                                                                    : "95";
            case 10:
                return StartsWith(servicePack, "A") ? "98 SE" : "98";
            case 90:
                return "ME";
            default:
                return "";
        }
    }
    if (platform == 2) {
        if (major <= 4) {
            return "NT";
        }
        if (major == 5) {
            static const char* const kNames[] = {"2000", "XP", "Server 2003"};
            return minor >= 0 && minor <= 2 ? kNames[minor] : "";
        }
        if (major == 6 && minor == 0) {
            return "Vista";
        }
        if (major == 6 && minor == 1) {
            return "Windows 7";
        }
        if (major == 6 && minor < 0) {
            return "";
        }
        return "Future Windows version (unknown)";
    }
    return "";
}

bool IsNtFamily(std::string_view name) {
    for (std::string_view nt : {"NT", "2000", "XP", "Server 2003", "Vista", "Windows 7",
                                "Future Windows version (unknown)"}) {
        if (name == nt) {
            return true;
        }
    }
    return false;
}

std::optional<DateTime> TransitionMoment(const TransitionRule& rule, int year) {
    if (rule.hour < 0 || rule.hour > 23 || rule.minute < 0 || rule.minute > 59 || rule.second < 0 ||
        rule.second > 59) {
        return std::nullopt;
    }
    if (rule.year != 0) {
        if (!IsValidDate(rule.year, rule.month, rule.day)) {
            return std::nullopt;
        }
        return DateTime{rule.year, rule.month, rule.day, rule.hour, rule.minute, rule.second, 0};
    }
    if (rule.month < 1 || rule.month > 12 || rule.day < 1 || rule.day > 5 || rule.dayOfWeek < 0 ||
        rule.dayOfWeek > 6 || year < 1 || year > 9999) {
        return std::nullopt;
    }
    int d = 7 * rule.day - 8;
    // The first week starts before the month: no day to take the weekday of.
    if (d < 1) {
        return std::nullopt;
    }
    const int weekday = WeekdayFromSunday(year, rule.month, d);
    if (weekday != 0) {
        d = d + rule.dayOfWeek + 7 - weekday;
    }
    if (d > DaysInMonth(year, rule.month)) {
        d -= 7;
    }
    return DateTime{year, rule.month, d, rule.hour, rule.minute, rule.second, 0};
}

Daylight DaylightFromRules(int country, const TransitionRule& daylightDate,
                           const TransitionRule& standardDate, int standardBias, int daylightBias,
                           const DateTime& now) {
    Daylight result;
    if (country == 1) {
        return result;
    }
    result.offset = (standardBias - daylightBias) / 1440.0;
    const auto start = TransitionMoment(daylightDate, now.year);
    const auto end = TransitionMoment(standardDate, now.year);
    result.saving = start && end && Before(*start, now) && Before(now, *end);
    return result;
}

Daylight DaylightFromOffsets(bool isDst, long utcOffsetNow, long utcOffsetStandard) {
    Daylight result;
    if (!isDst) {
        return result;
    }
    result.saving = true;
    result.offset = static_cast<double>(utcOffsetNow - utcOffsetStandard) / 86400.0;
    return result;
}

Daylight SystemDaylight(std::time_t t) {
    std::tm now{};
    if (!::localtime_r(&t, &now)) {
        return {};
    }
    long standard = now.tm_gmtoff;
    if (now.tm_isdst > 0) {
        // The standard offset is the one in force at a moment of the year without daylight
        // saving; look at the middle of each month.
        std::tm probe{};
        for (int month = 0; month < 12; ++month) {
            std::tm at{};
            at.tm_year = now.tm_year;
            at.tm_mon = month;
            at.tm_mday = 15;
            at.tm_hour = 12;
            at.tm_isdst = -1;
            const std::time_t pt = std::mktime(&at);
            if (pt != static_cast<std::time_t>(-1) && ::localtime_r(&pt, &probe) &&
                probe.tm_isdst == 0) {
                standard = probe.tm_gmtoff;
                break;
            }
        }
    }
    return DaylightFromOffsets(now.tm_isdst > 0, now.tm_gmtoff, standard);
}

}  // namespace rendaal
