#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/calendar.h"

// Conflict copies a sync tool left in the data folder, dealt with at every run: a copy of a
// history or its backup is merged into the history by the backup's rule (every real date comes
// in, the history's own row wins); one of the alert state is dropped; one of the rules file is
// only found, for the user to decide on.
namespace rendaal {

struct ConflictMergeResult {
    std::vector<std::string> notes;        // one per copy dealt with or left, naming it
    std::vector<std::string> rulesCopies;  // names of conflict copies of the rules file
};

// How a conflict copy of the rules file differs from the rules file, line by line (blank lines
// left out). error names a file that could not be read.
struct RulesConflict {
    std::string copyName;
    std::vector<std::string> onlyInCopy;
    std::vector<std::string> onlyInRules;
    std::string error;
};
RulesConflict CompareRulesCopy(const std::string& dataFolder, const std::string& copyName);
// What the companion and the window say about it, once.
std::string RulesConflictNote(const std::string& dataFolder, const RulesConflict& conflict);

// The window's question: which lines differ, and what each answer does; lines end in CR.
std::string RulesConflictQuestion(const std::string& dataFolder, const RulesConflict& conflict);

// The regular files of folder that are a sync tool's conflict copy of original, by name.
std::vector<std::string> ConflictCopiesOf(const std::string& folder, std::string_view original);
// The settings are the user's: a copy of them is kept, and named.
std::string SettingsCopyNote(const std::string& copyPath, const std::string& settingsPath);

// Moves the file at path to the trash; false, with why, when it stays.
using TrashMove = std::function<bool(const std::string& path, std::string* why)>;

// The caller holds the data folder's run lock. moveToTrash defaults to the home trash.
ConflictMergeResult MergeConflictCopies(const std::string& dataFolder, const DateTime& now,
                                        const TrashMove& moveToTrash = nullptr);

}  // namespace rendaal
