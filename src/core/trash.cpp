#include "core/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

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
    for (int n = 1; n < 1000; ++n) {
        const std::string name = n == 1 ? base : base + "." + std::to_string(n);
        std::string infoPath = info;
        infoPath += '/';
        infoPath += name;
        infoPath += ".trashinfo";
        const int fd =
            ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) {
                continue;
            }
            return Fail(error, FileErrorText(infoPath, "geschreven", errno));
        }
        const bool written =
            ::write(fd, record.data(), record.size()) == static_cast<ssize_t>(record.size());
        const bool closed = ::close(fd) == 0;
        std::string target = files;
        target += '/';
        target += name;
        struct stat taken {};
        if (written && closed && ::lstat(target.c_str(), &taken) != 0 &&
            ::rename(absolute.c_str(), target.c_str()) == 0) {
            return true;
        }
        const int saved = errno;
        ::unlink(infoPath.c_str());
        if (written && closed && ::lstat(target.c_str(), &taken) == 0) {
            continue;  // a file of that name without its info; take the next name
        }
        return Fail(error, FileErrorText(path, "verplaatst", saved));
    }
    return Fail(error, path + ": te veel bestanden van die naam in de prullenbak");
}

}  // namespace rendaal
