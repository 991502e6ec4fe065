#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/calendar.h"

// Which files of the data folder the start-up clean-up removes. The choice is pure; moving the
// files (to the desktop trash) is the window's.
namespace rendaal {

inline constexpr std::string_view kRulesFileName = "Regels.dat";

struct DataFile {
    std::string name;
    double ageDays = 0;  // now − last modification, in days with fractions
};

// A name the program itself makes in its data folder: the rules file, a history file or the
// backup of one.
bool IsOwnDataFileName(std::string_view name);

// A side file of a history (what a merge could not read) or a sync tool's conflict copy: they hold
// what is found nowhere else until the user or a merge has dealt with them, however old.
bool IsKeptUntilDealtWith(std::string_view name);

// The combinations the clean-up must keep, as the rules file holds them now. refusal says why
// the clean-up must not run at all: the file is missing or cannot be read, holds no valid
// combination, or holds a line that is none (naming it), so that histories of lines lost from
// it would look unused.
struct CleanUpRules {
    std::vector<std::string> combinations;
    std::string refusal;
};
CleanUpRules ReadCleanUpRules(const std::string& rulesPath);

// The files that the clean-up removes: older than dayLimit days (an age exactly equal stays),
// never the rules file, the history file or backup of a listed combination, the settings file,
// a lock file, a side file or a conflict copy. A temporary file "<name>.tmp<pid>" only when name is
// one of the program's own and its writer has ended (processEnded), never a stranger's.
std::vector<std::string> FilesToCleanUp(
    const std::vector<DataFile>& files, double dayLimit,
    const std::vector<std::string>& combinations,
    const std::function<bool(long pid)>& processEnded = nullptr);

// The regular files of the folder with their ages at now (local time), by name.
std::vector<DataFile> ListDataFiles(const std::string& folder, const DateTime& now);

struct CleanUpOutcome {
    std::string refusal;               // why nothing was removed; empty when the clean-up ran
    std::vector<std::string> trashed;  // moved to the trash
    std::vector<std::string> kept;     // chosen, but the trash did not take them
};

// The clean-up itself: reads the rules file of folder afresh and, when it holds valid
// combinations, hands every file FilesToCleanUp chooses to moveToTrash (its full path; false
// keeps it). listed (the window's list) is kept as well. Never deletes.
CleanUpOutcome CleanUpOldFiles(const std::string& folder, const std::vector<DataFile>& files,
                               double dayLimit, const std::vector<std::string>& listed,
                               const std::function<bool(const std::string& path)>& moveToTrash);

}  // namespace rendaal
