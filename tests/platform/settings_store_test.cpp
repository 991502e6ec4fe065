#include "platform/settings_store.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/fileio.h"
#include "platform/app_paths.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

TEST(AppPaths, FollowTheXdgVariables) {
    test::TempDir tmp;
    test::ScopedEnv home("HOME", tmp.path().string());
    {
        test::ScopedEnv config("XDG_CONFIG_HOME", "");
        test::ScopedEnv data("XDG_DATA_HOME", "relative/ignored");
        EXPECT_EQ(ConfigFolder(), tmp.folder() + ".config/Rendaal/");
        EXPECT_EQ(SettingsFilePath(), tmp.folder() + ".config/Rendaal/Rendaal.reg");
        EXPECT_EQ(DataFolderBase(), tmp.folder() + ".local/share/");
    }
    test::ScopedEnv config("XDG_CONFIG_HOME", tmp.folder() + "c");
    test::ScopedEnv data("XDG_DATA_HOME", tmp.folder() + "d");
    EXPECT_EQ(ConfigFolder(), tmp.folder() + "c/Rendaal/");
    EXPECT_EQ(DataFolderFor("Rendaal"), tmp.folder() + "d/Rendaal/");
    EXPECT_TRUE(std::filesystem::is_directory(tmp.path() / "d" / "Rendaal"));
}

TEST(AppPaths, DataFolderThatCannotBeCreatedIsStillNamed) {
    test::TempDir tmp;
    test::WriteAll(tmp.path() / "d", "a file where the folder should be");
    test::ScopedEnv data("XDG_DATA_HOME", tmp.folder() + "d");
    EXPECT_EQ(DataFolderFor("Rendaal"), tmp.folder() + "d/Rendaal/");
}

TEST(AppPaths, StartFolderCanBeForced) {
    test::ScopedEnv start("RENDAAL_START_FOLDER", "/some/where");
    EXPECT_EQ(StartFolder(), "/some/where/");
}

TEST(SettingsStore, MissingFileGivesDefaultsAndFirstWriteCreatesIt) {
    test::TempDir tmp;
    SettingsStore store(tmp.folder() + "sub/Rendaal.reg");
    EXPECT_EQ(store.ReadInteger("Left", 100), 100);
    EXPECT_TRUE(store.ReadBool("Blokjes", true));
    ASSERT_TRUE(store.Write([](RegFile& f) { f.SetString(kSettingsKey, "Left", "-8"); }));
    SettingsStore again(store.path());
    EXPECT_EQ(again.ReadInteger("Left", 100), -8);
}

TEST(SettingsStore, WritesKeepValuesWrittenElsewhereInTheMeantime) {
    test::TempDir tmp;
    const std::string path = tmp.folder() + "Rendaal.reg";
    SettingsStore window(path);
    SettingsStore options(path);
    ASSERT_TRUE(options.Write([](RegFile& f) { f.WriteInteger(kSettingsKey, "Aantal jaren", 3); }));
    // Written by hand while the program runs.
    auto text = test::ReadAll(path);
    text += "\"IndexUrl\"=\"http://127.0.0.1:1\"\r\n";
    test::WriteAll(path, text);
    ASSERT_TRUE(window.Write([](RegFile& f) { f.SetString(kSettingsKey, "Top", "5"); }));
    SettingsStore reread(path);
    EXPECT_EQ(reread.ReadInteger("Aantal jaren", 1), 3);
    EXPECT_EQ(reread.ReadString("IndexUrl", ""), "http://127.0.0.1:1");
    EXPECT_EQ(reread.ReadInteger("Top", 100), 5);
}

// A file the registry editor wrote by default was read as empty and overwritten at close.
TEST(SettingsStore, WindowsExportKeepsItsFormAndEveryValue) {
    test::TempDir tmp;
    const std::string path = tmp.folder() + "Rendaal.reg";
    test::WriteAll(path, test::ReadAll(std::string(RENDAAL_REGFILES) + "version5-utf16-wine.reg"));
    SettingsStore store(path);
    EXPECT_TRUE(store.problem().empty());
    EXPECT_EQ(store.ReadInteger("Left", 100), 120);
    ASSERT_TRUE(store.Write([](RegFile& f) { f.SetString(kSettingsKey, "Left", "7"); }));
    const std::string written = test::ReadAll(path);
    EXPECT_EQ(written.substr(0, 4), std::string("\xFF\xFEW\0", 4));
    const SettingsStore again(path);
    EXPECT_EQ(again.ReadInteger("Left", 100), 7);
    EXPECT_EQ(again.ReadString("Naam", ""), "\u00c4\u00e4b\u00e9");
    EXPECT_EQ(again.file().Find(kSettingsKey, "Bin")->text, "hex:00,ff,10");
}

TEST(SettingsStore, UnparsableFileIsKeptAsBadNeverOverwritten) {
    test::TempDir tmp;
    const std::string path = tmp.folder() + "Rendaal.reg";
    const std::string garbage("\x00\x01REGEDIT4 garbage \xff", 20);
    test::WriteAll(path, garbage);
    SettingsStore store(path);
    EXPECT_EQ(store.ReadInteger("Width", 600), 600);
    EXPECT_EQ(store.ReadString("IndexUrl", "default"), "default");
    EXPECT_NE(store.problem().find(path + ".bad"), std::string::npos) << store.problem();
    ASSERT_TRUE(store.Write([](RegFile& f) { f.SetString(kSettingsKey, "Width", "700"); }));
    EXPECT_EQ(test::ReadAll(path + ".bad"), garbage);
    const SettingsStore again(path);
    EXPECT_TRUE(again.problem().empty());
    EXPECT_EQ(again.ReadInteger("Width", 600), 700);
    // A later bad file does not take the place of the one kept before.
    test::WriteAll(path, "[x]");
    SettingsStore second(path);
    EXPECT_NE(second.problem().find(path + ".bad.2"), std::string::npos) << second.problem();
    ASSERT_TRUE(second.Write([](RegFile&) {}));
    EXPECT_EQ(test::ReadAll(path + ".bad"), garbage);
    EXPECT_EQ(test::ReadAll(path + ".bad.2"), "[x]");
}

// After nine kept files the settings were no longer saved, and the message named a file that
// held another text.
TEST(SettingsStore, WithNineKeptFilesTheOldestGivesWay) {
    test::TempDir tmp;
    const std::string path = tmp.folder() + "Rendaal.reg";
    for (int n = 1; n <= 9; ++n) {
        const std::string aside = path + ".bad" + (n == 1 ? "" : "." + std::to_string(n));
        test::WriteAll(aside, "kept " + std::to_string(n));
        // .bad.4 is the oldest, whatever its number.
        const timespec t[2] = {{1000000 + (n == 4 ? 0 : n * 10), 0},
                               {1000000 + (n == 4 ? 0 : n * 10), 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, aside.c_str(), t, 0), 0);
    }
    test::WriteAll(path, "[x]");
    SettingsStore store(path);
    EXPECT_NE(store.problem().find(path + ".bad.4 "), std::string::npos) << store.problem();
    ASSERT_TRUE(store.Write([](RegFile& f) { f.SetString(kSettingsKey, "Width", "700"); }));
    EXPECT_EQ(test::ReadAll(path + ".bad.4"), "[x]");
    EXPECT_EQ(test::ReadAll(path + ".bad.3"), "kept 3");
    EXPECT_EQ(SettingsStore(path).ReadInteger("Width", 600), 700);
}

TEST(SettingsStore, ReadOnlyFileIsNeverReplaced) {
    for (const bool parsable : {true, false}) {
        SCOPED_TRACE(parsable);
        test::TempDir tmp;
        const std::string path = tmp.folder() + "Rendaal.reg";
        const std::string text = parsable ? "REGEDIT4\r\n" : "[x]";
        test::WriteAll(path, text);
        ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
        SettingsStore store(path);
        EXPECT_TRUE(store.readOnly());
        EXPECT_NE(store.problem().find("alleen-lezen"), std::string::npos) << store.problem();
        EXPECT_FALSE(store.Write([](RegFile& f) { f.SetString(kSettingsKey, "Width", "1"); }));
        EXPECT_EQ(test::ReadAll(path), text);
        EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
    }
}

// A FIFO in its place hung the window at start and at close.
TEST(SettingsStore, SpecialFileInItsPlaceIsNamedAndLeftAlone) {
    for (const char* kind : {"folder", "fifo"}) {
        SCOPED_TRACE(kind);
        test::TempDir tmp;
        const std::string path = tmp.folder() + "Rendaal.reg";
        if (std::string(kind) == "folder") {
            std::filesystem::create_directory(path);
        } else {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        }
        SettingsStore store(path);
        EXPECT_EQ(store.ReadInteger("Width", 600), 600);
        EXPECT_NE(store.problem().find(path), std::string::npos) << store.problem();
        EXPECT_FALSE(store.Write([](RegFile& f) { f.SetString(kSettingsKey, "Width", "1"); }));
        EXPECT_FALSE(std::filesystem::is_regular_file(path));
        EXPECT_FALSE(std::filesystem::exists(path + ".bad"));
    }
}

TEST(SettingsStore, FailedWriteKeepsThePreviousFile) {
    test::TempDir tmp;
    const std::string path = tmp.folder() + "Rendaal.reg";
    SettingsStore store(path);
    ASSERT_TRUE(store.Write([](RegFile& f) { f.SetString(kSettingsKey, "Left", "1"); }));
    const std::string before = test::ReadAll(path);
    SetFaultHook([](FileOp op, std::string_view) { return op == FileOp::Rename; });
    EXPECT_FALSE(store.Write([](RegFile& f) { f.SetString(kSettingsKey, "Left", "2"); }));
    SetFaultHook(nullptr);
    EXPECT_EQ(test::ReadAll(path), before);
}

}  // namespace
}  // namespace rendaal
