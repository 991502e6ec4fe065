#include "platform/scenario_render.h"

#include <algorithm>
#include <cmath>

#include "platform/chart_render.h"
#include "platform/qimage_canvas.h"

namespace rendaal {

QImage RenderScenarioMap(const ScenarioGrid& grid, const std::string& title, int width, int height,
                         double devicePixelRatio, std::optional<ScenarioCell> selected) {
    return RenderOnCanvas(width, height, devicePixelRatio, [&](Canvas& canvas, int w, int h) {
        DrawScenarioMap(canvas, grid, w, h, title, selected);
    });
}

}  // namespace rendaal
