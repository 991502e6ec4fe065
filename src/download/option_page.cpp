#include "download/option_page.h"

#include <string.h>

#include "core/combination.h"
#include "core/text.h"

namespace rendaal {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A price cell is a few digits before its comma; anything longer or holding other characters
// would end up as a broken or nonsensical history line.
constexpr size_t kMaxPriceDigits = 10;

bool AllDigits(std::string_view s) {
    for (char c : s) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string OptionPageUrl(std::string_view base, const TDataRec& w) {
    while (!base.empty() && base.back() == '/') {
        base.remove_suffix(1);
    }
    std::string url(base);
    url += kOptionPagePath;
    url += "MonthFrom=" + TwoDigits(w.MonthFrom) + "&";
    url += "YearFrom=" + std::to_string(w.YearFrom) + "&";
    url += "MonthTill=" + TwoDigits(w.MonthTill) + "&";
    url += "YearTill=" + std::to_string(w.YearTill) + "&";
    // The site's fields are 16-bit; a window below zero wraps as it always did.
    url += "PriceFrom=" + std::to_string(static_cast<uint16_t>(w.PriceFrom)) + "&";
    url += "PriceTill=" + std::to_string(static_cast<uint16_t>(w.PriceTill)) + "&";
    url += "callput=allebei&first=Call/Put&second=Afloopdatum";
    return url;
}

std::string StripTags(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    bool copying = true;
    for (char c : text) {
        if (c == '<') {
            copying = false;
        } else if (c == '>') {
            copying = true;
        } else if (copying) {
            out += c;
        }
    }
    return out;
}

std::optional<Expiry> ParseExpiryCode(std::string_view yymm) {
    if (yymm.size() < 4 || !IsDigit(yymm[0]) || !IsDigit(yymm[1]) || !IsDigit(yymm[2]) ||
        !IsDigit(yymm[3])) {
        return std::nullopt;
    }
    const int year = (yymm[0] - '0') * 10 + (yymm[1] - '0');
    const int month = (yymm[2] - '0') * 10 + (yymm[3] - '0');
    if (month < 1 || month > 12) {
        return std::nullopt;
    }
    return Expiry{month, 2000 + year};
}

int LookupExpiryDay(std::string_view series, int expiryYear, int expiryMonth, const Date& today) {
    int day =
        series == "AEX" ? ThirdFriday(expiryYear, expiryMonth) : today.day + 6 - Weekday(today);
    if (day == 21 && expiryMonth == 3) {
        day = 20;
    }
    return day;
}

bool SetLookupFields(TDataRec& rec, char kind, std::string_view series, std::string_view yymm,
                     std::string_view strikeToken, const Date& today) {
    const auto expiry = ParseExpiryCode(yymm);
    if (!expiry) {
        return false;
    }
    rec.ExpiryMonth = expiry->month;
    rec.ExpiryYear = expiry->year;
    rec.ExpiryDay = LookupExpiryDay(series, expiry->year, expiry->month, today);
    rec.OptionKind = kind;
    rec.Strike = ReadStrike(strikeToken).strike().value_or(0);
    return true;
}

std::string LookupKey(const TDataRec& rec) {
    std::string key(1, rec.OptionKind);
    key += TwoDigits(rec.ExpiryDay);
    key += '-';
    key += TwoDigits(rec.ExpiryMonth);
    key += '-';
    key += std::to_string(rec.ExpiryYear);
    key += FormatNumber(rec.Strike, 5, 2);
    return key;
}

namespace {

constexpr size_t kKeyPrefix = 11;  // kind letter and dd-mm-yyyy

bool IsKeyPrefix(std::string_view s) {
    if (s.size() < kKeyPrefix || (s[0] != 'P' && s[0] != 'C')) {
        return false;
    }
    for (size_t i = 1; i < kKeyPrefix; ++i) {
        const bool hyphen = i == 3 || i == 6;
        if (hyphen ? s[i] != '-' : !IsDigit(s[i])) {
            return false;
        }
    }
    return true;
}

std::optional<size_t> SearchPage(std::string_view page, std::string_view key) {
    // memmem: the key's first letter is everywhere in a page, which makes a plain find crawl.
    const void* hit = ::memmem(page.data(), page.size(), key.data(), key.size());
    if (!hit) {
        return std::nullopt;
    }
    return static_cast<size_t>(static_cast<const char*>(hit) - page.data());
}

// The lookup once the key's first occurrence is known.
void PriceAt(std::string_view page, std::optional<size_t> at, const std::string& key, TDataRec& rec,
             std::string_view seriesCode, const DateTime& now, uint16_t& priceCount) {
    if (!at) {
        return;
    }
    const std::string_view rest = page.substr(*at + key.size());
    if (rest.size() >= 3 && rest[2] == '-') {
        return;
    }
    // Another occurrence of the key could only be tested against the same series day, so a
    // mismatch here holds for the whole page.
    const auto seriesDay = SeriesDay(seriesCode, rec.ExpiryYear, rec.ExpiryMonth);
    if (!seriesDay || rec.ExpiryDay != *seriesDay) {
        return;
    }
    const double expiry =
        static_cast<double>(DayNumber(rec.ExpiryYear, rec.ExpiryMonth, rec.ExpiryDay));
    if (ToSerial(now) - 2.0 > expiry && rec.ExpiryMonth == now.month) {
        return;
    }
    const auto comma = rest.find(',');
    if (comma == std::string_view::npos || comma > kMaxPriceDigits) {
        return;
    }
    const std::string_view whole = rest.substr(0, comma);
    const std::string_view cents = rest.substr(comma + 1, 2);
    // Prices always have two decimals; fewer means the page was cut off inside this price.
    if (cents.size() < 2) {
        return;
    }
    if (whole.empty() || !AllDigits(whole) || !AllDigits(cents)) {
        return;
    }
    // No option of the index costs this much; such a cell is a fault of the page.
    rec.Price = std::string(whole) + "," + std::string(cents);
    if (ParseNumber(rec.Price) > kMaxPrice) {
        rec.Price = "0.0";
        return;
    }
    ++priceCount;
}

bool IgnoredPage(std::string_view page) {
    return page == "Default.htm" || page.size() < 60;
}

}  // namespace

void LookupPrice(std::string_view page, TDataRec& rec, std::string_view seriesCode,
                 const DateTime& now, uint16_t& priceCount) {
    if (IgnoredPage(page)) {
        return;
    }
    rec.Price = "0.0";
    const std::string key = LookupKey(rec);
    PriceAt(page, SearchPage(page, key), key, rec, seriesCode, now, priceCount);
}

PageIndex::PageIndex(std::string_view page) : page_(page) {
    for (size_t at = 0; at + kKeyPrefix <= page.size(); ++at) {
        if ((page[at] == 'P' || page[at] == 'C') && IsKeyPrefix(page.substr(at, kKeyPrefix))) {
            starts_[page.substr(at, kKeyPrefix)].push_back(at);
        }
    }
}

std::optional<size_t> PageIndex::Find(std::string_view key) const {
    // Every occurrence of a well-formed key starts at an indexed place; other keys are searched.
    if (!IsKeyPrefix(key)) {
        return SearchPage(page_, key);
    }
    const auto it = starts_.find(key.substr(0, kKeyPrefix));
    if (it == starts_.end()) {
        return std::nullopt;
    }
    for (const size_t at : it->second) {
        if (page_.substr(at, key.size()) == key) {
            return at;
        }
    }
    return std::nullopt;
}

void LookupPrice(const PageIndex& page, TDataRec& rec, std::string_view seriesCode,
                 const DateTime& now, uint16_t& priceCount) {
    if (IgnoredPage(page.page())) {
        return;
    }
    rec.Price = "0.0";
    const std::string key = LookupKey(rec);
    PriceAt(page.page(), page.Find(key), key, rec, seriesCode, now, priceCount);
}

}  // namespace rendaal
