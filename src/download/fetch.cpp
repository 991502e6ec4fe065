#include "download/fetch.h"

#include "core/text.h"

namespace rendaal {

std::string DownloadAgentName() {
    return "Rendaal/1.10a Function: Download";
}

std::string FetchFailureReason(const FetchStatus& status) {
    switch (status.failure) {
        case FetchFailure::Unreachable:
            return "server niet bereikbaar";
        case FetchFailure::TimedOut:
            return "time-out";
        case FetchFailure::HttpStatus:
            return "HTTP-status " + std::to_string(status.httpStatus);
        case FetchFailure::TooLarge:
            return "pagina te groot";
        case FetchFailure::ConnectionLost:
            return "pagina afgebroken";
        case FetchFailure::Certificate:
            return "certificaat geweigerd";
        case FetchFailure::Stopped:
            return "gestopt";
        case FetchFailure::Refused:
            return "adres geweigerd";
        case FetchFailure::None:
            break;
    }
    return status.ok ? "lege pagina" : "";
}

std::string WithoutUrlUserInfo(std::string_view text) {
    std::string out;
    size_t from = 0;
    for (size_t scheme = text.find("://"); scheme != std::string_view::npos;
         scheme = text.find("://", from)) {
        const size_t host = scheme + 3;
        size_t end = host;
        while (end < text.size() &&
               std::string_view("/?#\"' \t\r\n<>").find(text[end]) == std::string_view::npos) {
            ++end;
        }
        const size_t at = text.substr(host, end - host).rfind('@');
        out.append(text.substr(from, host - from));
        from = at == std::string_view::npos ? host : host + at + 1;
        if (from == host) {
            out.append(text.substr(host, end - host));
            from = end;
        }
    }
    out.append(text.substr(from));
    return out;
}

bool IsFetchableUrl(std::string_view url, bool httpsOnly) {
    const std::string lower = AsciiLower(url.substr(0, 8));
    if (lower.rfind("https://", 0) == 0) {
        return url.size() > 8;
    }
    return !httpsOnly && lower.rfind("http://", 0) == 0 && url.size() > 7;
}

}  // namespace rendaal
