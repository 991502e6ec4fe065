#include "quotesim/quote_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>

#include "core/text.h"

namespace rendaal::quotesim {
namespace {

constexpr double kRate = 0.02;
constexpr int kMaxStrikes = 400;

double NormalCdf(double x) {
    return 0.5 * std::erfc(-x / std::sqrt(2.0));
}

std::string TwoDecimals(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    std::replace(s.begin(), s.end(), '.', ',');
    return s;
}

int QueryInt(std::string_view query, std::string_view key) {
    size_t at = 0;
    while (at < query.size()) {
        const size_t end = std::min(query.find('&', at), query.size());
        const std::string_view part = query.substr(at, end - at);
        if (part.size() > key.size() && part.substr(0, key.size()) == key &&
            part[key.size()] == '=') {
            int n = 0;
            for (char c : part.substr(key.size() + 1)) {
                if (c < '0' || c > '9' || n > 100000) {
                    return 0;
                }
                n = n * 10 + (c - '0');
            }
            return n;
        }
        at = end + 1;
    }
    return 0;
}

std::string Key(char kind, const Date& expiry, int strike) {
    return std::string(1, kind) + FormatDmy(expiry) + std::to_string(strike) + ",00";
}

}  // namespace

OptionQuery ParseOptionQuery(std::string_view query) {
    OptionQuery q;
    q.monthFrom = QueryInt(query, "MonthFrom");
    q.yearFrom = QueryInt(query, "YearFrom");
    q.monthTill = QueryInt(query, "MonthTill");
    q.yearTill = QueryInt(query, "YearTill");
    q.priceFrom = QueryInt(query, "PriceFrom");
    q.priceTill = QueryInt(query, "PriceTill");
    return q;
}

QuoteModel::QuoteModel(uint32_t seed, Date today) : today_(today) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    level_ = std::round((900.0 + 50.0 * unit(rng)) * 100.0) / 100.0;
    change_ = std::round((unit(rng) * 30.0 - 15.0) * 100.0) / 100.0;
    volatility_ = 0.15 + 0.1 * unit(rng);
}

std::string QuoteModel::IndexText() const {
    return TwoDecimals(level_);
}
std::string QuoteModel::ChangeText() const {
    return TwoDecimals(change_);
}

std::vector<Date> QuoteModel::Expiries(const OptionQuery& q) const {
    std::vector<Date> out;
    int year = today_.year;
    int month = today_.month;
    const int lastYear = std::clamp(q.yearTill, today_.year, today_.year + 10);
    const int lastMonth = (q.monthTill >= 1 && q.monthTill <= 12) ? q.monthTill : 12;
    for (int n = 0; n < 130; ++n) {
        if (year > lastYear || (year == lastYear && month > lastMonth)) {
            break;
        }
        // The near months every month, later ones per quarter, as the exchange lists them.
        if (n < 4 || month % 3 == 0) {
            out.push_back({year, month, *SeriesDay("AEX", year, month)});
        }
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
    // Weekly Fridays from last week to five weeks ahead, other than a third Friday.
    const int64_t first = DayNumber(today_) - 7;
    for (int64_t d = first; d < first + 42; ++d) {
        const Date day = FromDayNumber(d);
        if (Weekday(day) == 6 && day.day != ThirdFriday(day.year, day.month)) {
            out.push_back(day);
        }
    }
    std::sort(out.begin(), out.end(),
              [](const Date& a, const Date& b) { return DayNumber(a) < DayNumber(b); });
    return out;
}

double QuoteModel::Price(char kind, const Date& expiry, double strike) const {
    const double days = static_cast<double>(DayNumber(expiry) - DayNumber(today_));
    const double t = std::max(days, 0.5) / 365.0;
    const double s = level_;
    const double sd = volatility_ * std::sqrt(t);
    const double d1 = (std::log(s / strike) + (kRate + volatility_ * volatility_ / 2) * t) / sd;
    const double d2 = d1 - sd;
    const double discount = std::exp(-kRate * t);
    const double call = s * NormalCdf(d1) - strike * discount * NormalCdf(d2);
    const double put = strike * discount * NormalCdf(-d2) - s * NormalCdf(-d1);
    return std::max(0.01, std::round((kind == 'C' ? call : put) * 100.0) / 100.0);
}

std::string QuoteModel::PriceCell(double price) {
    return TwoDecimals(price);
}

std::vector<OptionRow> QuoteModel::Rows(const OptionQuery& q) const {
    int from = q.priceFrom;
    int till = q.priceTill;
    if (from <= 0 || till <= 0 || till < from) {
        const int centre = static_cast<int>(std::lround(level_ / 5.0)) * 5;
        from = centre - 100;
        till = centre + 100;
    }
    from = (from + 4) / 5 * 5;
    till = std::min(till, from + 5 * (kMaxStrikes - 1));
    std::vector<OptionRow> rows;
    const auto expiries = Expiries(q);
    for (char kind : {'C', 'P'}) {
        for (const Date& expiry : expiries) {
            for (int strike = from; strike <= till; strike += 5) {
                rows.push_back({kind, expiry, strike, Price(kind, expiry, strike)});
            }
        }
    }
    return rows;
}

std::string QuoteModel::IndexPage(std::string_view quoteTime) const {
    const std::string date = FormatDmy(today_);
    const std::string shortDate = date.substr(0, 6) + date.substr(8, 2);
    std::string page =
        "<html><head><title>Beursindex mobiel</title></head><body>\r\n"
        "<div class=\"kop\">Bijgewerkt;" +
        shortDate + " " + std::string(quoteTime) +
        "</div><div class=\"menu\"><a href=\"/\">HOME</a> | <a href=\"/m\">Markten</a></div>\r\n"
        "<table><tr><td>AEX</td><td> " +
        IndexText() + "</td><td>(" + ChangeText() +
        ")</td></tr>\r\n"
        "<tr><td>AMX</td><td> 612,10</td><td>(0,55)</td></tr></table>\r\n"
        "</body></html>\r\n";
    return page;
}

std::string QuoteModel::OptionPage(const OptionQuery& q,
                                   const std::vector<std::string>& hyphenKeys) const {
    std::string page =
        "<html><head><title>Opties AEX-index</title></head><body>\r\n"
        "<h1>Optiekoersen AEX-index</h1>\r\n<table class=\"koersen\">\r\n"
        "<tr><th>C/P</th><th>Afloopdatum</th><th>Uitoefenprijs</th><th>Laatst</th>"
        "<th>Bied</th><th>Laat</th><th>Volume</th></tr>\r\n";
    uint32_t volume = 17;
    for (const OptionRow& row : Rows(q)) {
        const std::string key = Key(row.kind, row.expiry, row.strike);
        const bool hyphen =
            std::find(hyphenKeys.begin(), hyphenKeys.end(), key) != hyphenKeys.end();
        volume = volume * 1103515245u + 12345u;
        page += "<tr><td>" + std::string(1, row.kind) + "</td><td>" + FormatDmy(row.expiry) +
                "</td><td>" + std::to_string(row.strike) + ",00</td><td>";
        if (hyphen) {
            page += "--</td><td>--</td><td>--</td><td>0";
        } else {
            page += PriceCell(row.price) + "</td><td>" +
                    PriceCell(std::max(0.01, row.price - 0.05)) + "</td><td>" +
                    PriceCell(row.price + 0.05) + "</td><td>" + std::to_string(volume % 900);
        }
        page += "</td></tr>\r\n";
    }
    page += "</table>\r\n<p>Koersen met vertraging.</p></body></html>\r\n";
    return page;
}

}  // namespace rendaal::quotesim
