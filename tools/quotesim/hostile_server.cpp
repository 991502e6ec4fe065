#include "quotesim/hostile_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstring>

namespace rendaal::quotesim {
namespace {

constexpr long long kHuge = 1LL << 30;

// Compressed once: deflating a gigabyte takes a few seconds.
const std::string& GzipOfZeros() {
    static const std::string body = [] {
        std::string out;
        z_stream z{};
        deflateInit2(&z, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
        std::vector<unsigned char> zeros(1 << 20, 0);
        std::vector<unsigned char> buf(1 << 16);
        for (long long left = kHuge; left >= 0;) {
            const bool last = left == 0;
            z.next_in = zeros.data();
            z.avail_in = last ? 0 : static_cast<uInt>(std::min<long long>(left, zeros.size()));
            left = last ? -1 : left - z.avail_in;
            do {
                z.next_out = buf.data();
                z.avail_out = static_cast<uInt>(buf.size());
                deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
                out.append(reinterpret_cast<char*>(buf.data()), buf.size() - z.avail_out);
            } while (z.avail_out == 0);
        }
        deflateEnd(&z);
        return out;
    }();
    return body;
}

}  // namespace

const char* HostilityName(Hostility h) {
    switch (h) {
        case Hostility::Drip:
            return "1 byte per second";
        case Hostility::HugeBody:
            return "1 GiB body with Content-Length";
        case Hostility::HugeChunked:
            return "1 GiB chunked body";
        case Hostility::GzipBomb:
            return "gzip bomb (1 GiB of zeros)";
        case Hostility::TruncatedChunks:
            return "truncated chunked body";
        case Hostility::TruncatedLength:
            return "body shorter than its Content-Length";
        case Hostility::RedirectLoop:
            return "redirect loop";
        case Hostility::RedirectToFile:
            return "redirect to file:";
        case Hostility::RedirectToFtp:
            return "redirect to ftp:";
        case Hostility::Silent:
            return "accepts, never answers";
    }
    return "?";
}

HostileServer::HostileServer(Hostility hostility, std::string page)
    : hostility_(hostility), page_(std::move(page)) {
    if (page_.empty()) {
        page_ =
            "<html><body><table><tr><td>C</td><td>18-12-2026</td><td>950,00</td><td>12,35"
            "</td></tr></table></body></html>";
    }
    if (hostility_ == Hostility::GzipBomb) {
        gzipBody_ = GzipOfZeros();
    }
}

HostileServer::~HostileServer() {
    Stop();
}

bool HostileServer::Start() {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_ < 0) {
        return false;
    }
    const int one = 1;
    ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_, 16) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(listen_);
        listen_ = -1;
        return false;
    }
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] {
        while (!stopping_) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                continue;
            }
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            std::lock_guard lock(mutex_);
            clients_.push_back(fd);
            workers_.emplace_back([this, fd] { Serve(fd); });
        }
    });
    return true;
}

void HostileServer::Stop() {
    if (listen_ < 0) {
        return;
    }
    stopping_ = true;
    acceptor_.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        for (int fd : clients_) {
            ::shutdown(fd, SHUT_RDWR);
        }
        workers.swap(workers_);
    }
    for (auto& w : workers) {
        w.join();
    }
    for (int fd : clients_) {
        ::close(fd);
    }
    clients_.clear();
    ::close(listen_);
    listen_ = -1;
}

std::string HostileServer::BaseUrl() const {
    return "http://127.0.0.1:" + std::to_string(port_);
}

bool HostileServer::Send(int fd, const char* data, size_t size) {
    while (size > 0) {
        if (stopping_) {
            return false;
        }
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 50) <= 0) {
            continue;
        }
        const ssize_t n = ::send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void HostileServer::Serve(int fd) {
    // Reads requests one after the other on the connection (a redirect loop reuses it).
    std::string in;
    for (;;) {
        size_t end;
        while ((end = in.find("\r\n\r\n")) == std::string::npos) {
            if (stopping_) {
                return;
            }
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                continue;
            }
            char buf[4096];
            const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) {
                return;
            }
            in.append(buf, static_cast<size_t>(n));
        }
        const std::string request = in.substr(0, end);
        in.erase(0, end + 4);
        ++requests_;
        const std::string target =
            request.substr(request.find(' ') + 1,
                           request.find(' ', request.find(' ') + 1) - request.find(' ') - 1);
        std::string head;
        const auto header = [&](const std::string& status, const std::string& extra) {
            head = "HTTP/1.1 " + status + "\r\n" + extra + "\r\n";
            return Send(fd, head.data(), head.size());
        };
        const auto body = [&](const char* data, size_t size) {
            if (!Send(fd, data, size)) {
                return false;
            }
            sent_ += static_cast<long long>(size);
            return true;
        };
        switch (hostility_) {
            case Hostility::Drip: {
                if (!header("200 OK", "Content-Type: text/html\r\nContent-Length: " +
                                          std::to_string(page_.size()) + "\r\n")) {
                    return;
                }
                for (char c : page_) {
                    if (!body(&c, 1)) {
                        return;
                    }
                    for (int i = 0; i < 20 && !stopping_; ++i) {
                        std::this_thread::sleep_for(std::chrono::milliseconds(50));
                    }
                }
                break;
            }
            case Hostility::HugeBody:
            case Hostility::HugeChunked: {
                const bool chunked = hostility_ == Hostility::HugeChunked;
                if (!header("200 OK", chunked ? "Content-Type: text/html\r\nTransfer-Encoding: "
                                                "chunked\r\n"
                                              : "Content-Type: text/html\r\nContent-Length: " +
                                                    std::to_string(kHuge) + "\r\n")) {
                    return;
                }
                const std::string block(1 << 16, 'A');
                const std::string chunkHead = "10000\r\n";
                for (long long left = kHuge; left > 0;
                     left -= static_cast<long long>(block.size())) {
                    if ((chunked && !Send(fd, chunkHead.data(), chunkHead.size())) ||
                        !body(block.data(), block.size()) || (chunked && !Send(fd, "\r\n", 2))) {
                        return;
                    }
                }
                if (chunked && !Send(fd, "0\r\n\r\n", 5)) {
                    return;
                }
                break;
            }
            case Hostility::GzipBomb:
                if (!header("200 OK",
                            "Content-Type: text/html\r\nContent-Encoding: gzip\r\n"
                            "Content-Length: " +
                                std::to_string(gzipBody_.size()) + "\r\n") ||
                    !body(gzipBody_.data(), gzipBody_.size())) {
                    return;
                }
                break;
            case Hostility::TruncatedChunks:
            case Hostility::TruncatedLength: {
                const bool chunked = hostility_ == Hostility::TruncatedChunks;
                char size[32];
                std::snprintf(size, sizeof size, "%zx\r\n", page_.size());
                if (!header("200 OK", chunked ? std::string("Content-Type: text/html\r\n"
                                                            "Transfer-Encoding: chunked\r\n")
                                              : "Content-Type: text/html\r\nContent-Length: " +
                                                    std::to_string(page_.size()) + "\r\n") ||
                    (chunked && !Send(fd, size, std::strlen(size)))) {
                    return;
                }
                // The whole page announced (as one chunk, or by its length), part of it sent.
                const std::string part =
                    page_.substr(0, cut_ == std::string::npos ? page_.size() / 2 : cut_);
                body(part.data(), part.size());
                ::shutdown(fd, SHUT_RDWR);
                return;
            }
            case Hostility::RedirectLoop:
            case Hostility::RedirectToFile:
            case Hostility::RedirectToFtp: {
                const std::string location =
                    hostility_ == Hostility::RedirectLoop     ? BaseUrl() + target
                    : hostility_ == Hostility::RedirectToFile ? std::string("file:///etc/passwd")
                                                              : "ftp://127.0.0.1/pub/page.html";
                if (!header("302 Found", "Location: " + location + "\r\nContent-Length: 0\r\n")) {
                    return;
                }
                break;
            }
            case Hostility::Silent:
                while (!stopping_) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(50));
                }
                return;
        }
    }
}

}  // namespace rendaal::quotesim
