#include "analytics/rate_settings.h"

#include <charconv>
#include <cmath>

#include "analytics/report.h"

namespace rendaal {

std::optional<std::string> StoredSettingText(const RegFile& file, std::string_view key,
                                             std::string_view name) {
    const RegValue* v = file.Find(key, name);
    if (v == nullptr) {
        return std::nullopt;
    }
    if (v->type == RegValue::Type::String) {
        return v->text;
    }
    if (const auto n = file.ReadInteger(key, name)) {
        return std::to_string(*n);
    }
    return std::string();
}

namespace {

double ReadOne(const RegFile& file, std::string_view key, std::string_view name,
               double defaultPercent, std::string& problem) {
    const auto text = StoredSettingText(file, key, name);
    if (!text) {
        return defaultPercent / 100;
    }
    if (const auto v = ParsePercent(*text)) {
        return *v;
    }
    // Appended piece by piece: GCC 12 warns (-Wrestrict) on the chained operator+ here.
    std::string message(1, '"');
    message.append(name).append("\" is geen percentage (\"").append(*text).append("\"); ");
    message.append(PercentText(defaultPercent / 100)).append(" wordt gebruikt.");
    problem = std::move(message);
    return defaultPercent / 100;
}

}  // namespace

std::optional<double> ParsePercent(std::string_view text) {
    std::string t;
    for (const char c : text) {
        if (c != ' ' && c != '\t') {
            t += c == ',' ? '.' : c;
        }
    }
    if (t.empty() || t.front() == '+') {
        return std::nullopt;
    }
    double v = 0;
    const auto [end, ec] =
        std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || end != t.data() + t.size() || !std::isfinite(v) || v < -100 ||
        v > 100) {
        return std::nullopt;
    }
    return v / 100;
}

std::string PercentText(double fraction) {
    std::string text = FormatFixed(fraction * 100, 4, ',');
    while (text.size() > 1 && text.back() == '0' && text[text.size() - 2] != ',') {
        text.pop_back();
    }
    return text;
}

RateSettings ReadRateSettings(const RegFile& file, std::string_view key) {
    RateSettings s;
    s.rates.r = ReadOne(file, key, kRenteValue, kDefaultRentePercent, s.renteProblem);
    s.rates.q = ReadOne(file, key, kDividendValue, kDefaultDividendPercent, s.dividendProblem);
    return s;
}

std::string StoredPercentText(const RegFile& file, std::string_view key, std::string_view name) {
    const double fallback = name == kDividendValue ? kDefaultDividendPercent : kDefaultRentePercent;
    return StoredSettingText(file, key, name).value_or(PercentText(fallback / 100));
}

void WriteRateSettings(RegFile& file, std::string_view key, const Rates& rates) {
    file.SetString(key, kRenteValue, PercentText(rates.r));
    file.SetString(key, kDividendValue, PercentText(rates.q));
}

}  // namespace rendaal
