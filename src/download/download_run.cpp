#include "download/download_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>

#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"
#include "download/archive.h"
#include "download/cleanup.h"
#include "download/conflict_merge.h"
#include "download/fetch.h"
#include "download/history.h"
#include "download/option_page.h"

namespace rendaal {
namespace {

void Status(DownloadState& state, const RunEnvironment& env, std::string text) {
    state.StatusText = std::move(text);
    if (env.showStatus) {
        env.showStatus(state.StatusText);
    }
}

void Yield(const RunEnvironment& env) {
    if (env.processEvents) {
        env.processEvents();
    }
}

DateTime Now(const RunEnvironment& env) {
    return (env.clock ? *env.clock : AppClock()).Now();
}

// A restart meets the same skipped lines again; the user hears of them once.
void AddNotes(std::vector<std::string>& notes, const std::vector<std::string>& more) {
    for (const auto& note : more) {
        if (std::find(notes.begin(), notes.end(), note) == notes.end()) {
            notes.push_back(note);
        }
    }
}

// Keys of hand-edited lines can be any length; a note names each by its start.
std::string SkippedLinesNote(const std::vector<std::string>& keys) {
    std::string note = keys.size() == 1
                           ? "Overgeslagen regel (onbruikbare vervaldatum, strike of naam):"
                           : "Overgeslagen regels (onbruikbare vervaldatum, strike of naam):";
    for (size_t i = 0; i < keys.size(); ++i) {
        std::string key = keys[i].substr(0, 60);
        for (char& c : key) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                c = '?';
            }
        }
        if (keys[i].size() > key.size()) {
            key += "...";
        }
        note += (i == 0 ? " \"" : ", \"") + key + "\"";
    }
    return note;
}

}  // namespace

void SetRequestWindow(TDataRec& rec, const Date& today, int years, double lastHistoryIndexValue) {
    int month = today.month;
    int year = today.year;
    if (ThirdFriday(year, month) < today.day) {
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
    rec.MonthFrom = rec.MonthTill = month;
    rec.YearFrom = year;
    rec.YearTill = year + years;
    // A level from a page or a history line may be anything; out of range it is no level, so
    // the centre below always fits an int.
    if (!(rec.IndexValue >= kMinIndexLevel && rec.IndexValue <= kMaxIndexLevel)) {
        rec.IndexValue = 0;
    }
    if (!(lastHistoryIndexValue >= kMinIndexLevel && lastHistoryIndexValue <= kMaxIndexLevel)) {
        lastHistoryIndexValue = 0;
    }
    if (rec.IndexValue < 100 && lastHistoryIndexValue < 100) {
        rec.IndexValue = 250;
    } else if (rec.IndexValue < 1 && lastHistoryIndexValue > 1) {
        rec.IndexValue = lastHistoryIndexValue;
    }
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const int centre = static_cast<int>(std::nearbyint(rec.IndexValue / 5.0)) * 5;
    rec.PriceFrom = centre - 100;
    rec.PriceTill = centre + 100;
}

std::string WithReason(std::string_view status, std::string_view reason) {
    std::string text(status);
    if (!reason.empty()) {
        text += " (";
        text += reason;
        text += ')';
    }
    return text;
}

void ShowRunStatus(DownloadState& state, const RunEnvironment& env, const RunResult& result) {
    switch (result.outcome) {
        case RunOutcome::Busy:
            Status(state, env, std::string(kBusyStatus));
            break;
        case RunOutcome::NoPage:
            Status(state, env, WithReason(kNoPricesStatus, result.reason));
            break;
        case RunOutcome::Error:
            Status(state, env, WithReason(kFailedStatus, result.reason));
            break;
        case RunOutcome::Downloaded:
            break;
    }
}

std::string DownloadedStatus(uint16_t priceCount) {
    return "Gedownload: " + std::to_string(priceCount) + " koersen";
}

namespace {

// A file that cannot be written is reported; the other combinations' files may well be writable.
void WriteLine(PassResult& result, std::vector<std::string>& failed, const RunEnvironment& env,
               const std::string& fileName, const std::string& prices, const std::string& indexText,
               double som, const DateTime& now) {
    const auto written = AppendHistoryLine(env.dataFolder, fileName, prices, indexText, som, now);
    if (!written.note.empty()) {
        result.notes.push_back(written.note);
    }
    if (!written.ok) {
        // The first failure is the run's error; the others are said as notes, each once.
        if (!failed.empty()) {
            result.notes.push_back(written.error);
        }
        failed.push_back(written.error);
        return;
    }
    ++result.linesWritten;
    // Each line costs a few disk syncs; with many combinations the window must still repaint in
    // between.
    Yield(env);
}

std::string FailedFilesError(const std::vector<std::string>& failed) {
    std::string error = failed.front();
    if (failed.size() > 1) {
        error += " Ook " + std::to_string(failed.size() - 1) +
                 " andere koersbestanden konden niet worden geschreven.";
    }
    return error;
}

}  // namespace

CombinationPrices PricesFor(const std::string& line, const PageIndex& index, TDataRec& rec,
                            const DateTime& now, uint16_t& priceCount) {
    CombinationPrices out;
    if (line.empty() || line[0] == ';') {
        out.verdict = PriceVerdict::Comment;
        return out;
    }
    const KeyWords w = TermWords(line);
    const CombinationTerms terms = ReadTerms(line);
    out.fileName = HistoryFileName(line);
    out.series = w.series;
    // A rules file edited by hand must not make the run write outside the data folder, nor look
    // up a price at a strike that does not read.
    if (!IsUsableHistoryName(out.fileName) || terms.put.unreadable() || terms.call.unreadable() ||
        !SetLookupFields(rec, 'P', w.series, w.expiry, w.put, now.date())) {
        out.verdict = PriceVerdict::Unusable;
        return out;
    }
    // A Single without a put has nothing to look up; it is written like one without a call.
    if (terms.put.state == StrikeReading::State::None) {
        rec.Price = "0.0";
    } else {
        LookupPrice(index, rec, w.series, now, priceCount);
        const double put = ParseNumber(rec.Price);
        if (put < 0.001 || put > 100) {
            out.verdict = PriceVerdict::PutMissing;
            return out;
        }
    }
    const std::string putText = WithLeadingZero(rec.Price);
    SetLookupFields(rec, 'C', w.series, w.expiry, w.call, now.date());
    LookupPrice(index, rec, w.series, now, priceCount);
    const std::string callText = WithLeadingZero(rec.Price);
    out.som = ParseNumber(putText) + ParseNumber(callText);
    if (!(out.som > 0)) {
        out.verdict = PriceVerdict::NoSum;
        return out;
    }
    out.verdict = PriceVerdict::Write;
    out.fields = "; " + putText;
    out.fields += "; ";
    out.fields += callText;
    return out;
}

std::string UsableIndexText(const std::string& indexValueText) {
    return ParseIndexLevel(indexValueText) ? indexValueText : std::string();
}

PassResult ProcessCombinations(DownloadState& state, const std::string& page,
                               const TDataRec& window, const RunEnvironment& env) {
    PassResult result;
    TDataRec rec = window;
    rec.Price.clear();
    const std::vector<std::string> lines = env.lines ? env.lines() : std::vector<std::string>{};
    const PageIndex index(page);
    // A text that is no level (the index page failed, or gave nonsense) leaves the column empty.
    const std::string indexText = UsableIndexText(state.IndexValueText);
    // One time for the whole pass: the archive keeps it, and a rebuilt line must match.
    const DateTime now = Now(env);
    result.time = now;
    std::vector<std::string> skipped;
    std::vector<std::string> failed;
    for (size_t i = 0; !page.empty() && i < lines.size(); ++i) {
        state.HistoryFileName.clear();
        const CombinationPrices prices = PricesFor(lines[i], index, rec, now, state.PriceCount);
        if (prices.verdict != PriceVerdict::Comment && IsUsableHistoryName(prices.fileName)) {
            state.SeriesCode = prices.series;
            state.HistoryFileName = prices.fileName;
        }
        switch (prices.verdict) {
            case PriceVerdict::Comment:
                continue;
            case PriceVerdict::Unusable:
                skipped.push_back(CombinationKey(lines[i]));
                continue;
            case PriceVerdict::PutMissing:
                // The next pass may find it; the other combinations still get their line now.
                result.restart = true;
                continue;
            case PriceVerdict::NoSum:
            case PriceVerdict::Write:
                break;
        }
        if (prices.verdict == PriceVerdict::Write) {
            const int before = result.linesWritten;
            WriteLine(result, failed, env, prices.fileName, prices.fields, indexText, prices.som,
                      now);
            if (result.linesWritten > before) {
                result.written.push_back(prices.fileName);
            }
        }
    }
    if (!skipped.empty()) {
        result.notes.push_back(SkippedLinesNote(skipped));
    }
    if (!failed.empty()) {
        result.error = FailedFilesError(failed);
        return result;
    }
    if (!result.restart) {
        Status(state, env, DownloadedStatus(state.PriceCount));
    }
    return result;
}

namespace {

// A server that sends a byte now and then keeps every single request alive; without one limit
// for the run, three tries of the index page and the option page took four request limits.
class DeadlineFetcher final : public PageFetcher {
public:
    DeadlineFetcher(PageFetcher& inner, const RunEnvironment& env) : inner_(inner), env_(env) {
        deadline_ = NowMs() + std::max<int64_t>(env.pageDeadlineMs, 0);
    }
    std::string Fetch(const FetchRequest& request) override {
        FetchRequest limited = request;
        if (!Limit(limited)) {
            return {};
        }
        return inner_.Fetch(limited);
    }
    FetchStatus FetchStream(const FetchRequest& request, const ChunkCallback& onChunk) override {
        FetchRequest limited = request;
        if (!Limit(limited)) {
            return LastStatus();
        }
        return inner_.FetchStream(limited, onChunk);
    }
    FetchStatus LastStatus() const override {
        if (!expired_) {
            return inner_.LastStatus();
        }
        FetchStatus status;
        status.failure = FetchFailure::TimedOut;
        status.error = "run deadline passed";
        return status;
    }

private:
    int64_t NowMs() const {
        return env_.steadyMs ? env_.steadyMs()
                             : std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count();
    }
    bool Limit(FetchRequest& request) {
        const int64_t left = deadline_ - NowMs();
        expired_ = left <= 0;
        if (expired_) {
            return false;
        }
        const int64_t own = request.totalTimeoutMs > 0 ? request.totalTimeoutMs : left;
        request.totalTimeoutMs = static_cast<int>(std::min<int64_t>({own, left, INT32_MAX}));
        return true;
    }

    PageFetcher& inner_;
    const RunEnvironment& env_;
    int64_t deadline_ = 0;
    bool expired_ = false;
};

// Keeps the last body the fetcher gave, so that the archive gets the index page as it came.
class PageRecorder final : public PageFetcher {
public:
    explicit PageRecorder(PageFetcher& inner) : inner_(inner) {}
    std::string Fetch(const FetchRequest& request) override {
        std::string body = inner_.Fetch(request);
        if (!body.empty()) {
            last = body;
        }
        return body;
    }
    FetchStatus FetchStream(const FetchRequest& request, const ChunkCallback& onChunk) override {
        return inner_.FetchStream(request, onChunk);
    }
    FetchStatus LastStatus() const override { return inner_.LastStatus(); }
    std::string last;

private:
    PageFetcher& inner_;
};

void Archive(RunResult& result, const RunEnvironment& env, const ArchiveEntry& entry) {
    if (!env.archivePages) {
        return;
    }
    if (const std::string note = ArchivePass(env.dataFolder, entry); !note.empty()) {
        AddNotes(result.notes, {note});
    }
}

}  // namespace

namespace {

// The index step of a pass: reads the page and starts the pass's archive entry with the page
// behind the index text the lines take, also when this pass could not read one.
IndexReadResult ReadIndexStep(DownloadState& state, const RunEnvironment& env, const DateTime& now,
                              RunResult& result, ArchiveEntry& entry) {
    PageRecorder recorder(*env.fetcher);
    const std::string indexUrl = IndexPageUrl(env.indexUrlBase);
    IndexReadResult index = ReadIndexPage(state, recorder, indexUrl, now, env.maxPageBytes);
    if (index.gotPage) {
        state.IndexPage = {indexUrl, std::move(recorder.last)};
    }
    entry.time = now;
    if (!state.IndexPage.bytes.empty()) {
        entry.index = state.IndexPage;
    }
    entry.unreadable = index.gotPage && (!index.error.empty() || !index.reason.empty());
    if (index.display && env.showIndex) {
        env.showIndex(*index.display);
    }
    if (!index.reason.empty() && result.reason.empty()) {
        result.reason = index.reason;
    }
    return index;
}

// An unreadable index page ends the run; the option page is still fetched for the archive, so
// that once the index page can be read again this day's prices can be rebuilt.
void EndOnIndexError(DownloadState& state, const RunEnvironment& env, const IndexReadResult& index,
                     const FetchRequest& request, ArchiveEntry& entry, RunResult& result) {
    if (std::string page = env.archivePages ? env.fetcher->Fetch(request) : std::string();
        !page.empty()) {
        entry.option = ArchivedPage{request.url, std::move(page)};
    }
    if (index.gotPage) {
        Archive(result, env, entry);
    }
    result.outcome = RunOutcome::Error;
    result.error = index.error;
    result.reason = std::string(kIndexUnreadableReason);
    ShowRunStatus(state, env, result);
}

}  // namespace

RunResult RunDownload(DownloadState& state, const RunEnvironment& given) {
    DeadlineFetcher limited(*given.fetcher, given);
    RunEnvironment env = given;
    env.fetcher = &limited;
    RunResult result;
    // Runs hold the data folder's lock, so no other writer is halfway through a file now.
    RemoveStaleTemporaryFiles(env.dataFolder, IsOwnDataFileName);
    // What another machine wrote and a sync tool kept aside comes in before this run's lines.
    const ConflictMergeResult conflicts = MergeConflictCopies(env.dataFolder, Now(env));
    AddNotes(result.notes, conflicts.notes);
    result.rulesCopies = conflicts.rulesCopies;
    const int maxPasses = std::max(env.maxPasses, 1);
    for (int pass = 1; pass <= maxPasses; ++pass) {
        result.passes = pass;
        const DateTime now = Now(env);
        SetRequestWindow(state.DataRec, now.date(), env.years ? env.years() : 1,
                         env.lastHistoryIndexValue ? env.lastHistoryIndexValue() : 0.0);
        ArchiveEntry entry;
        const IndexReadResult index = ReadIndexStep(state, env, now, result, entry);
        FetchRequest request;
        request.url = OptionPageUrl(env.optionUrlBase, state.DataRec);
        request.proxy = ProxyMode::Direct;
        request.maxBytes = env.maxPageBytes;
        if (!index.error.empty()) {
            EndOnIndexError(state, env, index, request, entry, result);
            return result;
        }
        Yield(env);

        state.PriceCount = 0;
        std::string page = env.fetcher->Fetch(request);
        Yield(env);
        if (page.empty()) {
            state.QuotePage.clear();
            state.OptionPage = {};
            if (index.gotPage) {
                Archive(result, env, entry);
            }
            result.outcome = RunOutcome::NoPage;
            result.reason = FetchFailureReason(env.fetcher->LastStatus());
            ShowRunStatus(state, env, result);
            return result;
        }
        state.QuotePage = StripTags(page);
        state.OptionPage = {request.url, std::move(page)};
        entry.option = state.OptionPage;
        Yield(env);

        const PassResult passResult =
            ProcessCombinations(state, state.QuotePage, state.DataRec, env);
        entry.time = passResult.time;
        entry.unreadable = entry.unreadable || passResult.restart;
        entry.written = passResult.written;
        Archive(result, env, entry);
        result.outcome = RunOutcome::Downloaded;
        AddNotes(result.notes, passResult.notes);
        result.linesWritten += passResult.linesWritten;
        if (!passResult.error.empty()) {
            result.outcome = RunOutcome::Error;
            result.error = passResult.error;
            Status(state, env, std::string(kFailedStatus));
            return result;
        }
        if (!passResult.restart) {
            return result;
        }
    }
    result.complete = false;
    Status(state, env, DownloadedStatus(state.PriceCount) + std::string(kIncompleteNote));
    return result;
}

std::string ArchiveReprocessedPass(const DownloadState& state, const RunEnvironment& env,
                                   const PassResult& pass) {
    if (!env.archivePages || state.OptionPage.bytes.empty() || pass.written.empty()) {
        return {};
    }
    ArchiveEntry entry;
    entry.time = pass.time;
    if (!state.IndexPage.bytes.empty()) {
        entry.index = state.IndexPage;
    }
    entry.option = state.OptionPage;
    entry.written = pass.written;
    return ArchivePass(env.dataFolder, entry);
}

}  // namespace rendaal
