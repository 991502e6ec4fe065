// Download run costs: one pass over 255 combinations against a 1 MiB option page (lookups,
// history appends and compactions included) and one compaction of a 65,535-line history file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/calendar.h"
#include "core/clock.h"
#include "core/text.h"
#include "download/download_run.h"
#include "download/option_page.h"
#include "history/history_file.h"

namespace {

using namespace rendaal;

std::string TempFolder() {
    char tmpl[] = "/tmp/rendaal-bench-XXXXXX";
    const char* made = ::mkdtemp(tmpl);
    return made ? std::string(made) + "/" : std::string("/tmp/");
}

std::string Price(int cents) {
    return std::to_string(cents / 100) + "," + TwoDigits(cents % 100);
}

// Rows for every third-Friday expiry from December 2008 on, strikes every 5 points, until the
// page's text without its tags (what the lookups search) holds 1 MiB; the benchmark's
// combinations are on the last expiry, at the page's end.
std::string OptionPage(Date& lastExpiry) {
    std::string page = "<html><body><table><tr><th>C/P</th><th>Afloopdatum</th></tr>\r\n";
    int year = 2008;
    int month = 12;
    while (StripTags(page).size() < (1u << 20)) {
        const Date expiry{year, month, *SeriesDay("AEX", year, month)};
        for (char kind : {'C', 'P'}) {
            for (int strike = 100; strike <= 1500; strike += 5) {
                const int cents = 100 + (strike * 7 + (kind == 'P' ? 13 : 0)) % 5000;
                page += "<tr><td>" + std::string(1, kind) + "</td><td>" + FormatDmy(expiry) +
                        "</td><td>" + std::to_string(strike) + ",00</td><td>" + Price(cents) +
                        "</td><td>" + Price(cents - 5) + "</td></tr>\r\n";
            }
        }
        lastExpiry = expiry;
        if (++month > 12) {
            month = 1;
            ++year;
        }
    }
    return page + "</table></body></html>";
}

std::string Strike(int k) {
    const std::string s = std::to_string(k);
    return std::string(5 - s.size(), '0') + s + ".00";
}

void BM_ProcessCombinations255(benchmark::State& bench) {
    Date expiry;
    const std::string page = StripTags(OptionPage(expiry));
    const std::string yymm = TwoDigits(expiry.year % 100) + TwoDigits(expiry.month);
    std::vector<std::string> lines;
    for (int i = 0; i < 255; ++i) {
        const int put = 200 + 5 * i;
        const int call = put + 25;
        lines.push_back("AEX " + yymm + " 00" + Strike(put) + " 00" + Strike(call) +
                        "; Put: x; Call: y; Strangle");
    }
    const std::string folder = TempFolder();
    FixedClock clock(DateTime{expiry.year, expiry.month, 1, 18, 0, 0, 0});
    RunEnvironment env;
    env.clock = &clock;
    env.dataFolder = folder;
    env.lines = [&lines] { return lines; };
    DownloadState state;
    state.IndexValueText = " 925,43";
    for (auto _ : bench) {
        state.PriceCount = 0;
        const PassResult pass = ProcessCombinations(state, page, state.DataRec, env);
        if (pass.linesWritten != 255 || pass.restart) {
            bench.SkipWithError("not every combination got its line");
            break;
        }
    }
    bench.counters["page_bytes"] = static_cast<double>(page.size());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_ProcessCombinations255)->Unit(benchmark::kMillisecond);

// The lookups alone: a put and a call per combination, no files. Arg 0 searches the page for
// every key; arg 1 indexes it once, as a download pass does (the index is built in the loop).
void BM_LookupPrice510(benchmark::State& bench) {
    Date expiry;
    const std::string page = StripTags(OptionPage(expiry));
    const DateTime now{expiry.year, expiry.month, 1, 18, 0, 0, 0};
    TDataRec rec;
    rec.ExpiryYear = expiry.year;
    rec.ExpiryMonth = expiry.month;
    rec.ExpiryDay = expiry.day;
    uint16_t count = 0;
    const bool indexed = bench.range(0) == 1;
    for (auto _ : bench) {
        const PageIndex index(indexed ? std::string_view(page) : std::string_view());
        for (int i = 0; i < 255; ++i) {
            for (char kind : {'P', 'C'}) {
                rec.OptionKind = kind;
                rec.Strike = 200 + 5 * i + (kind == 'C' ? 25 : 0);
                if (indexed) {
                    LookupPrice(index, rec, "AEX", now, count);
                } else {
                    LookupPrice(page, rec, "AEX", now, count);
                }
                benchmark::DoNotOptimize(rec.Price);
            }
        }
    }
}
BENCHMARK(BM_LookupPrice510)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Reading the stripped page once, the yardstick for the processing.
void BM_ReadPageOnce(benchmark::State& bench) {
    Date expiry;
    const std::string page = StripTags(OptionPage(expiry));
    for (auto _ : bench) {
        size_t commas = 0;
        for (char c : page) {
            commas += c == ',';
        }
        benchmark::DoNotOptimize(commas);
    }
}
BENCHMARK(BM_ReadPageOnce)->Unit(benchmark::kMillisecond);

void BM_CompactHistory65535(benchmark::State& bench) {
    const std::string folder = TempFolder();
    const std::string name = "Strangle_AEX_0812_00400.00_00420.00.csv";
    std::string text = "Datum; Put; Call; Som; AEX\r\n";
    int64_t day = DayNumber(1990, 1, 1);
    for (int i = 0; i < 65535; ++i) {
        // Every tenth date twice, so that the compaction merges too.
        if (i % 10 != 9) {
            ++day;
        }
        text += FormatDmy(FromDayNumber(day)) + " 17:35:00; 05,20; 03,10; 08,30;  512,34\r\n";
    }
    for (auto _ : bench) {
        bench.PauseTiming();
        std::FILE* f = std::fopen((folder + name).c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
        bench.ResumeTiming();
        CompactHistoryFile(folder, name);
    }
    bench.counters["file_bytes"] = static_cast<double>(text.size());
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CompactHistory65535)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
