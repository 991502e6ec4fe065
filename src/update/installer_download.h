#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "update/update_transport.h"

// Downloads a newer installer into the data folder's Temp/ and keeps it only when it arrived
// whole, over checked HTTPS, within its size and with the SHA-256 the version list names.
namespace rendaal {

enum class InstallerFailure {
    None,
    NotVerified,         // no digest, a wrong digest, or not over checked HTTPS
    TooLarge,            // beyond the announced size (or the ceiling)
    ConnectionLost,      // the connection broke or the body was cut short
    CertificateRefused,  // the site's certificate did not pass the checks
    TimedOut,            // the site stopped sending
    NotReceived,         // no answer, an HTTP error, or less than a kilobyte
    NotSaved,            // the file could not be written
    Cancelled,           // the user ended the download
    StartFailed,         // the checked installer could not be started
};

// The window's line for a failed download or start, in Dutch or English.
std::string InstallerFailureText(InstallerFailure failure, bool dutch);
// "De installatie van Setupb wordt gestart." (started: "... is gestart.").
std::string InstallationLine(std::string_view displayName, bool started, bool dutch);

// Bytes a download may bring: the announced size (never above the ceiling) plus some slack,
// because the list rounds to kilobytes.
int64_t InstallerByteLimit(int32_t sizeKb);
// Gauge position after kb kilobytes: one ahead, never past the maximum.
int GaugeProgress(uint32_t kb, int32_t maximum);
// Lower-case SHA-256 of a file, "" when it cannot be read.
std::string FileSha256(const std::string& path);

// A private, sealed copy of a file, hashed as it is copied: starting ExecPath() runs exactly the
// bytes whose digest sha256() gives, whatever happens to the file or its folder afterwards
// (replaced, rewritten in place, a link put in its place).
class CheckedCopy final {
public:
    // Only a regular file of at most maxBytes is copied; otherwise valid() is false.
    CheckedCopy(const std::string& path, int64_t maxBytes);
    ~CheckedCopy();
    CheckedCopy(const CheckedCopy&) = delete;
    CheckedCopy& operator=(const CheckedCopy&) = delete;

    bool valid() const { return fd_ >= 0; }
    const std::string& sha256() const { return sha256_; }
    // "/proc/self/fd/N": reaches the copy from this process and, after Inheritable(), from a
    // program it starts (a script's interpreter opens it by that name).
    std::string ExecPath() const;
    // Lets a started program inherit the descriptor; closed here when this object goes.
    void Inheritable();

private:
    int fd_ = -1;
    std::string sha256_;
};

struct InstallerJob {
    std::string siteAddress;   // ends in "/"; the installer is siteAddress + downloadName
    std::string downloadName;  // a plain file name, checked again here
    std::string folder;        // the Temp folder, ends in "/"; made when missing
    int32_t sizeKb = 0;        // as announced by the version list
    std::string sha256;        // lower-case hex, from the version list
    std::string earlierName;   // an earlier installer to remove first ("" = none)
};

struct InstallerResult {
    InstallerFailure failure = InstallerFailure::None;
    uint32_t downloadedKb = 0;
    std::string path;    // the verified installer when ok()
    std::string detail;  // the transport's own words, for logs and tests
    bool ok() const { return failure == InstallerFailure::None; }
};

class InstallerDownload final {
public:
    // Receives the downloaded kilobytes after each chunk; may run the event loop, and so may
    // call Cancel().
    using Progress = std::function<void(uint32_t kb)>;

    explicit InstallerDownload(UpdateTransport& transport) : transport_(transport) {}
    InstallerDownload(const InstallerDownload&) = delete;
    InstallerDownload& operator=(const InstallerDownload&) = delete;

    // Nothing is requested when the job cannot end in a verified file. On failure the partial
    // file is gone and an emptied Temp folder is removed.
    InstallerResult Run(const InstallerJob& job, const Progress& progress = {});
    // Ends a running download at its next chunk.
    void Cancel() { cancel_ = true; }

private:
    UpdateTransport& transport_;
    bool cancel_ = false;
};

}  // namespace rendaal
