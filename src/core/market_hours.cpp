#include "core/market_hours.h"

namespace rendaal {

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
