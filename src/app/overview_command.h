#pragma once

#include <string>
#include <vector>

namespace rendaal {

// "rendaal-sched --overview [--csv] [--rente X] [--dividend Y]": one row per combination of
// the rules file, in list order.
// "rendaal-sched --iv <history file> [--csv] [--rente X] [--dividend Y]": the volatilities of
// every dated line of one history file (a name in the data folder, or a path with a "/").
//
// args are the arguments after the command word. The rate and dividend are percent per year
// ("," or "." decimals) and override the settings "Rente" and "Dividend" for this run; a stored
// text that is not a number takes its default and is reported once on stderr. Today is the
// program clock's.
//
// Returns 0 when the table was written, 1 when the rules or history file cannot be read, 2 for
// wrong arguments.
int RunOverviewCommand(const std::vector<std::string>& args);
int RunIvCommand(const std::vector<std::string>& args);
// "rendaal-sched --alerts [--csv]": the alerts that hold now, with their value and limit. It
// notifies nothing and leaves Signalen.dat as it is; 0 also when none holds.
int RunAlertsCommand(const std::vector<std::string>& args);

}  // namespace rendaal
