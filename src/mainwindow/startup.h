#pragma once

#include <string>
#include <vector>

#include "platform/settings_store.h"

// What the main window reads and writes around its life: window settings, the first-run copy
// of the start files and the combination list.
namespace rendaal {

struct WindowSettings {
    int Left = 100;
    int Top = 100;
    int Width = 600;
    int Height = 600;
    bool Blokjes = true;
    bool Apart = true;
    friend bool operator==(const WindowSettings&, const WindowSettings&) = default;
};

// Missing values and values that are not decimal integers read as the defaults.
WindowSettings ReadWindowSettings(const SettingsStore& store);
// Stored as text values ("Left"="100", "Blokjes"="1"); false when the file could not be written.
bool WriteWindowSettings(SettingsStore& store, const WindowSettings& settings);
// Whether both "Width" and "Height" hold usable numbers (a first start has neither).
bool HasStoredSize(const SettingsStore& store);

struct ScreenArea {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const ScreenArea&, const ScreenArea&) = default;
};

// What the main window needs to show its whole panel, and what it likes to have at a first
// start; both are client sizes.
struct WindowSizeLimits {
    int minWidth = 0;
    int minHeight = 0;
    int preferredWidth = 0;
    int preferredHeight = 0;
};

// The main window's client bounds: the stored size (the preferred one when none is stored), no
// smaller than the minimum and no larger than the available area less the frame; then moved so
// the whole frame lies on that area. Any stored number, however absurd, gives a window on it.
ScreenArea PlaceMainWindow(const WindowSettings& stored, bool sizeStored,
                           const WindowSizeLimits& limits, const ScreenArea& available,
                           int frameWidth, int frameHeight);

// Whether the folder holds a file whose name ends in "." + extension (letter case ignored).
bool HasFileWithExtension(const std::string& folder, const std::string& extension);

// Copies every file named *.<extension> of source into target (created when missing), except
// "unins000.dat"; files already in target are left as they are. Returns the names copied.
std::vector<std::string> CopyStartFiles(const std::string& source, const std::string& target,
                                        const std::string& extension);

// The listed lines of the rules file, sorted; empty when it is missing or unreadable.
std::vector<std::string> LoadCombinationLines(const std::string& rulesPath);

}  // namespace rendaal
