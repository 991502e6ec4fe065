#include "analytics/alert_notice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/fileio.h"

namespace rendaal {
namespace {

Alert MakeAlert(const std::string& key, AlertKind kind, double value, double limit) {
    Alert a;
    a.key = key;
    a.kind = kind;
    a.value = value;
    a.limit = limit;
    if (kind == AlertKind::BreakEven) {
        a.breakEven = 900;
        a.lowSide = true;
    }
    return a;
}

struct SettingCase {
    const char* name;
    std::string url;
    std::string token;
    std::string mailTo;
    bool push;          // the push channel is taken
    size_t addresses;   // addresses taken
    const char* start;  // the first problem's start, "" for none
};

void PrintTo(const SettingCase& c, std::ostream* os) {
    *os << c.name;
}

const SettingCase kSettingCases[] = {
    {"HttpsWithToken", "https://ntfy.example.org/rendaal-x7", "tk_abc", "", true, 0, ""},
    {"LoopbackHttp", "http://127.0.0.1:8080/t", "", "", true, 0, ""},
    {"PlainHttpElsewhere", "http://ntfy.example.org/t", "", "", false, 0, "PushUrl is geen https"},
    {"LoopbackLookalike", "http://127.0.0.1.evil.org/t", "", "", false, 0, "PushUrl is geen https"},
    {"OtherScheme", "file:///etc/passwd", "", "", false, 0, "PushUrl is geen https"},
    {"NoHost", "https:///t", "", "", false, 0, "PushUrl is geen geldig"},
    {"NewlineInUrl", "https://a.org/t\r\nX-Evil: 1", "", "", false, 0, "PushUrl is geen geldig"},
    {"NewlineInToken", "https://a.org/t", "tk\nX-Evil: 1", "", false, 0, "PushToken"},
    {"BlankInToken", "https://a.org/t", "tk x", "", false, 0, "PushToken"},
    {"TwoAddresses", "", "", "jan@example.org; piet@example.nl", false, 2, ""},
    {"BccSmuggled", "", "", "jan@example.org\r\nBcc: spy@evil.org", false, 0, "MailTo: adres 1"},
    {"NamedAddress", "", "", "Jan <jan@example.org>", false, 0, "MailTo: adres 1"},
    {"NoDomain", "", "", "jan@", false, 0, "MailTo: adres 1"},
    {"TwoAts", "", "", "jan@x@example.org", false, 0, "MailTo: adres 1"},
    {"EightBit", "", "", "j\xC3\xA1n@example.org", false, 0, "MailTo: adres 1"},
    {"NothingSetUp", "", "", "", false, 0, ""},
};

class ChannelSettingTest : public ::testing::TestWithParam<SettingCase> {};

TEST_P(ChannelSettingTest, UnsafeValuesAreRefusedWithoutRepeatingThem) {
    const SettingCase& c = GetParam();
    RegFile file;
    file.SetString("K", kPushUrlValue, c.url);
    file.SetString("K", kPushTokenValue, c.token);
    file.SetString("K", kMailToValue, c.mailTo);
    const ChannelSettings s = ReadChannelSettings(file, "K");
    EXPECT_EQ(s.Push(), c.push);
    EXPECT_EQ(s.mailTo.size(), c.addresses);
    if (*c.start == '\0') {
        EXPECT_TRUE(s.problems.empty()) << s.problems.front();
        return;
    }
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_TRUE(s.problems[0].starts_with(c.start)) << s.problems[0];
    for (const std::string& secret : {c.url, c.token, c.mailTo}) {
        if (!secret.empty()) {
            EXPECT_EQ(s.problems[0].find(secret), std::string::npos);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ChannelSettingTest, ::testing::ValuesIn(kSettingCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AlertNoticeTest, OneAlertIsTheNoticeOfThatAlert) {
    const Alert a = MakeAlert("AEX 2703 00880.00 00960.00", AlertKind::Verliesgrens, 2.05, 2);
    const Notice n = *GroupNotice({a});
    EXPECT_EQ(n.summary, "Rendaal: AEX 2703 00880.00 00960.00");
    EXPECT_EQ(n.body, AlertBody(a));
    EXPECT_TRUE(n.urgent);
    EXPECT_EQ(n.tags, (std::vector<std::string>{"warning", "verliesgrens"}));
    EXPECT_FALSE(GroupNotice({}));
}

TEST(AlertNoticeTest, ManyAlertsMakeOneNoticeThatNamesThem) {
    std::vector<Alert> started;
    for (int i = 0; i < 50; ++i) {
        started.push_back(MakeAlert("AEX 27" + std::to_string(10 + i) + " 00880.00 00960.00",
                                    i % 2 ? AlertKind::BreakEven : AlertKind::Winstdoel, 918, 918));
    }
    const Notice n = *GroupNotice(started);
    EXPECT_EQ(n.summary,
              "Rendaal: 50 signalen: AEX 2710 00880.00 00960.00, AEX 2711 00880.00 00960.00 en 48 "
              "meer");
    const auto lines = SplitLines(n.body);
    ASSERT_EQ(lines.size(), kMaxNoticeLines + 1);
    EXPECT_EQ(lines[1], "AEX 2711 00880.00 00960.00: " + AlertBody(started[1]));
    EXPECT_EQ(lines.back(), "en 30 signalen meer (rendaal-sched --alerts)");
    EXPECT_FALSE(n.urgent);
    EXPECT_EQ(n.key, "AEX 2710 00880.00 00960.00");
}

TEST(AlertNoticeTest, HeadersCarryNoLineBreakAndTheTokenOnlyWhenSet) {
    Notice n = *GroupNotice({MakeAlert("AEX\r\nBcc: x@y.z", AlertKind::Winstdoel, 50, 50)});
    EXPECT_EQ(PushHeaders(n, "tk"), (std::vector<Header>{{"Title", "Rendaal: AEX  Bcc: x@y.z"},
                                                         {"Priority", "default"},
                                                         {"Tags", "winstdoel"},
                                                         {"Authorization", "Bearer tk"}}));
    n.summary = "Rendaal: \xE2\x82\xAC";
    EXPECT_EQ(PushHeaders(n, "").front().second, "=?UTF-8?B?UmVuZGFhbDog4oKs?=");
    EXPECT_EQ(PushHeaders(n, "").size(), 3u);

    n.body = "a\r\nb";
    EXPECT_EQ(MailText(n, {"jan@example.org", "piet@example.nl"}, "Mon, 07 Dec 2026 17:40:00 +0100",
                       "id1@host"),
              "To: jan@example.org, piet@example.nl\n"
              "Subject: =?UTF-8?B?UmVuZGFhbDog4oKs?=\n"
              "Date: Mon, 07 Dec 2026 17:40:00 +0100\n"
              "Message-ID: <id1@host>\n"
              "MIME-Version: 1.0\n"
              "Content-Type: text/plain; charset=UTF-8\n"
              "Content-Transfer-Encoding: 8bit\n"
              "Auto-Submitted: auto-generated\n"
              "\n"
              "a\nb\n");
}

}  // namespace
}  // namespace rendaal
