// A writer killed at random moments never leaves a history file, or its backup, that lost a
// finished line or holds a torn one.
#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include <gtest/gtest.h>

#include "core/fileio.h"
#include "reliability/crash_model.h"
#include "reliability/reliability_support.h"
#include "support/test_support.h"

namespace rendaal::reliability {
namespace {

std::string WriterPath() {
    return BinaryDir() + "tests/reliability/history_writer";
}

// The last append a history text holds when it is a whole file of the writer's lines in append
// order that compacts to the file after exactly those appends; empty for anything else (a torn
// line, a lost line, a line out of order).
std::optional<long> LastAppend(const std::string& text) {
    const auto lines = SplitLines(text);
    if (lines.empty() || lines[0] != kHistoryHeader || text.size() < 2 ||
        text.compare(text.size() - 2, 2, "\r\n") != 0) {
        return std::nullopt;
    }
    long last = -1;
    for (size_t i = 1; i < lines.size(); ++i) {
        const auto hash = lines[i].find('#');
        if (hash == std::string::npos) {
            return std::nullopt;
        }
        const long n = std::atol(lines[i].c_str() + hash + 1);
        if (n <= last || lines[i] != CrashLine(n)) {
            return std::nullopt;
        }
        last = n;
    }
    if (CompactHistoryText(text) != CrashFileText(last)) {
        return std::nullopt;
    }
    return last;
}

TEST(CrashLoop, KilledWriterNeverLosesAFinishedLineNorTearsOne) {
    ShmTmp shm;
    test::TempDir dir;
    const std::string folder = dir.folder();
    const std::string file = folder + kCrashFile;
    const std::string backup = folder + BackupFileName(kCrashFile);
    const int kills = Rounds(50, 1000);
    std::mt19937 random(20261207);
    long done = -1;  // the file holds appends 0..done
    int uncompacted = 0;
    int backupsChecked = 0;
    int backupAhead = 0;  // killed between writing the backup and replacing the file
    for (int round = 0; round < kills; ++round) {
        Child child = Spawn(WriterPath(), {folder, std::to_string(done + 1)});
        ASSERT_GT(child.pid, 0) << WriterPath();
        // Let it finish a few appends now and then, so that the file grows; then kill it at a
        // random point of an append.
        std::vector<std::string> reported;
        ReadLines(child, reported, random() % 3, 5000);
        ::usleep(random() % 4000);
        ::kill(child.pid, SIGKILL);
        Finished finished = Wait(child);
        ASSERT_TRUE(WIFSIGNALED(finished.status)) << "the writer stopped on its own";
        for (size_t nl; (nl = finished.output.find('\n')) != std::string::npos;) {
            reported.push_back(finished.output.substr(0, nl));
            finished.output.erase(0, nl + 1);
        }
        const long claimed = reported.empty() ? done : std::stol(reported.back());
        ASSERT_GE(claimed, done);

        // Every append it reported is in the file; at most the one it was busy with follows.
        const auto text = ReadFile(file);
        long now = -1;
        if (text) {
            const auto last = LastAppend(*text);
            ASSERT_TRUE(last && (*last == claimed || *last == claimed + 1))
                << "round " << round << ", reported up to " << claimed << ":\n"
                << *text;
            now = *last;
            uncompacted += CompactHistoryText(*text) != *text;
        } else {
            ASSERT_EQ(claimed, -1);
        }

        // The backup is a whole state of the file: an earlier one, or the appended text of the
        // append that was cut short (written before the file itself).
        if (const auto saved = ReadFile(backup)) {
            const auto last = LastAppend(*saved);
            EXPECT_TRUE(last && *last <= now + 1) << "round " << round << ", backup:\n" << *saved;
            backupAhead += last && *last == now + 1;
            ++backupsChecked;
        }
        done = now;
    }
    EXPECT_GT(done, kills / 2) << "the writer hardly ever got to append";
    EXPECT_GT(backupsChecked, kills / 2);
    RecordProperty("kills", kills);
    RecordProperty("appends", static_cast<int>(done + 1));
    RecordProperty("killed_between_append_and_compaction", uncompacted);
    // A killed writer leaves its temporary file behind; it is never read, but it stays.
    int leftovers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        leftovers += entry.path().filename().string().find(".tmp") != std::string::npos;
    }
    std::printf(
        "crash loop: %d kills, %ld appends survived, %d kills between append and "
        "compaction, %d between backup and file, %d temporary files left, lost: 0\n",
        kills, done + 1, uncompacted, backupAhead, leftovers);
}

}  // namespace
}  // namespace rendaal::reliability
