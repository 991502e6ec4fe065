// The page archive over a year of trading on the loopback market's pages: its size on disk, the
// cost of archiving one pass, and a rebuild of 255 lost history files from it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/calendar.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "download/archive.h"
#include "download/download_run.h"
#include "download/option_page.h"
#include "download/rebuild.h"
#include "history/history_file.h"
#include "quotesim/quote_model.h"

namespace {

using namespace rendaal;
namespace fs = std::filesystem;

std::string TempFolder() {
    char tmpl[] = "/tmp/rendaal-bench-XXXXXX";
    const char* made = ::mkdtemp(tmpl);
    return made ? std::string(made) + "/" : std::string("/tmp/");
}

std::string Strike(int k) {
    return "00" + std::string(k < 1000 ? "0" : "") + std::to_string(k) + ".00";
}

// 255 straddles and strangles on December 2026, every pair of strikes from 850 to 1000.
std::vector<std::string> Combinations() {
    std::vector<std::string> lines;
    for (int put = 850; put <= 1000 && lines.size() < 255; put += 5) {
        for (int call = put; call <= 1000 && lines.size() < 255; call += 5) {
            lines.push_back("AEX 2612 " + Strike(put) + " " + Strike(call) + "; Put: x; Call: y; " +
                            (put == call ? "Straddle" : "Strangle"));
        }
    }
    return lines;
}

// The pass a run makes at 17:40 on a trading day, with the pages the market serves it.
ArchiveEntry Pass(int dayIndex, const Date& day, const std::vector<std::string>& lines) {
    const quotesim::QuoteModel model(static_cast<uint32_t>(dayIndex + 1), day);
    TDataRec window;
    window.IndexValue = model.IndexLevel();
    SetRequestWindow(window, day, 1, 0);
    const quotesim::OptionQuery query{window.MonthFrom, window.YearFrom,  window.MonthTill,
                                      window.YearTill,  window.PriceFrom, window.PriceTill};
    ArchiveEntry entry;
    entry.time = {day.year, day.month, day.day, 17, 40, 0, 0};
    entry.index = ArchivedPage{"http://127.0.0.1/index.php?type=main", model.IndexPage("17:35")};
    entry.option = ArchivedPage{OptionPageUrl("http://127.0.0.1", window), model.OptionPage(query)};
    for (const auto& line : lines) {
        entry.written.push_back(HistoryFileName(line));
    }
    return entry;
}

// The working days of 2026 (holidays aside), each archived once.
struct Year {
    std::string folder = TempFolder();
    std::vector<std::string> lines = Combinations();
    int64_t rawBytes = 0;
    int days = 0;
    Year() {
        std::string rules;
        for (const auto& line : lines) {
            rules += line + "\r\n";
        }
        WriteFileAtomic(folder + "Regels.dat", rules);
        for (int64_t n = DayNumber(2026, 1, 1); n <= DayNumber(2026, 12, 31); ++n) {
            const Date day = FromDayNumber(n);
            if (Weekday(day) == 1 || Weekday(day) == 7) {
                continue;
            }
            const ArchiveEntry entry = Pass(days++, day, lines);
            rawBytes +=
                static_cast<int64_t>(entry.index->bytes.size() + entry.option->bytes.size());
            ArchivePass(folder, entry);
        }
    }
    ~Year() {
        std::error_code ec;
        fs::remove_all(folder, ec);
    }
    int64_t ArchiveBytes() const {
        int64_t total = 0;
        for (const auto& e : fs::recursive_directory_iterator(folder + "Archief")) {
            if (e.is_regular_file()) {
                total += static_cast<int64_t>(e.file_size());
            }
        }
        return total;
    }
};

const Year& TheYear() {
    static const Year year;
    return year;
}

void BM_ArchiveSizePerYear(benchmark::State& bench) {
    const Year& year = TheYear();
    int64_t bytes = 0;
    for (auto _ : bench) {
        bytes = year.ArchiveBytes();
        benchmark::DoNotOptimize(bytes);
    }
    bench.counters["days"] = year.days;
    bench.counters["archive_MiB"] = static_cast<double>(bytes) / (1 << 20);
    bench.counters["pages_MiB"] = static_cast<double>(year.rawBytes) / (1 << 20);
}
BENCHMARK(BM_ArchiveSizePerYear)->Iterations(1)->Unit(benchmark::kMillisecond);

// One more pass of a day that already holds one: pack, write, rewrite the day's index.
void BM_ArchiveOnePass(benchmark::State& bench) {
    const std::string folder = TempFolder();
    const auto lines = Combinations();
    ArchiveEntry entry = Pass(0, {2026, 12, 7}, lines);
    int second = 0;
    for (auto _ : bench) {
        entry.time.second = second++ % 60;
        benchmark::DoNotOptimize(ArchivePass(folder, entry));
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
}
BENCHMARK(BM_ArchiveOnePass)->Unit(benchmark::kMillisecond);

// Every history file and its backup lost: 255 files of a year's lines each come back.
void BM_RebuildYear255(benchmark::State& bench) {
    const Year& year = TheYear();
    int added = 0;
    for (auto _ : bench) {
        bench.PauseTiming();
        for (const auto& line : year.lines) {
            RemoveFile(year.folder + HistoryFileName(line));
            RemoveFile(year.folder + BackupFileName(HistoryFileName(line)));
        }
        bench.ResumeTiming();
        added = RebuildLocked(year.folder, {}).DaysAdded();
    }
    bench.counters["days_added"] = added;
}
BENCHMARK(BM_RebuildYear255)->Unit(benchmark::kMillisecond)->Iterations(3);

// Nothing lost: the rebuild only reads the files and the archive's indexes.
void BM_RebuildNothingMissing255(benchmark::State& bench) {
    const Year& year = TheYear();
    RebuildLocked(year.folder, {});
    for (auto _ : bench) {
        benchmark::DoNotOptimize(RebuildLocked(year.folder, {}).DaysAdded());
    }
}
BENCHMARK(BM_RebuildNothingMissing255)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
