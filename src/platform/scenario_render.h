#pragma once

#include <QImage>

#include <optional>
#include <string>

#include "charts/scenario_map.h"

namespace rendaal {

// The what-if heat map on a new image of width x height (1 .. kMaxChartSide each way) times
// devicePixelRatio, as the window shows it and "rendaal-sched --scenario --out" writes it.
// Needs a QGuiApplication for its text.
QImage RenderScenarioMap(const ScenarioGrid& grid, const std::string& title, int width, int height,
                         double devicePixelRatio = 1, std::optional<ScenarioCell> selected = {});

}  // namespace rendaal
