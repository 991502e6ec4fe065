#include "analytics/alert_notice.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/fileio.h"

namespace rendaal {
namespace {

Alert MakeAlert(const std::string& key, AlertKind kind) {
    Alert a;
    a.key = key;
    a.kind = kind;
    a.value = a.limit = kind == AlertKind::Verliesgrens ? 2 : 918;
    a.breakEven = 900;
    return a;
}

TEST(AlertNoticeTest, FiftyAlertsMakeOneNoticeAndNoKeyBreaksAHeader) {
    std::vector<Alert> started;
    for (int i = 0; i < 50; ++i) {
        started.push_back(MakeAlert("AEX 27" + std::to_string(10 + i) + " 00880.00 00960.00",
                                    i % 2 ? AlertKind::BreakEven : AlertKind::Winstdoel));
    }
    Notice n = *GroupNotice(started);
    EXPECT_EQ(n.summary,
              "Rendaal: 50 signalen: AEX 2710 00880.00 00960.00, "
              "AEX 2711 00880.00 00960.00 en 48 meer");
    const auto lines = SplitLines(n.body);
    ASSERT_EQ(lines.size(), kMaxNoticeLines + 1);
    EXPECT_EQ(lines[1], "AEX 2711 00880.00 00960.00: " + AlertBody(started[1]));
    EXPECT_EQ(lines.back(), "en 30 signalen meer (rendaal-sched --alerts)");
    EXPECT_FALSE(GroupNotice({}));

    n = *GroupNotice({MakeAlert("AEX\r\nBcc: x@y.z \xE2\x82\xAC", AlertKind::Verliesgrens)});
    n.body = "a\r\nb";
    EXPECT_EQ(MailText(n, {"jan@example.org", "piet@example.nl"}, "Mon, 7 Dec 2026", "id@host"),
              "To: jan@example.org, piet@example.nl\n"
              "Subject: =?UTF-8?B?UmVuZGFhbDogQUVYICBCY2M6IHhAeS56IOKCrA==?=\n"
              "Date: Mon, 7 Dec 2026\nMessage-ID: <id@host>\nMIME-Version: 1.0\n"
              "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n"
              "Auto-Submitted: auto-generated\nImportance: high\n\na\nb\n");
    EXPECT_EQ(PushHeaders(n, "").front().second,
              "=?UTF-8?B?UmVuZGFhbDogQUVYICBCY2M6IHhAeS56IOKCrA==?=");
}

}  // namespace
}  // namespace rendaal
