// Every file operation of a download run, of the rules writer and of the settings writer fails
// in turn, once and for good: every file then holds its old or its new content, and a run that
// lost a line says so instead of reporting a count.
#include <algorithm>
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "core/combination.h"
#include "core/fileio.h"
#include "core/regfile.h"
#include "history/history_file.h"
#include "platform/http_client.h"
#include "platform/settings_store.h"
#include "reliability/reliability_fixture.h"
#include "reliability/reliability_support.h"

namespace rendaal::reliability {
namespace {

namespace fs = std::filesystem;

constexpr FileOp kOps[] = {FileOp::Open,   FileOp::Write, FileOp::Fsync,
                           FileOp::Rename, FileOp::Close, FileOp::Read};

const char* OpName(FileOp op) {
    switch (op) {
        case FileOp::Open:
            return "open";
        case FileOp::Write:
            return "write";
        case FileOp::Fsync:
            return "fsync";
        case FileOp::Rename:
            return "rename";
        case FileOp::Close:
            return "close";
        case FileOp::Read:
            return "read";
    }
    return "?";
}

// Counts the operations of each kind; fails the nth of one kind (and, for good, every later one).
class Injector final {
public:
    void Install(FileOp op, int nth, bool forever) {
        counts_.clear();
        injected_ = 0;
        SetFaultHook([this, op, nth, forever](FileOp seen, std::string_view) {
            const int n = ++counts_[seen];
            const bool fail = seen == op && (n == nth || (forever && n > nth));
            injected_ += fail;
            return fail;
        });
    }
    void Count() { Install(FileOp::Read, 0, false); }
    // The counts of the last run, kept apart from the runs that follow.
    std::map<FileOp, int> Snapshot() const { return counts_; }
    ~Injector() { SetFaultHook(nullptr); }
    int injected() const { return injected_; }

private:
    std::map<FileOp, int> counts_;
    int injected_ = 0;
};

std::vector<std::string> Leftovers(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.find(".tmp") != std::string::npos) {
            names.push_back(name);
        }
    }
    return names;
}

int g_faultsInjected = 0;

// The network is not under test here: in the short loop each page is fetched from the loopback
// server once and then served from memory. The long loop fetches every page.
class RecordingFetcher final : public PageFetcher {
public:
    explicit RecordingFetcher(PageFetcher& inner) : inner_(inner) {}
    std::string Fetch(const FetchRequest& request) override {
        if (LongRun()) {
            return inner_.Fetch(request);
        }
        auto it = pages_.find(request.url);
        if (it == pages_.end()) {
            it = pages_.emplace(request.url, inner_.Fetch(request)).first;
        }
        return it->second;
    }
    FetchStatus FetchStream(const FetchRequest& request, const ChunkCallback& onChunk) override {
        return inner_.FetchStream(request, onChunk);
    }

private:
    PageFetcher& inner_;
    std::map<std::string, std::string> pages_;
};

class FaultLoop : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Start());
        lines_ = MarketLines(server_.model().IndexLevel());
        for (const auto& line : lines_) {
            const std::string name = HistoryFileName(line);
            old_[name] = std::string(kHistoryHeader) +
                         "\r\n04-12-2026 17:35:00; 10,00; 11,00; 21,00; 940,00\r\n"
                         "07-12-2026 10:00:00; 12,00; 13,00; 25,00; 945,00\r\n";
            oldBak_[name] = std::string(kHistoryHeader) +
                            "\r\n04-12-2026 17:35:00; 10,00; 11,00; 21,00; 940,00\r\n";
        }
    }
    void Baseline() {
        fs::remove_all(dir_.path());
        fs::create_directories(dir_.path());
        for (const auto& [name, text] : old_) {
            test::WriteAll(dir_.path() / name, text);
            test::WriteAll(dir_.path() / BackupFileName(name), oldBak_.at(name));
        }
    }
    RunResult Run(DownloadState& state) {
        const RunEnvironment env = MarketRun(clock_, recorder_, dir_.folder(), server_.BaseUrl(),
                                             lines_, server_.model().IndexLevel());
        return RunDownload(state, env);
    }
    std::string Read(const std::string& name) const {
        return ReadFile(dir_.folder() + name).value_or("(unreadable)");
    }

    test::ScopedEnv noProxy_{"http_proxy", ""};
    quotesim::QuoteServer server_{MarketOptions()};
    QtPageFetcher fetcher_;
    RecordingFetcher recorder_{fetcher_};
    FixedClock clock_{kRunTime};
    ShmTmp shm_;
    test::TempDir dir_;
    std::vector<std::string> lines_;
    std::map<std::string, std::string> old_, oldBak_, new_, newBak_;
};

TEST_F(FaultLoop, DownloadRunKeepsOldOrNewContentAndReportsEveryLoss) {
    Injector injector;
    // The clean run gives the new contents and the number of operations of each kind.
    Baseline();
    injector.Count();
    DownloadState clean;
    const RunResult cleanResult = Run(clean);
    SetFaultHook(nullptr);
    const std::map<FileOp, int> totals = injector.Snapshot();
    ASSERT_EQ(cleanResult.outcome, RunOutcome::Downloaded) << clean.StatusText;
    ASSERT_EQ(clean.PriceCount, 5) << clean.StatusText;
    for (const auto& [name, text] : old_) {
        new_[name] = Read(name);
        newBak_[name] = Read(BackupFileName(name));
        ASSERT_NE(new_[name], text);
    }
    int runs = 0;
    for (const FileOp op : kOps) {
        const int total = totals.count(op) ? totals.at(op) : 0;
        ASSERT_GT(total, 0) << OpName(op);
        for (const bool forever : {false, true}) {
            for (int nth = 1; nth <= total; ++nth) {
                SCOPED_TRACE(std::string(OpName(op)) + " #" + std::to_string(nth) +
                             (forever ? " and after" : " once"));
                Baseline();
                injector.Install(op, nth, forever);
                DownloadState state;
                const RunResult result = Run(state);
                SetFaultHook(nullptr);
                ++runs;
                g_faultsInjected += injector.injected();
                bool anyOld = false;
                for (const auto& [name, oldText] : old_) {
                    const std::string now = Read(name);
                    // Old, new, or the appended line not yet merged (nothing lost either way).
                    const bool unmerged =
                        now.rfind(oldText, 0) == 0 && CompactHistoryText(now) == new_[name];
                    EXPECT_TRUE(now == oldText || now == new_[name] || unmerged) << name << ":\n"
                                                                                 << now;
                    anyOld = anyOld || now == oldText;
                    const std::string bak = Read(BackupFileName(name));
                    EXPECT_TRUE(bak == oldBak_[name] || bak == newBak_[name])
                        << BackupFileName(name) << ":\n"
                        << bak;
                }
                if (anyOld) {
                    EXPECT_EQ(result.outcome, RunOutcome::Error) << state.StatusText;
                    EXPECT_FALSE(result.error.empty());
                    EXPECT_EQ(state.StatusText.rfind("Gedownload", 0), std::string::npos)
                        << state.StatusText;
                } else {
                    EXPECT_EQ(result.outcome, RunOutcome::Downloaded) << result.error;
                }
                EXPECT_EQ(Leftovers(dir_.folder()), std::vector<std::string>{});
            }
        }
    }
    std::printf("fault loop, download run: %d runs, %d faults injected, lost: 0\n", runs,
                g_faultsInjected);
}

// Every file lost a date and holds a garbled line, its backup holds every date: each run
// restores, merges and sets aside, and every operation of that fails in turn. No date and no
// line is ever gone: what is not back in the file is still in the backup or a side file, and a
// run that reports success has put every date back.
TEST_F(FaultLoop, DownloadRunRestoringDamagedFilesLosesNoDate) {
    const std::string garbled = "\x01 garbled";
    for (auto& [name, text] : old_) {
        oldBak_[name] = text;
        text = std::string(kHistoryHeader) +
               "\r\n07-12-2026 10:00:00; 12,00; 13,00; 25,00; 945,00\r\n" + garbled + "\r\n";
    }
    const auto kept = [&](const std::string& name, std::vector<int64_t>& days) {
        std::string all = Read(name) + Read(BackupFileName(name));
        for (const auto& e : fs::directory_iterator(dir_.path())) {
            const std::string side = e.path().filename().string();
            if (side.rfind(BackupFileName(name) + ".onleesbaar", 0) == 0) {
                all += "\r\n" + Read(side);
            }
        }
        days = HistoryDays(all);
        return all.find(garbled) != std::string::npos;
    };
    Injector injector;
    Baseline();
    injector.Count();
    DownloadState clean;
    ASSERT_EQ(Run(clean).outcome, RunOutcome::Downloaded) << clean.StatusText;
    SetFaultHook(nullptr);
    const std::map<FileOp, int> totals = injector.Snapshot();
    int runs = 0;
    int restored = 0;
    const int before = g_faultsInjected;
    for (const FileOp op : kOps) {
        const int total = totals.count(op) ? totals.at(op) : 0;
        for (const bool forever : {false, true}) {
            for (int nth = 1; nth <= total; ++nth) {
                SCOPED_TRACE(std::string(OpName(op)) + " #" + std::to_string(nth) +
                             (forever ? " and after" : " once"));
                Baseline();
                injector.Install(op, nth, forever);
                DownloadState state;
                const RunResult result = Run(state);
                SetFaultHook(nullptr);
                ++runs;
                g_faultsInjected += injector.injected();
                bool anyOld = false;
                for (const auto& [name, oldText] : old_) {
                    std::vector<int64_t> days;
                    EXPECT_TRUE(kept(name, days)) << name << ": the garbled line is gone";
                    const std::vector<int64_t> want = HistoryDays(oldText + oldBak_[name]);
                    EXPECT_TRUE(std::includes(days.begin(), days.end(), want.begin(), want.end()))
                        << name;
                    const std::vector<int64_t> inFile = HistoryDays(Read(name));
                    const bool whole =
                        std::includes(inFile.begin(), inFile.end(), want.begin(), want.end());
                    restored += whole;
                    anyOld = anyOld || Read(name) == oldText;
                    // A backup that could not be read is left as it is, and said; the next
                    // run puts its dates back.
                    const auto told = std::find_if(
                        result.notes.begin(), result.notes.end(), [&](const std::string& note) {
                            return note.find(BackupFileName(name) + " kan niet worden gelezen") !=
                                   std::string::npos;
                        });
                    if (result.outcome == RunOutcome::Downloaded && told == result.notes.end()) {
                        EXPECT_TRUE(whole) << name << ":\n" << Read(name);
                    }
                }
                if (anyOld) {
                    EXPECT_EQ(result.outcome, RunOutcome::Error) << state.StatusText;
                    EXPECT_FALSE(result.error.empty());
                }
                EXPECT_EQ(Leftovers(dir_.folder()), std::vector<std::string>{});
            }
        }
    }
    std::printf(
        "fault loop, download run restoring damaged files: %d runs, %d faults injected, %d files "
        "whole after the run, dates lost: 0\n",
        runs, g_faultsInjected - before, restored);
}

// Runs writer with each operation failing in turn; the file must hold old or new content, and new
// content whenever the writer reported success.
template <typename Writer>
int FailEveryOperation(const std::string& path, const std::string& oldText,
                       const std::string& newText, Writer writer) {
    Injector injector;
    test::WriteAll(path, oldText);
    injector.Count();
    EXPECT_TRUE(writer());
    SetFaultHook(nullptr);
    const std::map<FileOp, int> totals = injector.Snapshot();
    EXPECT_EQ(ReadFile(path).value_or(""), newText);
    int injected = 0;
    for (const FileOp op : kOps) {
        const int total = totals.count(op) ? totals.at(op) : 0;
        for (const bool forever : {false, true}) {
            for (int nth = 1; nth <= total; ++nth) {
                SCOPED_TRACE(std::string(OpName(op)) + " #" + std::to_string(nth) +
                             (forever ? " and after" : " once"));
                test::WriteAll(path, oldText);
                injector.Install(op, nth, forever);
                const bool ok = writer();
                SetFaultHook(nullptr);
                injected += injector.injected();
                const std::string now = ReadFile(path).value_or("(unreadable)");
                EXPECT_TRUE(now == oldText || now == newText) << now;
                if (ok) {
                    EXPECT_EQ(now, newText);
                }
                EXPECT_EQ(Leftovers(fs::path(path).parent_path().string()),
                          std::vector<std::string>{});
            }
        }
    }
    return injected;
}

TEST(FaultLoopWriters, RulesFileIsOldOrNewAndSuccessMeansNew) {
    ShmTmp shm;
    test::TempDir dir;
    const std::vector<std::string> lines = {
        "AEX 2612 00945.00 00945.00; Put: dec 2026 945.00; Call: dec 2026 945.00; Straddle",
        "AEX 2701 00950.00 00Geen; Put: jan 2027 950.00; Call: jan 2027 Geen; Single"};
    std::string newText;
    for (const auto& l : lines) {
        newText += l + "\r\n";
    }
    const std::string path = dir.folder() + "Regels.dat";
    const int injected = FailEveryOperation(path, "; oud\r\n" + lines[0] + "\r\n", newText,
                                            [&] { return SaveRules(path, lines); });
    g_faultsInjected += injected;
    std::printf("fault loop, rules writer: %d faults injected, lost: 0\n", injected);
}

TEST(FaultLoopWriters, SettingsFileIsOldOrNewAndSuccessMeansNew) {
    ShmTmp shm;
    test::TempDir dir;
    const std::string path = dir.folder() + "Rendaal.reg";
    const std::string key = "HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults";
    RegFile before;
    before.WriteInteger(key, "Aantal jaren", 2);
    RegFile after = before;
    after.WriteInteger(key, "Aantal minuten", 30);
    const int injected = FailEveryOperation(path, before.Serialize(), after.Serialize(), [&] {
        SettingsStore store(path);
        return store.Write([&](RegFile& file) { file.WriteInteger(key, "Aantal minuten", 30); });
    });
    g_faultsInjected += injected;
    std::printf("fault loop, settings writer: %d faults injected, lost: 0\n", injected);
}

// The store re-read the file before a write and took a failed read for an empty file, so one
// failed read replaced every setting by the single value being written, and reported success.
TEST(FaultLoopWriters, SettingsWriteAfterAFailedReadKeepsTheOtherValues) {
    test::TempDir dir;
    const std::string path = dir.folder() + "Rendaal.reg";
    SettingsStore store(path);
    ASSERT_TRUE(store.Write([](RegFile& f) { f.WriteInteger(kSettingsKey, "Aantal jaren", 4); }));
    const std::string before = ReadFile(path).value_or("");
    for (const FileOp op : {FileOp::Open, FileOp::Read}) {
        SetFaultHook([op](FileOp seen, std::string_view) { return seen == op; });
        const bool ok =
            store.Write([](RegFile& f) { f.WriteInteger(kSettingsKey, "Aantal minuten", 30); });
        SetFaultHook(nullptr);
        EXPECT_FALSE(ok) << OpName(op);
        EXPECT_EQ(ReadFile(path).value_or(""), before) << OpName(op);
    }
    // A missing file is no failed read: the first write creates it.
    const std::string fresh = dir.folder() + "new.reg";
    EXPECT_TRUE(SettingsStore(fresh).Write(
        [](RegFile& f) { f.WriteInteger(kSettingsKey, "Aantal minuten", 30); }));
    EXPECT_EQ(SettingsStore(fresh).ReadInteger("Aantal minuten", 0), 30);
}

}  // namespace
}  // namespace rendaal::reliability
