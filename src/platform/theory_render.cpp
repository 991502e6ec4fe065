#include "platform/theory_render.h"

#include <algorithm>

#include "analytics/theory_line.h"
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

}  // namespace rendaal
