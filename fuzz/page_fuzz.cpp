// The option quote page: tags stripped, every price lookup of the download run and the add
// dialog's strike lists on one page. Any bytes give a tag-free text, a price that is "0.0" or
// digits + "," + at most two digits, and strike lists that start with "Geen".
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/calendar.h"
#include "download/option_page.h"
#include "download/strike_list.h"

namespace {

struct Side {
    const char* series;
    const char* yymm;
    const char* strike;
    char kind;
};

// The seed pages are the loopback server's for 7 December 2026; these name rows on them.
constexpr Side kSides[] = {
    {"AEX", "2612", "00945.00", 'P'}, {"AEX", "2612", "00950.00", 'C'},
    {"AX2", "2612", "00940.00", 'P'}, {"AX1", "2612", "00935.00", 'C'},
    {"AX4", "2612", "00955.00", 'P'}, {"AX1", "2701", "00945.00", 'P'},
    {"AEX", "2701", "00Geen", 'C'},   {"AX5", "2701", "00950.00", 'C'},
};

bool IsPriceText(const std::string& price) {
    if (price == "0.0") {
        return true;
    }
    const auto comma = price.find(',');
    return comma != std::string::npos && price.size() - comma - 1 <= 2;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace rendaal;
    const std::string raw(reinterpret_cast<const char*>(data), size);
    const std::string page = StripTags(raw);
    if (page.find('<') != std::string::npos || page.find('>') != std::string::npos ||
        page.size() > raw.size()) {
        std::abort();
    }
    const DateTime now{2026, 12, 7, 12, 0, 0, 0};
    uint16_t count = 0;
    const PageIndex index(page);
    for (const Side& side : kSides) {
        TDataRec rec;
        if (!SetLookupFields(rec, side.kind, side.series, side.yymm, side.strike, now.date())) {
            continue;
        }
        rec.Price = "unchanged";
        const uint16_t before = count;
        TDataRec indexed = rec;
        uint16_t indexedCount = count;
        LookupPrice(page, rec, side.series, now, count);
        // The indexed lookup of a download pass finds exactly what a plain search finds.
        LookupPrice(index, indexed, side.series, now, indexedCount);
        if (indexed.Price != rec.Price || indexedCount != count) {
            std::abort();
        }
        if (rec.Price == "unchanged") {
            // Only a page too short to hold a row is left alone.
            if (page.size() >= 60 && page != "Default.htm") {
                std::abort();
            }
            continue;
        }
        if (!IsPriceText(rec.Price) || (count != before) != (rec.Price != "0.0")) {
            std::abort();
        }
    }
    for (int series = 0; series < 5; ++series) {
        for (const char* month : {"december", "januari"}) {
            const StrikeLists lists = FillStrikeLists(page, month, "2026", series);
            if (lists.items.empty() || lists.items[0] != "Geen" || lists.selected < -1 ||
                lists.selected >= static_cast<int>(lists.items.size())) {
                std::abort();
            }
            for (const auto& item : lists.items) {
                if (item.find_first_of("\r\n;") != std::string::npos) {
                    std::abort();  // would break the combination line
                }
            }
        }
    }
    return 0;
}
