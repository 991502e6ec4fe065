#pragma once

#include <cstdint>
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
    // A whole input that is no history (binary, another format), kept byte for byte; or the
    // lines that did not go into the merged text (damaged lines the backup's row replaced, lines
    // without a real date).
    enum class Kind { File, Backup, Lines };
    Kind kind = Kind::Lines;
    std::string text;
};

// What a history file and its backup hold together. Every real date of either is kept; for a
// date both hold, the file's row wins (a hand correction stays) and the backup's row is taken
// only where the file's line is damaged or cut. One line per date, sorted by date.
struct HistoryMerge {
    std::string text;                 // the header, then one line per date, CR LF ended
    std::vector<HistoryAside> aside;  // to keep beside the history, each in a file of its own
    bool fileUnreadable = false;
    bool backupUnreadable = false;
    int datesFromBackup = 0;  // dates the file lacked
    int rowsFromBackup = 0;   // dates whose line in the file was damaged or cut
    int linesAside = 0;
};
HistoryMerge MergeHistoryTexts(std::string_view file, std::string_view backup);

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

// Beside the history: "<name>.bak.onleesbaar", then ".2", ".3" and on.
inline constexpr std::string_view kUnreadableSuffix = ".onleesbaar";

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
                                   std::vector<int64_t>* newDays = nullptr);

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
