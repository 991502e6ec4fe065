#include "platform/theory_render.h"

#include <algorithm>
#include <cmath>

#include "charts/iv_chart.h"
#include "charts/theory_line.h"
#include "core/market_hours.h"
#include "platform/chart_render.h"
#include "platform/qimage_canvas.h"

namespace rendaal {

bool AddTheory(ChartRequest& request, const Rates& rates, const DateTime& now, int64_t days) {
    const DateTime amsterdam = AmsterdamTimeOfLocal(now);
    // The overlay draws from the chart's own read of the history.
    const std::shared_ptr<const ChartHistory> history = RequestHistory(request);
    if (!TheoryCurveFor(request.fileName, history->rows.lines, rates, amsterdam, days)) {
        return false;
    }
    ChartOverlay overlay;
    overlay.entry = {LegendEntry::Mark::DashedLine, kTheoryColor,
                     TheoryCaption(request.blocks, request.fileName, amsterdam, days),
                     kTheoryColor};
    // The chart's own size, not the picture's: RenderChart cuts absurd sizes down.
    const int width = std::clamp(request.width, 1, kMaxChartSide);
    const int height = std::clamp(request.height, 1, kMaxChartSide);
    const std::string file = request.fileName;
    if (request.blocks) {
        overlay.draw = [=](Canvas& canvas, const PlotArea&, double top, PlotContents& contents) {
            DrawTheoryOverlay(canvas, file, history->rows.lines, width, height, top, rates,
                              amsterdam, days, &contents);
        };
    } else {
        const Date today = request.today;
        overlay.draw = [=](Canvas& canvas, const PlotArea& area, double top,
                           PlotContents& contents) {
            DrawTheoryByDay(canvas, area, top, file, history->rows.lines, rates, amsterdam, today,
                            &contents);
        };
    }
    request.overlay = std::move(overlay);
    return true;
}

QImage RenderIvChart(const std::string& fileName, const std::vector<IvRow>& rows, int width,
                     int height, double devicePixelRatio) {
    return RenderOnCanvas(width, height, devicePixelRatio, [&](Canvas& canvas, int w, int h) {
        DrawIvChart(canvas, w, h, fileName, rows);
    });
}

}  // namespace rendaal
