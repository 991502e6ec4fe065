#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace rendaal::test {

// A session bus of the test's own, with no activatable services: nothing reaches the user's
// desktop, and a name nobody owns is unknown at once.
class PrivateBus final {
public:
    PrivateBus() {
        const std::string config = dir_.folder() + "bus.conf";
        WriteAll(config,
                 "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                 "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                 "<busconfig><type>session</type><listen>unix:dir=" +
                     dir_.path().string() +
                     "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                     "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
                     "<allow own=\"*\"/></policy></busconfig>\n");
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--config-file=") + QString::fromStdString(config),
                       QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (daemon_.waitForStarted(5000)) {
            while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
            }
            address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        }
    }
    ~PrivateBus() {
        for (const QString& name : names_) {
            QDBusConnection::disconnectFromBus(name);
        }
        daemon_.kill();
        daemon_.waitForFinished(5000);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when no bus daemon could be started.
    const QString& address() const { return address_; }
    QDBusConnection Connect(const QString& name) {
        names_.push_back(name);
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    TempDir dir_;
    QProcess daemon_;
    QString address_;
    QStringList names_;
};

struct Notice {
    QString app;
    QString icon;
    QString summary;
    QString body;
    QVariantMap hints;
    uint replacesId = 0;
    QStringList actions;
};

// The notification service as a desktop runs it, reduced to what it was asked to show. With
// answer off it never answers, as a hung service. A virtual object: no moc for a test header.
class NoticeService final : public QDBusVirtualObject {
public:
    NoticeService(QDBusConnection bus, bool answer) : bus_(bus), answer_(answer) {
        bus_.registerVirtualObject(QString::fromLatin1(kPath), this);
        registered_ = bus_.registerService(QString::fromLatin1(kName));
    }
    ~NoticeService() override {
        bus_.unregisterService(QString::fromLatin1(kName));
        bus_.unregisterObject(QString::fromLatin1(kPath));
    }
    NoticeService(const NoticeService&) = delete;
    NoticeService& operator=(const NoticeService&) = delete;

    bool registered() const { return registered_; }
    std::vector<Notice> notices;

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QStringLiteral("Notify")) {
            return false;
        }
        const QList<QVariant> a = message.arguments();
        if (a.size() == 8) {
            notices.push_back({a[0].toString(), a[2].toString(), a[3].toString(), a[4].toString(),
                               qdbus_cast<QVariantMap>(a[6]), a[1].toUInt(), a[5].toStringList()});
        }
        if (answer_) {
            connection.send(
                message.createReply(QVariant::fromValue(static_cast<uint>(notices.size()))));
        }
        return true;
    }

private:
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    static constexpr const char* kName = "org.freedesktop.Notifications";
    QDBusConnection bus_;
    bool answer_;
    bool registered_ = false;
};

}  // namespace rendaal::test
