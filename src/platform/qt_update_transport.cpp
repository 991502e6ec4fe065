#include "platform/qt_update_transport.h"

#include "core/fileio.h"
#include "platform/http_client.h"

namespace rendaal {

namespace {

// An installer comes in bounded by its announced size; this only ends a server that stalls.
constexpr int kInstallerTotalTimeoutMs = 10 * 60 * 1000;
constexpr size_t kChunk = 2048;
// The list is small: a site that drips it this long is as good as down.
constexpr int kListTotalTimeoutMs = 15 * 1000;

ListFailure ListFailureOf(const FetchStatus& status) {
    if (status.ok) {
        return ListFailure::None;
    }
    const bool redirected = status.httpStatus >= 300 && status.httpStatus <= 399;
    switch (status.failure) {
        case FetchFailure::Refused:
            if (!redirected) {
                return ListFailure::BadAddress;
            }
            return status.error == kTooManyRedirects ? ListFailure::HttpStatus
                                                     : ListFailure::RedirectRefused;
        case FetchFailure::Certificate:
            return ListFailure::Certificate;
        case FetchFailure::TimedOut:
            return ListFailure::TimedOut;
        case FetchFailure::TooLarge:
            return ListFailure::TooLarge;
        case FetchFailure::HttpStatus:
            return ListFailure::HttpStatus;
        case FetchFailure::Unreachable:
            return ListFailure::NoConnection;
        case FetchFailure::None:
        case FetchFailure::ConnectionLost:
        case FetchFailure::Stopped:
            break;
    }
    return ListFailure::ConnectionLost;
}

}  // namespace

QtUpdateTransport::QtUpdateTransport(std::string caFile, int timeoutMs)
    : caFile_(std::move(caFile)), timeoutMs_(timeoutMs) {}

// A fresh copy from the server, without a proxy; https addresses with certificate checks.
FetchRequest QtUpdateTransport::RequestFor(const std::string& url) const {
    FetchRequest req;
    req.url = url;
    req.reload = true;
    req.proxy = ProxyMode::Direct;
    req.timeoutMs = timeoutMs_;
    req.requireHttps = url.starts_with("https://");
    if (!caFile_.empty()) {
        req.extraCaPem = ReadFile(caFile_, 1u << 20).value_or("");
    }
    return req;
}

ListReply QtUpdateTransport::Get(const std::string& url, size_t maxBytes) {
    FetchRequest req = RequestFor(url);
    req.maxBytes = maxBytes;
    req.totalTimeoutMs = kListTotalTimeoutMs;
    QtPageFetcher fetcher;
    ListReply reply;
    reply.body = fetcher.Fetch(req);
    const FetchStatus status = fetcher.LastStatus();
    reply.failure = ListFailureOf(status);
    reply.httpStatus = status.httpStatus;
    reply.verifiedHttps = status.ok && req.requireHttps;
    return reply;
}

StreamOutcome QtUpdateTransport::Stream(const std::string& url,
                                        const std::function<bool(std::string_view)>& sink) {
    FetchRequest req = RequestFor(url);
    req.totalTimeoutMs = kInstallerTotalTimeoutMs;
    req.maxBytes = size_t{1} << 40;  // the sink bounds the body by the announced size
    QtPageFetcher fetcher;
    const FetchStatus status = fetcher.FetchStream(req, [&](std::string_view data, int64_t) {
        for (size_t pos = 0; pos < data.size(); pos += kChunk) {
            if (!sink(data.substr(pos, kChunk))) {
                return false;
            }
        }
        return true;
    });
    StreamOutcome out;
    out.complete = status.ok;
    out.verifiedHttps = status.ok && req.requireHttps;
    out.error = status.error;
    out.failure = status.failure;
    return out;
}

}  // namespace rendaal
