#pragma once

#include <optional>
#include <string>

// What the companion's commands share: how they complain, and how they find and read the
// history file named on the command line.
namespace rendaal {

// "rendaal-sched: <text>" on stderr.
void Complain(const std::string& text);

// Only a regular file is opened: a FIFO in a file's place would block the open.
bool IsRegularFile(const std::string& path);

struct NamedHistory {
    std::string folder;  // with its trailing "/"; the data folder for a bare name
    std::string name;
};

// Splits the argument into folder and name; empty when the name is no plain file name.
std::optional<NamedHistory> SplitHistoryArgument(const std::string& argument);

struct HistoryArgumentText {
    std::optional<std::string> text;  // empty when it could not be used; said on stderr
    int exitCode = 0;                 // then 1 (not readable) or 2 (no history of a combination)
};

// Reads a regular file only (a FIFO would block) and checks that it is a combination's history.
HistoryArgumentText ReadHistoryArgument(const NamedHistory& history);

}  // namespace rendaal
