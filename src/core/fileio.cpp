#include "core/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <string>
#include <system_error>

namespace rendaal {
namespace {

FaultHook& Hook() {
    static FaultHook hook;
    return hook;
}

bool Fails(FileOp op, std::string_view path) {
    if (Hook() && Hook()(op, path)) {
        errno = EIO;
        return true;
    }
    return false;
}

bool WriteAll(int fd, std::string_view data, std::string_view path) {
    while (!data.empty()) {
        if (Fails(FileOp::Write, path)) {
            return false;
        }
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool CloseChecked(int fd, std::string_view path) {
    const bool injected = Fails(FileOp::Close, path);
    const bool ok = ::close(fd) == 0;
    return ok && !injected;
}

std::string FolderOf(const std::string& path) {
    const auto p = path.rfind('/');
    if (p == std::string::npos) {
        return ".";
    }
    return p == 0 ? "/" : path.substr(0, p);
}

}  // namespace

void SetFaultHook(FaultHook hook) {
    Hook() = std::move(hook);
}

std::optional<std::string> ReadFile(const std::string& path, size_t maxBytes) {
    if (Fails(FileOp::Open, path)) {
        return std::nullopt;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return std::nullopt;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    std::string data;
    char buf[65536];
    for (;;) {
        if (Fails(FileOp::Read, path)) {
            ::close(fd);
            return std::nullopt;
        }
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        if (data.size() + static_cast<size_t>(n) > maxBytes) {
            ::close(fd);
            return std::nullopt;
        }
        data.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return data;
}

bool WriteFileAtomic(const std::string& path, std::string_view data) {
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    if (Fails(FileOp::Open, tmp)) {
        return false;
    }
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, data, tmp);
    ok = ok && !Fails(FileOp::Fsync, tmp) && ::fsync(fd) == 0;
    ok = CloseChecked(fd, tmp) && ok;
    ok = ok && !Fails(FileOp::Rename, path) && ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        const int saved = errno;
        ::unlink(tmp.c_str());
        errno = saved;
        return false;
    }
    // The rename is only durable once the folder entry is on disk.
    const int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

bool AppendFile(const std::string& path, std::string_view data) {
    if (Fails(FileOp::Open, path)) {
        return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = WriteAll(fd, data, path);
    ok = ok && !Fails(FileOp::Fsync, path) && ::fsync(fd) == 0;
    return CloseChecked(fd, path) && ok;
}

int RemoveStaleTemporaryFiles(const std::string& folder) {
    int removed = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const auto mark = name.rfind(".tmp");
        if (mark == std::string::npos || mark == 0 || mark + 4 == name.size() ||
            name.size() - mark > 4 + 9) {
            continue;
        }
        const std::string digits = name.substr(mark + 4);
        if (digits.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const pid_t pid = static_cast<pid_t>(std::stol(digits));
        if (pid == ::getpid() || pid <= 0 || ::kill(pid, 0) == 0 || errno != ESRCH) {
            continue;
        }
        if (it->is_regular_file(ec) && ::unlink(it->path().c_str()) == 0) {
            ++removed;
        }
    }
    return removed;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool RemoveFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0;
}

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.emplace_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        lines.emplace_back(text.substr(start));
    }
    return lines;
}

}  // namespace rendaal
