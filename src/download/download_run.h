#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/calendar.h"
#include "download/download_state.h"
#include "download/fetch.h"
#include "download/index_page.h"

// The download run: request window, index page, option page, every combination's prices into
// its history file.
namespace rendaal {

class Clock;
class PageFetcher;
class PageIndex;

inline constexpr std::string_view kDefaultIndexUrl = "http://m.beursindex.example";
inline constexpr std::string_view kDefaultOptionUrl = "http://www.beursnieuws.example";

// Everything a run takes from outside; the window and the companion program fill it.
struct RunEnvironment {
    const Clock* clock = nullptr;
    PageFetcher* fetcher = nullptr;
    std::string dataFolder;  // ends with "/"
    std::function<std::vector<std::string>()> lines;
    std::function<int()> years;
    std::function<double()> lastHistoryIndexValue;
    std::string indexUrlBase = std::string(kDefaultIndexUrl);
    std::string optionUrlBase = std::string(kDefaultOptionUrl);
    // Lets the window repaint and serve clicks between the steps; may be empty.
    std::function<void()> processEvents;
    std::function<void(const IndexDisplay&)> showIndex;
    std::function<void(const std::string&)> showStatus;
    // Passes of one run before it gives up on missing prices.
    int maxPasses = 3;
    // A page beyond this size is no page.
    size_t maxPageBytes = kMaxPageBytes;
    // Every pass leaves its pages in the data folder's archive.
    bool archivePages = true;
    // One limit for all pages of the run, every try and pass together; each request gets what
    // is left of it.
    int64_t pageDeadlineMs = 60000;
    // Milliseconds on a steady clock; empty: std::chrono::steady_clock.
    std::function<int64_t()> steadyMs;
};

// First expiry month still open (after its third Friday, the next month), the years setting's
// last year and an exercise-price window of 100 around the last index level rounded to 5.
void SetRequestWindow(TDataRec& rec, const Date& today, int years, double lastHistoryIndexValue);

std::string DownloadedStatus(uint16_t priceCount);  // "Gedownload: N koersen"
inline constexpr std::string_view kNoPricesStatus = "Gedownload: Geen koersen";
inline constexpr std::string_view kIncompleteNote = " (niet alle koersen gevonden)";
inline constexpr std::string_view kFailedStatus = "Download mislukt";
// Another run (this window's or the companion program's) holds the data folder.
inline constexpr std::string_view kBusyStatus = "Download al bezig";

// Why a run fell short, shown in brackets after the status.
inline constexpr std::string_view kFolderMissingReason = "datamap ontbreekt";
inline constexpr std::string_view kLockFailedReason = "vergrendeling mislukt";
inline constexpr std::string_view kIndexUnreadableReason = "indexpagina onleesbaar";
// "Gedownload: Geen koersen" + " (server niet bereikbaar)"; the text alone without a reason.
std::string WithReason(std::string_view status, std::string_view reason);

struct PassResult {
    bool restart = false;  // some combination's put price was missing or implausible
    int linesWritten = 0;
    std::vector<std::string> written;  // the history files that got their line
    DateTime time;                     // the clock time the lines were stamped from
    // Some history file could not be written (the other combinations were still processed);
    // names the first such file. The status is not set then.
    std::string error;
    // Every file that could not be written, histories rebuilt from their backup, lines skipped.
    std::vector<std::string> notes;
};

enum class PriceVerdict {
    Write,       // fields and som make the line
    Comment,     // a line starting with ";"
    Unusable,    // a name or expiry code that cannot be looked up
    PutMissing,  // the put price is missing or implausible: a restart may find it
    NoSum,       // both prices found, but their sum is no price
};
struct CombinationPrices {
    PriceVerdict verdict = PriceVerdict::Comment;
    std::string fileName;
    std::string series;
    std::string fields;  // "; put; call"
    double som = 0;
};
// One combination line against an indexed page at now: the one road from a page to a line,
// for the run and for a rebuild from the archive alike.
CombinationPrices PricesFor(const std::string& line, const PageIndex& index, TDataRec& rec,
                            const DateTime& now, uint16_t& priceCount);
// The index text as a history line takes it: empty unless it is a level.
std::string UsableIndexText(const std::string& indexValueText);

// Every combination line against one page. Sets the status text unless a restart is wanted.
PassResult ProcessCombinations(DownloadState& state, const std::string& page,
                               const TDataRec& window, const RunEnvironment& env);

// After ProcessCombinations on the last run's page (the add dialog's first line): the archive
// keeps that pass too, with its own time, so that a rebuilt line matches the written one.
// Returns a note when the archive could not be written.
std::string ArchiveReprocessedPass(const DownloadState& state, const RunEnvironment& env,
                                   const PassResult& pass);

enum class RunOutcome {
    Downloaded,  // the option page was processed (PriceCount says how many prices)
    NoPage,      // no option page: "Gedownload: Geen koersen"
    Error,       // ended by an error; error holds the message for the user
    Busy,        // another run holds the data folder: "Download al bezig", nothing done
};

struct RunResult {
    RunOutcome outcome = RunOutcome::NoPage;
    bool complete = true;  // false when the pass limit was reached with prices missing
    int passes = 0;
    int linesWritten = 0;  // history lines written, all passes together
    std::string error;
    // Said to the user without ending the run: a history rebuilt from its backup, a file that
    // could not be written, lines skipped. The window shows them once, the companion on stderr.
    std::vector<std::string> notes;
    // Conflict copies of the rules file a sync tool left: never merged without the user. The
    // window offers their lines, the companion says how they differ.
    std::vector<std::string> rulesCopies;
    // Why nothing or not all was downloaded (server not reachable, time-out, ...), shown in
    // brackets after the status and on the companion's stderr; empty when nothing went wrong.
    std::string reason;
};

// One whole run with at most env.maxPasses passes.
RunResult RunDownload(DownloadState& state, const RunEnvironment& env);

// The status text of a run that ended as result says (busy, failed, no page), reason included.
void ShowRunStatus(DownloadState& state, const RunEnvironment& env, const RunResult& result);

}  // namespace rendaal
