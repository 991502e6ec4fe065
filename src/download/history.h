#pragma once

#include <set>
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

// The kept lines of a history file's text (without header): consecutive lines of one date keep
// only the last. A first line that is not the header, lines without a date and garbage lines
// are kept as they are; empty lines are dropped.
std::vector<std::string> CompactHistoryLines(std::string_view text);
std::string CompactHistoryText(std::string_view text);

struct HistoryWriteResult {
    bool ok = true;
    std::string error;  // a message for the user when !ok
    std::string note;   // said once when the file was rebuilt from its backup
};

// Appends the stamped line to folder + fileName (created with its header when missing), then
// compacts the file. The file is replaced whole at every step, so it never holds a torn line;
// when it cannot be written it keeps its previous content and the result says why. A file that
// is missing, empty, damaged or holds fewer dates than a readable backup is rebuilt from the
// backup first (with the note saying so); the backup is only replaced by a text holding every
// date it holds.
HistoryWriteResult AppendHistoryLine(const std::string& folder, const std::string& fileName,
                                     std::string_view fields, std::string_view indexText,
                                     double som, const DateTime& now);

// The header, then only dated lines of at least five fields, no NUL byte: a file as this
// program writes it.
bool LooksLikeHistoryText(std::string_view text);

// The dates (dd-mm-yyyy) of a text's dated lines.
std::set<std::string> HistoryDates(std::string_view text);
bool HoldsEveryDate(std::string_view text, std::string_view of);
// The backup's dated lines, then those of a damaged file whose dates the backup lacks, under
// the header.
std::string RebuildHistoryText(std::string_view backup, std::string_view damaged);

// Room for ".tmp<pid>" of an atomic replacement within the file system's 255-byte names.
inline constexpr size_t kMaxHistoryNameBytes = 240;
// A name the run may write in its data folder.
bool IsUsableHistoryName(std::string_view name);

// Copies the file to its backup (unless the file is damaged and the backup is not), then
// rewrites it compacted. A missing file is no error; a failed rewrite leaves the file as it was.
// Returns false when the file could not be compacted.
bool CompactHistoryFile(const std::string& folder, const std::string& fileName,
                        bool daylightSaving = false, double daylightOffset = 0);

}  // namespace rendaal

namespace rendaal {

// The index level of the last line of the first listed combination's history file that has
// one; 0 when none. Stands in for the level a drawn chart leaves behind when no window exists.
double LastHistoryIndexValueIn(const std::string& folder, const std::vector<std::string>& lines);

}  // namespace rendaal
