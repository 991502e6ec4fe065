#include "download/cleanup.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "core/clock.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

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
        // Side files and conflict copies hold dates found nowhere else, of any combination.
        {"Strangle_AEX_1306_00350.00_00360.00.bak.onleesbaar", old},
        {"Strangle_AEX_1306_00350.00_00360.00.bak.onleesbaar.7", old},
        {"Strangle_AEX_1306_00350.00_00360.00.sync-conflict-20261207-120000-ABCDEFG.csv", old},
        {"Strangle_AEX_2703_00880.00_00960.00 (conflicted copy 2026-12-07 120000).bak", old},
        {"Strangle_AEX_2703_00880.00_00960.00_conflict-20261207-120000.csv", old},
        {"Regels (Laptop's conflicted copy 2026-12-07).dat", old},
        {"Rendaal.sync-conflict-20261207-120000-ABCDEFG.reg", old},
        // Temporary files: only the program's own, and only once their writer has ended.
        {"foo.tmp123", old},
        {"backup.tar.tmp42", old},
        {"Regels.dat.tmp123", old},
        {"Strangle_AEX_1306_00350.00_00360.00.csv.tmp77", old},
        {"Strangle_AEX_1306_00350.00_00360.00.csv.tmp123", 2},
    };
    const auto ended = [](long pid) { return pid == 123; };
    auto chosen = FilesToCleanUp(files, 30, kListed, ended);
    std::sort(chosen.begin(), chosen.end());
    EXPECT_EQ(chosen, (std::vector<std::string>{
                          "Regels.dat.tmp123", "Strangle_AEX_1306_00350.00_00360.00.bak",
                          "Strangle_AEX_1306_00350.00_00360.00.csv", "notes.txt", "regels.dat"}));
}

TEST(CleanUp, RulesFileInDoubtRefusesTheCleanUp) {
    const std::string good = kListed[0] + "\r\n";
    const struct {
        const char* name;
        std::function<void(const std::string& path)> make;
        bool refused;
        const char* says = "";
    } cases[] = {
        {"good", [&](const std::string& p) { test::WriteAll(p, good); }, false},
        {"BOM, LF, no last line end",
         [&](const std::string& p) {
             test::WriteAll(p, "\xEF\xBB\xBF" + kListed[0] + "\n" + kListed[1]);
         },
         false},
        {"comments, blank lines",
         [&](const std::string& p) { test::WriteAll(p, ";x\r\n\r\n \r\n" + good); }, false},
        // What is left of a file cut or half overwritten: the lost lines' histories look unused.
        {"good after garbage", [&](const std::string& p) { test::WriteAll(p, "x y\r\n" + good); },
         true, "regel 1 van "},
        {"half garbage",
         [&](const std::string& p) { test::WriteAll(p, "x\r\n" + good + "\x8f\r\n\x01\r\n\xfe"); },
         true, "regels 1, 3, 4, … van "},
        {"two lines garbage",
         [&](const std::string& p) { test::WriteAll(p, "x\n" + good + "y\n"); }, true,
         "regels 1 en 3 van "},
        {"cut last line", [&](const std::string& p) { test::WriteAll(p, good + "AEX 2712 0086"); },
         true},
        {"key cut before the semicolon",
         [&](const std::string& p) { test::WriteAll(p, good + "AEX 2712 00860.00 00Ge;"); }, true},
        {"month 13",
         [&](const std::string& p) { test::WriteAll(p, good + "AEX 2713 00860.00 00Geen;"); },
         true},
        {"unknown series",
         [&](const std::string& p) { test::WriteAll(p, good + "XYZ 2712 00860.00 00Geen;"); },
         true},
        {"UTF-16 save",
         [&](const std::string& p) {
             std::string wide = "\xFF\xFE";
             for (const char c : good) {
                 wide += c;
                 wide += '\0';
             }
             test::WriteAll(p, wide);
         },
         true},
        {"missing", [](const std::string&) {}, true},
        {"empty", [](const std::string& p) { test::WriteAll(p, ""); }, true},
        {"comments only", [](const std::string& p) { test::WriteAll(p, ";AEX 2703 1 2\r\n"); },
         true},
        {"binary",
         [](const std::string& p) {
             std::string bytes;
             for (int i = 0; i < 4096; ++i) {
                 bytes += static_cast<char>((i * 7919) % 256);
             }
             test::WriteAll(p, bytes);
         },
         true},
        {"folder", [](const std::string& p) { std::filesystem::create_directory(p); }, true},
        {"fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, true},
        {"dangling symlink",
         [](const std::string& p) { std::filesystem::create_symlink(p + ".gone", p); }, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string path = dir.folder() + "Regels.dat";
        c.make(path);
        const CleanUpRules rules = ReadCleanUpRules(path);
        EXPECT_EQ(!rules.refusal.empty(), c.refused) << rules.refusal;
        EXPECT_EQ(rules.combinations.empty(), c.refused);
        if (c.refused) {
            EXPECT_NE(rules.refusal.find(path), std::string::npos) << rules.refusal;
            EXPECT_NE(rules.refusal.find(c.says), std::string::npos) << rules.refusal;
        }
    }
}

TEST(CleanUp, ChosenFilesGoToTheTrashOnlyWhenTheRulesAreSound) {
    for (const bool goodRules : {false, true}) {
        SCOPED_TRACE(goodRules);
        test::TempDir dir;
        test::WriteAll(dir.path() / "Regels.dat", goodRules ? kListed[0] + "\r\n" : "\r\n");
        const std::vector<DataFile> files = {{"Strangle_AEX_1306_00350.00_00360.00.csv", 40},
                                             {"Strangle_AEX_2703_00880.00_00960.00.csv", 40},
                                             {"notes.txt", 40}};
        std::vector<std::string> asked;
        const auto outcome =
            CleanUpOldFiles(dir.folder(), files, 30, {}, [&](const std::string& p) {
                asked.push_back(p);
                return p.ends_with(".csv");  // no trash takes the text file
            });
        EXPECT_EQ(outcome.refusal.empty(), goodRules) << outcome.refusal;
        if (goodRules) {
            EXPECT_EQ(asked, (std::vector<std::string>{
                                 dir.folder() + "Strangle_AEX_1306_00350.00_00360.00.csv",
                                 dir.folder() + "notes.txt"}));
            EXPECT_EQ(outcome.trashed,
                      std::vector<std::string>{"Strangle_AEX_1306_00350.00_00360.00.csv"});
            EXPECT_EQ(outcome.kept, std::vector<std::string>{"notes.txt"});
        } else {
            EXPECT_TRUE(asked.empty());
        }
    }
}

TEST(CleanUp, ListsRegularFilesWithTheirAge) {
    test::TempDir dir;
    const DateTime now{2026, 12, 7, 9, 30, 0, 0};
    const std::time_t nowT = FromLocalDateTime(now);
    const std::string name = "Strangle_AEX_1306_00350.00_00360.00.csv";
    test::WriteAll(dir.path() / name, "x");
    const timespec times[2] = {{nowT - 900 * 86400, 0}, {nowT - 900 * 86400, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir.folder() + name).c_str(), times, 0), 0);
    std::filesystem::create_directory(dir.path() / "Temp");
    ASSERT_EQ(::mkfifo((dir.folder() + "pipe").c_str(), 0600), 0);
    const auto listed = ListDataFiles(dir.folder(), now);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_NEAR(listed[0].ageDays, 900, 1e-6);
    EXPECT_TRUE(ListDataFiles("/nonexistent/rendaal/", now).empty());
}

}  // namespace
}  // namespace rendaal
