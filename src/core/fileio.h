#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// All file writing of the program goes through here, so that a file is always either replaced
// whole (temporary file + fsync + rename) or appended, and so that tests can fail any single
// operation.
namespace rendaal {

enum class FileOp { Open, Write, Fsync, Rename, Close, Read };

// Called before every operation; returning true makes that operation fail (errno EIO).
using FaultHook = std::function<bool(FileOp op, std::string_view path)>;
void SetFaultHook(FaultHook hook);

inline constexpr size_t kMaxReadBytes = 64u << 20;

// Whole file, or empty when it cannot be read or is larger than maxBytes.
std::optional<std::string> ReadFile(const std::string& path, size_t maxBytes = kMaxReadBytes);
// Writes path + ".tmp<pid>", syncs it, renames it over path and syncs the folder. On any failure
// the temporary file is removed and path keeps its previous content.
bool WriteFileAtomic(const std::string& path, std::string_view data);
// Appends data in one write and syncs; creates the file (mode 0644) when it does not exist.
bool AppendFile(const std::string& path, std::string_view data);

// Removes the "<name>.tmp<pid>" files that writers killed in the middle of a replacement left in
// folder; a file whose process still runs is left alone. Returns how many were removed.
int RemoveStaleTemporaryFiles(const std::string& folder);

bool FileExists(const std::string& path);
bool RemoveFile(const std::string& path);

// Lines ended by CR LF, LF or a lone CR; a last line without an end is kept.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace rendaal
