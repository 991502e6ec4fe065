#pragma once

#include <compare>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "analytics/overview.h"
#include "core/regfile.h"
#include "core/settings_values.h"

// The three position rules a seller of combinations keeps an eye on: profit target, loss limit
// and the index near a break-even. Which of them held at the last evaluation is kept in the data
// folder, so that each alert is announced once when it starts, whichever process evaluates.
namespace rendaal {

enum class AlertKind { Winstdoel, Verliesgrens, BreakEven };

// "winstdoel", "verliesgrens", "AEX bij break-even".
std::string_view AlertName(AlertKind kind);
std::optional<AlertKind> AlertKindNamed(std::string_view name);

struct AlertSetting {
    std::string_view name;  // the stored value's name
    double min;
    double max;
    double fallback;
};
inline constexpr AlertSetting kWinstdoelSetting{kWinstdoelValue, 1, 100, 50};
inline constexpr AlertSetting kVerliesgrensSetting{kVerliesgrensValue, 1, 20, 2};
inline constexpr AlertSetting kBeMargeSetting{kBeMargeValue, 0, 50, 2};

struct AlertLimits {
    double winstdoel = kWinstdoelSetting.fallback;        // percent of the premium earned
    double verliesgrens = kVerliesgrensSetting.fallback;  // multiple of the premium
    double beMarge = kBeMargeSetting.fallback;            // percent of a break-even
};

struct AlertSettings {
    AlertLimits limits;
    bool notify = true;
    // A Dutch sentence for each stored value that is not a number in its range.
    std::vector<std::string> problems;
};

// A number with "," or "." decimals inside the setting's range; empty otherwise.
std::optional<double> ParseAlertSetting(std::string_view text, const AlertSetting& setting);
// "50", "2,0", "2,75": as the user writes it, at least one decimal when not whole percent.
std::string AlertSettingText(double value, const AlertSetting& setting);
// Missing values take their defaults silently; a DWORD counts as a whole number.
AlertSettings ReadAlertSettings(const RegFile& file, std::string_view key);
// The text as stored, or the default's text.
std::string StoredAlertSettingText(const RegFile& file, std::string_view key,
                                   const AlertSetting& setting);

struct Alert {
    std::string key;
    AlertKind kind = AlertKind::Winstdoel;
    double value = 0;  // share earned %, som_last / som_first, or the index level
    double limit = 0;  // W, V, or the level where the break-even alert starts
    // For the notice: the result in euro, and the break-even the index came near.
    std::optional<double> resultEur;
    std::optional<double> breakEven;
    bool lowSide = false;
};

struct RowAlerts {
    std::vector<Alert> holding;
    // Rules that cannot be decided for lack of a figure (no index level, no premium).
    std::vector<AlertKind> undecided;
};
RowAlerts AlertsOf(const OverviewRow& row, const AlertLimits& limits);

struct HeldAlert {
    std::string key;
    AlertKind kind;
    auto operator<=>(const HeldAlert&) const = default;
};
using AlertState = std::set<HeldAlert>;

inline constexpr std::string_view kAlertStateFileName = "Signalen.dat";

// One "<key>;<alert>" per line. Lines that do not read are left out: at worst an alert is
// announced once more.
AlertState ParseAlertState(std::string_view text);
std::string AlertStateText(const AlertState& state);
// Anything but a readable regular file counts as no alert held.
AlertState ReadAlertState(const std::string& path);
bool WriteAlertState(const std::string& path, const AlertState& state, std::string* error);

struct AlertRound {
    std::vector<Alert> holding;  // rows' order
    std::vector<Alert> started;  // holding now, not held before
    AlertState next;  // holding, plus earlier entries of rules that cannot be decided now
};
// Entries of combinations that are gone are dropped.
AlertRound EvaluateAlerts(const std::vector<OverviewRow>& rows, const AlertLimits& limits,
                          const AlertState& previous);

// Where the state goes when Signalen.dat cannot be written (a FIFO or folder in its place, a
// read-only data folder, a full disk), so that a notice is still said once.
struct AlertKeeping {
    // A copy outside the data folder; while it exists it counts instead of Signalen.dat, and it
    // is removed once Signalen.dat is written again. Empty: none.
    std::string sparePath;
    // A window's memory of what it announced, used while no file keeps the state. Without one
    // (the companion, a new process each run) and with neither file writable, alerts that start
    // are not announced: they would be announced again on every run.
    std::optional<AlertState>* memory = nullptr;
};

// Reads the folder's state, evaluates and writes the new state when it changed. The caller
// holds the run lock.
struct AlertPass {
    AlertRound round;
    // Why the state is not kept where it belongs: said in the run it first happens (each run
    // when nothing can keep it).
    std::string error;
};
AlertPass RunAlertPass(const std::string& folder, const std::vector<OverviewRow>& rows,
                       const AlertLimits& limits, const AlertKeeping& keeping = {});

// Fills each row's alert names.
void MarkAlerts(std::vector<OverviewRow>& rows, const std::vector<Alert>& holding);

inline constexpr const char* kAlertsCsvHeader = "key,alert,value,limit";
// "key,alert,value,limit" with 2 decimals, CR LF; no header.
std::string AlertsCsv(const std::vector<Alert>& alerts);
// The same for people: Dutch titles and decimals, LF.
std::string AlertsTable(const std::vector<Alert>& alerts);
// "Rendaal: <key>" and the sentence naming the alert and its numbers.
std::string AlertSummary(const Alert& alert);
std::string AlertBody(const Alert& alert);

}  // namespace rendaal
