#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// Child processes and switches shared by the reliability tests.
namespace rendaal::reliability {

// RENDAAL_RELIABILITY_LONG=1 (scripts/reliability --long) runs the full loops.
bool LongRun();
// How many rounds a loop runs: the short count in the test build, the long count otherwise.
int Rounds(int shortCount, int longCount);

struct Child {
    pid_t pid = -1;
    int out = -1;  // read end of its stdout
};
// Starts program with args; its stdout is a pipe, stderr goes to /dev/null when quiet.
Child Spawn(const std::string& program, const std::vector<std::string>& args, bool quiet = false);

// Reads whole lines from the child's stdout into lines until it holds until lines, timeoutMs
// passes or the pipe ends (then false).
bool ReadLines(Child& child, std::vector<std::string>& lines, size_t until, int timeoutMs);

struct Finished {
    int status = 0;        // as waitpid gives it
    int64_t maxRssKb = 0;  // peak resident memory of the child
    std::string output;    // what was left on its stdout
};
Finished Wait(Child& child);

// Temporary folders in memory for the scope when the system has /dev/shm: the loops sync every
// file they write thousands of times, and durability on disk is not what they test.
class ShmTmp final {
public:
    ShmTmp();
    ~ShmTmp();
    ShmTmp(const ShmTmp&) = delete;
    ShmTmp& operator=(const ShmTmp&) = delete;

private:
    bool set_ = false;
    bool had_ = false;
    std::string old_;
};

// Folder of the test program's build tree ("RENDAAL_BINARY_DIR"), with "/".
std::string BinaryDir();

// Peak resident memory of this process (VmHWM), in KiB.
int64_t PeakRssKb();

}  // namespace rendaal::reliability
