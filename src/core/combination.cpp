#include "core/combination.h"

#include <algorithm>
#include <utility>

#include "core/fileio.h"
#include "core/text.h"

namespace rendaal {

Kind KindOf(std::string_view putField, std::string_view callField) {
    if (Contains(putField, "Geen") || Contains(callField, "Geen")) {
        return Kind::Single;
    }
    return putField == callField ? Kind::Straddle : Kind::Strangle;
}

StrikeReading ReadStrike(std::string_view field) {
    if (Contains(field, "Geen")) {
        return {StrikeReading::State::None, 0};
    }
    while (!field.empty() && field.front() == ' ') {
        field.remove_prefix(1);
    }
    while (!field.empty() && field.back() == ' ') {
        field.remove_suffix(1);
    }
    // Leading zeros pad the key's fields; beyond that a strike is a short number.
    while (field.size() > 1 && field.front() == '0' && field[1] != '.' && field[1] != ',') {
        field.remove_prefix(1);
    }
    int digits = 0;
    int separators = 0;
    for (const char c : field) {
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' || c == ',') {
            ++separators;
        } else {
            return {};
        }
    }
    if (digits == 0 || separators > 1 || field.size() > 16) {
        return {};
    }
    const double v = ParseNumber(field);
    if (!(v > 0)) {
        return {};
    }
    return {StrikeReading::State::Value, v};
}

namespace {

KeyWords WordsOfKey(std::string key) {
    std::replace(key.begin(), key.end(), '_', ' ');
    return SplitKey(key);
}

CombinationTerms TermsOfKey(std::string key) {
    const KeyWords w = WordsOfKey(std::move(key));
    CombinationTerms t{Kind::Strangle, ReadStrike(w.put), ReadStrike(w.call)};
    using S = StrikeReading::State;
    if (t.put.state == S::None || t.call.state == S::None) {
        t.kind = Kind::Single;
    } else if (t.put.state == S::Value && t.call.state == S::Value && t.put.value == t.call.value) {
        t.kind = Kind::Straddle;
    }
    return t;
}

}  // namespace

KeyWords TermWords(std::string_view line) {
    return WordsOfKey(CombinationKey(line));
}

CombinationTerms ReadTerms(std::string_view line) {
    return TermsOfKey(CombinationKey(line));
}

CombinationTerms ReadTermsOfFileName(std::string_view name) {
    if (name.ends_with(".csv")) {
        name.remove_suffix(4);
    }
    const auto p = name.find('_');
    return TermsOfKey(p == std::string_view::npos ? std::string()
                                                  : std::string(name.substr(p + 1)));
}

std::string StrikeField(std::string_view price) {
    return (price.size() >= 7 ? "0" : "00") + std::string(price);
}

const char* KindName(Kind kind) {
    switch (kind) {
        case Kind::Single:
            return "Single";
        case Kind::Straddle:
            return "Straddle";
        case Kind::Strangle:
            return "Strangle";
    }
    return "Strangle";
}

std::string CombinationKey(std::string_view line) {
    return BeforeFirst(';', line);
}

KeyWords SplitKey(std::string_view key) {
    KeyWords w;
    w.series = BeforeFirst(' ', key);
    std::string rest = AfterFirst(' ', key);
    w.expiry = BeforeFirst(' ', rest);
    rest = AfterFirst(' ', rest);
    w.put = BeforeFirst(' ', rest);
    w.call = AfterFirst(' ', rest);
    return w;
}

std::string HistoryFileName(std::string_view line) {
    const std::string key = CombinationKey(line);
    const KeyWords w = SplitKey(key);
    std::string name = std::string(KindName(KindOf(w.put, w.call))) + "_" + key + ".csv";
    std::replace(name.begin(), name.end(), ' ', '_');
    return name;
}

bool IsPlainFileName(std::string_view name) {
    // A control byte would split the tab- and line-separated lists that name files (the
    // archive index), and shows as nothing in a message.
    return !name.empty() && name != "." && name != ".." &&
           std::none_of(name.begin(), name.end(), [](char c) {
               return c == '/' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
           });
}

std::vector<std::string> RulesFileLines(std::string_view text) {
    // At the start of any line: files an editor saved may have been joined together.
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    auto lines = SplitLines(text);
    for (auto& line : lines) {
        size_t skip = 0;
        while (std::string_view(line).substr(skip).starts_with(kBom)) {
            skip += kBom.size();
        }
        line.erase(0, skip);
    }
    return lines;
}

std::vector<std::string> ParseRules(std::string_view text) {
    std::vector<std::string> lines;
    for (auto& line : RulesFileLines(text)) {
        if (!line.empty() && line[0] != ';') {
            lines.push_back(std::move(line));
        }
    }
    std::stable_sort(lines.begin(), lines.end(),
                     [](const std::string& a, const std::string& b) { return RulesLess(a, b); });
    return lines;
}

std::optional<std::vector<std::string>> LoadRules(const std::string& path) {
    const auto text = ReadFile(path);
    if (!text) {
        return std::nullopt;
    }
    return ParseRules(*text);
}

bool SaveRules(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += "\r\n";
    }
    return WriteFileAtomic(path, text);
}

bool RulesLess(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(a[i]);
        auto cb = static_cast<unsigned char>(b[i]);
        if (ca >= 'A' && ca <= 'Z') {
            ca = static_cast<unsigned char>(ca - 'A' + 'a');
        }
        if (cb >= 'A' && cb <= 'Z') {
            cb = static_cast<unsigned char>(cb - 'A' + 'a');
        }
        if (ca != cb) {
            return ca < cb;
        }
    }
    return a.size() < b.size();
}

size_t SortedInsertPosition(const std::vector<std::string>& sorted, std::string_view line) {
    const auto it = std::upper_bound(
        sorted.begin(), sorted.end(), line,
        [](std::string_view value, const std::string& item) { return RulesLess(value, item); });
    return static_cast<size_t>(it - sorted.begin());
}

}  // namespace rendaal
