#include <QApplication>
#include <cstdio>

#include "mainwindow/app_windows.h"
#include "mainwindow/main_form.h"
#include "platform/app_paths.h"
#include "platform/environment.h"
#include "platform/single_instance.h"
#include "platform/termination.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Rendaal"));
    rendaal::InitEnvironment();

    // Two windows on one data folder would each write the rules file from their own list, and a
    // deletion made in one would come back from the other.
    const std::string dataFolder = rendaal::DataFolderFor("Rendaal");
    rendaal::SingleInstance instance(dataFolder);
    if (!instance.Claim()) {
        const bool shown = instance.AskRunningToShow();
        std::fprintf(stderr, "Rendaal draait al voor %s%s\n", dataFolder.c_str(),
                     shown ? "; dat venster staat nu vooraan." : ", maar antwoordt niet.");
        return shown ? 0 : 1;
    }
    if (!instance.Problem().isEmpty()) {
        std::fprintf(stderr, "Rendaal: een tweede start vindt dit venster niet (%s)\n",
                     instance.Problem().toLocal8Bit().constData());
    }

    rendaal::SetUpDesktopIdentity();
    auto windows = rendaal::CreateAppWindows(rendaal::SecondaryWindows::AfterFirstFrame);
    QObject::connect(&instance, &rendaal::SingleInstance::ShowRequested, windows->main,
                     &rendaal::TMainForm::BringToFront);
    windows->main->show();
    // Ending by a signal closes the window as the user would, so the settings are kept.
    rendaal::HandleTerminationSignals([main = windows->main] {
        main->close();
        QApplication::quit();
    });
    const int code = app.exec();
    windows.reset();
    return code;
}
