#include "mainwindow/startup.h"

#include <gtest/gtest.h>

#include <climits>

#include "core/fileio.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;

std::string SettingsText(const std::string& values) {
    return "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults]\r\n" + values;
}

TEST(WindowSettings, DefaultsWhenMissingDamagedOrOfTheWrongKind) {
    test::TempDir dir;
    const auto path = dir.path() / "Rendaal.reg";
    const WindowSettings defaults;
    const struct {
        const char* name;
        std::string text;
        WindowSettings expected;
    } cases[] = {
        {"no file", "", defaults},
        {"garbage", "\x01\x02garbage\xff\xfe", defaults},
        {"truncated header", "REGED", defaults},
        {"truncated value", SettingsText("\"Left\"=\"250\"\r\n\"Top\"=\"3"),
         WindowSettings{250, 100, 600, 600, true, true}},
        {"text where a number belongs",
         SettingsText("\"Left\"=\"links\"\r\n\"Width\"=\"12abc\"\r\n\"Blokjes\"=\"ja\"\r\n"),
         defaults},
        {"binary value", SettingsText("\"Top\"=hex:01,02\r\n"), defaults},
        {"beyond 32 bits", SettingsText("\"Width\"=\"99999999999\"\r\n"), defaults},
        {"stored values",
         SettingsText("\"Left\"=\"-40\"\r\n\"Top\"=\"5000\"\r\n\"Width\"=\"700\"\r\n"
                      "\"Height\"=\"650\"\r\n\"Blokjes\"=\"0\"\r\n\"Apart\"=\"0\"\r\n"),
         WindowSettings{-40, 5000, 700, 650, false, false}},
        {"dword values", SettingsText("\"Left\"=dword:00000020\r\n\"Apart\"=dword:00000000\r\n"),
         WindowSettings{32, 100, 600, 600, true, false}},
    };
    for (const auto& c : cases) {
        fs::remove(path);
        if (!c.text.empty()) {
            test::WriteAll(path, c.text);
        }
        EXPECT_EQ(ReadWindowSettings(SettingsStore(path.string())), c.expected) << c.name;
    }
}

TEST(WindowSettings, WrittenAsTextValuesAndKeepsOtherValues) {
    test::TempDir dir;
    const auto path = dir.path() / "Rendaal.reg";
    test::WriteAll(path, SettingsText("\"Aantal jaren\"=\"3\"\r\n\"Left\"=dword:00000001\r\n"));
    SettingsStore store(path.string());
    ASSERT_TRUE(WriteWindowSettings(store, {12, 34, 640, 680, false, true}));
    const std::string text = test::ReadAll(path);
    for (const char* expected :
         {"\"Left\"=\"12\"", "\"Top\"=\"34\"", "\"Width\"=\"640\"", "\"Height\"=\"680\"",
          "\"Blokjes\"=\"0\"", "\"Apart\"=\"1\"", "\"Aantal jaren\"=\"3\""}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    EXPECT_EQ(ReadWindowSettings(SettingsStore(path.string())),
              (WindowSettings{12, 34, 640, 680, false, true}));
}

TEST(WindowSettings, DamagedFileIsReplacedWhole) {
    test::TempDir dir;
    const auto path = dir.path() / "Rendaal.reg";
    test::WriteAll(path,
                   std::string("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Rendaal\\Defa", 44));
    SettingsStore store(path.string());
    ASSERT_TRUE(WriteWindowSettings(store, WindowSettings{}));
    EXPECT_EQ(ReadWindowSettings(SettingsStore(path.string())), WindowSettings{});
    EXPECT_EQ(test::ReadAll(path).rfind("REGEDIT4\r\n", 0), 0u);
}

// A 1366x768 screen with a 30-pixel bar at its top; a window that wants 918x727 and needs at
// least 918x395, in a frame of 10x40.
TEST(WindowPlacement, AnyStoredBoundsGiveAWindowOnTheScreen) {
    const ScreenArea screen{0, 30, 1366, 738};
    const WindowSizeLimits limits{918, 395, 918, 727};
    const struct {
        const char* name;
        WindowSettings stored;
        bool sizeStored;
        ScreenArea available;
        ScreenArea expected;
    } cases[] = {
        {"first start: the preferred size, lower when the screen is low",
         {100, 100, 600, 600},
         false,
         screen,
         {100, 30, 918, 698}},
        {"stored size and place", {20, 40, 1000, 500}, true, screen, {20, 40, 1000, 500}},
        {"smaller than the panel needs", {20, 40, 600, 300}, true, screen, {20, 40, 918, 395}},
        {"huge size costs no more than the screen",
         {0, 30, 99999999, 99999999},
         true,
         screen,
         {0, 30, 1356, 698}},
        {"far left comes onto the screen",
         {-99999999, 40, 1000, 500},
         true,
         screen,
         {0, 40, 1000, 500}},
        {"beyond the right and bottom edges",
         {5000, 3000, 1000, 500},
         true,
         screen,
         {356, 228, 1000, 500}},
        {"int limits do not overflow",
         {INT_MAX, INT_MIN, INT_MAX, INT_MIN},
         true,
         screen,
         {0, 30, 1356, 395}},
        {"second screen to the right keeps its place",
         {2000, 100, 1000, 500},
         true,
         {1366, 0, 1920, 1080},
         {2000, 100, 1000, 500}},
        {"screen smaller than the minimum wins",
         {0, 0, 600, 600},
         false,
         {0, 0, 800, 600},
         {0, 0, 790, 560}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PlaceMainWindow(c.stored, c.sizeStored, limits, c.available, 10, 40), c.expected)
            << c.name;
    }
}

TEST(WindowPlacement, SizeCountsAsStoredOnlyWhenBothSidesAreNumbers) {
    test::TempDir dir;
    const auto path = dir.path() / "Rendaal.reg";
    const struct {
        std::string values;
        bool stored;
    } cases[] = {
        {"", false},
        {"\"Width\"=\"700\"\r\n", false},
        {"\"Width\"=\"700\"\r\n\"Height\"=\"hoog\"\r\n", false},
        {"\"Width\"=\"700\"\r\n\"Height\"=\"99999999999\"\r\n", false},
        {"\"Width\"=\"700\"\r\n\"Height\"=\"650\"\r\n", true},
    };
    for (const auto& c : cases) {
        test::WriteAll(path, SettingsText(c.values));
        EXPECT_EQ(HasStoredSize(SettingsStore(path.string())), c.stored) << c.values;
    }
}

class StartFiles : public ::testing::Test {
protected:
    void SetUp() override {
        test::WriteAll(source_.path() / "Regels.dat", "AEX 2703 00880.00 00960.00; x\r\n");
        test::WriteAll(source_.path() / "unins000.dat", "uninstaller");
        test::WriteAll(source_.path() / "Strangle_AEX_2703_00880.00_00960.00.csv", "Datum\r\n");
        test::WriteAll(source_.path() / "readme.txt", "no");
        fs::create_directory(source_.path() / "folder.csv");
        fs::last_write_time(source_.path() / "Regels.dat",
                            fs::file_time_type::clock::now() - std::chrono::hours(240));
    }
    test::TempDir source_;
    test::TempDir target_;
};

TEST_F(StartFiles, FirstRunCopiesDatAndCsvExceptTheUninstaller) {
    const std::string target = target_.folder() + "Rendaal/";
    EXPECT_FALSE(HasFileWithExtension(target, "dat"));
    EXPECT_EQ(CopyStartFiles(source_.folder(), target, "dat"),
              std::vector<std::string>{"Regels.dat"});
    EXPECT_EQ(CopyStartFiles(source_.folder(), target, "csv"),
              std::vector<std::string>{"Strangle_AEX_2703_00880.00_00960.00.csv"});
    EXPECT_TRUE(HasFileWithExtension(target, "dat"));
    EXPECT_FALSE(fs::exists(target + "unins000.dat"));
    EXPECT_FALSE(fs::exists(target + "readme.txt"));
    EXPECT_FALSE(fs::exists(target + "folder.csv"));
    // The copy keeps the source's time, so the clean-up judges it by the start file's age.
    EXPECT_EQ(fs::last_write_time(target + "Regels.dat"),
              fs::last_write_time(source_.path() / "Regels.dat"));
}

TEST_F(StartFiles, ExistingFilesKeepTheirContents) {
    test::WriteAll(target_.path() / "Strangle_AEX_2703_00880.00_00960.00.csv", "mine");
    EXPECT_TRUE(CopyStartFiles(source_.folder(), target_.folder(), "csv").empty());
    EXPECT_EQ(test::ReadAll(target_.path() / "Strangle_AEX_2703_00880.00_00960.00.csv"), "mine");
}

TEST_F(StartFiles, TargetThatCannotBeAFolderGetsNothing) {
    test::WriteAll(target_.path() / "blocked", "a file where the folder should be");
    EXPECT_TRUE(
        CopyStartFiles(source_.folder(), target_.folder() + "blocked/Rendaal/", "dat").empty());
    EXPECT_TRUE(CopyStartFiles(target_.folder() + "missing/", target_.folder(), "dat").empty());
}

TEST(RulesFileInput, BadInputLoadsOrStaysEmpty) {
    test::TempDir dir;
    const auto path = dir.path() / "Regels.dat";
    const std::string longLine = "AEX 2703 " + std::string(100000, '7') + "; lang";
    const struct {
        const char* name;
        std::string bytes;
        std::vector<std::string> expected;
    } cases[] = {
        {"CR LF", "b; 2\r\na; 1\r\n", {"a; 1", "b; 2"}},
        {"LF only", "b; 2\na; 1\n", {"a; 1", "b; 2"}},
        {"CR only", "b; 2\ra; 1\r", {"a; 1", "b; 2"}},
        {"no end on the last line", "b; 2\r\na; 1", {"a; 1", "b; 2"}},
        {"long line", longLine + "\r\n", {longLine}},
        {"NUL and binary bytes",
         std::string("x\0y; \xff\xfe\x80\r\n", 10),
         {std::string("x\0y; \xff\xfe\x80", 8)}},
        {"no semicolon", "geen puntkomma\r\n", {"geen puntkomma"}},
        {"comments, blanks and empty lines", ";c\r\n\r\n   \r\nZ; 1\r\n", {"   ", "Z; 1"}},
        {"case-insensitive order", "b\r\nA\r\na\r\nB\r\n", {"A", "a", "b", "B"}},
        {"empty file", "", {}},
    };
    for (const auto& c : cases) {
        test::WriteAll(path, c.bytes);
        EXPECT_EQ(LoadCombinationLines(path.string()), c.expected) << c.name;
    }
}

TEST(RulesFileInput, UnreadableOrMissingFileGivesAnEmptyList) {
    test::TempDir dir;
    const auto path = dir.path() / "Regels.dat";
    EXPECT_TRUE(LoadCombinationLines(path.string()).empty());
    test::WriteAll(path, "AEX 2703 00880.00 00960.00; x\r\n");
    SetFaultHook(
        [](FileOp op, std::string_view) { return op == FileOp::Read || op == FileOp::Open; });
    EXPECT_TRUE(LoadCombinationLines(path.string()).empty());
    SetFaultHook(nullptr);
    fs::remove(path);
    fs::create_directory(path);  // a folder in the file's place
    EXPECT_TRUE(LoadCombinationLines(path.string()).empty());
}

}  // namespace
}  // namespace rendaal
