// A clean-up killed while it moves files to the trash leaves, once the next clean-up has run,
// neither an info file without its file nor a file without its info, and loses no file.
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "core/trash.h"
#include "reliability/reliability_support.h"
#include "support/test_support.h"

namespace rendaal::reliability {
namespace {

namespace fs = std::filesystem;

std::set<std::string> Names(const std::string& folder, std::string_view suffix = {}) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.ends_with(suffix)) {
            names.insert(name.substr(0, name.size() - suffix.size()));
        }
    }
    return names;
}

TEST(TrashKillLoop, NextCleanUpLeavesNoInfoWithoutItsFile) {
    ShmTmp shm;
    test::TempDir dir;
    const std::string folder = dir.folder() + "data/";
    const std::string trash = dir.folder() + "Trash/";
    fs::create_directories(folder);
    const int kills = Rounds(40, 300);
    std::mt19937 random(20261207);
    int orphanKills = 0;
    long moved = 0;
    for (int round = 0; round < kills; ++round) {
        Child child = Spawn(BinaryDir() + "tests/reliability/trash_mover",
                            {folder, trash, std::to_string(round * 100000L)});
        ASSERT_GT(child.pid, 0);
        std::vector<std::string> reported;
        ReadLines(child, reported, random() % 3, 5000);
        ::usleep(random() % 2000);
        ::kill(child.pid, SIGKILL);
        ASSERT_TRUE(WIFSIGNALED(Wait(child).status)) << "the mover stopped on its own";

        const auto infos = Names(trash + "info/", ".trashinfo");
        const auto files = Names(trash + "files/");
        std::vector<std::string> orphans;
        std::set_difference(infos.begin(), infos.end(), files.begin(), files.end(),
                            std::back_inserter(orphans));
        orphanKills += !orphans.empty();
        // The next clean-up.
        EXPECT_EQ(RemoveOrphanTrashInfo(trash), static_cast<int>(orphans.size()));
        EXPECT_EQ(Names(trash + "info/", ".trashinfo"), files) << "round " << round;
        for (const auto& name : files) {
            ASSERT_FALSE(fs::exists(folder + name)) << name << " both in the trash and in place";
        }
        moved = static_cast<long>(files.size());
    }
    // Every file made is in its folder or in the trash.
    long inPlace = 0;
    for (const auto& name : Names(folder)) {
        // Empty when the mover was killed while it made the file.
        const std::string text = test::ReadAll(folder + name);
        EXPECT_TRUE(text.empty() || text == folder + name) << name;
        ++inPlace;
    }
    for (const auto& name : Names(trash + "files/")) {
        EXPECT_EQ(test::ReadAll(trash + "files/" + name), folder + name);
    }
    EXPECT_GT(moved, kills / 2);
    std::printf(
        "trash kill loop: %d kills, %d left an info file without its file, 0 after the next "
        "clean-up; %ld files moved, %ld in place, lost: 0\n",
        kills, orphanKills, moved, inPlace);
}

}  // namespace
}  // namespace rendaal::reliability
