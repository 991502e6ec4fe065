#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/regfile.h"

namespace rendaal {

// The registry key the Windows program used; the settings file keeps it so that the file can be
// imported there as it is.
inline constexpr std::string_view kSettingsKey = "HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults";

// ConfigFolder() + "Rendaal.reg".
std::string SettingsFilePath();

// The stored settings (the registry's replacement). Reads are from the file as last loaded;
// every write re-reads the file first and replaces it atomically, so that values written by
// another part of the program, or by hand in a text editor, are kept.
class SettingsStore final {
public:
    explicit SettingsStore(std::string path = SettingsFilePath());

    // A missing, unreadable or damaged file gives no values (every read takes its default).
    void Reload();
    // Empty when the file was read or is not there yet; otherwise a message for the user that
    // names the file, why it was not read and what becomes of it.
    const std::string& problem() const { return problem_; }
    // The file has no write bit: it is never replaced, and problem() says that changes are lost.
    bool readOnly() const { return readOnly_; }

    // Missing or not a decimal integer: the default.
    int64_t ReadInteger(std::string_view name, int64_t fallback) const;
    // Through ReadInteger; any non-zero number is on.
    bool ReadBool(std::string_view name, bool fallback) const;
    std::string ReadString(std::string_view name, std::string_view fallback) const;
    const RegFile& file() const { return file_; }

    // Applies change to the freshly read file and writes it; false when it could not be
    // written, or could not be read first (the file on disk keeps its previous content). A file
    // that reads but cannot be parsed is first renamed to "<path>.bad" (or the next free, else the
    // oldest of nine such names) and a new one written. A read-only file is never replaced.
    bool Write(const std::function<void(RegFile&)>& change);

    const std::string& path() const { return path_; }

private:
    enum class FileState { Missing, Read, Unreadable, Unparsable };
    struct Loaded {
        FileState state = FileState::Missing;
        RegFile file;
        std::string reason;
        bool readOnly = false;
    };
    Loaded Load() const;

    std::string path_;
    RegFile file_;
    std::string problem_;
    bool readOnly_ = false;
};

}  // namespace rendaal
