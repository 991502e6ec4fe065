#include "core/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "core/fileio.h"

namespace rendaal {
namespace {

bool IsRemovableDevice(dev_t dev) {
    const std::string base =
        "/sys/dev/block/" + std::to_string(major(dev)) + ":" + std::to_string(minor(dev));
    // A partition has no "removable" of its own; its disk, one folder up, has.
    for (const char* rel : {"/removable", "/../removable"}) {
        std::ifstream in(base + rel);
        char c = 0;
        if (in.get(c)) {
            return c == '1';
        }
    }
    return false;
}

}  // namespace

std::string DriveTypeName(const std::string& path) {
    struct statfs fs {};
    struct stat st {};
    if (path.empty() || ::statfs(path.c_str(), &fs) != 0 || ::stat(path.c_str(), &st) != 0) {
        return {};
    }
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x6969:      // NFS
        case 0x517B:      // SMB
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x5346414F:  // AFS
        case 0x00C36400:  // Ceph
        case 0x01021997:  // 9P
            return "DRIVE_REMOTE";
        case 0x9660:      // ISO 9660
        case 0x15013346:  // UDF
            return "DRIVE_CDROM";
        case 0x01021994:  // tmpfs
        case 0x858458F6:  // ramfs
            return "DRIVE_RAMDISK";
        default:
            break;
    }
    return IsRemovableDevice(st.st_dev) ? "DRIVE_REMOVABLE" : "DRIVE_FIXED";
}

bool CopyFileKeepTime(const std::string& source, const std::string& target, bool failIfExists,
                      bool daylightSaving, double daylightOffset) {
    struct stat st {};
    if (::stat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return false;
    }
    std::error_code ec;
    const auto parent = std::filesystem::path(target).parent_path();
    if (!parent.empty()) {
        std::filesystem::create_directories(parent, ec);
    }
    if (failIfExists && std::filesystem::exists(target, ec)) {
        return false;
    }
    const auto data = ReadFile(source);
    if (!data || !WriteFileAtomic(target, *data)) {
        return false;
    }
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (daylightSaving && daylightOffset != 0) {
        const bool sourceFixed = DriveTypeName(source) == "DRIVE_FIXED";
        const bool targetFixed = DriveTypeName(target) == "DRIVE_FIXED";
        const auto shift = static_cast<time_t>(std::llround(daylightOffset * 86400.0));
        if (sourceFixed && !targetFixed) {
            times[1].tv_sec -= shift;
        } else if (!sourceFixed && targetFixed) {
            times[1].tv_sec += shift;
        }
    }
    // The copy stands even when its time cannot be set.
    ::utimensat(AT_FDCWD, target.c_str(), times, 0);
    return true;
}

}  // namespace rendaal
