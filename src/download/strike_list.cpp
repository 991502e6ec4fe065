#include "download/strike_list.h"

#include <algorithm>
#include <optional>

#include "core/calendar.h"
#include "core/combination.h"
#include "core/text.h"

namespace rendaal {
namespace {

constexpr std::string_view kHeader = "C/P";

std::optional<int> SmallNumber(std::string_view text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    int value = 0;
    for (char ch : text) {
        if (ch < '0' || ch > '9') {
            return std::nullopt;
        }
        value = value * 10 + (ch - '0');
    }
    return value;
}

bool DayInSeries(int day, int seriesIndex) {
    static constexpr int kFirst[] = {1, 8, 15, 22, 29};
    static constexpr int kLast[] = {7, 14, 21, 28, 31};
    if (seriesIndex < 0 || seriesIndex > 4) {
        return false;
    }
    return day >= kFirst[seriesIndex] && day <= kLast[seriesIndex];
}

bool IsDigit(char ch) {
    return ch >= '0' && ch <= '9';
}

// The exercise price that follows the ten date characters: digits, a comma and two decimals,
// read to its end however many digits it has (four-digit strikes exist), rewritten with a
// point. Empty when the text there is not such a price.
std::optional<std::string> ReadStrike(std::string_view rest) {
    size_t i = 10;
    const size_t start = i;
    while (i < rest.size() && IsDigit(rest[i])) {
        ++i;
    }
    if (i == start || i + 2 >= rest.size() || rest[i] != ',' || !IsDigit(rest[i + 1]) ||
        !IsDigit(rest[i + 2])) {
        return std::nullopt;
    }
    return std::string(rest.substr(start, i - start)) + "." + std::string(rest.substr(i + 1, 2));
}

// One call row following its kind letter: "19-03-2027880,00...".
std::optional<std::string> OfferedStrike(std::string_view rest, std::string_view monthName,
                                         std::string_view yearText, int seriesIndex) {
    const std::string_view date = rest.substr(0, 10);
    if (date.find('-') == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string dayText = BeforeFirst('-', date);
    const std::string afterDay = AfterFirst('-', date);
    const std::string monthText = BeforeFirst('-', afterDay);
    const std::string year = AfterFirst('-', afterDay);
    const std::optional<int> day = SmallNumber(dayText);
    const std::optional<int> month = SmallNumber(monthText);
    if (!day || !month || !SmallNumber(year) || *month < 1 || *month > 12) {
        return std::nullopt;
    }
    std::optional<std::string> strike = ReadStrike(rest);
    if (!strike || ParseNumber(*strike) <= 100) {
        return std::nullopt;
    }
    if (monthName != kDutchMonthNames[*month - 1] || year != yearText ||
        !DayInSeries(*day, seriesIndex)) {
        return std::nullopt;
    }
    return strike;
}

}  // namespace

int DutchMonthNumber(std::string_view name) {
    for (size_t i = 0; i < kDutchMonthNames.size(); ++i) {
        if (name == kDutchMonthNames[i]) {
            return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

StrikeLists FillStrikeLists(std::string_view page, std::string_view monthName,
                            std::string_view yearText, int seriesIndex) {
    StrikeLists lists;
    lists.items.emplace_back("Geen");
    size_t count = 0;
    const size_t header = page.find(kHeader);
    if (header != std::string_view::npos) {
        size_t at = header + kHeader.size();
        // Every exit below goes to the selection; each pass moves past at least one "C", so
        // the loop ends on any page.
        while (at < page.size()) {
            size_t c = page.find('C', at);
            if (c == std::string_view::npos || c + 1 >= page.size()) {
                break;
            }
            at = c + 1;
            if (page[at] == '/') {
                c = page.find('C', at);
                if (c == std::string_view::npos || c + 1 >= page.size()) {
                    break;
                }
                at = c + 1;
                if (page[at] == '/') {
                    break;
                }
            }
            if (auto strike = OfferedStrike(page.substr(at), monthName, yearText, seriesIndex)) {
                lists.items.push_back(std::move(*strike));
                ++count;
            }
        }
    }
    const size_t selected = count / 2 + 2;
    lists.selected = selected < lists.items.size() ? static_cast<int>(selected) : -1;
    return lists;
}

Composition ComposeLine(const LineChoices& choices, int previousMonth) {
    Composition result;
    const bool knownSeries = choices.seriesIndex >= 0 && choices.seriesIndex < 5;
    const std::string series = knownSeries ? kSeriesCodes[choices.seriesIndex] : "";
    const std::string& year = choices.yearText;
    const std::string& put = choices.putText;
    const std::string& call = choices.callText;

    int month = DutchMonthNumber(choices.monthName);
    if (month == 0) {
        month = previousMonth;
    }
    result.month = month;
    const bool knownMonth = month >= 1 && month <= 12;
    const std::string shortMonth = knownMonth ? kDutchShortMonthNames[month - 1] : "";

    std::string& line = result.line;
    line = series + " ";
    line += year.size() > 2 ? year.substr(2, 2) : "";
    line += TwoDigits(std::clamp(month, 0, 99)) + " ";
    const std::string putField = StrikeField(put);
    const std::string callField = StrikeField(call);
    line += putField + " " + callField + "; ";
    line += "Put: " + shortMonth + " " + year + " " + put + "; ";
    line += "Call: " + shortMonth + " " + year + " " + call + "; ";
    line += KindName(KindOf(putField, callField));

    const bool fourDigitYear = year.size() == 4 && std::all_of(year.begin(), year.end(), IsDigit);
    result.complete = knownSeries && knownMonth && fourDigitYear && !put.empty() && !call.empty();
    return result;
}

YearSpan OfferedYears(int yearFrom, int yearTill, int firstOpenYear) {
    YearSpan span{yearFrom, yearTill};
    if (span.from < 1000 || span.from > 9999) {
        span = {firstOpenYear, firstOpenYear};
    }
    // A run of an earlier day asked from a month that has expired since.
    span.from = std::max(span.from, std::clamp(firstOpenYear, 1000, 9999));
    span.till = std::clamp(span.till, span.from, std::min(span.from + 10, 9999));
    return span;
}

YearMonth FirstOpenMonth(int year, int month, int day) {
    YearMonth open{year, std::clamp(month, 1, 12)};
    if (ThirdFriday(open.year, open.month) < day && ++open.month > 12) {
        open = {year + 1, 1};
    }
    return open;
}

std::vector<int> OpenMonths(int year, const YearMonth& firstOpen) {
    std::vector<int> months;
    for (int m = year == firstOpen.year ? firstOpen.month : 1; m <= 12; ++m) {
        if (year >= firstOpen.year) {
            months.push_back(m);
        }
    }
    return months;
}

int MonthIndexFor(int monthFrom, int currentMonth) {
    if (monthFrom >= 1 && monthFrom <= 12) {
        return monthFrom - 1;
    }
    return std::clamp(currentMonth, 1, 12) - 1;
}

}  // namespace rendaal
