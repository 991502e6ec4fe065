#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "download/fetch.h"

// How the update code reaches the maker's site: the small version list whole, the installer in
// chunks. The window uses the Qt Network implementation in platform/; tests also use fakes.
namespace rendaal {

inline constexpr int kUpdateReceiveTimeoutMs = 2000;
inline constexpr size_t kVersionListMaxBytes = 1u << 20;

struct ListReply {
    std::string body;
    bool verifiedHttps = false;  // came over HTTPS whose certificate checks passed
};

struct StreamOutcome {
    bool complete = false;       // the server ended the body normally and no sink refused a chunk
    bool verifiedHttps = false;  // the body came over HTTPS whose certificate checks passed
    std::string error;           // why it ended early ("" when complete)
    FetchFailure failure = FetchFailure::None;
};

class UpdateTransport {
public:
    virtual ~UpdateTransport() = default;
    // The body, or nothing when nothing arrived (not reachable, an HTTP error, over maxBytes).
    virtual std::optional<ListReply> Get(const std::string& url, size_t maxBytes) = 0;
    // Hands the body to sink in chunks of at most 2048 bytes; sink returns false to stop.
    virtual StreamOutcome Stream(const std::string& url,
                                 const std::function<bool(std::string_view)>& sink) = 0;
};

}  // namespace rendaal
