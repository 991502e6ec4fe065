#include "download/run_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "support/test_support.h"

namespace rendaal {
namespace {

TEST(RunLock, OneHolderAtATime) {
    test::TempDir dir;
    RunLock a(dir.folder());
    RunLock b(dir.folder());
    ASSERT_TRUE(a.TryAcquire());
    EXPECT_TRUE(a.TryAcquire());  // again by its holder
    EXPECT_FALSE(b.TryAcquire());
    a.Release();
    EXPECT_TRUE(b.TryAcquire());
    EXPECT_EQ(test::ReadAll(b.path()), std::to_string(::getpid()) + "\n");
}

TEST(RunLock, LockOfAnotherProcessAndItsStaleFile) {
    test::TempDir dir;
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        RunLock held(dir.folder());
        const char ok = held.TryAcquire() ? '1' : '0';
        [[maybe_unused]] auto w = ::write(ready[1], &ok, 1);
        char c;
        [[maybe_unused]] auto r = ::read(release[0], &c, 1);
        ::_exit(0);  // ends without releasing: the file stays behind with its pid
    }
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    ASSERT_EQ(ok, '1');
    RunLock mine(dir.folder());
    EXPECT_FALSE(mine.TryAcquire());
    ASSERT_EQ(::write(release[1], "x", 1), 1);
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(mine.TryAcquire());
}

// A sync tool replaces a file of the data folder whose bytes changed: the lock is kept where no
// sync tool reaches, one per folder however it is spelled.
TEST(RunLock, OneLockPerFolderOutsideIt) {
    test::TempDir dir;
    const std::string data = dir.folder() + "data/";
    std::filesystem::create_directories(data);
    std::filesystem::create_directory_symlink(data, dir.path() / "link");
    std::filesystem::create_directories(dir.path() / "run");
    std::filesystem::create_directories(dir.path() / "elsewhere");
    const std::string run = dir.folder() + "run/";
    const std::string cache = dir.folder() + "cache/";
    const test::ScopedEnv cacheHome("XDG_CACHE_HOME", cache);
    const struct {
        const char* name;
        const char* runtime;
        std::function<void()> make;
        std::string in;  // the folder the lock is in; also /run/user/<uid>/ where there is one
    } cases[] = {
        {"runtime folder", "run", [] {}, run + "Rendaal/"},
        {"no runtime folder", "gone", [] {}, cache + "Rendaal/"},
        {"runtime folder a file", "file", [&] { test::WriteAll(dir.path() / "file", ""); },
         cache + "Rendaal/"},
        {"its Rendaal folder a symlink", "run",
         [&] {
             std::filesystem::remove_all(run + "Rendaal");
             std::filesystem::create_directory_symlink(dir.path() / "elsewhere", run + "Rendaal");
         },
         cache + "Rendaal/"},
    };
    const std::string session = "/run/user/" + std::to_string(::geteuid()) + "/Rendaal/";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.make();
        const test::ScopedEnv runtime("XDG_RUNTIME_DIR", dir.folder() + c.runtime);
        const std::string path = RunLockPath(data);
        EXPECT_TRUE(path.starts_with(c.in) || path.starts_with(session)) << path;
        EXPECT_EQ(RunLockPath(dir.folder() + "link/"), path);
        EXPECT_EQ(RunLockPath(dir.folder() + "data//"), path);
        EXPECT_NE(RunLockPath(dir.folder() + "elsewhere/"), path);
        RunLock a(data);
        RunLock b(dir.folder() + "link/");
        EXPECT_TRUE(a.TryAcquire());
        EXPECT_FALSE(b.TryAcquire());
        EXPECT_FALSE(std::filesystem::exists(data + kRunLockName));
    }
}

// Only another holder makes the lock busy; every other failure is an error naming the file.
TEST(RunLock, BusyOnlyWhenAnotherHoldsIt) {
    const struct {
        const char* name;
        void (*make)(const std::string& folder, RunLock& other);
        bool busy;
    } cases[] = {
        {"another holder", [](const std::string&, RunLock& other) { other.TryAcquire(); }, true},
        {"no folder",
         [](const std::string& folder, RunLock&) { std::filesystem::remove_all(folder); }, false},
        {"lock is a folder",
         [](const std::string& folder, RunLock&) {
             std::filesystem::create_directory(RunLockPath(folder));
         },
         false},
        {"lock is a FIFO",
         [](const std::string& folder, RunLock&) {
             ASSERT_EQ(::mkfifo(RunLockPath(folder).c_str(), 0600), 0);
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string folder = dir.folder() + "data/";
        std::filesystem::create_directory(folder);
        RunLock other(folder);
        c.make(folder, other);
        RunLock lock(folder);
        const LockAttempt attempt = lock.Acquire();
        EXPECT_FALSE(attempt.taken);
        EXPECT_EQ(attempt.busy, c.busy);
        EXPECT_EQ(attempt.error.empty(), c.busy) << attempt.error;
        if (!c.busy) {
            EXPECT_NE(attempt.error.find(lock.path()), std::string::npos) << attempt.error;
        }
    }
}

}  // namespace
}  // namespace rendaal
