#include "analytics/overview.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "charts/history.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/market_hours.h"
#include "core/text.h"

namespace rendaal {
namespace {

std::optional<double> Finite(double x) {
    return std::isfinite(x) ? std::optional<double>(x) : std::nullopt;
}

Strikes StrikesOf(const CombinationTerms& terms) {
    return {terms.put.strike(), terms.call.strike()};
}

// What the download writes when it found no prices; the block chart skips such a row.
constexpr std::string_view kNotDownloaded = " 0,00";

// A price or sum as the download writes it: digits with at most one "," or ".", blanks around.
// Anything else (empty, cut, text) is damaged and never counts as 0.
std::optional<double> ReadAmount(std::string_view field) {
    while (!field.empty() && field.front() == ' ') {
        field.remove_prefix(1);
    }
    while (!field.empty() && field.back() == ' ') {
        field.remove_suffix(1);
    }
    if (field.empty() || field.size() > 20) {
        return std::nullopt;
    }
    int separators = 0;
    bool digit = false;
    for (const char c : field) {
        if (c == ',' || c == '.') {
            ++separators;
        } else if (c >= '0' && c <= '9') {
            digit = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digit || separators > 1) {
        return std::nullopt;
    }
    return Finite(ParseNumber(field));
}

struct Dated {
    int64_t day = 0;
    const std::string* line = nullptr;
};

struct RowChoice {
    Dated first;  // earliest usable row
    Dated last;   // latest usable row
    bool latestDamaged = false;
};

// A row is usable when its Som reads and is above 0 and every present leg's price reads. Of
// lines sharing a date the first one is the earliest and the last one the latest, as downloads
// of one day follow each other in the file.
RowChoice ChooseRows(const std::vector<std::string>& lines, const Strikes& strikes) {
    RowChoice c;
    Dated latest;
    for (const auto& line : lines) {
        const HistoryRow row = SplitHistoryRow(line);
        const auto day = HistoryDayNumber(row.dateText);
        if (!day) {
            continue;
        }
        const auto som = ReadAmount(row.somField);
        const bool damaged = !som || (strikes.put && !ReadAmount(row.putField)) ||
                             (strikes.call && !ReadAmount(row.callField));
        if (latest.line == nullptr || *day >= latest.day) {
            latest = {*day, &line};
            c.latestDamaged = damaged && row.somField != kNotDownloaded;
        }
        if (damaged || row.somField == kNotDownloaded || !(*som > 0)) {
            continue;
        }
        if (c.first.line == nullptr || *day < c.first.day) {
            c.first = {*day, &line};
        }
        if (c.last.line == nullptr || *day >= c.last.day) {
            c.last = {*day, &line};
        }
    }
    return c;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

double IntrinsicValue(const Strikes& strikes, double level) {
    double v = 0;
    if (strikes.put) {
        v += std::max(*strikes.put - level, 0.0);
    }
    if (strikes.call) {
        v += std::max(level - *strikes.call, 0.0);
    }
    return v;
}

Date LatestClose(const DateTime& now) {
    Date d = now.date();
    if (IsWorkingDay(d) && IsAfterClose(now)) {
        return d;
    }
    do {
        d = FromDayNumber(DayNumber(d) - 1);
    } while (!IsWorkingDay(d));
    return d;
}

std::optional<int64_t> HistoryDayNumber(std::string_view dateText) {
    // Only dd-mm-yyyy: a two-digit year would be read as the first century.
    const auto dash = dateText.rfind('-');
    if (dash == std::string_view::npos || dateText.size() - dash - 1 != 4) {
        return std::nullopt;
    }
    return RowDayNumber(std::string(dateText));
}

std::optional<double> IndexLevel(std::string_view aexField) {
    const double v = ParseNumber(aexField);
    if (!std::isfinite(v) || v <= 0) {
        return std::nullopt;
    }
    return v;
}

double YearsBetween(const Date& from, const Date& to) {
    return static_cast<double>(DayNumber(to) - DayNumber(from)) / 365.0;
}

Strikes StrikesOfFileName(std::string_view fileName) {
    return StrikesOf(ReadTermsOfFileName(fileName));
}

namespace {

// Kind, expiry, days and strikes from the history file's name.
OverviewRow Described(std::string_view fileName, const DateTime& now) {
    OverviewRow row;
    const ChartHeader header = ParseChartFileName(fileName);
    const CombinationTerms terms = ReadTermsOfFileName(fileName);
    row.kind = KindName(terms.kind);
    row.expiry = header.expiryDate;
    if (row.expiry) {
        row.days = DayNumber(*row.expiry) - DayNumber(now.date());
    }
    row.strikes = StrikesOf(terms);
    if (terms.put.unreadable() || terms.call.unreadable()) {
        row.checks.emplace_back(kUnreadableStrikeFlag);
    }
    return row;
}

}  // namespace

OverviewRow OverviewOf(std::string_view line, const std::vector<std::string>* historyLines,
                       const Rates& rates, const DateTime& now) {
    const std::string name = HistoryFileName(line);
    OverviewRow row =
        historyLines ? HistoryOverview(name, *historyLines, rates, now) : Described(name, now);
    row.key = CombinationKey(line);
    return row;
}

OverviewRow HistoryOverview(std::string_view fileName, const std::vector<std::string>& lines,
                            const Rates& rates, const DateTime& now) {
    OverviewRow row = Described(fileName, now);
    row.hasHistory = true;
    const RowChoice chosen = ChooseRows(lines, row.strikes);
    if (chosen.latestDamaged) {
        row.checks.emplace_back(kUnreadableRowFlag);
    }
    const Dated first = chosen.first;
    const Dated last = chosen.last;
    // A history without a single usable row has not grown since the latest close either.
    row.stale = last.line == nullptr || last.day < DayNumber(LatestClose(now));
    if (last.line == nullptr) {
        return row;
    }
    const HistoryRow firstRow = SplitHistoryRow(*first.line);
    const HistoryRow lastRow = SplitHistoryRow(*last.line);
    row.firstDate = FromDayNumber(first.day);
    row.lastDate = FromDayNumber(last.day);
    const double somFirst = *ReadAmount(firstRow.somField);
    const double somLast = *ReadAmount(lastRow.somField);
    row.somFirst = somFirst;
    row.somLast = somLast;
    row.resultEur = Finite((somFirst - somLast) * 100);
    const CombinationTerms terms = ReadTermsOfFileName(fileName);
    if (terms.put.unreadable() || terms.call.unreadable()) {
        // Figures of one leg would pass for the whole combination's.
        row.aexLast = IndexLevel(lastRow.aexField);
        return row;
    }
    if (row.strikes.put) {
        row.beLow = Finite(*row.strikes.put - somFirst);
    }
    if (row.strikes.call) {
        row.beHigh = Finite(*row.strikes.call + somFirst);
    }

    const std::optional<double> s = IndexLevel(lastRow.aexField);
    if (!s) {
        row.checks.emplace_back(kNoIndexFlag);
        return row;
    }
    row.aexLast = s;
    const double intrinsic = IntrinsicValue(row.strikes, *s);
    row.intrinsic = Finite(intrinsic);
    row.timeValue = Finite(somLast - intrinsic);
    if (!row.expiry) {
        return row;
    }
    const double t = YearsBetween(*row.lastDate, *row.expiry);
    bool below = false;
    auto leg = [&](OptionSide side, const std::optional<double>& k, const std::string& field) {
        if (!k) {
            return std::optional<double>();
        }
        const double price = ReadAmount(field).value_or(NAN);
        if (price < PriceLowerBound(side, *s, *k, t, rates) - kBelowBoundSlack) {
            below = true;
        }
        return ImpliedVolatility(side, price, *s, *k, t, rates);
    };
    row.ivPut = leg(OptionSide::Put, row.strikes.put, lastRow.putField);
    row.ivCall = leg(OptionSide::Call, row.strikes.call, lastRow.callField);
    if (below) {
        row.checks.emplace_back(kBelowIntrinsicFlag);
    }
    if (row.days) {
        const ShortLegs legs{row.strikes.put, row.strikes.call, row.ivPut, row.ivCall};
        row.risk = RiskOf(legs, row.aexLast, static_cast<double>(*row.days) / 365.0, row.beLow,
                          row.beHigh, rates);
    }
    return row;
}

std::vector<OverviewRow> LoadOverview(const std::string& folder,
                                      const std::vector<std::string>& lines, const Rates& rates,
                                      const DateTime& now) {
    std::vector<OverviewRow> rows;
    rows.reserve(lines.size());
    for (const auto& line : lines) {
        const std::string name = HistoryFileName(line);
        const std::string path = folder + name;
        // A FIFO in a history file's place would block the open.
        std::optional<std::string> text;
        if (IsPlainFileName(name) && IsRegularFile(path)) {
            text = ReadFile(path);
        }
        if (!text) {
            rows.push_back(OverviewOf(line, nullptr, rates, now));
            continue;
        }
        const HistoryRows history = HistoryRowsFromText(*text);
        rows.push_back(OverviewOf(line, &history.lines, rates, now));
    }
    return rows;
}

bool IsHistoryFile(std::string_view fileName, std::string_view text) {
    const ChartHeader header = ParseChartFileName(fileName);
    const CombinationTerms terms = ReadTermsOfFileName(fileName);
    const bool named =
        fileName.ends_with(".csv") &&
        (header.kind == "Single" || header.kind == "Straddle" || header.kind == "Strangle") &&
        header.expiryDate && !terms.put.unreadable() && !terms.call.unreadable() &&
        (terms.put.strike() || terms.call.strike());
    if (!named) {
        return false;
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    if (text.empty() || text.starts_with("Datum")) {
        return true;
    }
    const HistoryRows rows = HistoryRowsFromText(text);
    return std::any_of(rows.lines.begin(), rows.lines.end(), [](const std::string& line) {
        return HistoryDayNumber(SplitHistoryRow(line).dateText).has_value();
    });
}

std::vector<IvRow> IvHistory(std::string_view fileName, const std::vector<std::string>& lines,
                             const Rates& rates) {
    const ChartHeader header = ParseChartFileName(fileName);
    const Strikes strikes = StrikesOfFileName(fileName);
    std::vector<IvRow> rows;
    for (const auto& line : lines) {
        const HistoryRow fields = SplitHistoryRow(line);
        const auto day = HistoryDayNumber(fields.dateText);
        if (!day || fields.somField == kNotDownloaded) {
            continue;
        }
        IvRow row;
        row.date = FromDayNumber(*day);
        row.aex = IndexLevel(fields.aexField);
        const double t = header.expiryDate ? YearsBetween(row.date, *header.expiryDate) : 0;
        auto leg = [&](OptionSide side, const std::optional<double>& k, const std::string& field,
                       std::optional<double>& price, std::optional<double>& iv) {
            if (!k) {
                return;
            }
            price = ReadAmount(field);
            if (row.aex && price) {
                iv = ImpliedVolatility(side, *price, *row.aex, *k, t, rates);
            }
        };
        leg(OptionSide::Put, strikes.put, fields.putField, row.put, row.ivPut);
        leg(OptionSide::Call, strikes.call, fields.callField, row.call, row.ivCall);
        rows.push_back(row);
    }
    return rows;
}

std::optional<double> TheoreticalValue(const Strikes& strikes, std::optional<double> ivPut,
                                       std::optional<double> ivCall, double level, double t,
                                       const Rates& rates) {
    if ((strikes.put && !ivPut) || (strikes.call && !ivCall) || (!strikes.put && !strikes.call)) {
        return std::nullopt;
    }
    double v = 0;
    if (strikes.put) {
        v += BlackScholesPrice(OptionSide::Put, level, *strikes.put, t, rates, *ivPut);
    }
    if (strikes.call) {
        v += BlackScholesPrice(OptionSide::Call, level, *strikes.call, t, rates, *ivCall);
    }
    return Finite(v);
}

}  // namespace rendaal
