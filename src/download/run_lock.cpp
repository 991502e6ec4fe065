#include "download/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "core/fileio.h"

namespace rendaal {

namespace {

// A folder of this user's own that is no symlink; made (private) when missing.
bool OwnFolder(const std::string& path) {
    ::mkdir(path.c_str(), 0700);
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string LockFolder() {
    // The runtime folders are the system's and only used when there; a cache folder is made.
    std::vector<std::pair<std::string, bool>> bases;
    const auto add = [&](const char* value, const char* tail, bool make) {
        if (value != nullptr && value[0] == '/') {
            std::string base = value;
            while (base.ends_with('/')) {
                base.pop_back();
            }
            bases.emplace_back(base + tail, make);
        }
    };
    add(std::getenv("XDG_RUNTIME_DIR"), "/", false);
    add(("/run/user/" + std::to_string(::geteuid())).c_str(), "/", false);
    add(std::getenv("XDG_CACHE_HOME"), "/", true);
    add(std::getenv("HOME"), "/.cache/", true);
    for (const auto& [base, make] : bases) {
        if (make) {
            ::mkdir(base.c_str(), 0700);
        }
        struct stat st {};
        if (::stat(base.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
            OwnFolder(base + "Rendaal")) {
            return base + "Rendaal/";
        }
    }
    return {};
}

// FNV-1a: a stable key, the same in the window and the companion.
std::string FolderKey(const std::string& folder) {
    std::error_code ec;
    std::string real = std::filesystem::weakly_canonical(folder, ec).string();
    if (ec || real.empty()) {
        real = folder;
    }
    while (real.size() > 1 && real.back() == '/') {
        real.pop_back();
    }
    uint64_t hash = 14695981039346656037ull;
    for (const unsigned char c : real) {
        hash = (hash ^ c) * 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace

std::string RunLockPath(const std::string& dataFolder) {
    const std::string folder = LockFolder();
    if (folder.empty()) {
        return dataFolder + kRunLockName;
    }
    return folder + "Download-" + FolderKey(dataFolder) + ".lock";
}

RunLock::RunLock(std::string dataFolder)
    : folder_(std::move(dataFolder)), path_(RunLockPath(folder_)) {}

RunLock::~RunLock() {
    Release();
}

LockAttempt RunLock::Acquire() {
    LockAttempt attempt;
    if (fd_ >= 0) {
        attempt.taken = true;
        return attempt;
    }
    // A folder that is gone cannot be downloaded into, wherever its lock is.
    struct stat folder {};
    if (::stat(folder_.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
        attempt.error = FileErrorText(path_, "vergrendeld", ENOENT);
        return attempt;
    }
    const int fd =
        ::open(path_.c_str(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        attempt.error = FileErrorText(path_, "vergrendeld", errno);
        return attempt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        attempt.error = NotRegularFileError(path_);
        return attempt;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        attempt.busy = error == EWOULDBLOCK;
        if (!attempt.busy) {
            attempt.error = FileErrorText(path_, "vergrendeld", error);
        }
        return attempt;
    }
    // The holder's pid, for a person wondering who holds it; the lock itself is the flock.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const auto n = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    fd_ = fd;
    attempt.taken = true;
    return attempt;
}

void RunLock::Release() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
        fd_ = -1;
    }
}

std::optional<RunResult> HoldDataFolder(RunLock& lock, DownloadState& state,
                                        const RunEnvironment& env) {
    RunResult refused;
    refused.outcome = RunOutcome::Error;
    struct stat st {};
    if (::stat(env.dataFolder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        refused.reason = std::string(kFolderMissingReason);
        refused.error = "De datamap " + env.dataFolder + " ontbreekt.";
    } else if (const LockAttempt attempt = lock.Acquire(); attempt.taken) {
        return std::nullopt;
    } else if (attempt.busy) {
        refused.outcome = RunOutcome::Busy;
    } else {
        refused.reason = std::string(kLockFailedReason);
        refused.error = attempt.error;
    }
    ShowRunStatus(state, env, refused);
    return refused;
}

RunResult RunDownloadLocked(DownloadState& state, const RunEnvironment& env) {
    RunLock lock(env.dataFolder);
    if (auto refused = HoldDataFolder(lock, state, env)) {
        return *refused;
    }
    return RunDownload(state, env);
}

}  // namespace rendaal
