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

// Asks the chart of request for the "Theorie" line, drawn before its key: in the block chart the
// value today (or days later) at every index level, in the graph chart the value on each day
// at that day's index level; priced with the volatilities the last prices imply. False (and
// the request unchanged but for its history, read now when it held none) when the history
// gives no volatility. now is this machine's local time.
bool AddTheory(ChartRequest& request, const Rates& rates, const DateTime& now, int64_t days = 0);

// The volatility chart of a history as a picture of width x height (1 .. kMaxChartSide each
// way) times devicePixelRatio, as the overview window and "rendaal-sched --iv --chart" show it.
QImage RenderIvChart(const std::string& fileName, const std::vector<IvRow>& rows, int width,
                     int height, double devicePixelRatio = 1);

}  // namespace rendaal
