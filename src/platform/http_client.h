#pragma once

#include "download/fetch.h"

namespace rendaal {

// HTTP(S) on Qt Network. A request waits in a nested event loop, so the windows keep painting
// and moving meanwhile; callers must expect other handlers (clicks, timers) to run inside.
// Needs a QCoreApplication.
class QtPageFetcher final : public PageFetcher {
public:
    QtPageFetcher() = default;
    std::string Fetch(const FetchRequest& request) override;
    FetchStatus FetchStream(const FetchRequest& request, const ChunkCallback& onChunk) override;
    FetchStatus LastStatus() const override { return last_; }

private:
    FetchStatus last_;
};

// Redirects followed per request; each one must stay on http or https (https only when the
// request requires it).
inline constexpr int kMaxRedirects = 3;
// FetchStatus::error when a request was redirected more often; the answer was a redirect, not a
// refused one.
inline constexpr const char* kTooManyRedirects = "too many redirects";

}  // namespace rendaal
