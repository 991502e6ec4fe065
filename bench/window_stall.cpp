// How long the main window's event loop is held up while it starts on many long histories, and
// how long until the list shows its stale marks.
// Usage: window_stall [COUNTxROWS] (default 255x10000); run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_histories.h"
#include "core/calendar.h"
#include "core/clock.h"
#include "core/market_hours.h"
#include "mainwindow/app_windows.h"
#include "mainwindow/main_form.h"
#include "mainwindow/user_message.h"

int main(int argc, char** argv) {
    int count = 255;
    int rows = 10000;
    if (argc > 1 && std::sscanf(argv[1], "%dx%d", &count, &rows) != 2) {
        std::fprintf(stderr, "usage: window_stall [COUNTxROWS]\n");
        return 2;
    }
    const std::string home = std::filesystem::temp_directory_path().string() + "/window-stall-" +
                             std::to_string(::getpid());
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    setenv("RENDAAL_START_FOLDER", (home + "/none").c_str(), 1);
    rendaal::bench::MakeHistories(home + "/data/Rendaal/", count, rows);
    // Monday evening: every history ends on Friday, so every line gets a stale mark.
    rendaal::FixedClock clock(rendaal::DateTime{2026, 12, 7, 20, 0, 0, 0});
    rendaal::SetAppClock(&clock);

    QApplication app(argc, argv);
    // A message box would hold the start-up up; what it says is shown instead.
    rendaal::SetUserMessageHandler([](const QString& title, const QString& text) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    });
    QElapsedTimer since;
    since.start();
    auto windows = rendaal::CreateAppWindows();
    const qint64 built = since.elapsed();
    windows->main->show();
    const qint64 shown = since.elapsed();

    qint64 last = since.elapsed();
    qint64 worst = 0;
    qint64 marked = -1;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = since.elapsed();
        worst = std::max(worst, now - last);
        last = now;
        QListWidget* list = windows->main->ListBox1;
        if (marked < 0 && list->count() > 0 && list->item(list->count() - 1)->font().italic()) {
            marked = now;
            QTimer::singleShot(200, &app, &QApplication::quit);
        }
    });
    tick.start();
    QTimer::singleShot(60000, &app, &QApplication::quit);
    app.exec();
    std::printf(
        "%dx%d: window built in %lld ms, shown at %lld ms; longest event-loop stall %lld ms; "
        "marks after %lld ms\n",
        count, rows, built, shown, worst, marked < 0 ? -1LL : marked - shown);
    windows.reset();
    std::filesystem::remove_all(home);
    return marked < 0 ? 1 : 0;
}
