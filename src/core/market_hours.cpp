#include "core/market_hours.h"

#include "core/clock.h"

namespace rendaal {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Day number of 1 January 1970.
constexpr int64_t kUnixEpochDay = 25569;

int64_t LastSundayDay(int year, int month) {
    const int64_t last = DayNumber(year, month, DaysInMonth(year, month));
    return last - (Weekday(FromDayNumber(last)) - 1);
}

DateTime FromUtcSeconds(int64_t s) {
    const int64_t days =
        s >= 0 ? s / kSecondsPerDay : -((-s + kSecondsPerDay - 1) / kSecondsPerDay);
    const auto rest = static_cast<int>(s - days * kSecondsPerDay);
    const Date d = FromDayNumber(days + kUnixEpochDay);
    return {d.year, d.month, d.day, rest / 3600, rest / 60 % 60, rest % 60, 0};
}

}  // namespace

DateTime AmsterdamTime(std::time_t t) {
    const auto utc = static_cast<int64_t>(t);
    const int year = FromUtcSeconds(utc).year;
    const int64_t summerFrom = (LastSundayDay(year, 3) - kUnixEpochDay) * kSecondsPerDay + 3600;
    const int64_t summerTo = (LastSundayDay(year, 10) - kUnixEpochDay) * kSecondsPerDay + 3600;
    const bool summer = utc >= summerFrom && utc < summerTo;
    return FromUtcSeconds(utc + (summer ? 7200 : 3600));
}

DateTime AmsterdamTimeOfLocal(const DateTime& local) {
    DateTime a = AmsterdamTime(FromLocalDateTime(local));
    a.msec = local.msec;
    return a;
}

int MinuteOfDay(const DateTime& t) {
    return t.hour * 60 + t.minute;
}

bool IsWorkingDay(const Date& date) {
    const int w = Weekday(date);
    return w >= 2 && w <= 6;
}

bool IsBeforeOpening(const DateTime& t) {
    return MinuteOfDay(t) < kOpeningMinute;
}

bool IsAfterClose(const DateTime& now) {
    return MinuteOfDay(now) >= kClosingMinute;
}

DateTime ClosingTime(const Date& date) {
    return {date.year, date.month, date.day, kClosingMinute / 60, kClosingMinute % 60, 0, 0};
}

bool ShouldDownloadOnTick(const DateTime& now, const std::optional<Date>& closingRunDate) {
    if (!IsWorkingDay(now.date())) {
        return false;
    }
    const int minute = MinuteOfDay(now);
    if (minute < kOpeningMinute) {
        return false;
    }
    if (minute < kClosingMinute) {
        return true;
    }
    return !closingRunDate || !(*closingRunDate == now.date());
}

}  // namespace rendaal
