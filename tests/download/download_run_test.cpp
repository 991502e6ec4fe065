#include "download/download_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>

#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "download/archive.h"
#include "download/history.h"
#include "download/option_page.h"
#include "download/rebuild.h"
#include "fake_fetcher.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

using test::FakeFetcher;
using test::ReadAll;
using test::Row;
using test::TempDir;
namespace fs = std::filesystem;

TEST(SetRequestWindow, MonthsAroundTheThirdFriday) {
    struct Case {
        const char* name;
        Date today;
        int years;
        int month, yearFrom, yearTill;
    };
    const Case cases[] = {
        {"on the third Friday", {2008, 12, 19}, 1, 12, 2008, 2009},
        {"the day after", {2008, 11, 22}, 1, 12, 2008, 2009},
        {"after December's third Friday", {2008, 12, 20}, 1, 1, 2009, 2010},
        {"25 March 2009, three years", {2009, 3, 25}, 3, 4, 2009, 2012},
        {"21 March 2008 counts without the March rule", {2008, 3, 21}, 1, 3, 2008, 2009},
    };
    for (const Case& c : cases) {
        TDataRec rec;
        rec.IndexValue = 400;
        SetRequestWindow(rec, c.today, c.years, 0);
        EXPECT_EQ(rec.MonthFrom, c.month) << c.name;
        EXPECT_EQ(rec.MonthTill, c.month) << c.name;
        EXPECT_EQ(rec.YearFrom, c.yearFrom) << c.name;
        EXPECT_EQ(rec.YearTill, c.yearTill) << c.name;
    }
}

TEST(SetRequestWindow, PriceWindowAroundTheLastLevel) {
    struct Case {
        double index, lastHistory;
        int from, till;
    };
    const Case cases[] = {
        {0, 0, 150, 350},      // nothing known yet
        {512.5, 0, 410, 610},  // 102.5 rounds to 102
        {517.5, 0, 420, 620},  // 103.5 rounds to 104
        {0.5, 512, 410, 610},  // no level read: the chart's
        {50, 80, 150, 350},
        {925.43, 0, 825, 1025},
        // Levels beyond any the AEX can have are none (the release build asked for
        // PriceFrom=65436&PriceTill=100 after a stored 9000000000000000,00).
        {9e15, 0, 150, 350},
        {0, 9e15, 150, 350},
        {-1, 512, 410, 610},
        {NAN, 0, 150, 350},
        {0, NAN, 150, 350},
        {100000.01, 0, 150, 350},
        {0, 1e300, 150, 350},
        {100000, 0, 99900, 100100},
    };
    for (const Case& c : cases) {
        TDataRec rec;
        rec.IndexValue = c.index;
        SetRequestWindow(rec, {2008, 12, 1}, 1, c.lastHistory);
        EXPECT_EQ(rec.PriceFrom, c.from) << c.index;
        EXPECT_EQ(rec.PriceTill, c.till) << c.index;
    }
}

// A run on Monday 8 December 2008 at 18:00 against pages built here.
class Run : public ::testing::Test {
protected:
    Run() {
        env.clock = &clock;
        env.fetcher = &fetcher;
        env.dataFolder = dir.folder();
        env.lines = [this] { return lines; };
        env.years = [] { return 1; };
        env.lastHistoryIndexValue = [] { return 0.0; };
        env.indexUrlBase = test::kIndexBase;
        env.optionUrlBase = test::kOptionBase;
        env.showStatus = [this](const std::string& s) { statuses.push_back(s); };
        fetcher.Serve(test::kIndexBase,
                      {test::IndexPageHtml("08-12-08", "17:35", " 405,10", "2,00")});
    }
    void ServeOptions(const std::vector<Row>& rows) {
        fetcher.Serve(test::kOptionBase, {test::OptionPageHtml(rows)});
    }
    std::string History(const std::string& line) const {
        const std::string path = env.dataFolder + HistoryFileName(line);
        return FileExists(path) ? ReadAll(path) : std::string("(none)");
    }
    std::vector<std::string> DataLines(const std::string& line) const {
        auto all = SplitLines(History(line));
        return std::vector<std::string>(all.begin() + (all.empty() ? 0 : 1), all.end());
    }
    size_t OptionRequests() const {
        size_t n = 0;
        for (const auto& r : fetcher.requests) {
            n += r.url.rfind(test::kOptionBase, 0) == 0;
        }
        return n;
    }

    TempDir dir;
    FixedClock clock{DateTime{2008, 12, 8, 18, 0, 0, 0}};
    FakeFetcher fetcher;
    RunEnvironment env;
    DownloadState state;
    std::vector<std::string> lines;
    std::vector<std::string> statuses;
};

const std::string kStrangle =
    "AEX 0812 00400.00 00420.00; Put: dec 2008 400.00; Call: dec 2008 420.00; Strangle";
const std::string kStraddle =
    "AEX 0812 00410.00 00410.00; Put: dec 2008 410.00; Call: dec 2008 410.00; Straddle";
const std::string kCallOnly =
    "AEX 0812 00Geen 00420.00; Put: dec 2008 Geen; Call: dec 2008 420.00; Single";
const std::string kPutOnly =
    "AEX 0812 00400.00 00Geen; Put: dec 2008 400.00; Call: dec 2008 Geen; Single";

const std::vector<Row> kRows = {
    {'C', "19-12-2008", "410,00", "9,50"},
    {'C', "19-12-2008", "420,00", "5,20"},
    {'P', "19-12-2008", "400,00", "0,65"},
    {'P', "19-12-2008", "410,00", "12,35"},
};

TEST_F(Run, WritesEveryCombinationAndReportsTheCount) {
    lines = {kStrangle, kStraddle, kCallOnly, kPutOnly};
    ServeOptions(kRows);
    state.DataRec.IndexValue = 407.4;  // the previous run's level centres the window
    int yields = 0;
    env.processEvents = [&yields] { ++yields; };
    const RunResult result = RunDownload(state, env);
    EXPECT_EQ(yields, 3 + 4);  // after each page, after stripping, after each written line
    EXPECT_EQ(result.outcome, RunOutcome::Downloaded);
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.passes, 1);
    EXPECT_EQ(state.StatusText, "Gedownload: 6 koersen");
    EXPECT_EQ(DataLines(kStrangle),
              std::vector<std::string>{"08-12-2008 18:00:00; 00,65; 05,20; 05,85;  405,10"});
    EXPECT_EQ(DataLines(kStraddle),
              std::vector<std::string>{"08-12-2008 18:00:00; 12,35; 09,50; 21,85;  405,10"});
    EXPECT_EQ(DataLines(kCallOnly),
              std::vector<std::string>{"08-12-2008 18:00:00; 00.0; 05,20; 05,20;  405,10"});
    EXPECT_EQ(DataLines(kPutOnly),
              std::vector<std::string>{"08-12-2008 18:00:00; 00,65; 00.0; 00,65;  405,10"});
    EXPECT_EQ(state.DataRec.PriceFrom, 305);
    EXPECT_EQ(state.DataRec.PriceTill, 505);
    EXPECT_EQ(fetcher.requests.back().url,
              "http://option.test/dft/koersen/opties/?xml=true&tabid=koersen&tab=3&detail=true&"
              "selind=12272+IND+AEX-index+355&criteria=criteria&MonthFrom=12&YearFrom=2008&"
              "MonthTill=12&YearTill=2009&PriceFrom=305&PriceTill=505&callput=allebei&first="
              "Call/Put&second=Afloopdatum");
    EXPECT_EQ(fetcher.requests.back().proxy, ProxyMode::Direct);
    EXPECT_FALSE(fetcher.requests.back().reload);
}

TEST_F(Run, PutPriceLimits) {
    struct Case {
        const char* put;
        bool written;
    };
    const Case cases[] = {
        {"100,00", true}, {"100,01", false}, {"0,00", false}, {"0,01", true}, {"--", false}};
    for (const Case& c : cases) {
        TempDir folder;
        env.dataFolder = folder.folder();
        lines = {kStrangle};
        ServeOptions({{'C', "19-12-2008", "420,00", "5,20"}, {'P', "19-12-2008", "400,00", c.put}});
        state = DownloadState{};
        state.DataRec.IndexValue = 405;
        const RunResult result = RunDownload(state, env);
        EXPECT_EQ(result.complete, c.written) << c.put;
        EXPECT_EQ(result.passes, c.written ? 1 : 3) << c.put;
        EXPECT_EQ(DataLines(kStrangle).size(), c.written ? 1u : 0u) << c.put;
    }
}

TEST_F(Run, RestartsAreBoundedAndSayPricesWereMissing) {
    // The straddle's put is not on the page; the others are.
    lines = {kStraddle, kStrangle};
    ServeOptions({{'C', "19-12-2008", "420,00", "5,20"},
                  {'P', "19-12-2008", "400,00", "0,65"},
                  {'C', "19-12-2008", "410,00", "9,50"}});
    state.DataRec.IndexValue = 405;
    const RunResult result = RunDownload(state, env);
    EXPECT_EQ(result.passes, 3);
    EXPECT_FALSE(result.complete);
    EXPECT_EQ(OptionRequests(), 3u);
    EXPECT_EQ(state.StatusText, "Gedownload: 2 koersen (niet alle koersen gevonden)");
    // No status between the passes, and the count is that of the last pass.
    EXPECT_EQ(statuses, std::vector<std::string>{state.StatusText});
    EXPECT_EQ(DataLines(kStraddle).size(), 0u);
}

TEST_F(Run, MissingPutDoesNotStopTheCombinationsAfterIt) {
    lines = {kStraddle, kStrangle};
    const std::string page = StripTags(test::OptionPageHtml(
        {{'C', "19-12-2008", "420,00", "5,20"}, {'P', "19-12-2008", "400,00", "0,65"}}));
    const PassResult pass = ProcessCombinations(state, page, state.DataRec, env);
    EXPECT_TRUE(pass.restart);
    EXPECT_EQ(pass.linesWritten, 1);
    EXPECT_EQ(DataLines(kStrangle).size(), 1u);
    EXPECT_TRUE(statuses.empty());
}

TEST_F(Run, SingleWithoutPutIsWrittenWithoutRestart) {
    lines = {kCallOnly};
    ServeOptions(kRows);
    state.DataRec.IndexValue = 405;
    for (int run = 0; run < 2; ++run) {
        const RunResult result = RunDownload(state, env);
        EXPECT_EQ(result.passes, 1);
        EXPECT_TRUE(result.complete);
        EXPECT_EQ(state.StatusText, "Gedownload: 1 koersen");
    }
    EXPECT_EQ(OptionRequests(), 2u);
    EXPECT_EQ(DataLines(kCallOnly).size(), 1u);
}

TEST_F(Run, LinesThatAreSkipped) {
    lines = {"; AEX 0812 00400.00 00420.00; commented out",
             "AEX/../../x 0812 00400.00 00420.00; a name with folder parts; Strangle",
             "AEX 08x2 00400.00 00420.00; an expiry that is no number; Strangle", kStrangle};
    ServeOptions(kRows);
    state.DataRec.IndexValue = 405;
    const RunResult result = RunDownload(state, env);
    EXPECT_EQ(result.outcome, RunOutcome::Downloaded);
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(DataLines(kStrangle).size(), 1u);
    size_t files = 0;
    for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
        files += e.path().extension() == ".csv";
    }
    EXPECT_EQ(files, 1u);
    EXPECT_FALSE(fs::exists(dir.path().parent_path() / "x_0812_00400.00_00420.00.csv"));
}

TEST_F(Run, EmptyPageOnlySetsTheStatus) {
    lines = {kStrangle};
    state.PriceCount = 4;
    const PassResult pass = ProcessCombinations(state, "", state.DataRec, env);
    EXPECT_FALSE(pass.restart);
    EXPECT_EQ(statuses, std::vector<std::string>{"Gedownload: 4 koersen"});
    EXPECT_EQ(History(kStrangle), "(none)");
}

TEST_F(Run, NoOptionPage) {
    lines = {kStrangle};
    const RunResult result = RunDownload(state, env);
    EXPECT_EQ(result.outcome, RunOutcome::NoPage);
    EXPECT_EQ(state.StatusText, "Gedownload: Geen koersen");
    EXPECT_EQ(state.IndexValueText, " 405,10");  // the index was still read
    EXPECT_EQ(History(kStrangle), "(none)");
}

TEST_F(Run, UnreadableIndexTimeEndsTheRunWithAMessage) {
    lines = {kStrangle};
    ServeOptions(kRows);
    fetcher.Serve(test::kIndexBase,
                  {test::IndexPageHtml("08-12-08", "half zes", " 405,10", "2,00")});
    const RunResult result = RunDownload(state, env);
    EXPECT_EQ(result.outcome, RunOutcome::Error);
    EXPECT_FALSE(result.error.empty());
    EXPECT_EQ(state.StatusText, "Download mislukt (indexpagina onleesbaar)");
    // Fetched for the archive only: nothing is written from it, both pages are kept.
    EXPECT_EQ(OptionRequests(), 1u);
    EXPECT_FALSE(fs::exists(env.dataFolder + HistoryFileName(kStrangle)));
    const auto entries = ReadArchiveDay(env.dataFolder + "Archief/2008-12-08/", {2008, 12, 8});
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_TRUE(entries[0].unreadable);
    EXPECT_FALSE(entries[0].indexFile.empty());
    EXPECT_FALSE(entries[0].optionFile.empty());
    // The level and the prices were there: a rebuild gets the day back.
    test::WriteAll(env.dataFolder + "Regels.dat", kStrangle + "\r\n");
    EXPECT_EQ(RebuildLocked(env.dataFolder, {}).DaysAdded(), 1);
    EXPECT_EQ(DataLines(kStrangle),
              std::vector<std::string>{"08-12-2008 18:00:00; 00,65; 05,20; 05,85;  405,10"});
}

TEST_F(Run, UnwritableHistoryIsReportedAndTheOthersAreStillWritten) {
    lines = {kStrangle, kStraddle};
    ServeOptions(kRows);
    state.DataRec.IndexValue = 405;
    ASSERT_EQ(RunDownload(state, env).outcome, RunOutcome::Downloaded);
    const std::string before = History(kStrangle);
    fs::permissions(env.dataFolder + HistoryFileName(kStrangle), fs::perms::owner_read);
    clock.Set({2008, 12, 9, 18, 0, 0, 0});
    const RunResult result = RunDownload(state, env);
    EXPECT_EQ(result.outcome, RunOutcome::Error);
    EXPECT_NE(result.error.find(HistoryFileName(kStrangle)), std::string::npos);
    EXPECT_EQ(state.StatusText, "Download mislukt");
    EXPECT_EQ(History(kStrangle), before);
    EXPECT_EQ(DataLines(kStraddle).size(), 2u);  // the line after the failing one
    // Said once, with the reason: it was in the notes as well as in the error.
    EXPECT_NE(result.error.find("kan niet worden geschreven: geen toegang"), std::string::npos)
        << result.error;
    EXPECT_EQ(result.notes, std::vector<std::string>{});
}

// A level outside 1..100,000 is no level: the prices are kept with an empty index column and
// the reason is given; the next request window does not use it.
TEST_F(Run, IndexLevelThatIsNoLevel) {
    lines = {kStrangle};
    for (const char* level :
         {"9e15", "-1", "NaN", "9000000000000000,00", "911;37", "0,50", "100000,01", "12\t3", ""}) {
        SCOPED_TRACE(level);
        TempDir folder;
        env.dataFolder = folder.folder();
        fetcher = FakeFetcher();
        ServeOptions(kRows);
        fetcher.Serve(test::kIndexBase, {test::IndexPageHtml("08-12-08", "17:35", level, "2,00")});
        state = DownloadState{};
        state.DataRec.IndexValue = 405;
        const RunResult result = RunDownload(state, env);
        EXPECT_EQ(result.outcome, RunOutcome::Downloaded) << result.error;
        EXPECT_NE(result.reason.find("indexstand"), std::string::npos) << result.reason;
        EXPECT_EQ(DataLines(kStrangle),
                  std::vector<std::string>{"08-12-2008 18:00:00; 00,65; 05,20; 05,85; "});
        EXPECT_EQ(state.IndexValueText, "");
        SetRequestWindow(state.DataRec, {2008, 12, 8}, 1, 0);
        EXPECT_EQ(state.DataRec.PriceFrom, 150);
        EXPECT_EQ(state.DataRec.PriceTill, 350);
    }
}

// Prices that are no number texts, or absurd, are no prices; a call beyond 100,000 is none.
TEST_F(Run, OnlyNumberTextsAreWrittenAsPrices) {
    struct Case {
        const char* put;
        const char* call;
        const char* line;  // empty: nothing written
    };
    const Case cases[] = {
        {"0,65", "9999999999,99", "08-12-2008 18:00:00; 00,65; 00.0; 00,65;  405,10"},
        {"0,65", "100000,01", "08-12-2008 18:00:00; 00,65; 00.0; 00,65;  405,10"},
        {"0,65", "100000,00", "08-12-2008 18:00:00; 00,65; 100000,00; 100000,65;  405,10"},
        {"0,65", "12,ab", "08-12-2008 18:00:00; 00,65; 00.0; 00,65;  405,10"},
        {"0,65", "x y z,\t", "08-12-2008 18:00:00; 00,65; 00.0; 00,65;  405,10"},
        {"0,65",
         "1\x01"
         "2,35",
         "08-12-2008 18:00:00; 00,65; 00.0; 00,65;  405,10"},
        {"9999999999,99", "5,20", ""},
        {"0;65,00", "5,20", ""},
    };
    lines = {kStrangle};
    env.maxPasses = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        TempDir folder;
        env.dataFolder = folder.folder();
        ServeOptions({{'C', "19-12-2008", "420,00", c.call}, {'P', "19-12-2008", "400,00", c.put}});
        state = DownloadState{};
        state.DataRec.IndexValue = 405;
        RunDownload(state, env);
        EXPECT_EQ(DataLines(kStrangle),
                  *c.line ? std::vector<std::string>{c.line} : std::vector<std::string>{});
    }
}

// A server sending a byte every half second held a run for three tries of the index page and
// the option page, each up to the one-minute request limit.
TEST_F(Run, OneDeadlineForEveryPageOfTheRun) {
    struct Dripping final : PageFetcher {
        int64_t now = 0;
        std::vector<int> limits;
        std::string Fetch(const FetchRequest& request) override {
            limits.push_back(request.totalTimeoutMs);
            now += std::min(request.totalTimeoutMs, 25000);
            return {};
        }
        FetchStatus FetchStream(const FetchRequest&, const ChunkCallback&) override { return {}; }
        FetchStatus LastStatus() const override {
            FetchStatus status;
            status.failure = FetchFailure::TimedOut;
            return status;
        }
    } dripping;
    env.fetcher = &dripping;
    env.steadyMs = [&] { return dripping.now; };
    const RunResult result = RunDownload(state, env);
    EXPECT_EQ(dripping.limits, (std::vector<int>{60000, 35000, 10000}));
    EXPECT_LE(dripping.now, 60000);
    EXPECT_EQ(result.reason, "time-out");
}

// One rules line with a 300-character name first in the list stopped every other line.
TEST_F(Run, UnusableLinesAreNamedInOneNoteAndDoNotStopTheOthers) {
    const std::string longName = "AEX 0812 00400.00 00" + std::string(300, '4') +
                                 "; Put: dec 2008 400.00; Call: dec 2008 4; Strangle";
    lines = {longName, "AEX 08x2 00400.00 00420.00; an expiry that is no number; Strangle",
             "AEX 0812 0040O.00 00420.00; a strike that does not read; Strangle",
             "AE\tX 0812 00400.00 00420.00; a tab in the name; Strangle", kStrangle};
    ServeOptions(kRows);
    state.DataRec.IndexValue = 405;
    const RunResult result = RunDownload(state, env);
    EXPECT_EQ(result.outcome, RunOutcome::Downloaded) << result.error;
    EXPECT_EQ(DataLines(kStrangle).size(), 1u);
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_NE(result.notes[0].find("AEX 0812 00400.00 0044"), std::string::npos) << result.notes[0];
    EXPECT_NE(result.notes[0].find("AEX 08x2"), std::string::npos) << result.notes[0];
    EXPECT_NE(result.notes[0].find("0040O.00"), std::string::npos) << result.notes[0];
    EXPECT_NE(result.notes[0].find("AE?X 0812"), std::string::npos) << result.notes[0];
    EXPECT_LT(result.notes[0].size(), 300u);
}

}  // namespace
}  // namespace rendaal

namespace rendaal {
namespace {

TEST(RunOnRandomPages, EndsCleanlyWhateverThePagesHold) {
    std::mt19937 rng(2026);
    const std::string key = "P19-12-2008400,00";
    for (int i = 0; i < 300; ++i) {
        std::string index(rng() % 2000, '\0');
        std::string option(rng() % 4000, '\0');
        for (std::string* page : {&index, &option}) {
            for (char& c : *page) {
                c = static_cast<char>(rng() % 5 == 0 ? "<>;HOMEAX()-:,0123456789CP"[rng() % 26]
                                                     : rng() & 0xff);
            }
        }
        option.insert(rng() % (option.size() + 1), key);
        test::TempDir dir;
        test::FakeFetcher fetcher;
        fetcher.Serve(test::kIndexBase, {index});
        fetcher.Serve(test::kOptionBase, {option});
        FixedClock clock(DateTime{2008, 12, 8, 18, 0, 0, 0});
        RunEnvironment env;
        env.clock = &clock;
        env.fetcher = &fetcher;
        env.dataFolder = dir.folder();
        env.indexUrlBase = test::kIndexBase;
        env.optionUrlBase = test::kOptionBase;
        env.lines = [] { return std::vector<std::string>{kStrangle, kCallOnly}; };
        DownloadState state;
        const RunResult result = RunDownload(state, env);
        EXPECT_LE(result.passes, 3);
        EXPECT_FALSE(state.StatusText.empty());
        for (const auto& e : fs::directory_iterator(dir.path())) {
            if (e.path().extension() != ".csv") {
                continue;
            }
            // Every written line is whole: five fields.
            for (const auto& line : SplitLines(ReadAll(e.path()))) {
                EXPECT_GE(std::count(line.begin(), line.end(), ';'), 4) << line;
            }
        }
    }
}

}  // namespace
}  // namespace rendaal
