#pragma once

// Real servers on 127.0.0.1 for the alert channels: an HTTP server that records each POST as a
// push server takes it, and an SMTP server (python3-aiosmtpd) behind msmtp installed as
// "sendmail" in a folder of its own, for PATH.
#include <httplib.h>
#include <sys/stat.h>

#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/test_support.h"

namespace rendaal::test {

struct Post {
    std::multimap<std::string, std::string> headers;
    std::string body;
    std::string Header(const std::string& name) const {
        const auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
};

// /ok and /big (10 MB answer) record; /status/N answers N; /slow after 30 s; /to-other-host,
// /to-https and /same redirect to /ok.
class PushServer final {
public:
    PushServer() {
        const auto ok = [this](const httplib::Request& req, httplib::Response& res) {
            std::lock_guard lock(mutex_);
            posts_.push_back({{req.headers.begin(), req.headers.end()}, req.body});
            res.set_content(std::string(req.path == "/big" ? size_t{10} << 20 : 2, 'x'),
                            "text/plain");
        };
        server_.Post("/ok", ok);
        server_.Post("/big", ok);
        server_.Post(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.status = std::stoi(req.matches[1]);
        });
        server_.Post("/slow", [this](const httplib::Request&, httplib::Response&) {
            for (int i = 0; i < 300 && !stopping_; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        for (const auto& [path, target] : {std::pair{"/to-other-host", "http://localhost:"},
                                           {"/to-https", "https://127.0.0.1:"},
                                           {"/same", "http://127.0.0.1:"}}) {
            server_.Post(path, [this, to = std::string(target)](const httplib::Request&,
                                                                httplib::Response& res) {
                res.status = 307;
                res.set_header("Location", to + std::to_string(port_) + "/ok");
            });
        }
        port_ = server_.bind_to_any_port("127.0.0.1");
        // Bound and listening already: a request waits in the queue until the thread accepts.
        thread_ = std::thread([this] { server_.listen_after_bind(); });
    }
    ~PushServer() {
        stopping_ = true;
        // A stop before the thread runs would leave it listening for ever.
        for (int i = 0; i < 2000 && !server_.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        server_.stop();
        thread_.join();
    }
    PushServer(const PushServer&) = delete;
    PushServer& operator=(const PushServer&) = delete;

    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    std::vector<Post> Posts() {
        std::lock_guard lock(mutex_);
        return posts_;
    }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::vector<Post> posts_;
};

// A port nothing listens on, as a server that is down.
inline int FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

struct Mail {
    std::string rcptTo;  // the envelope recipients, as the server got them
    std::string text;
};

class MailServer final {
public:
    MailServer() {
        port_ = FreePort();
        const std::string conf = dir_.folder() + "msmtprc";
        WriteAll(conf, "account default\nhost 127.0.0.1\nport " + std::to_string(port_) +
                           "\nfrom rendaal@localhost\nauth off\ntls off\n");
        ::chmod(conf.c_str(), 0600);
        std::filesystem::create_directories(dir_.path() / "bin");
        WriteAll(dir_.path() / "bin/sendmail",
                 "#!/bin/sh\nexec /usr/bin/msmtp -C '" + conf + "' \"$@\"\n");
        ::chmod((dir_.folder() + "bin/sendmail").c_str(), 0755);
        server_.start("/usr/bin/python3",
                      {"-m", "aiosmtpd", "-n", "-l", QString("127.0.0.1:%1").arg(port_), "-c",
                       "aiosmtpd.handlers.Mailbox", QString::fromStdString(dir_.folder() + "mb")});
        for (int i = 0; i < 100 && server_.state() != QProcess::NotRunning && !ready_; ++i) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port_));
            ready_ = probe.waitForConnected(100);
            server_.waitForFinished(ready_ ? 0 : 50);
        }
    }
    ~MailServer() {
        server_.kill();
        server_.waitForFinished(5000);
    }
    MailServer(const MailServer&) = delete;
    MailServer& operator=(const MailServer&) = delete;

    // False when aiosmtpd or msmtp is missing (scripts/deps installs both).
    bool ready() const { return ready_ && QFileInfo::exists("/usr/bin/msmtp"); }
    std::string BinFolder() const { return dir_.folder() + "bin"; }
    // In the order they came: the maildir's names count them after a "Q".
    std::vector<Mail> Mails() const {
        std::vector<Mail> out;
        std::map<long, std::filesystem::path> files;
        for (const auto& e : std::filesystem::directory_iterator(dir_.path() / "mb/new", ignore_)) {
            const std::string name = e.path().filename().string();
            files.emplace(std::atol(name.c_str() + name.find('Q') + 1), e.path());
        }
        for (const auto& [count, path] : files) {
            Mail m{"", ReadAll(path)};
            const size_t at = m.text.find("X-RcptTo: ");
            if (at != std::string::npos) {
                m.rcptTo = m.text.substr(at + 10, m.text.find('\n', at) - at - 10);
            }
            out.push_back(std::move(m));
        }
        return out;
    }

private:
    TempDir dir_;
    QProcess server_;
    int port_ = 0;
    bool ready_ = false;
    mutable std::error_code ignore_;
};

}  // namespace rendaal::test
