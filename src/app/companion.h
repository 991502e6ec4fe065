#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

// rendaal-sched's command line: the first argument picks a command, no argument is one download
// run. A new command is one row in CompanionCommands().
namespace rendaal {

inline constexpr int kExitWritten = 0;  // at least one line written and no error
inline constexpr int kExitNothing = 1;  // nothing to write: no prices, market closed, no rules
inline constexpr int kExitError = 2;    // any error, wrong arguments included

struct CompanionCommand {
    std::string_view option;  // "--chart"; empty for the run without arguments
    std::string_view usage;   // its synopsis after "rendaal-sched ", for the usage text
    bool needsGui;            // draws text: runs under a QGuiApplication, offscreen if need be
    int (*run)(const std::vector<std::string>& args);  // args: those after the option
};
std::span<const CompanionCommand> CompanionCommands();

// The whole program: picks the command, creates the application object it needs, runs it.
int RunCompanion(int argc, char** argv);

// One download run with the data folder's lock, as the window's Download button. The status
// line goes to stdout; the reason a run fell short, every note and every error to stderr.
int RunScheduledDownload(const std::vector<std::string>& args);

// One test message on the push and e-mail channels set up; what went out to stdout, why one
// failed to stderr. 0: all sent, 2: a channel failed or none is set up.
int RunTestAlertCommand(const std::vector<std::string>& args);

// Adds the days the history files lack from their backups and the page archive; per file the
// days that came back go to stdout. 0: days came back, 1: none was missing, 2: an error.
int RunRebuildCommand(const std::vector<std::string>& names);

}  // namespace rendaal
