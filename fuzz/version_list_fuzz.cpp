// The maker's version list: any bytes give a result code or a damage report, and a download
// name that reaches the installer download is always a plain file name.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "update/version_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace rendaal;
    const std::string body(reinterpret_cast<const char*>(data), size);
    const std::string text = VersionListText(body);
    if (text.size() > body.size()) {
        std::abort();
    }
    for (const char* own : {"versie 1.10a", "1.10", "", "versie 9.99z"}) {
        const VersionCheck check = ReadVersionList(text, "Rendaal", own);
        if (!check.downloadName.empty() && !IsSafeDownloadName(check.downloadName)) {
            std::abort();
        }
        if (check.damaged()) {
            continue;
        }
        if (check.code < kNoUpdateNeeded || check.code > kSomethingWrong) {
            std::abort();
        }
        if (check.installerSizeKb < 0 || check.installerSizeKb > kMaxInstallerKb ||
            (!check.sha256.empty() && check.sha256.size() != 64)) {
            std::abort();
        }
        (void)InstallerDisplayName(check.downloadName);
        (void)ResultLines(check.code, true);
    }
    (void)ParseOwnVersion(text.substr(0, 64));
    (void)InstallerDisplayName(text.substr(0, 64));
    return 0;
}
