#include "mainwindow/overview_settings.h"

#include <algorithm>

#include "analytics/overview.h"
#include "analytics/rate_settings.h"
#include "analytics/report.h"
#include "core/clock.h"
#include "core/market_hours.h"
#include "core/settings_values.h"
#include "mainwindow/user_message.h"
#include "platform/qt_text.h"
#include "platform/settings_store.h"

namespace rendaal {
namespace {

bool gRateProblemTold = false;

}  // namespace

Rates WindowRates() {
    const SettingsStore store;
    const RateSettings s = ReadRateSettings(store.file(), kSettingsKey);
    const std::string problems = s.renteProblem +
                                 (s.renteProblem.empty() || s.dividendProblem.empty() ? "" : "\r") +
                                 s.dividendProblem;
    if (!problems.empty() && !gRateProblemTold) {
        gRateProblemTold = true;
        ShowUserMessage(QStringLiteral("Rendaal"), ToQString(problems));
    }
    return s.rates;
}

bool TheoryViewStored() {
    return SettingsStore().ReadBool(kTheorieValue, false);
}

bool StoreTheoryView(bool on) {
    SettingsStore store;
    return store.Write(
        [on](RegFile& file) { file.WriteInteger(kSettingsKey, kTheorieValue, on ? 1 : 0); });
}

int64_t TheoryDaysStored() {
    const int64_t days = SettingsStore().ReadInteger(kTheorieDagenValue, 0);
    return days >= 0 && days <= kMaxTheorieDagen ? days : 0;
}

bool StoreTheoryDays(int64_t days) {
    SettingsStore store;
    return store.Write([days](RegFile& file) {
        file.WriteInteger(kSettingsKey, kTheorieDagenValue,
                          std::clamp<int64_t>(days, 0, kMaxTheorieDagen));
    });
}

std::string TheoryHoverFor(const std::string& folder, const std::string& line) {
    const auto rows =
        LoadOverview(folder, {line}, WindowRates(), AmsterdamTimeOfLocal(AppClock().Now()));
    return rows.empty() ? std::string() : TheoryHoverLines(rows.front());
}

}  // namespace rendaal
