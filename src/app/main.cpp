#include <QApplication>

#include "mainwindow/app_windows.h"
#include "mainwindow/main_form.h"
#include "platform/environment.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Rendaal"));
    rendaal::InitEnvironment();
    auto windows = rendaal::CreateAppWindows();
    windows->main->show();
    const int code = app.exec();
    windows.reset();
    return code;
}
