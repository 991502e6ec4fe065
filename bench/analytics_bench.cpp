// Implied volatility per leg, and the whole overview of 255 combinations with 2,500 history
// lines each against reading those files once (the aim: the overview within a few times that).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "analytics/black_scholes.h"
#include "analytics/overview.h"
#include "charts/history.h"
#include "core/calendar.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"

namespace {

using namespace rendaal;

const Rates kRates{0.02, 0.03};
constexpr DateTime kNow{2026, 12, 7, 18, 0, 0, 0};

// Puts and calls from 30 % out to 30 % in the money at the given days to expiry, priced at
// volatilities from 10 % to 40 %.
struct Quote {
    OptionSide side;
    double price;
    double strike;
};
std::vector<Quote> Quotes(double years) {
    std::vector<Quote> quotes;
    for (int i = 0; i <= 60; ++i) {
        const double k = 900 * (0.7 + 0.01 * i);
        for (const OptionSide side : {OptionSide::Put, OptionSide::Call}) {
            const double sigma = 0.1 + 0.3 * (i % 7) / 6.0;
            const double p = BlackScholesPrice(side, 900, k, years, kRates, sigma);
            if (p > 0.005) {
                quotes.push_back({side, std::round(p * 100) / 100, k});  // quoted in cents
            }
        }
    }
    return quotes;
}

void ImpliedVolatilityPerLeg(benchmark::State& st) {
    const double years = static_cast<double>(st.range(0)) / 365;
    const auto quotes = Quotes(years);
    size_t solved = 0;
    for (auto _ : st) {
        for (const auto& q : quotes) {
            const auto iv = ImpliedVolatility(q.side, q.price, 900, q.strike, years, kRates);
            solved += iv.has_value();
            benchmark::DoNotOptimize(iv);
        }
    }
    st.SetItemsProcessed(static_cast<int64_t>(st.iterations() * quotes.size()));
    st.counters["solved_share"] =
        static_cast<double>(solved) / static_cast<double>(st.iterations() * quotes.size());
}
BENCHMARK(ImpliedVolatilityPerLeg)->Arg(1)->Arg(7)->Arg(30)->Arg(182)->Arg(730);

// A data folder of 255 combinations with 2,500 daily lines each (about 130 kB per file).
struct Folder {
    std::string path;
    std::vector<std::string> lines;
    Folder() {
        path = (std::filesystem::temp_directory_path() /
                ("rendaal-analytics-bench-" + std::to_string(::getpid())))
                   .string() +
               "/";
        std::filesystem::create_directories(path);
        for (int c = 0; c < 255; ++c) {
            const int put = 700 + 5 * (c % 40);
            const int call = put + 40 + 5 * (c % 9);
            const std::string yymm = "2" + std::to_string(7 + c % 3) + TwoDigits(1 + c % 12);
            const std::string line = "AEX " + yymm + " 00" + std::to_string(put) + ".00 00" +
                                     std::to_string(call) + ".00; Put: x; Call: x; Strangle";
            lines.push_back(line);
            std::string text = "Datum; Put; Call; Som; AEX\r\n";
            const int64_t first = DayNumber(kNow.date()) - 2500;
            for (int i = 0; i < 2500; ++i) {
                const int aex = 850 + (i * 37) % 100;
                text += FormatDmy(FromDayNumber(first + i)) + " 17:35:00; " +
                        std::to_string(20 + i % 30) + ",35; " + std::to_string(15 + i % 20) +
                        ",40; " + std::to_string(35 + i % 30 + i % 20) + ",75; " +
                        std::to_string(aex) + ",12\r\n";
            }
            WriteFileAtomic(path + HistoryFileName(line), text);
        }
    }
    ~Folder() { std::filesystem::remove_all(path); }
};

Folder& TheFolder() {
    static Folder folder;
    return folder;
}

void ReadFilesOnce(benchmark::State& st) {
    Folder& f = TheFolder();
    for (auto _ : st) {
        size_t bytes = 0;
        for (const auto& line : f.lines) {
            const auto text = ReadFile(f.path + HistoryFileName(line));
            bytes += text ? text->size() : 0;
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(ReadFilesOnce)->Unit(benchmark::kMillisecond);

// Reading plus the split into lines every reader of history files does.
void ReadAndSplitOnce(benchmark::State& st) {
    Folder& f = TheFolder();
    for (auto _ : st) {
        size_t rows = 0;
        for (const auto& line : f.lines) {
            rows += LoadHistoryRows(f.path, HistoryFileName(line)).lines.size();
        }
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(ReadAndSplitOnce)->Unit(benchmark::kMillisecond);

void WholeOverview(benchmark::State& st) {
    Folder& f = TheFolder();
    for (auto _ : st) {
        const auto rows = LoadOverview(f.path, f.lines, kRates, kNow);
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(WholeOverview)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
