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

// Creates TMainForm, TAddForm, TGraphForm, TDownloadForm, TAboutForm, TVersionsForm, TYesNoDlg,
// TOptionsForm, TTerminateForm and TMessageForm, each running its creation work, then connects
// the main window to the others.
std::unique_ptr<AppWindows> CreateAppWindows();

}  // namespace rendaal
