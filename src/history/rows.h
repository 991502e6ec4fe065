#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/calendar.h"

// Reading a combination's history file: the description of the combination from the file's
// name, the data lines and their fields.
namespace rendaal {

struct ChartHeader {
    std::string kind;         // "Single", "Straddle", "Strangle" (whatever the name holds)
    std::string series;       // "AEX", "AX1", ...
    std::string expiryField;  // YYMM
    int expiryYear = 2000;
    int expiryMonth = 0;
    // Empty when the name gives no real date: a month that is no month, an "AX5" month
    // without a fifth Friday, a series the program does not know.
    std::optional<Date> expiryDate;
    std::string putText;  // strike texts, ".0" appended when they hold no "."
    std::string callText;
    double putValue = 0;
    double callValue = 0;
    double lowStrike = 0;
    double highStrike = 0;
    bool swapped = false;
    std::string putLabel;  // AEX P1303_00460.00
    std::string callLabel;
    int margin = 40;
};

ChartHeader ParseChartFileName(std::string_view name);

// The Friday of the month on which the series expires; empty for a series other than the
// five, a month outside 1..12 or a day beyond the month's end.
std::optional<Date> ExpiryDate(std::string_view series, int year, int month);

struct HistoryRows {
    std::vector<std::string> lines;  // data lines in file order; never empty
    std::string startDate;           // text before the first blank of the first data line
};

// Reads folder + name, skipping the header line. A missing or unreadable file, or a name with
// folder parts, reads as a file without data lines: one empty line and an empty start date.
HistoryRows LoadHistoryRows(const std::string& folder, const std::string& name);
// The same on text already read (tests, benchmarks).
HistoryRows HistoryRowsFromText(std::string_view text);

struct HistoryRow {
    std::string dateText;  // before the first blank; empty when the line has none
    std::string dateTimeField;
    std::string putField;  // field texts keep the blank after each ";"
    std::string callField;
    std::string somField;
    std::string aexField;  // everything after the fourth ";" when it is a level, else empty
};

HistoryRow SplitHistoryRow(std::string_view line);

// The day number of a line's date text, or empty when it is not a real date (99-99-9999 and
// the like count as no date).
std::optional<int64_t> RowDayNumber(const std::string& dateText);

// What the chart passes read of a line, read once for all of them.
struct HistoryRowValues {
    std::optional<Date> date;    // ParseDmy of the date text: the block chart's
    std::optional<int64_t> day;  // RowDayNumber of it: the graph chart's
    int weekday = 0;             // Weekday of date; 0 without one
    bool notDownloaded = false;  // a Som field the download wrote without prices
    double put = 0;              // ParseNumber of the fields
    double call = 0;
    double som = 0;
    double aex = 0;
};
std::vector<HistoryRowValues> HistoryValues(const std::vector<std::string>& lines);

// A history as the chart passes read it: read once for all passes of a chart.
struct ChartHistory {
    HistoryRows rows;
    std::vector<HistoryRowValues> values;
};
ChartHistory ReadChartHistory(const std::string& folder, const std::string& name);

}  // namespace rendaal
