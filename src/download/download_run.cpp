#include "download/download_run.h"

#include <cmath>

#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"
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

std::string DownloadedStatus(uint16_t priceCount) {
    return "Gedownload: " + std::to_string(priceCount) + " koersen";
}

PassResult ProcessCombinations(DownloadState& state, const std::string& page,
                               const TDataRec& window, const RunEnvironment& env) {
    PassResult result;
    TDataRec rec = window;
    rec.Price.clear();
    const std::vector<std::string> lines = env.lines ? env.lines() : std::vector<std::string>{};
    const PageIndex index(page);
    for (size_t i = 0; !page.empty() && i < lines.size(); ++i) {
        const std::string& line = lines[i];
        state.HistoryFileName.clear();
        if (line.empty() || line[0] == ';') {
            continue;
        }
        const KeyWords w = SplitKey(CombinationKey(line));
        const std::string fileName = HistoryFileName(line);
        // A rules file edited by hand must not make the run write outside the data folder.
        if (!IsPlainFileName(fileName)) {
            continue;
        }
        state.SeriesCode = w.series;
        state.HistoryFileName = fileName;
        const DateTime now = Now(env);
        if (!SetLookupFields(rec, 'P', w.series, w.expiry, w.put, now.date())) {
            continue;
        }
        // A Single without a put has nothing to look up; it is written like one without a call.
        const bool noPut = Contains(w.put, "Geen");
        if (noPut) {
            rec.Price = "0.0";
        } else {
            LookupPrice(index, rec, state.SeriesCode, now, state.PriceCount);
            const double put = ParseNumber(rec.Price);
            if (put < 0.001 || put > 100) {
                // The next pass may find it; the other combinations still get their line now.
                result.restart = true;
                continue;
            }
        }
        const std::string putText = WithLeadingZero(rec.Price);
        SetLookupFields(rec, 'C', w.series, w.expiry, w.call, now.date());
        LookupPrice(index, rec, state.SeriesCode, now, state.PriceCount);
        const std::string callText = WithLeadingZero(rec.Price);
        const double som = ParseNumber(putText) + ParseNumber(callText);
        if (som > 0) {
            // NOLINTNEXTLINE(performance-inefficient-string-concatenation): once per line written
            const std::string prices = "; " + putText + "; " + callText;
            const auto written = AppendHistoryLine(env.dataFolder, fileName, prices,
                                                   state.IndexValueText, som, Now(env));
            if (!written.ok) {
                result.error = written.error;
                return result;
            }
            ++result.linesWritten;
            // Each line costs a few disk syncs; with many combinations the window must still
            // repaint in between.
            Yield(env);
        }
    }
    if (!result.restart) {
        Status(state, env, DownloadedStatus(state.PriceCount));
    }
    return result;
}

RunResult RunDownload(DownloadState& state, const RunEnvironment& env) {
    RunResult result;
    // Runs hold the data folder's lock, so no other writer is halfway through a file now.
    RemoveStaleTemporaryFiles(env.dataFolder);
    const int maxPasses = env.maxPasses < 1 ? 1 : env.maxPasses;
    for (int pass = 1; pass <= maxPasses; ++pass) {
        result.passes = pass;
        const DateTime now = Now(env);
        SetRequestWindow(state.DataRec, now.date(), env.years ? env.years() : 1,
                         env.lastHistoryIndexValue ? env.lastHistoryIndexValue() : 0.0);

        const IndexReadResult index = ReadIndexPage(
            state, *env.fetcher, IndexPageUrl(env.indexUrlBase), now, env.maxPageBytes);
        if (index.display && env.showIndex) {
            env.showIndex(*index.display);
        }
        if (!index.error.empty()) {
            result.outcome = RunOutcome::Error;
            result.error = index.error;
            Status(state, env, std::string(kFailedStatus));
            return result;
        }
        Yield(env);

        state.PriceCount = 0;
        FetchRequest request;
        request.url = OptionPageUrl(env.optionUrlBase, state.DataRec);
        request.proxy = ProxyMode::Direct;
        request.maxBytes = env.maxPageBytes;
        state.QuotePage = env.fetcher->Fetch(request);
        Yield(env);
        if (state.QuotePage.empty()) {
            result.outcome = RunOutcome::NoPage;
            Status(state, env, std::string(kNoPricesStatus));
            return result;
        }
        state.QuotePage = StripTags(state.QuotePage);
        Yield(env);

        const PassResult passResult =
            ProcessCombinations(state, state.QuotePage, state.DataRec, env);
        result.outcome = RunOutcome::Downloaded;
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

}  // namespace rendaal
