#pragma once

#include <QImage>

#include <functional>
#include <string>

#include "charts/chart_request.h"
#include "charts/chart_state.h"
#include "charts/frame.h"

// The chart as a picture: the one road from a chart request to pixels, taken by the main
// window and by "rendaal-sched --chart", so that both give the same picture.
namespace rendaal {

// Largest width and height of a chart picture; larger requests are cut down to it.
inline constexpr int kMaxChartSide = 8192;

// Draws the chart of request on a new image of the request's size (1 .. kMaxChartSide each
// way) times devicePixelRatio (1 .. 4, less where the picture would grow beyond kMaxChartSide),
// marked with that ratio, so that it is sharp on a high-density screen. The chart has its own
// colours whatever the desktop theme. state and outputs are updated as the chart passes leave
// them; the caller applies outputs to its labels.
QImage RenderChart(const ChartRequest& request, ChartState& state, ChartOutputs& outputs,
                   double devicePixelRatio = 1);

// The picture every drawing of the program lands on: white, width × height cut down as above,
// times devicePixelRatio as above, marked with that ratio. draw gets the size after the cut.
QImage RenderOnCanvas(int width, int height, double devicePixelRatio,
                      const std::function<void(Canvas& canvas, int width, int height)>& draw);

// Writes the image as PNG, replacing path atomically, where the user may open path for writing.
// False (error says why) when it cannot be written; the file at path is then unchanged.
bool SaveChartPng(const QImage& image, const std::string& path, std::string* error = nullptr);

}  // namespace rendaal
