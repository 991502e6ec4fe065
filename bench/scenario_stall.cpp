// How long the window's event loop is held up while the "Scenario" window opens on one of many
// long histories, and while the volatility shift changes; how long until its grid shows.
// Usage: scenario_stall [COUNTxROWS] (default 255x2500); run with QT_QPA_PLATFORM=offscreen.
//        scenario_stall --show WxH   the start files' first combination in a WxH window, kept
//                                    open (for screenshots)
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QListWidget>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_histories.h"
#include "core/clock.h"
#include "mainwindow/app_windows.h"
#include "mainwindow/main_form.h"
#include "mainwindow/scenario_form.h"
#include "mainwindow/user_message.h"

namespace {

// Milliseconds of CPU time this thread has used: on a loaded machine the wall clock also counts
// the time other processes had the CPU.
double ThreadCpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    int count = 255;
    int rows = 2500;
    int showW = 0, showH = 0;
    const bool show = argc > 2 && std::string(argv[1]) == "--show";
    if ((show && std::sscanf(argv[2], "%dx%d", &showW, &showH) != 2) ||
        (!show && argc > 1 && std::sscanf(argv[1], "%dx%d", &count, &rows) != 2)) {
        std::fprintf(stderr, "usage: scenario_stall [COUNTxROWS | --show WxH]\n");
        return 2;
    }
    const std::string home = std::filesystem::temp_directory_path().string() + "/scenario-stall-" +
                             std::to_string(::getpid());
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
    if (show) {
        unsetenv("RENDAAL_START_FOLDER");  // the build tree's start files
    } else {
        setenv("RENDAAL_START_FOLDER", (home + "/none").c_str(), 1);
        rendaal::bench::MakeHistories(home + "/data/Rendaal/", count, rows);
    }
    rendaal::FixedClock clock(rendaal::DateTime{2026, 12, 7, 20, 0, 0, 0});
    rendaal::SetAppClock(&clock);

    QApplication app(argc, argv);
    rendaal::SetUserMessageHandler([](const QString& title, const QString& text) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    });
    auto windows = rendaal::CreateAppWindows();
    windows->main->show();
    QListWidget* list = windows->main->ListBox1;
    auto* form = windows->main->findChild<rendaal::TScenarioForm*>();
    auto* action = windows->main->findChild<QAction*>("ScenarioAction");
    if (form == nullptr || action == nullptr) {
        std::fprintf(stderr, "no Scenario window\n");
        return 1;
    }

    QElapsedTimer since;
    since.start();
    qint64 last = 0, worst = 0, opened = -1, shown = -1;
    double lastCpu = ThreadCpuMs(), worstCpu = 0, shiftCpu = 0;
    qint64 shiftWall = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = since.elapsed();
        const double cpu = ThreadCpuMs();
        if (opened >= 0) {
            worst = std::max(worst, now - last);
            worstCpu = std::max(worstCpu, cpu - lastCpu);
        }
        last = now;
        lastCpu = cpu;
        const bool marked = list->count() > 0 && list->item(list->count() - 1)->font().italic();
        if (opened < 0 && marked) {
            list->setCurrentRow(list->count() / 2);
            opened = since.elapsed();
            action->trigger();
            if (!form->Map->Grid().dates.empty()) {
                shown = since.elapsed();
            }
        } else if (opened >= 0 && shown < 0 && !form->Map->Grid().dates.empty()) {
            shown = since.elapsed();
        } else if (shown >= 0 && !show && shiftWall == 0) {
            // Every shift and back, as a user trying them would, each painted.
            const double before = ThreadCpuMs();
            for (const int shift : {-5, 5, 0}) {
                form->ShiftBox->setCurrentIndex(form->ShiftBox->findData(shift));
                form->Map->repaint();
            }
            shiftCpu = ThreadCpuMs() - before;
            shiftWall = std::max<qint64>(1, since.elapsed() - now);
            QTimer::singleShot(300, &app, &QApplication::quit);
        } else if (shown >= 0 && show && !form->Map->hasFocus()) {
            form->move(0, 0);
            form->resize(showW, showH);
            form->Map->setFocus();
            for (const int key : {Qt::Key_Down, Qt::Key_Down, Qt::Key_Right}) {
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                QApplication::sendEvent(form->Map, &press);
            }
        }
    });
    tick.start();
    if (!show) {
        QTimer::singleShot(120000, &app, &QApplication::quit);
    }
    app.exec();
    if (!show) {
        std::printf(
            "%dx%d: longest event-loop stall from Ctrl+E on %lld ms (%.1f ms of the window "
            "thread's CPU); grid shown %lld ms after Ctrl+E; three shifts painted in %lld ms "
            "(%.1f ms CPU)\n",
            count, rows, worst, worstCpu, shown < 0 ? -1LL : shown - opened, shiftWall, shiftCpu);
    }
    windows.reset();
    std::filesystem::remove_all(home);
    return shown < 0 ? 1 : 0;
}
