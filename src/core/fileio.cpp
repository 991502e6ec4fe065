#include "core/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
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

std::string KindError(const std::string& path, mode_t mode) {
    if (S_ISDIR(mode)) {
        return path + " is een map, geen bestand";
    }
    if (S_ISFIFO(mode)) {
        return path + " is een FIFO (named pipe), geen gewoon bestand";
    }
    if (S_ISSOCK(mode)) {
        return path + " is een socket, geen gewoon bestand";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return path + " is een apparaat, geen gewoon bestand";
    }
    return S_ISREG(mode) ? std::string() : path + " is geen gewoon bestand";
}

std::string TooLargeError(const std::string& path, size_t maxBytes) {
    return path + " is groter dan " + std::to_string(maxBytes) + " bytes";
}

// The file a write to path must replace: path itself, or the end of its chain of symlinks, so
// that replacing it keeps the link. nullopt (with error set) for a loop or an unreadable link.
std::optional<std::string> FinalTarget(const std::string& path, int& error) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            return current;
        }
        std::string link(static_cast<size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(current.c_str(), link.data(), link.size());
        if (n < 0 || static_cast<size_t>(n) >= link.size()) {
            error = n < 0 ? errno : ENAMETOOLONG;
            return std::nullopt;
        }
        link.resize(static_cast<size_t>(n));
        if (link.empty()) {
            error = ENOENT;
            return std::nullopt;
        }
        if (link[0] == '/') {
            current = std::move(link);
        } else {
            current = FolderOf(current);
            current += '/';
            current += link;
        }
    }
    error = ELOOP;
    return std::nullopt;
}

}  // namespace

void SetFaultHook(FaultHook hook) {
    Hook() = std::move(hook);
}

std::string ErrnoText(int error) {
    switch (error) {
        case ENOENT:
            return "bestaat niet";
        case EACCES:
        case EPERM:
            return "geen toegang";
        case EROFS:
            return "alleen-lezen bestandssysteem";
        case ENOSPC:
            return "schijf vol";
        case EDQUOT:
            return "schijfquotum bereikt";
        case EFBIG:
            return "bestand te groot";
        case EISDIR:
            return "is een map";
        case ENOTDIR:
            return "een deel van het pad is geen map";
        case ELOOP:
            return "te veel symbolische koppelingen";
        case ENAMETOOLONG:
            return "naam te lang";
        case EIO:
            return "invoer/uitvoerfout";
        case ENXIO:
            return "geen gewoon bestand";
        default:
            return std::strerror(error);
    }
}

std::string FileErrorText(const std::string& path, std::string_view action, int error) {
    return path + " kan niet worden " + std::string(action) + ": " + ErrnoText(error);
}

std::string NotRegularFileError(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return errno == ENOENT ? std::string() : FileErrorText(path, "gelezen", errno);
    }
    return KindError(path, st.st_mode);
}

namespace {

// The file into data, whose memory is reused; result.text is left empty.
FileRead ReadInto(const std::string& path, size_t maxBytes, std::string& data) {
    FileRead result;
    const auto fail = [&](int error) {
        result.error = FileErrorText(path, "gelezen", error);
        return result;
    };
    if (Fails(FileOp::Open, path)) {
        return fail(EIO);
    }
    // Checked before opening as well: opening some devices has effects of its own.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        result.missing = errno == ENOENT;
        return fail(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        result.error = KindError(path, st.st_mode);
        return result;
    }
    // Without O_NONBLOCK, a FIFO swapped in after the check would hold the open forever.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return fail(errno);
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.error = KindError(path, st.st_mode);
        return result;
    }
    if (static_cast<uint64_t>(st.st_size) > maxBytes) {
        ::close(fd);
        result.error = TooLargeError(path, maxBytes);
        return result;
    }
    // Read straight into the text, sized by the file: a bounce buffer and the string's regrowth
    // each cost a copy of the whole file.
    data.resize(std::min<uint64_t>(static_cast<uint64_t>(st.st_size), maxBytes) + 1);
    size_t used = 0;
    for (;;) {
        if (Fails(FileOp::Read, path)) {
            ::close(fd);
            return fail(EIO);
        }
        if (used == data.size()) {
            data.resize(data.size() + 65536);  // the file grew while read
        }
        const ssize_t n = ::read(fd, data.data() + used, data.size() - used);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const int saved = errno;
            ::close(fd);
            return fail(saved);
        }
        if (n == 0) {
            break;
        }
        used += static_cast<size_t>(n);
        if (used > maxBytes) {
            ::close(fd);
            result.error = TooLargeError(path, maxBytes);
            return result;
        }
    }
    data.resize(used);
    ::close(fd);
    return result;
}

}  // namespace

FileRead ReadFileChecked(const std::string& path, size_t maxBytes) {
    std::string data;
    FileRead result = ReadInto(path, maxBytes, data);
    if (result.error.empty()) {
        result.text = std::move(data);
    }
    return result;
}

bool ReadFileInto(const std::string& path, std::string& buffer, size_t maxBytes) {
    return ReadInto(path, maxBytes, buffer).error.empty();
}

std::optional<std::string> ReadFile(const std::string& path, size_t maxBytes) {
    return ReadFileChecked(path, maxBytes).text;
}

namespace {

// Called before any byte is written, so that nobody can open the text under wider bits: those of
// the file replaced (or a new file's), never beyond modeMask.
void SetBits(int fd, const struct stat* existing, unsigned modeMask) {
    struct stat created {};
    if (existing == nullptr && (modeMask & 07777) == 07777) {
        return;
    }
    const mode_t bits = existing                     ? existing->st_mode
                        : ::fstat(fd, &created) == 0 ? created.st_mode
                                                     : 0;
    ::fchmod(fd, bits & modeMask & 07777);
}

// Replaces target (path itself or the end of its symlinks) by a fresh file holding data.
bool ReplaceAtomic(const std::string& path, const std::optional<std::string>& target, int linkError,
                   std::string_view data, std::string* error, unsigned modeMask = 07777) {
    const auto fail = [&](std::string why, int saved) {
        if (error) {
            *error = std::move(why);
        }
        errno = saved;
        return false;
    };
    if (!target) {
        return fail(FileErrorText(path, "geschreven", linkError), linkError);
    }
    struct stat st {};
    const bool exists = ::lstat(target->c_str(), &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) {
        return fail(KindError(path, st.st_mode), S_ISDIR(st.st_mode) ? EISDIR : ENXIO);
    }
    const std::string tmp = *target + ".tmp" + std::to_string(::getpid());
    if (Fails(FileOp::Open, tmp)) {
        return fail(FileErrorText(path, "geschreven", EIO), EIO);
    }
    // A leftover of an earlier process with our pid goes first, whatever it is; O_EXCL and
    // O_NOFOLLOW then make sure the data lands in a fresh file of our own.
    ::unlink(tmp.c_str());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int saved = errno;
        return fail(FileErrorText(path, "geschreven", saved), saved);
    }
    SetBits(fd, exists ? &st : nullptr, modeMask);
    int err = 0;
    bool ok = WriteAll(fd, data, tmp);
    if (!ok) {
        err = errno;
    }
    if (ok && (Fails(FileOp::Fsync, tmp) || ::fsync(fd) != 0)) {
        ok = false;
        err = errno;
    }
    if (!CloseChecked(fd, tmp) && ok) {
        ok = false;
        err = errno;
    }
    if (ok && (Fails(FileOp::Rename, path) || ::rename(tmp.c_str(), target->c_str()) != 0)) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        return fail(FileErrorText(path, "geschreven", err), err);
    }
    // The rename is only durable once the folder entry is on disk.
    const int dir = ::open(FolderOf(*target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace

bool WriteFileAtomic(const std::string& path, std::string_view data, std::string* error,
                     unsigned modeMask) {
    int linkError = 0;
    const auto target = FinalTarget(path, linkError);
    return ReplaceAtomic(path, target, linkError, data, error, modeMask);
}

bool WriteOwnFileAtomic(const std::string& path, std::string_view data, std::string* error) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (error) {
            *error = path + " is een symbolische koppeling; daardoor wordt niet geschreven";
        }
        errno = ELOOP;
        return false;
    }
    // A link swapped in after the check is replaced by the rename, not followed.
    return ReplaceAtomic(path, path, 0, data, error);
}

bool WriteUserFileAtomic(const std::string& path, std::string_view data, std::string* error) {
    int linkError = 0;
    const auto target = FinalTarget(path, linkError);
    if (target) {
        if (std::string kind = NotRegularFileError(*target); !kind.empty()) {
            if (error) {
                *error = std::move(kind);
            }
            errno = ENXIO;
            return false;
        }
        // The kernel judges the path as the user's shell would open it; our own resolution of
        // the links below must not be more permissive than that.
        struct stat before {};
        const bool existed = ::lstat(target->c_str(), &before) == 0;
        // O_CREAT as a shell's ">" has it: fs.protected_regular only judges opens that may create.
        const int fd =
            ::open(path.c_str(), O_WRONLY | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
        if (fd < 0) {
            const int saved = errno;
            if (error) {
                *error = FileErrorText(path, "geschreven", saved);
            }
            errno = saved;
            return false;
        }
        struct stat opened {};
        struct stat now {};
        const bool same = ::fstat(fd, &opened) == 0 && ::lstat(target->c_str(), &now) == 0 &&
                          opened.st_dev == now.st_dev && opened.st_ino == now.st_ino;
        ::close(fd);
        if (!same) {
            if (error) {
                *error = path + " is tijdens het schrijven vervangen";
            }
            errno = EAGAIN;
            return false;
        }
        if (!ReplaceAtomic(path, target, linkError, data, error)) {
            const int saved = errno;
            if (!existed) {
                ::unlink(target->c_str());  // the empty file the check made
            }
            errno = saved;
            return false;
        }
        return true;
    }
    return ReplaceAtomic(path, target, linkError, data, error);
}

bool AppendFile(const std::string& path, std::string_view data, std::string* error) {
    const auto fail = [&](std::string why, int saved) {
        if (error) {
            *error = std::move(why);
        }
        errno = saved;
        return false;
    };
    if (Fails(FileOp::Open, path)) {
        return fail(FileErrorText(path, "geschreven", EIO), EIO);
    }
    // O_NONBLOCK: a FIFO without a reader fails at once instead of waiting for one.
    const int fd = ::open(path.c_str(),
                          O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        const int saved = errno;
        return fail(
            saved == ENXIO ? NotRegularFileError(path) : FileErrorText(path, "geschreven", saved),
            saved);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(KindError(path, st.st_mode), S_ISDIR(st.st_mode) ? EISDIR : ENXIO);
    }
    int err = 0;
    bool ok = WriteAll(fd, data, path);
    if (!ok) {
        err = errno;
    }
    if (ok && (Fails(FileOp::Fsync, path) || ::fsync(fd) != 0)) {
        ok = false;
        err = errno;
    }
    if (!CloseChecked(fd, path) && ok) {
        ok = false;
        err = errno;
    }
    return ok || fail(FileErrorText(path, "geschreven", err), err);
}

std::optional<TemporaryName> SplitTemporaryName(std::string_view fileName) {
    const auto mark = fileName.rfind(".tmp");
    if (mark == std::string_view::npos || mark == 0 || mark + 4 == fileName.size() ||
        fileName.size() - mark > 4 + 9) {
        return std::nullopt;
    }
    const std::string_view digits = fileName.substr(mark + 4);
    if (digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    return TemporaryName{std::string(fileName.substr(0, mark)), std::stol(std::string(digits))};
}

bool ProcessEnded(long pid) {
    if (pid <= 0 || pid == ::getpid()) {
        return false;
    }
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

namespace {

int RemoveStaleTemporariesIn(const std::string& folder,
                             const std::function<bool(std::string_view name)>& mayGo) {
    int removed = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const auto tmp = SplitTemporaryName(it->path().filename().string());
        if (!tmp || !mayGo(tmp->name) || !ProcessEnded(tmp->pid)) {
            continue;
        }
        std::error_code typeError;
        if (it->symlink_status(typeError).type() == std::filesystem::file_type::regular &&
            ::unlink(it->path().c_str()) == 0) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace

int RemoveStaleTemporaryFiles(const std::string& folder,
                              const std::function<bool(std::string_view name)>& isOwn) {
    if (!isOwn) {
        return 0;
    }
    // A symlinked file is replaced at its target, so its writer's temporary lies there.
    std::map<std::string, std::set<std::string>> targets;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::error_code typeError;
        if (!isOwn(it->path().filename().string()) || !it->is_symlink(typeError)) {
            continue;
        }
        int error = 0;
        if (const auto target = FinalTarget(it->path().string(), error)) {
            targets[FolderOf(*target)].insert(std::filesystem::path(*target).filename().string());
        }
    }
    int removed = RemoveStaleTemporariesIn(folder, isOwn);
    for (const auto& target : targets) {
        const std::set<std::string>& names = target.second;
        removed += RemoveStaleTemporariesIn(target.first, [&names](std::string_view name) {
            return names.contains(std::string(name));
        });
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
