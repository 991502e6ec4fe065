#include "platform/process.h"

#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <set>
#include <thread>

namespace rendaal {

namespace {

std::string TrimBlanks(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos) {
        return {};
    }
    const size_t e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

bool Alive(pid_t pid) {
    if (kill(pid, 0) == 0) {
        return !ProcessExecutable(pid).empty();  // a zombie has no executable any more
    }
    return errno == EPERM;
}

}  // namespace

std::string ProcessExecutable(pid_t pid, const std::string& procRoot) {
    const std::string link = procRoot + "/" + std::to_string(pid) + "/exe";
    std::string buf(4096, '\0');
    const ssize_t n = readlink(link.c_str(), buf.data(), buf.size());
    if (n <= 0 || static_cast<size_t>(n) >= buf.size()) {
        return {};
    }
    buf.resize(static_cast<size_t>(n));
    static constexpr std::string_view kDeleted = " (deleted)";
    if (buf.size() > kDeleted.size() && buf.ends_with(kDeleted)) {
        buf.resize(buf.size() - kDeleted.size());
    }
    return buf;
}

namespace {

std::optional<pid_t> FindExcept(const std::string& path, const std::string& procRoot,
                                const std::set<pid_t>& except) {
    const std::string wanted = TrimBlanks(path);
    if (wanted.empty()) {
        return std::nullopt;
    }
    DIR* dir = opendir(procRoot.c_str());
    if (!dir) {
        return std::nullopt;
    }
    std::optional<pid_t> found;
    const pid_t self = getpid();
    while (dirent* e = readdir(dir)) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (end == e->d_name || *end != '\0' || pid <= 0 || pid == self ||
            except.count(static_cast<pid_t>(pid))) {
            continue;
        }
        if (ProcessExecutable(static_cast<pid_t>(pid), procRoot) == wanted) {
            found = static_cast<pid_t>(pid);
            break;
        }
    }
    closedir(dir);
    return found;
}

}  // namespace

std::optional<pid_t> FindProcessByPath(const std::string& path, const std::string& procRoot) {
    return FindExcept(path, procRoot, {});
}

EndResult EndProcesses(const std::string& path, const std::function<void()>& idle, int tries,
                       int pollMs) {
    EndResult result;
    std::set<pid_t> given_up;
    for (;;) {
        const std::optional<pid_t> pid = FindExcept(path, "/proc", given_up);
        if (!pid) {
            break;
        }
        kill(*pid, SIGTERM);
        bool gone = false;
        for (int i = 0; i < tries && !gone; ++i) {
            if (idle) {
                idle();
            }
            gone = !Alive(*pid);
            if (!gone) {
                std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
            }
        }
        if (gone) {
            ++result.ended;
        } else {
            ++result.stubborn;
            given_up.insert(*pid);
            if (given_up.size() > 16) {
                break;
            }
        }
    }
    return result;
}

}  // namespace rendaal
