#pragma once

#include <ctime>
#include <optional>

#include "core/calendar.h"

// The AEX trading day as the program counts it: working days, the 09:00 opening and the 17:35
// close, after which the day's closing prices are out.
namespace rendaal {

inline constexpr int kOpeningMinute = 9 * 60;
inline constexpr int kClosingMinute = 17 * 60 + 35;

// Amsterdam's wall clock at a moment: CET, and CEST from the last Sunday of March 01:00 UTC
// to the last Sunday of October 01:00 UTC. The exchange keeps this time whatever zone the
// machine is set to.
DateTime AmsterdamTime(std::time_t t);
// The same for a local date and time of this machine.
DateTime AmsterdamTimeOfLocal(const DateTime& local);

int MinuteOfDay(const DateTime& t);
bool IsWorkingDay(const Date& date);
// Before 09:00:00 (seconds count: 08:59:59 is before).
bool IsBeforeOpening(const DateTime& t);
// Whether a download started at now catches the closing prices (17:35 or later).
bool IsAfterClose(const DateTime& now);
// 17:35:00 of that day.
DateTime ClosingTime(const Date& date);

// A download-timer tick runs on working days from 09:00 until 17:35, and once more at or after
// 17:35 for the closing prices unless a run after the close already happened that day
// (closingRunDate). Nothing before 09:00, at weekends, or later that evening.
bool ShouldDownloadOnTick(const DateTime& now, const std::optional<Date>& closingRunDate);

}  // namespace rendaal
