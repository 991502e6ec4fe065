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

// The overview's columns as the window and the text table show them, the ones a user needs
// first on the left; the CSV keeps its own order (kOverviewCsvHeader).
enum class OverviewColumnId {
    Key,
    Alerts,
    Result,
    Days,
    SomLast,
    Aex,
    Pop,
    BeLow,
    BeHigh,
    Em,
    Theta,
    Delta,
    Vega,
    Gamma,
    IvPut,
    IvCall,
    TimeValue,
    Intrinsic,
    SomFirst,
    Kind,
    Expiry,
    FirstDate,
    LastDate,
    Stale,
    Check
};
struct TableColumn {
    const char* title;
    bool number;  // right-aligned
    OverviewColumnId id = OverviewColumnId::Key;
    const char* csv = "";  // its name in the CSV header
    const char* tip = "";  // definition and unit
    // Shown only while some row holds something: a column of findings that is empty says
    // nothing.
    bool hideWhenEmpty = false;
};
const std::vector<TableColumn>& OverviewColumns();
// Dutch decimals; amounts in euro through FormatMoney.
std::string OverviewCell(const OverviewRow& row, OverviewColumnId id);
std::vector<std::string> OverviewCells(const OverviewRow& row);
// What a column sorts by: the value of a number or date column (empty cells first), nothing
// for a text column.
std::optional<double> OverviewSortKey(const OverviewRow& row, OverviewColumnId id);
// A list of columns as stored: their CSV names, comma-separated. Names that are no column (a
// hand edit, a newer version's column) are left out.
std::vector<OverviewColumnId> ColumnsNamed(std::string_view names);
std::string ColumnNames(const std::vector<OverviewColumnId>& ids);

// The lines added to the chart's hover read-out when the theoretical value is shown (each
// ended by CR).
std::string TheoryHoverLines(const OverviewRow& row);

}  // namespace rendaal
