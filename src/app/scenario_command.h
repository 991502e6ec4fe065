#pragma once

#include <string>
#include <vector>

namespace rendaal {

// "rendaal-sched --scenario <history file> [--csv] [--iv-shift N] [--out <file.png>
// [--size WxH]]": what the combination makes across index levels and dates, with the
// volatilities of its last row shifted by N points (-5, 0 or +5). Without --csv or --out a
// table per date for people; --csv the whole grid ("date,level,result_eur"); --out the heat
// map as a PNG (default 1000x640). The history file is a name in the data folder or a path
// with a "/"; the rate and dividend are the stored settings; today is the program clock's.
//
// Returns 0 when written, 1 when the file cannot be read, gives no grid or the picture cannot
// be written, 2 for wrong arguments.
int RunScenarioCommand(const std::vector<std::string>& args);

}  // namespace rendaal
