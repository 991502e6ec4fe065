#pragma once

#include <QWidget>
#include <memory>
#include <vector>

namespace rendaal {

class TMainForm;

// The program's ten windows, created in their fixed order and living until the program ends.
struct AppWindows {
    std::vector<std::unique_ptr<QWidget>> windows;  // in creation order
    TMainForm* main = nullptr;
    ~AppWindows();
};

// What the desktop shows for the program: the desktop entry's name (so the window is matched
// with its menu entry) and Qt's own buttons and dialogs in Dutch, as the program speaks. Returns
// whether Qt's Dutch texts were found. The window icon (the installed theme's, else the built-in
// one) follows the main window's first frame (CreateAppWindows).
bool SetUpDesktopIdentity();
inline constexpr const char* kDesktopFileName = "nl.rendaal.Rendaal";

enum class SecondaryWindows {
    Now,
    // Made when the main window's first frame is on the screen, before that frame's work (the
    // first chart and download): together they cost about as much as that frame.
    AfterFirstFrame,
};

// Creates TMainForm, TAddForm, TGraphForm, TDownloadForm, TAboutForm, TVersionsForm, TYesNoDlg,
// TOptionsForm, TTerminateForm and TMessageForm, each running its creation work, then connects
// the main window to the others; the program's icon is set after the main window's first frame.
std::unique_ptr<AppWindows> CreateAppWindows(SecondaryWindows when = SecondaryWindows::Now);

}  // namespace rendaal
