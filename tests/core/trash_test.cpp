#include "core/trash.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <unistd.h>

#include <filesystem>

#include "support/test_support.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;

const DateTime kNow{2026, 12, 7, 9, 5, 3, 0};

TEST(Trash, MovedFileCanBePutBackAndNamesNeverClash) {
    test::TempDir dir;
    const std::string trash = dir.folder() + "share/Trash/";  // made when missing
    const std::string name = "Strangle_AEX_1306 a%.csv";
    for (const char* content : {"first", "second"}) {
        test::WriteAll(dir.path() / name, content);
        ASSERT_TRUE(MoveToTrash(dir.folder() + name, trash, kNow));
        EXPECT_FALSE(fs::exists(dir.path() / name));
    }
    EXPECT_EQ(test::ReadAll(trash + "files/" + name), "first");
    EXPECT_EQ(test::ReadAll(trash + "files/" + name + ".2"), "second");
    EXPECT_EQ(test::ReadAll(trash + "info/" + name + ".2.trashinfo"),
              "[Trash Info]\nPath=" + dir.folder() +
                  "Strangle_AEX_1306%20a%25.csv\nDeletionDate=2026-12-07T09:05:03\nX-Rendaal-Pid=" +
                  std::to_string(::getpid()) + "\n");
    EXPECT_EQ(fs::status(trash + "files").permissions(), fs::perms::owner_all);
}

TEST(Trash, WithoutAUsableTrashTheFileStays) {
    test::TempDir dir;
    test::WriteAll(dir.path() / "f.csv", "kept");
    const std::string file = dir.folder() + "f.csv";
    test::WriteAll(dir.path() / "blocked", "a file where the trash should be");
    std::string why;
    EXPECT_FALSE(MoveToTrash(file, dir.folder() + "blocked/", kNow, &why));
    EXPECT_FALSE(why.empty());
    EXPECT_FALSE(MoveToTrash(file, "", kNow));
    // A trash on another file system would need a copy; the file stays instead.
    struct stat here {};
    struct stat shm {};
    if (::stat("/dev/shm", &shm) == 0 && ::stat(file.c_str(), &here) == 0 &&
        here.st_dev != shm.st_dev) {
        const std::string other = "/dev/shm/rendaal-trash-test-" + std::to_string(::getpid());
        EXPECT_FALSE(MoveToTrash(file, other + "/", kNow, &why));
        fs::remove_all(other);
    }
    EXPECT_EQ(test::ReadAll(file), "kept");
}

// A move killed between its two steps left the info file without its file for good, and every
// trash listing then reported it.
TEST(Trash, InfoWithoutItsFileIsRemovedOnlyWhenItIsOursAndItsMoverEnded) {
    const pid_t ended = ::fork();
    if (ended == 0) {
        ::_exit(0);
    }
    ASSERT_GT(ended, 0);
    ::waitpid(ended, nullptr, 0);
    const std::string mark =
        "[Trash Info]\nPath=/d/x\nDeletionDate=2026-12-07T09:05:03\nX-Rendaal-Pid=";
    const struct {
        const char* name;
        std::string info;
        bool fileArrived;
        bool removed;
    } cases[] = {
        {"ours, mover ended", mark + std::to_string(ended) + "\n", false, true},
        {"ours, file arrived", mark + std::to_string(ended) + "\n", true, false},
        {"ours, mover still running", mark + std::to_string(::getpid()) + "\n", false, false},
        {"another program's", "[Trash Info]\nPath=/d/x\nDeletionDate=2026-12-07T09:05:03\n", false,
         false},
        {"another program's, empty", "", false, false},
        {"key not in a trash info", "X-Rendaal-Pid=" + std::to_string(ended) + "\n", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string trash = dir.folder() + "Trash/";
        fs::create_directories(trash + "info");
        fs::create_directories(trash + "files");
        test::WriteAll(trash + "info/a.csv.trashinfo", c.info);
        if (c.fileArrived) {
            test::WriteAll(trash + "files/a.csv", "x");
        }
        EXPECT_EQ(RemoveOrphanTrashInfo(trash), c.removed ? 1 : 0);
        EXPECT_EQ(fs::exists(trash + "info/a.csv.trashinfo"), !c.removed);
    }
}

}  // namespace
}  // namespace rendaal
