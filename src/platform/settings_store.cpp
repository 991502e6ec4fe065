#include "platform/settings_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "analytics/alert_notice.h"
#include "core/fileio.h"
#include "platform/app_paths.h"

namespace rendaal {
namespace {

constexpr size_t kMaxSettingsBytes = 1u << 20;

constexpr int kAsideNames = 9;

// Where a file that cannot be parsed is kept: "<path>.bad", then "<path>.bad.2" and on, so that an
// earlier kept file is not replaced while a name is free.
std::string AsideName(const std::string& path, int n) {
    return path + ".bad" + (n == 1 ? "" : "." + std::to_string(n));
}

bool Taken(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// With every name taken, the oldest kept file gives way: the newest damaged text is the one the
// user is told about, and the settings are still saved.
std::optional<std::string> OldestAsideName(const std::string& path) {
    std::optional<std::string> oldest;
    timespec oldestTime{};
    for (int n = 1; n <= kAsideNames; ++n) {
        const std::string aside = AsideName(path, n);
        struct stat st {};
        if (::lstat(aside.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
            continue;
        }
        const bool older =
            st.st_mtim.tv_sec < oldestTime.tv_sec ||
            (st.st_mtim.tv_sec == oldestTime.tv_sec && st.st_mtim.tv_nsec < oldestTime.tv_nsec);
        if (!oldest || older) {
            oldest = aside;
            oldestTime = st.st_mtim;
        }
    }
    return oldest;
}

struct AsidePlace {
    std::string name;
    bool replaces = false;
};

std::optional<AsidePlace> AsideFor(const std::string& path) {
    for (int n = 1; n <= kAsideNames; ++n) {
        if (!Taken(AsideName(path, n))) {
            return AsidePlace{AsideName(path, n), false};
        }
    }
    if (auto oldest = OldestAsideName(path)) {
        return AsidePlace{std::move(*oldest), true};
    }
    return std::nullopt;
}

// Renames whatever stands at path (a symlink itself, not its target) to a free aside name, or
// over the oldest when none is free. Empty when it could not be moved.
std::optional<std::string> SetAside(const std::string& path) {
    for (int n = 1; n <= kAsideNames; ++n) {
        const std::string aside = AsideName(path, n);
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
            return aside;
        }
        if (errno == EEXIST) {
            continue;
        }
        if (errno != EINVAL && errno != ENOSYS) {
            return std::nullopt;
        }
        // A file system without the no-replace flag: look first, then rename.
        if (Taken(aside)) {
            continue;
        }
        return std::rename(path.c_str(), aside.c_str()) == 0 ? std::optional(aside) : std::nullopt;
    }
    const auto oldest = OldestAsideName(path);
    return oldest && std::rename(path.c_str(), oldest->c_str()) == 0 ? oldest : std::nullopt;
}

// A file without any write bit is the user's sign to leave it as it is; root could still
// replace it, so the bits count, not access().
bool MarkedReadOnly(const std::string& path, const struct stat& st) {
    return (st.st_mode & 0222) == 0 || (::access(path.c_str(), W_OK) != 0 && errno == EROFS);
}

}  // namespace

std::string SettingsFilePath() {
    return ConfigFolder() + "Rendaal.reg";
}

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {
    Reload();
}

SettingsStore::Loaded SettingsStore::Load() const {
    Loaded out;
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
        if (errno != ENOENT) {
            out.state = FileState::Unreadable;
            out.reason = std::strerror(errno);
        }
        return out;
    }
    if (!S_ISREG(st.st_mode)) {
        out.state = FileState::Unreadable;
        out.reason = S_ISDIR(st.st_mode) ? "het is een map" : "het is geen gewoon bestand";
        return out;
    }
    out.readOnly = MarkedReadOnly(path_, st);
    if (static_cast<uint64_t>(st.st_size) > kMaxSettingsBytes) {
        out.state = FileState::Unparsable;
        out.reason = "groter dan 1 MiB";
        return out;
    }
    const auto bytes = ReadFile(path_, kMaxSettingsBytes);
    if (!bytes) {
        out.state = FileState::Unreadable;
        out.reason = std::strerror(errno);
        return out;
    }
    auto file = RegFile::Parse(*bytes);
    if (!file) {
        out.state = FileState::Unparsable;
        out.reason = "geen REGEDIT4- of \"Windows Registry Editor Version 5.00\"-bestand";
        return out;
    }
    out.state = FileState::Read;
    out.file = std::move(*file);
    return out;
}

void SettingsStore::Reload() {
    Loaded loaded = Load();
    file_ = std::move(loaded.file);
    readOnly_ = loaded.readOnly;
    problem_.clear();
    switch (loaded.state) {
        case FileState::Missing:
        case FileState::Read:
            break;
        case FileState::Unreadable:
            problem_ = "De instellingen in " + path_ + " kunnen niet gelezen worden (" +
                       loaded.reason +
                       "). De standaardinstellingen worden gebruikt en niet opgeslagen.";
            return;
        case FileState::Unparsable: {
            problem_ = path_ + " is geen instellingenbestand (" + loaded.reason +
                       "). De standaardinstellingen worden gebruikt";
            const auto aside = AsideFor(path_);
            if (readOnly_) {
                break;
            }
            if (!aside) {
                problem_ += " en niet opgeslagen.";
            } else {
                problem_ +=
                    "; het bestand wordt niet overschreven maar bij het opslaan bewaard als " +
                    aside->name +
                    (aside->replaces ? " (in plaats van het oudste eerder bewaarde bestand)."
                                     : ".");
            }
            return;
        }
    }
    if (readOnly_) {
        problem_ += problem_.empty() ? "" : ". ";
        problem_ +=
            path_ + " is alleen-lezen: wijzigingen in de instellingen worden niet opgeslagen.";
    }
}

int64_t SettingsStore::ReadInteger(std::string_view name, int64_t fallback) const {
    return file_.ReadInteger(kSettingsKey, name).value_or(fallback);
}

bool SettingsStore::ReadBool(std::string_view name, bool fallback) const {
    return ReadInteger(name, fallback ? 1 : 0) != 0;
}

std::string SettingsStore::ReadString(std::string_view name, std::string_view fallback) const {
    const RegValue* v = file_.Find(kSettingsKey, name);
    if (!v || v->type != RegValue::Type::String) {
        return std::string(fallback);
    }
    return v->text;
}

bool SettingsStore::Write(const std::function<void(RegFile&)>& change) {
    Loaded now = Load();
    // A file that is there but could not be read this time would be replaced by the one changed
    // value, and every other setting lost.
    if (now.state == FileState::Unreadable || now.readOnly) {
        return false;
    }
    if (now.state == FileState::Unparsable && !SetAside(path_)) {
        return false;
    }
    file_ = std::move(now.file);
    change(file_);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
    // Whoever may read the file may read the token and addresses in it.
    const unsigned mask = HoldsChannelSecret(file_, kSettingsKey) ? 0600 : 07777;
    return WriteFileAtomic(path_, file_.Serialize(), nullptr, mask);
}

}  // namespace rendaal
