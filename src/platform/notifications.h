#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "analytics/alert_notice.h"
#include "analytics/alerts.h"

// Desktop notices through the freedesktop notification service on the session bus, and the same
// notice as a push POST and an e-mail. A missing bus or service never fails a run: it is said
// once, and a slow service is never waited for longer than a second.
namespace rendaal {

inline constexpr int kNoticeTimeoutMs = 1000;

class DesktopNotifier final : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(),
                             QObject* parent = nullptr);

    // Sends without waiting for the answer.
    void Notify(const std::string& summary, const std::string& body);
    // Replaces the notice this notifier showed last, if the service still shows it; with actions
    // on, offers "Toon", which emits showRequested with the notice's combination.
    void Notify(const Notice& notice);
    void setActions(bool on);
    // Lets the answers come in, for at most ms; the companion must not end before its notices
    // are delivered.
    void WaitForReplies(int ms = kNoticeTimeoutMs);
    int Pending() const { return pending_; }

    // Called once per notifier, with a Dutch sentence, the first time a notice cannot be shown.
    std::function<void(const std::string&)> onProblem;

signals:
    void answered();  // no notice waits for its answer any more
    void showRequested(const QString& key);

private slots:
    void ActionInvoked(uint id, const QString& action);

private:
    void Problem(const std::string& text);
    void Send(const Notice& notice, bool replace);

    QDBusConnection bus_;
    int pending_ = 0;
    bool told_ = false;
    bool actions_ = false;
    uint lastId_ = 0;
    QString lastKey_;
};

// The push and e-mail channels for one notice, sent side by side: at most kChannelBudgetMs in
// all, whatever the server or sendmail does. Each failure comes back as one Dutch sentence that
// names the channel and why, never a secret.
inline constexpr int kChannelBudgetMs = 5000;
struct ChannelOutcome {
    std::vector<std::string> sent;      // "push", "e-mail"
    std::vector<std::string> failures;  // "Push mislukt: HTTP-status 500"
};
ChannelOutcome SendOnChannels(const Notice& notice, const ChannelSettings& settings,
                              int budgetMs = kChannelBudgetMs);
// The sendmail that mail goes through: the first on PATH, then /usr/sbin and /usr/lib; "" if
// none.
std::string FindSendmail();

struct AlertCheck {
    std::vector<Alert> holding;
    std::vector<Alert> started;
    // Settings that are not numbers in their range, a state file that could not be written.
    std::vector<std::string> problems;
    // A push or mail that did not go out this time.
    std::vector<std::string> channelFailures;
};

// The whole evaluation for one data folder: the stored limits, every combination's overview,
// Signalen.dat read and written, and when "Meldingen Aan" is on one notice for the alerts that
// started, on the desktop and on each channel set up. The caller holds the run lock. memory:
// the window's (see AlertKeeping).
AlertCheck CheckAlerts(const std::string& folder, const std::vector<std::string>& lines,
                       DesktopNotifier* notifier);
// The same with the overview rows already read.
AlertCheck CheckAlerts(const std::string& folder, const std::vector<OverviewRow>& rows,
                       DesktopNotifier* notifier, std::optional<AlertState>* memory = nullptr);

// One test message on each channel set up; what
// "Test" and "rendaal-sched --test-alert" send.
ChannelOutcome SendTestNotice(const ChannelSettings& settings);

}  // namespace rendaal
