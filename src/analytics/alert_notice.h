#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analytics/alerts.h"
#include "core/regfile.h"

// What one run tells the user on each channel (desktop, push, e-mail), and the checks that keep
// a stored address or token from smuggling a header into a request or a mail.
namespace rendaal {

struct Notice {
    std::string summary;  // the title: "Rendaal: <key>" or "Rendaal: 3 signalen: ..."
    std::string body;
    bool urgent = false;            // a loss limit among the alerts
    std::vector<std::string> tags;  // for the push server's icons
    std::string key;                // the combination "Toon" opens
};

// One notice for all the alerts that started in one run; nullopt when none started. Several
// alerts are named in the summary and each gets a line of the body; past kMaxNoticeLines the
// body says how many more there are.
inline constexpr size_t kMaxNoticeLines = 20;
std::optional<Notice> GroupNotice(const std::vector<Alert>& started);
// What "Test" and "rendaal-sched --test-alert" send.
Notice TestNotice();

inline constexpr std::string_view kPushUrlValue = "PushUrl";
inline constexpr std::string_view kPushTokenValue = "PushToken";
inline constexpr std::string_view kMailToValue = "MailTo";

// The push and mail settings as stored. A value that cannot be used safely is left out, with a
// reason in problems that never repeats the value itself (it may be a secret).
struct ChannelSettings {
    std::string pushUrl;
    std::string pushToken;
    std::vector<std::string> mailTo;
    std::vector<std::string> problems;
    bool Push() const { return !pushUrl.empty(); }
    bool Mail() const { return !mailTo.empty(); }
};
ChannelSettings ReadChannelSettings(const RegFile& file, std::string_view key);

// Each returns "" when the text is fine, else the reason in Dutch.
std::string PushUrlProblem(std::string_view url);
std::string PushTokenProblem(std::string_view token);
// Addresses separated by "," ";" or blanks; each a plain local@domain in printable ASCII.
std::string MailToProblem(std::string_view text, std::vector<std::string>* addresses = nullptr);
// Any setting holds a secret: the settings file is then kept private (0600).
bool HoldsChannelSecret(const RegFile& file, std::string_view key);

using Header = std::pair<std::string, std::string>;
// Title, Priority, Tags and (with a token) Authorization; non-ASCII text is sent RFC 2047
// encoded, as push servers read it.
std::vector<Header> PushHeaders(const Notice& notice, const std::string& token);

// The whole text handed to "sendmail -t -i": headers, a blank line, the body in LF lines.
// date is an RFC 2822 date, messageId the part inside "<>".
std::string MailText(const Notice& notice, const std::vector<std::string>& to,
                     const std::string& date, const std::string& messageId);

// text with every occurrence of the channels' secrets replaced by "…": for a relay's own error
// text, which may repeat an address.
std::string HideSecrets(std::string text, const ChannelSettings& settings);

}  // namespace rendaal
