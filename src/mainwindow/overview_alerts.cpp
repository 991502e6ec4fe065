#include "mainwindow/overview_alerts.h"

#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <string>

#include "download/run_lock.h"
#include "mainwindow/main_form.h"
#include "mainwindow/overview_form.h"
#include "platform/notifications.h"
#include "platform/qt_text.h"
#include "platform/settings_store.h"

namespace rendaal {
namespace {

std::vector<std::string> gAlertProblemsTold;

void TellAlertProblems(const std::vector<std::string>& problems) {
    QString text;
    for (const auto& p : problems) {
        if (std::find(gAlertProblemsTold.begin(), gAlertProblemsTold.end(), p) ==
            gAlertProblemsTold.end()) {
            gAlertProblemsTold.push_back(p);
            text += (text.isEmpty() ? "" : "\r") + ToQString(p);
        }
    }
    if (!text.isEmpty()) {
        ShowUserMessage(QStringLiteral("Rendaal"), text);
    }
}

// Why notices cannot be shown, and whether the status line has said it after a run: said at
// start only, a run's own status would cover it at once.
std::string gNoticeProblem;
bool gNoticeProblemAfterRun = false;

void SayInStatus(TMainForm& form, const std::string& text) {
    const QString status = form.Label1->text();
    form.Label1->setText(status.isEmpty() ? ToQString(text)
                                          : status + QStringLiteral(" \u2013 ") + ToQString(text));
    form.Label1->setToolTip(ToQString(text));  // the line may be cut off
    form.Label1->adjustSize();
}

void SayNoticeProblem(TMainForm& form) {
    SayInStatus(form, gNoticeProblem);
}

// A push or mail failure is said once until that channel works again; it is tried again at the
// next alert that starts.
std::vector<std::string> gChannelFailuresTold;

void TellChannelFailures(TMainForm& form, const AlertCheck& check) {
    if (check.started.empty()) {
        return;
    }
    for (const auto& failure : check.channelFailures) {
        if (std::find(gChannelFailuresTold.begin(), gChannelFailuresTold.end(), failure) ==
            gChannelFailuresTold.end()) {
            SayInStatus(form, failure);
        }
    }
    gChannelFailuresTold = check.channelFailures;
}

// What the window announced while no file could keep it.
std::optional<AlertState> gAlertMemory;

DesktopNotifier& NotifierOf(TMainForm& form) {
    auto* notifier = form.findChild<DesktopNotifier*>(QString(), Qt::FindDirectChildrenOnly);
    if (notifier == nullptr) {
        notifier = new DesktopNotifier(QDBusConnection::sessionBus(), &form);
        notifier->onProblem = [&form](const std::string& problem) {
            gNoticeProblem = problem;
            SayNoticeProblem(form);
        };
        // "Toon" on a notice opens Overzicht on its combination.
        notifier->setActions(true);
        QObject::connect(notifier, &DesktopNotifier::showRequested, &form,
                         [&form](const QString& key) { OpenOverview(form, key.toStdString()); });
    }
    return *notifier;
}

// An alert check waits for the histories to be read; checks asked meanwhile are one.
struct PendingCheck {
    bool asked = false;
    bool afterRun = false;
    std::string noticeBefore;
};
PendingCheck gPendingCheck;

// The check with the rows just read, under the run lock; empty while a run holds it (its own
// end asks again).
std::optional<std::vector<Alert>> PendingAlertCheck(TMainForm& form,
                                                    const std::vector<OverviewRow>& rows) {
    RunLock lock(form.DataFolder);
    if (!lock.TryAcquire()) {
        return std::nullopt;
    }
    const PendingCheck pending = gPendingCheck;
    gPendingCheck = {};
    AlertCheck check = CheckAlerts(form.DataFolder, rows, &NotifierOf(form), &gAlertMemory);
    TellAlertProblems(check.problems);
    TellChannelFailures(form, check);
    if (pending.afterRun && !gNoticeProblemAfterRun && !pending.noticeBefore.empty()) {
        gNoticeProblemAfterRun = true;
        SayNoticeProblem(form);
    } else if (pending.afterRun && !gNoticeProblem.empty()) {
        gNoticeProblemAfterRun = true;
    }
    return std::move(check.holding);
}

}  // namespace

AlertLimits WindowAlertLimits() {
    const SettingsStore store;
    const AlertSettings s = ReadAlertSettings(store.file(), kSettingsKey);
    TellAlertProblems(s.problems);
    return s.limits;
}

void CheckWindowAlerts(TMainForm& form, bool afterRun) {
    if (!gPendingCheck.asked) {
        gPendingCheck.noticeBefore = gNoticeProblem;
    }
    gPendingCheck.asked = true;
    gPendingCheck.afterRun = gPendingCheck.afterRun || afterRun;
    AskOverviewRows(form, form.Combinations());
}

bool CheckWindowAlertsWhenFree(TMainForm& form) {
    // No folder yet: a lock file must not appear in the working folder.
    if (form.DataFolder.empty() || !QFileInfo(ToQString(form.DataFolder)).isDir()) {
        return false;
    }
    RunLock lock(form.DataFolder);
    if (!lock.TryAcquire()) {
        return false;
    }
    CheckWindowAlerts(form, false);
    return true;
}

void MarkWindowAlerts(TMainForm& form, std::vector<OverviewRow>& rows) {
    const auto checked = gPendingCheck.asked ? PendingAlertCheck(form, rows) : std::nullopt;
    MarkAlerts(rows, checked ? *checked : EvaluateAlerts(rows, WindowAlertLimits(), {}).holding);
}

}  // namespace rendaal
