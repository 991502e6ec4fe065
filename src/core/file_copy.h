#pragma once

#include <string>

namespace rendaal {

// Copies source to target (replacing it atomically) and gives the copy the source's
// modification time. When daylight saving is in effect and exactly one of the two lies on a
// fixed drive, the time is moved by daylightOffset days, as the Windows program did for its
// FAT-dated copies. daylightOffset is in days (1/24 for one hour). False when nothing was copied;
// the target then is as it was.
bool CopyFileKeepTime(const std::string& source, const std::string& target, bool failIfExists,
                      bool daylightSaving = false, double daylightOffset = 0);

// The kind of storage the path lies on: "DRIVE_REMOTE", "DRIVE_REMOVABLE", "DRIVE_CDROM",
// "DRIVE_RAMDISK" or "DRIVE_FIXED"; empty when the path does not exist.
std::string DriveTypeName(const std::string& path);

}  // namespace rendaal
