// Implied volatility per leg, and the whole overview of 255 combinations with 2,500 and 10,000
// history lines each against reading those files once (the aim: the overview within a few times
// that).
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analytics/black_scholes.h"
#include "analytics/overview.h"
#include "analytics/scenario.h"
#include "core/calendar.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"
#include "history/rows.h"

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

// Reference prices in long double, the in-the-money side through put-call parity from the
// out-of-the-money one, so the price a solver gets is the true price rounded once to double.
long double ReferencePrice(OptionSide side, long double s, long double k, long double t,
                           long double sigma) {
    const long double df = std::exp(-static_cast<long double>(kRates.r) * t);
    const long double f = s * std::exp(static_cast<long double>(kRates.r - kRates.q) * t);
    const long double sd = sigma * std::sqrt(t);
    const long double d1 = std::log(f / k) / sd + sd / 2;
    const long double d2 = d1 - sd;
    auto n = [](long double x) { return 0.5L * std::erfc(-x / std::sqrt(2.0L)); };
    const long double call = f * n(d1) - k * n(d2);
    const long double put = k * n(-d2) - f * n(-d1);
    const bool callOtm = f <= k;
    const long double otm = callOtm ? call : put;
    if (side == OptionSide::Call) {
        return df * (callOtm ? otm : otm + (f - k));
    }
    return df * (callOtm ? otm + (k - f) : otm);
}

// The worst relative error of the solved volatility over the grid above, extended with one-day
// expiries, volatilities down to 1 % (prices a hair above intrinsic) and up to 100 %. Only
// prices of at least 1e-12 that pin the volatility down are counted: where a one-ulp change of the
// price moves sigma by more than 1e-11 of itself, no solver can do better than the price allows.
void ImpliedVolatilityAccuracy(benchmark::State& st) {
    double worst = 0;
    double worstSigma = 0, worstStrike = 0, worstDays = 0, worstSide = 0;
    size_t counted = 0, unsolved = 0;
    for (auto _ : st) {
        worst = 0;
        counted = unsolved = 0;
        for (const int days : {1, 2, 7, 30, 182, 730}) {
            const double t = days / 365.0;
            for (int i = 0; i <= 60; ++i) {
                const double k = 900 * (0.7 + 0.01 * i);
                for (const double sigma :
                     {0.01, 0.02, 0.05, 0.1, 0.15, 0.2, 0.25, 0.3, 0.35, 0.4, 0.6, 1.0}) {
                    for (const OptionSide side : {OptionSide::Put, OptionSide::Call}) {
                        const long double ref = ReferencePrice(side, 900, k, t, sigma);
                        const double price = static_cast<double>(ref);
                        const long double up = ReferencePrice(side, 900, k, t, sigma * (1 + 1e-6));
                        const long double slope = (up - ref) / (sigma * 1e-6L);  // vega
                        if (!(price >= 1e-12) || !(slope > 0) ||
                            std::numeric_limits<double>::epsilon() * price / (slope * sigma) >
                                1e-11) {
                            continue;
                        }
                        ++counted;
                        const auto iv = ImpliedVolatility(side, price, 900, k, t, kRates);
                        if (!iv) {
                            ++unsolved;
                            continue;
                        }
                        const double err = std::abs(*iv - sigma) / sigma;
                        if (err > worst) {
                            worst = err;
                            worstSigma = sigma;
                            worstStrike = k;
                            worstDays = days;
                            worstSide = side == OptionSide::Call ? 1 : 0;
                        }
                    }
                }
            }
        }
        benchmark::DoNotOptimize(worst);
    }
    st.counters["worst_rel_err"] = worst;
    st.counters["at_sigma"] = worstSigma;
    st.counters["at_strike"] = worstStrike;
    st.counters["at_days"] = worstDays;
    st.counters["at_call"] = worstSide;
    st.counters["counted"] = static_cast<double>(counted);
    st.counters["unsolved"] = static_cast<double>(unsolved);
}
BENCHMARK(ImpliedVolatilityAccuracy)->Iterations(1)->Unit(benchmark::kMillisecond);

// A data folder of 255 combinations with the given number of daily lines each (about 130 kB
// per file at 2,500).
struct Folder {
    std::string path;
    std::vector<std::string> lines;
    explicit Folder(int rows) {
        path =
            (std::filesystem::temp_directory_path() /
             ("rendaal-analytics-bench-" + std::to_string(::getpid()) + "-" + std::to_string(rows)))
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
            const int64_t first = DayNumber(kNow.date()) - rows;
            for (int i = 0; i < rows; ++i) {
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

Folder& TheFolder(int rows) {
    static std::map<int, std::unique_ptr<Folder>> folders;
    auto& f = folders[rows];
    if (!f) {
        f = std::make_unique<Folder>(rows);
    }
    return *f;
}

void ReadFilesOnce(benchmark::State& st) {
    Folder& f = TheFolder(static_cast<int>(st.range(0)));
    for (auto _ : st) {
        size_t bytes = 0;
        for (const auto& line : f.lines) {
            const auto text = ReadFile(f.path + HistoryFileName(line));
            bytes += text ? text->size() : 0;
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(ReadFilesOnce)->Arg(2500)->Arg(10000)->Unit(benchmark::kMillisecond);

// Reading plus the split into lines every reader of history files does.
void ReadAndSplitOnce(benchmark::State& st) {
    Folder& f = TheFolder(static_cast<int>(st.range(0)));
    for (auto _ : st) {
        size_t rows = 0;
        for (const auto& line : f.lines) {
            rows += LoadHistoryRows(f.path, HistoryFileName(line)).lines.size();
        }
        benchmark::DoNotOptimize(rows);
    }
}
BENCHMARK(ReadAndSplitOnce)->Arg(2500)->Arg(10000)->Unit(benchmark::kMillisecond);

void WholeOverview(benchmark::State& st) {
    Folder& f = TheFolder(static_cast<int>(st.range(0)));
    for (auto _ : st) {
        const auto rows = LoadOverview(f.path, f.lines, kRates, kNow);
        benchmark::DoNotOptimize(rows.data());
    }
}
BENCHMARK(WholeOverview)->Arg(2500)->Arg(10000)->Unit(benchmark::kMillisecond);

// The what-if grid of the 255 x 2,500 histories from their overview rows, as the window computes
// it on Ctrl+E and on every change of the volatility shift: one combination, and all 255 (the
// window's stall limit is 50 ms). cells counts the cells with a value.
void ScenarioGrid(benchmark::State& st) {
    Folder& f = TheFolder(2500);
    auto rows = LoadOverview(f.path, f.lines, kRates, kNow);
    // Many of the made-up prices imply no volatility; 20 % there prices every cell, the most
    // work a grid can be.
    for (auto& r : rows) {
        r.ivPut = r.ivPut.value_or(0.2);
        r.ivCall = r.ivCall.value_or(0.2);
    }
    const size_t count = st.range(0) == 1 ? 1 : rows.size();
    size_t cells = 0;
    for (auto _ : st) {
        cells = 0;
        for (size_t i = 0; i < count; ++i) {
            const auto grid = ComputeScenario(ScenarioInputOf(rows[i], kNow.date(), kRates), 5);
            for (const auto& r : grid.results) {
                cells += r.has_value();
            }
        }
        benchmark::DoNotOptimize(cells);
    }
    st.counters["cells"] = static_cast<double>(cells);
}
BENCHMARK(ScenarioGrid)->Arg(1)->Arg(255)->Unit(benchmark::kMillisecond);

// What "rendaal-sched --scenario" does: one 2,500-line history read and its grid.
void ScenarioFromHistory(benchmark::State& st) {
    Folder& f = TheFolder(2500);
    const std::string name = HistoryFileName(f.lines.front());
    for (auto _ : st) {
        const auto text = ReadFile(f.path + name);
        const auto row = HistoryOverview(name, ReadHistoryText(*text), kRates, kNow);
        const auto grid = ComputeScenario(ScenarioInputOf(row, kNow.date(), kRates), 0);
        benchmark::DoNotOptimize(grid.results.data());
    }
}
BENCHMARK(ScenarioFromHistory)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
