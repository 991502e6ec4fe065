#include "analytics/overview.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>

#include "charts/history.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"

namespace rendaal {
namespace {

std::optional<double> StrikeOf(const std::string& text, double value) {
    if (Contains(text, "Geen") || !std::isfinite(value) || value <= 0) {
        return std::nullopt;
    }
    return value;
}

Strikes StrikesOf(const ChartHeader& header) {
    return {StrikeOf(header.putText, header.putValue), StrikeOf(header.callText, header.callValue)};
}

std::optional<double> Finite(double x) {
    return std::isfinite(x) ? std::optional<double>(x) : std::nullopt;
}

bool IsWorkingDay(const Date& d) {
    const int w = Weekday(d);
    return w >= 2 && w <= 6;
}

struct Dated {
    int64_t day = 0;
    const std::string* line = nullptr;
};

// Earliest and latest dated line; of lines sharing a date the first one is the earliest and
// the last one the latest, as downloads of one day follow each other in the file.
std::pair<Dated, Dated> FirstAndLast(const std::vector<std::string>& lines) {
    Dated first;
    Dated last;
    for (const auto& line : lines) {
        const auto day = RowDayNumber(BeforeFirst(' ', line));
        if (!day) {
            continue;
        }
        if (first.line == nullptr || *day < first.day) {
            first = {*day, &line};
        }
        if (last.line == nullptr || *day >= last.day) {
            last = {*day, &line};
        }
    }
    return {first, last};
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
    if (IsWorkingDay(d) && now.hour * 60 + now.minute >= kCloseMinuteOfDay) {
        return d;
    }
    do {
        d = FromDayNumber(DayNumber(d) - 1);
    } while (!IsWorkingDay(d));
    return d;
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
    return StrikesOf(ParseChartFileName(fileName));
}

namespace {

// Kind, expiry, days and strikes from the history file's name.
OverviewRow Described(std::string_view fileName, const DateTime& now) {
    OverviewRow row;
    const ChartHeader header = ParseChartFileName(fileName);
    row.kind = header.kind;
    row.expiry = header.expiryDate;
    if (row.expiry) {
        row.days = DayNumber(*row.expiry) - DayNumber(now.date());
    }
    row.strikes = StrikesOf(header);
    return row;
}

}  // namespace

OverviewRow OverviewOf(std::string_view line, const std::vector<std::string>* historyLines,
                       const Rates& rates, const DateTime& now) {
    const std::string name = HistoryFileName(line);
    OverviewRow row =
        historyLines ? HistoryOverview(name, *historyLines, rates, now) : Described(name, now);
    row.key = CombinationKey(line);
    const KeyWords words = SplitKey(row.key);
    row.kind = KindName(KindOf(words.put, words.call));
    return row;
}

OverviewRow HistoryOverview(std::string_view fileName, const std::vector<std::string>& lines,
                            const Rates& rates, const DateTime& now) {
    OverviewRow row = Described(fileName, now);
    row.hasHistory = true;
    const auto [first, last] = FirstAndLast(lines);
    // A history without a single dated line has not grown since the latest close either.
    row.stale = last.line == nullptr || last.day < DayNumber(LatestClose(now));
    if (last.line == nullptr) {
        return row;
    }
    const HistoryRow firstRow = SplitHistoryRow(*first.line);
    const HistoryRow lastRow = SplitHistoryRow(*last.line);
    row.firstDate = FromDayNumber(first.day);
    row.lastDate = FromDayNumber(last.day);
    const double somFirst = ParseNumber(firstRow.somField);
    const double somLast = ParseNumber(lastRow.somField);
    row.somFirst = Finite(somFirst);
    row.somLast = Finite(somLast);
    row.resultEur = Finite((somFirst - somLast) * 100);
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
        const double price = ParseNumber(field);
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

std::vector<IvRow> IvHistory(std::string_view fileName, const std::vector<std::string>& lines,
                             const Rates& rates) {
    const ChartHeader header = ParseChartFileName(fileName);
    const Strikes strikes = StrikesOf(header);
    std::vector<IvRow> rows;
    for (const auto& line : lines) {
        const HistoryRow fields = SplitHistoryRow(line);
        const auto day = RowDayNumber(fields.dateText);
        if (!day) {
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
            price = Finite(ParseNumber(field));
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
