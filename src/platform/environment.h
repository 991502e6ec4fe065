#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "core/calendar.h"

// Facts about the user's system, worked out once before any window exists and read
// program-wide afterwards.
namespace rendaal {

struct Environment {
    std::string LanguageCode = "ENU";  // "NLD" for the Dutch texts, "ENU" otherwise
    bool NtFamily = true;
    std::string DesktopFolder;  // the per-user base of the data folder, ending in "/"
    bool DaylightSaving = false;
    double DaylightOffset = 0;  // in days (1/24 for a one-hour shift)
};

// The values computed by InitEnvironment (defaults before it ran).
const Environment& ProgramEnvironment();
// Computes the values from the process environment and the system time zone. Called once,
// before the first window; later calls recompute (tests change the environment).
void InitEnvironment();

// "nl_NL.UTF-8", "nl_BE@euro", "af_ZA" give "NLD"; anything else "ENU".
std::string LanguageCodeForLocale(std::string_view locale);
// The first non-empty of LC_ALL, LC_MESSAGES, LANG decides, as POSIX looks them up.
std::string LanguageCodeFrom(const char* lcAll, const char* lcMessages, const char* lang);

// Short name of a Windows version from GetVersionEx's platform id, version and service-pack
// text; kept so that data taken over from Windows systems can be judged the same way.
std::string WindowsName(int platform, int major, int minor, std::string_view servicePack);
bool IsNtFamily(std::string_view windowsName);

// A time-zone transition as Windows describes it: year 0 means a recurring rule (month, week
// 1..5 with 5 the last, weekday 0 = Sunday); otherwise an absolute date.
struct TransitionRule {
    int year = 0;
    int month = 0;
    int dayOfWeek = 0;
    int day = 0;  // week number for a recurring rule, day of the month for an absolute one
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// The moment of a rule in year Y; empty when the rule names no valid day (no daylight rule,
// a first-week rule that falls before the month, a broken date).
std::optional<DateTime> TransitionMoment(const TransitionRule& rule, int year);

struct Daylight {
    bool saving = false;
    double offset = 0;  // days
};

// The Windows decision: country 1 never counts; otherwise in effect strictly between the
// daylight and the standard transition of now's year, offset (standard − daylight bias) / 1440.
Daylight DaylightFromRules(int country, const TransitionRule& daylightDate,
                           const TransitionRule& standardDate, int standardBias, int daylightBias,
                           const DateTime& now);

// The same values from the system time zone: isDst and the current and standard UTC offsets
// in seconds (east positive).
Daylight DaylightFromOffsets(bool isDst, long utcOffsetNow, long utcOffsetStandard);
// For the local time zone at time t.
Daylight SystemDaylight(std::time_t t);

}  // namespace rendaal
