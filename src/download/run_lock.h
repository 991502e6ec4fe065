#pragma once

#include <optional>
#include <string>

#include "download/download_run.h"

namespace rendaal {

struct LockAttempt {
    bool taken = false;
    bool busy = false;  // another holder has it: the one refusal that is no error
    std::string error;  // why it could not be taken otherwise, naming the lock file
};

// Keeps the program and its companion from downloading at the same time. The lock is an flock
// on a file of this machine's own (RunLockPath): the system drops it when its process ends, so a
// lock left by a crashed process is simply taken over.
class RunLock final {
public:
    explicit RunLock(std::string dataFolder);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    LockAttempt Acquire();
    // False when it is not taken, for whatever reason.
    bool TryAcquire() { return Acquire().taken; }
    void Release();
    bool Held() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
    int fd_ = -1;
};

inline constexpr const char* kRunLockName = "Download.lock";

// The lock file of a data folder, outside it: a sync tool shares the data folder between
// machines and replaces a file whose bytes changed, and a process holding the flock on the
// replaced file would no longer keep a second one out. "Download-<key>.lock", keyed by the
// folder's real path, in "Rendaal/" of $XDG_RUNTIME_DIR, else of /run/user/<uid> (where a cron
// job finds the session's), else of $XDG_CACHE_HOME or ~/.cache; only a folder of this user's
// own is used. Where none is, the data folder's kRunLockName.
std::string RunLockPath(const std::string& dataFolder);

// The one road into the data folder for a run of the window or the companion: the folder must
// be there and the lock free. Takes lock and returns nothing when the run may go; otherwise
// shows the status and returns the run's result ("Download al bezig" only when another holder
// has the lock; a missing folder or a lock that cannot be taken is an error with its reason).
std::optional<RunResult> HoldDataFolder(RunLock& lock, DownloadState& state,
                                        const RunEnvironment& env);
// HoldDataFolder, then the whole run; the lock is released at its end.
RunResult RunDownloadLocked(DownloadState& state, const RunEnvironment& env);

}  // namespace rendaal
