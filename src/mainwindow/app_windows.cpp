#include "mainwindow/app_windows.h"

#include <QDialog>

#include "charts/hover.h"
#include "core/clock.h"
#include "dialogs/message_form.h"
#include "dialogs/yesno_dialog.h"
#include "mainwindow/graph_form.h"
#include "mainwindow/main_form.h"
#include "platform/settings_store.h"
#include "settings/options_form.h"
#include "update/versions_form.h"

namespace rendaal {

TGraphForm* GraphForm = nullptr;

namespace {

// Stands in for a window whose work is not part of this build yet.
std::unique_ptr<QWidget> Placeholder(const char* name) {
    auto window = std::make_unique<QDialog>();
    window->setObjectName(name);
    return window;
}

}  // namespace

AppWindows::~AppWindows() {
    // Later windows refer to earlier ones (the main window above all): end them first.
    while (!windows.empty()) {
        windows.pop_back();
    }
}

std::unique_ptr<AppWindows> CreateAppWindows() {
    auto app = std::make_unique<AppWindows>();
    auto mainForm = std::make_unique<TMainForm>();
    TMainForm* main = mainForm.get();
    app->main = main;
    app->windows.push_back(std::move(mainForm));
    app->windows.push_back(Placeholder("AddForm"));
    auto graph = std::make_unique<TGraphForm>();
    GraphForm = graph.get();
    app->windows.push_back(std::move(graph));
    app->windows.push_back(Placeholder("DownloadForm"));
    app->windows.push_back(Placeholder("AboutForm"));
    app->windows.push_back(std::make_unique<TVersionsForm>());
    app->windows.push_back(std::make_unique<TYesNoDlg>());

    OptionsHooks optionHooks;
    optionHooks.mainWindow = main;
    optionHooks.setDownloadTimerEnabled = [main](bool on) {
        if (on) {
            main->DownloadTimer->start();
        } else {
            main->DownloadTimer->stop();
        }
    };
    optionHooks.setDownloadTimerInterval = [main](int ms) { main->DownloadTimer->setInterval(ms); };
    optionHooks.programName = main->ProgramName;
    optionHooks.versionText = main->VersionText;
    app->windows.push_back(std::make_unique<TOptionsForm>(optionHooks));
    app->windows.push_back(std::make_unique<TTerminateForm>());
    app->windows.push_back(std::make_unique<TMessageForm>());

    MainFormHooks hooks;
    hooks.askYes = [main](const QString& caption, const QString& question) {
        bool cancel = false;  // the middle button is not offered
        const QRect r = main->frameGeometry();
        return YesNoDlg->Ask(r.top(), r.left(), r.height(), r.width(), caption, question,
                             QStringLiteral("Ja"), QStringLiteral("Nee"), QStringLiteral("Negeren"),
                             false, cancel);
    };
    hooks.scheduleSettings = [] {
        ScheduleSettings s;
        s.UpdatesOn = OptionsForm->UpdatesOn();
        s.OpruimOn = OptionsForm->OpruimOn();
        s.Days = OptionsForm->Days();
        return s;
    };
    hooks.showOptions = [] { OptionsForm->exec(); };
    hooks.checkAtStart = [](const std::string& program, const std::string& version) {
        VersionsForm->CheckAtStart(program, version);
    };
    main->SetHooks(std::move(hooks));
    return app;
}

}  // namespace rendaal
