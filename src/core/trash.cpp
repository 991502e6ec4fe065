#include "core/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>

#include "core/fileio.h"

namespace rendaal {
namespace {

bool Fail(std::string* error, std::string why) {
    if (error) {
        *error = std::move(why);
    }
    return false;
}

// A folder of the trash, made with the mode the trash wants when missing; never a symlink.
bool EnsureFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) {
        return true;
    }
    struct stat st {};
    return errno == EEXIST && ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The Path key holds the original location URL-escaped.
std::string EscapedPath(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '-' || c == '_' || c == '.' ||
                           c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string DeletionDate(const DateTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year % 10000, t.month % 100,
                  t.day % 100, t.hour % 100, t.minute % 100, t.second % 100);
    return text;
}

// Trash readers ignore keys they do not know; this one marks the entries this program wrote, and
// by which process.
constexpr std::string_view kOwnerKey = "X-Rendaal-Pid=";

std::optional<long> OwnerPid(std::string_view record) {
    if (!record.starts_with("[Trash Info]\n")) {
        return std::nullopt;
    }
    const auto at = record.find("\n" + std::string(kOwnerKey));
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view digits = record.substr(at + 1 + kOwnerKey.size());
    digits = digits.substr(0, digits.find('\n'));
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    return std::stol(std::string(digits));
}

bool WriteSynced(int fd, std::string_view data) {
    const bool ok = ::write(fd, data.data(), data.size()) == static_cast<ssize_t>(data.size()) &&
                    ::fsync(fd) == 0;
    if (!ok && errno == 0) {
        errno = EIO;
    }
    return ok;
}

// The info file appears whole or not at all, and is on disk before the move: an empty one left
// by a kill could not be told from another program's. It is written unnamed and linked in under
// its name, which fails when the name is taken; where the file system cannot do that, it is made
// exclusively and then written. 0, or the errno.
int CreateInfo(const std::string& folder, const std::string& infoPath, std::string_view record) {
    errno = 0;
    if (const int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600); fd >= 0) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        const bool linked =
            WriteSynced(fd, record) &&
            ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, infoPath.c_str(), AT_SYMLINK_FOLLOW) == 0;
        const int saved = errno;
        ::close(fd);
        if (linked || saved == EEXIST) {
            return linked ? 0 : EEXIST;
        }
    }
    const int fd =
        ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        return errno;
    }
    const bool written = WriteSynced(fd, record);
    int saved = errno;
    if (::close(fd) != 0 && written) {
        saved = errno;
    } else if (written) {
        return 0;
    }
    ::unlink(infoPath.c_str());
    return saved != 0 ? saved : EIO;
}

void SyncFolder(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

std::string HomeTrashFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') {
        return std::string(dataHome) + "/Trash/";
    }
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') {
        return std::string(home) + "/.local/share/Trash/";
    }
    return {};
}

bool MoveToTrash(const std::string& path, const std::string& trashFolder, const DateTime& now,
                 std::string* error) {
    std::error_code ec;
    const std::string absolute = std::filesystem::absolute(path, ec).lexically_normal().string();
    const auto slash = absolute.rfind('/');
    if (ec || trashFolder.empty() || slash == std::string::npos || slash + 1 == absolute.size()) {
        return Fail(error, path + ": geen prullenbak");
    }
    struct stat file {};
    if (::lstat(absolute.c_str(), &file) != 0) {
        return Fail(error, FileErrorText(path, "verplaatst", errno));
    }
    if (!S_ISREG(file.st_mode) && !S_ISLNK(file.st_mode) && !S_ISDIR(file.st_mode)) {
        return Fail(error, NotRegularFileError(path));
    }
    const std::string files = trashFolder + "files";
    const std::string info = trashFolder + "info";
    // The parent of the home trash is made as well; it is the user's own data folder.
    std::filesystem::create_directories(trashFolder, ec);
    if (!EnsureFolder(trashFolder) || !EnsureFolder(files) || !EnsureFolder(info)) {
        return Fail(error, trashFolder + ": prullenbak kan niet worden gemaakt");
    }
    struct stat trash {};
    if (::stat(files.c_str(), &trash) != 0 || trash.st_dev != file.st_dev) {
        // Moving across file systems would be a copy; a trash of that other disk is not ours to
        // make.
        return Fail(error, path + ": prullenbak op een ander bestandssysteem");
    }
    // The info file is made first and exclusively: it reserves the name.
    const std::string base = absolute.substr(slash + 1);
    std::string record = "[Trash Info]\nPath=";
    record += EscapedPath(absolute);
    record += "\nDeletionDate=";
    record += DeletionDate(now);
    record += '\n';
    record += kOwnerKey;
    record += std::to_string(::getpid());
    record += '\n';
    for (int n = 1; n < 1000; ++n) {
        const std::string name = n == 1 ? base : base + "." + std::to_string(n);
        std::string infoPath = info;
        infoPath += '/';
        infoPath += name;
        infoPath += ".trashinfo";
        if (const int failed = CreateInfo(info, infoPath, record); failed != 0) {
            if (failed == EEXIST) {
                continue;
            }
            return Fail(error, FileErrorText(infoPath, "geschreven", failed));
        }
        SyncFolder(info);
        std::string target = files;
        target += '/';
        target += name;
        struct stat taken {};
        if (::lstat(target.c_str(), &taken) != 0 &&
            ::rename(absolute.c_str(), target.c_str()) == 0) {
            SyncFolder(files);
            SyncFolder(absolute.substr(0, std::max<size_t>(slash, 1)));
            return true;
        }
        const int saved = errno;
        ::unlink(infoPath.c_str());
        if (::lstat(target.c_str(), &taken) == 0) {
            continue;  // a file of that name without its info; take the next name
        }
        return Fail(error, FileErrorText(path, "verplaatst", saved));
    }
    return Fail(error, path + ": te veel bestanden van die naam in de prullenbak");
}

int RemoveOrphanTrashInfo(const std::string& trashFolder) {
    if (trashFolder.empty()) {
        return 0;
    }
    const std::string info = trashFolder + "info/";
    const std::string files = trashFolder + "files/";
    constexpr std::string_view kSuffix = ".trashinfo";
    int removed = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(info, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= kSuffix.size() || !name.ends_with(kSuffix)) {
            continue;
        }
        const std::string path = info + name;
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > 4096) {
            continue;
        }
        const auto owner = OwnerPid(ReadFile(path, 4096).value_or(std::string()));
        // Only once the mover has ended can its rename no longer come.
        if (!owner || !ProcessEnded(*owner)) {
            continue;
        }
        const std::string file = files + name.substr(0, name.size() - kSuffix.size());
        struct stat arrived {};
        if (::lstat(file.c_str(), &arrived) != 0 && errno == ENOENT &&
            ::unlink(path.c_str()) == 0) {
            ++removed;
        }
    }
    return removed;
}

}  // namespace rendaal
