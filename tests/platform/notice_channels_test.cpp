// Push and e-mail against real servers on 127.0.0.1.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QElapsedTimer>
#include <filesystem>
#include <string>
#include <vector>

#include "core/combination.h"
#include "platform/notifications.h"
#include "platform/settings_store.h"
#include "support/alert_servers.h"

namespace rendaal {
namespace {

using test::ScopedEnv;

const std::string kToken = "tk_secret_42";
const std::string kTo = "jan@example.org, piet@example.nl";
const std::string kSlow = "Push mislukt: de server antwoordt niet binnen 5 s";
const std::string kAway = "Push mislukt: doorverwijzing naar een ander adres geweigerd";
const std::string kNoSendmail =
    "E-mail mislukt: geen sendmail gevonden (PATH, /usr/sbin/sendmail, /usr/lib/sendmail)";
const std::string kHung = "E-mail mislukt: sendmail antwoordt niet binnen 5 s";
const std::string kExit1 =
    "E-mail mislukt: sendmail stopte met code 1 (sendmail: relay refused for \xE2\x80\xA6)";

struct ChannelCase {
    const char* name;
    std::string push;  // a path on the push server, "down", or a whole address
    std::string token;
    std::string mailTo;
    const char* sendmail;  // "msmtp", "hang", "exit1", "" (none on PATH)
    std::string failure;   // "" when every channel set up went out
    size_t posts;          // recorded by the push server
    size_t mails;          // accepted by the SMTP server
    const char* problem;   // start of the settings problem, "" for none
};

void PrintTo(const ChannelCase& c, std::ostream* os) {
    *os << c.name;
}

// clang-format off
const ChannelCase kCases[] = {
    {"BothChannelsWork", "/ok", kToken, kTo, "msmtp", "", 1, 1, ""},
    {"ServerDownMailStillGoes", "down", "", kTo, "msmtp", "Push mislukt: server niet bereikbaar", 0, 1, ""},
    {"ServerAnswersAfter30s", "/slow", "", "", "", kSlow, 0, 0, ""},
    {"Status500", "/status/500", "", "", "", "Push mislukt: HTTP-status 500", 0, 0, ""},
    {"Status429", "/status/429", "", "", "", "Push mislukt: HTTP-status 429", 0, 0, ""},
    {"RedirectToAnotherHost", "/to-other-host", "", "", "", kAway, 0, 0, ""},
    {"RedirectToAnotherScheme", "/to-https", "", "", "", kAway, 0, 0, ""},
    {"RedirectOnTheSameServer", "/same", "", "", "", "", 1, 0, ""},
    {"TenMegabyteAnswerIsNotRead", "/big", "", "", "", "", 1, 0, ""},
    {"PlainHttpElsewhere", "http://ntfy.example.org/t", "", kTo, "msmtp", "", 0, 1, "PushUrl is geen https"},
    {"LoopbackLookalike", "http://127.0.0.1.evil.org/t", "", "", "", "", 0, 0, "PushUrl is geen https"},
    {"NewlineInUrl", "https://a.org/t\r\nX-Evil: 1", "", "", "", "", 0, 0, "PushUrl is geen geldig"},
    {"TokenWithNewline", "/ok", "tk\nX-Evil: 1", kTo, "msmtp", "", 0, 1, "PushToken bevat"},
    {"AddressWithBcc", "/ok", "", "jan@example.org\r\nBcc: spy@evil.org", "msmtp", "", 1, 0, "MailTo: adres 2"},
    {"NamedAddress", "", "", "Jan <jan@example.org>", "msmtp", "", 0, 0, "MailTo: adres 1"},
    {"EightBitAddress", "", "", "j\xC3\xA1n@example.org", "msmtp", "", 0, 0, "MailTo: adres 1"},
    {"NoSendmail", "", "", kTo, "", kNoSendmail, 0, 0, ""},
    {"SendmailHangs", "/ok", "", kTo, "hang", kHung, 1, 0, ""},
    {"SendmailExits1WithTheAddress", "", "", kTo, "exit1", kExit1, 0, 0, ""},
};
// clang-format on

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
    static inline test::PushServer* push_ = nullptr;
    static inline test::MailServer* mail_ = nullptr;
    const ScopedEnv noProxy_{"no_proxy", "127.0.0.1,localhost"};
};

TEST_P(ChannelTest, EachChannelFailsAloneAndInTime) {
    const ChannelCase& c = GetParam();
    if (c.failure == kNoSendmail && !FindSendmail().empty()) {
        GTEST_SKIP() << "this machine has a sendmail outside PATH";
    }
    test::TempDir bin;
    const std::string kind = c.sendmail;
    test::WriteAll(bin.path() / "sendmail", kind == "hang"
                                                ? "#!/bin/sh\nexec /bin/sleep 30\n"
                                                : "#!/bin/sh\necho 'sendmail: relay refused for "
                                                  "piet@example.nl' >&2\nexit 1\n");
    ::chmod((bin.folder() + "sendmail").c_str(), kind.empty() ? 0644 : 0755);
    const ScopedEnv onPath("PATH", kind == "msmtp" ? mail_->BinFolder() : bin.path().string());
    RegFile file;
    const std::string url = c.push == "down"
                                ? "http://127.0.0.1:" + std::to_string(test::FreePort()) + "/t"
                            : c.push.starts_with("/") ? push_->Url(c.push)
                                                      : c.push;
    file.SetString("K", kPushUrlValue, url);
    file.SetString("K", kPushTokenValue, c.token);
    file.SetString("K", kMailToValue, c.mailTo);
    const ChannelSettings settings = ReadChannelSettings(file, "K");
    ASSERT_EQ(settings.problems.size(), *c.problem ? 1u : 0u);
    for (const auto& problem : settings.problems) {
        EXPECT_TRUE(problem.starts_with(c.problem)) << problem;
        for (const std::string& secret : {url, c.token, c.mailTo}) {
            EXPECT_TRUE(secret.empty() || problem.find(secret) == std::string::npos);
        }
    }

    const size_t postsBefore = push_->Posts().size();
    const size_t mailsBefore = mail_->Mails().size();
    QElapsedTimer clock;
    clock.start();
    const ChannelOutcome out =
        SendOnChannels({"Rendaal: t", "b", true, {"warning"}, "k"}, settings);
    // The bound is the budget; the slow server and the hung sendmail would take 30 s.
    EXPECT_LT(clock.elapsed(), kChannelBudgetMs + 3000);
    EXPECT_EQ(out.failures,
              c.failure.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.failure});
    const auto posts = push_->Posts();
    ASSERT_EQ(posts.size() - postsBefore, c.posts);
    ASSERT_EQ(mail_->Mails().size() - mailsBefore, c.mails);
    if (c.posts > 0) {
        EXPECT_EQ(posts.back().Header("Authorization"), c.token.empty() ? "" : "Bearer " + c.token);
    }
    if (c.mails > 0) {
        EXPECT_EQ(mail_->Mails().back().rcptTo, kTo);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ChannelTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

const std::string kLine1 =
    "AEX 2703 00880.00 00960.00; Put: mrt 2027 880.00; Call: mrt 2027 960.00; Strangle";
const std::string kLine2 =
    "AEX 2706 00860.00 00980.00; Put: jun 2027 860.00; Call: jun 2027 980.00; Strangle";

TEST_F(ChannelTest, OneMessagePerRunOnEachChannelAndNoSecretOutsideTheSettings) {
    test::TempDir home;
    const ScopedEnv config("XDG_CONFIG_HOME", home.folder() + "config");
    const ScopedEnv state("XDG_STATE_HOME", home.folder() + "state");
    const ScopedEnv onPath("PATH", mail_->BinFolder());
    const std::string reg = home.folder() + "config/Rendaal/Rendaal.reg";
    ASSERT_TRUE(SettingsStore(reg).Write([&](RegFile& f) {
        f.SetString(kSettingsKey, kPushUrlValue, push_->Url("/ok"));
        f.SetString(kSettingsKey, kPushTokenValue, kToken);
        f.SetString(kSettingsKey, kMailToValue, "jan@example.org");
    }));
    struct stat st {};
    ASSERT_EQ(::stat(reg.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Earned (premium 30); still earned; no longer; earned again with a loss beside it.
    const struct {
        const char* som1;
        const char* som2;
        size_t messages;
    } runs[] = {
        {"15,00", "30,00", 1}, {"14,00", "30,00", 1}, {"20,00", "30,00", 1}, {"12,00", "60,00", 2}};
    const size_t postsBefore = push_->Posts().size();
    const size_t mailsBefore = mail_->Mails().size();
    for (const auto& run : runs) {
        for (const auto& [line, som] : {std::pair{kLine1, run.som1}, {kLine2, run.som2}}) {
            test::WriteAll(home.path() / HistoryFileName(line),
                           "Datum; Put; Call; Som; AEX\r\n01-12-2026 17:35:00; 20,00; 10,00; "
                           "30,00; 920,00\r\n04-12-2026 17:35:00; 10,00; 5,00; " +
                               std::string(som) + "; 920,00\r\n");
        }
        const AlertCheck check = CheckAlerts(home.folder(), std::vector{kLine1, kLine2}, nullptr);
        EXPECT_TRUE(check.problems.empty() && check.channelFailures.empty());
        EXPECT_EQ(push_->Posts().size() - postsBefore, run.messages) << run.som1;
        EXPECT_EQ(mail_->Mails().size() - mailsBefore, run.messages) << run.som1;
    }
    const test::Post last = push_->Posts().back();
    EXPECT_EQ(last.Header("Title"),
              "Rendaal: 2 signalen: AEX 2703 00880.00 00960.00, AEX 2706 00860.00 00980.00");
    EXPECT_EQ(last.Header("Priority"), "high");
    EXPECT_EQ(last.Header("Tags"), "warning,winstdoel,verliesgrens");
    EXPECT_EQ(last.body,
              "AEX 2703 00880.00 00960.00: Winstdoel bereikt: 60 % van de premie (\xE2\x82\xAC "
              "1.800)\nAEX 2706 00860.00 00980.00: Verliesgrens bereikt: 2,00 \xC3\x97 de premie "
              "(verlies \xE2\x82\xAC 3.000)");
    EXPECT_NE(mail_->Mails().back().text.find("\nSubject: " + last.Header("Title") + "\n"),
              std::string::npos);
    for (const auto& e : std::filesystem::recursive_directory_iterator(home.path())) {
        if (e.is_regular_file() && e.path() != reg) {
            const std::string text = test::ReadAll(e.path());
            EXPECT_TRUE(text.find(kToken) == std::string::npos &&
                        text.find("jan@") == std::string::npos)
                << e.path();
        }
    }
}

}  // namespace
}  // namespace rendaal
