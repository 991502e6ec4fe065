#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "download/fetch.h"

// How the update code reaches the maker's site: the small version list whole, the installer in
// chunks. The window uses the Qt Network implementation in platform/; tests also use fakes.
namespace rendaal {

inline constexpr int kUpdateReceiveTimeoutMs = 2000;
inline constexpr size_t kVersionListMaxBytes = 1u << 20;

// Why the version list did not arrive; each is told to the user in its own words.
enum class ListFailure {
    None,
    NoConnection,     // no server answered at the address
    TimedOut,         // the site stopped sending
    Certificate,      // the site's certificate did not pass the checks
    RedirectRefused,  // sent on to a less safe address (https to http)
    HttpStatus,       // an answer other than 2xx
    TooLarge,         // beyond the bound: no version list
    ConnectionLost,   // the connection broke during the answer
    BadAddress,       // the configured site address cannot be fetched
};

struct ListReply {
    std::string body;
    bool verifiedHttps = false;  // came over HTTPS whose certificate checks passed
    ListFailure failure = ListFailure::None;
    int httpStatus = 0;  // the site's answer, when it gave one
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
    // One request: the body, or why there is none.
    virtual ListReply Get(const std::string& url, size_t maxBytes) = 0;
    // Hands the body to sink in chunks of at most 2048 bytes; sink returns false to stop.
    virtual StreamOutcome Stream(const std::string& url,
                                 const std::function<bool(std::string_view)>& sink) = 0;
};

}  // namespace rendaal
