// The program starts on damaged files, shows what it can and keeps the best surviving copy.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/regfile.h"
#include "history/history_file.h"
#include "mainwindow/app_windows.h"
#include "mainwindow/main_form.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;

const std::string kLine =
    "AEX 2612 00945.00 00945.00; Put: dec 2026 945.00; Call: dec 2026 945.00; Straddle";
const std::string kGoodHistory = std::string(kHistoryHeader) +
                                 "\r\n03-12-2026 17:35:00; 12,35; 08,40; 20,75; 949,86\r\n"
                                 "04-12-2026 17:35:00; 12,30; 08,45; 20,75; 950,10\r\n";

std::string Garbage(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(random());
    }
    return bytes;
}

class DamagedStart : public ::testing::Test {
protected:
    DamagedStart()
        : home_("HOME", root_.folder()),
          config_("XDG_CONFIG_HOME", root_.folder() + "config"),
          data_("XDG_DATA_HOME", root_.folder() + "data"),
          start_("RENDAAL_START_FOLDER", startFiles_.folder()),
          clock_(DateTime{2026, 12, 7, 10, 0, 0, 0}) {
        SetAppClock(&clock_);
        SetUserMessageHandler([this](const QString&, const QString& text) {
            messages_.push_back(text.toStdString());
        });
        fs::create_directories(Data());
        fs::create_directories(root_.path() / "config" / "Rendaal");
    }
    ~DamagedStart() override {
        SetAppClock(nullptr);
        SetUserMessageHandler(nullptr);
    }
    std::string Data() const { return root_.folder() + "data/Rendaal/"; }
    std::string Settings() const { return root_.folder() + "config/Rendaal/Rendaal.reg"; }

    test::TempDir root_;
    test::TempDir startFiles_;
    test::ScopedEnv home_, config_, data_, start_;
    FixedClock clock_;
    std::vector<std::string> messages_;
};

TEST_F(DamagedStart, GarbageRulesAndSettingsStartWithDefaultsAndDrawEveryLine) {
    std::string rules = Garbage(4096, 1);
    rules += "\r\n../../etc/passwd; x\r\n" + std::string(5000, 'A') + "\r\n" + kLine + "\r\n";
    test::WriteAll(Data() + "Regels.dat", rules);
    test::WriteAll(Settings(),
                   "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults]\r\n"
                   "\"Aantal jaren\"=dword:zz\r\n\"Left\"=\"unterminated\r\n" +
                       Garbage(300, 2));
    test::WriteAll(Data() + HistoryFileName(kLine), kGoodHistory);
    {
        auto app = CreateAppWindows();
        ASSERT_NE(MainForm, nullptr);
        const auto lines = MainForm->Combinations();
        EXPECT_NE(std::find(lines.begin(), lines.end(), kLine), lines.end());
        for (int i = 0; i < MainForm->ListBox1->count(); ++i) {
            MainForm->ListBox1->setCurrentRow(i);
            MainForm->ShowSelected();
            EXPECT_FALSE(MainForm->ChartImage().isNull());
        }
        // Nothing outside the data folder was created or read as a history file.
        EXPECT_FALSE(fs::exists(root_.path() / "etc"));
        // Starting does not rewrite the rules file.
        EXPECT_EQ(test::ReadAll(Data() + "Regels.dat"), rules);
    }
    // Closing wrote the settings afresh: a file that reads again.
    const auto settings = ReadFile(Settings());
    ASSERT_TRUE(settings);
    ASSERT_TRUE(RegFile::Parse(*settings));
    EXPECT_EQ(RegFile::Parse(*settings)->Serialize(), *settings);
}

// A settings file in a form it did not know was read as empty and replaced at close; a FIFO in
// its place hung the window.
TEST_F(DamagedStart, SettingsItCannotReadAreToldOnceAndNeverReplaced) {
    const std::string bad = "Windows Registry Editor Version 6.00\r\n" + Garbage(200, 5);
    for (const bool fifo : {false, true}) {
        SCOPED_TRACE(fifo ? "fifo" : "unparsable");
        fs::remove(Settings());
        fs::remove(Settings() + ".bad");
        if (fifo) {
            ASSERT_EQ(::mkfifo(Settings().c_str(), 0600), 0);
        } else {
            test::WriteAll(Settings(), bad);
        }
        messages_.clear();
        const auto told = [this] {
            return std::count_if(messages_.begin(), messages_.end(), [this](const std::string& m) {
                return m.find(Settings()) != std::string::npos;
            });
        };
        for (int start = 0; start < 2; ++start) {
            auto app = CreateAppWindows();
            ASSERT_NE(MainForm, nullptr);
        }
        if (fifo) {
            EXPECT_EQ(told(), 2);  // nothing could be written, so each start says it again
            EXPECT_EQ(fs::status(Settings()).type(), fs::file_type::fifo);
        } else {
            EXPECT_EQ(told(), 1);
            EXPECT_EQ(test::ReadAll(Settings() + ".bad"), bad);
            EXPECT_TRUE(RegFile::Parse(test::ReadAll(Settings())));
        }
    }
}

TEST_F(DamagedStart, DamagedHistoryAndBackupAreShownAndLeftAsTheyAre) {
    test::WriteAll(Data() + "Regels.dat", kLine + "\r\n");
    const std::string history = Data() + HistoryFileName(kLine);
    const std::string backup = Data() + BackupFileName(HistoryFileName(kLine));
    const std::string damaged = kGoodHistory.substr(0, 60) + Garbage(2000, 3);
    const std::string damagedBackup = Garbage(100, 4);
    test::WriteAll(history, damaged);
    test::WriteAll(backup, damagedBackup);
    {
        auto app = CreateAppWindows();
        ASSERT_NE(MainForm, nullptr);
        ASSERT_EQ(MainForm->Combinations(), std::vector<std::string>{kLine});
        MainForm->ListBox1->setCurrentRow(0);
        MainForm->ShowSelected();
        EXPECT_FALSE(MainForm->ChartImage().isNull());
    }
    EXPECT_EQ(test::ReadAll(history), damaged);
    EXPECT_EQ(test::ReadAll(backup), damagedBackup);
}

// Compaction copied whatever the file held over the backup, so one append to a damaged file
// destroyed the last good copy.
TEST(DamagedHistory, DamagedHistoryFileDoesNotReplaceAGoodBackup) {
    test::TempDir dir;
    const std::string name = HistoryFileName(kLine);
    const std::string backup = dir.folder() + BackupFileName(name);
    const std::string damaged[] = {
        Garbage(500, 5),
        "Datum; Put; Call; Som; AEX\r\n" + Garbage(500, 6),
        "no header at all\r\nstill nothing\r\n",
        std::string(kHistoryHeader) +
            std::string("\r\n04-12-2026 17:35:00; 12,30\0; 08,45\r\n", 38),
    };
    for (const auto& text : damaged) {
        test::WriteAll(dir.folder() + name, text);
        test::WriteAll(backup, kGoodHistory);
        for (int append = 0; append < 3; ++append) {
            const auto result =
                AppendHistoryLine(dir.folder(), name, "; 12,00; 08,00", "950,00", 20.0,
                                  DateTime{2026, 12, 7, 10 + append, 0, 0, 0});
            EXPECT_TRUE(result.ok) << result.error;
            // The first append rebuilds the file from the backup, which then holds all it held.
            EXPECT_EQ(test::ReadAll(backup).substr(0, kGoodHistory.size()), kGoodHistory);
            EXPECT_EQ(result.note.empty(), append > 0) << result.note;
        }
        // The backup's lines and the new line are kept in the file itself.
        const std::string file = test::ReadAll(dir.folder() + name);
        EXPECT_EQ(file.substr(0, kGoodHistory.size()), kGoodHistory);
        EXPECT_NE(file.find("07-12-2026 12:00:00; 12,00; 08,00"), std::string::npos);
    }
    // A good file still refreshes its backup at every compaction.
    test::WriteAll(dir.folder() + name, kGoodHistory);
    test::WriteAll(backup, Garbage(50, 7));
    ASSERT_TRUE(AppendHistoryLine(dir.folder(), name, "; 12,00; 08,00", "950,00", 20.0,
                                  DateTime{2026, 12, 7, 10, 0, 0, 0})
                    .ok);
    EXPECT_EQ(test::ReadAll(backup).substr(0, kGoodHistory.size()), kGoodHistory);
}

}  // namespace
}  // namespace rendaal
