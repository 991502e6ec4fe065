#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A server on 127.0.0.1 that misbehaves in one chosen way on every request, below HTTP's
// rules where needed (a dripping body, a torn chunked body, silence), for the client's
// robustness tests.
namespace rendaal::quotesim {

enum class Hostility {
    Drip,             // a page announced in full, then one byte per second
    HugeBody,         // 1 GiB announced with Content-Length and streamed
    HugeChunked,      // 1 GiB in chunks, no length announced
    GzipBomb,         // Content-Encoding: gzip, a small body that inflates to 1 GiB of zeros
    TruncatedChunks,  // chunks of a real page, then the connection closes before the last chunk
    TruncatedLength,  // the whole length announced, part of the page sent, then the connection
                      // closes
    RedirectLoop,     // every path redirects to itself
    RedirectToFile,   // redirect to file:///etc/passwd
    RedirectToFtp,    // redirect to ftp://127.0.0.1/
    Silent,           // accepts, reads the request, never answers
};
const char* HostilityName(Hostility h);

class HostileServer final {
public:
    explicit HostileServer(Hostility hostility, std::string page = {});
    ~HostileServer();
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    // Where the truncating servers hang up: after this many bytes of the page (default: half).
    void CutAt(size_t bytes) { cut_ = bytes; }
    bool Start();
    void Stop();
    std::string BaseUrl() const;
    int requests() const { return requests_.load(); }
    // Body bytes written to all clients so far (what a client could have received).
    long long bytesSent() const { return sent_.load(); }

private:
    void Serve(int fd);
    bool Send(int fd, const char* data, size_t size);

    Hostility hostility_;
    std::string page_;
    std::string gzipBody_;
    size_t cut_ = std::string::npos;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> requests_{0};
    std::atomic<long long> sent_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> workers_;
    std::vector<int> clients_;
};

}  // namespace rendaal::quotesim
