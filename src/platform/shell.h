#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/settings_store.h"

class QObject;

// Opening web and mail links and starting programs, each replaceable so that tests see what
// would be opened or started without a browser or a real installer.
namespace rendaal {

using UrlOpener = std::function<bool(const std::string& url)>;
using DetachedStarter =
    std::function<bool(const std::string& program, const std::vector<std::string>& args)>;

// True when the system handler took the link (QDesktopServices::openUrl).
bool OpenUrl(const std::string& url);
// An empty opener restores the system one.
void SetUrlOpener(UrlOpener opener);
// The same, but a link no program shows counts as failed too: xdg-open starts, finds no
// browser and says so in its exit code, long after openUrl reported success. Returns at once;
// onFailure runs later (or at once) on owner's thread, never when a program took the link.
void OpenUrlChecked(const std::string& url, QObject* owner, std::function<void()> onFailure);

// Starts program in its own session; true when it started (QProcess::startDetached).
bool StartDetached(const std::string& program, const std::vector<std::string>& args);
void SetDetachedStarter(DetachedStarter starter);

// The maker's addresses, configurable under the settings key ("SiteUrl", "MailAddress").
inline constexpr const char* kDefaultSiteUrl = "https://www.rendaal.example/";
inline constexpr const char* kDefaultMailAddress = "auteur@rendaal.example";
struct MakerSite {
    std::string siteUrl;  // ends in "/"
    std::string mailAddress;
};
MakerSite ReadMakerSite(const SettingsStore& store);
MakerSite ReadMakerSite();

// Percent-encodes every byte except RFC 3986's unreserved characters.
std::string PercentEncode(std::string_view text);

}  // namespace rendaal
