#include "platform/theory_render.h"

#include <algorithm>
#include <cmath>

#include "charts/iv_chart.h"
#include "charts/theory_line.h"
#include "core/market_hours.h"
#include "platform/chart_render.h"
#include "platform/qimage_canvas.h"

namespace rendaal {

void DrawTheoryOnImage(QImage& image, const ChartRequest& request, const ChartState& state,
                       const Rates& rates, const DateTime& now, int64_t days) {
    if (!request.blocks || image.isNull()) {
        return;
    }
    // Drawn at the ratio the chart was rendered at, so the line lands on the chart pixels.
    QImageCanvas canvas(image, image.devicePixelRatio());
    // The chart's own size, not the picture's: RenderChart cuts absurd sizes down.
    const int width = std::clamp(request.width, 1, kMaxChartSide);
    const int height = std::clamp(request.height, 1, kMaxChartSide);
    DrawTheoryOverlay(canvas, request.folder, request.fileName, width, height,
                      ValueTop(state.valueScale), rates, AmsterdamTimeOfLocal(now), days);
}

QImage RenderIvChart(const std::string& fileName, const std::vector<IvRow>& rows, int width,
                     int height, double devicePixelRatio) {
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
        DrawIvChart(canvas, width, height, fileName, rows);
    }
    image.setDevicePixelRatio(scale);
    return image;
}

}  // namespace rendaal
