#include "core/trash.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
                  "Strangle_AEX_1306%20a%25.csv\nDeletionDate=2026-12-07T09:05:03\n");
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

}  // namespace
}  // namespace rendaal
