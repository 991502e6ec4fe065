#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analytics/overview.h"

namespace rendaal {

// "rendaal-sched --chart ...": draws a combination's chart into a PNG file without a window,
// by the same road as the main window (RenderChart). args are the arguments after "--chart":
//
//   <history file> [--blokjes | --grafiek] [--apart] [--size WxH]
//                  [--theorie [--theorie-dagen N]] --out <file.png>
//
// The history file is a name in the data folder (DataFolderFor("Rendaal")), or a path when it
// holds a "/". The view defaults to --blokjes, the size to 658x474 (1 .. 8192 each way);
// today is the program clock's date. --theorie draws the block chart's "Theorie" line with the
// stored rate and dividend, N whole days after today (default 0; the day before expiry at the
// latest). Messages (Dutch, like the program) go to stderr.
//
// Returns 0 when the picture was written, 1 when the history file is missing or the picture
// cannot be written or drawn, 2 for wrong arguments.
//
// Needs a QGuiApplication (or QApplication) for its fonts; when no application object exists
// it creates one on the "offscreen" platform, which then lives until the program ends. With a
// plain QCoreApplication it cannot draw text and returns 1.
int RunChartCommand(const std::vector<std::string>& args);

struct ChartSize {
    int width;
    int height;
};
// "WxH", each 1 .. kMaxChartSide; empty otherwise.
std::optional<ChartSize> ParseChartSize(const std::string& text);

// The volatility chart of a history file's rows into a PNG file: 0 when written, 1 when it
// cannot be drawn or written (the message given).
int WriteIvChart(const std::string& fileName, const std::vector<IvRow>& rows,
                 const std::string& out, ChartSize size);

}  // namespace rendaal
