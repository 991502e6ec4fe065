#pragma once

#include <optional>
#include <string>

#include "charts/canvas.h"
#include "charts/frame.h"
#include "charts/history.h"
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
};

// The Som pass and, when separate, the Put and Call passes of the sides the combination has,
// on the one canvas; the texts come last, over every line. The canvas is cleared by the Som
// pass only.
void DrawChart(const ChartRequest& request, Canvas& canvas, ChartState& state,
               ChartOutputs& outputs);

}  // namespace rendaal
