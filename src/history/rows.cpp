#include "history/rows.h"

#include <algorithm>

#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"
#include "history/history_text.h"

namespace rendaal {
namespace {

// The Som the download writes when it found no prices.
constexpr std::string_view kNotDownloaded = " 0,00";

// The number in two characters of the expiry field; -1 unless both are digits.
int TwoDigitNumber(std::string_view field, size_t pos) {
    if (field.size() < pos + 2) {
        return -1;
    }
    const char a = field[pos];
    const char b = field[pos + 1];
    if (a < '0' || a > '9' || b < '0' || b > '9') {
        return -1;
    }
    return (a - '0') * 10 + (b - '0');
}

std::string WithPoint(std::string text) {
    if (text.find('.') == std::string::npos) {
        text += ".0";
    }
    return text;
}

}  // namespace

ChartHeader ParseChartFileName(std::string_view name) {
    ChartHeader h;
    h.kind = BeforeFirst('_', name);
    h.margin = h.kind == "Strangle" || h.kind == "Single" ? 20 : 40;

    std::string rest(name.substr(0, name.find(".csv")));
    rest = AfterFirst('_', rest);
    h.series = BeforeFirst('_', rest);
    rest = AfterFirst('_', rest);
    h.expiryField = BeforeFirst('_', rest);
    h.putLabel = h.series + " P" + h.expiryField;
    h.callLabel = h.series + " C" + h.expiryField;
    rest = AfterFirst('_', rest);

    h.putText = WithPoint(BeforeFirst('_', rest));
    h.putLabel += "_" + h.putText;
    const CombinationTerms terms = ReadTermsOfFileName(name);
    h.putValue = terms.put.strike().value_or(0);
    h.callText = WithPoint(AfterFirst('_', rest));
    h.callLabel += "_" + h.callText;
    h.callValue = terms.call.strike().value_or(0);

    h.lowStrike = h.putValue;
    h.highStrike = h.callValue;
    h.swapped = !(h.highStrike >= h.lowStrike);
    if (h.swapped) {
        std::swap(h.lowStrike, h.highStrike);
    }

    const int yy = TwoDigitNumber(h.expiryField, 0);
    const int mm = TwoDigitNumber(h.expiryField, 2);
    h.expiryYear = 2000 + (yy < 0 ? 0 : yy);
    h.expiryMonth = mm < 0 ? 0 : mm;
    if (yy >= 0) {
        h.expiryDate = ExpiryDate(h.series, h.expiryYear, h.expiryMonth);
    }
    return h;
}

std::optional<Date> ExpiryDate(std::string_view series, int year, int month) {
    if (month < 1 || month > 12 || year < 1 || year > 9999) {
        return std::nullopt;
    }
    const auto day = SeriesDay(series, year, month);
    if (!day || !IsValidDate(year, month, *day)) {
        return std::nullopt;
    }
    return Date{year, month, *day};
}

HistoryRows HistoryRowsFromText(std::string_view text) {
    // The shared reader: a BOM, UTF-16, a header in another spelling or blank lines no longer
    // make the first data line a header, or a blank a row.
    // The charts read the fields themselves: of the reader only its lines are needed.
    HistoryDates read;
    ReadHistoryDates(text, read);
    HistoryRows rows;
    rows.lines.reserve(read.lines.size() + 1);
    for (const auto& line : read.lines) {
        // A tab where the program writes a blank (an editor's save) still splits date and time.
        std::string& text = rows.lines.emplace_back(line.text);
        if (line.text.find('\t') != std::string_view::npos) {
            std::replace(text.begin(), text.end(), '\t', ' ');
        }
    }
    if (rows.lines.empty()) {
        rows.lines.emplace_back();
    }
    rows.startDate = BeforeFirst(' ', rows.lines.front());
    return rows;
}

HistoryRows LoadHistoryRows(const std::string& folder, const std::string& name) {
    // Names come from the rules file; one that leaves the data folder is read as missing.
    const auto text = IsPlainFileName(name) ? ReadFile(folder + name) : std::nullopt;
    return HistoryRowsFromText(text ? std::string_view(*text) : std::string_view());
}

namespace {

// A line's fields as views into it; rest is the text after the fourth ";" (more: there is one).
struct RowFields {
    std::string_view dateText;
    std::string_view fields[4];
    std::string_view rest;
    bool more = true;
};

RowFields SplitFields(std::string_view line) {
    RowFields f;
    const auto blank = line.find(' ');
    f.dateText = blank == std::string_view::npos ? std::string_view() : line.substr(0, blank);
    std::string_view rest = line;
    for (auto& field : f.fields) {
        if (!f.more) {
            break;
        }
        const auto p = rest.find(';');
        field = rest.substr(0, p);
        if (p == std::string_view::npos) {
            f.more = false;
            rest = {};
        } else {
            rest = rest.substr(p + 1);
        }
    }
    f.rest = rest;
    return f;
}

}  // namespace

HistoryRow SplitHistoryRow(std::string_view line) {
    const RowFields f = SplitFields(line);
    HistoryRow row;
    row.dateText = f.dateText;
    row.dateTimeField = f.fields[0];
    row.putField = f.fields[1];
    row.callField = f.fields[2];
    row.somField = f.fields[3];
    // An index column that holds no level (empty when the index page failed, or damaged) reads
    // as empty, so that no reader takes a stray number for a level.
    if (f.more && ParseIndexLevel(f.rest)) {
        row.aexField = f.rest;
    }
    return row;
}

std::optional<int64_t> RowDayNumber(const std::string& dateText) {
    if (dateText.empty()) {
        return std::nullopt;
    }
    const auto date = ParseHistoryDate(dateText);
    if (!date) {
        return std::nullopt;
    }
    return DayNumber(*date);
}

std::vector<HistoryRowValues> HistoryValues(const std::vector<std::string>& lines) {
    std::vector<HistoryRowValues> values;
    values.reserve(lines.size());
    for (const auto& line : lines) {
        // As SplitHistoryRow reads the line, without a string per field.
        const RowFields row = SplitFields(line);
        HistoryRowValues& v = values.emplace_back();
        // The program's own dates read the same both ways; only others need ParseDmy.
        if (const auto date = ParseHistoryDate(row.dateText)) {
            v.date = date;
            v.day = DayNumber(*date);
            v.weekday = WeekdayOfDayNumber(*v.day);
        } else if ((v.date = ParseDmy(row.dateText))) {
            v.weekday = Weekday(*v.date);
        }
        v.notDownloaded = row.fields[3] == kNotDownloaded;
        v.put = ParseNumber(row.fields[1]);
        v.call = ParseNumber(row.fields[2]);
        v.som = ParseNumber(row.fields[3]);
        v.aex = row.more ? ParseIndexLevel(row.rest).value_or(0.0) : 0.0;
    }
    return values;
}

ChartHistory ReadChartHistory(const std::string& folder, const std::string& name) {
    ChartHistory h;
    h.rows = LoadHistoryRows(folder, name);
    h.values = HistoryValues(h.rows.lines);
    return h;
}

}  // namespace rendaal
