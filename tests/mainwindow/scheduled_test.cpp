#include "mainwindow/scheduled.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "core/clock.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

// 7 December 2026 is a Monday.
DateTime At(int day, int hour, int minute) {
    return {2026, 12, day, hour, minute, 0, 0};
}

TEST(DownloadTick, DecisionTable) {
    const Date monday{2026, 12, 7};
    const struct {
        const char* name;
        DateTime now;
        std::optional<Date> closingRun;
        bool run;
    } cases[] = {
        {"saturday midday", At(5, 12, 0), std::nullopt, false},
        {"sunday midday", At(6, 12, 0), std::nullopt, false},
        {"saturday after close", At(5, 18, 0), std::nullopt, false},
        {"sunday 09:00", At(6, 9, 0), std::nullopt, false},
        {"monday 08:59", At(7, 8, 59), std::nullopt, false},
        {"monday 00:00", At(7, 0, 0), std::nullopt, false},
        {"monday 09:00", At(7, 9, 0), std::nullopt, true},
        {"monday 12:30", At(7, 12, 30), std::nullopt, true},
        {"monday 17:34", At(7, 17, 34), std::nullopt, true},
        {"monday 17:34 after an evening run", At(7, 17, 34), monday, true},
        {"monday 17:35 first after close", At(7, 17, 35), std::nullopt, true},
        {"monday 17:35 closing run done", At(7, 17, 35), monday, false},
        {"monday 17:36 first after close", At(7, 17, 36), std::nullopt, true},
        {"monday 17:36 closing run done", At(7, 17, 36), monday, false},
        {"monday 23:59 closing run done", At(7, 23, 59), monday, false},
        {"friday 17:40, closing run was thursday", At(11, 17, 40), Date{2026, 12, 10}, true},
        {"friday 17:40, closing run done", At(11, 17, 40), Date{2026, 12, 11}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShouldDownloadOnTick(c.now, c.closingRun), c.run) << c.name;
    }
}

TEST(DownloadTick, WorkingDaysAndClose) {
    for (int day = 5; day <= 11; ++day) {
        EXPECT_EQ(IsWorkingDay({2026, 12, day}), day >= 7) << day;
    }
    EXPECT_FALSE(IsAfterClose(At(7, 17, 34)));
    EXPECT_TRUE(IsAfterClose(At(7, 17, 35)));
}

const std::vector<std::string> kListed = {
    "AEX 2703 00880.00 00960.00; Put: mrt 2027 880.00; Call: mrt 2027 960.00; Strangle",
    "AEX 2712 00860.00 00Geen; Put: dec 2027 860.00; Call: dec 2027 Geen; Single",
};

TEST(CleanUp, ChoosesOldFilesButKeepsWhatIsInUse) {
    const double old = 30 + 1.0 / 24;
    const std::vector<DataFile> files = {
        {"Strangle_AEX_1306_00350.00_00360.00.csv", old},
        {"Strangle_AEX_1306_00350.00_00360.00.bak", old},
        {"Straddle_AEX_2606_00900.00_00900.00.csv", 29},
        {"Straddle_AEX_2606_00900.00_00900.00.bak", 30},  // exactly the limit stays
        {"Regels.dat", 400},
        {"Strangle_AEX_2703_00880.00_00960.00.csv", 400},
        {"Strangle_AEX_2703_00880.00_00960.00.bak", 400},
        {"Single_AEX_2712_00860.00_00Geen.csv", 400},
        {"Single_AEX_2712_00860.00_00Geen.bak", 400},
        {"Rendaal.reg", 400},
        {"download.lock", 400},
        {"Download.lock", 400},
        {"regels.dat", old},
        {"notes.txt", old},
    };
    auto chosen = FilesToCleanUp(files, 30, kListed);
    std::sort(chosen.begin(), chosen.end());
    EXPECT_EQ(chosen, (std::vector<std::string>{"Strangle_AEX_1306_00350.00_00360.00.bak",
                                                "Strangle_AEX_1306_00350.00_00360.00.csv",
                                                "notes.txt", "regels.dat"}));
}

TEST(CleanUp, DeletesFilesByTheirModificationTime) {
    test::TempDir dir;
    const DateTime now{2026, 12, 7, 9, 30, 0, 0};
    const std::time_t nowT = FromLocalDateTime(now);
    auto make = [&](const std::string& name, std::time_t mtime) {
        test::WriteAll(dir.path() / name, "x");
        const timespec times[2] = {{mtime, 0}, {mtime, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir.folder() + name).c_str(), times, 0), 0);
    };
    const std::time_t day = 24 * 3600;
    make("Strangle_AEX_1306_00350.00_00360.00.csv", nowT - 30 * day - 3600);
    make("Straddle_AEX_2606_00900.00_00900.00.csv", nowT - 29 * day);
    make("Regels.dat", nowT - 900 * day);
    make("Strangle_AEX_2703_00880.00_00960.00.csv", nowT - 900 * day);
    make("Strangle_AEX_2703_00880.00_00960.00.bak", nowT - 900 * day);
    std::filesystem::create_directory(dir.path() / "Temp");

    const auto deleted = CleanUpOldFiles(dir.folder(), 30, kListed, now);
    EXPECT_EQ(deleted, std::vector<std::string>{"Strangle_AEX_1306_00350.00_00360.00.csv"});
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Strangle_AEX_1306_00350.00_00360.00.csv"));
    for (const char* kept : {"Straddle_AEX_2606_00900.00_00900.00.csv", "Regels.dat",
                             "Strangle_AEX_2703_00880.00_00960.00.csv",
                             "Strangle_AEX_2703_00880.00_00960.00.bak", "Temp"}) {
        EXPECT_TRUE(std::filesystem::exists(dir.path() / kept)) << kept;
    }
    const auto listed = ListDataFiles(dir.folder(), now);
    ASSERT_EQ(listed.size(), 4u);  // the folder is not a file
    EXPECT_NEAR(listed[0].ageDays, 900, 1e-6);
}

TEST(CleanUp, MissingFolderListsNothing) {
    EXPECT_TRUE(ListDataFiles("/nonexistent/rendaal/", {2026, 12, 7, 0, 0, 0, 0}).empty());
    EXPECT_TRUE(
        CleanUpOldFiles("/nonexistent/rendaal/", 20, {}, {2026, 12, 7, 0, 0, 0, 0}).empty());
}

}  // namespace
}  // namespace rendaal
