#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "download/fetch.h"

// Days a history file lacks, brought back from its backup and from the page archive with
// today's page reader, each line as the run of that day wrote it.
namespace rendaal {

struct RebuiltFile {
    std::string fileName;
    std::vector<std::string> dates;  // dd-mm-yyyy of the days that came back, oldest first
    std::string error;               // the file could not be read or written
    // Archived days it still lacks: no archived page of that day lists it, or none is readable.
    int stillMissing = 0;
};

struct RebuildResult {
    std::vector<RebuiltFile> files;  // every combination looked at, in the order given
    // What the history merge says (dates put back from a backup, lines set aside).
    std::vector<std::string> notes;
    // Archived pages that could not be read: days that may have been lost.
    std::vector<std::string> problems;
    // "dd-mm-yyyy niet hersteld voor <files>: <why>", one per day and reason: days a history
    // lacks that the archive had but cannot give back.
    std::vector<std::string> lostDays;
    // Nothing could be done at all (the archive is not a folder of ours, a download holds the
    // data folder, the rules file cannot be read, a name matches no combination).
    std::string error;
    bool busy = false;  // a download holds the data folder: try again later
    int DaysAdded() const;
    bool AnyError() const;
};

// For every archived trading day and every combination line (comment lines skipped), a date
// its history file lacks is added; existing lines are never changed. The caller holds the data
// folder's run lock.
// What the pages of one archived day may unpack to together, each page once: bounds the
// rebuild's memory whatever an index lists. A day beyond it is named, not rebuilt.
inline constexpr size_t kMaxDayUnpackBytes = size_t{64} << 20;

RebuildResult RebuildFromArchive(const std::string& dataFolder,
                                 const std::vector<std::string>& combinationLines,
                                 size_t maxPageBytes = kMaxPageBytes,
                                 size_t maxDayBytes = kMaxDayUnpackBytes);

// The rebuild as the user starts it: under the data folder's run lock, for the combinations
// of the rules file, or those of them that names picks (a history file name, with or without
// ".csv", or a combination key).
RebuildResult RebuildLocked(const std::string& dataFolder, const std::vector<std::string>& names,
                            size_t maxPageBytes = kMaxPageBytes);

// What the window's box says: how many days came back, per file from which dates, and what
// went wrong.
std::string RebuildSummary(const RebuildResult& result);

// "Single_X.csv: 2 dagen terug: 01-12-2026, 02-12-2026", or that none was missing.
std::string RebuildReport(const RebuiltFile& file);

}  // namespace rendaal
