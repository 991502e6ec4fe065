#include "charts/scenario_map.h"

#include <gtest/gtest.h>

#include "charts/recording_canvas.h"

namespace rendaal {
namespace {

ScenarioInput Strangle() {
    return {{880.0, 960.0},    43.21,       912.34, 0.22, 0.18, Date{2027, 3, 19},
            Date{2026, 12, 7}, {0.02, 0.03}};
}

}  // namespace

// The hover read-out finds the cell drawn at a point, also in a picture too small for the map.
TEST(ScenarioMap, CellsUnderThePointerAndTheirColours) {
    const ScenarioGrid g = ComputeScenario(Strangle(), 0);
    RecordingCanvas canvas;
    for (const auto& [w, h] : {std::pair{1300, 700}, {977, 431}, {3, 2}}) {
        const ScenarioMapLayout l = LayoutScenarioMap(g, w, h, canvas);
        for (size_t d = 0; d < g.dates.size(); ++d) {
            for (size_t c = 0; c < g.columns.size(); ++c) {
                if (l.ColumnX(c + 1) > l.ColumnX(c) && l.RowY(d + 1) > l.RowY(d)) {
                    EXPECT_EQ(l.CellAt(l.ColumnX(c + 1) - 1, l.RowY(d)), (ScenarioCell{d, c}));
                }
            }
        }
        EXPECT_FALSE(l.CellAt(l.right, l.top));
        EXPECT_FALSE(l.CellAt(l.left, l.top - 1));
        DrawScenarioMap(canvas, g, w, h, "Scenario", ScenarioCell{99, 99});
    }
    EXPECT_EQ(ScenarioColor(std::nullopt, 100), Rgb(210, 210, 210));
    EXPECT_EQ(ScenarioColor(100, 100), Rgb(30, 150, 60));
    EXPECT_EQ(ScenarioColor(-250, 100), Rgb(205, 40, 40));
    EXPECT_EQ(ScenarioColor(0, 0), Rgb(250, 250, 250));
    EXPECT_EQ(ScenarioColor(-50, 100), Rgb(228, 145, 145));
}

}  // namespace rendaal
