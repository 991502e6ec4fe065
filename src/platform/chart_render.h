#pragma once

#include <QImage>
#include <QPalette>
#include <string>

#include "charts/chart_request.h"
#include "charts/frame.h"
#include "charts/history.h"

// The chart as a picture: the one road from a chart request to pixels, taken by the main
// window and by "rendaal-sched --chart", so that both give the same picture.
namespace rendaal {

// Largest width and height of a chart picture; larger requests are cut down to it.
inline constexpr int kMaxChartSide = 8192;

// The desktop colours the charts use: the palette's highlight (Friday squares) and button
// colour (box of the "AEX" mark); a palette has no title-bar colour, so the guide lines take a
// fixed blue. Needs a QGuiApplication.
SystemColors PaletteSystemColors();
SystemColors PaletteSystemColors(const QPalette& palette);

// Draws the chart of request (its colours as given; fill them with PaletteSystemColors()) on
// a new image of the request's size (1 .. kMaxChartSide each way). state and outputs are
// updated as the chart passes leave them; the caller applies outputs to its labels.
QImage RenderChart(const ChartRequest& request, ChartState& state, ChartOutputs& outputs);

// Writes the image as PNG, replacing path atomically. False when it cannot be written; the
// file at path is then unchanged.
bool SaveChartPng(const QImage& image, const std::string& path);

}  // namespace rendaal
