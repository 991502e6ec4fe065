// The program's download and the companion program started together, many times: never both
// downloading at once, never a torn or wrongly merged history file.
#include <unistd.h>

#include <filesystem>
#include <optional>
#include <random>

#include <gtest/gtest.h>

#include "core/combination.h"
#include "core/fileio.h"
#include "download/history.h"
#include "download/run_lock.h"
#include "platform/http_client.h"
#include "reliability/reliability_fixture.h"
#include "reliability/sched_env.h"

namespace rendaal::reliability {
namespace {

// A compacted history file written by whole lines: the header, then one well-formed line per
// date.
// A tiny matcher for the line form: "9" a digit, "#" one or more digits, "*" the rest of the line
// made of " 0123456789.,", "~" one or more of "0123456789.,"; other characters stand for
// themselves.
bool Matches(std::string_view s, std::string_view form) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    size_t i = 0;
    for (const char f : form) {
        if (f == '9') {
            if (i >= s.size() || !digit(s[i])) {
                return false;
            }
            ++i;
        } else if (f == '#' || f == '~') {
            const size_t from = i;
            while (i < s.size() && (digit(s[i]) || (f == '~' && (s[i] == '.' || s[i] == ',')))) {
                ++i;
            }
            if (i == from) {
                return false;
            }
        } else if (f == '*') {
            while (i < s.size() && (digit(s[i]) || s[i] == ' ' || s[i] == '.' || s[i] == ',')) {
                ++i;
            }
        } else {
            if (i >= s.size() || s[i] != f) {
                return false;
            }
            ++i;
        }
    }
    return i == s.size();
}

bool WholeLine(std::string_view line) {
    return Matches(line, "99-99-9999; #,99; ~; #,99; *") ||
           Matches(line, "99-99-9999 #:99:99; #,99; ~; #,99; *");
}

::testing::AssertionResult WholeHistory(const std::string& text) {
    const auto lines = SplitLines(text);
    if (lines.empty() || lines[0] != kHistoryHeader) {
        return ::testing::AssertionFailure() << "no header:\n" << text;
    }
    std::string prevDate;
    for (size_t i = 1; i < lines.size(); ++i) {
        if (!WholeLine(lines[i])) {
            return ::testing::AssertionFailure() << "torn line " << i << ": " << lines[i];
        }
        const std::string date = lines[i].substr(0, 10);
        if (date == prevDate) {
            return ::testing::AssertionFailure() << "date twice: " << date << "\n" << text;
        }
        prevDate = date;
    }
    if (text.size() < 2 || text.substr(text.size() - 2) != "\r\n") {
        return ::testing::AssertionFailure() << "last line not ended";
    }
    return ::testing::AssertionSuccess();
}

std::vector<std::string> LinesForToday(double level) {
    TDataRec rec;
    const Date today = SystemClock().Now().date();
    SetRequestWindow(rec, today, 1, level);
    const int c = static_cast<int>(std::nearbyint(level / 5.0)) * 5;
    char yymm[8];
    std::snprintf(yymm, sizeof yymm, "%02d%02d", rec.YearFrom % 100, rec.MonthFrom);
    const std::string s = std::to_string(c) + ".00";
    return {std::string("AEX ") + yymm + " 00" + s + " 00" + s + "; Put: x " +
            std::to_string(rec.YearFrom) + " " + s + "; Call: x " + std::to_string(rec.YearFrom) +
            " " + s + "; Straddle"};
}

TEST(TwoWriters, ProgramAndCompanionNeverDownloadTogether) {
    quotesim::QuoteServer market;  // today's market: the companion reads the system clock
    ASSERT_TRUE(market.Start());
    const double level = market.model().IndexLevel();
    const std::vector<std::string> lines = LinesForToday(level);
    SchedHome home(market.BaseUrl(), lines);
    const std::string folder = home.DataFolder();
    const std::string history = folder + HistoryFileName(lines[0]);
    const std::string ownPid = std::to_string(::getpid()) + "\n";

    SystemClock clock;
    QtPageFetcher fetcher;
    std::mt19937 random(7);
    const int rounds = Rounds(10, 200);
    int bothRan = 0;
    int programRefused = 0;
    int companionRefused = 0;
    int overlaps = 0;
    for (int round = 0; round < rounds; ++round) {
        // Even rounds start the companion first, odd rounds start it while the program's run
        // is under way; the delays let either come first or both meet. The first two rounds
        // make sure they meet: the program tries while the companion holds the lock, and the
        // companion runs its whole course while the program holds it.
        const bool companionFirst = round % 2 == 0;
        const bool meet = round < 2;
        const std::string lockPath = RunLockPath(folder);
        Child companion;
        std::optional<Finished> early;
        if (companionFirst) {
            companion = home.Start();
            ASSERT_GT(companion.pid, 0);
            if (meet) {
                const std::string theirs = std::to_string(companion.pid) + "\n";
                for (int i = 0; i < 10000 && ReadFile(lockPath).value_or("") != theirs; ++i) {
                    ::usleep(1000);
                }
            } else {
                ::usleep(random() % 800000);
            }
        }
        RunLock lock(folder);
        bool programRan = false;
        if (lock.TryAcquire()) {
            RunEnvironment env = MarketRun(clock, fetcher, folder, market.BaseUrl(), lines, level);
            // Whoever takes the lock writes its pid into the lock file: another pid there
            // while this run holds it would be a second downloader.
            env.processEvents = [&] {
                if (companion.pid < 0 && !early) {
                    companion = home.Start();
                    if (meet) {
                        early = Wait(companion);
                    } else {
                        ::usleep(random() % 500000);
                    }
                }
                overlaps += ReadFile(lock.path()).value_or("") != ownPid;
            };
            DownloadState state;
            const RunResult result = RunDownload(state, env);
            overlaps += ReadFile(lock.path()).value_or("") != ownPid;
            EXPECT_EQ(result.outcome, RunOutcome::Downloaded) << result.error;
            lock.Release();
            programRan = true;
        } else {
            ++programRefused;
        }
        ASSERT_TRUE(early || companion.pid > 0);
        const Finished done = early ? *early : Wait(companion);
        const bool companionRefusedNow = done.output.find(kBusyStatus) != std::string::npos;
        companionRefused += companionRefusedNow;
        bothRan += programRan && !companionRefusedNow;
        ASSERT_TRUE(WIFEXITED(done.status));
        if (!companionRefusedNow) {
            EXPECT_EQ(WEXITSTATUS(done.status), 0) << done.output;
        }
        ASSERT_TRUE(WholeHistory(ReadFile(history).value_or(""))) << "round " << round;
    }
    EXPECT_EQ(overlaps, 0);
    EXPECT_GT(programRefused, 0) << "the program never met the companion's lock";
    EXPECT_GT(companionRefused, 0) << "the companion never met the program's lock";
    std::printf(
        "two writers: %d rounds, program refused %d, companion refused %d, one after "
        "the other %d, overlaps %d, lost: 0\n",
        rounds, programRefused, companionRefused, bothRan, overlaps);
}

}  // namespace
}  // namespace rendaal::reliability
