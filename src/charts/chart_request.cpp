#include "charts/chart_request.h"

#include "charts/block_chart.h"
#include "charts/graph_chart.h"

namespace rendaal {

void DrawChart(const ChartRequest& request, Canvas& canvas, ChartState& state,
               ChartOutputs& outputs) {
    ChartPass pass;
    pass.folder = request.folder;
    pass.fileName = request.fileName;
    pass.width = request.width;
    pass.height = request.height;
    pass.today = request.today;
    pass.colors = request.colors;
    const auto draw = request.blocks ? DrawBlockChart : DrawGraphChart;
    pass.series = ChartSeries::Som;
    draw(pass, canvas, state, outputs);
    if (request.separate) {
        pass.series = ChartSeries::Put;
        draw(pass, canvas, state, outputs);
        pass.series = ChartSeries::Call;
        draw(pass, canvas, state, outputs);
    }
}

}  // namespace rendaal
