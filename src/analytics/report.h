#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analytics/overview.h"

// The overview and the volatility history as text: CSV for programs (RFC 4180, "." decimals,
// ISO dates) and an aligned Dutch table for people.
namespace rendaal {

inline constexpr const char* kOverviewCsvHeader =
    "key,kind,expiry,days,first_date,last_date,stale,som_first,som_last,result_eur,aex_last,"
    "intrinsic,time_value,be_low,be_high,iv_put,iv_call,check,delta,gamma,theta_day,vega,pop,em,"
    "alerts";
inline constexpr const char* kIvCsvHeader = "date,aex,put,call,iv_put,iv_call";

// Fixed-point text, independent of the C locale; empty for an absent or non-finite value.
std::string FormatFixed(std::optional<double> value, int decimals, char separator = '.');
std::string FormatIsoDate(const Date& d);
// Quoted when it holds a comma, a double quote, CR or LF; quotes doubled.
std::string CsvField(std::string_view text);
std::string JoinChecks(const std::vector<std::string>& checks);

// Records end with CR LF, the header included.
std::string OverviewCsv(const std::vector<OverviewRow>& rows);
std::string IvCsv(const std::vector<IvRow>& rows);
// Lines end with LF.
std::string OverviewTable(const std::vector<OverviewRow>& rows);
std::string IvTable(const std::vector<IvRow>& rows);

// The overview's cells as the table shows them, Dutch decimals; the window uses the same.
struct TableColumn {
    const char* title;
    bool number;  // right-aligned
};
const std::vector<TableColumn>& OverviewColumns();
std::vector<std::string> OverviewCells(const OverviewRow& row);

// The lines added to the chart's hover read-out when the theoretical value is shown (each
// ended by CR).
std::string TheoryHoverLines(const OverviewRow& row);

}  // namespace rendaal
