#include "quotesim/quote_server.h"

#include <httplib.h>

#include <chrono>
#include <random>

#include "core/clock.h"

namespace rendaal::quotesim {
namespace {

Date LocalToday() {
    return SystemClock().Now().date();
}

std::string GarbageBytes(uint32_t seed, size_t n) {
    std::mt19937 rng(seed);
    std::string out(n, '\0');
    for (char& c : out) {
        c = static_cast<char>(rng() & 0xff);
    }
    return out;
}

}  // namespace

std::optional<Fault> ParseFault(std::string_view name) {
    static const std::pair<std::string_view, Fault> kNames[] = {
        {"none", Fault::None},          {"empty", Fault::EmptyBody},
        {"500", Fault::Http500},        {"delay", Fault::Delay},
        {"reset", Fault::ResetMidBody}, {"endless", Fault::EndlessBody},
        {"garbage", Fault::Garbage},    {"nomarkers", Fault::MissingMarkers},
    };
    for (const auto& [text, fault] : kNames) {
        if (text == name) {
            return fault;
        }
    }
    return std::nullopt;
}

const char* FaultName(Fault fault) {
    switch (fault) {
        case Fault::None:
            return "none";
        case Fault::EmptyBody:
            return "empty";
        case Fault::Http500:
            return "500";
        case Fault::Delay:
            return "delay";
        case Fault::ResetMidBody:
            return "reset";
        case Fault::EndlessBody:
            return "endless";
        case Fault::Garbage:
            return "garbage";
        case Fault::MissingMarkers:
            return "nomarkers";
    }
    return "none";
}

QuoteServer::QuoteServer(ServerOptions options)
    : options_(std::move(options)),
      model_(options_.seed, options_.today == Date{} ? LocalToday() : options_.today) {}

QuoteServer::~QuoteServer() {
    Stop();
}

bool QuoteServer::Start(int port, const std::string& certFile, const std::string& keyFile) {
    Stop();
    stopping_ = false;
    if (!certFile.empty()) {
        auto tls = std::make_unique<httplib::SSLServer>(certFile.c_str(), keyFile.c_str());
        if (!tls->is_valid()) {
            return false;
        }
        server_ = std::move(tls);
        tls_ = true;
    } else {
        server_ = std::make_unique<httplib::Server>();
        tls_ = false;
    }
    // Short keep-alive, so that Stop() does not wait for idle connections.
    server_->set_keep_alive_timeout(1);
    server_->Get(
        ".*", [this](const httplib::Request& req, httplib::Response& res) { Handle(&req, &res); });
    if (port == 0) {
        port_ = server_->bind_to_any_port("127.0.0.1");
    } else {
        port_ = server_->bind_to_port("127.0.0.1", port) ? port : -1;
    }
    if (port_ <= 0) {
        server_.reset();
        port_ = 0;
        return false;
    }
    thread_ = std::thread([server = server_.get()] { server->listen_after_bind(); });
    // stop() only ends a server that already runs; a Stop() right after Start() must not hang.
    while (!server_->is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void QuoteServer::Stop() {
    if (!server_) {
        return;
    }
    stopping_ = true;
    wake_.notify_all();
    server_->stop();
    if (thread_.joinable()) {
        thread_.join();
    }
    server_.reset();
}

std::string QuoteServer::BaseUrl() const {
    return std::string(tls_ ? "https" : "http") + "://127.0.0.1:" + std::to_string(port_);
}

void QuoteServer::SetFault(Fault fault, FaultTarget target, int count) {
    std::lock_guard lock(mutex_);
    options_.fault = fault;
    options_.faultTarget = target;
    options_.faultCount = count;
    faultsUsed_ = 0;
}

void QuoteServer::SetQuoteTime(std::string quoteTime) {
    std::lock_guard lock(mutex_);
    options_.quoteTime = std::move(quoteTime);
}

void QuoteServer::SetHyphenKeys(std::vector<std::string> keys) {
    std::lock_guard lock(mutex_);
    options_.hyphenKeys = std::move(keys);
}

void QuoteServer::AddFile(const std::string& path, std::string body, std::string contentType) {
    std::lock_guard lock(mutex_);
    files_[path] = {std::move(body), std::move(contentType)};
}

void QuoteServer::AddRedirect(const std::string& path, std::string location, int status) {
    std::lock_guard lock(mutex_);
    redirects_[path] = {std::move(location), status};
}

std::vector<ReceivedRequest> QuoteServer::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> QuoteServer::RequestTargets() const {
    std::vector<std::string> out;
    for (const auto& r : Requests()) {
        out.push_back(r.target);
    }
    return out;
}

void QuoteServer::ClearRequests() {
    std::lock_guard lock(mutex_);
    requests_.clear();
}

bool QuoteServer::TakeFault(bool isIndex, Fault& fault) {
    fault = options_.fault;
    if (fault == Fault::None) {
        return false;
    }
    const bool applies = options_.faultTarget == FaultTarget::Both ||
                         (isIndex ? options_.faultTarget == FaultTarget::Index
                                  : options_.faultTarget == FaultTarget::Option);
    if (!applies || (options_.faultCount >= 0 && faultsUsed_ >= options_.faultCount)) {
        return false;
    }
    ++faultsUsed_;
    return true;
}

void QuoteServer::Handle(const void* request, void* response) {
    const auto& req = *static_cast<const httplib::Request*>(request);
    auto& res = *static_cast<httplib::Response*>(response);

    std::unique_lock lock(mutex_);
    requests_.push_back(
        {req.target, req.get_header_value("User-Agent"), req.get_header_value("Cache-Control")});

    if (const auto r = redirects_.find(req.path); r != redirects_.end()) {
        res.status = r->second.second;
        res.set_header("Location", r->second.first);
        return;
    }
    if (const auto f = files_.find(req.path); f != files_.end()) {
        res.set_content(f->second.first, f->second.second.c_str());
        return;
    }

    const bool isIndex = req.path == "/index.php";
    const bool isOption = req.path == "/dft/koersen/opties/";
    if (!isIndex && !isOption) {
        res.status = 404;
        res.set_content("Niet gevonden", "text/plain");
        return;
    }
    const auto query = req.target.find('?');
    const std::string page =
        isIndex ? model_.IndexPage(options_.quoteTime)
                : model_.OptionPage(
                      ParseOptionQuery(query == std::string::npos
                                           ? std::string_view()
                                           : std::string_view(req.target).substr(query + 1)),
                      options_.hyphenKeys);
    Fault fault = Fault::None;
    if (!TakeFault(isIndex, fault)) {
        fault = Fault::None;
    }
    const uint32_t seed = options_.seed;
    const int delayMs = options_.delayMs;

    switch (fault) {
        case Fault::None:
            res.set_content(page, "text/html");
            return;
        case Fault::EmptyBody:
            res.set_content("", "text/html");
            return;
        case Fault::Http500:
            res.status = 500;
            res.set_content("<html><body>Internal Server Error</body></html>", "text/html");
            return;
        case Fault::Garbage:
            res.set_content(GarbageBytes(seed, 64 * 1024), "text/html");
            return;
        case Fault::MissingMarkers:
            res.set_content(
                "<html><body><p>Deze pagina is tijdelijk niet beschikbaar. Probeer het later "
                "opnieuw.</p></body></html>",
                "text/html");
            return;
        case Fault::Delay:
            wake_.wait_for(lock, std::chrono::milliseconds(delayMs),
                           [this] { return stopping_.load(); });
            res.set_content(page, "text/html");
            return;
        case Fault::ResetMidBody: {
            lock.unlock();
            auto body = std::make_shared<std::string>(page);
            res.set_content_provider(body->size(), "text/html",
                                     [body](size_t offset, size_t, httplib::DataSink& sink) {
                                         if (offset >= body->size() / 2) {
                                             return false;  // drops the connection
                                         }
                                         sink.write(body->data(), body->size() / 2);
                                         return true;
                                     });
            return;
        }
        case Fault::EndlessBody: {
            lock.unlock();
            auto block = std::make_shared<std::string>(GarbageBytes(seed, 64 * 1024));
            // Not a text type, or the server would compress it: compressing random bytes costs
            // far more than sending them, and the test is about the client's bound.
            res.set_chunked_content_provider(
                "application/octet-stream", [this, block](size_t, httplib::DataSink& sink) {
                    return !stopping_ && sink.write(block->data(), block->size());
                });
            return;
        }
    }
}

}  // namespace rendaal::quotesim
