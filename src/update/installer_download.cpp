#include "update/installer_download.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>

#include "core/fileio.h"
#include "update/version_list.h"

namespace rendaal {

namespace {

// Installer files are written in blocks rather than per network chunk.
constexpr size_t kWriteBlock = size_t{256} * 1024;

class Sha256 final {
public:
    Sha256() : ctx_(EVP_MD_CTX_new(), &EVP_MD_CTX_free) {
        ok_ = ctx_ && EVP_DigestInit_ex(ctx_.get(), EVP_sha256(), nullptr) == 1;
    }
    void Add(std::string_view data) {
        ok_ = ok_ && EVP_DigestUpdate(ctx_.get(), data.data(), data.size()) == 1;
    }
    // Lower-case hex; "" when the library failed, which never matches a digest.
    std::string Hex() {
        unsigned char md[EVP_MAX_MD_SIZE];
        unsigned int len = 0;
        if (!ok_ || EVP_DigestFinal_ex(ctx_.get(), md, &len) != 1) {
            return {};
        }
        static const char kDigits[] = "0123456789abcdef";
        std::string hex;
        for (unsigned int i = 0; i < len; ++i) {
            hex += kDigits[md[i] >> 4];
            hex += kDigits[md[i] & 15];
        }
        return hex;
    }

private:
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx_;
    bool ok_ = false;
};

InstallerFailure FromTransport(FetchFailure failure) {
    switch (failure) {
        case FetchFailure::Refused:  // a redirect away from https: nothing checked comes
            return InstallerFailure::NotVerified;
        case FetchFailure::Certificate:
            return InstallerFailure::CertificateRefused;
        case FetchFailure::TimedOut:
            return InstallerFailure::TimedOut;
        case FetchFailure::ConnectionLost:
            return InstallerFailure::ConnectionLost;
        case FetchFailure::TooLarge:
            return InstallerFailure::TooLarge;
        default:
            return InstallerFailure::NotReceived;
    }
}

// What a whole transfer of the right size still needs before it counts as the installer.
InstallerFailure Verdict(const StreamOutcome& out, uint32_t kb, bool digestMatches) {
    if (!out.complete) {
        return FromTransport(out.failure);
    }
    if (kb == 0) {
        return InstallerFailure::NotReceived;  // less than a kilobyte is no installer
    }
    if (!out.verifiedHttps || !digestMatches) {
        return InstallerFailure::NotVerified;
    }
    return InstallerFailure::None;
}

// Only a folder this download emptied goes; a file or link of that name stays.
void RemoveFolderIfEmpty(const std::string& folder) {
    std::error_code ec;
    if (std::filesystem::is_directory(std::filesystem::symlink_status(folder, ec)) &&
        std::filesystem::is_empty(folder, ec) && !ec) {
        std::filesystem::remove(folder, ec);
    }
}

}  // namespace

std::string InstallerFailureText(InstallerFailure failure, bool dutch) {
    switch (failure) {
        case InstallerFailure::None:
            return {};
        case InstallerFailure::NotVerified:
            return dutch ? "De installatie kon niet worden gecontroleerd."
                         : "The installer could not be verified.";
        case InstallerFailure::TooLarge:
            return dutch ? "Het installatiebestand is groter dan aangekondigd."
                         : "The installer is larger than announced.";
        case InstallerFailure::ConnectionLost:
            return dutch ? "De verbinding werd verbroken tijdens het downloaden."
                         : "The connection was lost during the download.";
        case InstallerFailure::CertificateRefused:
            return dutch ? "Het certificaat van de site is geweigerd."
                         : "The site's certificate was refused.";
        case InstallerFailure::TimedOut:
            return dutch ? "De site antwoordde niet op tijd." : "The site did not answer in time.";
        case InstallerFailure::NotReceived:
            return dutch ? "Het installatiebestand is niet ontvangen."
                         : "The installer was not received.";
        case InstallerFailure::NotSaved:
            return dutch ? "Het installatiebestand kon niet worden opgeslagen."
                         : "The installer could not be saved.";
        case InstallerFailure::Cancelled:
            return dutch ? "Het downloaden is afgebroken." : "The download was cancelled.";
        case InstallerFailure::StartFailed:
            return dutch ? "Installatie is mislukt." : "Installation failed.";
    }
    return {};
}

std::string InstallationLine(std::string_view displayName, bool started, bool dutch) {
    const std::string name(displayName);
    if (dutch) {
        return "De installatie van " + name + (started ? " is gestart." : " wordt gestart.");
    }
    return "The installation of " + name + (started ? " has started." : " is started.");
}

int64_t InstallerByteLimit(int32_t sizeKb) {
    const int64_t announced = static_cast<int64_t>(std::clamp(sizeKb, 0, kMaxInstallerKb)) * 1024;
    return announced + announced / 10 + int64_t{64} * 1024;
}

int GaugeProgress(uint32_t kb, int32_t maximum) {
    const int64_t next = static_cast<int64_t>(kb) + 1;
    return static_cast<int>(std::clamp<int64_t>(next, 0, std::max<int32_t>(maximum, 0)));
}

std::string FileSha256(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {};
    }
    Sha256 hash;
    std::string buffer(size_t{64} * 1024, '\0');
    while (in) {
        in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        hash.Add(std::string_view(buffer.data(), static_cast<size_t>(in.gcount())));
    }
    if (in.bad()) {
        return {};
    }
    return hash.Hex();
}

namespace {

bool WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// An anonymous file only this process can reach; sealed once written, so not even it can change
// the bytes. Systems without memfd get an unnamed file in folder instead.
int PrivateFile(const std::string& folder) {
    int fd = static_cast<int>(memfd_create("installer", MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (fd < 0) {
        fd = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0700);
    }
    return fd;
}

}  // namespace

CheckedCopy::CheckedCopy(const std::string& path, int64_t maxBytes) {
    // Not through a link, and never blocking on a FIFO put in the file's place.
    const int in = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (in < 0) {
        return;
    }
    struct stat st {};
    const std::string folder = std::filesystem::path(path).parent_path().string();
    int out = -1;
    bool ok = fstat(in, &st) == 0 && S_ISREG(st.st_mode) && st.st_size <= maxBytes &&
              (out = PrivateFile(folder)) >= 0;
    Sha256 hash;
    std::string buffer(size_t{64} * 1024, '\0');
    int64_t total = 0;
    while (ok) {
        const ssize_t n = read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        total += n;
        // The file may grow after the size was looked at.
        ok = total <= maxBytes && WriteAll(out, buffer.data(), static_cast<size_t>(n));
        hash.Add(std::string_view(buffer.data(), static_cast<size_t>(n)));
    }
    close(in);
    if (ok) {
        // Sealing fails on a file that is not a memfd; that one is unnamed and so out of reach.
        fcntl(out, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL);
        fchmod(out, 0700);
        // A program cannot be started from a file that is open for writing (ETXTBSY): keep a
        // read-only descriptor of the same copy.
        const std::string self = "/proc/self/fd/" + std::to_string(out);
        fd_ = open(self.c_str(), O_RDONLY | O_CLOEXEC);
        ok = fd_ >= 0;
    }
    if (out >= 0) {
        close(out);
    }
    if (ok) {
        sha256_ = hash.Hex();
        ok = !sha256_.empty();
    }
    if (!ok && fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

CheckedCopy::~CheckedCopy() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

std::string CheckedCopy::ExecPath() const {
    return "/proc/self/fd/" + std::to_string(fd_);
}

void CheckedCopy::Inheritable() {
    if (fd_ >= 0) {
        fcntl(fd_, F_SETFD, 0);
    }
}

InstallerResult InstallerDownload::Run(const InstallerJob& job, const Progress& progress) {
    InstallerResult r;
    cancel_ = false;
    // Without a digest to compare or a checked connection the file could never be started.
    if (!IsSafeDownloadName(job.downloadName) || job.sha256.size() != 64 ||
        !job.siteAddress.starts_with("https://")) {
        r.failure = InstallerFailure::NotVerified;
        return r;
    }
    if (job.sizeKb < 0 || job.sizeKb > kMaxInstallerKb) {
        r.failure = InstallerFailure::TooLarge;
        return r;
    }

    const std::string path = job.folder + job.downloadName;
    // Written under another name, so that no half or unchecked file ever carries the
    // installer's name.
    const std::string part = path + ".part";
    if (IsSafeDownloadName(job.earlierName)) {
        RemoveFile(job.folder + job.earlierName);
    }
    RemoveFile(path);
    RemoveFile(part);
    std::error_code ec;
    std::filesystem::create_directories(job.folder, ec);

    const int64_t limit = InstallerByteLimit(job.sizeKb);
    int64_t total = 0;
    bool tooBig = false;
    bool writeFailed = false;
    std::string block;
    Sha256 hash;
    const auto flush = [&] {
        if (!block.empty() && !writeFailed) {
            writeFailed = !AppendFile(part, block);
        }
        block.clear();
    };
    // The file exists from the start, so that a folder that cannot take it shows at once.
    writeFailed = !AppendFile(part, "");
    const StreamOutcome out =
        transport_.Stream(job.siteAddress + job.downloadName, [&](std::string_view chunk) {
            if (cancel_ || writeFailed) {
                return false;
            }
            total += static_cast<int64_t>(chunk.size());
            if (total > limit) {
                tooBig = true;
                return false;
            }
            hash.Add(chunk);
            block.append(chunk);
            if (block.size() >= kWriteBlock) {
                flush();
            }
            r.downloadedKb = static_cast<uint32_t>(total / 1024);
            if (progress) {
                progress(r.downloadedKb);
            }
            return true;
        });
    flush();
    r.detail = out.error;

    if (cancel_) {
        r.failure = InstallerFailure::Cancelled;
    } else if (writeFailed) {
        r.failure = InstallerFailure::NotSaved;
    } else if (tooBig) {
        r.failure = InstallerFailure::TooLarge;
    } else {
        r.failure = Verdict(out, r.downloadedKb, hash.Hex() == job.sha256);
    }
    if (r.ok()) {
        std::filesystem::rename(part, path, ec);
        r.failure = ec ? InstallerFailure::NotSaved : InstallerFailure::None;
    }
    if (!r.ok()) {
        RemoveFile(part);
        RemoveFolderIfEmpty(job.folder);
        return r;
    }
    r.path = path;
    return r;
}

}  // namespace rendaal
