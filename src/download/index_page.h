#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/calendar.h"
#include "core/color.h"
#include "download/download_state.h"

// The index page of the mobile market site: level, change and quote time of the AEX.
namespace rendaal {

class PageFetcher;

inline constexpr std::string_view kIndexPagePath = "/index.php?type=main";
std::string IndexPageUrl(std::string_view base);

// The texts cut from the tag-stripped page. Missing markers give empty or wrong texts, never an
// out-of-range read.
struct IndexCut {
    std::string DateText;  // dd-mm-20yy, from the page's dd-mm-yy
    std::string QuoteTimeText;
    std::string IndexValueText;
    std::string IndexChangeText;
};
IndexCut CutIndexPage(std::string_view text);

// "17:35", "9:05:30", "17:35:10.250", spaces around allowed; empty for anything else.
std::optional<DateTime> ParseClockTime(std::string_view text);

// The quote's trading time: after 17:30 it is 18:00, before 08:30 yesterday (the clock's) at
// 18:00, a weekend date moves back to Friday. Empty when the date or time is not valid.
std::optional<DateTime> QuoteStamp(std::string_view dateText, std::string_view quoteTimeText,
                                   const DateTime& now);

inline constexpr Color kGreen = Rgb(0, 128, 0);
inline constexpr Color kRed = Rgb(255, 0, 0);
inline constexpr Color kBlue = Rgb(0, 0, 255);

// What the index read-out labels show after a read.
struct IndexDisplay {
    std::string L21;  // "AEX:"
    std::string L22;  // level
    std::string L23;  // change
    std::string L24;  // "@ dd-mm-yyyy hh:mm:ss"
    Color L22Colour;  // the day's direction (the change)
    Color L23Colour;  // the direction since the previous read
};
IndexDisplay MakeIndexDisplay(const DownloadState& state, const DateTime& stamp);

// Left edges of L22..L24: each 5 pixels after the previous label, widths measured after the
// new texts were set.
struct IndexLabelLefts {
    int L22 = 0;
    int L23 = 0;
    int L24 = 0;
};
IndexLabelLefts LayoutIndexLabels(int l21Left, int l21Width, int l22Width, int l23Width);

struct IndexReadResult {
    bool gotPage = false;
    std::optional<IndexDisplay> display;  // set when the page was read without error
    std::string error;                    // a message for the user; empty when none
    // Set when the page held no level in range: the run goes on without one.
    std::string reason;
};

// Up to three attempts, the first non-empty body wins. With a page, the state's index texts and
// DataRec.IndexValue take the new values (even when the quote time then proves unreadable); a
// level outside 1..100,000 leaves IndexValueText empty and IndexValue 0.
IndexReadResult ReadIndexPage(DownloadState& state, PageFetcher& fetcher, const std::string& url,
                              const DateTime& now, size_t maxBytes = size_t{16} << 20);

}  // namespace rendaal
