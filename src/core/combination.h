#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The combination line ("AEX 1306 00350.00 00360.00; Put: jun 2013 350.00; ...") and the
// rules file that keeps the list of them.
namespace rendaal {

enum class Kind { Single, Straddle, Strangle };

// "Single" when either side holds "Geen", "Straddle" when both sides are the same text.
Kind KindOf(std::string_view putField, std::string_view callField);
const char* KindName(Kind kind);

// Text before the first ";" (empty for a line without one).
std::string CombinationKey(std::string_view line);

struct KeyWords {
    std::string series;  // "AEX", "AX1", ...
    std::string expiry;  // YYMM
    std::string put;     // "00" + exercise price text, or "00Geen"
    std::string call;    // the whole rest after the third space
};
KeyWords SplitKey(std::string_view key);
// A key's strike field: "00350.00", "00Geen"; a four-digit price takes one zero ("01000.00"), so
// that the fields keep their width and the sorted list stays in strike order. Readers take any
// number of leading zeros.
std::string StrikeField(std::string_view price);

// A strike field as every reader takes it: spaces around ignored, "Geen" anywhere is no strike,
// else digits with at most one "." or "," and a value above 0; anything else does not read.
struct StrikeReading {
    enum class State { None, Value, Unreadable };
    State state = State::Unreadable;
    double value = 0;
    bool unreadable() const { return state == State::Unreadable; }
    std::optional<double> strike() const {
        return state == State::Value ? std::optional<double>(value) : std::nullopt;
    }
};
StrikeReading ReadStrike(std::string_view field);

// The kind and strikes of a combination: one reading for the download, the charts and the
// overview. The kind follows the strikes' values ("00920,00" and "00920.00" are one strike; a
// strike that does not read makes a Strangle);
// only the history file name keeps the kind its text comparison gives, so old files are found.
struct CombinationTerms {
    Kind kind = Kind::Strangle;
    StrikeReading put;
    StrikeReading call;
};
// The key's words of a rules line with "_" read as a blank, as it is in the history file name.
KeyWords TermWords(std::string_view line);
// From a rules line or its key.
CombinationTerms ReadTerms(std::string_view line);
// From a history file name as HistoryFileName makes it.
CombinationTerms ReadTermsOfFileName(std::string_view name);

// Kind prefix + key words joined by "_" + ".csv"; e.g. Strangle_AEX_1306_00350.00_00360.00.csv
std::string HistoryFileName(std::string_view line);
// A name the program may open in its data folder: no folder parts, no control byte (NUL, tab,
// line end, ...), not "." or "..".
bool IsPlainFileName(std::string_view name);

// Every line of a rules file in file order: CR LF, LF or CR ends, a UTF-8 byte order mark (an
// editor's save) at the start of a line read past.
std::vector<std::string> RulesFileLines(std::string_view text);
// The combinations of a rules file, sorted: empty lines and lines starting with ";" skipped.
std::vector<std::string> ParseRules(std::string_view text);
// Empty when the file cannot be read.
std::optional<std::vector<std::string>> LoadRules(const std::string& path);
// Replaces the file atomically with the lines, each ended by CR LF. An empty list writes an
// empty file, so a deleted last combination does not come back at the next start.
bool SaveRules(const std::string& path, const std::vector<std::string>& lines);

// The list box order: ascending, letter case ignored.
bool RulesLess(std::string_view a, std::string_view b);
// Index at which a line is sorted in (after equal lines), as a sorted list box inserts.
size_t SortedInsertPosition(const std::vector<std::string>& sorted, std::string_view line);

}  // namespace rendaal
