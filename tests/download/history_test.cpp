#include "download/history.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <set>

#include "core/fileio.h"
#include "core/text.h"
#include "download/file_copy.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

using test::ReadAll;
using test::TempDir;
using test::WriteAll;
namespace fs = std::filesystem;

TEST(TradingStamp, WeekendsAndEarlyMornings) {
    struct Case {
        const char* name;
        DateTime now;
        const char* text;
    };
    // 15 December 2008 is a Monday.
    const Case cases[] = {
        {"Saturday 14:00", {2008, 12, 20, 14, 0, 0, 0}, "19-12-2008 14:00:00"},
        {"Sunday 10:00", {2008, 12, 21, 10, 0, 0, 0}, "19-12-2008 10:00:00"},
        {"Wednesday 08:59", {2008, 12, 17, 8, 59, 0, 0}, "16-12-2008 17:35:00"},
        {"Monday 08:00", {2008, 12, 15, 8, 0, 0, 0}, "15-12-2008 8:00:00"},
        {"Saturday 08:00", {2008, 12, 20, 8, 0, 0, 0}, "19-12-2008 17:35:00"},
        {"Tuesday 09:00 exactly", {2008, 12, 16, 9, 0, 0, 0}, "16-12-2008 9:00:00"},
        {"Tuesday 08:59:59", {2008, 12, 16, 8, 59, 59, 0}, "15-12-2008 17:35:00"},
        {"Sunday 08:00", {2008, 12, 21, 8, 0, 0, 0}, "19-12-2008 8:00:00"},
        {"midnight on a Friday", {2008, 12, 19, 0, 0, 0, 0}, "18-12-2008 17:35:00"},
        {"midnight on a Monday", {2008, 12, 15, 0, 0, 0, 0}, "15-12-2008"},
        {"Tuesday 1 January 09:30", {2008, 1, 1, 9, 30, 0, 0}, "01-01-2008 9:30:00"},
        {"Wednesday 2 January 07:00", {2008, 1, 2, 7, 0, 0, 0}, "01-01-2008 17:35:00"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatHistoryStamp(TradingStamp(c.now)), c.text) << c.name;
    }
}

TEST(HistoryLine, LeadingZerosAndSum) {
    const std::pair<double, const char*> soms[] = {
        {5.2, "05,20"},
        {123.456, "123,46"},
        {5.85, "05,85"},
        {0.004, "00,00"},
        {10, "10,00"},
        {100100, "100100,00"},
        {10000000064.0, "10000000064,00"},  // was cut to "10000000064,"
    };
    for (const auto& [som, text] : soms) {
        EXPECT_EQ(SomText(som), text) << som;
    }
    EXPECT_EQ(WithLeadingZero("5,20"), "05,20");
    EXPECT_EQ(WithLeadingZero("0.0"), "00.0");
    EXPECT_EQ(WithLeadingZero("12,35"), "12,35");
    EXPECT_EQ(HistoryLine({2008, 12, 19, 17, 35, 0, 0}, "; 05,20; 00,65", " 512,34", 5.85),
              "19-12-2008 17:35:00; 05,20; 00,65; 05,85;  512,34");
    // Only a level goes into the index column; a line break or ";" from a page would break the
    // line, a huge number the next request window.
    for (const char* index :
         {"\n512,34\r", "911;37", "9e15", "-1", "NaN", "9000000000000000,00", "512,34\t", ""}) {
        EXPECT_EQ(HistoryLine({2008, 12, 19, 17, 35, 0, 0}, "; 05,20; 00.0", index, 5.2),
                  "19-12-2008 17:35:00; 05,20; 00.0; 05,20; ")
            << index;
    }
}

TEST(BackupFileName, ReplacesFromTheLastDot) {
    EXPECT_EQ(BackupFileName("Straddle_AEX_0812_00400.00_00400.00.csv"),
              "Straddle_AEX_0812_00400.00_00400.00.bak");
    EXPECT_EQ(BackupFileName("noext"), "noext.bak");
}

class HistoryFiles : public ::testing::Test {
protected:
    void TearDown() override { SetFaultHook(nullptr); }
    std::string Path() const { return dir.folder() + name; }
    std::string Backup() const { return dir.folder() + BackupFileName(name); }
    HistoryWriteResult Append(const DateTime& now, const char* put = "12,35") {
        return AppendHistoryLine(dir.folder(), name, std::string("; ") + put + "; 10,00", " 512,34",
                                 ParseNumber(put) + 10, now);
    }
    TempDir dir;
    std::string name = "Strangle_AEX_0812_00400.00_00420.00.csv";
};

TEST_F(HistoryFiles, FirstDownloadCreatesHeaderLineAndIdenticalBackup) {
    ASSERT_TRUE(Append({2008, 12, 19, 17, 40, 0, 0}).ok);
    EXPECT_EQ(
        ReadAll(Path()),
        "Datum; Put; Call; Som; AEX\r\n19-12-2008 17:40:00; 12,35; 10,00; 22,35;  512,34\r\n");
    EXPECT_EQ(ReadAll(Backup()), ReadAll(Path()));
}

TEST_F(HistoryFiles, SecondDownloadOfADayReplacesTheFirstAndTheBackupHasBoth) {
    ASSERT_TRUE(Append({2008, 12, 19, 12, 0, 0, 0}, "11,00").ok);
    ASSERT_TRUE(Append({2008, 12, 19, 17, 40, 0, 0}, "12,35").ok);
    EXPECT_EQ(
        ReadAll(Path()),
        "Datum; Put; Call; Som; AEX\r\n19-12-2008 17:40:00; 12,35; 10,00; 22,35;  512,34\r\n");
    const std::string backup = ReadAll(Backup());
    EXPECT_NE(backup.find("12:00:00; 11,00"), std::string::npos);
    EXPECT_NE(backup.find("17:40:00; 12,35"), std::string::npos);
}

TEST_F(HistoryFiles, OnlyConsecutiveLinesOfADateMerge) {
    WriteAll(Path(),
             "Datum; Put; Call; Som; AEX\r\n"
             "01-04-2008 10:00:00; 1,00; 1,00; 02,00; 500\r\n"
             "02-04-2008 10:00:00; 2,00; 1,00; 03,00; 500\r\n"
             "01-04-2008 11:00:00; 3,00; 1,00; 04,00; 500\r\n");
    ASSERT_TRUE(CompactHistoryFile(dir.folder(), name));
    EXPECT_EQ(SplitLines(ReadAll(Path())).size(), 4u);
    ASSERT_TRUE(Append({2008, 4, 1, 17, 0, 0, 0}).ok);
    const auto lines = SplitLines(ReadAll(Path()));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1].substr(0, 10), "01-04-2008");
    EXPECT_EQ(lines[2].substr(0, 10), "02-04-2008");
    EXPECT_EQ(lines[3].substr(0, 19), "01-04-2008 17:00:00");
}

TEST_F(HistoryFiles, CompactionKeepsEveryLineItDoesNotMerge) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> kept;
    };
    const Case cases[] = {
        {"no header",
         "01-04-2008 10:00:00; 1,00; 1,00; 02,00; 500\n02-04-2008 10:00:00; 2,00; 1,00; 03,00; "
         "500\n",
         {"01-04-2008 10:00:00; 1,00; 1,00; 02,00; 500",
          "02-04-2008 10:00:00; 2,00; 1,00; 03,00; 500"}},
        {"garbage lines, LF and CR ends, no final line end",
         "Datum; Put; Call; Som; AEX\n\x01\xff garbage\rnospace\nnospace\n"
         "02-04-2008 10:00:00; 2,00\n02-04-2008 11:00:00; 3,00",
         {"\x01\xff garbage", "nospace", "nospace", "02-04-2008 11:00:00; 3,00"}},
        {"midnight lines merge by their own key",
         "Datum; Put; Call; Som; AEX\r\n03-04-2008; 1,00\r\n03-04-2008; 2,00\r\n",
         {"03-04-2008; 2,00"}},
        {"empty file", "", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CompactHistoryLines(c.text), c.kept) << c.name;
    }
    // Appending to a file without a final line end starts a line of its own.
    WriteAll(Path(), "Datum; Put; Call; Som; AEX\r\n01-04-2008 10:00:00; 1,00; 1,00; 02,00; 500");
    ASSERT_TRUE(Append({2008, 4, 2, 10, 0, 0, 0}).ok);
    EXPECT_EQ(SplitLines(ReadAll(Path())).size(), 3u);
}

// A file deleted or emptied by the user, a sync tool or a full disk made the next append replace
// a good backup of 100 lines by a one-line file.
TEST_F(HistoryFiles, LostOrDamagedFileIsRebuiltFromItsBackup) {
    const std::string good = std::string(kHistoryHeader) +
                             "\r\n01-12-2008 17:35:00; 10,00; 10,00; 20,00;  500,00\r\n"
                             "02-12-2008 17:35:00; 11,00; 10,00; 21,00;  501,00\r\n"
                             "03-12-2008 17:35:00; 12,00; 10,00; 22,00;  502,00\r\n";
    const std::string newLine = "04-12-2008 17:40:00; 12,35; 10,00; 22,35;  512,34\r\n";
    struct Case {
        const char* name;
        std::optional<std::string> file;  // empty: no file
        const char* note;                 // how the note names the damage
        std::string kept;                 // a line of the damaged file the backup lacks
    };
    const Case cases[] = {
        {"missing", std::nullopt, "verdwenen", ""},
        {"empty", "", "leeg", ""},
        {"cut inside a line", good.substr(0, good.size() - 20), "beschadigd", ""},
        {"cut after a line", good.substr(0, good.find("02-12")), "beschadigd", ""},
        {"damaged header", "Datum; Pu\x01\r\n" + good.substr(good.find("01-12")), "beschadigd", ""},
        {"binary", std::string("\0\xff\xfe\x01garbage\0", 12), "beschadigd", ""},
        {"header only, backup's lines gone", std::string(kHistoryHeader) + "\r\n", "beschadigd",
         ""},
        {"damaged, with a date the backup lacks",
         good + "29-11-2008 17:35:00; 09,00; 10,00; 19,00;  499,00\r\n\x01\x02\r\n", "beschadigd",
         "29-11-2008 17:35:00; 09,00; 10,00; 19,00;  499,00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(Path());
        if (c.file) {
            WriteAll(Path(), *c.file);
        }
        WriteAll(Backup(), good);
        const auto result = Append({2008, 12, 4, 17, 40, 0, 0});
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_NE(result.note.find(name), std::string::npos) << result.note;
        EXPECT_NE(result.note.find(c.note), std::string::npos) << result.note;
        const std::string file = ReadAll(Path());
        EXPECT_TRUE(LooksLikeHistoryText(file)) << file;
        EXPECT_EQ(HistoryDates(file), HistoryDates(good + newLine + c.kept));
        EXPECT_NE(file.find(good.substr(good.find("01-12"))), std::string::npos);
        EXPECT_NE(file.find(newLine), std::string::npos);
        if (!c.kept.empty()) {
            EXPECT_NE(file.find(c.kept), std::string::npos);
        }
        // The backup still holds all it held; the user hears of the rebuild once.
        EXPECT_TRUE(HoldsEveryDate(ReadAll(Backup()), good));
        const auto again = Append({2008, 12, 5, 17, 40, 0, 0});
        ASSERT_TRUE(again.ok) << again.error;
        EXPECT_EQ(again.note, "");
        EXPECT_EQ(SplitLines(ReadAll(Path())).size(), 6u + !c.kept.empty());
    }
}

TEST_F(HistoryFiles, BackupIsOnlyReplacedByATextHoldingEveryDateItHolds) {
    const std::string good = std::string(kHistoryHeader) +
                             "\r\n01-12-2008 17:35:00; 10,00; 10,00; 20,00;  500,00\r\n"
                             "02-12-2008 17:35:00; 11,00; 10,00; 21,00;  501,00\r\n";
    // Compaction on its own: a file that lacks the backup's second date leaves the backup.
    WriteAll(Path(), good.substr(0, good.find("02-12")));
    WriteAll(Backup(), good);
    ASSERT_TRUE(CompactHistoryFile(dir.folder(), name));
    EXPECT_EQ(ReadAll(Backup()), good);
    // A file holding every date (and more) refreshes it.
    WriteAll(Path(), good + "03-12-2008 17:35:00; 12,00; 10,00; 22,00;  502,00\r\n");
    ASSERT_TRUE(CompactHistoryFile(dir.folder(), name));
    EXPECT_EQ(ReadAll(Backup()), ReadAll(Path()));
}

// The companion centres its request window on the last stored level; a stored
// "9000000000000000,00" made it ask for PriceFrom=65436&PriceTill=100.
TEST_F(HistoryFiles, LastStoredLevelIsOnlyALevel) {
    const std::string line =
        "AEX 0812 00400.00 00420.00; Put: dec 2008 400.00; Call: dec 2008 "
        "420.00; Strangle";
    const std::pair<const char*, double> cases[] = {
        {" 512,34", 512.34}, {" 9000000000000000,00", 0},
        {" 9e15", 0},        {" 911;37", 0},
        {" -1", 0},          {"", 0},
    };
    for (const auto& [level, value] : cases) {
        WriteAll(Path(), std::string(kHistoryHeader) +
                             "\r\n19-12-2008 17:40:00; 12,35; 10,00; 22,35;" + level + "\r\n");
        EXPECT_DOUBLE_EQ(LastHistoryIndexValueIn(dir.folder(), {line}), value) << level;
    }
}

// Appending must either store the whole new line or leave the file exactly as it was.
class UnwritableHistory : public HistoryFiles {
protected:
    void SetUp() override {
        ASSERT_TRUE(Append({2008, 12, 18, 17, 40, 0, 0}).ok);
        before = ReadAll(Path());
    }
    void ExpectRefusedAndUnchanged() {
        const auto result = Append({2008, 12, 19, 17, 40, 0, 0});
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(name), std::string::npos) << result.error;
        EXPECT_EQ(ReadAll(Path()), before);
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
        }
    }
    std::string before;
};

TEST_F(UnwritableHistory, ReadOnlyFile) {
    fs::permissions(Path(), fs::perms::owner_read | fs::perms::group_read);
    ExpectRefusedAndUnchanged();
}

TEST_F(UnwritableHistory, ReadOnlyFolder) {
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    ExpectRefusedAndUnchanged();
}

TEST_F(UnwritableHistory, EveryFailingFileOperation) {
    for (FileOp op : {FileOp::Open, FileOp::Write, FileOp::Fsync, FileOp::Rename, FileOp::Close}) {
        SetFaultHook([&](FileOp o, std::string_view path) {
            return o == op && path.find(name) != std::string_view::npos;
        });
        ExpectRefusedAndUnchanged();
    }
}

TEST_F(UnwritableHistory, FileSizeLimitReached) {
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = before.size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    ExpectRefusedAndUnchanged();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
}

TEST_F(HistoryFiles, FailedCompactionLeavesTheAppendedFileWhole) {
    ASSERT_TRUE(Append({2008, 12, 19, 12, 0, 0, 0}).ok);
    // Only the compaction's rewrite fails (the second replacement of the file).
    int renames = 0;
    SetFaultHook([&](FileOp op, std::string_view path) {
        return op == FileOp::Rename && path == Path() && ++renames == 1;
    });
    ASSERT_TRUE(Append({2008, 12, 19, 17, 0, 0, 0}).ok);
    SetFaultHook(nullptr);
    EXPECT_EQ(ReadAll(Path()), ReadAll(Backup()));
    EXPECT_EQ(SplitLines(ReadAll(Path())).size(), 3u);  // appended, not compacted
}

TEST(CopyFileKeepTime, CopiesWithTheSourceTime) {
    TempDir dir;
    const std::string src = dir.folder() + "a.csv";
    const std::string dst = dir.folder() + "sub/deeper/a.bak";
    EXPECT_FALSE(CopyFileKeepTime(src, dst, false));  // no source
    WriteAll(src, "inhoud\r\n");
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 40);
    fs::last_write_time(src, old);
    ASSERT_TRUE(CopyFileKeepTime(src, dst, false));
    EXPECT_EQ(ReadAll(dst), "inhoud\r\n");
    EXPECT_EQ(fs::last_write_time(dst), old);
    WriteAll(src, "nieuw\r\n");
    EXPECT_FALSE(CopyFileKeepTime(src, dst, true));
    EXPECT_EQ(ReadAll(dst), "inhoud\r\n");
    EXPECT_TRUE(CopyFileKeepTime(src, dst, false));
    EXPECT_EQ(ReadAll(dst), "nieuw\r\n");
}

TEST(CopyFileKeepTime, DaylightCorrectionBetweenFixedAndOtherDrives) {
    TempDir dir;
    const std::string fixed = dir.folder() + "a.csv";
    WriteAll(fixed, "x");
    if (DriveTypeName(fixed) != "DRIVE_FIXED" || DriveTypeName("/dev/shm") != "DRIVE_RAMDISK") {
        GTEST_SKIP() << "needs a fixed temp folder and /dev/shm";
    }
    const auto when = fs::file_time_type::clock::now() - std::chrono::hours(48);
    fs::last_write_time(fixed, when);
    const std::string ram = "/dev/shm/rendaal-copy-test-" + std::to_string(::getpid());
    ASSERT_TRUE(CopyFileKeepTime(fixed, ram, false, true, 1.0 / 24));
    EXPECT_EQ(fs::last_write_time(ram), when - std::chrono::hours(1));
    // And back: forward by the offset; no correction without daylight saving.
    ASSERT_TRUE(CopyFileKeepTime(ram, dir.folder() + "b.csv", false, true, 1.0 / 24));
    EXPECT_EQ(fs::last_write_time(dir.folder() + "b.csv"), when);
    ASSERT_TRUE(CopyFileKeepTime(fixed, ram, false, false, 1.0 / 24));
    EXPECT_EQ(fs::last_write_time(ram), when);
    fs::remove(ram);
}

TEST(DriveTypeName, KnownKindsAndMissingPaths) {
    EXPECT_EQ(DriveTypeName("/no/such/folder/here"), "");
    EXPECT_EQ(DriveTypeName(""), "");
    const std::string root = DriveTypeName("/");
    EXPECT_FALSE(root.empty());
    if (fs::exists("/dev/shm")) {
        EXPECT_EQ(DriveTypeName("/dev/shm"), "DRIVE_RAMDISK");
    }
}

}  // namespace
}  // namespace rendaal
