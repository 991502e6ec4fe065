#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/calendar.h"
#include "download/download_state.h"

// The option quote page: its request address, reducing it to text and finding one option's
// price in that text.
namespace rendaal {

inline constexpr std::string_view kOptionPagePath =
    "/dft/koersen/opties/?xml=true&tabid=koersen&tab=3&detail=true&selind=12272+IND+AEX-index+"
    "355&criteria=criteria&";

// base is scheme, host and port ("http://host:8080"); a trailing "/" is dropped.
std::string OptionPageUrl(std::string_view base, const TDataRec& window);

// Drops every "<...>" tag and every stray ">"; an unterminated "<" drops the rest.
std::string StripTags(std::string_view text);

// Expiry month and year of a key's YYMM word; empty unless both are two digits.
struct Expiry {
    int month = 0;
    int year = 0;
};
std::optional<Expiry> ParseExpiryCode(std::string_view yymm);

// Day placed in the lookup key: the third Friday for "AEX", the Friday of today's week for the
// weekly series; 21 March becomes 20.
int LookupExpiryDay(std::string_view series, int expiryYear, int expiryMonth, const Date& today);

// Fills rec's lookup fields for one side of a combination whose key is split into its words.
// False when the expiry code is not a number (the line cannot be looked up).
bool SetLookupFields(TDataRec& rec, char kind, std::string_view series, std::string_view yymm,
                     std::string_view strikeToken, const Date& today);

// "P19-12-2008400,00": kind, expiry date, exercise price with two decimals.
std::string LookupKey(const TDataRec& rec);

// A price beyond this is a page's nonsense, not a price.
inline constexpr double kMaxPrice = 100000;

// Sets rec.Price to the option's price text ("0.0" when it is not listed, expired, marked
// with a hyphen, of another week, not a number text "digits,dd" or above kMaxPrice) and counts
// a found price.
// A page shorter than 60 bytes or "Default.htm" leaves rec.Price as it was.
void LookupPrice(std::string_view page, TDataRec& rec, std::string_view seriesCode,
                 const DateTime& now, uint16_t& priceCount);

// Where the keys of one page stand, found in one scan, so that the hundreds of lookups of a
// download pass do not each search the whole page. The page must outlive the index.
class PageIndex final {
public:
    explicit PageIndex(std::string_view page);
    std::string_view page() const { return page_; }
    // Position of the first occurrence of key in the page, as a plain search finds it.
    std::optional<size_t> Find(std::string_view key) const;

private:
    std::string_view page_;
    // Every "P" or "C" followed by a dd-mm-yyyy date, by those eleven characters.
    std::unordered_map<std::string_view, std::vector<size_t>> starts_;
};

// The same lookup on an indexed page.
void LookupPrice(const PageIndex& page, TDataRec& rec, std::string_view seriesCode,
                 const DateTime& now, uint16_t& priceCount);

}  // namespace rendaal
