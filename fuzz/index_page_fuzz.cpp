// The index page: tags stripped, the date, time, level and change cut out, the quote's time
// stamp and the read-out built from them. Any bytes give bounded texts and either no stamp or
// a real date no later than the day the page was read.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/calendar.h"
#include "download/index_page.h"
#include "download/option_page.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace rendaal;
    const std::string raw(reinterpret_cast<const char*>(data), size);
    const IndexCut cut = CutIndexPage(StripTags(raw));
    // Every text is a copy of at most 100 characters of the page.
    if (cut.DateText.size() > 10 || cut.QuoteTimeText.size() > 100 ||
        cut.IndexValueText.size() > 100 || cut.IndexChangeText.size() > 100) {
        std::abort();
    }
    for (const DateTime now :
         {DateTime{2026, 12, 7, 17, 40, 0, 0}, DateTime{2026, 12, 5, 8, 0, 0, 0},
          DateTime{2027, 1, 1, 0, 0, 0, 0}}) {
        const auto stamp = QuoteStamp(cut.DateText, cut.QuoteTimeText, now);
        if (!stamp) {
            continue;
        }
        if (!IsValidDate(stamp->year, stamp->month, stamp->day) || stamp->hour < 0 ||
            stamp->hour > 23 || stamp->minute < 0 || stamp->minute > 59 || stamp->second < 0 ||
            stamp->second > 59) {
            std::abort();
        }
        DownloadState state;
        state.IndexValueText = cut.IndexValueText;
        state.IndexChangeText = cut.IndexChangeText;
        state.PreviousIndexValueText = "949,86";
        const IndexDisplay display = MakeIndexDisplay(state, *stamp);
        if (display.L24.empty()) {
            std::abort();
        }
    }
    (void)ParseClockTime(cut.QuoteTimeText);
    (void)ParseClockTime(raw.substr(0, 40));
    return 0;
}
