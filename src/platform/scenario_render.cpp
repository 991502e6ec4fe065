#include "platform/scenario_render.h"

#include <algorithm>
#include <cmath>

#include "platform/chart_render.h"
#include "platform/qimage_canvas.h"

namespace rendaal {

QImage RenderScenarioMap(const ScenarioGrid& grid, const std::string& title, int width, int height,
                         double devicePixelRatio, std::optional<ScenarioCell> selected) {
    width = std::clamp(width, 1, kMaxChartSide);
    height = std::clamp(height, 1, kMaxChartSide);
    double scale = std::isfinite(devicePixelRatio)
                       ? std::clamp(devicePixelRatio, 1.0, QImageCanvas::kMaxScale)
                       : 1.0;
    scale = std::max(1.0,
                     std::min(scale, static_cast<double>(kMaxChartSide) / std::max(width, height)));
    QImage image(std::max(1, static_cast<int>(std::floor(width * scale))),
                 std::max(1, static_cast<int>(std::floor(height * scale))), QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QImageCanvas canvas(image, scale);
        DrawScenarioMap(canvas, grid, width, height, title, selected);
    }
    image.setDevicePixelRatio(scale);
    return image;
}

}  // namespace rendaal
