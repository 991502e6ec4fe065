#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <string>
#include <vector>

#include "analytics/alerts.h"

// Desktop notices through the freedesktop notification service on the session bus. A missing
// bus or service never fails a run: it is said once, and a slow service is never waited for
// longer than a second.
namespace rendaal {

inline constexpr int kNoticeTimeoutMs = 1000;

class DesktopNotifier final : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus(),
                             QObject* parent = nullptr);

    // Sends without waiting for the answer.
    void Notify(const std::string& summary, const std::string& body);
    // Lets the answers come in, for at most ms; the companion must not end before its notices
    // are delivered.
    void WaitForReplies(int ms = kNoticeTimeoutMs);
    int Pending() const { return pending_; }

    // Called once per notifier, with a Dutch sentence, the first time a notice cannot be shown.
    std::function<void(const std::string&)> onProblem;

signals:
    void answered();  // no notice waits for its answer any more

private:
    void Problem(const std::string& text);

    QDBusConnection bus_;
    int pending_ = 0;
    bool told_ = false;
};

struct AlertCheck {
    std::vector<Alert> holding;
    std::vector<Alert> started;
    // Settings that are not numbers in their range, a state file that could not be written.
    std::vector<std::string> problems;
};

// The whole evaluation for one data folder: the stored limits, every combination's overview,
// Signalen.dat read and written, a notice for each alert that started when "Meldingen Aan" is
// on. The caller holds the run lock.
AlertCheck CheckAlerts(const std::string& folder, const std::vector<std::string>& lines,
                       DesktopNotifier* notifier);

}  // namespace rendaal
