#pragma once

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

#include "analytics/black_scholes.h"
#include "analytics/overview.h"
#include "charts/chart_request.h"
#include "charts/chart_state.h"
#include "core/calendar.h"

namespace rendaal {

// Draws the "Theorie" line over a block chart that RenderChart drew for request: the value of
// the combination today (or days later) at every index level, priced with its last implied
// volatilities, on the value scale the chart left in state. Nothing for a graph chart, or when the
// history gives no volatility. now is this machine's local time.
void DrawTheoryOnImage(QImage& image, const ChartRequest& request, const ChartState& state,
                       const Rates& rates, const DateTime& now, int64_t days = 0);

// The volatility chart of a history as a picture of width x height (1 .. kMaxChartSide each
// way) times devicePixelRatio, as the overview window and "rendaal-sched --iv --chart" show it.
QImage RenderIvChart(const std::string& fileName, const std::vector<IvRow>& rows, int width,
                     int height, double devicePixelRatio = 1);

}  // namespace rendaal
