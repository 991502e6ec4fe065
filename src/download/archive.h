#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/calendar.h"
#include "download/download_state.h"

// The page archive: every page a run fetched, as it came, gzip-compressed, one folder per
// trading day, so that a day lost to a site change or a lost history file can be rebuilt.
namespace rendaal {

inline constexpr std::string_view kArchiveFolderName = "Archief";
// One per day folder: which pages each pass of that day left, and what they wrote.
inline constexpr std::string_view kArchiveIndexName = "inhoud.txt";

// gzip (readable with zcat). Empty on a zlib failure.
std::string GzipCompress(std::string_view data);
// Empty when the data is no whole gzip stream or inflates beyond maxBytes.
std::optional<std::string> GzipDecompress(std::string_view data, size_t maxBytes);

// url and bytes as fetched, tags and all.
using ArchivedPage = FetchedPage;

// One pass of a run: the pages it read and what came of them.
struct ArchiveEntry {
    DateTime time;  // the pass's clock time; its lines were stamped from it
    std::optional<ArchivedPage> index;
    std::optional<ArchivedPage> option;
    bool unreadable = false;           // the index page or some price could not be read
    bool recovered = false;            // found by its page files: what it wrote is not known
    std::vector<std::string> written;  // history files that got their line from this pass
    // Set when read back: the files inside the day folder ("" when that page is absent) and
    // that folder.
    std::string indexFile;
    std::string optionFile;
    std::string folder;
};

// "<data folder>Archief/yyyy-mm-dd/", by the trading day of a pass's time.
std::string ArchiveDayFolder(const std::string& dataFolder, const Date& tradingDay);
// The trading day of a folder name "yyyy-mm-dd"; empty for any other name.
std::optional<Date> ArchiveFolderDate(std::string_view name);

// Adds the pass to its day folder and drops the pages of that day that no longer matter: kept
// are, per history file, the last pass that wrote its line, the last unreadable pass and the
// last pass of all. Returns an empty text, or a note for the user: the archive could not be
// written (the download itself is not affected).
std::string ArchivePass(const std::string& dataFolder, const ArchiveEntry& entry);

// What one day folder's index lists, pages not loaded. Lines that cannot be read are skipped,
// and so are passes of another trading day than the folder's; page files the index does not
// list (it is missing, damaged, a symlink) come as passes of their own, by their names' times.
std::vector<ArchiveEntry> ReadArchiveDay(const std::string& dayFolder, const Date& day);

// Every archived trading day with its passes, oldest day first, passes by time. A pass counts
// for the day of its own time, whichever day folder holds it (folders copied or renamed by hand).
struct ArchiveDays {
    std::map<int64_t, std::vector<ArchiveEntry>> days;  // by day number
    std::string problem;  // "Archief" is not a folder of ours; empty when readable or absent
    // Days whose folder's index could not be read whole; their passes come from the page names.
    std::map<int64_t, std::string> indexProblems;
    // Every day the archive ever got a folder for, whether or not the folder is still there.
    std::set<int64_t> listedDays;
};
ArchiveDays ReadArchive(const std::string& dataFolder);

// Loads an entry's pages from its day folder (dayFolder, or entry.folder when empty); false (with
// why) when a listed page file is missing or damaged.
bool LoadArchivedPages(const std::string& dayFolder, ArchiveEntry& entry, std::string& why,
                       size_t maxPageBytes);

// Takes the day folders ("Archief/yyyy-mm-dd") off the list of days the archive had, so that a
// rebuild does not name them as lost.
void ForgetArchiveDays(const std::string& dataFolder, const std::vector<std::string>& folders);

// Day folders ("Archief/yyyy-mm-dd", relative to the data folder) older than every history
// of the listed combinations and older than dayLimit days at now. None at all while some
// combination has no readable history or backup: a lost file may still have to be rebuilt.
std::vector<std::string> ArchiveFoldersToCleanUp(const std::string& dataFolder,
                                                 const std::vector<std::string>& combinations,
                                                 double dayLimit, const DateTime& now);

}  // namespace rendaal
