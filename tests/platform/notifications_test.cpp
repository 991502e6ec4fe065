#include "platform/notifications.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <string>

#include "core/combination.h"
#include "support/private_bus.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

const std::string kLine =
    "AEX 2703 00880.00 00960.00; Put: mrt 2027 880.00; Call: mrt 2027 960.00; Strangle";

// A premium of 30,00 and a last Som of lastSom.
void WriteHistory(const test::TempDir& dir, const std::string& lastSom) {
    test::WriteAll(dir.path() / HistoryFileName(kLine),
                   "Datum; Put; Call; Som; AEX\r\n"
                   "01-12-2026 17:35:00; 20,00; 10,00; 30,00; 920,00\r\n"
                   "04-12-2026 17:35:00; 10,00; 5,00; " +
                       lastSom + "; 920,00\r\n");
}

class NotificationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (bus_.address().isEmpty()) {
            GTEST_SKIP() << "dbus-daemon did not start (scripts/deps installs it)";
        }
    }
    test::PrivateBus bus_;
};

TEST_F(NotificationsTest, OneNoticeWhenAnAlertStartsNoneWhileItHolds) {
    test::NoticeService service(bus_.Connect("service"), true);
    ASSERT_TRUE(service.registered());
    DesktopNotifier notifier(bus_.Connect("client"));
    std::string problem;
    notifier.onProblem = [&problem](const std::string& p) { problem = p; };
    test::TempDir data;
    const std::vector<std::string> lines{kLine};

    // Earned, still earned, no longer, earned again.
    const struct {
        const char* som;
        size_t noticesAfter;
    } runs[] = {{"15,00", 1}, {"14,00", 1}, {"20,00", 1}, {"12,00", 2}};
    for (const auto& run : runs) {
        WriteHistory(data, run.som);
        CheckAlerts(data.folder(), lines, &notifier);
        notifier.WaitForReplies();
        EXPECT_EQ(service.notices.size(), run.noticesAfter) << run.som;
    }
    EXPECT_EQ(problem, "");
    ASSERT_EQ(service.notices.size(), 2u);
    const test::Notice& n = service.notices.back();
    EXPECT_EQ(n.app, "Rendaal");
    EXPECT_EQ(n.icon, "nl.rendaal.Rendaal");
    EXPECT_EQ(n.summary, "Rendaal: AEX 2703 00880.00 00960.00");
    EXPECT_EQ(n.body, QString::fromUtf8("Winstdoel bereikt: 60 % van de premie (€ 1.800)"));
    EXPECT_EQ(n.hints.value("desktop-entry").toString(), "nl.rendaal.Rendaal");
}

TEST_F(NotificationsTest, ANoticeReplacesTheLastAndToonNamesItsCombination) {
    QDBusConnection serviceBus = bus_.Connect("service-toon");
    test::NoticeService service(serviceBus, true);
    DesktopNotifier notifier(bus_.Connect("client-toon"));
    notifier.setActions(true);
    QString shown;
    QObject::connect(&notifier, &DesktopNotifier::showRequested,
                     [&shown](const QString& key) { shown = key; });
    for (const char* key : {"A", "B"}) {
        notifier.Notify(Notice{"Rendaal: 2 signalen: A, B", "", true, {}, key});
        notifier.WaitForReplies();
    }
    ASSERT_EQ(service.notices.size(), 2u);
    EXPECT_EQ(service.notices[0].replacesId, 0u);
    EXPECT_EQ(service.notices[1].replacesId, 1u);  // the id the service gave the first
    EXPECT_EQ(service.notices[1].actions, (QStringList{"default", "Toon", "toon", "Toon"}));
    EXPECT_EQ(service.notices[1].hints.value("urgency").toInt(), 2);
    // This service gave the second id 2: a click on the first is on a notice no longer shown.
    for (const uint id : {1u, 2u}) {
        QDBusMessage click = QDBusMessage::createSignal(
            "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
        serviceBus.send(click << id << QStringLiteral("toon"));
    }
    QElapsedTimer clock;
    clock.start();
    while (shown.isEmpty() && clock.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(shown, "B");
}

TEST_F(NotificationsTest, NoServiceOrAHungOneIsSaidOnceAndNotWaitedFor) {
    for (const bool hung : {false, true}) {
        std::unique_ptr<test::NoticeService> service;
        if (hung) {
            service = std::make_unique<test::NoticeService>(bus_.Connect("hung"), false);
        }
        DesktopNotifier notifier(bus_.Connect(hung ? "client-hung" : "client-none"));
        std::vector<std::string> problems;
        notifier.onProblem = [&problems](const std::string& p) { problems.push_back(p); };
        QElapsedTimer clock;
        clock.start();
        notifier.Notify("Rendaal: a", "b");
        notifier.Notify("Rendaal: c", "d");
        notifier.WaitForReplies();
        // The bound is one second; the bus's own time-out would be 25.
        EXPECT_LT(clock.elapsed(), 3000) << hung;
        ASSERT_EQ(problems.size(), 1u) << hung;
        EXPECT_EQ(problems[0], hung ? "Geen meldingen: de meldingendienst antwoordt niet"
                                    : "Geen meldingen: geen meldingendienst");
    }
}

TEST(NotificationsNoBusTest, NoBusIsSaidOnce) {
    DesktopNotifier notifier(
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"), "nobus"));
    int told = 0;
    notifier.onProblem = [&told](const std::string& p) {
        ++told;
        EXPECT_EQ(p, "Geen meldingen: geen sessiebus");
    };
    notifier.Notify("a", "b");
    notifier.Notify("c", "d");
    notifier.WaitForReplies();
    EXPECT_EQ(told, 1);
}

}  // namespace
}  // namespace rendaal
