#pragma once

#include <vector>

#include "analytics/alerts.h"
#include "analytics/overview.h"

namespace rendaal {

class TMainForm;

// The stored alert limits; one that is not a number in its range takes its default, and the
// user is told so once per program run.
AlertLimits WindowAlertLimits();
// Evaluates the alerts once the histories are read away from the window, under the run lock
// (taken then), announces those that start and renews the list's marks. Why notices cannot be
// shown is said once in the status line, and once more after the first run when it was said
// before any.
void CheckWindowAlerts(TMainForm& form, bool afterRun);
// The same after a change of the rules or the settings: the run lock is taken first. When
// another process holds it, that process evaluates after its run; false then (and without a
// data folder), and the caller renews the marks alone.
bool CheckWindowAlertsWhenFree(TMainForm& form);
// With the rows just read: the check asked for (announcing what starts), or else the alerts
// that hold under the stored limits, marked on the rows.
void MarkWindowAlerts(TMainForm& form, std::vector<OverviewRow>& rows);

}  // namespace rendaal
