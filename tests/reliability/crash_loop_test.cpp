// A writer killed at random moments never leaves a history file, or its backup, that lost a
// finished line or holds a torn one.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
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
        const long n = CrashNumber(lines[i]);
        if (n < 0 || n <= last) {
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

// What an editor, a sync tool or a full disk leaves of the file: the writer's first append then
// restores it from the backup, merges and sets aside, and is killed somewhere in that.
std::string Damaged(const std::string& good, unsigned kind) {
    const auto body = good.find("\r\n") + 2;
    switch (kind % 6) {
        case 0:
            return good.substr(0, body + (good.size() - body) / 2 + 7);  // cut inside a line
        case 1:
            return good + "\x01\x02 garbled\r\n";
        case 2: {
            std::string lf = "\xEF\xBB\xBF";  // an editor's save
            for (char c : good) {
                if (c != '\r') {
                    lf += c;
                }
            }
            return lf;
        }
        case 3:
            return good.substr(0, body) + good.substr(body + (good.size() - body) / 2);
        case 4:
            return std::string(
                "\0\xff\x01"
                "binary",
                9);
        default:
            return "";
    }
}

std::vector<int64_t> DaysUpTo(long last) {
    std::vector<int64_t> days;
    for (long n = 0; n <= last; n += 2) {
        days.push_back(DayNumber(CrashNow(n).date()));
    }
    return days;
}

TEST(CrashLoop, KilledDuringARestoreLosesNoDate) {
    ShmTmp shm;
    test::TempDir dir;
    const std::string folder = dir.folder();
    const std::string file = folder + kCrashFile;
    const std::string backup = folder + BackupFileName(kCrashFile);
    const int kills = Rounds(40, 500);
    std::mt19937 random(20261208);
    long done = 9;
    int untouched = 0;  // killed before the file was replaced
    int sideFiles = 0;
    for (int round = 0; round < kills; ++round) {
        const std::string good = CrashFileText(done);
        const std::string damaged = Damaged(good, random());
        test::WriteAll(backup, good);
        test::WriteAll(file, damaged);
        Child child = Spawn(WriterPath(), {folder, std::to_string(done + 1)});
        ASSERT_GT(child.pid, 0) << WriterPath();
        std::vector<std::string> reported;
        ReadLines(child, reported, random() % 2, 5000);
        ::usleep(random() % 3000);
        ::kill(child.pid, SIGKILL);
        Finished finished = Wait(child);
        ASSERT_TRUE(WIFSIGNALED(finished.status)) << "the writer stopped on its own";
        for (size_t nl; (nl = finished.output.find('\n')) != std::string::npos;) {
            reported.push_back(finished.output.substr(0, nl));
            finished.output.erase(0, nl + 1);
        }
        const long claimed = reported.empty() ? done : std::stol(reported.back());
        untouched += ReadFile(file) == damaged;

        // Whatever moment it died at, the file, its backup and what was set aside hold every
        // reported date between them, and the next append puts them all back in the file.
        std::vector<int64_t> held = HistoryDays(ReadFile(file).value_or(""));
        const auto add = [&held](const std::string& text) {
            const auto more = HistoryDays(text);
            held.insert(held.end(), more.begin(), more.end());
        };
        add(ReadFile(backup).value_or(""));
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            if (entry.path().string().find(".onleesbaar") != std::string::npos) {
                add(ReadFile(entry.path().string()).value_or(""));
                std::filesystem::remove(entry.path());
                ++sideFiles;
            }
        }
        std::sort(held.begin(), held.end());
        const std::vector<int64_t> want = DaysUpTo(claimed);
        ASSERT_TRUE(std::includes(held.begin(), held.end(), want.begin(), want.end()))
            << "round " << round << ", reported up to " << claimed;
        const long next = claimed + 1;
        const auto result = AppendHistoryLine(folder, kCrashFile, CrashFields(next), "949,86",
                                              CrashSom(next), CrashNow(next));
        ASSERT_TRUE(result.ok) << result.error;
        const std::vector<int64_t> after = HistoryDays(ReadFile(file).value_or(""));
        const std::vector<int64_t> all = DaysUpTo(next);
        ASSERT_TRUE(std::includes(after.begin(), after.end(), all.begin(), all.end()))
            << "round " << round << ":\n"
            << ReadFile(file).value_or("");
        done = next;
    }
    RecordProperty("kills", kills);
    RecordProperty("killed_before_the_file_was_replaced", untouched);
    std::printf(
        "crash loop during restores: %d kills, %d before the file was replaced, %d side files, "
        "%ld appends, dates lost: 0\n",
        kills, untouched, sideFiles, done + 1);
}

}  // namespace
}  // namespace rendaal::reliability
