#include "download/index_page.h"

#include "core/text.h"
#include "download/fetch.h"
#include "download/option_page.h"

namespace rendaal {
namespace {

// Like a 1-based Copy(s, from, 100): any start and length are safe.
std::string_view Copy100(std::string_view s, size_t from0) {
    if (from0 >= s.size()) {
        return {};
    }
    return s.substr(from0, 100);
}

std::optional<int> Digits(std::string_view s, size_t minLen, size_t maxLen) {
    if (s.size() < minLen || s.size() > maxLen) {
        return std::nullopt;
    }
    int n = 0;
    for (char c : s) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        n = n * 10 + (c - '0');
    }
    return n;
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// Page bytes shown in a message: control characters would break the message's lines.
std::string Printable(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = '?';
        }
    }
    return out;
}

}  // namespace

std::string IndexPageUrl(std::string_view base) {
    while (!base.empty() && base.back() == '/') {
        base.remove_suffix(1);
    }
    return std::string(base) + std::string(kIndexPagePath);
}

IndexCut CutIndexPage(std::string_view text) {
    IndexCut cut;
    const auto home = text.find("HOME");
    const size_t from = (home == std::string_view::npos || home < 20) ? 0 : home - 20;
    std::string s = AfterFirst(';', Copy100(text, from));
    const std::string_view d8 = std::string_view(s).substr(0, 8);
    cut.DateText = std::string(d8.substr(0, 6)) + "20" +
                   std::string(d8.size() > 6 ? d8.substr(6, 2) : std::string_view());
    s = std::string(Copy100(s, 8));
    cut.QuoteTimeText = BeforeFirst('H', s);
    const auto aex = s.find("AEX");
    s = std::string(Copy100(s, aex == std::string::npos ? 2 : aex + 3));
    cut.IndexValueText = BeforeFirst('(', s);
    cut.IndexChangeText = BeforeFirst(')', AfterFirst('(', s));
    return cut;
}

std::optional<DateTime> ParseClockTime(std::string_view text) {
    text = Trim(text);
    const auto c1 = text.find(':');
    if (c1 == std::string_view::npos) {
        return std::nullopt;
    }
    const auto hour = Digits(text.substr(0, c1), 1, 2);
    std::string_view rest = text.substr(c1 + 1);
    const auto c2 = rest.find(':');
    const auto minute = Digits(rest.substr(0, c2), 1, 2);
    int second = 0;
    int msec = 0;
    if (c2 != std::string_view::npos) {
        std::string_view sec = rest.substr(c2 + 1);
        const auto dot = sec.find('.');
        if (dot != std::string_view::npos) {
            const auto ms = Digits(sec.substr(dot + 1), 1, 3);
            if (!ms) {
                return std::nullopt;
            }
            msec = *ms;
            sec = sec.substr(0, dot);
        }
        const auto s = Digits(sec, 1, 2);
        if (!s || *s > 59) {
            return std::nullopt;
        }
        second = *s;
    }
    if (!hour || !minute || *hour > 23 || *minute > 59) {
        return std::nullopt;
    }
    DateTime t;
    t.hour = *hour;
    t.minute = *minute;
    t.second = second;
    t.msec = msec;
    return t;
}

std::optional<DateTime> QuoteStamp(std::string_view dateText, std::string_view quoteTimeText,
                                   const DateTime& now) {
    const auto date = ParseDmy(Trim(dateText));
    const auto time = ParseClockTime(quoteTimeText);
    if (!date || !time) {
        return std::nullopt;
    }
    Date day = *date;
    int hour = time->hour;
    int minute = time->minute;
    if (hour * 60 + minute > 1050) {
        hour = 18;
        minute = 0;
    }
    if (hour * 60 + minute < 510) {
        day = FromDayNumber(DayNumber(now.date()) - 1);
        hour = 18;
        minute = 0;
    }
    while (Weekday(day) == 7 || Weekday(day) == 1) {
        day = FromDayNumber(DayNumber(day) - 1);
    }
    return DateTime{day.year, day.month, day.day, hour, minute, time->second, time->msec};
}

IndexDisplay MakeIndexDisplay(const DownloadState& state, const DateTime& stamp) {
    const double now = ParseNumber(state.IndexValueText);
    const double old = ParseNumber(state.PreviousIndexValueText);
    const double change = ParseNumber(state.IndexChangeText);
    IndexDisplay d;
    d.L22Colour = change == 0 ? kBlue : change > 0 ? kGreen : kRed;
    d.L23Colour = now == old ? kBlue : now > old ? kGreen : kRed;
    d.L21 = "AEX:";
    d.L22 = state.IndexValueText;
    d.L23 = state.IndexChangeText;
    d.L24 = "@ " + FormatDmyHms(stamp);
    return d;
}

IndexLabelLefts LayoutIndexLabels(int l21Left, int l21Width, int l22Width, int l23Width) {
    IndexLabelLefts l;
    l.L22 = l21Left + l21Width + 5;
    l.L23 = l.L22 + l22Width + 5;
    l.L24 = l.L23 + l23Width + 5;
    return l;
}

IndexReadResult ReadIndexPage(DownloadState& state, PageFetcher& fetcher, const std::string& url,
                              const DateTime& now, size_t maxBytes) {
    IndexReadResult result;
    FetchRequest request;
    request.url = url;
    request.reload = true;
    request.proxy = ProxyMode::Preconfigured;
    request.maxBytes = maxBytes;
    std::string page;
    for (int attempt = 0; attempt < 3 && page.empty(); ++attempt) {
        page = fetcher.Fetch(request);
    }
    if (page.empty()) {
        return result;
    }
    result.gotPage = true;
    const IndexCut cut = CutIndexPage(StripTags(page));
    state.PreviousIndexValueText = state.IndexValueText;
    state.QuoteTimeText = cut.QuoteTimeText;
    // A level outside what the AEX can be is no level: it must neither centre the next request
    // window nor go into the history lines.
    const auto level = ParseIndexLevel(cut.IndexValueText);
    state.IndexValueText = level ? cut.IndexValueText : std::string();
    state.DataRec.IndexValue = level.value_or(0.0);
    if (!level) {
        result.reason = "geen geldige indexstand op de indexpagina (\"" +
                        Printable(cut.IndexValueText.substr(0, 40)) + "\")";
    }
    state.IndexChangeText = cut.IndexChangeText;
    const auto stamp = QuoteStamp(cut.DateText, cut.QuoteTimeText, now);
    if (!stamp) {
        result.error = "De datum en tijd op de indexpagina (\"" + Printable(cut.DateText) + " " +
                       Printable(cut.QuoteTimeText) + "\") zijn geen geldige datum en tijd.";
        return result;
    }
    result.display = MakeIndexDisplay(state, *stamp);
    return result;
}

}  // namespace rendaal
