#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analytics/black_scholes.h"
#include "core/regfile.h"
#include "core/settings_values.h"

// The rate and dividend yield the volatilities are solved with, as the user stores them:
// percent per year as text with "," or "." decimals.
namespace rendaal {

inline constexpr double kDefaultRentePercent = 2.0;
inline constexpr double kDefaultDividendPercent = 3.0;

// Percent per year as a fraction ("2,0", "2.5", " -0,5 "); empty for a text that is not a
// number or lies outside -100 .. 100 percent.
std::optional<double> ParsePercent(std::string_view text);
// "2,0", "2,75": at least one decimal, comma, as the user writes it.
std::string PercentText(double fraction);

struct RateSettings {
    Rates rates{kDefaultRentePercent / 100, kDefaultDividendPercent / 100};
    // A Dutch sentence when the stored text is not a number and its default is used instead.
    std::string renteProblem;
    std::string dividendProblem;
};

// A stored setting as text: a string as it is, a DWORD as its number, another kind as "";
// empty when the value is missing.
std::optional<std::string> StoredSettingText(const RegFile& file, std::string_view key,
                                             std::string_view name);

// Missing values take their defaults silently; a DWORD counts as a whole percent.
RateSettings ReadRateSettings(const RegFile& file, std::string_view key);
// The rate text as stored, or the default's text.
std::string StoredPercentText(const RegFile& file, std::string_view key, std::string_view name);
void WriteRateSettings(RegFile& file, std::string_view key, const Rates& rates);

}  // namespace rendaal
