// Whole download runs over real HTTP against the loopback quote server.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"
#include "download/download_run.h"
#include "history/history_file.h"
#include "platform/http_client.h"
#include "quotesim/quote_server.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

using quotesim::Fault;
using quotesim::FaultTarget;
using quotesim::QuoteServer;
using quotesim::ServerOptions;

// Wednesday 9 December 2026, after the close; the month's third Friday is the 18th.
const DateTime kNow{2026, 12, 9, 18, 0, 0, 0};
const Date kExpiry{2026, 12, 18};
const Date kWeekly{2026, 12, 11};  // AX2: the second Friday, this week

ServerOptions Options() {
    ServerOptions o;
    o.seed = 11;
    o.today = kNow.date();
    o.delayMs = 2600;
    return o;
}

// "00925.00" style exercise price field without its "00" prefix: five digits, two decimals.
std::string Strike(int k) {
    std::string s = std::to_string(k);
    return std::string(5 - s.size(), '0') + s + ".00";
}

class HttpRun : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Start());
        centre = static_cast<int>(std::lround(server.model().IndexLevel() / 5)) * 5;
        env.clock = &clock;
        env.fetcher = &fetcher;
        env.dataFolder = dir.folder();
        env.lines = [this] { return lines; };
        env.years = [] { return 2; };
        env.lastHistoryIndexValue = [] { return 0.0; };
        env.indexUrlBase = server.BaseUrl();
        env.optionUrlBase = server.BaseUrl() + "/";
        // An endless body then ends after 1 MiB instead of 16 (same code path, shorter test).
        env.maxPageBytes = 1 << 20;
    }
    std::string Line(const std::string& series, int put, int call) const {
        const std::string p = put ? "00" + Strike(put) : "00Geen";
        const std::string c = call ? "00" + Strike(call) : "00Geen";
        const std::string key = series + " 2612 " + p + " " + c;
        return key + "; Put: dec 2026 x; Call: dec 2026 y; " + KindName(KindOf(p, c));
    }
    std::string PriceField(char kind, const Date& expiry, int strike) const {
        if (!strike) {
            return "00.0";
        }
        return WithLeadingZero(
            quotesim::QuoteModel::PriceCell(server.model().Price(kind, expiry, strike)));
    }
    std::string ExpectedLine(const Date& expiry, int put, int call) const {
        const std::string p = PriceField('P', expiry, put);
        const std::string c = PriceField('C', expiry, call);
        return "09-12-2026 18:00:00; " + p + "; " + c + "; " +
               SomText(ParseNumber(p) + ParseNumber(c)) + ";  " + server.model().IndexText();
    }
    std::string File(const std::string& line) const {
        return test::ReadAll(dir.folder() + HistoryFileName(line));
    }

    // The index page goes through the system proxy; the loopback server must be reached directly.
    test::ScopedEnv proxy{"http_proxy", ""};
    test::ScopedEnv proxyUpper{"HTTP_PROXY", ""};
    test::ScopedEnv noProxy{"no_proxy", "127.0.0.1,localhost"};
    QuoteServer server{Options()};
    QtPageFetcher fetcher;
    FixedClock clock{kNow};
    test::TempDir dir;
    RunEnvironment env;
    DownloadState state;
    std::vector<std::string> lines;
    int centre = 0;
};

TEST_F(HttpRun, WholeRunWritesEveryCombination) {
    lines = {Line("AEX", centre - 20, centre + 20), Line("AEX", centre, centre),
             Line("AEX", 0, centre + 10), Line("AEX", centre - 10, 0),
             Line("AX2", centre - 5, centre + 5)};
    const RunResult result = RunDownload(state, env);
    EXPECT_EQ(result.outcome, RunOutcome::Downloaded);
    EXPECT_TRUE(result.complete);
    EXPECT_EQ(result.passes, 2);  // the first pass asks around 250: nothing known yet
    EXPECT_EQ(state.StatusText, "Gedownload: 8 koersen");

    const std::string fixed =
        "/dft/koersen/opties/?xml=true&tabid=koersen&tab=3&detail=true&selind=12272+IND+AEX-"
        "index+355&criteria=criteria&MonthFrom=12&YearFrom=2026&MonthTill=12&YearTill=2028&";
    const std::vector<std::string> expected = {
        "/index.php?type=main",
        fixed + "PriceFrom=150&PriceTill=350&callput=allebei&first=Call/Put&second=Afloopdatum",
        "/index.php?type=main",
        fixed + "PriceFrom=" + std::to_string(centre - 100) + "&PriceTill=" +
            std::to_string(centre + 100) + "&callput=allebei&first=Call/Put&second=Afloopdatum",
    };
    EXPECT_EQ(server.RequestTargets(), expected);

    const std::string header = "Datum; Put; Call; Som; AEX\r\n";
    EXPECT_EQ(File(lines[0]), header + ExpectedLine(kExpiry, centre - 20, centre + 20) + "\r\n");
    EXPECT_EQ(File(lines[1]), header + ExpectedLine(kExpiry, centre, centre) + "\r\n");
    EXPECT_EQ(File(lines[2]), header + ExpectedLine(kExpiry, 0, centre + 10) + "\r\n");
    EXPECT_EQ(File(lines[3]), header + ExpectedLine(kExpiry, centre - 10, 0) + "\r\n");
    EXPECT_EQ(File(lines[4]), header + ExpectedLine(kWeekly, centre - 5, centre + 5) + "\r\n");

    // The next day's run adds one line per combination.
    clock.Set({2026, 12, 10, 17, 0, 0, 0});
    EXPECT_EQ(RunDownload(state, env).passes, 1);
    EXPECT_EQ(SplitLines(File(lines[0])).size(), 3u);
}

TEST_F(HttpRun, EveryFaultEndsWithItsStatusAndLeavesFilesWhole) {
    lines = {Line("AEX", centre - 20, centre + 20)};
    state.DataRec.IndexValue = server.model().IndexLevel();
    ASSERT_EQ(RunDownload(state, env).outcome, RunOutcome::Downloaded);
    const std::string before = File(lines[0]);
    clock.Set({2026, 12, 10, 17, 0, 0, 0});

    struct Case {
        Fault fault;
        FaultTarget target;
        RunOutcome outcome;
        const char* status;
    };
    const Case cases[] = {
        {Fault::EmptyBody, FaultTarget::Both, RunOutcome::NoPage,
         "Gedownload: Geen koersen (lege pagina)"},
        {Fault::Http500, FaultTarget::Both, RunOutcome::NoPage,
         "Gedownload: Geen koersen (HTTP-status 500)"},
        {Fault::Delay, FaultTarget::Option, RunOutcome::NoPage,
         "Gedownload: Geen koersen (time-out)"},
        {Fault::ResetMidBody, FaultTarget::Both, RunOutcome::NoPage,
         "Gedownload: Geen koersen (pagina afgebroken)"},
        {Fault::EndlessBody, FaultTarget::Both, RunOutcome::NoPage,
         "Gedownload: Geen koersen (pagina te groot)"},
        {Fault::Garbage, FaultTarget::Index, RunOutcome::Error,
         "Download mislukt (indexpagina onleesbaar)"},
        {Fault::MissingMarkers, FaultTarget::Index, RunOutcome::Error,
         "Download mislukt (indexpagina onleesbaar)"},
        {Fault::Garbage, FaultTarget::Option, RunOutcome::Downloaded,
         "Gedownload: 0 koersen (niet alle koersen gevonden)"},
        {Fault::MissingMarkers, FaultTarget::Option, RunOutcome::Downloaded,
         "Gedownload: 0 koersen (niet alle koersen gevonden)"},
    };
    for (const Case& c : cases) {
        server.SetFault(c.fault, c.target);
        const RunResult result = RunDownload(state, env);
        const std::string name = quotesim::FaultName(c.fault);
        EXPECT_EQ(result.outcome, c.outcome) << name;
        EXPECT_EQ(state.StatusText, c.status) << name;
        EXPECT_EQ(result.outcome == RunOutcome::Error, !result.error.empty()) << name;
        EXPECT_EQ(File(lines[0]), before) << name;
    }
    // The first attempts of the index page fail, a later one answers.
    server.SetFault(Fault::EmptyBody, FaultTarget::Index, 2);
    EXPECT_EQ(RunDownload(state, env).outcome, RunOutcome::Downloaded);
    EXPECT_EQ(state.StatusText, "Gedownload: 2 koersen");
    EXPECT_EQ(SplitLines(File(lines[0])).size(), 3u);
}

}  // namespace
}  // namespace rendaal
