#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/calendar.h"

// A made-up AEX market, the same for a given seed and day: an index level, its change, and put
// and call prices from Black-Scholes for the monthly and weekly series.
namespace rendaal::quotesim {

struct OptionQuery {
    int monthFrom = 0;
    int yearFrom = 0;
    int monthTill = 0;
    int yearTill = 0;
    int priceFrom = 0;
    int priceTill = 0;
};
// The six window values of an option page request's query; missing ones stay 0.
OptionQuery ParseOptionQuery(std::string_view query);

struct OptionRow {
    char kind = 'C';  // 'C' or 'P'
    Date expiry;
    int strike = 0;
    double price = 0.0;
};

class QuoteModel final {
public:
    QuoteModel(uint32_t seed, Date today);

    double IndexLevel() const { return level_; }
    double IndexChange() const { return change_; }
    // As the index page shows them: "925,43", "-3,10".
    std::string IndexText() const;
    std::string ChangeText() const;
    const Date& today() const { return today_; }

    // The expiries listed for a request: the monthly series from the current month (also when
    // it has expired) up to the requested last month, and the weekly Fridays around today.
    std::vector<Date> Expiries(const OptionQuery& q) const;
    // Calls first, then puts; each by expiry, then exercise price (every 5 points).
    std::vector<OptionRow> Rows(const OptionQuery& q) const;
    double Price(char kind, const Date& expiry, double strike) const;
    // The price cell of a row: two decimals with a comma ("12,35").
    static std::string PriceCell(double price);

    // quoteTime as "17:35"; the page's date is today.
    std::string IndexPage(std::string_view quoteTime) const;
    // hyphenKeys: lookup keys ("P19-12-2008400,00") whose price cell shows "--" (not traded).
    std::string OptionPage(const OptionQuery& q,
                           const std::vector<std::string>& hyphenKeys = {}) const;

private:
    Date today_;
    double level_ = 925.0;
    double change_ = 0.0;
    double volatility_ = 0.2;
};

}  // namespace rendaal::quotesim
