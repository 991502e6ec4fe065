#pragma once

#include <string>

#include "update/update_transport.h"

namespace rendaal {

// On the platform HTTP client: no proxy, a fresh copy (no cache), 2000 ms without data ends the
// transfer, a nested event loop keeps the windows alive. HTTPS certificates are always checked
// and an https address never follows a redirect to http; caFile (PEM), when set, adds trusted
// certificates (tests trust their own authority this way).
class QtUpdateTransport final : public UpdateTransport {
public:
    explicit QtUpdateTransport(std::string caFile = {}, int timeoutMs = kUpdateReceiveTimeoutMs);
    ListReply Get(const std::string& url, size_t maxBytes) override;
    StreamOutcome Stream(const std::string& url,
                         const std::function<bool(std::string_view)>& sink) override;

private:
    FetchRequest RequestFor(const std::string& url) const;

    std::string caFile_;
    int timeoutMs_;
};

}  // namespace rendaal
