#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "download/fetch.h"

// How the update window reaches the maker's site: the small version list whole, the installer in
// chunks. Tests and the window use the Qt Network implementation against loopback servers.
namespace rendaal {

inline constexpr int kUpdateReceiveTimeoutMs = 2000;
inline constexpr size_t kVersionListMaxBytes = 1u << 20;

struct StreamOutcome {
    bool complete = false;       // the server ended the body normally and no sink refused a chunk
    bool verifiedHttps = false;  // the body came over HTTPS whose certificate checks passed
    std::string error;           // why it ended early ("" when complete)
};

class UpdateTransport {
public:
    virtual ~UpdateTransport() = default;
    // The body, or empty when nothing arrived (not reachable, an HTTP error, over maxBytes).
    virtual std::optional<std::string> Get(const std::string& url, size_t maxBytes) = 0;
    // Hands the body to sink in chunks of at most 2048 bytes; sink returns false to stop.
    virtual StreamOutcome Stream(const std::string& url,
                                 const std::function<bool(std::string_view)>& sink) = 0;
};

// On the platform HTTP client: no proxy, a fresh copy (no cache), 2000 ms without data ends the
// transfer, a nested event loop keeps the windows alive. HTTPS certificates are always checked;
// caFile (PEM), when set, adds trusted certificates (tests trust their own authority this way).
class QtUpdateTransport final : public UpdateTransport {
public:
    explicit QtUpdateTransport(std::string caFile = {}, int timeoutMs = kUpdateReceiveTimeoutMs);
    std::optional<std::string> Get(const std::string& url, size_t maxBytes) override;
    StreamOutcome Stream(const std::string& url,
                         const std::function<bool(std::string_view)>& sink) override;

private:
    // A fresh copy from the server, without a proxy; https addresses with certificate checks.
    FetchRequest RequestFor(const std::string& url) const;

    std::string caFile_;
    int timeoutMs_;
};

}  // namespace rendaal
