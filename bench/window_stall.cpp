// How long the main window's event loop is held up while it starts on many long histories, and
// how long until the list shows its stale marks.
// Usage: window_stall [COUNTxROWS] (default 255x10000); run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QListWidget>
#include <QTimer>

#include <unistd.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "core/calendar.h"
#include "core/clock.h"
#include "core/market_hours.h"
#include "mainwindow/app_windows.h"
#include "mainwindow/main_form.h"
#include "mainwindow/user_message.h"

namespace {

std::string Money(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    s[s.find('.')] = ',';
    return s;
}

// COUNT strangle histories of ROWS weekday lines ending Friday 4-12-2026, and their rules file.
void MakeHistories(const std::string& folder, int count, int rows) {
    std::filesystem::create_directories(folder);
    std::vector<rendaal::Date> days;
    for (int64_t d = rendaal::DayNumber(rendaal::Date{2026, 12, 4});
         static_cast<int>(days.size()) < rows; --d) {
        const rendaal::Date date = rendaal::FromDayNumber(d);
        if (rendaal::IsWorkingDay(date)) {
            days.insert(days.begin(), date);
        }
    }
    static const char* months[] = {"jan", "feb", "mrt", "apr", "mei", "jun",
                                   "jul", "aug", "sep", "okt", "nov", "dec"};
    std::mt19937 random(3);
    std::normal_distribution<double> step(0, 0.01);
    std::string rules;
    for (int i = 0; i < count; ++i) {
        const int y = 2027 + i / 120;
        const int m = std::array{3, 6, 9, 12}[static_cast<size_t>((i / 30) % 4)];
        const int put = 700 + (i % 30) * 10;
        const int call = put + 100;
        char line[200];
        std::snprintf(line, sizeof line,
                      "AEX %02d%02d %08.2f %08.2f; Put: %s %d %.2f; Call: %s %d %.2f; Strangle\r\n",
                      y % 100, m, double(put), double(call), months[m - 1], y, double(put),
                      months[m - 1], y, double(call));
        rules += line;
        char name[100];
        std::snprintf(name, sizeof name, "Strangle_AEX_%02d%02d_%08.2f_%08.2f.csv", y % 100, m,
                      double(put), double(call));
        std::string text = "Datum; Put; Call; Som; AEX\r\n";
        double aex = 900;
        for (const auto& d : days) {
            aex *= 1 + step(random);
            const double p = std::max(0.05, put - aex + 25);
            const double c = std::max(0.05, aex - call + 25);
            char row[120];
            std::snprintf(row, sizeof row, "%02d-%02d-%04d 17:35:00; ", d.day, d.month, d.year);
            text +=
                row + Money(p) + "; " + Money(c) + "; " + Money(p + c) + "; " + Money(aex) + "\r\n";
        }
        std::ofstream(folder + name, std::ios::binary) << text;
    }
    std::ofstream(folder + "Regels.dat", std::ios::binary) << rules;
}

}  // namespace

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
    MakeHistories(home + "/data/Rendaal/", count, rows);
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
