#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analytics/black_scholes.h"
#include "analytics/greeks.h"
#include "core/calendar.h"
#include "history/history_text.h"

// Where each combination stands: its result so far, intrinsic and time value, break-evens, the
// volatility its last prices imply, and whether its history has stopped growing.
namespace rendaal {

inline constexpr const char* kBelowIntrinsicFlag = "onder intrinsieke waarde";
inline constexpr const char* kNoIndexFlag = "geen AEX";
inline constexpr const char* kUnreadableRowFlag = "onleesbare regel";
inline constexpr const char* kUnreadableStrikeFlag = "onleesbare strike";
// A price may lie this far under its no-arbitrage floor before it is flagged: quotes are
// rounded to cents and the index level is not read at the same second.
inline constexpr double kBelowBoundSlack = 0.05;

// The exercise prices of a combination; a "Geen" side (or one that is not a positive number)
// is absent.
struct Strikes {
    std::optional<double> put;
    std::optional<double> call;
};

struct OverviewRow {
    std::string key;
    std::string kind;
    std::optional<Date> expiry;
    std::optional<int64_t> days;  // from today to expiry
    Strikes strikes;
    bool hasHistory = false;
    std::optional<Date> firstDate;
    std::optional<Date> lastDate;
    std::optional<bool> stale;
    std::optional<double> somFirst;
    std::optional<double> somLast;
    std::optional<double> resultEur;
    std::optional<double> aexLast;
    std::optional<double> intrinsic;
    std::optional<double> timeValue;
    std::optional<double> beLow;
    std::optional<double> beHigh;
    std::optional<double> ivPut;  // fractions (0.2 for 20 %)
    std::optional<double> ivCall;
    RiskFigures risk;
    std::vector<std::string> checks;
    // The names of the alerts that hold; filled by the caller, which knows the limits.
    std::vector<std::string> alerts;
};

// max(Kp - x, 0) + max(x - Kc, 0), absent sides left out.
double IntrinsicValue(const Strikes& strikes, double level);

// The latest working day (Mon-Fri) whose close has passed at now (Amsterdam time).
Date LatestClose(const DateTime& now);

// The index level of a history line's AEX field; empty when it is no level (ParseIndexLevel).
std::optional<double> IndexLevel(std::string_view aexField);

// Years from one day to another, as the volatility is quoted (calendar days / 365).
double YearsBetween(const Date& from, const Date& to);

// One combination line with its history file as read (nullptr: no history file).
OverviewRow OverviewOf(std::string_view line, const HistoryText* history, const Rates& rates,
                       const DateTime& now);

// The same from a history file's name and text; the key stays empty.
OverviewRow HistoryOverview(std::string_view fileName, const HistoryText& history,
                            const Rates& rates, const DateTime& now);
// What a history file adds to its overview row, small enough to keep for many files: the
// earliest and latest usable rows and whether the latest dated line is damaged. Lines dated
// after notAfter (the trading day of a run now) count as undated.
struct HistorySummary {
    struct Row {
        Date date;
        double som = 0;
        std::string aex;
        std::optional<double> put;
        std::optional<double> call;
    };
    std::optional<Row> first;
    std::optional<Row> last;
    bool latestDamaged = false;
};
HistorySummary SummarizeHistory(std::string_view fileName, const HistoryText& history,
                                std::optional<Date> notAfter = std::nullopt);
// The same from a dates-only reading: only the lines that can be chosen are read in full.
HistorySummary SummarizeHistory(std::string_view fileName, const HistoryDates& history,
                                std::optional<Date> notAfter = std::nullopt);
OverviewRow SummaryOverview(std::string_view fileName, const HistorySummary& summary,
                            const Rates& rates, const DateTime& now);

// From data lines already cut (header left out).
OverviewRow HistoryOverview(std::string_view fileName, const std::vector<std::string>& lines,
                            const Rates& rates, const DateTime& now);

// Every line of the rules, in order, with its history file from folder. Only regular files are
// read; anything else counts as no history file.
std::vector<OverviewRow> LoadOverview(const std::string& folder,
                                      const std::vector<std::string>& lines, const Rates& rates,
                                      const DateTime& now);

// One dated line of a history file with the volatilities its prices imply.
struct IvRow {
    Date date;
    std::optional<double> aex;
    std::optional<double> put;  // absent side: empty
    std::optional<double> call;
    std::optional<double> ivPut;
    std::optional<double> ivCall;
};

// Whether a file is a combination's history: a name as the program gives it (kind, series,
// expiry, readable strikes, ".csv") and a text that is empty, starts with the header or holds a
// dated line.
bool IsHistoryFile(std::string_view fileName, std::string_view text);

// Strikes and expiry from the history file's name, one row per dated line in file order; the
// rows the block chart skips (not downloaded, no date) are left out.
std::vector<IvRow> IvHistory(std::string_view fileName, const HistoryText& history,
                             const Rates& rates);
std::vector<IvRow> IvHistory(std::string_view fileName, const std::vector<std::string>& lines,
                             const Rates& rates);

// The value at index level x, t years before expiry, with the given volatilities; empty when a
// present side has no volatility. t <= 0 gives the value at expiry.
std::optional<double> TheoreticalValue(const Strikes& strikes, std::optional<double> ivPut,
                                       std::optional<double> ivCall, double level, double t,
                                       const Rates& rates);

Strikes StrikesOfFileName(std::string_view fileName);

}  // namespace rendaal
