#include "download/run_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "core/fileio.h"

namespace rendaal {

RunLock::RunLock(std::string dataFolder) : path_(std::move(dataFolder) + kRunLockName) {}

RunLock::~RunLock() {
    Release();
}

LockAttempt RunLock::Acquire() {
    LockAttempt attempt;
    if (fd_ >= 0) {
        attempt.taken = true;
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
