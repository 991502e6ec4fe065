#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "analytics/scenario.h"
#include "charts/canvas.h"

// The what-if grid as a heat map: one row per date, one column per index level, green where
// the sold combination makes a profit and red where it loses, stronger as the amount grows; the
// zero line through the break-evens of every date, today's level and the break-evens at expiry
// marked above their columns.
namespace rendaal {

struct ScenarioCell {
    size_t date = 0;
    size_t column = 0;
    friend bool operator==(const ScenarioCell&, const ScenarioCell&) = default;
};

// Where the cells lie in a picture of the given size; canvas is asked for text widths only.
struct ScenarioMapLayout {
    int left = 0;
    int top = 0;
    int right = 0;   // one past the last cell
    int bottom = 0;  // one past the last row
    size_t columns = 0;
    size_t rows = 0;
    int ColumnX(size_t column) const;  // left edge; ColumnX(columns) == right
    int RowY(size_t row) const;        // top edge; RowY(rows) == bottom
    std::optional<ScenarioCell> CellAt(int x, int y) const;
};
ScenarioMapLayout LayoutScenarioMap(const ScenarioGrid& grid, int width, int height,
                                    Canvas& canvas);

// The colour of a result, with the largest amount in the grid at full strength.
Color ScenarioColor(std::optional<double> result, double largest);

// title goes above the map; selected is outlined (the keyboard's cell).
void DrawScenarioMap(Canvas& canvas, const ScenarioGrid& grid, int width, int height,
                     const std::string& title, std::optional<ScenarioCell> selected = {});

}  // namespace rendaal
