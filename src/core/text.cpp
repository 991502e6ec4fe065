#include "core/text.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace rendaal {

std::string BeforeFirst(char c, std::string_view s) {
    const auto p = s.find(c);
    return p == std::string_view::npos ? std::string() : std::string(s.substr(0, p));
}

std::string AfterFirst(char c, std::string_view s) {
    const auto p = s.find(c);
    return p == std::string_view::npos ? std::string() : std::string(s.substr(p + 1));
}

std::string BeforeLast(char c, std::string_view s) {
    const auto p = s.rfind(c);
    return p == std::string_view::npos ? std::string() : std::string(s.substr(0, p));
}

std::string AfterLast(char c, std::string_view s) {
    const auto p = s.rfind(c);
    return p == std::string_view::npos ? std::string() : std::string(s.substr(p + 1));
}

namespace {

// "12,35", " -0,5", "912.37": blanks only around, an optional "-", a digit first, at most one
// separator and 15 digits, which a double and 10^decimals hold exactly, so that one division
// rounds as from_chars does. Empty for anything else, which the general path reads.
std::optional<double> PlainNumber(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    const bool negative = !s.empty() && s.front() == '-';
    if (negative) {
        s.remove_prefix(1);
    }
    if (s.empty() || s.front() < '0' || s.front() > '9') {
        return std::nullopt;
    }
    uint64_t mantissa = 0;
    int count = 0;
    int decimals = -1;
    for (char c : s) {
        if (c >= '0' && c <= '9') {
            // Checked before the digit goes in: a twentieth digit would wrap the mantissa.
            if (++count > 15) {
                return std::nullopt;
            }
            mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
            decimals += decimals >= 0 ? 1 : 0;
        } else if ((c == ',' || c == '.') && decimals < 0) {
            decimals = 0;
        } else {
            return std::nullopt;
        }
    }
    static constexpr double kPowers[] = {1,   1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double value = static_cast<double>(mantissa) / kPowers[std::max(decimals, 0)];
    return negative ? -value : value;
}

}  // namespace

double ParseNumber(std::string_view s) {
    if (const auto plain = PlainNumber(s)) {
        return *plain;
    }
    std::string t = RemoveSpaces(s);
    if (const auto comma = t.find(','); comma != std::string::npos) {
        t[comma] = '.';
    }
    if (t.empty()) {
        t = "0.0";
    }
    const bool allowed = std::all_of(t.begin(), t.end(), [](char ch) {
        return (ch >= '0' && ch <= '9') || ch == '-' || ch == '.';
    });
    if (!allowed) {
        return 0.0;
    }
    if (t.find('.') == std::string::npos) {
        t += '.';
    }
    if (BeforeFirst('.', t).empty()) {
        t.insert(t.begin(), '0');
    }
    if (AfterFirst('.', t).empty()) {
        t += '0';
    }
    double value = 0.0;
    const char* first = t.data();
    const char* last = t.data() + t.size();
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::fixed);
    if (ec != std::errc() || end != last) {
        return 0.0;  // a second point, an inner "-", a number beyond double range
    }
    return value;
}

std::optional<int64_t> ParseInteger(std::string_view s) {
    int64_t v = 0;
    const char* last = s.data() + s.size();
    const auto [end, ec] = std::from_chars(s.data(), last, v);
    if (s.empty() || ec != std::errc() || end != last) {
        return std::nullopt;
    }
    return v;
}

std::optional<double> ParseIndexLevel(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    // 100000 with a few decimals is the longest level; the bound keeps absurd texts out early.
    if (s.empty() || s.size() > 12) {
        return std::nullopt;
    }
    int separators = 0;
    for (char c : s) {
        if (c == ',' || c == '.') {
            ++separators;
        } else if (c < '0' || c > '9') {
            return std::nullopt;
        }
    }
    if (separators > 1 || s.front() == ',' || s.front() == '.') {
        return std::nullopt;
    }
    const double value = ParseNumber(s);
    if (!(value >= kMinIndexLevel && value <= kMaxIndexLevel)) {
        return std::nullopt;
    }
    return value;
}

std::string FormatNumber(double value, int width, int decimals, char separator) {
    width = std::clamp(width, 0, 255);
    decimals = std::clamp(decimals, 0, 255);
    const int needed = std::snprintf(nullptr, 0, "%.*f", decimals, value);
    std::string text(needed > 0 ? static_cast<size_t>(needed) : 0, '\0');
    if (needed > 0) {
        std::snprintf(text.data(), text.size() + 1, "%.*f", decimals, value);
    }
    if (static_cast<int>(text.size()) < width) {
        text.insert(0, static_cast<size_t>(width) - text.size(), ' ');
    }
    if (text.size() > 12) {
        text.resize(12);
    }
    if (separator != '.') {
        if (const auto p = text.find('.'); p != std::string::npos) {
            text[p] = separator;
        }
    }
    return text;
}

std::string PadLeft(long long n, int width) {
    std::string text = std::to_string(n);
    while (static_cast<int>(text.size()) < width) {
        text.insert(text.begin(), ' ');
    }
    return text;
}

std::string TwoDigits(long long n) {
    std::string text = std::to_string(n);
    if (n < 10) {
        text.insert(text.begin(), '0');
    }
    return text.substr(0, 2);
}

std::string RemoveSpaces(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char ch : s) {
        if (ch != ' ') {
            out += ch;
        }
    }
    return out;
}

std::string RemoveDigits(std::string_view s) {
    std::string out;
    for (char ch : s.substr(0, std::min<size_t>(s.size(), 79))) {
        if (ch < '0' || ch > '9') {
            out += ch;
        }
    }
    return out;
}

std::string KeepNumberChars(std::string_view s) {
    std::string out;
    for (char ch : s.substr(0, std::min<size_t>(s.size(), 79))) {
        if ((ch >= '0' && ch <= '9') || ch == ',' || ch == '.') {
            out += ch;
        }
    }
    return out;
}

bool EnsureFolder(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    std::error_code ec;
    const auto before = std::filesystem::current_path(ec);
    std::filesystem::create_directories(path, ec);
    if (::chdir(path.c_str()) != 0) {
        return false;
    }
    const auto now = std::filesystem::current_path(ec);
    if (ec) {
        if (!before.empty()) {
            std::filesystem::current_path(before, ec);
        }
        return false;
    }
    std::string text = now.string();
    if (text.empty() || text.back() != '/') {
        text += '/';
    }
    return text == path;
}

std::string AsciiLower(std::string_view s) {
    std::string out(s);
    for (char& ch : out) {
        if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch - 'A' + 'a');
        }
    }
    return out;
}

bool Contains(std::string_view s, std::string_view part) {
    return s.find(part) != std::string_view::npos;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace rendaal
