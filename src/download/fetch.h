#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the download code needs from an HTTP client. The pure code decides what to fetch and how
// often to try; a platform class does the network work.
namespace rendaal {

enum class ProxyMode {
    Preconfigured,  // the system's proxy settings
    Direct,         // no proxy
};

inline constexpr size_t kMaxPageBytes = size_t{16} << 20;

struct FetchRequest {
    std::string url;
    // Never answer from a cache (sent as "Cache-Control: no-cache").
    bool reload = false;
    ProxyMode proxy = ProxyMode::Preconfigured;
    // Inactivity time-out: the request fails when no byte arrives for this long.
    int timeoutMs = 2000;
    // Whole-request limit, so that a server dripping bytes cannot hold a run forever; 0 = none.
    int totalTimeoutMs = 60000;
    // A larger body is no page at all (a cut-off page would parse as a wrong one).
    size_t maxBytes = kMaxPageBytes;
    // Refuse plain http, and any redirect away from https; certificates are always checked.
    bool requireHttps = false;
    // Extra trusted certificates (PEM) for servers with a private authority, e.g. tests.
    std::string extraCaPem;
    // Sent as a POST with this body instead of a GET; redirects then stay on the same scheme,
    // host and port.
    std::optional<std::string> postBody;
    std::vector<std::pair<std::string, std::string>> headers;
};

// Why a fetch fell short, in kinds a user can be told about.
enum class FetchFailure {
    None,
    Refused,         // not an allowed address, or a redirect to a less safe scheme
    Certificate,     // the TLS handshake or the certificate check failed
    TimedOut,        // no data for timeoutMs, or the whole request beyond totalTimeoutMs
    ConnectionLost,  // the connection broke, or the body ended before its announced length
    TooLarge,        // beyond maxBytes
    HttpStatus,      // an answer other than 2xx
    Unreachable,     // no connection could be made
    Stopped,         // the chunk callback asked to stop
};

struct FetchStatus {
    FetchFailure failure = FetchFailure::None;
    bool ok = false;       // the whole body arrived with a 2xx status
    int httpStatus = 0;    // 0 when no answer came
    int64_t bytes = 0;     // body bytes delivered to the caller
    bool aborted = false;  // the chunk callback asked to stop
    std::string error;     // a short reason when !ok
};

// Receives each piece of the body as it arrives; total is -1 when the server did not announce
// the length. Returning false stops the transfer.
using ChunkCallback = std::function<bool(std::string_view chunk, int64_t total)>;

class PageFetcher {
public:
    virtual ~PageFetcher() = default;
    // The whole body of a 2xx answer; empty for no page (no connection, other status, time-out,
    // body beyond maxBytes, a broken transfer).
    virtual std::string Fetch(const FetchRequest& request) = 0;
    virtual FetchStatus FetchStream(const FetchRequest& request, const ChunkCallback& onChunk) = 0;
    // How the last Fetch ended; a fetcher that does not keep it says nothing went wrong.
    virtual FetchStatus LastStatus() const { return {}; }
};

// "server niet bereikbaar", "time-out", "HTTP-status 503", ...; "lege pagina" for an empty 2xx
// body; empty when the fetcher does not tell.
std::string FetchFailureReason(const FetchStatus& status);

// "Rendaal/1.10a Function: Download": the first word names the program, the ending is what the
// quote sites have always seen.
std::string DownloadAgentName();

// The text with the user name and password taken out of every URL in it ("http://u:p@host/x"
// becomes "http://host/x"): they belong in the settings file only, never in a log, a message or
// the archive.
std::string WithoutUrlUserInfo(std::string_view text);

// True for an absolute http:// or https:// URL (https only when httpsOnly).
bool IsFetchableUrl(std::string_view url, bool httpsOnly);

}  // namespace rendaal
