#include "mainwindow/startup.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <system_error>

#include "core/combination.h"
#include "core/file_copy.h"
#include "core/fileio.h"
#include "core/text.h"

namespace rendaal {
namespace {

int ReadInt(const SettingsStore& store, std::string_view name, int fallback) {
    const int64_t v = store.ReadInteger(name, fallback);
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) {
        return fallback;
    }
    return static_cast<int>(v);
}

}  // namespace

WindowSettings ReadWindowSettings(const SettingsStore& store) {
    WindowSettings s;
    s.Left = ReadInt(store, "Left", s.Left);
    s.Top = ReadInt(store, "Top", s.Top);
    s.Width = ReadInt(store, "Width", s.Width);
    s.Height = ReadInt(store, "Height", s.Height);
    s.Blokjes = store.ReadBool("Blokjes", s.Blokjes);
    s.Apart = store.ReadBool("Apart", s.Apart);
    return s;
}

bool WriteWindowSettings(SettingsStore& store, const WindowSettings& s) {
    return store.Write([&s](RegFile& file) {
        file.SetString(kSettingsKey, "Left", std::to_string(s.Left));
        file.SetString(kSettingsKey, "Top", std::to_string(s.Top));
        file.SetString(kSettingsKey, "Width", std::to_string(s.Width));
        file.SetString(kSettingsKey, "Height", std::to_string(s.Height));
        file.SetString(kSettingsKey, "Blokjes", s.Blokjes ? "1" : "0");
        file.SetString(kSettingsKey, "Apart", s.Apart ? "1" : "0");
    });
}

bool HasStoredSize(const SettingsStore& store) {
    // Read as ReadWindowSettings reads them: a number beyond int is no number.
    constexpr int64_t kMissing = std::numeric_limits<int64_t>::min();
    const auto usable = [&store](std::string_view name) {
        const int64_t v = store.ReadInteger(name, kMissing);
        return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
    };
    return usable("Width") && usable("Height");
}

namespace {

// One side: the length clamped to [minimum, room], then the start moved so start..start+length
// +frame lies in the area. 64-bit so that stored numbers near the int limits cannot overflow.
void FitSide(int64_t storedStart, int64_t length, int64_t minimum, int64_t areaStart,
             int64_t areaLength, int64_t frame, int& start, int& size) {
    const int64_t room = std::max<int64_t>(areaLength - frame, 1);
    length = std::clamp<int64_t>(std::max(length, minimum), 1, room);
    const int64_t last = areaStart + areaLength - (length + frame);
    start =
        static_cast<int>(std::clamp<int64_t>(storedStart, areaStart, std::max(areaStart, last)));
    size = static_cast<int>(length);
}

}  // namespace

ScreenArea PlaceMainWindow(const WindowSettings& stored, bool sizeStored,
                           const WindowSizeLimits& limits, const ScreenArea& available,
                           int frameWidth, int frameHeight) {
    ScreenArea placed;
    FitSide(stored.Left, sizeStored ? stored.Width : limits.preferredWidth, limits.minWidth,
            available.left, available.width, std::max(frameWidth, 0), placed.left, placed.width);
    FitSide(stored.Top, sizeStored ? stored.Height : limits.preferredHeight, limits.minHeight,
            available.top, available.height, std::max(frameHeight, 0), placed.top, placed.height);
    return placed;
}

bool HasFileWithExtension(const std::string& folder, const std::string& extension) {
    const std::string suffix = std::string(".").append(AsciiLower(extension));
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = AsciiLower(it->path().filename().string());
        if (name.size() >= suffix.size() && name.ends_with(suffix)) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> CopyStartFiles(const std::string& source, const std::string& target,
                                        const std::string& extension) {
    std::vector<std::string> copied;
    std::error_code ec;
    std::filesystem::create_directories(target, ec);
    if (!std::filesystem::is_directory(target, ec)) {
        return copied;
    }
    const std::string suffix = std::string(".").append(AsciiLower(extension));
    for (auto it = std::filesystem::directory_iterator(source, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name == "unins000.dat" || !AsciiLower(name).ends_with(suffix)) {
            continue;
        }
        struct stat st {};
        if (::stat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        if (CopyFileKeepTime(source + name, target + name, true)) {
            copied.push_back(name);
        }
    }
    std::sort(copied.begin(), copied.end());
    return copied;
}

std::vector<std::string> LoadCombinationLines(const std::string& rulesPath) {
    return LoadRules(rulesPath).value_or(std::vector<std::string>{});
}

}  // namespace rendaal
