#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/regfile.h"
#include "reliability/reliability_support.h"
#include "support/test_support.h"

namespace rendaal::reliability {

// A home of its own for rendaal-sched: rules, settings pointing at a loopback server, and the
// data folder.
class SchedHome final {
public:
    SchedHome(const std::string& baseUrl, const std::vector<std::string>& lines)
        : home_("HOME", root_.folder()),
          config_("XDG_CONFIG_HOME", root_.folder() + "config"),
          data_("XDG_DATA_HOME", root_.folder() + "data"),
          proxy_("http_proxy", ""),
          proxyUpper_("HTTP_PROXY", ""),
          // The address sanitizer keeps freed memory in quarantine; without it the child's peak
          // is the program's own.
          asan_("ASAN_OPTIONS", "detect_leaks=0:quarantine_size_mb=0") {
        std::filesystem::create_directories(DataFolder());
        std::filesystem::create_directories(root_.path() / "config" / "Rendaal");
        RegFile settings;
        const char* key = "HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults";
        settings.SetString(key, "IndexUrl", baseUrl);
        settings.SetString(key, "OptionUrl", baseUrl);
        test::WriteAll(root_.path() / "config" / "Rendaal" / "Rendaal.reg", settings.Serialize());
        std::string rules;
        for (const auto& l : lines) {
            rules += l + "\r\n";
        }
        test::WriteAll(DataFolder() + "Regels.dat", rules);
    }
    std::string DataFolder() const { return root_.folder() + "data/Rendaal/"; }

    static std::string Program() { return BinaryDir() + "src/app/rendaal-sched"; }
    Child Start() const { return Spawn(Program(), {}, false); }

private:
    test::TempDir root_;
    test::ScopedEnv home_, config_, data_, proxy_, proxyUpper_, asan_;
};

}  // namespace rendaal::reliability
