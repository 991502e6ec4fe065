#include "core/calendar.h"

#include <climits>
#include <cmath>
#include <cstdio>

#include "core/text.h"

namespace rendaal {
namespace {

// Howard Hinnant's days_from_civil / civil_from_days, shifted to the 1899-12-30 epoch.

int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

Date CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(y + (m <= 2)), static_cast<int>(m), static_cast<int>(d)};
}

const int64_t kSerialZero = DaysFromCivil(1899, 12, 30);

std::optional<int> ParseInt(std::string_view s) {
    const auto v = ParseInteger(s);
    if (!v || *v < INT_MIN || *v > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(*v);
}

}  // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) {
        return 0;
    }
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
    return year >= 1 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month);
}

int64_t DayNumber(int year, int month, int day) {
    // Months outside 1..12 roll into neighbouring years; days run on from the 1st.
    int64_t y = year;
    int64_t m = month - 1;
    y += m >= 0 ? m / 12 : (m - 11) / 12;
    m = ((m % 12) + 12) % 12;
    return DaysFromCivil(y, static_cast<unsigned>(m + 1), 1) - kSerialZero + (day - 1);
}

Date FromDayNumber(int64_t n) {
    return CivilFromDays(n + kSerialZero);
}

int Weekday(int year, int month, int day) {
    return WeekdayOfDayNumber(DayNumber(year, month, day));
}

int WeekdayOfDayNumber(int64_t n) {
    // Serial 0 (30-12-1899) was a Saturday (7).
    return static_cast<int>(((n % 7) + 7 + 6) % 7) + 1;
}

double ToSerial(const DateTime& t) {
    const double frac =
        (t.hour * 3600000.0 + t.minute * 60000.0 + t.second * 1000.0 + t.msec) / 86400000.0;
    return static_cast<double>(DayNumber(t.year, t.month, t.day)) + frac;
}

DateTime FromSerial(double serial) {
    const double dayPart = std::floor(serial);
    auto ms = static_cast<int64_t>(std::llround((serial - dayPart) * 86400000.0));
    int64_t day = static_cast<int64_t>(dayPart);
    if (ms >= 86400000) {
        ms -= 86400000;
        ++day;
    }
    const Date d = FromDayNumber(day);
    DateTime t{d.year, d.month, d.day};
    t.hour = static_cast<int>(ms / 3600000);
    t.minute = static_cast<int>(ms / 60000 % 60);
    t.second = static_cast<int>(ms / 1000 % 60);
    t.msec = static_cast<int>(ms % 1000);
    return t;
}

DateTime AddDays(const DateTime& t, int days) {
    const Date d = FromDayNumber(DayNumber(t.year, t.month, t.day) + days);
    DateTime r = t;
    r.year = d.year;
    r.month = d.month;
    r.day = d.day;
    return r;
}

int FirstFridayOffset(int year, int month) {
    return (13 - Weekday(year, month, 1)) % 7;
}

int ThirdFriday(int year, int month) {
    return FirstFridayOffset(year, month) + 15;
}

std::optional<int> SeriesDay(std::string_view series, int year, int month) {
    const int f = FirstFridayOffset(year, month);
    if (series == "AX1") {
        return f + 1;
    }
    if (series == "AX2") {
        return f + 8;
    }
    if (series == "AEX") {
        const int day = f + 15;
        return day == 21 && month == 3 ? 20 : day;
    }
    if (series == "AX4") {
        return f + 22;
    }
    if (series == "AX5") {
        return f + 29;
    }
    return std::nullopt;
}

std::optional<Date> ParseDmy(std::string_view text) {
    const auto p1 = text.find('-');
    if (p1 == std::string_view::npos) {
        return std::nullopt;
    }
    const auto p2 = text.find('-', p1 + 1);
    if (p2 == std::string_view::npos) {
        return std::nullopt;
    }
    const auto d = ParseInt(text.substr(0, p1));
    const auto m = ParseInt(text.substr(p1 + 1, p2 - p1 - 1));
    const auto y = ParseInt(text.substr(p2 + 1));
    if (!d || !m || !y || !IsValidDate(*y, *m, *d)) {
        return std::nullopt;
    }
    return Date{*y, *m, *d};
}

std::string FormatDmy(const Date& d) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", d.day, d.month, d.year);
    return buf;
}

std::string FormatDmyHms(const DateTime& t) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour,
                  t.minute, t.second);
    return buf;
}

std::string FormatTimeShort(const DateTime& t) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d:%02d:%02d", t.hour, t.minute, t.second);
    return buf;
}

}  // namespace rendaal
