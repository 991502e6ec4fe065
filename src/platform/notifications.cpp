#include "platform/notifications.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QEventLoop>
#include <QTimer>
#include <QVariantMap>

#include "analytics/rate_settings.h"
#include "core/clock.h"
#include "core/market_hours.h"
#include "platform/settings_store.h"

namespace rendaal {
namespace {

constexpr const char* kAppId = "nl.rendaal.Rendaal";

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

std::string ProblemText(const QDBusError& error) {
    switch (error.type()) {
        case QDBusError::ServiceUnknown:
            return "Geen meldingen: geen meldingendienst";
        case QDBusError::NoReply:
        case QDBusError::Timeout:
        case QDBusError::TimedOut:
            return "Geen meldingen: de meldingendienst antwoordt niet";
        default:
            return "Geen meldingen: " + error.message().toStdString();
    }
}

}  // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus)) {}

void DesktopNotifier::Problem(const std::string& text) {
    if (told_) {
        return;
    }
    told_ = true;
    if (onProblem) {
        onProblem(text);
    }
}

void DesktopNotifier::Notify(const std::string& summary, const std::string& body) {
    if (!bus_.isConnected()) {
        Problem("Geen meldingen: geen sessiebus");
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QString::fromLatin1(kAppId)}};
    call << QStringLiteral("Rendaal") << 0u << QString::fromLatin1(kAppId) << Q(summary) << Q(body)
         << QStringList() << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kNoticeTimeoutMs), this);
    ++pending_;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        --pending_;
        if (w->isError()) {
            Problem(ProblemText(w->error()));
        }
        w->deleteLater();
        if (pending_ == 0) {
            emit answered();
        }
    });
}

void DesktopNotifier::WaitForReplies(int ms) {
    if (pending_ == 0) {
        return;
    }
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &DesktopNotifier::answered, &loop, &QEventLoop::quit);
    deadline.start(ms);
    loop.exec();
    if (pending_ > 0) {
        Problem("Geen meldingen: de meldingendienst antwoordt niet");
    }
}

AlertCheck CheckAlerts(const std::string& folder, const std::vector<std::string>& lines,
                       DesktopNotifier* notifier) {
    const SettingsStore settings;
    const AlertSettings s = ReadAlertSettings(settings.file(), kSettingsKey);
    const Rates rates = ReadRateSettings(settings.file(), kSettingsKey).rates;
    const auto rows = LoadOverview(folder, lines, rates, AmsterdamTimeOfLocal(AppClock().Now()));
    AlertPass pass = RunAlertPass(folder, rows, s.limits);
    AlertCheck check;
    check.problems = s.problems;
    if (!pass.error.empty()) {
        check.problems.push_back(pass.error);
    }
    if (s.notify && notifier != nullptr) {
        for (const auto& a : pass.round.started) {
            notifier->Notify(AlertSummary(a), AlertBody(a));
        }
    }
    check.holding = std::move(pass.round.holding);
    check.started = std::move(pass.round.started);
    return check;
}

}  // namespace rendaal
