#include <QApplication>

#include "mainwindow/app_windows.h"
#include "mainwindow/main_form.h"
#include "platform/environment.h"
#include "platform/termination.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Rendaal"));
    rendaal::InitEnvironment();
    auto windows = rendaal::CreateAppWindows();
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
