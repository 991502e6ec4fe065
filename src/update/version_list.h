#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "update/update_transport.h"

// The maker's version list "versions.dat": one record per program, "name,download name,letter,
// size in KB,free text[,...]" ended by a carriage return, and the comparison with the own version.
namespace rendaal {

enum VersionCode {
    kNoUpdateNeeded = 0,
    kNoInternet = 1,
    kListTooSmall = 2,
    kNameNotFound = 3,
    kUpdateAdvised = 4,
    kSomethingWrong = 5,
};

// No installer of this program comes near this; a record announcing more is damaged, so that a
// hostile list cannot let a download fill the disk.
inline constexpr int32_t kMaxInstallerKb = 256 * 1024;

struct OwnVersion {
    std::string digits;  // "110" for "versie 1.10a"
    char letter = 0;     // 'a', or 0 when the text does not end in a to z
};
OwnVersion ParseOwnVersion(std::string_view versionText);

struct VersionCheck {
    int code = kListTooSmall;
    // Set when the record is damaged: the check then has no result and code means nothing.
    std::string error;
    std::string downloadName;
    std::string newestText;  // e.g. "1.10b"
    int32_t installerSizeKb = 0;
    // Lower-case SHA-256 of the installer when field 4 holds one (64 hex digits), else empty.
    std::string sha256;

    bool damaged() const { return !error.empty(); }
};

// The text as the fetch appends it: each 2048-byte chunk up to its first zero byte.
std::string VersionListText(std::string_view body);

struct FetchedList {
    std::string text;            // as VersionListText makes it; empty when nothing arrived
    bool verifiedHttps = false;  // only such a list may lead to a download
};
// siteUrl + "versions.dat", up to three attempts while nothing has arrived.
FetchedList FetchVersionList(UpdateTransport& transport, const std::string& siteUrl);

// text: the fetched list (empty when nothing arrived).
VersionCheck ReadVersionList(std::string_view text, std::string_view programName,
                             std::string_view versionText);

// The window's line(s) for a result code.
std::vector<std::string> ResultLines(int code, bool dutch);

// In place of the download offer when an advised update cannot be downloaded safely: why, and
// where to get it by hand.
std::vector<std::string> InformationOnlyLines(bool verifiedHttps, bool hasDigest,
                                              std::string_view siteUrl, bool dutch);

// "setup110a.exe" -> "Setupa": the part before the first ".", digits removed, first letter upper.
std::string InstallerDisplayName(std::string_view downloadName);

// A name that may be used as a file name in the download folder.
bool IsSafeDownloadName(std::string_view name);

}  // namespace rendaal
