#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

// What the add dialog offers and composes: the exercise prices of a series found on the last
// quote page, and the combination line built from the user's choices.
namespace rendaal {

// The month list shows the Dutch names on any system, so the month number is always found.
inline constexpr std::array<const char*, 12> kDutchMonthNames = {
    "januari", "februari", "maart",     "april",   "mei",      "juni",
    "juli",    "augustus", "september", "oktober", "november", "december"};
inline constexpr std::array<const char*, 12> kDutchShortMonthNames = {
    "jan", "feb", "mrt", "apr", "mei", "jun", "jul", "aug", "sep", "okt", "nov", "dec"};
// In the order of the series buttons.
inline constexpr std::array<const char*, 5> kSeriesCodes = {"AX1", "AX2", "AEX", "AX4", "AX5"};

// 1..12 for a Dutch month name (exact), 0 for anything else.
int DutchMonthNumber(std::string_view name);

struct StrikeLists {
    // "Geen" first, then the prices with a point ("350.00") in page order; may repeat.
    std::vector<std::string> items;
    int selected = -1;  // index into items, -1 for no selection
};

// The prices of the calls on the tag-stripped quote page that expire in the given month (Dutch
// name) and year (exact text) on a day of the series' week (seriesIndex 0..4: AX1 days 1-7,
// AX2 8-14, AEX 15-21, AX4 22-28, AX5 29-31), above 100. Rows after the "C/P" header read
// "C19-03-2027880,0012,35..."; anything else on the page is skipped. The middle-ish price is
// selected: item count / 2 + 2, none when that lies beyond the list.
StrikeLists FillStrikeLists(std::string_view page, std::string_view monthName,
                            std::string_view yearText, int seriesIndex);

struct LineChoices {
    int seriesIndex = 2;
    std::string monthName;  // Dutch long name
    std::string yearText;   // four digits
    std::string putText;    // "Geen", "350.00", or empty when nothing is chosen
    std::string callText;
};

struct Composition {
    std::string line;
    int month = 0;  // the month number the line was built with
    // False when a part is missing (no price chosen on a side, no month, no year): such a line
    // names no option that can ever be looked up, so it is shown but not added.
    bool complete = false;
};

// The combination line, e.g.
// "AEX 2703 00880.00 00960.00; Put: mrt 2027 880.00; Call: mrt 2027 960.00; Strangle".
// A month name that is not recognised keeps previousMonth.
Composition ComposeLine(const LineChoices& choices, int previousMonth);

struct YearSpan {
    int from = 0;
    int till = 0;
};
// The years the year list offers: yearFrom to yearTill, or firstOpenYear when no run has set a
// usable range yet; none before firstOpenYear, never more than eleven years.
YearSpan OfferedYears(int yearFrom, int yearTill, int firstOpenYear);

struct YearMonth {
    int year = 0;
    int month = 0;
};
// The month of the next monthly expiry, as the download run asks for it: this month until its
// third Friday has passed, then the next. The months before it have expired.
YearMonth FirstOpenMonth(int year, int month, int day);
// The months (1..12) of year that have not expired: all in a later year, none in an earlier.
std::vector<int> OpenMonths(int year, const YearMonth& firstOpen);
// Index into the month list for a request month (1..12), the current month when it is unset.
int MonthIndexFor(int monthFrom, int currentMonth);

}  // namespace rendaal
