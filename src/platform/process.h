#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Finding and ending running programs by their executable's full path, from /proc.
namespace rendaal {

// The executable path of a running process ("" when it cannot be read: gone, a zombie, another
// user's process). A " (deleted)" mark of a replaced executable is removed.
std::string ProcessExecutable(pid_t pid, const std::string& procRoot = "/proc");

// A process other than this one whose executable is path (surrounding blanks ignored; the
// comparison is exact, as Linux paths are case-sensitive).
std::optional<pid_t> FindProcessByPath(const std::string& path,
                                       const std::string& procRoot = "/proc");

struct EndResult {
    int ended = 0;     // processes that went away after SIGTERM
    int stubborn = 0;  // processes still running when the tries ran out
};

// Sends SIGTERM to every process found by FindProcessByPath and waits for each to go, up to
// tries × pollMs; between polls calls idle (e.g. to let the window's events run). A process
// that does not end is left running after the tries instead of being found again forever.
EndResult EndProcesses(const std::string& path, const std::function<void()>& idle = {},
                       int tries = 40, int pollMs = 50);

}  // namespace rendaal
