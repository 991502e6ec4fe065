#include "history/history_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "core/text.h"

namespace rendaal {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// 1 to maxDigits digits, nothing else.
std::optional<int> SmallNumber(std::string_view s, size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) {
        return std::nullopt;
    }
    int n = 0;
    for (char c : s) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        n = n * 10 + (c - '0');
    }
    return n;
}

// Digits with at most one separator. Up to 15 digits fit a double exactly, and so does
// 10^decimals: one division rounds as from_chars does, at a fraction of its cost. Empty for more.
std::optional<double> ExactDecimal(std::string_view digits) {
    uint64_t mantissa = 0;
    int count = 0;
    int decimals = -1;
    for (char c : digits) {
        if (!IsDigit(c)) {
            decimals = 0;
            continue;
        }
        // Checked before the digit goes in: a twentieth digit would wrap the mantissa.
        if (++count > 15) {
            return std::nullopt;
        }
        mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
        decimals += decimals >= 0 ? 1 : 0;
    }
    static constexpr double kPowers[] = {1,   1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    return static_cast<double>(mantissa) / kPowers[std::max(decimals, 0)];
}

// The correctly rounded reading of a checked number text with more digits; empty beyond the
// range of a double either way (400 digits, or 300 zeros after the separator).
std::optional<double> LongDecimal(std::string_view s) {
    std::string buf;
    buf.reserve(s.size() + 2);
    for (size_t i = 0; i < s.size(); ++i) {
        const bool separator = s[i] == ',' || s[i] == '.';
        if (separator && (i == 0 || !IsDigit(s[i - 1]))) {
            buf += '0';  // ",5" and "-,5"
        }
        buf += separator ? '.' : s[i];
    }
    if (buf.back() == '.') {
        buf += '0';
    }
    double value = 0;
    const char* last = buf.data() + buf.size();
    const auto [end, ec] = std::from_chars(buf.data(), last, value);
    if (ec != std::errc() || end != last) {
        return std::nullopt;
    }
    return value;
}

// No premium, sum or index level comes near a million, and a nonzero figure below a tenth of a
// cent is no price: ratios to it run to infinity in every figure shown.
constexpr double kMinFieldMagnitude = 0.001;
constexpr double kMaxFieldMagnitude = 1e6;

// A number as the program writes it (12,35 or 00.0), or as a spreadsheet saves it back: an
// optional "-", digits and at most one decimal separator, a value in the fields' range. Anything
// else does not read: a price of "12,3\0" or "1.234,5" would otherwise become a wrong number in
// a chart.
std::optional<double> FieldValue(std::string_view s) {
    const std::string_view digits = !s.empty() && s.front() == '-' ? s.substr(1) : s;
    int separators = 0;
    bool anyDigit = false;
    for (char c : digits) {
        if (c == ',' || c == '.') {
            ++separators;
        } else if (IsDigit(c)) {
            anyDigit = true;
        } else {
            return std::nullopt;
        }
    }
    if (!anyDigit || separators > 1) {
        return std::nullopt;
    }
    std::optional<double> value = ExactDecimal(digits);
    if (value && digits.size() < s.size()) {
        *value = -*value;
    } else if (!value) {
        value = LongDecimal(s);
    }
    const double magnitude = value ? std::fabs(*value) : 0;
    if (!value ||
        !(magnitude == 0 || (magnitude >= kMinFieldMagnitude && magnitude <= kMaxFieldMagnitude))) {
        return std::nullopt;
    }
    return value;
}

// H:mm or H:mm:ss, perhaps with AM/PM as another locale writes it.
bool IsTimeText(std::string_view s) {
    if (s.size() > 3 && (s.substr(s.size() - 2) == "AM" || s.substr(s.size() - 2) == "PM")) {
        s = Trim(s.substr(0, s.size() - 2));
    }
    const auto c1 = s.find(':');
    if (c1 == std::string_view::npos) {
        return false;
    }
    const auto h = SmallNumber(s.substr(0, c1), 2);
    std::string_view rest = s.substr(c1 + 1);
    const auto c2 = rest.find(':');
    const auto m = SmallNumber(rest.substr(0, c2), 2);
    if (!h || !m || *h > 23 || *m > 59 || rest.substr(0, c2).size() != 2) {
        return false;
    }
    if (c2 == std::string_view::npos) {
        return true;
    }
    const std::string_view secText = rest.substr(c2 + 1);
    const auto sec = SmallNumber(secText, 2);
    return sec && secText.size() == 2 && *sec <= 59;
}

// Fills in the fields of a non-blank line that is no header.
void ReadLine(HistoryTextLine& line) {
    std::array<std::string_view, 5> fields{};
    const std::string_view text = line.text;
    size_t count = 0;
    bool extra = false;  // a sixth field with something in it
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != ';') {
            continue;
        }
        const std::string_view field = Trim(text.substr(start, i - start));
        if (count < fields.size()) {
            fields[count] = field;
        } else if (!field.empty()) {
            extra = true;
        }
        ++count;
        start = i + 1;
    }
    line.dateTime = fields[0];
    line.put = fields[1];
    line.call = fields[2];
    line.som = fields[3];
    line.aex = fields[4];

    const auto blank = line.dateTime.find_first_of(" \t");
    line.date = ParseHistoryDate(line.dateTime.substr(0, blank));
    if (!line.date) {
        return;
    }
    const std::string_view time =
        blank == std::string_view::npos ? std::string_view() : Trim(line.dateTime.substr(blank));
    line.putValue = FieldValue(line.put);
    line.callValue = FieldValue(line.call);
    line.somValue = FieldValue(line.som);
    line.aexValue = FieldValue(line.aex);
    line.damaged = count < 5 || extra || (!time.empty() && !IsTimeText(time)) || !line.putValue ||
                   !line.callValue || !line.somValue || (!line.aex.empty() && !line.aexValue);
}

// An odd last byte (a cut file) is dropped; a lone surrogate becomes U+FFFD.
std::string FromUtf16(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 2);
    const auto unit = [&](size_t i) -> uint32_t {
        const auto a = static_cast<unsigned char>(bytes[i]);
        const auto b = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (a << 8) | b : (b << 8) | a;
    };
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? 0xFFFD : u);
    }
    return out;
}

std::string Decode(std::string&& bytes) {
    const std::string_view b = bytes;
    if (b.substr(0, 2) == "\xFF\xFE") {
        return FromUtf16(b.substr(2), false);
    }
    if (b.substr(0, 2) == "\xFE\xFF") {
        return FromUtf16(b.substr(2), true);
    }
    if (b.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.erase(0, 3);
    }
    return std::move(bytes);
}

// Spreadsheets save a history in their own dialect: fields quoted, "," or a tab between them
// ("." decimals with ","), dates as yyyy-mm-dd or dd/mm/yyyy, a currency sign in a cell. Such
// lines are turned into the program's form before they are read, so that every reader sees one
// form and the next write puts it back.
bool IsCurrencyByte(unsigned char c) {
    return c == 0x80;  // the euro sign in Windows-1252
}

std::string_view WithoutCurrency(std::string_view s) {
    static constexpr std::string_view kEuro = "\xE2\x82\xAC";
    for (bool again = true; again;) {
        again = false;
        s = Trim(s);
        if (s.starts_with(kEuro) || s.ends_with(kEuro)) {
            s = s.starts_with(kEuro) ? s.substr(kEuro.size())
                                     : s.substr(0, s.size() - kEuro.size());
            again = true;
        } else if (!s.empty() && (IsCurrencyByte(static_cast<unsigned char>(s.front())) ||
                                  IsCurrencyByte(static_cast<unsigned char>(s.back())))) {
            s = IsCurrencyByte(static_cast<unsigned char>(s.front())) ? s.substr(1)
                                                                      : s.substr(0, s.size() - 1);
            again = true;
        }
    }
    return s;
}

bool HasCurrency(std::string_view text) {
    return text.find("\xE2\x82\xAC") != std::string_view::npos ||
           text.find('\x80') != std::string_view::npos;  // IsCurrencyByte, found by memchr
}

// The fields of a line cut at sep, quotes removed ("" inside quotes is one quote).
std::vector<std::string> SplitQuoted(std::string_view line, char sep) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
        } else if (c == sep && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

char SeparatorOf(std::string_view line) {
    if (line.find(';') != std::string_view::npos) {
        return ';';
    }
    return line.find('\t') != std::string_view::npos ? '\t' : ',';
}

// yyyy-mm-dd, or dd/mm/yyyy where the file's other "/" dates allow no month-first reading.
std::optional<Date> SpreadsheetDate(std::string_view text, bool slashDates) {
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        const auto y = SmallNumber(text.substr(0, 4), 4);
        const auto m = SmallNumber(text.substr(5, 2), 2);
        const auto d = SmallNumber(text.substr(8, 2), 2);
        if (y && m && d && *y >= 1 && IsValidDate(*y, *m, *d)) {
            return Date{*y, *m, *d};
        }
        return std::nullopt;
    }
    const auto p1 = text.find('/');
    const auto p2 = p1 == std::string_view::npos ? p1 : text.find('/', p1 + 1);
    if (!slashDates || p2 == std::string_view::npos || text.size() - p2 - 1 != 4) {
        return std::nullopt;
    }
    const auto d = SmallNumber(text.substr(0, p1), 2);
    const auto m = SmallNumber(text.substr(p1 + 1, p2 - p1 - 1), 2);
    const auto y = SmallNumber(text.substr(p2 + 1), 4);
    if (d && m && y && *y >= 1 && IsValidDate(*y, *m, *d)) {
        return Date{*y, *m, *d};
    }
    return std::nullopt;
}

// "17:35", "5:35:00 PM" -> "17:35:00"; anything else as it came, for the reader to judge.
std::string SpreadsheetTime(std::string_view s) {
    s = Trim(s);
    const bool pm = s.size() > 3 && s.ends_with("PM");
    const bool am = s.size() > 3 && s.ends_with("AM");
    if (am || pm) {
        s = Trim(s.substr(0, s.size() - 2));
    }
    const auto c1 = s.find(':');
    const auto c2 = c1 == std::string_view::npos ? c1 : s.find(':', c1 + 1);
    const auto h = SmallNumber(s.substr(0, c1), 2);
    const auto m =
        c1 == std::string_view::npos ? std::nullopt : SmallNumber(s.substr(c1 + 1, c2 - c1 - 1), 2);
    const auto sec =
        c2 == std::string_view::npos ? std::optional<int>(0) : SmallNumber(s.substr(c2 + 1), 2);
    if (!h || !m || !sec || *h > ((am || pm) ? 12 : 23) || *m > 59 || *sec > 59) {
        return std::string(s);
    }
    const int hour = pm ? *h % 12 + 12 : am ? *h % 12 : *h;
    return std::to_string(hour) + ":" + (*m < 10 ? "0" : "") + std::to_string(*m) + ":" +
           (*sec < 10 ? "0" : "") + std::to_string(*sec);
}

// A number cell in the program's form: a decimal comma; a price or sum with two decimals and
// at least five characters ("8.4" -> "08,40"), as downloads write them.
std::string SpreadsheetNumber(std::string_view s, bool price) {
    std::string text(WithoutCurrency(s));
    for (char& c : text) {
        c = c == '.' ? ',' : c;
    }
    const auto comma = text.find(',');
    const size_t decimals = comma == std::string::npos ? 0 : text.size() - comma - 1;
    const bool plain =
        !text.empty() && IsDigit(text.front()) && decimals <= 2 &&
        std::all_of(text.begin(), text.end(), [](char c) { return IsDigit(c) || c == ','; });
    if (price && plain) {
        text += comma == std::string::npos ? ",00" : decimals == 1 ? "0" : "";
        text += decimals == 0 && comma != std::string::npos ? "00" : "";
        if (text.size() < 5) {
            text.insert(text.begin(), '0');
        }
    }
    return text;
}

// The line in the program's form, or empty when it is in it already or is no row at all.
std::optional<std::string> FromSpreadsheetLine(std::string_view line, bool slashDates) {
    const char sep = SeparatorOf(line);
    const bool quoted = line.find('"') != std::string_view::npos;
    if (sep == ',' && line.find(',') == std::string_view::npos) {
        return std::nullopt;
    }
    std::vector<std::string> fields = SplitQuoted(line, sep);
    while (fields.size() > 5 && Trim(fields.back()).empty()) {
        fields.pop_back();
    }
    std::string joined;
    for (const auto& f : fields) {
        joined += std::string(Trim(f)) + ";";
    }
    if (IsHistoryHeader(joined)) {
        return sep == ';' && !quoted ? std::nullopt
                                     : std::optional<std::string>("Datum; Put; Call; Som; AEX");
    }
    const std::string_view stamp = Trim(fields[0]);
    const auto split = stamp.find_first_of(" \tT");
    const std::string_view dateText = stamp.substr(0, split);
    const std::optional<Date> own = ParseHistoryDate(dateText);
    const std::optional<Date> date = own ? own : SpreadsheetDate(dateText, slashDates);
    if (!date || fields.size() != 5 || (sep == ';' && !quoted && own && !HasCurrency(line))) {
        return std::nullopt;
    }
    std::string out = FormatDmy(*date);
    if (split != std::string_view::npos) {
        out += ' ';
        out += SpreadsheetTime(stamp.substr(split + 1));
    }
    for (size_t i = 1; i < 5; ++i) {
        out += "; ";
        out += SpreadsheetNumber(fields[i], i < 4);
    }
    // What cannot be a field of the program's form stays as it came, for the reader to judge.
    if (std::count(out.begin(), out.end(), ';') != 4 || out.find('"') != std::string::npos) {
        return std::nullopt;
    }
    return out;
}

// Whether "/" dates read day first: none of them has a second number above 12.
bool SlashDatesDayFirst(std::string_view text) {
    for (size_t p = text.find('/'); p != std::string_view::npos; p = text.find('/', p + 1)) {
        const size_t start = p;
        size_t end = p + 1;
        while (end < text.size() && IsDigit(text[end])) {
            ++end;
        }
        if (end < text.size() && text[end] == '/' && end - start - 1 <= 2 &&
            SmallNumber(text.substr(start + 1, end - start - 1), 2).value_or(0) > 12) {
            return false;
        }
    }
    return true;
}

// Where the lines of a text end: at each CR and each LF. Both searches are remembered, so that a
// text with one kind of line end is not searched to its end for the other on every line.
class LineEnds final {
public:
    explicit LineEnds(std::string_view text) : stop_(text.data() + text.size()) {}

    const char* stop() const { return stop_; }
    // The first CR or LF at or after p, or stop().
    const char* Next(const char* p) {
        if (lf_ == nullptr || lf_ < p) {
            lf_ = Find(p, '\n');
        }
        if (cr_ == nullptr || cr_ < p) {
            cr_ = Find(p, '\r');
        }
        return std::min(lf_, cr_);
    }

private:
    const char* Find(const char* p, char c) const {
        const void* hit = std::memchr(p, c, static_cast<size_t>(stop_ - p));
        return hit != nullptr ? static_cast<const char*>(hit) : stop_;
    }

    const char* stop_;
    const char* lf_ = nullptr;
    const char* cr_ = nullptr;
};

// Whether a line may be a spreadsheet's by how it starts or separates: "," or tabs without ";",
// a yyyy- date or a "/" in its first word. Quotes and currency signs are looked for in the whole
// text at once.
bool MayBeSpreadsheetLine(std::string_view line) {
    const size_t semicolon = line.find(';');
    if (semicolon == std::string_view::npos &&
        (line.find(',') != std::string_view::npos || line.find('\t') != std::string_view::npos)) {
        return true;
    }
    if (line.size() > 5 && IsDigit(line[0]) && IsDigit(line[3]) && line[4] == '-') {
        return true;
    }
    const std::string_view head = line.substr(0, semicolon);
    return head.substr(0, head.find(' ')).find('/') != std::string_view::npos;
}

// A line FromSpreadsheetLine leaves as it is without cutting it up: ";" between fields, no
// quotes or currency sign, and a date of the program's own.
bool IsOwnFormLine(std::string_view line) {
    const size_t semicolon = line.find(';');
    if (semicolon == std::string_view::npos || line.find('"') != std::string_view::npos ||
        HasCurrency(line)) {
        return false;
    }
    const std::string_view stamp = Trim(line.substr(0, semicolon));
    return ParseHistoryDate(stamp.substr(0, stamp.find_first_of(" \tT"))).has_value();
}

// The decoded text with every spreadsheet line in the program's form; empty when none is.
std::optional<std::string> FromSpreadsheet(std::string_view text) {
    // Most files are the program's own: whole-text searches and one look at each line decide.
    bool any = text.find('"') != std::string_view::npos || HasCurrency(text);
    LineEnds ends(text);
    for (const char* p = text.data(); p < ends.stop() && !any;) {
        const char* end = ends.Next(p);
        any = MayBeSpreadsheetLine(std::string_view(p, static_cast<size_t>(end - p)));
        p = end + 1;
    }
    if (!any) {
        return std::nullopt;
    }
    const bool slashDates = SlashDatesDayFirst(text);
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    bool changed = false;
    LineEnds lineEnds(text);
    for (const char* p = text.data(); p < lineEnds.stop();) {
        const char* end = lineEnds.Next(p);
        const std::string_view line(p, static_cast<size_t>(end - p));
        // A line already in the program's form may still carry what marks a spreadsheet.
        std::optional<std::string> own;
        if (!IsOwnFormLine(line)) {
            own = FromSpreadsheetLine(line, slashDates);
        }
        if (own && *own != line) {
            out += *own;
            changed = true;
        } else {
            out += line;
        }
        if (end < lineEnds.stop()) {
            out += *end;
        }
        p = end + 1;
    }
    return changed ? std::optional<std::string>(std::move(out)) : std::nullopt;
}

// The date text of a line: its first field up to a blank.
std::string_view DateText(std::string_view line) {
    size_t i = 0;
    while (i < line.size() && IsBlank(line[i])) {
        ++i;
    }
    size_t end = i;
    while (end < line.size() && line[end] != ';' && !IsBlank(line[end])) {
        ++end;
    }
    return line.substr(i, end - i);
}

// A line of NUL bytes and blanks is what a crash leaves where a block was not yet written.
bool IsBlankLine(std::string_view line) {
    for (char c : line) {
        if (!IsBlank(c) && c != '\0') {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<Date> ParseHistoryDate(std::string_view text) {
    // dd-mm-yyyy as the program writes it, without the searches.
    if (text.size() == 10 && text[2] == '-' && text[5] == '-') {
        const auto d = [&](size_t i) { return static_cast<unsigned>(text[i] - '0'); };
        if (d(0) > 9 || d(1) > 9 || d(3) > 9 || d(4) > 9 || d(6) > 9 || d(7) > 9 || d(8) > 9 ||
            d(9) > 9) {
            return std::nullopt;
        }
        const int day = static_cast<int>(d(0) * 10 + d(1));
        const int month = static_cast<int>(d(3) * 10 + d(4));
        const int year = static_cast<int>(d(6) * 1000 + d(7) * 100 + d(8) * 10 + d(9));
        // Days up to the 28th exist in every month.
        const bool valid = year >= 1 && ((day >= 1 && day <= 28 && month >= 1 && month <= 12) ||
                                         IsValidDate(year, month, day));
        return valid ? std::optional<Date>(Date{year, month, day}) : std::nullopt;
    }
    // d-m-yyyy: of what ParseDmy reads, only one or two digits, one or two, and four.
    size_t i = 0;
    const auto digits = [&](size_t least, size_t most) {
        const size_t from = i;
        while (i < text.size() && i - from < most && IsDigit(text[i])) {
            ++i;
        }
        return i - from >= least;
    };
    const auto dash = [&] { return i < text.size() && text[i++] == '-'; };
    if (!(digits(1, 2) && dash() && digits(1, 2) && dash() && digits(4, 4) && i == text.size())) {
        return std::nullopt;
    }
    return ParseDmy(text);
}

bool IsHistoryHeader(std::string_view line) {
    static constexpr std::string_view kWords = "datum;put;call;som;aex";
    size_t matched = 0;
    for (char c : line) {
        if (IsBlank(c)) {
            continue;
        }
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (matched < kWords.size()) {
            if (c != kWords[matched]) {
                return false;
            }
            ++matched;
        } else if (c != ';') {
            return false;
        }
    }
    return matched == kWords.size();
}

size_t HistoryText::RowCount() const {
    size_t n = 0;
    for (const auto& line : lines) {
        n += line.IsRow() ? 1 : 0;
    }
    return n;
}

namespace {

// Calls onLine(text, ended) for every line of decoded text that is neither blank nor a header.
// True when a header was seen; anyText tells whether anything but blanks was.
template <class OnLine>
bool ForEachLine(std::string_view text, bool& anyText, OnLine onLine) {
    bool header = false;
    anyText = false;
    LineEnds ends(text);
    const char* const stop = ends.stop();
    const char* p = text.data();
    while (p < stop) {
        // A lone CR ends a line as well.
        const char* end = ends.Next(p);
        const std::string_view raw(p, static_cast<size_t>(end - p));
        const bool ended = end < stop;
        p = !ended ? end : end + 1 + (*end == '\r' && end + 1 < stop && end[1] == '\n' ? 1 : 0);
        if (IsBlankLine(raw)) {
            continue;
        }
        anyText = true;
        if (IsHistoryHeader(raw)) {
            header = true;
            continue;
        }
        onLine(raw, ended);
    }
    return header;
}

}  // namespace

HistoryText ReadHistoryText(std::string_view bytes) {
    return ReadHistoryText(std::string(bytes));
}

HistoryText ReadHistoryText(std::string&& bytes) {
    HistoryText result;
    // Counting first saves the vector's regrowth on large files; a byte count would reserve far
    // too much for garbage without line ends.
    result.lines.reserve(static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
    bool anyText = false;
    bool anyRow = false;
    std::string decoded = Decode(std::move(bytes));
    if (auto own = FromSpreadsheet(decoded)) {
        decoded = std::move(*own);
        result.spreadsheet = true;
    }
    result.decoded = std::make_shared<std::string>(std::move(decoded));
    result.header = ForEachLine(*result.decoded, anyText, [&](std::string_view raw, bool ended) {
        HistoryTextLine& line = result.lines.emplace_back();
        line.text = raw;
        line.ended = ended;
        ReadLine(line);
        anyRow = anyRow || line.IsRow();
    });
    result.readable = !anyText || result.header || anyRow;
    return result;
}

void ReadHistoryDates(std::string_view bytes, HistoryDates& into) {
    into.lines.clear();
    into.decoded.reset();
    std::string_view text = bytes;
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF")) {
        into.decoded = std::make_shared<std::string>(Decode(std::string(bytes)));
        text = *into.decoded;
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    if (auto own = FromSpreadsheet(text)) {
        into.decoded = std::make_shared<std::string>(std::move(*own));
        text = *into.decoded;
    }
    bool anyText = false;
    into.header = ForEachLine(text, anyText, [&](std::string_view raw, bool ended) {
        into.lines.push_back({raw, ParseHistoryDate(DateText(raw)), ended});
    });
    into.readable =
        !anyText || into.header ||
        std::any_of(into.lines.begin(), into.lines.end(), [](const HistoryDatedLine& l) {
            return l.date && ReadHistoryFields(l).IsRow();
        });
}

HistoryTextLine ReadHistoryFields(const HistoryDatedLine& dated) {
    HistoryTextLine line;
    line.text = dated.text;
    line.ended = dated.ended;
    ReadLine(line);
    return line;
}

}  // namespace rendaal
