#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/calendar.h"

// History files: one per combination, a header and one line per trading day with the put and
// call price, their sum and the index level.
namespace rendaal {

inline constexpr std::string_view kHistoryHeader = "Datum; Put; Call; Som; AEX";

// The trading day a download belongs to: weekends date back to Friday, a download before
// nine on Tuesday to Saturday is the previous day's 17:35 close.
DateTime TradingStamp(const DateTime& now);
// "dd-MM-yyyy H:mm:ss", or the date alone at 00:00:00.
std::string FormatHistoryStamp(const DateTime& stamp);
// Price and sum texts shorter than five characters get one "0" in front ("5,20" -> "05,20").
std::string WithLeadingZero(std::string text);
std::string SomText(double som);
// stamp + fields ("; put; call") + "; " + som + "; " + index text, without its line end.
std::string HistoryLine(const DateTime& now, std::string_view fields, std::string_view indexText,
                        double som);

// Everything from the name's last "." replaced by ".bak".
std::string BackupFileName(std::string_view fileName);

struct HistoryAside {
    // A whole input that is no history (binary, another format), kept byte for byte: the file,
    // its backup or a further copy; or the lines that did not go into the merged text.
    enum class Kind { File, Backup, Copy, Lines };
    Kind kind = Kind::Lines;
    std::string text;
    size_t source = 0;     // of a whole input: its place in the list of sources
    uint32_t sources = 0;  // of lines: bit i for a line from source i (the last bit for more)
};

// A line kept aside, and why it is not in the merged text.
struct HistoryAsideLine {
    enum class Why {
        Unreadable,  // no real date, fields that do not read, cut off
        Duplicate,   // the file held another row of its date; its last one is used
        Future,      // dated after the run's trading day
    };
    Why why = Why::Unreadable;
    std::string text;
    std::optional<Date> date;
};

struct HistoryMergeOptions {
    // The run's trading day: a line dated after it is a typing error, never the latest row.
    std::optional<Date> lastDay;
};

// What a history file, its backup and further copies (a sync tool's conflict copies) hold
// together. Every real date of any is kept; for a date several hold, the first source's row wins
// (the file's: a hand correction stays) and a later source's row is taken only where the ones
// before lack the date or hold it damaged or cut. Of several rows of one date in the file the
// last is used, as a later download of the day replaces an earlier one; the others are set
// aside. One line per date, sorted by date.
struct HistoryMerge {
    std::string text;                 // the header, then one line per date, CR LF ended
    std::vector<HistoryAside> aside;  // to keep beside the history, each in a file of its own
    std::vector<HistoryAsideLine> asideLines;  // the lines of the Lines entry, each once
    bool fileUnreadable = false;
    bool backupUnreadable = false;
    bool fileFromSpreadsheet = false;  // read from a spreadsheet's save; the merge is our form
    int datesFromBackup = 0;           // dates the file lacked, from the backup or a copy
    int rowsFromBackup = 0;            // dates whose line in the file was damaged or cut
    int linesAside = 0;
};
// sources[0] is the file, sources[1] its backup, then any copies.
HistoryMerge MergeHistorySources(const std::vector<std::string_view>& sources,
                                 const HistoryMergeOptions& options = {});
HistoryMerge MergeHistoryTexts(std::string_view file, std::string_view backup,
                               const HistoryMergeOptions& options = {});

// The text alone: one line per date, sorted; what has no real date is left out.
std::string CompactHistoryText(std::string_view text);

// The day numbers of a text's real dates (rows and damaged dated lines), sorted, each once;
// none for a text that is no history.
std::vector<int64_t> HistoryDays(std::string_view text);
bool HoldsEveryDate(std::string_view text, std::string_view of);

struct HistoryWriteResult {
    bool ok = true;
    std::string error;  // a message for the user when !ok, with the reason
    // Said once: dates put back from the backup, what was set aside and where, a backup that
    // cannot be kept.
    std::string note;
};

// Beside the history: "<name>.bak.onleesbaar", then ".2", ".3" and on up to kMaxSideFiles. A text
// already in one of them is not written again; with every name taken, new text is appended to
// the last of them.
inline constexpr std::string_view kUnreadableSuffix = ".onleesbaar";
inline constexpr int kMaxSideFiles = 999;

// Merges the file with its backup, appends the stamped line and rewrites the file with one line
// per date; the backup gets the appended text. Files are replaced whole, so none holds a torn
// line; what cannot be read is written to a side file first, and when that fails nothing is
// changed. A backup is only replaced by a text holding every date it holds.
HistoryWriteResult AppendHistoryLine(const std::string& folder, const std::string& fileName,
                                     std::string_view fields, std::string_view indexText,
                                     double som, const DateTime& now);

// Adds whole lines (a rebuild's) for dates that neither the file nor its backup holds, merging
// both as an append does; an existing line is never replaced. newDays gets the days the file
// holds now and did not before (from the backup or the lines). Nothing is written when nothing
// is new.
HistoryWriteResult AddHistoryLines(const std::string& folder, const std::string& fileName,
                                   const std::vector<std::string>& lines,
                                   std::vector<int64_t>* newDays = nullptr,
                                   const HistoryMergeOptions& options = {});

// Merges one more copy of the history (a sync tool's conflict copy) into the file and its
// backup by the same rule: its dates the others lack come in, its row is taken only where theirs
// is damaged, what does not go in is kept aside. newDays gets the days the file holds now and did
// not before. Nothing is written when nothing changes.
HistoryWriteResult MergeHistoryCopy(const std::string& folder, const std::string& fileName,
                                    std::string_view copy, std::vector<int64_t>* newDays = nullptr,
                                    const HistoryMergeOptions& options = {});

// Room for ".tmp<pid>" of an atomic replacement within the file system's 255-byte names.
inline constexpr size_t kMaxHistoryNameBytes = 240;
// A name the run may write in its data folder.
bool IsUsableHistoryName(std::string_view name);

// Merges the file with its backup as an append does, copies the file to its backup when it
// holds every date of the backup, and rewrites it merged. A missing file is no error; a failed
// rewrite leaves the file as it was. Returns false when the file could not be compacted.
bool CompactHistoryFile(const std::string& folder, const std::string& fileName,
                        bool daylightSaving = false, double daylightOffset = 0);

}  // namespace rendaal

namespace rendaal {

// The index level of the last line of the first listed combination's history file that has
// one; 0 when none. Stands in for the level a drawn chart leaves behind when no window exists.
double LastHistoryIndexValueIn(const std::string& folder, const std::vector<std::string>& lines);

}  // namespace rendaal
