#include "platform/settings_store.h"

#include <filesystem>
#include <system_error>

#include "core/fileio.h"
#include "platform/app_paths.h"

namespace rendaal {

std::string SettingsFilePath() {
    return ConfigFolder() + "Rendaal.reg";
}

SettingsStore::SettingsStore(std::string path) : path_(std::move(path)) {
    Reload();
}

void SettingsStore::Reload() {
    const auto text = ReadFile(path_, 1u << 20);
    file_ = text ? RegFile::Parse(*text) : RegFile();
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
    const auto text = ReadFile(path_, 1u << 20);
    std::error_code ec;
    const auto size = std::filesystem::file_size(path_, ec);
    // A file that is there but could not be read this time would be replaced by the one changed
    // value, and every other setting lost; an oversized file is garbage and may be replaced.
    if (!text && !ec && size <= (1u << 20)) {
        return false;
    }
    file_ = text ? RegFile::Parse(*text) : RegFile();
    change(file_);
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), ec);
    return WriteFileAtomic(path_, file_.Serialize());
}

}  // namespace rendaal
