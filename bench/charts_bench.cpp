// One whole chart (Som, Put and Call passes) of a history file, on a 658 x 474 image. The
// canvas is a RecordingCanvas that keeps no calls (it only counts them), so the figures are
// those of the chart logic: reading and splitting the file three times and the layout
// arithmetic; the pixels of the QImage canvas are not in them.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <filesystem>
#include <string>

#include "charts/chart_request.h"
#include "charts/recording_canvas.h"
#include "core/calendar.h"
#include "core/fileio.h"

namespace {

using namespace rendaal;

const Date kToday{2026, 12, 7};

// A data folder holding one history of `lines` consecutive days ending today.
std::string MakeHistory(int lines) {
    const auto folder = std::filesystem::temp_directory_path() /
                        ("rendaal-charts-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    std::string text = "Datum; Put; Call; Som; AEX\r\n";
    const int64_t first = DayNumber(kToday) - lines;
    for (int i = 0; i < lines; ++i) {
        const int aex = 880 + (i * 37) % 80;
        text += FormatDmy(FromDayNumber(first + i)) + " 17:35:00; 12,35; 08,40; 20,75; " +
                std::to_string(aex) + ",12\r\n";
    }
    const std::string name = "Strangle_AEX_2612_00880.00_00920.00.csv";
    WriteFileAtomic((folder / name).string(), text);
    return folder.string() + "/";
}

void Chart(benchmark::State& st, bool blocks) {
    const int lines = static_cast<int>(st.range(0));
    const std::string folder = MakeHistory(lines);
    ChartRequest request;
    request.blocks = blocks;
    request.separate = true;
    request.folder = folder;
    request.fileName = "Strangle_AEX_2612_00880.00_00920.00.csv";
    request.width = 658;
    request.height = 474;
    request.today = kToday;
    size_t calls = 0;
    for (auto _ : st) {
        RecordingCanvas canvas(false);
        ChartState state;
        ChartOutputs outputs;
        DrawChart(request, canvas, state, outputs);
        calls = canvas.count();
        benchmark::DoNotOptimize(state.lastHistoryIndexValue);
    }
    st.counters["canvas_calls"] = static_cast<double>(calls);
    std::filesystem::remove_all(folder);
}

void BM_GraphChart(benchmark::State& st) {
    Chart(st, false);
}
void BM_BlockChart(benchmark::State& st) {
    Chart(st, true);
}

BENCHMARK(BM_GraphChart)->Arg(300)->Arg(65535)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockChart)->Arg(300)->Arg(65535)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
