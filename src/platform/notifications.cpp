#include "platform/notifications.h"

#include <unistd.h>

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTimer>
#include <QUuid>
#include <QVariantMap>
#include <memory>

#include "analytics/rate_settings.h"
#include "core/clock.h"
#include "core/market_hours.h"
#include "platform/app_paths.h"
#include "platform/http_client.h"
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

constexpr const char* kNoticePath = "/org/freedesktop/Notifications";
constexpr const char* kNoticeInterface = "org.freedesktop.Notifications";
constexpr size_t kMaxRelayText = 200;

std::string PushFailure(const FetchStatus& status) {
    if (status.failure == FetchFailure::Refused && status.httpStatus >= 300 &&
        status.httpStatus < 400) {
        return "Push mislukt: doorverwijzing naar een ander adres geweigerd";
    }
    if (status.failure == FetchFailure::TimedOut) {
        return "Push mislukt: de server antwoordt niet binnen " +
               std::to_string(kChannelBudgetMs / 1000) + " s";
    }
    const std::string reason = FetchFailureReason(status);
    return "Push mislukt: " + (reason.empty() ? std::string("onbekende fout") : reason);
}

// The first line of what sendmail said, without secrets and bounded.
std::string RelayText(const QByteArray& err, const ChannelSettings& settings) {
    std::string line = err.left(static_cast<qsizetype>(kMaxRelayText) * 4).toStdString();
    line = line.substr(0, line.find_first_of("\r\n"));
    line = HideSecrets(line, settings);
    if (line.size() > kMaxRelayText) {
        line.resize(kMaxRelayText);
    }
    return line;
}

std::string MessageIdDomain() {
    std::string host = QSysInfo::machineHostName().toStdString();
    const bool plain = !host.empty() && host.find_first_not_of(
                                            "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                            "0123456789.-") == std::string::npos;
    return plain ? host : "localhost";
}

// sendmail runs while the push waits, so the two share the time.
class MailSend final {
public:
    MailSend(const Notice& notice, const ChannelSettings& settings) : settings_(settings) {
        const std::string program = FindSendmail();
        if (program.empty()) {
            error_ =
                "E-mail mislukt: geen sendmail gevonden (PATH, /usr/sbin/sendmail, "
                "/usr/lib/sendmail)";
            return;
        }
        const std::string id = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString() +
                               "@" + MessageIdDomain();
        const std::string date =
            QDateTime::currentDateTime().toString(Qt::RFC2822Date).toStdString();
        // Arguments go straight to the program, never through a shell.
        process_.setProgram(QString::fromStdString(program));
        process_.setArguments({QStringLiteral("-t"), QStringLiteral("-i")});
        process_.start();
        if (!process_.waitForStarted(kChannelBudgetMs)) {
            error_ = "E-mail mislukt: sendmail start niet (" +
                     process_.errorString().toStdString() + ")";
            return;
        }
        process_.write(QByteArray::fromStdString(MailText(notice, settings.mailTo, date, id)));
        process_.closeWriteChannel();
        started_ = true;
    }
    ~MailSend() {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(1000);
        }
    }
    MailSend(const MailSend&) = delete;
    MailSend& operator=(const MailSend&) = delete;

    // "" when the mail was handed over.
    std::string Finish(int ms) {
        if (!started_) {
            return error_;
        }
        if (process_.state() != QProcess::NotRunning) {
            QEventLoop loop;
            QTimer deadline;
            deadline.setSingleShot(true);
            QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
            QObject::connect(&process_, &QProcess::finished, &loop, &QEventLoop::quit);
            deadline.start(std::max(ms, 0));
            loop.exec();
        }
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(1000);
            return "E-mail mislukt: sendmail antwoordt niet binnen " +
                   std::to_string(kChannelBudgetMs / 1000) + " s";
        }
        if (process_.exitStatus() != QProcess::NormalExit || process_.exitCode() != 0) {
            std::string text =
                "E-mail mislukt: sendmail stopte met code " + std::to_string(process_.exitCode());
            const std::string said = RelayText(process_.readAllStandardError(), settings_);
            if (!said.empty()) {
                text += " (" + said + ")";
            }
            return text;
        }
        return "";
    }

private:
    const ChannelSettings& settings_;
    QProcess process_;
    bool started_ = false;
    std::string error_;
};

}  // namespace

std::string FindSendmail() {
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("sendmail"));
    if (!onPath.isEmpty()) {
        return onPath.toStdString();
    }
    for (const char* path : {"/usr/sbin/sendmail", "/usr/lib/sendmail"}) {
        const QFileInfo info(QString::fromLatin1(path));
        if (info.isFile() && info.isExecutable()) {
            return path;
        }
    }
    return "";
}

ChannelOutcome SendOnChannels(const Notice& notice, const ChannelSettings& settings, int budgetMs) {
    ChannelOutcome out;
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<MailSend> mail;
    if (settings.Mail()) {
        mail = std::make_unique<MailSend>(notice, settings);
    }
    if (settings.Push()) {
        FetchRequest request;
        request.url = settings.pushUrl;
        request.postBody = notice.body;
        request.headers = PushHeaders(notice, settings.pushToken);
        request.timeoutMs = std::max(budgetMs - static_cast<int>(clock.elapsed()), 1);
        request.totalTimeoutMs = request.timeoutMs;
        request.maxBytes = size_t{1} << 30;
        QtPageFetcher fetcher;
        // The status is all that counts: the answer's body is not read beyond its first piece.
        const FetchStatus status =
            fetcher.FetchStream(request, [](std::string_view, int64_t) { return false; });
        const bool accepted =
            status.ok || (status.aborted && status.httpStatus >= 200 && status.httpStatus < 300);
        if (accepted) {
            out.sent.emplace_back("push");
        } else {
            out.failures.push_back(PushFailure(status));
        }
    }
    if (mail) {
        const std::string error = mail->Finish(budgetMs - static_cast<int>(clock.elapsed()));
        if (error.empty()) {
            out.sent.emplace_back("e-mail");
        } else {
            out.failures.push_back(error);
        }
    }
    return out;
}

ChannelOutcome SendTestNotice(const ChannelSettings& settings) {
    return SendOnChannels(TestNotice(), settings);
}

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
    Notice notice;
    notice.summary = summary;
    notice.body = body;
    Send(notice, false);
}

void DesktopNotifier::Notify(const Notice& notice) {
    Send(notice, true);
}

void DesktopNotifier::setActions(bool on) {
    if (on && !actions_ && bus_.isConnected()) {
        // QDBusConnection takes its receiving slot by name only.
        bus_.connect(QString(), QString::fromLatin1(kNoticePath),
                     QString::fromLatin1(kNoticeInterface), QStringLiteral("ActionInvoked"), this,
                     SLOT(ActionInvoked(uint, QString)));
    }
    actions_ = on;
}

void DesktopNotifier::ActionInvoked(uint id, const QString& action) {
    if (id != 0 && id == lastId_ && !lastKey_.isEmpty() &&
        (action == QLatin1String("toon") || action == QLatin1String("default"))) {
        emit showRequested(lastKey_);
    }
}

void DesktopNotifier::Send(const Notice& notice, bool replace) {
    if (!bus_.isConnected()) {
        Problem("Geen meldingen: geen sessiebus");
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QString::fromLatin1(kNoticePath),
        QString::fromLatin1(kNoticeInterface), QStringLiteral("Notify"));
    QVariantMap hints{{QStringLiteral("desktop-entry"), QString::fromLatin1(kAppId)}};
    if (notice.urgent) {
        hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar{2}));
    }
    QStringList actions;
    if (actions_ && !notice.key.empty()) {
        actions << QStringLiteral("default") << QStringLiteral("Toon") << QStringLiteral("toon")
                << QStringLiteral("Toon");
    }
    call << QStringLiteral("Rendaal") << (replace ? lastId_ : 0u) << QString::fromLatin1(kAppId)
         << Q(notice.summary) << Q(notice.body) << actions << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, kNoticeTimeoutMs), this);
    ++pending_;
    const QString key = Q(notice.key);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, key, replace](QDBusPendingCallWatcher* w) {
                --pending_;
                if (w->isError()) {
                    Problem(ProblemText(w->error()));
                } else if (replace) {
                    const QDBusPendingReply<uint> reply = *w;
                    lastId_ = reply.isValid() ? reply.value() : 0;
                    lastKey_ = key;
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
    const Rates rates = ReadRateSettings(settings.file(), kSettingsKey).rates;
    return CheckAlerts(folder,
                       LoadOverview(folder, lines, rates, AmsterdamTimeOfLocal(AppClock().Now())),
                       notifier);
}

AlertCheck CheckAlerts(const std::string& folder, const std::vector<OverviewRow>& rows,
                       DesktopNotifier* notifier, std::optional<AlertState>* memory) {
    const SettingsStore settings;
    const AlertSettings s = ReadAlertSettings(settings.file(), kSettingsKey);
    const ChannelSettings channels = ReadChannelSettings(settings.file(), kSettingsKey);
    AlertKeeping keeping;
    keeping.sparePath = StateFolder() + std::string(kAlertStateFileName);
    keeping.memory = memory;
    AlertPass pass = RunAlertPass(folder, rows, s.limits, keeping);
    AlertCheck check;
    check.problems = s.problems;
    check.problems.insert(check.problems.end(), channels.problems.begin(), channels.problems.end());
    if (!pass.error.empty()) {
        check.problems.push_back(pass.error);
    }
    const std::optional<Notice> notice = GroupNotice(pass.round.started);
    if (s.notify && notice) {
        if (notifier != nullptr) {
            notifier->Notify(*notice);
        }
        if (channels.Push() || channels.Mail()) {
            check.channelFailures = SendOnChannels(*notice, channels).failures;
        }
    }
    check.holding = std::move(pass.round.holding);
    check.started = std::move(pass.round.started);
    return check;
}

}  // namespace rendaal
