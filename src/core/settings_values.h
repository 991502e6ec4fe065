#pragma once

#include <cstdint>
#include <string_view>

#include "core/regfile.h"

// The six user settings as stored and as the dialog's boxes limit them. Kept free of widgets so
// that reading odd stored values is tested without a window.
namespace rendaal {

inline constexpr std::string_view kYearsValue = "Aantal jaren";
inline constexpr std::string_view kDownloadTimerValue = "DownloadTimer";
inline constexpr std::string_view kMinutesValue = "Aantal minuten";
inline constexpr std::string_view kUpdatesValue = "Updates Aan";
inline constexpr std::string_view kDaysValue = "Aantal dagen";
inline constexpr std::string_view kOpruimValue = "Opruimen Aan";
// Percent per year as text ("2,0"): the rate and dividend yield volatilities are solved with.
inline constexpr std::string_view kRenteValue = "Rente";
inline constexpr std::string_view kDividendValue = "Dividend";
// On/off (default off): the block chart draws today's theoretical value.
inline constexpr std::string_view kTheorieValue = "Theorie";
// Alert limits as text with "," or "." decimals: percent of the premium earned, multiple of the
// premium, percent of a break-even. On/off (default on): desktop notices when an alert starts.
inline constexpr std::string_view kWinstdoelValue = "Winstdoel";
inline constexpr std::string_view kVerliesgrensValue = "Verliesgrens";
inline constexpr std::string_view kBeMargeValue = "BE-marge";
inline constexpr std::string_view kMeldingenValue = "Meldingen Aan";
// Whole days after today (default 0) at which the "Theorie" line prices the combination; the
// chart stops it at the day before expiry.
inline constexpr std::string_view kTheorieDagenValue = "Theorie dagen";
inline constexpr int64_t kMaxTheorieDagen = 36500;
// The columns the user hid in "Overzicht": their CSV names, separated by commas.
inline constexpr std::string_view kOverzichtVerborgenValue = "Overzicht verborgen";

struct BoxLimits {
    int min;
    int max;
    int step;
};
inline constexpr BoxLimits kYearsLimits{1, 5, 1};
inline constexpr BoxLimits kMinutesLimits{1, 60, 1};
inline constexpr BoxLimits kDaysLimits{20, 360, 5};

// QTimer takes its interval as int milliseconds.
inline constexpr int kMaxTimerMinutes = 35791;

struct UserSettings {
    int years = 1;
    bool downloadTimer = true;
    // May lie outside the minutes box: a stored 90 runs the timer every 90 minutes until OK.
    int minutes = 1;
    bool updates = true;
    int days = 30;
    bool opruim = false;
};

// Reads the six values under key; missing values and texts that are not numbers give the
// defaults. Years and days are brought inside their boxes' limits (an age limit of 0 days
// would delete every history file at start); minutes only inside 1..kMaxTimerMinutes.
UserSettings ReadUserSettings(const RegFile& file, std::string_view key);
// Writes the six values in their fixed order: numbers as DWORD unless already stored as a
// string, on/off as "1" or "0".
void WriteUserSettings(RegFile& file, std::string_view key, const UserSettings& s);

// The value of a number box from its text: a decimal integer brought inside the limits; a text
// that is not a number counts as the minimum.
int BoxValue(std::string_view text, BoxLimits limits);
// Timer interval in milliseconds, never 0 and never past what the timer takes.
int TimerIntervalMs(int minutes);

}  // namespace rendaal
