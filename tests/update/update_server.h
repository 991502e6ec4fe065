#pragma once

// A loopback HTTP/HTTPS server for the update tests: serves versions.dat and an installer in the
// ways a real site can fail. The HTTPS certificate is made at test time and trusted only by the
// test that passes its file to the update window.
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace rendaal::test {

// Writes a self-signed certificate and its key as PEM files; altNames are the names it is good
// for.
inline bool MakeTestCertificate(const std::string& certPath, const std::string& keyPath,
                                const char* altNames = "IP:127.0.0.1,DNS:localhost") {
    EVP_PKEY* key = EVP_RSA_gen(2048);
    X509* cert = X509_new();
    if (!key || !cert) {
        return false;
    }
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 3600 * 24);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    for (const auto& [nid, value] : {std::pair{NID_subject_alt_name, altNames},
                                     std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
        X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
        X509_add_ext(cert, ext, -1);
        X509_EXTENSION_free(ext);
    }
    X509_sign(cert, key, EVP_sha256());
    bool ok = false;
    if (FILE* f = std::fopen(certPath.c_str(), "w")) {
        ok = PEM_write_X509(f, cert) == 1;
        std::fclose(f);
    }
    if (FILE* f = std::fopen(keyPath.c_str(), "w")) {
        ok = ok && PEM_write_PrivateKey(f, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
        std::fclose(f);
    }
    X509_free(cert);
    EVP_PKEY_free(key);
    return ok;
}

enum class BodyMode {
    Whole,      // the body with its length
    Chunked,    // the body in 2048-byte chunks, no length announced
    ResetHalf,  // announces the length, sends half, drops the connection
    Endless,    // sends until the client stops (at most 64 MiB)
    Stall,      // sends 4096 bytes, then nothing (for at most 5 s)
};

enum class Certificate {
    None,       // plain http
    Good,       // for 127.0.0.1
    WrongHost,  // for another host name
    Other,      // for 127.0.0.1 too, but another key: not trusted along with Good
};

// Key generation is slow under the sanitizers: each kind is made once per test program.
inline void WriteTestCertificate(Certificate kind, const std::string& certPath,
                                 const std::string& keyPath) {
    static std::mutex mutex;
    static std::map<Certificate, std::pair<std::string, std::string>> made;
    std::lock_guard lock(mutex);
    auto it = made.find(kind);
    if (it == made.end()) {
        const std::string cert = certPath + ".new";
        const std::string key = keyPath + ".new";
        MakeTestCertificate(cert, key,
                            kind == Certificate::WrongHost ? "DNS:rendaal.example.org"
                                                           : "IP:127.0.0.1,DNS:localhost");
        const auto read = [](const std::string& path) {
            std::ifstream in(path, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        it = made.emplace(kind, std::pair{read(cert), read(key)}).first;
        std::remove(cert.c_str());
        std::remove(key.c_str());
    }
    std::ofstream(certPath, std::ios::binary) << it->second.first;
    std::ofstream(keyPath, std::ios::binary) << it->second.second;
}

class UpdateServer final {
public:
    // https: serve over TLS with a certificate written into folder (see caFile()).
    UpdateServer(bool https, const std::string& folder)
        : UpdateServer(https ? Certificate::Good : Certificate::None, folder) {}
    UpdateServer(Certificate certificate, const std::string& folder) {
        if (certificate != Certificate::None) {
            static std::atomic<int> serial{0};
            const std::string stem = folder + "test-" + std::to_string(++serial);
            caFile_ = stem + "-ca.pem";
            const std::string key = stem + "-key.pem";
            WriteTestCertificate(certificate, caFile_, key);
            server_ = std::make_unique<httplib::SSLServer>(caFile_.c_str(), key.c_str());
        } else {
            server_ = std::make_unique<httplib::Server>();
        }
        server_->Get("/versions.dat", [this](const httplib::Request&, httplib::Response& res) {
            ++listRequests;
            std::shared_ptr<const std::string> list;
            BodyMode mode;
            {
                std::lock_guard lock(mutex_);
                if (!listRedirect_.empty()) {
                    res.set_redirect(listRedirect_);
                    return;
                }
                list = list_;
                mode = listMode_;
                res.status = listStatus_;
            }
            Serve(res, list, mode);
        });
        server_->Get(R"(/([^/]+\.exe))", [this](const httplib::Request&, httplib::Response& res) {
            ++installerRequests;
            std::string redirect;
            {
                std::lock_guard lock(mutex_);
                redirect = redirect_;
            }
            if (!redirect.empty()) {
                res.set_redirect(redirect);
                return;
            }
            std::shared_ptr<const std::string> body;
            BodyMode mode;
            {
                std::lock_guard lock(mutex_);
                body = installer_;
                mode = mode_;
            }
            Serve(res, body, mode);
        });
        port_ = server_->bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        while (!server_->is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    ~UpdateServer() {
        stopping_ = true;
        server_->stop();
        thread_.join();
    }

    std::string base() const {
        return std::string(caFile_.empty() ? "http" : "https") +
               "://127.0.0.1:" + std::to_string(port_) + "/";
    }
    const std::string& caFile() const { return caFile_; }
    void SetList(std::string list, BodyMode mode = BodyMode::Whole, int status = 200) {
        std::lock_guard lock(mutex_);
        list_ = std::make_shared<const std::string>(std::move(list));
        listMode_ = mode;
        listStatus_ = status;
    }
    // The list request is sent on to url ("" = served here).
    void SetListRedirect(std::string url) {
        std::lock_guard lock(mutex_);
        listRedirect_ = std::move(url);
    }
    // Installer requests are sent on to url ("" = served here).
    void SetInstallerRedirect(std::string url) {
        std::lock_guard lock(mutex_);
        redirect_ = std::move(url);
    }
    void SetInstaller(std::string body, BodyMode mode) {
        std::lock_guard lock(mutex_);
        installer_ = std::make_shared<const std::string>(std::move(body));
        mode_ = mode;
    }

    std::atomic<int> listRequests{0};
    std::atomic<int> installerRequests{0};

private:
    void Serve(httplib::Response& res, std::shared_ptr<const std::string> body, BodyMode mode) {
        switch (mode) {
            case BodyMode::Whole:
                res.set_content(*body, "application/octet-stream");
                break;
            case BodyMode::Chunked:
                res.set_chunked_content_provider(
                    "application/octet-stream", [body](size_t offset, httplib::DataSink& sink) {
                        if (offset >= body->size()) {
                            sink.done();
                            return true;
                        }
                        const size_t n = std::min<size_t>(2048, body->size() - offset);
                        return sink.write(body->data() + offset, n);
                    });
                break;
            case BodyMode::ResetHalf:
                res.set_content_provider(body->size(), "application/octet-stream",
                                         [body](size_t offset, size_t, httplib::DataSink& sink) {
                                             if (offset >= body->size() / 2) {
                                                 return false;  // drops the connection
                                             }
                                             const size_t n =
                                                 std::min<size_t>(4096, body->size() / 2 - offset);
                                             return sink.write(body->data() + offset, n);
                                         });
                break;
            case BodyMode::Endless:
                res.set_chunked_content_provider("application/octet-stream",
                                                 [](size_t offset, httplib::DataSink& sink) {
                                                     static const std::string block(8192, 'x');
                                                     if (offset > (64u << 20)) {
                                                         sink.done();
                                                         return true;
                                                     }
                                                     return sink.write(block.data(), block.size());
                                                 });
                break;
            case BodyMode::Stall:
                res.set_chunked_content_provider(
                    "application/octet-stream", [this, start = std::chrono::steady_clock::now()](
                                                    size_t offset, httplib::DataSink& sink) {
                        static const std::string block(4096, 'x');
                        if (offset == 0) {
                            return sink.write(block.data(), block.size());
                        }
                        std::this_thread::sleep_for(std::chrono::milliseconds(20));
                        return !stopping_ && sink.is_writable() &&
                               std::chrono::steady_clock::now() - start < std::chrono::seconds(5);
                    });
                break;
        }
    }

    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    std::string caFile_;
    std::mutex mutex_;
    std::shared_ptr<const std::string> list_ = std::make_shared<const std::string>();
    BodyMode listMode_ = BodyMode::Whole;
    int listStatus_ = 200;
    std::string listRedirect_;
    std::string redirect_;
    std::atomic<bool> stopping_{false};
    std::shared_ptr<const std::string> installer_ = std::make_shared<const std::string>();
    BodyMode mode_ = BodyMode::Whole;
};

// An address where nothing listens: a loopback port that was free a moment ago.
inline std::string ClosedPortBase() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
    close(s);
    return "http://127.0.0.1:" + std::to_string(ntohs(addr.sin_port)) + "/";
}

}  // namespace rendaal::test
