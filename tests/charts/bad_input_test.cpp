#include <gtest/gtest.h>

#include <climits>
#include <random>

#include "chart_test_support.h"
#include "charts/chart_request.h"

namespace rendaal {
namespace {

using namespace test;
using namespace chart_colors;

const std::string kName = "Strangle_AEX_2612_00900.00_00950.00.csv";

TEST(ChartBadInput, MaximumFileOf65535LinesInAllViews) {
    ChartBench b;
    std::vector<std::string> lines;
    const int64_t first = DayNumber(2026, 12, 7) - 65534;
    for (int64_t i = 0; i < 65535; ++i) {
        lines.push_back(Line(FormatDmy(FromDayNumber(first + i)), "05,00", "04,00", "09,00",
                             i % 2 ? "905,00" : "915,00"));
    }
    b.Write(kName, lines);
    for (bool blocks : {true, false}) {
        SCOPED_TRACE(blocks);
        RecordingCanvas canvas;
        ChartState state;
        ChartOutputs out;
        DrawChart(b.Request(kName, blocks, true, {2026, 12, 7}), canvas, state, out);
        EXPECT_TRUE(AllCoordinatesBounded(canvas));
        EXPECT_EQ(state.lastRowTexts.som, " 09,00");
        EXPECT_DOUBLE_EQ(state.lastHistoryIndexValue, 915.0);
        if (blocks) {
            EXPECT_EQ(canvas.Of(Op::Rectangle).size(), 1u + 3 * 65535 + 1 + 5);
        } else {
            // Lines older than a hundred years lie left of the plot, but are drawn.
            EXPECT_EQ(LinesWithPen(canvas, kBlue).size(), 65535u);
        }
    }
}

TEST(ChartBadInput, ArbitraryBytesAndNamesNeverCrash) {
    std::mt19937 rng(11);
    const std::string pieces[] = {"; ",         ";",          " ",          "\r\n", "\n",
                                  "0,00",       "99-99-9999", "07-12-2026", "-",    "17:35:00",
                                  "9999999999", ",",          "."};
    const std::string names[] = {kName,
                                 "Single_AEX_2612_00Geen_00950.00.csv",
                                 "Single_AX5_2602_00900.00_00Geen.csv",
                                 "x",
                                 "",
                                 "___.csv"};
    ChartBench b;
    for (int round = 0; round < 60; ++round) {
        std::string bytes;
        const int n = static_cast<int>(rng() % 60);
        for (int i = 0; i < n; ++i) {
            if (rng() % 3 == 0) {
                bytes += static_cast<char>(rng());
            } else {
                bytes += pieces[rng() % std::size(pieces)];
            }
        }
        const std::string& name = names[round % std::size(names)];
        if (!name.empty()) {
            WriteAll(b.dir.path() / name, bytes);
        }
        for (bool blocks : {true, false}) {
            RecordingCanvas canvas;
            ChartOutputs out;
            DrawChart(b.Request(name, blocks, true, {2026, 12, 7}, 200 + round * 7, 120 + round),
                      canvas, b.state, out);
            ASSERT_TRUE(AllCoordinatesBounded(canvas)) << round;
            ASSERT_LT(canvas.calls().size(), 300000u) << round;
            EXPECT_TRUE(out.hintsOn);
        }
    }
}

TEST(ChartBadInput, TinyAndZeroImagesDivideByNothing) {
    ChartBench b;
    b.Write(kName, {Line("01-12-2026", "05,00", "04,00", "09,00", "915,00")});
    for (auto [w, h] : {std::pair{0, 0},
                        {1, 1},
                        {100, 100},
                        {101, 99},
                        {50, 474},
                        {-5, -5},
                        {INT_MIN, INT_MAX}}) {
        for (bool blocks : {true, false}) {
            RecordingCanvas canvas;
            ChartOutputs out;
            DrawChart(b.Request(kName, blocks, true, {2026, 12, 7}, w, h), canvas, b.state, out);
            EXPECT_TRUE(AllCoordinatesBounded(canvas));
            EXPECT_LT(canvas.calls().size(), 5000u);
        }
    }
}

TEST(LoadHistoryRows, ArbitraryBytesNeverCrash) {
    std::mt19937 rng(7);
    test::TempDir dir;
    for (int round = 0; round < 200; ++round) {
        std::string bytes(rng() % 400, '\0');
        for (auto& b : bytes) {
            b = static_cast<char>(rng() % 4 == 0 ? "; -\r\n0,9"[rng() % 9] : rng());
        }
        test::WriteAll(dir.path() / "g.csv", bytes);
        const HistoryRows rows = LoadHistoryRows(dir.folder(), "g.csv");
        ASSERT_FALSE(rows.lines.empty());
        for (const auto& line : rows.lines) {
            const HistoryRow r = SplitHistoryRow(line);
            (void)RowDayNumber(r.dateText);
        }
        const ValueScale s = ChooseValueScale(rows.lines);
        EXPECT_GT(s.top, 0);
        EXPECT_GT(s.ticks, 0);
    }
}

}  // namespace
}  // namespace rendaal
