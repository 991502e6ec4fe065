#include "core/regfile.h"

#include <charconv>
#include <cstdio>

#include "core/fileio.h"

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
    int32_t v = 0;
    if (s.empty()) {
        return std::nullopt;
    }
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return v;
}

}  // namespace

RegFile RegFile::Parse(std::string_view text) {
    RegFile file;
    const auto lines = SplitLines(text);
    size_t first = 0;
    while (first < lines.size() && lines[first].empty()) {
        ++first;
    }
    if (first >= lines.size() || lines[first] != "REGEDIT4") {
        return file;
    }
    Key* current = nullptr;
    for (size_t i = first + 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        if (line.empty() || line[0] == ';') {
            continue;
        }
        if (line[0] == '[') {
            const auto close = line.rfind(']');
            if (close == std::string_view::npos || close < 2) {
                current = nullptr;
                continue;
            }
            const std::string name(line.substr(1, close - 1));
            current = nullptr;
            for (auto& k : file.keys_) {
                if (KeyEquals(k.name, name)) {
                    current = &k;
                }
            }
            if (!current) {
                file.keys_.push_back({name, {}});
                current = &file.keys_.back();
            }
            continue;
        }
        if (!current) {
            continue;
        }
        size_t pos = 0;
        std::string name;
        if (line[0] == '@') {
            name = "";
            pos = 1;
        } else {
            auto quoted = ReadQuoted(line, pos);
            if (!quoted) {
                continue;
            }
            name = std::move(*quoted);
        }
        if (pos >= line.size() || line[pos] != '=') {
            continue;
        }
        ++pos;
        RegValue value;
        value.name = name;
        const std::string_view rest = line.substr(pos);
        if (!rest.empty() && rest[0] == '"') {
            size_t p = 0;
            auto text = ReadQuoted(rest, p);
            if (!text || p != rest.size()) {
                continue;
            }
            value.type = RegValue::Type::String;
            value.text = std::move(*text);
        } else if (rest.substr(0, 6) == "dword:") {
            const auto hex = rest.substr(6);
            uint32_t v = 0;
            const auto [end, ec] = std::from_chars(hex.data(), hex.data() + hex.size(), v, 16);
            if (hex.empty() || hex.size() > 8 || ec != std::errc() ||
                end != hex.data() + hex.size()) {
                continue;
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
            continue;
        }
        bool replaced = false;
        for (auto& v : current->values) {
            if (KeyEquals(v.name, value.name)) {
                v = value;
                replaced = true;
            }
        }
        if (!replaced) {
            current->values.push_back(std::move(value));
        }
    }
    return file;
}

std::string RegFile::Serialize() const {
    std::string out = "REGEDIT4\r\n";
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
    return out;
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
    v.text = std::string(value);
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
