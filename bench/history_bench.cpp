// Reading a 65,535-line history as the charts and the merge do, in the forms files come back in:
// as written (CR LF), with LF or lone CR ends (an editor's save), and as a spreadsheet's save
// (quoted, "," between fields, ISO dates). A lone-CR file once cost a search to the file's end
// per line.
#include <benchmark/benchmark.h>

#include <string>

#include "core/calendar.h"
#include "history/history_text.h"

namespace {

using namespace rendaal;

enum Form { kCrLf, kLf, kCr, kSpreadsheet };

std::string History(Form form) {
    const std::string end = form == kLf ? "\n" : form == kCr ? "\r" : "\r\n";
    std::string text = form == kSpreadsheet ? "\"Datum\",\"Put\",\"Call\",\"Som\",\"AEX\"" + end
                                            : "Datum; Put; Call; Som; AEX" + end;
    const int64_t first = DayNumber(Date{2026, 12, 4}) - 65535;
    for (int64_t i = 0; i < 65535; ++i) {
        const Date d = FromDayNumber(first + i);
        const std::string aex = std::to_string(880 + i % 80);
        if (form == kSpreadsheet) {
            const std::string dmy = FormatDmy(d);
            text += "\"" + dmy.substr(6) + "-" + dmy.substr(3, 2) + "-" + dmy.substr(0, 2) +
                    " 17:35:00\",\"12.35\",\"8.40\",\"20.75\",\"" + aex + ".12\"" + end;
        } else {
            text += FormatDmy(d) + " 17:35:00; 12,35; 08,40; 20,75; " + aex + ",12" + end;
        }
    }
    return text;
}

void BM_ReadHistoryDates(benchmark::State& st) {
    const std::string text = History(static_cast<Form>(st.range(0)));
    HistoryDates read;
    for (auto _ : st) {
        ReadHistoryDates(text, read);
        benchmark::DoNotOptimize(read.lines.data());
    }
    st.counters["lines"] = static_cast<double>(read.lines.size());
}

void BM_ReadHistoryText(benchmark::State& st) {
    const std::string text = History(static_cast<Form>(st.range(0)));
    size_t rows = 0;
    for (auto _ : st) {
        rows = ReadHistoryText(text).RowCount();
    }
    st.counters["rows"] = static_cast<double>(rows);
}

// 0 CR LF, 1 LF, 2 lone CR, 3 spreadsheet.
BENCHMARK(BM_ReadHistoryDates)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadHistoryText)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
