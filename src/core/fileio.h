#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// All file writing of the program goes through here, so that a file is always either replaced
// whole (temporary file + fsync + rename) or appended, and so that tests can fail any single
// operation. Only regular files are read or written: a FIFO, device, socket or folder in a
// file's place is refused without blocking.
namespace rendaal {

enum class FileOp { Open, Write, Fsync, Rename, Close, Read };

// Called before every operation; returning true makes that operation fail (errno EIO).
using FaultHook = std::function<bool(FileOp op, std::string_view path)>;
void SetFaultHook(FaultHook hook);

inline constexpr size_t kMaxReadBytes = 64u << 20;

struct FileRead {
    std::optional<std::string> text;
    bool missing = false;  // nothing at the path: most callers treat that as an empty start
    std::string error;     // why there is no text, naming the path; empty when read
};
FileRead ReadFileChecked(const std::string& path, size_t maxBytes = kMaxReadBytes);
// Whole file, or empty when it cannot be read or is larger than maxBytes.
std::optional<std::string> ReadFile(const std::string& path, size_t maxBytes = kMaxReadBytes);
// The same into buffer, whose memory is kept for the next file: reading many files one after
// another then costs no fresh memory for each. False (buffer undefined) when it cannot be read.
bool ReadFileInto(const std::string& path, std::string& buffer, size_t maxBytes = kMaxReadBytes);

// Writes a temporary file "<target>.tmp<pid>" next to the file, syncs it, renames it over the
// file and syncs the folder. A symlink stays a symlink: its final target is replaced, and an
// existing target keeps its permission bits. On any failure the temporary file is removed, the
// file keeps its previous content and error (when given) says why. The file gets no permission
// bit outside modeMask: a copy of a private file's text stays private.
bool WriteFileAtomic(const std::string& path, std::string_view data, std::string* error = nullptr,
                     unsigned modeMask = 07777);
// The same for a file of the program's own folders (the archive): a symlink in the file's place
// is refused, never written through.
bool WriteOwnFileAtomic(const std::string& path, std::string_view data,
                        std::string* error = nullptr);
// The same for a file the user named (an output file): refused, with the kernel's reason, where
// the user's own open() of that path for writing would be refused (permissions, a read-only
// file, fs.protected_symlinks and fs.protected_regular in sticky folders); otherwise written
// as WriteFileAtomic does.
bool WriteUserFileAtomic(const std::string& path, std::string_view data,
                         std::string* error = nullptr);
// Appends data in one write and syncs; creates the file (mode 0644) when it does not exist.
bool AppendFile(const std::string& path, std::string_view data, std::string* error = nullptr);

// Empty when path is a regular file (through symlinks) or nothing at all; else why it cannot be
// used as a file, naming the path.
std::string NotRegularFileError(const std::string& path);
// "<path> kan niet worden <action>: <reason>" for an errno value, in the program's language.
std::string FileErrorText(const std::string& path, std::string_view action, int error);
// The reason part alone ("geen toegang", "schijf vol", ...).
std::string ErrnoText(int error);

// Removes the "<name>.tmp<pid>" files that writers killed in the middle of a replacement left in
// folder, for the names isOwn accepts (the program's own files), and those next to the target of
// such a file that is a symlink; a file whose process still runs, or a stranger's, is left
// alone. Returns how many were removed.
int RemoveStaleTemporaryFiles(const std::string& folder,
                              const std::function<bool(std::string_view name)>& isOwn);
// For "<name>.tmp<pid>": name and pid; nullopt for any other file name.
struct TemporaryName {
    std::string name;
    long pid = 0;
};
std::optional<TemporaryName> SplitTemporaryName(std::string_view fileName);
// Whether a process of that pid has ended (no such process; a pid of ours or one we may not
// signal counts as running).
bool ProcessEnded(long pid);

bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);

// Lines ended by CR LF, LF or a lone CR; a last line without an end is kept.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace rendaal
