#include "charts/chart_request.h"

#include <memory>
#include <vector>

#include "charts/block_chart.h"
#include "charts/graph_chart.h"
#include "core/text.h"

namespace rendaal {

std::shared_ptr<const ChartHistory> RequestHistory(ChartRequest& request) {
    if (!request.history) {
        request.history = std::make_shared<const ChartHistory>(
            ReadChartHistory(request.folder, request.fileName));
    }
    return request.history;
}

void DrawChart(const ChartRequest& request, Canvas& canvas, ChartState& state,
               ChartOutputs& outputs) {
    ChartPass pass;
    pass.folder = request.folder;
    pass.fileName = request.fileName;
    pass.width = request.width;
    pass.height = request.height;
    pass.today = request.today;
    pass.colors = request.colors;
    // Every pass draws the same lines: the file is read and its fields parsed once.
    pass.history = request.history ? request.history
                                   : std::make_shared<const ChartHistory>(
                                         ReadChartHistory(request.folder, request.fileName));
    std::vector<ChartSeries> series = {ChartSeries::Som};
    if (request.separate) {
        // A Single has one side only; the other would be a line of zeros with a name.
        const ChartHeader header = ParseChartFileName(request.fileName);
        if (!Contains(header.putLabel, "Geen")) {
            series.push_back(ChartSeries::Put);
        }
        if (!Contains(header.callLabel, "Geen")) {
            series.push_back(ChartSeries::Call);
        }
    }
    const PlotArea area = PlotAreaFor(request.width, request.height);
    if (request.blocks) {
        PlotContents contents;
        for (const ChartSeries s : series) {
            pass.series = s;
            DrawBlockSeries(pass, canvas, state, outputs, contents);
        }
        std::vector<LegendEntry> extra;
        if (request.overlay && request.overlay->draw) {
            request.overlay->draw(canvas, area, ValueTop(state.valueScale), contents);
            extra.push_back(request.overlay->entry);
        }
        DrawBlockLegend(canvas, area, contents, request.colors, extra);
    } else {
        GraphTexts texts;
        for (const ChartSeries s : series) {
            pass.series = s;
            DrawGraphSeries(pass, canvas, state, outputs, texts);
        }
        if (request.overlay && request.overlay->draw) {
            request.overlay->draw(canvas, area, ValueTop(state.valueScale), texts.contents);
            texts.extra.push_back(request.overlay->entry);
        }
        DrawGraphTexts(canvas, area, texts);
    }
}

}  // namespace rendaal
