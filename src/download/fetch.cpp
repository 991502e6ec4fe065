#include "download/fetch.h"

#include "core/text.h"

namespace rendaal {

std::string DownloadAgentName() {
    return "Rendaal/1.10a Function: Download";
}

bool IsFetchableUrl(std::string_view url, bool httpsOnly) {
    const std::string lower = AsciiLower(url.substr(0, 8));
    if (lower.rfind("https://", 0) == 0) {
        return url.size() > 8;
    }
    return !httpsOnly && lower.rfind("http://", 0) == 0 && url.size() > 7;
}

}  // namespace rendaal
