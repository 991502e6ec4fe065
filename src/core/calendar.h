#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Dates as the program counts them: weekdays 1 = Sunday .. 7 = Saturday, day numbers as a
// plain consecutive count (0 = 30 December 1899, the Windows date serial the files come from).
namespace rendaal {

struct Date {
    int year = 1899;
    int month = 12;
    int day = 30;
    friend bool operator==(const Date&, const Date&) = default;
};

struct DateTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int msec = 0;
    Date date() const { return {year, month, day}; }
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);

// Day number of a date. The day may lie outside the month (day 0, day 35): the count simply
// runs on, which is what the expiry-day arithmetic needs.
int64_t DayNumber(int year, int month, int day);
inline int64_t DayNumber(const Date& d) {
    return DayNumber(d.year, d.month, d.day);
}
Date FromDayNumber(int64_t n);

// 1 = Sunday .. 7 = Saturday.
int Weekday(int year, int month, int day);
inline int Weekday(const Date& d) {
    return Weekday(d.year, d.month, d.day);
}
int WeekdayOfDayNumber(int64_t n);

// Date serial with the time of day as fraction, as the Windows program's date-time values.
double ToSerial(const DateTime& t);
DateTime FromSerial(double serial);
DateTime AddDays(const DateTime& t, int days);

// Days from the 1st of the month to its first Friday (0..6).
int FirstFridayOffset(int year, int month);
// Day of the month of the third Friday, without the March rule.
int ThirdFriday(int year, int month);
// Expiry day of a series ("AX1", "AX2", "AEX", "AX4", "AX5") in a month; "AEX" takes 20 when
// its third Friday is 21 March. Empty for any other series. The day may lie beyond the
// month's end ("AX5").
std::optional<int> SeriesDay(std::string_view series, int year, int month);

// "dd-mm-yyyy" (also d-m-yyyy); empty unless it is a real date.
std::optional<Date> ParseDmy(std::string_view text);
std::string FormatDmy(const Date& d);            // dd-mm-yyyy
std::string FormatDmyHms(const DateTime& t);     // dd-mm-yyyy hh:mm:ss
std::string FormatTimeShort(const DateTime& t);  // H:mm:ss

}  // namespace rendaal
