#include "core/regfile.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <iterator>

#include "core/fileio.h"
#include "core/text.h"

namespace rendaal {
namespace {

bool KeyEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y) {
            return false;
        }
    }
    return true;
}

// Reads a quoted, backslash-escaped text starting at s[pos] == '"'; pos ends after the quote.
std::optional<std::string> ReadQuoted(std::string_view s, size_t& pos) {
    if (pos >= s.size() || s[pos] != '"') {
        return std::nullopt;
    }
    std::string out;
    for (++pos; pos < s.size(); ++pos) {
        const char ch = s[pos];
        if (ch == '\\' && pos + 1 < s.size()) {
            out += s[++pos];
        } else if (ch == '"') {
            ++pos;
            return out;
        } else {
            out += ch;
        }
    }
    return std::nullopt;  // no closing quote: a torn line
}

std::string Quote(std::string_view s) {
    std::string out = "\"";
    for (char ch : s) {
        if (ch == '\\' || ch == '"') {
            out += '\\';
        }
        out += ch;
    }
    out += '"';
    return out;
}

std::optional<int64_t> ParseDecimal(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    const auto v = ParseInteger(s);
    if (!v || *v < INT32_MIN || *v > INT32_MAX) {
        return std::nullopt;
    }
    return v;
}

constexpr std::string_view kRegedit4Header = "REGEDIT4";
constexpr std::string_view kVersion5Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view kUtf16Bom = "\xFF\xFE";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Code page 1252 at 0x80..0x9F; the five bytes it leaves undefined stand for the C1 control of
// the same number, as Windows converts them, so that any byte reads and writes back unchanged.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t Cp1252Char(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte;
}

// The code point of the well-formed UTF-8 sequence at s[pos], advancing pos past it; empty (pos
// unchanged) for a stray, overlong, surrogate or out-of-range sequence.
std::optional<char32_t> NextUtf8(std::string_view s, size_t& pos) {
    const auto byte = [&s](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    size_t length = 0;
    char32_t cp = 0;
    char32_t least = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, cp = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, cp = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, cp = lead & 0x07, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (s.size() - pos < length) {
        return std::nullopt;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80) {
            return std::nullopt;
        }
        cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        return std::nullopt;
    }
    pos += length;
    return cp;
}

bool IsUtf8(std::string_view s) {
    for (size_t pos = 0; pos < s.size();) {
        if (!NextUtf8(s, pos)) {
            return false;
        }
    }
    return true;
}

bool IsAscii(std::string_view s) {
    for (char ch : s) {
        if (static_cast<unsigned char>(ch) >= 0x80) {
            return false;
        }
    }
    return true;
}

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        AppendUtf8(out, Cp1252Char(static_cast<unsigned char>(ch)));
    }
    return out;
}

// Empty when a character has no place in code page 1252.
std::optional<std::string> Utf8ToCp1252(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t pos = 0; pos < text.size();) {
        const auto cp = NextUtf8(text, pos);
        if (!cp) {
            return std::nullopt;
        }
        if (*cp < 0x80 || (*cp >= 0xA0 && *cp <= 0xFF)) {
            out += static_cast<char>(*cp);
            continue;
        }
        const auto* end = std::end(kCp1252High);
        const auto* hit = std::find(std::begin(kCp1252High), end, static_cast<char16_t>(*cp));
        if (*cp > 0xFFFF || hit == end) {
            return std::nullopt;
        }
        out += static_cast<char>(0x80 + (hit - std::begin(kCp1252High)));
    }
    return out;
}

// Empty for an unpaired surrogate; a last odd byte (a torn file) is ignored.
std::optional<std::string> Utf16LeToUtf8(std::string_view bytes) {
    const auto unit = [&bytes](size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    std::string out;
    out.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xDC00 && cp <= 0xDFFF) {
            return std::nullopt;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            if (i + 3 >= bytes.size()) {
                return std::nullopt;
            }
            const char32_t low = unit(i + 2);
            if (low < 0xDC00 || low > 0xDFFF) {
                return std::nullopt;
            }
            cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
            i += 2;
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::string Utf8ToUtf16Le(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    const auto put = [&out](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (size_t pos = 0; pos < text.size();) {
        // Bytes that are not UTF-8 (put there by a caller, never by Parse) go as code page 1252.
        char32_t cp = 0;
        if (const auto next = NextUtf8(text, pos)) {
            cp = *next;
        } else {
            cp = Cp1252Char(static_cast<unsigned char>(text[pos++]));
        }
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

std::string_view TrimEnd(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// The file's text as UTF-8: UTF-16 after its byte-order mark; otherwise UTF-8 when it is valid
// UTF-8, else code page 1252. Empty for broken UTF-16.
std::optional<std::string> DecodeText(std::string_view bytes) {
    if (bytes.substr(0, kUtf16Bom.size()) == kUtf16Bom) {
        return Utf16LeToUtf8(bytes.substr(kUtf16Bom.size()));
    }
    if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        bytes.remove_prefix(kUtf8Bom.size());
    }
    return IsUtf8(bytes) ? std::string(bytes) : Cp1252ToUtf8(bytes);
}

// The value of a `"name"=...` or `@=...` line. A binary value takes its continuation lines with
// it, moving i past them. Empty for a line that cannot be understood.
std::optional<RegValue> ParseValueLine(const std::vector<std::string>& lines, size_t& i) {
    const std::string_view line = lines[i];
    size_t pos = 0;
    RegValue value;
    if (line[0] == '@') {
        pos = 1;
    } else {
        auto quoted = ReadQuoted(line, pos);
        if (!quoted) {
            return std::nullopt;
        }
        value.name = std::move(*quoted);
    }
    if (pos >= line.size() || line[pos] != '=') {
        return std::nullopt;
    }
    const std::string_view rest = line.substr(pos + 1);
    if (!rest.empty() && rest[0] == '"') {
        size_t p = 0;
        auto text = ReadQuoted(rest, p);
        if (!text || p != rest.size()) {
            return std::nullopt;
        }
        value.type = RegValue::Type::String;
        value.text = std::move(*text);
    } else if (rest.substr(0, 6) == "dword:") {
        const auto hex = rest.substr(6);
        uint32_t v = 0;
        const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), v, 16);
        if (hex.empty() || hex.size() > 8 || ec != std::errc() || end != hex.data() + hex.size()) {
            return std::nullopt;
        }
        value.type = RegValue::Type::Dword;
        value.dword = v;
    } else if (rest.substr(0, 4) == "hex:" || rest.substr(0, 4) == "hex(") {
        // Binary values continue over lines ending in a backslash onto indented lines; kept
        // verbatim.
        std::string raw(rest);
        while (!raw.empty() && raw.back() == '\\' && i + 1 < lines.size() &&
               !lines[i + 1].empty() && lines[i + 1][0] == ' ') {
            raw += "\r\n";
            raw += lines[++i];
        }
        value.type = RegValue::Type::Raw;
        value.text = std::move(raw);
    } else {
        return std::nullopt;
    }
    return value;
}

// A template only because the key type is private to RegFile.
template <typename Keys>
auto* FindOrAddKey(Keys& keys, const std::string& name) {
    typename Keys::value_type* found = nullptr;
    for (auto& k : keys) {
        if (KeyEquals(k.name, name)) {
            found = &k;
        }
    }
    if (!found) {
        keys.push_back({name, {}});
        found = &keys.back();
    }
    return found;
}

// A repeated name replaces the earlier value, as the registry editor does.
void SetValue(std::vector<RegValue>& values, RegValue value) {
    bool replaced = false;
    for (auto& v : values) {
        if (KeyEquals(v.name, value.name)) {
            v = value;
            replaced = true;
        }
    }
    if (!replaced) {
        values.push_back(std::move(value));
    }
}

}  // namespace

std::optional<RegFile> RegFile::Parse(std::string_view bytes) {
    RegFile file;
    if (bytes.substr(0, kUtf16Bom.size()) == kUtf16Bom) {
        file.form_ = RegForm::Version5;
    }
    const auto text = DecodeText(bytes);
    if (!text) {
        return std::nullopt;
    }
    const auto lines = SplitLines(*text);
    size_t first = 0;
    while (first < lines.size() && TrimEnd(lines[first]).empty()) {
        ++first;
    }
    if (first >= lines.size()) {
        return file;
    }
    const std::string_view header = TrimEnd(lines[first]);
    if (header == kVersion5Header) {
        file.form_ = RegForm::Version5;
    } else if (header == kRegedit4Header) {
        file.form_ = RegForm::Regedit4;
    } else {
        return std::nullopt;
    }
    Key* current = nullptr;
    for (size_t i = first + 1; i < lines.size(); ++i) {
        const std::string_view line = lines[i];
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            const auto close = line.rfind(']');
            current = close == std::string_view::npos || close < 2
                          ? nullptr
                          : FindOrAddKey(file.keys_, std::string(line.substr(1, close - 1)));
            continue;
        }
        if (!current) {
            continue;
        }
        if (auto value = ParseValueLine(lines, i)) {
            SetValue(current->values, std::move(*value));
        }
    }
    return file;
}

std::string RegFile::Serialize() const {
    std::string out;
    for (const auto& key : keys_) {
        out += "\r\n[" + key.name + "]\r\n";
        for (const auto& v : key.values) {
            out += v.name.empty() ? std::string("@") : Quote(v.name);
            out += '=';
            switch (v.type) {
                case RegValue::Type::String:
                    out += Quote(v.text);
                    break;
                case RegValue::Type::Dword: {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "dword:%08x", v.dword);
                    out += buf;
                    break;
                }
                case RegValue::Type::Raw:
                    out += v.text;
                    break;
            }
            out += "\r\n";
        }
    }
    out += "\r\n";
    if (form_ == RegForm::Regedit4) {
        // Bytes that are valid UTF-8 would be read back as UTF-8, not as what was written.
        const auto ansi = Utf8ToCp1252(std::string(kRegedit4Header) + "\r\n" + out);
        if (ansi && (IsAscii(*ansi) || !IsUtf8(*ansi))) {
            return *ansi;
        }
    }
    return std::string(kUtf16Bom) + Utf8ToUtf16Le(std::string(kVersion5Header) + "\r\n" + out);
}

const RegValue* RegFile::Find(std::string_view key, std::string_view name) const {
    for (const auto& k : keys_) {
        if (!KeyEquals(k.name, key)) {
            continue;
        }
        for (const auto& v : k.values) {
            if (KeyEquals(v.name, name)) {
                return &v;
            }
        }
    }
    return nullptr;
}

RegValue& RegFile::Slot(std::string_view key, std::string_view name) {
    Key* k = nullptr;
    for (auto& candidate : keys_) {
        if (KeyEquals(candidate.name, key)) {
            k = &candidate;
        }
    }
    if (!k) {
        keys_.push_back({std::string(key), {}});
        k = &keys_.back();
    }
    for (auto& v : k->values) {
        if (KeyEquals(v.name, name)) {
            return v;
        }
    }
    RegValue fresh;
    fresh.name = std::string(name);
    k->values.push_back(std::move(fresh));
    return k->values.back();
}

void RegFile::SetString(std::string_view key, std::string_view name, std::string_view value) {
    RegValue& v = Slot(key, name);
    v.type = RegValue::Type::String;
    // The file is line based: a line break in a value would start a value or key of its own.
    v.text = std::string(value);
    for (char& ch : v.text) {
        if (ch == '\r' || ch == '\n') {
            ch = ' ';
        }
    }
}

void RegFile::SetDword(std::string_view key, std::string_view name, uint32_t value) {
    RegValue& v = Slot(key, name);
    v.type = RegValue::Type::Dword;
    v.text.clear();
    v.dword = value;
}

std::optional<int64_t> RegFile::ReadInteger(std::string_view key, std::string_view name) const {
    const RegValue* v = Find(key, name);
    if (!v) {
        return std::nullopt;
    }
    if (v->type == RegValue::Type::Dword) {
        return static_cast<int32_t>(v->dword);
    }
    if (v->type == RegValue::Type::String) {
        return ParseDecimal(v->text);
    }
    return std::nullopt;
}

void RegFile::WriteInteger(std::string_view key, std::string_view name, int64_t value) {
    const RegValue* v = Find(key, name);
    if (v && v->type == RegValue::Type::String) {
        SetString(key, name, std::to_string(value));
    } else {
        SetDword(key, name, static_cast<uint32_t>(value));
    }
}

}  // namespace rendaal
