// Push and e-mail against real servers on 127.0.0.1.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QElapsedTimer>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/combination.h"
#include "platform/notifications.h"
#include "platform/settings_store.h"
#include "support/alert_servers.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

using test::ScopedEnv;
using test::TempDir;
using test::WriteAll;

const std::string kToken = "tk_secret_42";
const std::string kAddresses = "jan@example.org, piet@example.nl";

struct ChannelCase {
    const char* name;
    std::string push;  // a path on the push server; "down": a closed port; "": none
    std::string token;
    std::string mailTo;
    const char* sendmail;  // "msmtp", "hang", "exit1", "" (none on PATH)
    std::vector<std::string> failures;
    size_t posts;  // recorded by the server
    size_t mails;  // accepted by the SMTP server
    size_t problems;
};

void PrintTo(const ChannelCase& c, std::ostream* os) {
    *os << c.name;
}

const ChannelCase kCases[] = {
    {"BothChannelsWork", "/ok", kToken, kAddresses, "msmtp", {}, 1, 1, 0},
    {"ServerDownMailStillGoes",
     "down",
     "",
     kAddresses,
     "msmtp",
     {"Push mislukt: server niet bereikbaar"},
     0,
     1,
     0},
    {"ServerAnswersAfter30s",
     "/slow",
     "",
     "",
     "",
     {"Push mislukt: de server antwoordt niet binnen 5 s"},
     0,
     0,
     0},
    {"Status500", "/status/500", "", "", "", {"Push mislukt: HTTP-status 500"}, 0, 0, 0},
    {"Status429", "/status/429", "", "", "", {"Push mislukt: HTTP-status 429"}, 0, 0, 0},
    {"RedirectToAnotherHost",
     "/to-other-host",
     "",
     "",
     "",
     {"Push mislukt: doorverwijzing naar een ander adres geweigerd"},
     0,
     0,
     0},
    {"RedirectToAnotherScheme",
     "/to-https",
     "",
     "",
     "",
     {"Push mislukt: doorverwijzing naar een ander adres geweigerd"},
     0,
     0,
     0},
    {"RedirectOnTheSameServer", "/same", "", "", "", {}, 1, 0, 0},
    {"TenMegabyteAnswerIsNotRead", "/big", "", "", "", {}, 1, 0, 0},
    {"TokenWithNewline", "/ok", "tk\nX-Evil: 1", kAddresses, "msmtp", {}, 0, 1, 1},
    {"AddressWithBcc", "/ok", "", "jan@example.org\r\nBcc: spy@evil.org", "msmtp", {}, 1, 0, 1},
    {"NoSendmail",
     "",
     "",
     kAddresses,
     "",
     {"E-mail mislukt: geen sendmail gevonden (PATH, /usr/sbin/sendmail, /usr/lib/sendmail)"},
     0,
     0,
     0},
    {"SendmailHangs",
     "/ok",
     "",
     kAddresses,
     "hang",
     {"E-mail mislukt: sendmail antwoordt niet binnen 5 s"},
     1,
     0,
     0},
    {"SendmailExits1WithTheAddress",
     "",
     "",
     kAddresses,
     "exit1",
     {"E-mail mislukt: sendmail stopte met code 1 (sendmail: relay refused for \xE2\x80\xA6)"},
     0,
     0,
     0},
};

class ChannelTest : public ::testing::TestWithParam<ChannelCase> {
protected:
    static void SetUpTestSuite() {
        push_ = new test::PushServer;
        mail_ = new test::MailServer;
    }
    static void TearDownTestSuite() {
        delete push_;
        delete mail_;
    }
    void SetUp() override {
        if (!mail_->ready()) {
            GTEST_SKIP() << "python3-aiosmtpd or msmtp missing (scripts/deps installs them)";
        }
    }
    static test::PushServer* push_;
    static test::MailServer* mail_;
};
test::PushServer* ChannelTest::push_ = nullptr;
test::MailServer* ChannelTest::mail_ = nullptr;

Notice LossNotice() {
    Alert a;
    a.key = "AEX 2703 00880.00 00960.00";
    a.kind = AlertKind::Verliesgrens;
    a.value = 2.05;
    a.limit = 2;
    a.resultEur = -2363;
    return *GroupNotice({a});
}

TEST_P(ChannelTest, EachChannelFailsAloneAndInTime) {
    const ChannelCase& c = GetParam();
    if (c.failures.size() == 1 && c.failures[0].find("geen sendmail") != std::string::npos &&
        !FindSendmail().empty()) {
        GTEST_SKIP() << "this machine has a sendmail outside PATH";
    }
    TempDir bin;
    std::string path = bin.path().string();
    if (std::string(c.sendmail) == "msmtp") {
        path = mail_->BinFolder();
    } else if (*c.sendmail != '\0') {
        WriteAll(
            bin.path() / "sendmail",
            std::string(c.sendmail) == "hang"
                ? "#!/bin/sh\nexec /bin/sleep 30\n"
                : "#!/bin/sh\necho 'sendmail: relay refused for piet@example.nl' >&2\nexit 1\n");
        ::chmod((bin.folder() + "sendmail").c_str(), 0755);
    }
    const ScopedEnv onPath("PATH", path);
    const ScopedEnv noProxy("no_proxy", "127.0.0.1,localhost");

    RegFile file;
    file.SetString("K", kPushUrlValue,
                   c.push == "down" ? "http://127.0.0.1:" + std::to_string(test::FreePort()) + "/t"
                   : c.push.empty() ? ""
                                    : push_->Url(c.push));
    file.SetString("K", kPushTokenValue, c.token);
    file.SetString("K", kMailToValue, c.mailTo);
    const ChannelSettings settings = ReadChannelSettings(file, "K");
    EXPECT_EQ(settings.problems.size(), c.problems);

    const size_t postsBefore = push_->Posts().size();
    const size_t mailsBefore = mail_->Mails().size();
    QElapsedTimer clock;
    clock.start();
    const ChannelOutcome out = SendOnChannels(LossNotice(), settings);
    // The bound is the budget; the slow server and the hung sendmail would take 30 s.
    EXPECT_LT(clock.elapsed(), kChannelBudgetMs + 3000);
    EXPECT_EQ(out.failures, c.failures);
    const auto posts = push_->Posts();
    ASSERT_EQ(posts.size() - postsBefore, c.posts);
    const auto mails = mail_->Mails();
    ASSERT_EQ(mails.size() - mailsBefore, c.mails);
    if (c.posts > 0) {
        const test::Post& p = posts.back();
        EXPECT_EQ(p.Header("Title"), "Rendaal: AEX 2703 00880.00 00960.00");
        EXPECT_EQ(p.Header("Priority"), "high");
        EXPECT_EQ(p.Header("Tags"), "warning,verliesgrens");
        EXPECT_EQ(p.Header("Authorization"), c.token.empty() ? "" : "Bearer " + c.token);
        EXPECT_EQ(p.body, LossNotice().body);
    }
    if (c.mails > 0) {
        EXPECT_EQ(mails.back().rcptTo, "jan@example.org, piet@example.nl");
        EXPECT_NE(mails.back().text.find("\nSubject: Rendaal: AEX 2703 00880.00 00960.00\n"),
                  std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ChannelTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

const std::string kLine1 =
    "AEX 2703 00880.00 00960.00; Put: mrt 2027 880.00; Call: mrt 2027 960.00; Strangle";
const std::string kLine2 =
    "AEX 2706 00860.00 00980.00; Put: jun 2027 860.00; Call: jun 2027 980.00; Strangle";

// A premium of 30,00 and a last Som of lastSom.
void WriteHistory(const std::string& folder, const std::string& line, const std::string& som) {
    WriteAll(folder + HistoryFileName(line),
             "Datum; Put; Call; Som; AEX\r\n"
             "01-12-2026 17:35:00; 20,00; 10,00; 30,00; 920,00\r\n"
             "04-12-2026 17:35:00; 10,00; 5,00; " +
                 som + "; 920,00\r\n");
}

TEST_F(ChannelTest, OneMessagePerRunOnEachChannelAndNoSecretOutsideTheSettings) {
    TempDir home;
    const ScopedEnv config("XDG_CONFIG_HOME", home.folder() + "config");
    const ScopedEnv state("XDG_STATE_HOME", home.folder() + "state");
    const ScopedEnv onPath("PATH", mail_->BinFolder());
    const ScopedEnv noProxy("no_proxy", "127.0.0.1,localhost");
    const std::string reg = home.folder() + "config/Rendaal/Rendaal.reg";
    ASSERT_TRUE(SettingsStore(reg).Write([&](RegFile& f) {
        f.SetString(kSettingsKey, kPushUrlValue, push_->Url("/ok"));
        f.SetString(kSettingsKey, kPushTokenValue, kToken);
        f.SetString(kSettingsKey, kMailToValue, "jan@example.org");
    }));
    struct stat st {};
    ASSERT_EQ(::stat(reg.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const std::string data = home.folder() + "data/";
    std::filesystem::create_directories(data);
    // Earned; still earned; no longer; earned again with a loss beside it.
    const struct {
        const char* som1;
        const char* som2;
        size_t messages;
        const char* title;
    } runs[] = {{"15,00", "30,00", 1, "Rendaal: AEX 2703 00880.00 00960.00"},
                {"14,00", "30,00", 1, nullptr},
                {"20,00", "30,00", 1, nullptr},
                {"12,00", "60,00", 2,
                 "Rendaal: 2 signalen: AEX 2703 00880.00 00960.00, AEX 2706 00860.00 00980.00"}};
    const size_t postsBefore = push_->Posts().size();
    const size_t mailsBefore = mail_->Mails().size();
    std::string said;
    for (const auto& run : runs) {
        WriteHistory(data, kLine1, run.som1);
        WriteHistory(data, kLine2, run.som2);
        const AlertCheck check = CheckAlerts(data, std::vector{kLine1, kLine2}, nullptr);
        for (const auto& text : check.problems) {
            said += text + "\n";
        }
        for (const auto& text : check.channelFailures) {
            said += text + "\n";
        }
        const auto posts = push_->Posts();
        ASSERT_EQ(posts.size() - postsBefore, run.messages) << run.som1;
        EXPECT_EQ(mail_->Mails().size() - mailsBefore, run.messages) << run.som1;
        if (run.title) {
            EXPECT_EQ(posts.back().Header("Title"), run.title);
        }
    }
    EXPECT_EQ(said, "");
    const test::Post last = push_->Posts().back();
    EXPECT_EQ(last.Header("Priority"), "high");
    EXPECT_EQ(last.Header("Tags"), "warning,winstdoel,verliesgrens");
    EXPECT_EQ(last.body,
              "AEX 2703 00880.00 00960.00: Winstdoel bereikt: 60 % van de premie (\xE2\x82\xAC "
              "1.800)\nAEX 2706 00860.00 00980.00: Verliesgrens bereikt: 2,00 \xC3\x97 de premie "
              "(verlies \xE2\x82\xAC 3.000)");

    for (const auto& e : std::filesystem::recursive_directory_iterator(home.path())) {
        if (e.is_regular_file() && e.path() != reg) {
            const std::string text = test::ReadAll(e.path());
            EXPECT_EQ(text.find(kToken), std::string::npos) << e.path();
            EXPECT_EQ(text.find("jan@example.org"), std::string::npos) << e.path();
        }
    }
}

}  // namespace
}  // namespace rendaal
