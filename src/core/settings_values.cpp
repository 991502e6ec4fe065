#include "core/settings_values.h"

#include <algorithm>
#include <string>

#include "core/text.h"

namespace rendaal {

namespace {

int Clamp(int64_t v, int lo, int hi) {
    return static_cast<int>(std::clamp<int64_t>(v, lo, hi));
}

bool ReadOnOff(const RegFile& file, std::string_view key, std::string_view name, bool fallback) {
    return file.ReadInteger(key, name).value_or(fallback ? 1 : 0) != 0;
}

}  // namespace

UserSettings ReadUserSettings(const RegFile& file, std::string_view key) {
    UserSettings s;
    s.years = Clamp(file.ReadInteger(key, kYearsValue).value_or(s.years), kYearsLimits.min,
                    kYearsLimits.max);
    s.downloadTimer = ReadOnOff(file, key, kDownloadTimerValue, s.downloadTimer);
    s.minutes =
        Clamp(file.ReadInteger(key, kMinutesValue).value_or(s.minutes), 1, kMaxTimerMinutes);
    s.updates = ReadOnOff(file, key, kUpdatesValue, s.updates);
    s.days =
        Clamp(file.ReadInteger(key, kDaysValue).value_or(s.days), kDaysLimits.min, kDaysLimits.max);
    s.opruim = ReadOnOff(file, key, kOpruimValue, s.opruim);
    return s;
}

void WriteUserSettings(RegFile& file, std::string_view key, const UserSettings& s) {
    file.WriteInteger(key, kYearsValue, s.years);
    file.SetString(key, kDownloadTimerValue, s.downloadTimer ? "1" : "0");
    file.WriteInteger(key, kMinutesValue, s.minutes);
    file.SetString(key, kUpdatesValue, s.updates ? "1" : "0");
    file.WriteInteger(key, kDaysValue, s.days);
    file.SetString(key, kOpruimValue, s.opruim ? "1" : "0");
}

int BoxValue(std::string_view text, BoxLimits limits) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return limits.min;
    }
    const auto v = ParseInteger(text);
    if (!v) {
        return negative ? limits.min : limits.max;  // only digits: a huge number is still a number
    }
    return Clamp(negative ? -*v : *v, limits.min, limits.max);
}

int TimerIntervalMs(int minutes) {
    return std::clamp(minutes, 1, kMaxTimerMinutes) * 60000;
}

}  // namespace rendaal
