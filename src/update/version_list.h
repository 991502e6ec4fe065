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

// What is wrong with a record that makes the check end without a result.
enum class ListDamage {
    None,
    FieldMissing,       // detail: the number of the first missing field
    UnsafeName,         // the download name is no plain file name
    SizeNotNumber,      // detail: the size field as written
    SizeBeyondCeiling,  // detail: the size field as written
};

struct VersionCheck {
    int code = kListTooSmall;
    // Why the list did not arrive; code is then kNoInternet or kSomethingWrong.
    ListFailure failure = ListFailure::None;
    int httpStatus = 0;
    // A damaged record leaves the check without a result: code then means nothing.
    ListDamage damage = ListDamage::None;
    std::string damageDetail;
    std::string downloadName;
    std::string newestText;  // e.g. "1.10b"
    int32_t installerSizeKb = 0;
    // Lower-case SHA-256 of the installer when field 4 holds one (64 hex digits), else empty.
    std::string sha256;

    bool damaged() const { return damage != ListDamage::None; }
};

// The text as the fetch appends it: each 2048-byte chunk up to its first zero byte.
std::string VersionListText(std::string_view body);

struct FetchedList {
    std::string text;            // as VersionListText makes it; empty when nothing arrived
    bool verifiedHttps = false;  // only such a list may lead to a download
    ListFailure failure = ListFailure::None;
    int httpStatus = 0;
};
// siteUrl + "versions.dat" in one request: a refused certificate or redirect would only be
// refused again, and a site that is down makes the user wait once, not three times.
FetchedList FetchVersionList(UpdateTransport& transport, const std::string& siteUrl);

// text: the fetched list (empty when nothing arrived).
VersionCheck ReadVersionList(std::string_view text, std::string_view programName,
                             std::string_view versionText);
// As above, or the fetch's failure when the list did not arrive.
VersionCheck ReadVersionList(const FetchedList& list, std::string_view programName,
                             std::string_view versionText);

// The window's line(s) for a result code.
std::vector<std::string> ResultLines(int code, bool dutch);
// The window's line(s) for a check: why the list did not arrive, or the result code's.
std::vector<std::string> CheckLines(const VersionCheck& check, bool dutch);
// "De versielijst is beschadigd: veld 4 ontbreekt" for a damaged record.
std::string DamagedListText(const VersionCheck& check, bool dutch);

// In place of the download offer when an advised update cannot be downloaded safely: why, and
// where to get it by hand.
std::vector<std::string> InformationOnlyLines(bool verifiedHttps, bool hasDigest,
                                              std::string_view siteUrl, bool dutch);

// "setup110a.exe" -> "Setupa": the part before the first ".", digits removed, first letter upper.
std::string InstallerDisplayName(std::string_view downloadName);

// A name that may be used as a file name in the download folder.
bool IsSafeDownloadName(std::string_view name);

}  // namespace rendaal
