#pragma once

#include <string>

namespace rendaal {

// Keeps the program and its companion from downloading at the same time. The lock is an flock
// on a file in the data folder: the system drops it when its process ends, so a lock left by a
// crashed process is simply taken over.
class RunLock final {
public:
    explicit RunLock(std::string dataFolder);
    ~RunLock();
    RunLock(const RunLock&) = delete;
    RunLock& operator=(const RunLock&) = delete;

    // False when another holder has it (another process, or another RunLock of this process).
    bool TryAcquire();
    void Release();
    bool Held() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    int fd_ = -1;
};

inline constexpr const char* kRunLockName = "Download.lock";

}  // namespace rendaal
