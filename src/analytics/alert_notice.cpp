#include "analytics/alert_notice.h"

#include <algorithm>

#include "analytics/rate_settings.h"
#include "core/fileio.h"
#include "core/text.h"

namespace rendaal {
namespace {

constexpr size_t kMaxSummaryKeys = 2;
constexpr size_t kMaxUrlBytes = 2048;
constexpr size_t kMaxTokenBytes = 512;
constexpr size_t kMaxAddresses = 20;

bool Printable(char c) {
    return c > ' ' && c < 0x7f;
}

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c < 0x7f; });
}

std::string Base64(std::string_view in) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < in.size(); i += 3) {
        uint32_t n = static_cast<uint8_t>(in[i]) << 16;
        if (i + 1 < in.size()) {
            n |= static_cast<uint8_t>(in[i + 1]) << 8;
        }
        if (i + 2 < in.size()) {
            n |= static_cast<uint8_t>(in[i + 2]);
        }
        out += kDigits[(n >> 18) & 63];
        out += kDigits[(n >> 12) & 63];
        out += i + 1 < in.size() ? kDigits[(n >> 6) & 63] : '=';
        out += i + 2 < in.size() ? kDigits[n & 63] : '=';
    }
    return out;
}

// A header value never carries a line break, whatever a combination's key holds.
std::string HeaderText(std::string_view text) {
    std::string flat;
    for (const char c : text) {
        flat += (c == '\r' || c == '\n' || c == '\t') ? ' ' : c;
    }
    return IsAscii(flat) ? flat : "=?UTF-8?B?" + Base64(flat) + "?=";
}

std::string_view KindTag(AlertKind kind) {
    switch (kind) {
        case AlertKind::Winstdoel:
            return "winstdoel";
        case AlertKind::Verliesgrens:
            return "verliesgrens";
        case AlertKind::BreakEven:
            return "break-even";
    }
    return "";
}

bool PlainAddress(std::string_view a) {
    const size_t at = a.find('@');
    if (at == 0 || at == std::string_view::npos || at + 1 >= a.size() ||
        a.find('@', at + 1) != std::string_view::npos || a.size() > 254) {
        return false;
    }
    const std::string_view domain = a.substr(at + 1);
    if (domain.front() == '.' || domain.back() == '.' || domain.find("..") != domain.npos) {
        return false;
    }
    // No quoting, comments, routes or group syntax: what is left cannot end a header.
    return std::all_of(a.begin(), a.end(), [](char c) {
        return Printable(c) && std::string_view("<>()[]\\,;:\"").find(c) == std::string_view::npos;
    });
}

}  // namespace

std::optional<Notice> GroupNotice(const std::vector<Alert>& started) {
    if (started.empty()) {
        return std::nullopt;
    }
    Notice n;
    n.key = started.front().key;
    for (const auto& a : started) {
        n.urgent = n.urgent || a.kind == AlertKind::Verliesgrens;
        const std::string tag(KindTag(a.kind));
        if (std::find(n.tags.begin(), n.tags.end(), tag) == n.tags.end()) {
            n.tags.push_back(tag);
        }
    }
    if (n.urgent) {
        n.tags.insert(n.tags.begin(), "warning");
    }
    if (started.size() == 1) {
        n.summary = AlertSummary(started.front());
        n.body = AlertBody(started.front());
        return n;
    }
    std::vector<std::string> keys;
    for (const auto& a : started) {
        if (std::find(keys.begin(), keys.end(), a.key) == keys.end()) {
            keys.push_back(a.key);
        }
    }
    n.summary = "Rendaal: " + std::to_string(started.size()) + " signalen: ";
    for (size_t i = 0; i < keys.size() && i < kMaxSummaryKeys; ++i) {
        n.summary += (i > 0 ? ", " : "") + keys[i];
    }
    if (keys.size() > kMaxSummaryKeys) {
        n.summary += " en " + std::to_string(keys.size() - kMaxSummaryKeys) + " meer";
    }
    for (size_t i = 0; i < started.size() && i < kMaxNoticeLines; ++i) {
        n.body += (i > 0 ? "\n" : "") + started[i].key + ": " + AlertBody(started[i]);
    }
    if (started.size() > kMaxNoticeLines) {
        n.body += "\nen " + std::to_string(started.size() - kMaxNoticeLines) +
                  " signalen meer (rendaal-sched --alerts)";
    }
    return n;
}

Notice TestNotice() {
    Notice n;
    n.summary = "Rendaal: testbericht";
    n.body = "Dit kanaal werkt: hier komen de meldingen van Rendaal als een signaal begint.";
    n.tags = {"test"};
    return n;
}

std::string PushUrlProblem(std::string_view url) {
    const std::string lower = AsciiLower(url.substr(0, 8));
    std::string_view rest;
    if (lower.starts_with("https://")) {
        rest = url.substr(8);
    } else if (lower.starts_with("http://")) {
        rest = url.substr(7);
        const size_t end = rest.find_first_of("/?#");
        const std::string_view hostPort = rest.substr(0, end);
        if (hostPort != "127.0.0.1" && !hostPort.starts_with("127.0.0.1:")) {
            return "PushUrl is geen https-adres (http alleen naar 127.0.0.1)";
        }
    } else {
        return "PushUrl is geen https-adres (http alleen naar 127.0.0.1)";
    }
    if (rest.empty() || rest.front() == '/' || url.size() > kMaxUrlBytes ||
        !std::all_of(url.begin(), url.end(), Printable)) {
        return "PushUrl is geen geldig adres (spatie, regeleinde of te lang)";
    }
    return "";
}

std::string PushTokenProblem(std::string_view token) {
    if (token.size() > kMaxTokenBytes || !std::all_of(token.begin(), token.end(), Printable)) {
        return "PushToken bevat een spatie, regeleinde of ander teken dat niet in een kop mag";
    }
    return "";
}

std::string MailToProblem(std::string_view text, std::vector<std::string>* addresses) {
    std::vector<std::string> found;
    size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ',' || c == ';' || c == ' ' || c == '\t') {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && std::string_view(",; \t").find(text[end]) == text.npos) {
            ++end;
        }
        const std::string_view one = text.substr(i, end - i);
        // The address itself is not repeated: the reason may end up in a log.
        if (!PlainAddress(one)) {
            return "MailTo: adres " + std::to_string(found.size() + 1) +
                   " is geen gewoon e-mailadres (naam@domein, zonder regeleinde of kop)";
        }
        found.emplace_back(one);
        i = end;
    }
    if (found.size() > kMaxAddresses) {
        return "MailTo: meer dan " + std::to_string(kMaxAddresses) + " adressen";
    }
    if (addresses) {
        *addresses = std::move(found);
    }
    return "";
}

ChannelSettings ReadChannelSettings(const RegFile& file, std::string_view key) {
    ChannelSettings s;
    const std::string url = StoredSettingText(file, key, kPushUrlValue).value_or("");
    const std::string token = StoredSettingText(file, key, kPushTokenValue).value_or("");
    const std::string mail = StoredSettingText(file, key, kMailToValue).value_or("");
    if (!url.empty()) {
        std::string problem = PushUrlProblem(url);
        if (problem.empty()) {
            problem = PushTokenProblem(token);
        }
        if (problem.empty()) {
            s.pushUrl = url;
            s.pushToken = token;
        } else {
            s.problems.push_back(problem + "; er gaat geen push-bericht uit.");
        }
    }
    if (const std::string problem = MailToProblem(mail, &s.mailTo); !problem.empty()) {
        s.problems.push_back(problem + "; er gaat geen e-mail uit.");
    }
    return s;
}

bool HoldsChannelSecret(const RegFile& file, std::string_view key) {
    for (const auto name : {kPushUrlValue, kPushTokenValue, kMailToValue}) {
        if (!StoredSettingText(file, key, name).value_or("").empty()) {
            return true;
        }
    }
    return false;
}

std::vector<Header> PushHeaders(const Notice& notice, const std::string& token) {
    std::string tags;
    for (const auto& t : notice.tags) {
        tags += (tags.empty() ? "" : ",") + t;
    }
    std::vector<Header> headers{{"Title", HeaderText(notice.summary)},
                                {"Priority", notice.urgent ? "high" : "default"}};
    if (!tags.empty()) {
        headers.emplace_back("Tags", HeaderText(tags));
    }
    if (!token.empty()) {
        headers.emplace_back("Authorization", "Bearer " + token);
    }
    return headers;
}

std::string MailText(const Notice& notice, const std::vector<std::string>& to,
                     const std::string& date, const std::string& messageId) {
    std::string text = "To: ";
    for (size_t i = 0; i < to.size(); ++i) {
        text += (i > 0 ? ", " : "") + to[i];
    }
    text += "\nSubject: " + HeaderText(notice.summary) + "\nDate: " + HeaderText(date) +
            "\nMessage-ID: <" + HeaderText(messageId) +
            ">\nMIME-Version: 1.0\n"
            "Content-Type: text/plain; charset=UTF-8\nContent-Transfer-Encoding: 8bit\n"
            "Auto-Submitted: auto-generated\n";
    if (notice.urgent) {
        text += "Importance: high\n";
    }
    text += "\n";
    for (const auto& line : SplitLines(notice.body)) {
        text += line + "\n";
    }
    return text;
}

std::string HideSecrets(std::string text, const ChannelSettings& settings) {
    std::vector<std::string> secrets = settings.mailTo;
    secrets.push_back(settings.pushToken);
    secrets.push_back(settings.pushUrl);
    for (const auto& s : secrets) {
        if (s.size() < 3) {
            continue;
        }
        for (size_t at = text.find(s); at != std::string::npos; at = text.find(s, at)) {
            text.replace(at, s.size(), "\xE2\x80\xA6");
        }
    }
    return text;
}

}  // namespace rendaal
