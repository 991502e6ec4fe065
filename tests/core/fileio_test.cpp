#include "core/fileio.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace rendaal {
namespace {

TEST(FileIo, SplitLinesAcceptsEveryLineEnd) {
    EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(SplitLines("\n\r"), (std::vector<std::string>{"", ""}));
    EXPECT_TRUE(SplitLines("").empty());
}

TEST(FileIo, AtomicWriteReplacesWholeAndLeavesNoTemporaryFile) {
    test::TempDir tmp;
    const std::string path = tmp.folder() + "f.txt";
    ASSERT_TRUE(WriteFileAtomic(path, "first"));
    ASSERT_TRUE(WriteFileAtomic(path, "second"));
    EXPECT_EQ(*ReadFile(path), "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()),
                            std::filesystem::directory_iterator()),
              1);
}

TEST(FileIo, EveryInjectedFailureKeepsTheOldContent) {
    const FileOp ops[] = {FileOp::Open, FileOp::Write, FileOp::Fsync, FileOp::Rename,
                          FileOp::Close};
    for (FileOp failing : ops) {
        SCOPED_TRACE(static_cast<int>(failing));
        test::TempDir tmp;
        const std::string path = tmp.folder() + "f.txt";
        ASSERT_TRUE(WriteFileAtomic(path, "old"));
        SetFaultHook([failing](FileOp op, std::string_view) { return op == failing; });
        EXPECT_FALSE(WriteFileAtomic(path, "new content"));
        EXPECT_FALSE(AppendFile(path, "x") && failing != FileOp::Rename);
        SetFaultHook(nullptr);
        const std::string now = *ReadFile(path);
        EXPECT_TRUE(now == "old" || now == "oldx") << now;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

TEST(FileIo, FileSizeLimitFailsTheWriteAndKeepsTheFile) {
    test::TempDir tmp;
    const std::string path = tmp.folder() + "f.txt";
    ASSERT_TRUE(WriteFileAtomic(path, "old"));
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 10;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = WriteFileAtomic(path, std::string(100, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(ok);
    EXPECT_EQ(*ReadFile(path), "old");
}

TEST(FileIo, ReadRefusesFoldersMissingAndOversizedFiles) {
    test::TempDir tmp;
    EXPECT_FALSE(ReadFile(tmp.folder()));
    EXPECT_FALSE(ReadFile(tmp.folder() + "missing"));
    test::WriteAll(tmp.path() / "big", std::string(1000, 'x'));
    EXPECT_FALSE(ReadFile(tmp.folder() + "big", 999));
    EXPECT_EQ(ReadFile(tmp.folder() + "big", 1000)->size(), 1000u);
}

TEST(FileIo, AppendCreatesAndAppends) {
    test::TempDir tmp;
    const std::string path = tmp.folder() + "h.csv";
    ASSERT_TRUE(AppendFile(path, "a\r\n"));
    ASSERT_TRUE(AppendFile(path, "b\r\n"));
    EXPECT_EQ(*ReadFile(path), "a\r\nb\r\n");
    EXPECT_TRUE(FileExists(path));
    EXPECT_FALSE(FileExists(tmp.folder()));
}

}  // namespace
}  // namespace rendaal

namespace rendaal {
namespace {

TEST(FileIo, StaleTemporaryFilesOfEndedWritersAreRemoved) {
    test::TempDir tmp;
    // A pid far above any pid_max cannot run.
    test::WriteAll(tmp.path() / "Strangle_AEX.csv.tmp999999999", "torn");
    test::WriteAll(tmp.path() / ("Regels.dat.tmp" + std::to_string(::getpid())), "mine");
    test::WriteAll(tmp.path() / "Regels.dat.tmp1", "init runs");
    test::WriteAll(tmp.path() / "notes.tmp", "no pid");
    test::WriteAll(tmp.path() / "x.tmp12ab", "not a pid");
    test::WriteAll(tmp.path() / "Strangle_AEX.csv", "kept");
    EXPECT_EQ(RemoveStaleTemporaryFiles(tmp.folder()), 1);
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / "Strangle_AEX.csv.tmp999999999"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()),
                            std::filesystem::directory_iterator()),
              5);
    EXPECT_EQ(RemoveStaleTemporaryFiles(tmp.folder() + "missing/"), 0);
}

}  // namespace
}  // namespace rendaal
