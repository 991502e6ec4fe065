#include "platform/app_paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace rendaal {
namespace {

std::string WithSlash(std::string s) {
    if (s.empty() || s.back() != '/') {
        s += '/';
    }
    return s;
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    return home && *home ? WithSlash(home) : std::string("/tmp/");
}

std::string XdgFolder(const char* variable, const char* fallback) {
    const char* value = std::getenv(variable);
    // The XDG rule: a relative path is to be ignored.
    if (value && value[0] == '/') {
        return WithSlash(value);
    }
    return HomeFolder() + fallback;
}

}  // namespace

std::string ConfigFolder() {
    return XdgFolder("XDG_CONFIG_HOME", ".config/") + "Rendaal/";
}

std::string StateFolder() {
    return XdgFolder("XDG_STATE_HOME", ".local/state/") + "Rendaal/";
}

std::string DataFolderBase() {
    return XdgFolder("XDG_DATA_HOME", ".local/share/");
}

std::string DataFolderFor(const std::string& name) {
    const std::string folder = DataFolderBase() + name + "/";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

std::string ExecutableFolder() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        return "./";
    }
    return WithSlash(exe.parent_path().string());
}

std::string StartFolder() {
    if (const char* forced = std::getenv("RENDAAL_START_FOLDER"); forced && *forced) {
        return WithSlash(forced);
    }
    std::error_code ec;
    const auto installed =
        std::filesystem::weakly_canonical(ExecutableFolder() + "../share/rendaal", ec);
    if (!ec && std::filesystem::is_directory(installed, ec)) {
        return WithSlash(installed.string());
    }
#ifdef RENDAAL_SOURCE_DATA_DIR
    return WithSlash(RENDAAL_SOURCE_DATA_DIR);
#else
    return ExecutableFolder();
#endif
}

}  // namespace rendaal
