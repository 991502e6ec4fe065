#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/calendar.h"
#include "history/rows.h"

// What the charts keep between passes and leave behind: the series drawn, the value axis's
// scale, the last row's texts and the points drawn.
namespace rendaal {

// Which value of a history line a chart pass draws.
enum class ChartSeries { Som = 1, Put = 2, Call = 3 };

struct ValueScale {
    double top = 5;
    int ticks = 5;
    friend bool operator==(const ValueScale&, const ValueScale&) = default;
};

// Sums of 500 and more continue the table's 1-2-5 pattern (1000, 2000, 5000, ...), up to a
// top of 5e15, which the largest sums share.
ValueScale ChooseValueScale(const std::vector<std::string>& lines);
ValueScale ValueScaleOf(const std::vector<HistoryRowValues>& values);
ValueScale ScaleForMaximum(double maxSom);

struct LastRowTexts {
    std::string put;
    std::string call;
    std::string som;
};

// A row as the last chart drew it: where (picture coordinates) and what it holds.
struct ChartPoint {
    int x = 0;
    int y = 0;
    Date date;
    double som = 0;
    double aex = 0;
};

// What the charts leave behind for the hover read-out and the download run. The main window
// owns one for the whole program.
struct ChartState {
    ValueScale valueScale;
    LastRowTexts lastRowTexts;
    std::optional<Date> lastRowDate;  // of the row lastRowTexts come from
    double lastHistoryIndexValue = 0;
    std::vector<ChartPoint> points;  // the sum's points (graph) or every square (blocks)
};

}  // namespace rendaal
