#include "analytics/overview.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "analytics/overview_cache.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/market_hours.h"
#include "core/text.h"
#include "history/history_file.h"
#include "history/history_text.h"
#include "history/rows.h"

namespace rendaal {
namespace {

std::optional<double> Finite(double x) {
    return std::isfinite(x) ? std::optional<double>(x) : std::nullopt;
}

Strikes StrikesOf(const CombinationTerms& terms) {
    return {terms.put.strike(), terms.call.strike()};
}

// The download writes a Som of "0,00" when it found no prices; the block chart skips such a
// row, and a sum of nothing is no figure anyway.
bool IsUsable(const HistoryTextLine& line, const Strikes& strikes) {
    auto price = [](const std::optional<double>& v) { return v && *v >= 0; };
    return line.IsRow() && *line.somValue > 0 && (!strikes.put || price(line.putValue)) &&
           (!strikes.call || price(line.callValue));
}

struct RowChoice {
    std::optional<HistoryTextLine> first;  // earliest usable row
    std::optional<HistoryTextLine> last;   // latest usable row
    bool latestDamaged = false;
};

// Orders dates as their day numbers do, at less cost.
int64_t DateKey(const Date& d) {
    return (static_cast<int64_t>(d.year) * 16 + d.month) * 32 + d.day;
}

// Of lines sharing a date the first one is the earliest and the last one the latest, as
// downloads of one day follow each other in the file. Forwards for the earliest, backwards for
// the latest: a line's fields are read only where its date could make it the one, which in a
// file in date order is its first and last line.
const HistoryTextLine& Full(const HistoryTextLine& line) {
    return line;
}

HistoryTextLine Full(const HistoryDatedLine& line) {
    return ReadHistoryFields(line);
}

// A line dated after notAfter is a typing error until the next download sets it aside: it is
// passed over as a line without a date.
template <class Lines>
RowChoice ChooseRows(const Lines& lines, const Strikes& strikes, int64_t notAfter) {
    RowChoice c;
    int64_t firstKey = 0;
    for (const auto& line : lines) {
        if (!line.date || DateKey(*line.date) > notAfter ||
            (c.first && DateKey(*line.date) >= firstKey)) {
            continue;
        }
        const HistoryTextLine& full = Full(line);
        if (IsUsable(full, strikes)) {
            firstKey = DateKey(*line.date);
            c.first = full;
        }
    }
    std::optional<int64_t> latestKey;
    int64_t lastKey = 0;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        if (!it->date || DateKey(*it->date) > notAfter) {
            continue;
        }
        const int64_t key = DateKey(*it->date);
        const bool latest = !latestKey || key > *latestKey;
        if (!latest && c.last && key <= lastKey) {
            continue;
        }
        const HistoryTextLine& full = Full(*it);
        if (latest) {
            latestKey = key;
            c.latestDamaged = full.damaged || (strikes.put && full.putValue < 0.0) ||
                              (strikes.call && full.callValue < 0.0);
        }
        if ((!c.last || key > lastKey) && IsUsable(full, strikes)) {
            lastKey = key;
            c.last = full;
        }
    }
    return c;
}

HistoryText TextOfLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += '\n';
    }
    return ReadHistoryText(text);
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

std::optional<double> IndexLevel(std::string_view aexField) {
    return ParseIndexLevel(aexField);
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

OverviewRow OverviewOf(std::string_view line, const HistoryText* history, const Rates& rates,
                       const DateTime& now) {
    const std::string name = HistoryFileName(line);
    OverviewRow row = history ? HistoryOverview(name, *history, rates, now) : Described(name, now);
    row.key = CombinationKey(line);
    return row;
}

OverviewRow HistoryOverview(std::string_view fileName, const std::vector<std::string>& lines,
                            const Rates& rates, const DateTime& now) {
    return HistoryOverview(fileName, TextOfLines(lines), rates, now);
}

namespace {

template <class Lines>
HistorySummary SummarizeLines(std::string_view fileName, const Lines& lines,
                              std::optional<Date> notAfter) {
    HistorySummary summary;
    const RowChoice chosen =
        ChooseRows(lines, StrikesOfFileName(fileName), notAfter ? DateKey(*notAfter) : INT64_MAX);
    summary.latestDamaged = chosen.latestDamaged;
    auto keep = [](const HistoryTextLine& line) {
        return HistorySummary::Row{*line.date, *line.somValue, std::string(line.aex), line.putValue,
                                   line.callValue};
    };
    if (chosen.first && chosen.last) {
        summary.first = keep(*chosen.first);
        summary.last = keep(*chosen.last);
    }
    return summary;
}

}  // namespace

HistorySummary SummarizeHistory(std::string_view fileName, const HistoryText& history,
                                std::optional<Date> notAfter) {
    return SummarizeLines(fileName, history.lines, notAfter);
}

HistorySummary SummarizeHistory(std::string_view fileName, const HistoryDates& history,
                                std::optional<Date> notAfter) {
    return SummarizeLines(fileName, history.lines, notAfter);
}

OverviewRow HistoryOverview(std::string_view fileName, const HistoryText& history,
                            const Rates& rates, const DateTime& now) {
    return SummaryOverview(fileName, SummarizeHistory(fileName, history, TradingStamp(now).date()),
                           rates, now);
}

OverviewRow SummaryOverview(std::string_view fileName, const HistorySummary& summary,
                            const Rates& rates, const DateTime& now) {
    OverviewRow row = Described(fileName, now);
    row.hasHistory = true;
    if (summary.latestDamaged) {
        row.checks.emplace_back(kUnreadableRowFlag);
    }
    const HistorySummary::Row* first = summary.first ? &*summary.first : nullptr;
    const HistorySummary::Row* last = summary.last ? &*summary.last : nullptr;
    // A history without a single usable row has not grown since the latest close either.
    row.stale = last == nullptr || DayNumber(last->date) < DayNumber(LatestClose(now));
    if (first == nullptr || last == nullptr) {
        return row;
    }
    row.firstDate = first->date;
    row.lastDate = last->date;
    const double somFirst = first->som;
    const double somLast = last->som;
    row.somFirst = somFirst;
    row.somLast = somLast;
    row.resultEur = Finite((somFirst - somLast) * 100);
    const CombinationTerms terms = ReadTermsOfFileName(fileName);
    if (terms.put.unreadable() || terms.call.unreadable()) {
        // Figures of one leg would pass for the whole combination's.
        row.aexLast = IndexLevel(last->aex);
        return row;
    }
    if (row.strikes.put) {
        row.beLow = Finite(*row.strikes.put - somFirst);
    }
    if (row.strikes.call) {
        row.beHigh = Finite(*row.strikes.call + somFirst);
    }

    const std::optional<double> s = IndexLevel(last->aex);
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
    auto leg = [&](OptionSide side, const std::optional<double>& k,
                   const std::optional<double>& value) {
        if (!k) {
            return std::optional<double>();
        }
        const double price = *value;
        if (price < PriceLowerBound(side, *s, *k, t, rates) - kBelowBoundSlack) {
            below = true;
        }
        return ImpliedVolatility(side, price, *s, *k, t, rates);
    };
    row.ivPut = leg(OptionSide::Put, row.strikes.put, last->put);
    row.ivCall = leg(OptionSide::Call, row.strikes.call, last->call);
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
    return *OverviewCache().Load(folder, lines, rates, now);
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
    const HistoryText read = ReadHistoryText(text);
    return read.readable && (read.header || read.RowCount() > 0 || read.lines.empty());
}

std::vector<IvRow> IvHistory(std::string_view fileName, const std::vector<std::string>& lines,
                             const Rates& rates) {
    return IvHistory(fileName, TextOfLines(lines), rates);
}

std::vector<IvRow> IvHistory(std::string_view fileName, const HistoryText& history,
                             const Rates& rates) {
    const ChartHeader header = ParseChartFileName(fileName);
    const Strikes strikes = StrikesOfFileName(fileName);
    std::vector<IvRow> rows;
    for (const auto& line : history.lines) {
        // Damaged and not-downloaded rows are left out, as the block chart leaves them out.
        if (!IsUsable(line, strikes)) {
            continue;
        }
        IvRow row;
        row.date = *line.date;
        row.aex = IndexLevel(line.aex);
        const double t = header.expiryDate ? YearsBetween(row.date, *header.expiryDate) : 0;
        auto leg = [&](OptionSide side, const std::optional<double>& k,
                       const std::optional<double>& value, std::optional<double>& price,
                       std::optional<double>& iv) {
            if (!k) {
                return;
            }
            price = value;
            if (row.aex) {
                iv = ImpliedVolatility(side, *price, *row.aex, *k, t, rates);
            }
        };
        leg(OptionSide::Put, strikes.put, line.putValue, row.put, row.ivPut);
        leg(OptionSide::Call, strikes.call, line.callValue, row.call, row.ivCall);
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
