#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/calendar.h"

// The one reader of history text. Files come back from editors, spreadsheets, sync tools and
// full disks: a BOM (UTF-8, UTF-16), any line ends, blank lines, a header in another case or
// spacing, tabs for blanks, a trailing ";", a NUL, a cut last line. Everything that reads is
// read; what does not is marked, never guessed at.
namespace rendaal {

// d-m-yyyy or dd-mm-yyyy with a four-digit year, a day that exists. "02-12-26" is
// no date: read as the year 26 it became a history's first row.
std::optional<Date> ParseHistoryDate(std::string_view text);

// "Datum; Put; Call; Som; AEX" in any case and spacing, a trailing ";" allowed.
bool IsHistoryHeader(std::string_view line);

struct HistoryTextLine {
    std::string_view text;  // the line as read, without its end
    // The real date the line starts with; empty for a line that has none (garbage, 31-02-2026).
    std::optional<Date> date;
    // Field texts without their blanks; empty when the line has no such field.
    std::string_view dateTime;
    std::string_view put;
    std::string_view call;
    std::string_view som;
    std::string_view aex;
    std::optional<double> putValue;
    std::optional<double> callValue;
    std::optional<double> somValue;
    std::optional<double> aexValue;  // empty also when the index column is empty
    // Dated, but its fields do not read (cut short, a price that is no number, a bad time).
    bool damaged = false;
    bool ended = true;  // false for a last line without its line end: it may have been cut

    bool IsRow() const { return date.has_value() && !damaged; }
};

struct HistoryText {
    // False for text that is no history at all (binary, another format): no header and no row.
    // Empty text is a history without lines.
    bool readable = true;
    bool header = false;
    // Lines saved by a spreadsheet (quoted, "," or tab separated, yyyy-mm-dd or dd/mm/yyyy dates)
    // were read in the program's form: decoded holds them so.
    bool spreadsheet = false;
    // Non-blank lines in file order, header lines left out. Their views point into decoded.
    std::vector<HistoryTextLine> lines;
    // The text the lines were cut from: the bytes without BOM, UTF-16 turned into UTF-8. Shared,
    // so that copies and moves keep every view valid.
    std::shared_ptr<const std::string> decoded;

    size_t RowCount() const;
};

HistoryText ReadHistoryText(std::string_view bytes);
// The same without a copy of the bytes.
HistoryText ReadHistoryText(std::string&& bytes);

// For callers that look at a few lines of thousands by their dates: the lines of ReadHistoryText
// with their dates only, in a fraction of its memory and time.
struct HistoryDatedLine {
    std::string_view text;
    std::optional<Date> date;
    bool ended = true;
};
struct HistoryDates {
    bool readable = true;
    bool header = false;
    std::vector<HistoryDatedLine> lines;
    // UTF-16 text turned into UTF-8; otherwise the lines point into the bytes read.
    std::shared_ptr<const std::string> decoded;
};
// Reads into `into`, whose memory is reused: for many files one after another.
void ReadHistoryDates(std::string_view bytes, HistoryDates& into);
// The line as ReadHistoryText reads it.
HistoryTextLine ReadHistoryFields(const HistoryDatedLine& line);

}  // namespace rendaal
