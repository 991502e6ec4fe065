#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/calendar.h"
#include "quotesim/quote_model.h"

namespace httplib {
class Server;
}

// A quote server on 127.0.0.1 for tests, demos and benchmarks: the index page and the option
// page of the made-up market, extra files by path, redirects, and switchable faults.
namespace rendaal::quotesim {

enum class Fault {
    None,
    EmptyBody,       // 200 with no body
    Http500,         // status 500 with an error text
    Delay,           // nothing for delayMs, then the page
    ResetMidBody,    // half the announced body, then the connection closes
    EndlessBody,     // a chunked body that never ends
    Garbage,         // random bytes
    MissingMarkers,  // a page without the texts the reader looks for
};
// "empty", "500", "delay", "reset", "endless", "garbage", "nomarkers" (and "none").
std::optional<Fault> ParseFault(std::string_view name);
const char* FaultName(Fault fault);

enum class FaultTarget { Both, Index, Option };

struct ServerOptions {
    uint32_t seed = 1;
    Date today;  // the market's day; the local date when left at its default
    std::string quoteTime = "17:35";
    Fault fault = Fault::None;
    FaultTarget faultTarget = FaultTarget::Both;
    int faultCount = -1;  // how many requests of the target fail; -1: all
    int delayMs = 3000;
    std::vector<std::string> hyphenKeys;  // rows shown as not traded
};

struct ReceivedRequest {
    std::string target;  // path and query exactly as sent
    std::string userAgent;
    std::string cacheControl;
};

class QuoteServer final {
public:
    explicit QuoteServer(ServerOptions options = {});
    ~QuoteServer();
    QuoteServer(const QuoteServer&) = delete;
    QuoteServer& operator=(const QuoteServer&) = delete;

    // Listens on 127.0.0.1 (port 0: any free port). With a certificate and key (PEM files) it
    // speaks HTTPS. False when it cannot listen.
    bool Start(int port = 0, const std::string& certFile = {}, const std::string& keyFile = {});
    void Stop();
    int port() const { return port_; }
    // "http://127.0.0.1:PORT" (https when started with a certificate).
    std::string BaseUrl() const;

    void SetFault(Fault fault, FaultTarget target = FaultTarget::Both, int count = -1);
    void SetQuoteTime(std::string quoteTime);
    void SetHyphenKeys(std::vector<std::string> keys);
    // Serves body at path (e.g. "/versions.dat").
    void AddFile(const std::string& path, std::string body,
                 std::string contentType = "application/octet-stream");
    // Answers path with a redirect to location.
    void AddRedirect(const std::string& path, std::string location, int status = 302);

    std::vector<ReceivedRequest> Requests() const;
    std::vector<std::string> RequestTargets() const;
    void ClearRequests();

    const QuoteModel& model() const { return model_; }
    const ServerOptions& options() const { return options_; }

private:
    struct Route;
    void Handle(const void* request, void* response);
    bool TakeFault(bool isIndex, Fault& fault);

    ServerOptions options_;
    QuoteModel model_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    bool tls_ = false;
    std::atomic<bool> stopping_{false};
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<ReceivedRequest> requests_;
    std::map<std::string, std::pair<std::string, std::string>> files_;
    std::map<std::string, std::pair<std::string, int>> redirects_;
    int faultsUsed_ = 0;
};

}  // namespace rendaal::quotesim
