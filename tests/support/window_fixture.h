#pragma once

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/clock.h"
#include "core/fileio.h"
#include "mainwindow/main_form.h"
#include "platform/shell.h"
#include "support/test_support.h"

// The main window's tests: a home of their own, a start folder with the help page, a fixed clock,
// and the messages and opened addresses captured.
namespace rendaal::test {

inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

inline void Wait(int ms) {
    WaitFor([] { return false; }, ms);
}

inline std::string Rules(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line + "\r\n";
    }
    return text;
}

class WindowFixture : public ::testing::Test {
protected:
    WindowFixture() {
        SetAppClock(&clock_);
        std::filesystem::create_directories(start_dir_.path() / "help");
        WriteAll(start_dir_.path() / "help" / "rendaal.html", "<html></html>");
        SetUserMessageHandler([this](const QString& caption, const QString& text) {
            messages_.push_back((caption + "|" + text).toStdString());
        });
        SetUrlOpener([this](const std::string& url) {
            opened_.push_back(url);
            return openerWorks_;
        });
    }
    ~WindowFixture() override {
        SetAppClock(nullptr);
        SetUserMessageHandler(nullptr);
        SetUrlOpener(nullptr);
        SetFaultHook(nullptr);
    }

    std::string DataFolder() const { return root_.folder() + "data/Rendaal/"; }
    std::string SettingsPath() const { return root_.folder() + "config/Rendaal/Rendaal.reg"; }
    void WriteRules(const std::vector<std::string>& lines) const {
        std::filesystem::create_directories(DataFolder());
        WriteAll(DataFolder() + "Regels.dat", Rules(lines));
    }
    void WriteSettings(const std::string& defaults) const {
        std::filesystem::create_directories(root_.path() / "config" / "Rendaal");
        WriteAll(SettingsPath(),
                 "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults]\r\n" + defaults);
    }

    // Until the first paint's work, download included, is done.
    static void ShowAndPaint(TMainForm* main) {
        main->show();
        ASSERT_TRUE(WaitFor([main] { return main->FirstPaintDone && main->HoverReady; }));
        Wait(50);
    }

    TempDir root_;
    TempDir start_dir_;
    ScopedEnv home_{"HOME", root_.folder()};
    ScopedEnv config_{"XDG_CONFIG_HOME", root_.folder() + "config"};
    ScopedEnv data_{"XDG_DATA_HOME", root_.folder() + "data"};
    ScopedEnv start_{"RENDAAL_START_FOLDER", start_dir_.folder()};
    FixedClock clock_{DateTime{2026, 12, 7, 10, 0, 0, 0}};
    std::vector<std::string> messages_;
    std::vector<std::string> opened_;
    bool openerWorks_ = true;
};

}  // namespace rendaal::test
