#pragma once

#include <memory>
#include <optional>
#include <string>

#include "charts/canvas.h"
#include "charts/chart_state.h"
#include "charts/frame.h"
#include "charts/legend.h"
#include "core/calendar.h"

namespace rendaal {

// One chart of a combination, as the main window asks for it.
struct ChartRequest {
    bool blocks = true;     // "Blokjes" view, else "Grafiek"
    bool separate = false;  // "Apart": put and call passes after the sum
    std::string folder;     // data folder, ending with "/"
    std::string fileName;   // history file name
    int width = 658;        // image size
    int height = 474;
    Date today;
    SystemColors colors;
    std::optional<ChartOverlay> overlay;  // drawn after the lines, before the key and texts
    // The history as read already; empty: DrawChart reads folder + fileName.
    std::shared_ptr<const ChartHistory> history;
};

// The request's history, read now (and kept in the request) unless it holds it already: the
// chart, its overlay and what is said about it share one read.
std::shared_ptr<const ChartHistory> RequestHistory(ChartRequest& request);

// The Som pass and, when separate, the Put and Call passes of the sides the combination has,
// on the one canvas; the texts come last, over every line. The canvas is cleared by the Som
// pass only.
void DrawChart(const ChartRequest& request, Canvas& canvas, ChartState& state,
               ChartOutputs& outputs);

}  // namespace rendaal
