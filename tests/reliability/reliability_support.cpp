#include "reliability/reliability_support.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>

extern char** environ;

namespace rendaal::reliability {

bool LongRun() {
    const char* v = std::getenv("RENDAAL_RELIABILITY_LONG");
    return v != nullptr && std::strcmp(v, "") != 0 && std::strcmp(v, "0") != 0;
}

int Rounds(int shortCount, int longCount) {
    return LongRun() ? longCount : shortCount;
}

Child Spawn(const std::string& program, const std::vector<std::string>& args, bool quiet) {
    Child child;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        return child;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        child.pid = pid;
        child.out = fds[0];
    } else {
        ::close(fds[0]);
    }
    ::close(fds[1]);
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

namespace {

std::string& Pending(int fd) {
    static thread_local std::string pending[1024];
    return pending[fd % 1024];
}

}  // namespace

bool ReadLines(Child& child, std::vector<std::string>& lines, size_t until, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string& pending = Pending(child.out);
    while (lines.size() < until) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            return true;
        }
        pollfd p{child.out, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) {
            return true;
        }
        char buf[4096];
        const ssize_t n = ::read(child.out, buf, sizeof buf);
        if (n <= 0) {
            return false;
        }
        pending.append(buf, static_cast<size_t>(n));
        for (size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
            lines.push_back(pending.substr(0, nl));
            pending.erase(0, nl + 1);
        }
    }
    return true;
}

namespace {

int64_t HighWaterKb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::atoll(line.c_str() + 6);
        }
    }
    return 0;
}

}  // namespace

Finished Wait(Child& child) {
    Finished done;
    std::string& pending = Pending(child.out);
    // The child's own high-water mark, sampled until it ends: the rusage figure of a spawned
    // child starts from this (large) test process's peak.
    bool open = true;
    for (;;) {
        done.maxRssKb = std::max(done.maxRssKb, HighWaterKb(child.pid));
        if (open) {
            pollfd p{child.out, POLLIN, 0};
            if (::poll(&p, 1, 5) > 0) {
                char buf[4096];
                const ssize_t n = ::read(child.out, buf, sizeof buf);
                if (n > 0) {
                    pending.append(buf, static_cast<size_t>(n));
                } else {
                    open = false;
                }
            }
        } else {
            ::usleep(5000);
        }
        const pid_t ended = ::waitpid(child.pid, &done.status, WNOHANG);
        if (ended == child.pid) {
            break;
        }
    }
    char buf[4096];
    ssize_t n;
    while (open && (n = ::read(child.out, buf, sizeof buf)) > 0) {
        pending.append(buf, static_cast<size_t>(n));
    }
    done.output = std::move(pending);
    pending.clear();
    ::close(child.out);
    child.pid = -1;
    child.out = -1;
    return done;
}

ShmTmp::ShmTmp() {
    if (::access("/dev/shm", W_OK) != 0) {
        return;
    }
    const char* old = std::getenv("TMPDIR");
    had_ = old != nullptr;
    old_ = old ? old : "";
    ::setenv("TMPDIR", "/dev/shm", 1);
    set_ = true;
}

ShmTmp::~ShmTmp() {
    if (!set_) {
        return;
    }
    if (had_) {
        ::setenv("TMPDIR", old_.c_str(), 1);
    } else {
        ::unsetenv("TMPDIR");
    }
}

std::string BinaryDir() {
    const char* dir = std::getenv("RENDAAL_BINARY_DIR");
    return std::string(dir ? dir : ".") + "/";
}

int64_t PeakRssKb() {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::atoll(line.c_str() + 6);
        }
    }
    return 0;
}

}  // namespace rendaal::reliability
