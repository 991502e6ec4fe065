#include "history/history_file.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <optional>
#include <set>

#include "core/file_copy.h"
#include "core/fileio.h"
#include "core/text.h"
#include "history/history_text.h"
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

// n lines on consecutive days from 1 August 2026, as the program writes them.
std::string Good(int n, int from = 0) {
    std::string text = std::string(kHistoryHeader) + "\r\n";
    for (int i = from; i < from + n; ++i) {
        text += FormatDmy(FromDayNumber(DayNumber(2026, 8, 1) + i)) + " 17:35:00; " +
                std::to_string(10 + i % 50) + ",00; 10,00; " + std::to_string(20 + i % 50) +
                ",00;  900,00\r\n";
    }
    return text;
}

std::string Row(int i) {
    const std::string text = Good(1, i);
    return text.substr(kHistoryHeader.size() + 2, text.size() - kHistoryHeader.size() - 4);
}

std::string Without(std::string text, const std::string& part) {
    return text.erase(text.find(part), part.size() + 2);
}

TEST(MergeHistoryTexts, FileRowsWinBackupFillsInWhatIsMissingOrDamaged) {
    struct Case {
        const char* name;
        std::string file, backup;
        std::vector<std::string> lines;  // of the merged text, after its header
        std::string aside;               // the lines set aside
        int fromBackup, rowsFromBackup;
    };
    const std::string h = std::string(kHistoryHeader) + "\r\n";
    const std::string fixed = "03-08-2026 17:35:00; 99,99; 10,00; 109,99;  900,00";
    const std::string later = "02-08-2026 18:00:00; 12,00; 10,00; 22,00;  900,00";
    const Case cases[] = {
        {"file as written, no backup", Good(3), "", {Row(0), Row(1), Row(2)}, "", 0, 0},
        {"hand correction wins",
         Without(Good(3), Row(2)) + fixed,
         Good(3),
         {Row(0), Row(1), fixed},
         "",
         0,
         0},
        {"backup fills dates in, sorted",
         h + Row(2) + "\r\n",
         Good(2) + Row(3) + "\r\n",
         {Row(0), Row(1), Row(2), Row(3)},
         "",
         3,
         0},
        {"damaged line: the backup's row, the line aside",
         h + Row(0) + "\r\n02-08-2026 x; 12,00\r\n" + Row(2),
         Good(2),
         {Row(0), Row(1), Row(2)},
         "02-08-2026 x; 12,00\r\n",
         0,
         1},
        {"cut last line: the backup's whole row",
         h + Row(0).substr(0, 30),
         Good(1),
         {Row(0)},
         Row(0).substr(0, 30) + "\r\n",
         0,
         1},
        {"damaged line without a row anywhere stays",
         h + "01-08-2026; 12,00\r\n",
         "",
         {"01-08-2026; 12,00"},
         "",
         0,
         0},
        {"duplicated dates: the last row, the other aside",
         h + Row(1) + "\r\n" + Row(0) + "\r\n" + later + "\r\n",
         "",
         {Row(0), later},
         Row(1) + "\r\n",
         0,
         0},
        {"three rows of a date, a copy's rows lose to the file's",
         h + fixed + "\r\n" + Row(2) + "\r\n" + later + "\r\n" + Row(2) + "\r\n",
         Good(3),
         {Row(0), later, Row(2)},
         fixed + "\r\n",
         1,
         0},
        {"no real date: aside, each once",
         "garbage\r\n02-12-26; 1; 1; 2; 3\r\n" + Good(1),
         "garbage\r\n" + Good(1),
         {Row(0)},
         "garbage\r\n02-12-26; 1; 1; 2; 3\r\n",
         0,
         0},
        {"both empty", "", "", {}, "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const HistoryMerge m = MergeHistoryTexts(c.file, c.backup);
        std::string want = h;
        for (const auto& line : c.lines) {
            want += line + "\r\n";
        }
        EXPECT_EQ(m.text, want);
        EXPECT_EQ(m.aside.empty() ? "" : m.aside.back().text, c.aside);
        EXPECT_EQ(m.datesFromBackup, c.fromBackup);
        EXPECT_EQ(m.rowsFromBackup, c.rowsFromBackup);
    }
    // Text that is no history is kept whole, byte for byte.
    const std::string binary("\0\xff\x01garbage\r", 11);
    const HistoryMerge m = MergeHistoryTexts(binary, binary);
    ASSERT_EQ(m.aside.size(), 2u);
    EXPECT_EQ(m.aside[0].text, binary);
    EXPECT_EQ(m.aside[1].kind, HistoryAside::Kind::Backup);
    EXPECT_EQ(m.text, h);
}

TEST_F(HistoryFiles, DatesSortedOneLinePerDate) {
    WriteAll(Path(),
             "Datum; Put; Call; Som; AEX\r\n"
             "01-04-2008 10:00:00; 1,00; 1,00; 02,00; 500\r\n"
             "31-03-2008 10:00:00; 2,00; 1,00; 03,00; 500\r\n"
             "01-04-2008 11:00:00; 3,00; 1,00; 04,00; 500\r\n");
    ASSERT_TRUE(CompactHistoryFile(dir.folder(), name));
    ASSERT_TRUE(Append({2008, 4, 1, 17, 0, 0, 0}).ok);
    const auto lines = SplitLines(ReadAll(Path()));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].substr(0, 10), "31-03-2008");
    EXPECT_EQ(lines[2].substr(0, 19), "01-04-2008 17:00:00");
    // The file's earlier row of 01-04 was no download of this program: it is kept aside.
    EXPECT_EQ(ReadAll(Backup() + ".onleesbaar"), "01-04-2008 10:00:00; 1,00; 1,00; 02,00; 500\r\n");
}

// Files as they really occur: saved by an editor, touched by a spreadsheet, cut by a full disk,
// one garbled line. Each lost dates without a word before.
TEST_F(HistoryFiles, NoDateIsLostWhateverTheFilesLookLike) {
    enum class Kind { None, Text, Fifo, Folder, ReadOnly, ReadOnlyFolder, LinkLoop };
    struct Case {
        const char* name;
        Kind fileKind;
        std::string file;
        Kind bakKind;
        std::string bak;
        std::vector<std::string> note;  // what the note must say, besides the file's path
        std::string error = {};         // when the append must fail: the reason it gives
        int sideFiles = 0;
        std::string kept = {};   // a line that must stay in the file
        std::string aside = {};  // a line that must be in a side file, not in the file
    };
    const std::string h = std::string(kHistoryHeader) + "\r\n";
    const std::string g100 = Good(100);
    const std::string fixed = "02-08-2026 17:35:00; 99,99; 10,00; 109,99;  900,00";
    const std::string withFix = Without(Good(42), Row(1)) + fixed + "\r\n";
    std::string nul = g100;
    nul[nul.size() / 2] = '\0';
    std::string utf16 = "\xFF\xFE";
    for (char ch : g100) {
        utf16 += ch;
        utf16 += '\0';
    }
    const std::string restored = "100 datums zijn teruggezet uit de reservekopie";
    const std::string tenth = "09-08-2026 17:35:00; 18,10; 10,00; 28,10;  900,00";
    const std::string y2099 = "01-01-2099 17:35:00; 12,00; 10,00; 22,00;  900,00";
    std::string calc = "\"Datum\",\"Put\",\"Call\",\"Som\",\"AEX\"\n";
    for (int i = 0; i < 40; ++i) {
        const Date d = FromDayNumber(DayNumber(2026, 8, 1) + i);
        calc += std::to_string(d.year) + "-" + TwoDigits(d.month) + "-" + TwoDigits(d.day) +
                " 17:35:00," + std::to_string(10 + i % 50) + ".00,10,\"" +
                std::to_string(20 + i % 50) + ".00\",900.00\n";
    }
    const Case cases[] = {
        {"file deleted, backup with BOM",
         Kind::None,
         "",
         Kind::Text,
         "\xEF\xBB\xBF" + g100,
         {"was verdwenen", restored}},
        {"file deleted, backup with one short line",
         Kind::None,
         "",
         Kind::Text,
         Without(g100, Row(50)) + Row(50).substr(0, 35) + "\r\n",
         {"was verdwenen", restored}},
        {"file deleted, backup's last line cut",
         Kind::None,
         "",
         Kind::Text,
         g100.substr(0, g100.size() - 20),
         {"was verdwenen", restored}},
        {"file deleted, backup with a NUL byte",
         Kind::None,
         "",
         Kind::Text,
         nul,
         {"was verdwenen", restored}},
        {"file deleted, backup's header \"datum\"",
         Kind::None,
         "",
         Kind::Text,
         "datum;put;call;som;aex\n" + g100.substr(h.size()),
         {"was verdwenen", restored}},
        {"file deleted, backup with 31-02",
         Kind::None,
         "",
         Kind::Text,
         g100 + "31-02-2026 17:35:00; 1,00; 1,00; 2,00; 900\r\n",
         {"was verdwenen", restored, "1 onleesbare regel van", "is bewaard in"},
         "",
         1},
        {"file deleted, UTF-16 backup",
         Kind::None,
         "",
         Kind::Text,
         utf16,
         {"was verdwenen", restored}},
        {"file emptied", Kind::Text, "", Kind::Text, g100, {"was leeg", restored}},
        {"header only", Kind::Text, h, Kind::Text, g100, {"was leeg", restored}},
        {"file cut at 2,000 bytes",
         Kind::Text,
         g100.substr(0, 2000),
         Kind::Text,
         g100,
         {"was onvolledig", "datums zijn teruggezet"},
         "",
         1},
        {"file binary",
         Kind::Text,
         std::string("\0\xff\xfe\x01garbage\0", 12),
         Kind::Text,
         g100,
         {"was onleesbaar en is ongewijzigd bewaard als", "Uit de reservekopie",
          "zijn 100 datums teruggezet"},
         "",
         1},
        {"damaged header, a date the backup lacks",
         Kind::Text,
         "Datum; Pu\x01\r\n" + Good(101).substr(h.size()),
         Kind::Text,
         g100,
         {"1 onleesbare regel van"},
         "",
         1},
        {"two-digit year in the file",
         Kind::Text,
         g100 + "02-12-26 17:35:00; 1,00; 1,00; 2,00;\r\n",
         Kind::Text,
         g100,
         {"1 onleesbare regel van"},
         "",
         1},
        {"file 80 dates and garbled lines, backup 100",
         Kind::Text,
         Good(80) + "\x01\x02 garbled\r\n10-11-2026 17:3\r\n",
         Kind::Text,
         g100,
         {"was onvolledig", "20 datums zijn teruggezet", "1 onleesbare regel van"},
         "",
         1},
        {"file cut, no backup",
         Kind::Text,
         Good(42).substr(0, Good(42).size() - 15),
         Kind::None,
         "",
         {}},
        {"hand correction, BOM added by the editor",
         Kind::Text,
         "\xEF\xBB\xBF" + withFix,
         Kind::Text,
         Good(42),
         {},
         "",
         0,
         fixed},
        {"hand correction, another line lost a field",
         Kind::Text,
         Without(withFix, Row(5)) + Row(5).substr(0, 40) + "\r\n",
         Kind::Text,
         Good(42),
         {"was beschadigd", "1 datum is teruggezet", "1 onleesbare regel van"},
         "",
         1,
         fixed},
        {"both damaged differently",
         Kind::Text,
         Without(Good(30), Row(10)) + "11-08-2026 17:35:00; 1x\r\n",
         Kind::Text,
         Without(Good(30), Row(20)) + "21-08-2026 17:35:00; 20,00; 10,00\r\n",
         {"was beschadigd", "1 datum is teruggezet", "2 onleesbare regels van"},
         "",
         1},
        {"backup newer, with other dates",
         Kind::Text,
         Good(40),
         Kind::Text,
         Good(30, 35),
         {"was onvolledig", "25 datums zijn teruggezet"}},
        {"duplicated dates",
         Kind::Text,
         g100 + Row(3) + "\r\n" + Row(3) + "\r\n" + Row(7) + "\r\n",
         Kind::Text,
         g100,
         {}},
        {"three rows of one date, the correction typed above the old one",
         Kind::Text,
         Without(g100, Row(8)) + tenth + "\r\n" + Row(8) + "99\r\n" + Row(8) + "\r\n",
         Kind::Text,
         g100,
         {"had meer dan één regel voor 09-08-2026: de laatste is gebruikt, de andere zijn bewaard "
          "in"},
         "",
         1,
         Row(8),
         tenth},
        {"a typo dated 2099",
         Kind::Text,
         g100 + y2099 + "\r\n",
         Kind::Text,
         g100,
         {"Een regel van",
          "met een datum na 07-12-2026 (01-01-2099) telt niet mee en is bewaard in"},
         "",
         1,
         "",
         y2099},
        {"a date after today in the backup only",
         Kind::Text,
         g100,
         Kind::Text,
         g100 + y2099 + "\r\n",
         {"met een datum na 07-12-2026 (01-01-2099) telt niet mee"},
         "",
         1,
         "",
         y2099},
        {"saved by a spreadsheet, no backup: quoted, ',' between fields, ISO dates",
         Kind::Text,
         calc,
         Kind::None,
         "",
         {"was door een rekenblad opgeslagen; het is gelezen en in de eigen vorm teruggeschreven."},
         "",
         0,
         "02-08-2026 17:35:00; 11,00; 10,00; 21,00; 900,00"},
        {"backup binary",
         Kind::Text,
         g100,
         Kind::Text,
         std::string("PK\3\4\0\xff", 6),
         {"De reservekopie", "was onleesbaar en is ongewijzigd bewaard als"},
         "",
         1},
        {"backup of another format",
         Kind::Text,
         g100,
         Kind::Text,
         "[Settings]\nWidth=800\n",
         {"was onleesbaar en is ongewijzigd bewaard als"},
         "",
         1},
        {"file 0444",
         Kind::ReadOnly,
         g100,
         Kind::Text,
         g100,
         {},
         "kan niet worden geschreven: geen toegang."},
        {"folder 0555",
         Kind::ReadOnlyFolder,
         g100,
         Kind::Text,
         g100,
         {},
         "kan niet worden geschreven: geen toegang."},
        {"file a FIFO", Kind::Fifo, "", Kind::Text, g100, {}, "is een FIFO"},
        {"file a folder", Kind::Folder, "", Kind::Text, g100, {}, "is een map"},
        {"file a link to itself",
         Kind::LinkLoop,
         "",
         Kind::Text,
         g100,
         {},
         "te veel symbolische koppelingen."},
        {"backup a FIFO", Kind::Text, g100, Kind::Fifo, "", {"Geen reservekopie van", "FIFO"}},
        {"backup a folder", Kind::Text, g100, Kind::Folder, "", {"Geen reservekopie van", "map"}},
        {"backup 0444",
         Kind::Text,
         g100,
         Kind::ReadOnly,
         Good(90),
         {"Geen reservekopie van", "kan niet worden bijgewerkt: geen toegang"}},
    };
    const auto place = [](const std::string& path, Kind kind, const std::string& text) {
        fs::remove_all(path);
        if (kind == Kind::LinkLoop) {
            fs::create_symlink(path, path);
        } else if (kind == Kind::Fifo) {
            ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
        } else if (kind == Kind::Folder) {
            fs::create_directory(path);
        } else if (kind != Kind::None) {
            WriteAll(path, text);
        }
        if (kind == Kind::ReadOnly) {
            fs::permissions(path,
                            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        }
    };
    const auto sideFiles = [&] {
        std::vector<std::string> texts;
        for (const auto& e : fs::directory_iterator(dir.path())) {
            if (e.path().string().find(".onleesbaar") != std::string::npos) {
                texts.push_back(ReadAll(e.path()));
            }
        }
        return texts;
    };
    const auto days = [](Kind kind, const std::string& text) {
        return kind == Kind::Text || kind == Kind::ReadOnly ? HistoryDays(text)
                                                            : std::vector<int64_t>{};
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::permissions(dir.path(), fs::perms::owner_all);
        for (const auto& e : fs::directory_iterator(dir.path())) {
            std::error_code ignored;  // a link to itself has no permissions to set
            fs::permissions(e.path(), fs::perms::owner_all, ignored);
            fs::remove_all(e.path());
        }
        place(Path(), c.fileKind == Kind::ReadOnlyFolder ? Kind::Text : c.fileKind, c.file);
        place(Backup(), c.bakKind, c.bak);
        if (c.fileKind == Kind::ReadOnlyFolder) {
            fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
        }
        std::vector<int64_t> want = days(c.fileKind, c.file);
        const std::vector<int64_t> fromBackup = days(c.bakKind, c.bak);
        want.insert(want.end(), fromBackup.begin(), fromBackup.end());
        want.push_back(DayNumber(2026, 12, 7));
        std::sort(want.begin(), want.end());
        want.erase(std::unique(want.begin(), want.end()), want.end());
        want.erase(std::upper_bound(want.begin(), want.end(), DayNumber(2026, 12, 7)), want.end());

        const auto result = Append({2026, 12, 7, 17, 40, 0, 0});
        fs::permissions(dir.path(), fs::perms::owner_all);
        if (!c.error.empty()) {
            EXPECT_FALSE(result.ok);
            EXPECT_NE(result.error.find(Path()), std::string::npos) << result.error;
            EXPECT_NE(result.error.find(c.error), std::string::npos) << result.error;
            if (c.fileKind == Kind::Text || c.fileKind == Kind::ReadOnly ||
                c.fileKind == Kind::ReadOnlyFolder) {
                EXPECT_EQ(ReadAll(Path()), c.file);
            }
            EXPECT_EQ(ReadAll(Backup()), c.bak);
            continue;
        }
        ASSERT_TRUE(result.ok) << result.error;
        // Dates lost: 0. Whatever could not be read is beside the file, whole.
        const std::string file = ReadAll(Path());
        std::vector<int64_t> lost;
        const std::vector<int64_t> have = HistoryDays(file);
        std::set_difference(want.begin(), want.end(), have.begin(), have.end(),
                            std::back_inserter(lost));
        EXPECT_EQ(lost, std::vector<int64_t>{}) << file;
        const auto side = sideFiles();
        EXPECT_EQ(side.size(), static_cast<size_t>(c.sideFiles));
        for (const std::string* whole : {&c.file, &c.bak}) {
            if (!whole->empty() && !ReadHistoryText(*whole).readable) {
                EXPECT_NE(std::find(side.begin(), side.end(), *whole), side.end());
            }
        }
        if (!c.kept.empty()) {
            EXPECT_NE(file.find(c.kept + "\r\n"), std::string::npos) << file;
        }
        if (!c.aside.empty()) {
            EXPECT_EQ(file.find(c.aside), std::string::npos) << file;
            EXPECT_NE(side.at(0).find(c.aside + "\r\n"), std::string::npos);
        }
        // One note naming the file and saying how many dates came back, from where.
        if (c.note.empty()) {
            EXPECT_EQ(result.note, "");
        } else {
            EXPECT_NE(result.note.find(Path()), std::string::npos) << result.note;
        }
        for (const auto& part : c.note) {
            EXPECT_NE(result.note.find(part), std::string::npos) << result.note;
        }
        if (c.bakKind == Kind::Fifo || c.bakKind == Kind::Folder || c.bakKind == Kind::ReadOnly) {
            EXPECT_EQ(c.bakKind == Kind::ReadOnly ? ReadAll(Backup()) : c.bak, c.bak);
            continue;
        }
        // Told once; the backup now holds every date, so a later deletion loses none.
        EXPECT_TRUE(HoldsEveryDate(ReadAll(Backup()), file));
        const auto again = Append({2026, 12, 8, 17, 40, 0, 0});
        EXPECT_EQ(again.note, "");
        fs::remove(Path());
        ASSERT_TRUE(Append({2026, 12, 9, 17, 40, 0, 0}).ok);
        want.push_back(DayNumber(2026, 12, 8));
        want.push_back(DayNumber(2026, 12, 9));
        EXPECT_TRUE(std::includes(want.begin(), want.end(), have.begin(), have.end()));
        const std::vector<int64_t> after = HistoryDays(ReadAll(Path()));
        EXPECT_TRUE(std::includes(after.begin(), after.end(), want.begin(), want.end()));
        EXPECT_EQ(sideFiles().size(), static_cast<size_t>(c.sideFiles));
    }
}

// A read-only backup holding something unreadable was set aside again by every run: one side
// file and one note per run, and at the 999th no name was left and the downloads stopped.
TEST_F(HistoryFiles, ReadOnlyDamagedBackupIsKeptAsideOnceWhateverTheRuns) {
    const char* runsText = std::getenv("RENDAAL_HISTORY_RUNS");
    const int runs = runsText ? std::atoi(runsText) : 25;
    const std::string kinds[] = {std::string("PK\3\4\0\xff", 6), "; a comment\r\n" + Good(5),
                                 Good(5) + "\x01\x02 garbled\r\n"};
    for (const std::string& bak : kinds) {
        fs::remove_all(dir.path());
        fs::create_directories(dir.path());
        WriteAll(Backup(), bak);
        fs::permissions(Backup(), fs::perms::owner_read);
        for (int run = 0; run < runs; ++run) {
            const Date day = FromDayNumber(DayNumber(2026, 12, 7) + run);
            const auto result = Append({day.year, day.month, day.day, 17, 40, 0, 0});
            ASSERT_TRUE(result.ok) << result.error;
            EXPECT_EQ(result.note.find("bewaard") != std::string::npos, run == 0) << result.note;
            EXPECT_EQ(result.note.find("Geen reservekopie") != std::string::npos, run == 0);
        }
        // Made read-only anew after the last write: said again, once.
        fs::last_write_time(Path(), fs::last_write_time(Path()) - std::chrono::hours(1));
        fs::permissions(Backup(), fs::perms::owner_read);
        const Date next = FromDayNumber(DayNumber(2026, 12, 7) + runs);
        EXPECT_NE(
            Append({next.year, next.month, next.day, 17, 40, 0, 0}).note.find("Geen reservekopie"),
            std::string::npos);
        EXPECT_EQ(ReadAll(Backup()), bak);
        EXPECT_TRUE(fs::exists(Backup() + ".onleesbaar"));
        EXPECT_FALSE(fs::exists(Backup() + ".onleesbaar.2"));
        fs::permissions(Backup(), fs::perms::owner_all);
    }
}

// Every name taken (a FIFO, a folder and a link among them): the text goes to the end of the
// last side file, the line is written, and nothing is followed or opened that is no file.
TEST_F(HistoryFiles, NoFreeSideFileNameNeverStopsADownload) {
    const std::string base = Backup() + ".onleesbaar";
    ASSERT_EQ(::mkfifo(base.c_str(), 0644), 0);
    fs::create_directory(base + ".2");
    WriteAll(dir.folder() + "elsewhere", "x");
    fs::create_symlink(dir.folder() + "elsewhere", base + ".3");
    for (int n = 4; n <= kMaxSideFiles; ++n) {
        WriteAll(base + "." + std::to_string(n), "kept " + std::to_string(n) + "\r\n");
    }
    WriteAll(Backup(), Good(3) + "garbled\r\n");
    const auto result = Append({2026, 12, 7, 17, 40, 0, 0});
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_NE(result.note.find("bewaard in " + base + ".999."), std::string::npos) << result.note;
    EXPECT_EQ(ReadAll(base + ".999"), "kept 999\r\ngarbled\r\n");
    EXPECT_EQ(ReadAll(dir.folder() + "elsewhere"), "x");
    EXPECT_EQ(HistoryDays(ReadAll(Path())).size(), 4u);
}

// A history that is a link to a private file: what is kept of its text is private too.
TEST_F(HistoryFiles, KeptTextIsNoMoreOpenThanTheFileItCameFrom) {
    const std::string target = dir.folder() + "private.csv";
    WriteAll(target, Good(3) + "garbled\r\n");
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(target, Path());
    ASSERT_TRUE(Append({2026, 12, 7, 17, 40, 0, 0}).ok);
    const auto mode = [](const std::string& p) {
        return fs::status(p).permissions() & fs::perms::mask;
    };
    EXPECT_TRUE(fs::is_symlink(Path()));
    EXPECT_EQ(mode(Backup() + ".onleesbaar"), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(mode(Backup()), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(mode(target), fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(HistoryFiles, BackupIsOnlyReplacedByATextHoldingEveryDateItHolds) {
    const std::string good = Good(2);
    // Compaction on its own: a file that lacks the backup's second date gets it back, and the
    // backup stays.
    WriteAll(Path(), Good(1));
    WriteAll(Backup(), good);
    ASSERT_TRUE(CompactHistoryFile(dir.folder(), name));
    EXPECT_EQ(ReadAll(Backup()), good);
    EXPECT_EQ(ReadAll(Path()), good);
    // A file holding every date (and more) refreshes it.
    WriteAll(Path(), Good(3));
    ASSERT_TRUE(CompactHistoryFile(dir.folder(), name));
    EXPECT_EQ(ReadAll(Backup()), Good(3));
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
    // The error names the file and says why: it used to stop at "kan niet worden geschreven.".
    void ExpectRefusedAndUnchanged(const std::string& reason) {
        const auto result = Append({2008, 12, 19, 17, 40, 0, 0});
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find(name), std::string::npos) << result.error;
        EXPECT_NE(result.error.find(": " + reason + "."), std::string::npos) << result.error;
        EXPECT_EQ(ReadAll(Path()), before);
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            EXPECT_EQ(entry.path().string().find(".tmp"), std::string::npos) << entry.path();
        }
    }
    std::string before;
};

TEST_F(UnwritableHistory, ReadOnlyFile) {
    fs::permissions(Path(), fs::perms::owner_read | fs::perms::group_read);
    ExpectRefusedAndUnchanged("geen toegang");
}

TEST_F(UnwritableHistory, ReadOnlyFolder) {
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec);
    ExpectRefusedAndUnchanged("geen toegang");
}

TEST_F(UnwritableHistory, EveryFailingFileOperation) {
    for (FileOp op : {FileOp::Open, FileOp::Write, FileOp::Fsync, FileOp::Rename, FileOp::Close}) {
        SetFaultHook([&](FileOp o, std::string_view path) {
            return o == op && path.find(name) != std::string_view::npos;
        });
        ExpectRefusedAndUnchanged("invoer/uitvoerfout");
    }
}

TEST_F(UnwritableHistory, FileSizeLimitReached) {
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = before.size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    ExpectRefusedAndUnchanged("bestand te groot");
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

// Killed between writing the backup and the file, the writer appends the same line again; the
// merge brings it back from the backup, and the backup held it twice (long crash loop).
TEST_F(HistoryFiles, LineTheBackupAlreadyHoldsIsNotAppendedTwice) {
    const DateTime now{2026, 12, 7, 17, 40, 0, 0};
    const std::string line = HistoryLine(now, "; 12,35; 10,00", " 512,34", 22.35) + "\r\n";
    WriteAll(Path(), Good(3));
    WriteAll(Backup(), Good(3) + line);
    ASSERT_TRUE(Append(now).ok);
    EXPECT_EQ(ReadAll(Backup()), Good(3) + line);
    EXPECT_EQ(ReadAll(Path()), Good(3) + line);
}

// Two machines share the folder through a sync tool and no lock: the other machine's version,
// put in place while this one writes, is merged in rather than written over.
TEST_F(HistoryFiles, VersionASyncToolPutInPlaceMeanwhileIsMergedIn) {
    WriteAll(Path(), Good(3));
    const std::string theirs = Good(3) + Row(10) + "\r\n";
    SetFaultHook([&](FileOp op, std::string_view path) {
        if (op == FileOp::Rename && path == Backup()) {
            WriteAll(Path(), theirs);
        }
        return false;
    });
    ASSERT_TRUE(Append({2026, 12, 7, 17, 40, 0, 0}).ok);
    SetFaultHook(nullptr);
    EXPECT_TRUE(HoldsEveryDate(ReadAll(Path()), theirs));
    EXPECT_NE(ReadAll(Path()).find("07-12-2026 17:40:00; 12,35"), std::string::npos);
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
