#include "core/fileio.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>

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
    test::WriteAll(tmp.path() / "foo.tmp999999999", "a stranger's");
    test::WriteAll(tmp.path() / "Strangle_AEX.csv", "kept");
    const auto own = [](std::string_view name) { return name != "foo"; };
    EXPECT_EQ(RemoveStaleTemporaryFiles(tmp.folder(), own), 1);
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / "Strangle_AEX.csv.tmp999999999"));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()),
                            std::filesystem::directory_iterator()),
              6);
    EXPECT_EQ(RemoveStaleTemporaryFiles(tmp.folder() + "missing/", own), 0);

    // A symlinked file's writer leaves its temporary next to the target, among others' files.
    test::TempDir elsewhere;
    test::WriteAll(elsewhere.path() / "real.csv", "kept");
    test::WriteAll(elsewhere.path() / "real.csv.tmp999999999", "torn");
    test::WriteAll(elsewhere.path() / "other.csv.tmp999999999", "a stranger's");
    std::filesystem::create_symlink(elsewhere.path() / "real.csv", tmp.path() / "Single_AEX.csv");
    EXPECT_EQ(RemoveStaleTemporaryFiles(tmp.folder(), own), 1);
    EXPECT_FALSE(std::filesystem::exists(elsewhere.path() / "real.csv.tmp999999999"));
    EXPECT_TRUE(std::filesystem::exists(elsewhere.path() / "other.csv.tmp999999999"));
}

// Nothing but a regular file is read or written, and nothing hangs on a FIFO.
TEST(FileIo, SpecialFilesInAFilesPlaceAreRefusedByName) {
    const struct {
        const char* name;
        void (*make)(const std::string& path);
        const char* says;
    } cases[] = {
        {"fifo", [](const std::string& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, "FIFO"},
        {"folder", [](const std::string& p) { std::filesystem::create_directory(p); }, "map"},
        {"device", [](const std::string& p) { std::filesystem::create_symlink("/dev/zero", p); },
         "apparaat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir tmp;
        const std::string path = tmp.folder() + "Regels.dat";
        c.make(path);
        const FileRead read = ReadFileChecked(path);
        EXPECT_FALSE(read.text);
        EXPECT_FALSE(read.missing);
        EXPECT_NE(read.error.find(path), std::string::npos) << read.error;
        EXPECT_NE(read.error.find(c.says), std::string::npos) << read.error;
        std::string why;
        EXPECT_FALSE(WriteFileAtomic(path, "new", &why));
        EXPECT_NE(why.find(path), std::string::npos) << why;
        EXPECT_FALSE(AppendFile(path, "new", &why));
        EXPECT_NE(why.find(path), std::string::npos) << why;
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_FALSE(S_ISREG(st.st_mode));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path()),
                                std::filesystem::directory_iterator()),
                  1);
    }
}

TEST(FileIo, ReplacingASymlinkedFileKeepsTheLinkAndThePermissions) {
    test::TempDir tmp;
    std::filesystem::create_directory(tmp.path() / "real");
    const std::string target = tmp.folder() + "real/Rendaal.reg";
    test::WriteAll(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0600), 0);
    // A relative link through a second link, as a dotfile manager makes them.
    std::filesystem::create_symlink("real/Rendaal.reg", tmp.path() / "first");
    std::filesystem::create_symlink("first", tmp.path() / "Rendaal.reg");
    const std::string link = tmp.folder() + "Rendaal.reg";
    ASSERT_TRUE(WriteFileAtomic(link, "new"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(*ReadFile(target), "new");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(tmp.path() / "real"),
                            std::filesystem::directory_iterator()),
              1);

    std::filesystem::create_symlink("loop", tmp.path() / "loop");
    std::string why;
    EXPECT_FALSE(WriteFileAtomic(tmp.folder() + "loop", "x", &why));
    EXPECT_NE(why.find("loop"), std::string::npos);
}

// A user-named output follows the kernel's judgement of the user's own open(): renaming over a
// read-only file or a root-owned symlink target would succeed where a shell's ">" is refused.
TEST(FileIo, UserNamedOutputIsRefusedWhereTheUsersOwnOpenIs) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    constexpr uid_t kUser = 65534;  // nobody
    std::ifstream sysctl("/proc/sys/fs/protected_symlinks");
    int protectedSymlinks = 0;
    sysctl >> protectedSymlinks;
    struct Case {
        const char* name;
        std::function<void(const std::string& f)> prepare;  // f is root's, mode 0777
        bool written;
        const char* untouched;  // a file that must keep "old"
    };
    const auto file = [](const std::string& path, mode_t mode, uid_t owner) {
        test::WriteAll(path, "old");
        ASSERT_EQ(::chmod(path.c_str(), mode), 0);
        ASSERT_EQ(::chown(path.c_str(), owner, owner), 0);
    };
    const Case cases[] = {
        {"a new file", [](const std::string&) {}, true, ""},
        {"a file of one's own", [&](const std::string& f) { file(f + "out.png", 0644, kUser); },
         true, ""},
        {"a read-only file of one's own",
         [&](const std::string& f) { file(f + "out.png", 0444, kUser); }, false, "out.png"},
        {"a symlink to root's private file",
         [&](const std::string& f) {
             file(f + "secret", 0600, 0);
             std::filesystem::create_symlink(f + "secret", f + "out.png");
         },
         false, "secret"},
        {"a folder the user may not write",
         [](const std::string& f) { ASSERT_EQ(::chmod(f.c_str(), 0555), 0); }, false, ""},
        // fs.protected_symlinks: another user's link in a sticky world-writable folder.
        {"a stranger's symlink in a sticky folder",
         [&](const std::string& f) {
             file(f + "mine", 0644, kUser);
             ASSERT_EQ(::chmod(f.c_str(), 01777), 0);
             std::filesystem::create_symlink(f + "mine", f + "out.png");
             ASSERT_EQ(::lchown((f + "out.png").c_str(), kUser - 1, kUser - 1), 0);
         },
         protectedSymlinks == 0, protectedSymlinks ? "mine" : ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir tmp;
        ASSERT_EQ(::chmod(tmp.path().c_str(), 0755), 0);
        const std::string f = tmp.folder() + "d/";
        std::filesystem::create_directory(f);
        ASSERT_EQ(::chmod(f.c_str(), 0777), 0);
        c.prepare(f);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::string why;
            const bool ok = ::setgid(kUser) == 0 && ::setuid(kUser) == 0 &&
                            WriteUserFileAtomic(f + "out.png", "new", &why);
            _exit(ok ? 0 : why.find("out.png") != std::string::npos ? 1 : 2);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.written ? 0 : 1);
        if (*c.untouched) {
            EXPECT_EQ(test::ReadAll(f + c.untouched), "old");
        }
        if (c.written) {
            EXPECT_EQ(test::ReadAll(f + "out.png"), "new");
        }
        ::chmod(f.c_str(), 0755);
    }
}

}  // namespace
}  // namespace rendaal
