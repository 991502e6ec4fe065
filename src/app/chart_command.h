#pragma once

#include <string>
#include <vector>

namespace rendaal {

// "rendaal-sched --chart ...": draws a combination's chart into a PNG file without a window,
// by the same road as the main window (RenderChart). args are the arguments after "--chart":
//
//   <history file> [--blokjes | --grafiek] [--apart] [--size WxH] [--theorie] --out <file.png>
//
// The history file is a name in the data folder (DataFolderFor("Rendaal")), or a path when it
// holds a "/". The view defaults to --blokjes, the size to 658x474 (1 .. 8192 each way);
// today is the program clock's date. --theorie draws the block chart's "Theorie" line with the
// stored rate and dividend. Messages (Dutch, like the program) go to stderr.
//
// Returns 0 when the picture was written, 1 when the history file is missing or the picture
// cannot be written or drawn, 2 for wrong arguments.
//
// Needs a QGuiApplication (or QApplication) for its fonts; when no application object exists
// it creates one on the "offscreen" platform, which then lives until the program ends. With a
// plain QCoreApplication it cannot draw text and returns 1.
int RunChartCommand(const std::vector<std::string>& args);

}  // namespace rendaal
