// The headless companion against the loopback quote server.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>

#include <cmath>
#include <filesystem>
#include <functional>

#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"
#include "download/run_lock.h"
#include "platform/settings_store.h"
#include "quotesim/quote_server.h"
#include "support/alert_servers.h"
#include "support/private_bus.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

using quotesim::Fault;
using quotesim::QuoteServer;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

class Sched : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        program = QCoreApplication::applicationDirPath() + "/../../src/app/rendaal-sched";
        ASSERT_TRUE(QFileInfo::exists(program)) << program.toStdString();
        data = home.folder() + "data/Rendaal/";
        std::filesystem::create_directories(data);
        std::filesystem::create_directories(home.folder() + "config/Rendaal");
        SettingsStore settings(home.folder() + "config/Rendaal/Rendaal.reg");
        ASSERT_TRUE(settings.Write([&](RegFile& f) {
            f.SetString(kSettingsKey, "IndexUrl", server.BaseUrl());
            f.SetString(kSettingsKey, "OptionUrl", server.BaseUrl());
        }));
        // The first expiry month still open today, exercise prices around the level.
        const Date today = SystemClock().Now().date();
        int month = today.month;
        int year = today.year;
        if (ThirdFriday(year, month) < today.day && ++month > 12) {
            month = 1;
            ++year;
        }
        const int c = static_cast<int>(std::lround(server.model().IndexLevel() / 5)) * 5;
        const std::string yymm = TwoDigits(year % 100) + TwoDigits(month);
        line = "AEX " + yymm + " 00" + std::to_string(c - 20) + ".00 00" + std::to_string(c + 20) +
               ".00; Put: x; Call: y; Strangle";
        test::WriteAll(data + "Regels.dat", line + "\r\n");
    }
    // With a bus address, the test's own session bus, served by this process while it waits.
    Outcome Run(const QStringList& args = {}, const QString& bus = {}) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!bus.isEmpty()) {
            env.insert("DBUS_SESSION_BUS_ADDRESS", bus);
        }
        env.insert("HOME", QString::fromStdString(home.folder()));
        env.insert("XDG_DATA_HOME", QString::fromStdString(home.folder() + "data"));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(home.folder() + "config"));
        env.insert("XDG_STATE_HOME", QString::fromStdString(home.folder() + "state"));
        env.remove("http_proxy");
        env.remove("HTTP_PROXY");
        env.insert("no_proxy", "127.0.0.1,localhost");
        p.setProcessEnvironment(env);
        p.start(program, args);
        if (!bus.isEmpty()) {
            QEventLoop loop;
            QObject::connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
            QTimer::singleShot(60000, &loop, &QEventLoop::quit);
            if (p.state() != QProcess::NotRunning) {
                loop.exec();
            }
        }
        EXPECT_TRUE(p.state() == QProcess::NotRunning || p.waitForFinished(60000));
        return {p.exitCode(), p.readAllStandardOutput().toStdString(),
                p.readAllStandardError().toStdString()};
    }
    std::string History() const {
        const std::string path = data + HistoryFileName(line);
        return FileExists(path) ? test::ReadAll(path) : std::string();
    }

    void TearDown() override {
        server.Stop();
        std::filesystem::remove_all(home.path());
        std::filesystem::create_directories(home.path());
    }

    QuoteServer server;
    test::TempDir home;
    RunLock window{home.folder() + "data/Rendaal/"};
    QString program;
    std::string data;
    std::string line;
};

TEST_F(Sched, DownloadsAndPrintsTheStatus) {
    const Outcome o = Run();
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out, "Gedownload: 2 koersen\n");
    const auto lines = SplitLines(History());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Datum; Put; Call; Som; AEX");
    EXPECT_NE(lines[1].find(server.model().IndexText()), std::string::npos) << lines[1];
    // The request carried the level read in the first pass.
    EXPECT_NE(server.RequestTargets().back().find("PriceFrom="), std::string::npos);
}

// Exit 0 only when a line was written; 1 when there was nothing to write; 2 for any error. The
// status line keeps the program's text, the reason follows in brackets and on stderr.
TEST_F(Sched, EveryOutcomeHasItsExitCodeAndReason) {
    const struct {
        const char* name;
        std::function<void()> make;
        int exitCode;
        std::string out;
        std::string err;  // a part of stderr
    } cases[] = {
        {"empty option page", [&] { server.SetFault(Fault::EmptyBody); }, 1,
         "Gedownload: Geen koersen (lege pagina)\n", "lege pagina"},
        {"server error", [&] { server.SetFault(Fault::Http500); }, 2,
         "Gedownload: Geen koersen (HTTP-status 500)\n", "HTTP-status 500"},
        {"server gone", [&] { server.Stop(); }, 2,
         "Gedownload: Geen koersen (server niet bereikbaar)\n", "server niet bereikbaar"},
        {"index page unreadable",
         [&] { server.SetFault(Fault::Garbage, quotesim::FaultTarget::Index); }, 2,
         "Download mislukt (indexpagina onleesbaar)\n", "indexpagina onleesbaar"},
        {"no combinations", [&] { test::WriteAll(data + "Regels.dat", ""); }, 1,
         "Gedownload: 0 koersen\n", ""},
        {"another run holds the lock", [&] { ASSERT_TRUE(window.TryAcquire()); }, 1,
         "Download al bezig\n", ""},
        {"lock file is a folder",
         [&] {
             std::filesystem::remove(RunLockPath(data));  // an earlier run's lock file
             std::filesystem::create_directory(RunLockPath(data));
         },
         2, "Download mislukt (vergrendeling mislukt)\n", RunLockPath(data)},
        {"rules file is a FIFO",
         [&] {
             std::filesystem::remove(data + "Regels.dat");
             ASSERT_EQ(::mkfifo((data + "Regels.dat").c_str(), 0600), 0);
         },
         2, "", data + "Regels.dat"},
        {"no data folder",
         [&] {
             std::filesystem::remove_all(home.folder() + "data");
             test::WriteAll(home.folder() + "data", "a file where the folder should be");
         },
         2, "Download mislukt (datamap ontbreekt)\n", "ontbreekt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        server.SetFault(Fault::None);
        c.make();
        const Outcome o = Run();
        EXPECT_EQ(o.exitCode, c.exitCode) << o.err;
        EXPECT_EQ(o.out, c.out);
        EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
        EXPECT_EQ(History(), "");
        window.Release();
        std::filesystem::remove(RunLockPath(data));  // outside the data folder SetUp renews
    }
}

TEST_F(Sched, HelpAndUnknownOptions) {
    Outcome o = Run({"--help"});
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_NE(o.out.find("rendaal-sched"), std::string::npos);
    o = Run({"--bogus"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_TRUE(server.Requests().empty());
}

TEST_F(Sched, ChartCommandDrawsAHistoryFile) {
    ASSERT_EQ(Run().exitCode, 0);
    const std::string png = home.folder() + "chart.png";
    Outcome o = Run({"--chart", QString::fromStdString(HistoryFileName(line)), "--out",
                     QString::fromStdString(png)});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(test::ReadAll(png).substr(1, 3), "PNG");
    o = Run({"--chart", "Geen_bestand.csv", "--out", QString::fromStdString(png)});
    EXPECT_EQ(o.exitCode, 1);
}

// The index sits between the break-evens; a margin of 50 % puts it within reach of one.
TEST_F(Sched, AnnouncesAnAlertOnceWhenItStartsAndListsIt) {
    test::PrivateBus bus;
    if (bus.address().isEmpty()) {
        GTEST_SKIP() << "dbus-daemon did not start (scripts/deps installs it)";
    }
    test::NoticeService service(bus.Connect("service"), true);
    ASSERT_TRUE(service.registered());
    auto margin = [&](const char* percent) {
        ASSERT_TRUE(
            SettingsStore(home.folder() + "config/Rendaal/Rendaal.reg").Write([&](RegFile& f) {
                f.SetString(kSettingsKey, "BE-marge", percent);
            }));
    };
    const struct {
        const char* margin;
        size_t noticesAfter;
    } runs[] = {{"50", 1}, {"50", 1}, {"0", 1}, {"50,0", 2}};
    for (const auto& run : runs) {
        margin(run.margin);
        const Outcome o = Run({}, bus.address());
        EXPECT_EQ(o.exitCode, 0) << o.err;
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(service.notices.size(), run.noticesAfter) << run.margin;
    }
    ASSERT_EQ(service.notices.size(), 2u);
    EXPECT_EQ(service.notices[1].summary.toStdString(),
              "Rendaal: " + line.substr(0, line.find(';')));
    EXPECT_TRUE(service.notices[1].body.startsWith("AEX bij break-even: AEX "))
        << service.notices[1].body.toStdString();

    const std::string state = test::ReadAll(data + "Signalen.dat");
    Outcome o = Run({"--alerts", "--csv"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_TRUE(o.out.starts_with("key,alert,value,limit\r\n" + line.substr(0, line.find(';')) +
                                  ",AEX bij break-even,"))
        << o.out;
    // Listing changes nothing: no notice, the same state.
    margin("0");
    o = Run({"--alerts"}, bus.address());
    EXPECT_EQ(o.out, "Geen signalen\n");
    EXPECT_EQ(service.notices.size(), 2u);
    EXPECT_EQ(test::ReadAll(data + "Signalen.dat"), state);

    // No notification service: the run still succeeds and says so once.
    margin("50");
    std::filesystem::remove(data + "Signalen.dat");
    o = Run();
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.err, "rendaal-sched: Geen meldingen: geen sessiebus\n");
}

TEST_F(Sched, TestAlertSaysWhatWentOutAndKeepsTheTokenToItself) {
    test::PushServer push;
    const std::string reg = home.folder() + "config/Rendaal/Rendaal.reg";
    Outcome o = Run({"--test-alert"});
    EXPECT_EQ(o.exitCode, 2);
    EXPECT_EQ(o.err,
              "rendaal-sched: geen kanaal ingesteld: zet PushUrl of MailTo in " + reg + "\n");
    ASSERT_TRUE(SettingsStore(reg).Write([&](RegFile& f) {
        f.SetString(kSettingsKey, "PushUrl", push.Url("/ok"));
        f.SetString(kSettingsKey, "PushToken", "tk_secret_42");
    }));
    o = Run({"--test-alert"});
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_EQ(o.out + o.err, "Testbericht verstuurd: push\n");
    ASSERT_EQ(push.Posts().size(), 1u);
    EXPECT_EQ(push.Posts()[0].Header("Title"), "Rendaal: testbericht");
    EXPECT_EQ(push.Posts()[0].Header("Authorization"), "Bearer tk_secret_42");
}

// A FIFO where the alert state belongs: the first run announces and says where the state is
// kept instead; the next announces nothing again and says nothing.
TEST_F(Sched, AlertStateThatCannotBeKeptIsNotAnnouncedAgain) {
    test::PushServer push;
    ASSERT_TRUE(SettingsStore(home.folder() + "config/Rendaal/Rendaal.reg").Write([&](RegFile& f) {
        f.SetString(kSettingsKey, "BE-marge", "50");
        f.SetString(kSettingsKey, "PushUrl", push.Url("/ok"));
    }));
    ASSERT_EQ(::mkfifo((data + "Signalen.dat").c_str(), 0600), 0);
    Outcome o = Run();
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.err.find("rendaal-sched: Signalen.dat kan niet worden bewaard ("),
              std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("); de signalen worden bijgehouden in " + home.folder() +
                         "state/Rendaal/Signalen.dat\n"),
              std::string::npos)
        << o.err;
    EXPECT_EQ(push.Posts().size(), 1u);
    o = Run();
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(push.Posts().size(), 1u);
}

}  // namespace
}  // namespace rendaal
