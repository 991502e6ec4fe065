// A week of runs against the loopback quote server, then files lost in every way: the rebuild
// brings back each history byte for byte from the backup and the page archive.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "app/companion.h"
#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "download/archive.h"
#include "download/download_run.h"
#include "download/history.h"
#include "download/rebuild.h"
#include "download/run_lock.h"
#include "platform/http_client.h"
#include "quotesim/quote_server.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kLines = {
    "AEX 2612 00925.00 00925.00; Put: dec 2026 925.00; Call: dec 2026 925.00; Straddle",
    "AEX 2612 00915.00 00935.00; Put: dec 2026 915.00; Call: dec 2026 935.00; Strangle",
    "AEX 2701 00925.00 00Geen; Put: jan 2027 925.00; Call: jan 2027 Geen; Single",
};

// Monday 30 November to Friday 4 December 2026, two runs a day, and one on Saturday that is
// dated Friday.
const std::vector<DateTime> kRunTimes = {
    {2026, 11, 30, 10, 15, 3, 0}, {2026, 11, 30, 17, 40, 0, 0}, {2026, 12, 1, 11, 0, 59, 0},
    {2026, 12, 1, 17, 36, 12, 0}, {2026, 12, 2, 9, 30, 0, 0},   {2026, 12, 2, 17, 45, 0, 0},
    {2026, 12, 3, 12, 0, 0, 0},   {2026, 12, 4, 16, 0, 0, 0},   {2026, 12, 5, 10, 0, 0, 0},
};

// On a loaded machine a page of the loopback server can miss the 2 s receive time-out; the
// week is the test's data, not a test of time-outs.
class PatientFetcher final : public PageFetcher {
public:
    std::string Fetch(const FetchRequest& request) override {
        return inner_.Fetch(Patient(request));
    }
    FetchStatus FetchStream(const FetchRequest& request, const ChunkCallback& onChunk) override {
        return inner_.FetchStream(Patient(request), onChunk);
    }
    FetchStatus LastStatus() const override { return inner_.LastStatus(); }

private:
    static FetchRequest Patient(FetchRequest request) {
        request.timeoutMs = 30000;
        return request;
    }
    QtPageFetcher inner_;
};

// One week's data folder, made once: histories, backups and the archive.
class Week {
public:
    Week() {
        fs::create_directories(Folder());
        std::string rules;
        for (const auto& l : kLines) {
            rules += l + "\r\n";
        }
        test::WriteAll(Folder() + "Regels.dat", rules);
        DownloadState state;  // one window running all week
        FixedClock clock(kRunTimes.front());
        PatientFetcher fetcher;
        for (size_t i = 0; i < kRunTimes.size(); ++i) {
            quotesim::ServerOptions options;
            options.seed = static_cast<uint32_t>(i + 1);
            options.today = kRunTimes[i].date();
            quotesim::QuoteServer server(options);
            EXPECT_TRUE(server.Start());
            clock.Set(kRunTimes[i]);
            RunEnvironment env;
            env.clock = &clock;
            env.fetcher = &fetcher;
            env.dataFolder = Folder();
            env.lines = [] { return kLines; };
            env.years = [] { return 1; };
            env.lastHistoryIndexValue = [] { return 0.0; };
            env.indexUrlBase = env.optionUrlBase = server.BaseUrl();
            const RunResult result = RunDownload(state, env);
            EXPECT_EQ(result.outcome, RunOutcome::Downloaded) << i << " " << result.reason;
            EXPECT_TRUE(result.notes.empty()) << result.notes.front();
        }
    }
    std::string Folder() const { return dir_.folder() + "Rendaal/"; }

private:
    test::TempDir dir_;
};

const Week& TheWeek() {
    static const Week week;
    return week;
}

std::string Name(size_t i) {
    return HistoryFileName(kLines[i]);
}

struct Damage {
    const char* name;
    std::function<void(const std::string& folder)> apply;
    int exitCode;
    // Per history file, the dates the rebuilt file still lacks (the damaged page's day).
    std::vector<std::string> lost;
};

void PrintTo(const Damage& d, std::ostream* os) {
    *os << d.name;
}

void Remove(const std::string& path) {
    ASSERT_TRUE(fs::remove(path)) << path;
}

// A history text without the lines of a date.
std::string WithoutDate(std::string text, const std::string& date) {
    for (auto at = text.find("\r\n" + date); at != std::string::npos;
         at = text.find("\r\n" + date)) {
        text.erase(at + 2, text.find("\r\n", at + 2) - at);
    }
    return text;
}

void DropDate(const std::string& path, const std::string& date) {
    const std::string text = test::ReadAll(path);
    ASSERT_NE(text.find("\r\n" + date), std::string::npos) << path;
    test::WriteAll(path, WithoutDate(text, date));
}

void LoseHistories(const std::string& f) {
    for (size_t i = 0; i < kLines.size(); ++i) {
        Remove(f + Name(i));
        Remove(f + BackupFileName(Name(i)));
    }
}

// Both histories lost and the index of 2 December in another state.
Damage IndexDamage(const char* name, std::function<void(const std::string& index)> apply) {
    return {name,
            [apply](const std::string& f) {
                LoseHistories(f);
                apply(f + "Archief/2026-12-02/inhoud.txt");
            },
            0,
            {}};
}

const Damage kDamages[] = {
    {"HistoryLost",
     [](const std::string& f) {
         for (size_t i = 0; i < kLines.size(); ++i) {
             Remove(f + Name(i));
         }
     },
     0,
     {}},
    {"BackupLost",
     [](const std::string& f) {
         for (size_t i = 0; i < kLines.size(); ++i) {
             Remove(f + BackupFileName(Name(i)));
         }
     },
     1,
     {}},
    {"BothLost",
     [](const std::string& f) {
         for (size_t i = 0; i < kLines.size(); ++i) {
             Remove(f + Name(i));
             Remove(f + BackupFileName(Name(i)));
         }
     },
     0,
     {}},
    {"OneDayMissing",
     [](const std::string& f) {
         DropDate(f + Name(1), "02-12-2026");
         DropDate(f + BackupFileName(Name(1)), "02-12-2026");
     },
     0,
     {}},
    {"NothingMissing", [](const std::string&) {}, 1, {}},
    {"DamagedArchiveFile",
     [](const std::string& f) {
         for (size_t i = 0; i < kLines.size(); ++i) {
             Remove(f + Name(i));
             Remove(f + BackupFileName(Name(i)));
         }
         const std::string day = f + "Archief/2026-12-01/";
         for (const auto& e : fs::directory_iterator(day)) {
             if (e.path().string().ends_with("opties.html.gz")) {
                 std::string bytes = test::ReadAll(e.path());
                 bytes[bytes.size() / 2] ^= 0x55;
                 test::WriteAll(e.path(), bytes);
             }
         }
     },
     2,
     {"01-12-2026"}},
    // The pages of a day whose index is lost still say by their names when they were fetched.
    IndexDamage("IndexMissing", [](const std::string& i) { Remove(i); }),
    IndexDamage("IndexEmpty", [](const std::string& i) { test::WriteAll(i, ""); }),
    IndexDamage("IndexGarbled",
                [](const std::string& i) {
                    std::string text = test::ReadAll(i);
                    text[text.size() / 2] = '\t';
                    test::WriteAll(i, "\xEF\xBB\xBF" + text.substr(0, text.size() - 7));
                }),
    IndexDamage("IndexASymlink",
                [](const std::string& i) {
                    Remove(i);
                    fs::create_symlink("../2026-12-01/inhoud.txt", i);
                }),
    IndexDamage("IndexAFolder",
                [](const std::string& i) {
                    Remove(i);
                    fs::create_directory(i);
                }),
    {"DayFolderDeleted",
     [](const std::string& f) {
         LoseHistories(f);
         fs::remove_all(f + "Archief/2026-12-03");
     },
     2,
     {"03-12-2026"}},
};

class Rebuild : public ::testing::TestWithParam<Damage> {};

TEST_P(Rebuild, BringsBackEveryLostDayByteForByte) {
    const Week& week = TheWeek();
    test::TempDir home;
    const std::string folder = home.folder() + "Rendaal/";
    fs::copy(week.Folder(), folder, fs::copy_options::recursive);
    GetParam().apply(folder);
    const test::ScopedEnv data("XDG_DATA_HOME", home.path().string());
    // Every day it cannot bring back is named, in the window's box as on stderr.
    const std::string window = home.folder() + "Window/";
    fs::copy(week.Folder(), window, fs::copy_options::recursive);
    GetParam().apply(window);
    const std::string summary = RebuildSummary(RebuildLocked(window, {}));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int code = RunRebuildCommand({});
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, GetParam().exitCode) << out << err;
    for (const auto& date : GetParam().lost) {
        EXPECT_NE(err.find(date + " niet hersteld voor"), std::string::npos) << err;
        EXPECT_NE(summary.find(date + " niet hersteld voor"), std::string::npos) << summary;
    }
    for (size_t i = 0; i < kLines.size(); ++i) {
        std::string expected = test::ReadAll(week.Folder() + Name(i));
        for (const auto& date : GetParam().lost) {
            expected = WithoutDate(expected, date);
        }
        EXPECT_EQ(test::ReadAll(folder + Name(i)), expected) << Name(i) << "\n" << out;
        EXPECT_NE(out.find(Name(i) + ": "), std::string::npos) << out;
    }
}

INSTANTIATE_TEST_SUITE_P(Damages, Rebuild, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rendaal

namespace rendaal {
namespace {

// The run lock covers the archive: a rebuild while a download runs changes nothing.
TEST(RebuildWhileDownloading, WaitsForTheRunLock) {
    const Week& week = TheWeek();
    test::TempDir home;
    const std::string folder = home.folder() + "Rendaal/";
    fs::copy(week.Folder(), folder, fs::copy_options::recursive);
    Remove(folder + Name(0));
    Remove(folder + BackupFileName(Name(0)));
    const test::ScopedEnv data("XDG_DATA_HOME", home.path().string());
    RunLock download(folder);
    ASSERT_TRUE(download.TryAcquire());
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunRebuildCommand({}), 2);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("download"), std::string::npos);
    EXPECT_FALSE(fs::exists(folder + Name(0)));
    download.Release();
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunRebuildCommand({Name(0)}), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout().find(Name(1)), std::string::npos);
    EXPECT_EQ(test::ReadAll(folder + Name(0)), test::ReadAll(week.Folder() + Name(0)));
}

}  // namespace
}  // namespace rendaal
