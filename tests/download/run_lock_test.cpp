#include "download/run_lock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

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
             std::filesystem::create_directory(folder + kRunLockName);
         },
         false},
        {"lock is a FIFO",
         [](const std::string& folder, RunLock&) {
             ASSERT_EQ(::mkfifo((folder + kRunLockName).c_str(), 0600), 0);
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
