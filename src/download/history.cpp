#include "download/history.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <optional>
#include <unordered_set>

#include "core/combination.h"
#include "core/fileio.h"
#include "core/history_text.h"
#include "core/market_hours.h"
#include "core/text.h"
#include "download/file_copy.h"

namespace rendaal {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

DateTime PreviousDay(const DateTime& t) {
    return AddDays(t, -1);
}

// A file or folder without any write bit is read-only to this program, also when it runs with
// rights that would let it replace the file anyway.
bool ReadOnly(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && (st.st_mode & 0222) == 0;
}

}  // namespace

DateTime TradingStamp(const DateTime& now) {
    DateTime stamp = now;
    const int wd = Weekday(stamp.date());
    if (wd >= 3 && wd <= 7 && IsBeforeOpening(stamp)) {
        stamp = ClosingTime(PreviousDay(stamp).date());
    }
    if (Weekday(stamp.date()) == 7) {
        stamp = AddDays(stamp, -1);
    }
    if (Weekday(stamp.date()) == 1) {
        stamp = AddDays(stamp, -2);
    }
    return stamp;
}

std::string FormatHistoryStamp(const DateTime& stamp) {
    std::string text = FormatDmy(stamp.date());
    if (stamp.hour != 0 || stamp.minute != 0 || stamp.second != 0) {
        text += ' ';
        text += FormatTimeShort(stamp);
    }
    return text;
}

std::string WithLeadingZero(std::string text) {
    if (text.size() < 5) {
        text.insert(text.begin(), '0');
    }
    return text;
}

std::string SomText(double som) {
    // Whole, never cut to a width: the sum of two prices that passed their checks is small, but
    // a cut text would be a wrong number in the file.
    if (!std::isfinite(som)) {
        som = 0;
    }
    char buf[400];
    const int n = std::snprintf(buf, sizeof buf, "%4.2f", som);
    std::string text(buf,
                     n > 0 && static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : 0);
    if (const auto p = text.find('.'); p != std::string::npos) {
        text[p] = kDecimalSeparator;
    }
    return WithLeadingZero(text);
}

std::string HistoryLine(const DateTime& now, std::string_view fields, std::string_view indexText,
                        double som) {
    std::string line = FormatHistoryStamp(TradingStamp(now));
    line += fields;
    line += "; ";
    line += SomText(som);
    line += "; ";
    // Whatever the index page held, only a level is written; otherwise the column stays empty.
    if (ParseIndexLevel(indexText)) {
        line += indexText;
    }
    // A line break or other control byte from a page would split or garble the line.
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            c = ' ';
        }
    }
    return line;
}

bool IsUsableHistoryName(std::string_view name) {
    return IsPlainFileName(name) && name.size() <= kMaxHistoryNameBytes;
}

std::string BackupFileName(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    return std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot)) + ".bak";
}

namespace {

struct DatedLine {
    int64_t day = 0;
    bool fromBackup = false;
    const HistoryTextLine* line = nullptr;
};

// The lines of one date, the file's first, each side in its own order.
struct DayChoice {
    const HistoryTextLine* fileRow = nullptr;  // the last of each kind wins: the latest download
    const HistoryTextLine* fileDamaged = nullptr;
    const HistoryTextLine* backupRow = nullptr;
    const HistoryTextLine* backupDamaged = nullptr;
};

// A last line without its end that the backup holds whole was cut off, not corrected by hand.
bool CutOffVersionOf(const HistoryTextLine& cut, const HistoryTextLine& whole) {
    return !cut.ended && whole.text.size() > cut.text.size() &&
           whole.text.substr(0, cut.text.size()) == cut.text;
}

const HistoryTextLine* Choose(const DayChoice& c, HistoryMerge& m) {
    if (c.fileRow && !(c.backupRow && CutOffVersionOf(*c.fileRow, *c.backupRow))) {
        return c.fileRow;
    }
    if (c.backupRow) {
        ++(c.fileRow || c.fileDamaged ? m.rowsFromBackup : m.datesFromBackup);
        return c.backupRow;
    }
    // No row anywhere: the damaged line still holds the date, so it stays.
    if (c.fileDamaged) {
        return c.fileDamaged;
    }
    ++m.datesFromBackup;
    return c.backupDamaged;
}

// The dated lines of a text that reads as history go to dated, the others to setAside; a text
// that does not read is kept aside whole.
void Collect(const HistoryText& text, std::string_view bytes, bool fromBackup, HistoryMerge& m,
             std::vector<DatedLine>& dated, std::vector<std::string_view>& setAside) {
    if (!text.readable) {
        (fromBackup ? m.backupUnreadable : m.fileUnreadable) = true;
        m.aside.push_back({fromBackup ? HistoryAside::Kind::Backup : HistoryAside::Kind::File,
                           std::string(bytes)});
        return;
    }
    for (const auto& line : text.lines) {
        if (line.date) {
            dated.push_back({DayNumber(*line.date), fromBackup, &line});
        } else {
            setAside.push_back(line.text);
        }
    }
}

// Writes the line chosen for the date of dated[begin, end) and sets aside what else must not go.
void MergeDay(const DatedLine* begin, const DatedLine* end, HistoryMerge& m,
              std::vector<std::string_view>& setAside) {
    DayChoice c;
    for (const DatedLine* d = begin; d != end; ++d) {
        const bool row = d->line->IsRow();
        if (d->fromBackup) {
            (row ? c.backupRow : c.backupDamaged) = d->line;
        } else {
            (row ? c.fileRow : c.fileDamaged) = d->line;
        }
    }
    const HistoryTextLine* chosen = Choose(c, m);
    m.text += chosen->text;
    m.text += kLineEnd;
    // An older row of the date is an earlier download; anything else not taken is kept.
    for (const DatedLine* d = begin; d != end; ++d) {
        const HistoryTextLine* line = d->line;
        if (line != chosen && line->text != chosen->text && (!line->IsRow() || line == c.fileRow)) {
            setAside.push_back(line->text);
        }
    }
}

// The set-aside lines as one text, each once.
void KeepLinesAside(const std::vector<std::string_view>& setAside, HistoryMerge& m) {
    std::string lines;
    std::unordered_set<std::string_view> seen;
    for (const std::string_view line : setAside) {
        if (seen.insert(line).second) {
            lines += line;
            lines += kLineEnd;
            ++m.linesAside;
        }
    }
    if (!lines.empty()) {
        m.aside.push_back({HistoryAside::Kind::Lines, std::move(lines)});
    }
}

}  // namespace

HistoryMerge MergeHistoryTexts(std::string_view fileBytes, std::string_view backupBytes) {
    HistoryMerge m;
    const HistoryText file = ReadHistoryText(fileBytes);
    const HistoryText backup = ReadHistoryText(backupBytes);
    std::vector<DatedLine> dated;
    dated.reserve(file.lines.size() + backup.lines.size());
    std::vector<std::string_view> setAside;  // in the order met
    Collect(file, fileBytes, false, m, dated, setAside);
    Collect(backup, backupBytes, true, m, dated, setAside);
    // Stable: within a date the file's lines stay first, each side in its own order.
    std::stable_sort(dated.begin(), dated.end(),
                     [](const DatedLine& a, const DatedLine& b) { return a.day < b.day; });
    m.text.reserve(fileBytes.size() + kHistoryHeader.size() + 2);
    m.text += kHistoryHeader;
    m.text += kLineEnd;
    for (size_t i = 0; i < dated.size();) {
        size_t end = i + 1;
        while (end < dated.size() && dated[end].day == dated[i].day) {
            ++end;
        }
        MergeDay(dated.data() + i, dated.data() + end, m, setAside);
        i = end;
    }
    KeepLinesAside(setAside, m);
    return m;
}

std::string CompactHistoryText(std::string_view text) {
    return MergeHistoryTexts(text, {}).text;
}

std::vector<int64_t> HistoryDays(std::string_view text) {
    const HistoryText read = ReadHistoryText(text);
    std::vector<int64_t> days;
    if (!read.readable) {
        return days;
    }
    days.reserve(read.lines.size());
    for (const auto& line : read.lines) {
        if (line.date) {
            days.push_back(DayNumber(*line.date));
        }
    }
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}

bool HoldsEveryDate(std::string_view text, std::string_view of) {
    const std::vector<int64_t> have = HistoryDays(text);
    const std::vector<int64_t> need = HistoryDays(of);
    return std::includes(have.begin(), have.end(), need.begin(), need.end());
}

namespace {

// The parts of a message, joined.
std::string Said(std::initializer_list<std::string_view> parts) {
    std::string text;
    for (const std::string_view part : parts) {
        text += part;
    }
    return text;
}

std::string Count(int n, std::string_view one, std::string_view more) {
    return std::to_string(n) + " " + std::string(n == 1 ? one : more);
}

// "<backup name>.onleesbaar", or the first of ".2", ".3", ... that nothing occupies (not even a
// dangling link); empty when all are taken.
std::string FreeSideFileName(const std::string& folder, const std::string& fileName) {
    const std::string base = folder + BackupFileName(fileName) + std::string(kUnreadableSuffix);
    for (int n = 1; n <= 999; ++n) {
        std::string name = n == 1 ? base : base + "." + std::to_string(n);
        struct stat st {};
        if (::lstat(name.c_str(), &st) != 0 && errno == ENOENT) {
            return name;
        }
    }
    return {};
}

// The state of the history file before the merge, as the note names it.
enum class FileState { Missing, Empty, Present };

struct BackupState {
    std::string text;     // what it holds; empty when missing or not kept
    bool keep = false;    // never replaced: not a regular file, unreadable, read-only
    std::string problem;  // why it is not kept up to date, naming it
};

BackupState ReadBackup(const std::string& backup) {
    BackupState b;
    const FileRead read = ReadFileChecked(backup);
    if (read.text) {
        b.text = *read.text;
        if (ReadOnly(backup)) {
            b.keep = true;
            b.problem = FileErrorText(backup, "bijgewerkt", EACCES);
        }
    } else if (!read.missing) {
        b.keep = true;
        b.problem = read.error;
    }
    return b;
}

std::string RestoreSentence(const std::string& path, const std::string& backupName, FileState state,
                            const HistoryMerge& m) {
    const int back = m.datesFromBackup + m.rowsFromBackup;
    if (m.fileUnreadable) {
        return Said({"Uit de reservekopie ", backupName, back == 1 ? " is " : " zijn ",
                     Count(back, "datum", "datums"), " teruggezet."});
    }
    const std::string came = Said(
        {Count(back, "datum is", "datums zijn"), " teruggezet uit de reservekopie ", backupName});
    const char* was = state == FileState::Missing ? "verdwenen"
                      : state == FileState::Empty ? "leeg"
                      : m.datesFromBackup > 0     ? "onvolledig"
                                                  : "beschadigd";
    return Said({"Het koersbestand ", path, " was ", was, "; ", came, "."});
}

// One note for everything that happened to one history: dates put back and from where, what was
// set aside and where it is now.
std::string MergeNote(const std::string& path, const std::string& backupName, FileState state,
                      const HistoryMerge& m, const std::vector<std::string>& sidePaths) {
    std::vector<std::string> said;
    for (size_t i = 0; i < m.aside.size(); ++i) {
        if (m.aside[i].kind == HistoryAside::Kind::File) {
            said.push_back(
                Said({"Het koersbestand ", path, " was onleesbaar en is ongewijzigd bewaard als ",
                      sidePaths[i], "."}));
        }
    }
    if (m.datesFromBackup + m.rowsFromBackup > 0) {
        said.push_back(RestoreSentence(path, backupName, state, m));
    }
    for (size_t i = 0; i < m.aside.size(); ++i) {
        if (m.aside[i].kind == HistoryAside::Kind::Backup) {
            said.push_back(
                Said({"De reservekopie ", backupName, " van ", path,
                      " was onleesbaar en is ongewijzigd bewaard als ", sidePaths[i], "."}));
        } else if (m.aside[i].kind == HistoryAside::Kind::Lines) {
            said.push_back(
                Said({Count(m.linesAside, "onleesbare regel", "onleesbare regels"), " van ", path,
                      m.linesAside == 1 ? " is" : " zijn", " bewaard in ", sidePaths[i], "."}));
        }
    }
    std::string note;
    for (const auto& sentence : said) {
        note += (note.empty() ? "" : " ") + sentence;
    }
    return note;
}

void AddSentence(std::string& note, const std::string& sentence) {
    note += (note.empty() ? "" : " ") + sentence;
}

void AddLinesAside(HistoryMerge& into, const HistoryMerge& from) {
    for (const auto& aside : from.aside) {
        if (aside.kind != HistoryAside::Kind::Lines) {
            continue;
        }
        auto it = std::find_if(into.aside.begin(), into.aside.end(), [](const HistoryAside& a) {
            return a.kind == HistoryAside::Kind::Lines;
        });
        if (it == into.aside.end()) {
            it = into.aside.insert(into.aside.end(), {HistoryAside::Kind::Lines, {}});
        }
        it->text += aside.text;
        into.linesAside += from.linesAside;
    }
}

std::string WithoutLines(std::string_view text, std::string_view lines) {
    const std::vector<std::string> dropped = SplitLines(lines);
    const std::unordered_set<std::string_view> drop(dropped.begin(), dropped.end());
    std::string kept;
    kept.reserve(text.size());
    for (const auto& line : SplitLines(text)) {
        if (drop.count(line) == 0) {
            kept += line;
            kept += kLineEnd;
        }
    }
    return kept;
}

// Writes every side file of the merge; false (with error) when one cannot be kept, so that
// nothing is dropped that was not kept first.
bool WriteSideFiles(const std::string& folder, const std::string& fileName, const HistoryMerge& m,
                    std::vector<std::string>& paths, std::string& error) {
    for (const auto& aside : m.aside) {
        const std::string side = FreeSideFileName(folder, fileName);
        std::string why;
        if (side.empty()) {
            why = "geen vrije naam naast " + folder + BackupFileName(fileName);
        } else if (!WriteFileAtomic(side, aside.text, &why)) {
            why = why.empty() ? FileErrorText(side, "geschreven", EIO) : why;
        } else {
            paths.push_back(side);
            continue;
        }
        error = Said({"Het koersbestand ", folder, fileName,
                      " is niet bijgewerkt: wat onleesbaar is, kan niet apart worden bewaard (",
                      why, ")."});
        return false;
    }
    return true;
}

}  // namespace

HistoryWriteResult AppendHistoryLine(const std::string& folder, const std::string& fileName,
                                     std::string_view fields, std::string_view indexText,
                                     double som, const DateTime& now) {
    const std::string path = folder + fileName;
    const std::string backupName = BackupFileName(fileName);
    const std::string backup = folder + backupName;
    const auto fail = [](std::string why) { return HistoryWriteResult{false, std::move(why), {}}; };
    // A file that exists but cannot be read may hold more than anything else: leave it.
    const FileRead current = ReadFileChecked(path);
    if (!current.text && !current.missing) {
        return fail("Het koersbestand " + current.error + ".");
    }
    if (ReadOnly(path) || ReadOnly(folder.empty() ? "." : folder)) {
        return fail("Het koersbestand " + FileErrorText(path, "geschreven", EACCES) + ".");
    }
    const BackupState saved = ReadBackup(backup);
    const std::string fileText = current.text.value_or(std::string());
    const FileState state = !current.text                             ? FileState::Missing
                            : ReadHistoryText(fileText).lines.empty() ? FileState::Empty
                                                                      : FileState::Present;
    HistoryMerge merged = MergeHistoryTexts(fileText, saved.text);
    // The backup holds the appended text (two lines of today when a second download came), the
    // file its form with one line per date. A damaged line of today that the new line replaces
    // is kept aside like every other.
    std::string appended = std::move(merged.text);
    const std::string line = HistoryLine(now, fields, indexText, som) + std::string(kLineEnd);
    // A writer killed between the backup and the file left this very line in the backup, and
    // the merge has just brought it back: it is not appended twice.
    if (appended.size() < line.size() ||
        appended.compare(appended.size() - line.size(), line.size(), line) != 0) {
        appended += line;
    }
    const HistoryMerge compacted = MergeHistoryTexts(appended, {});
    if (compacted.linesAside > 0) {
        AddLinesAside(merged, compacted);
        // Or the next run would find them in the backup and set them aside once more.
        appended = WithoutLines(appended, compacted.aside.back().text);
    }
    std::vector<std::string> sidePaths;
    std::string error;
    if (!WriteSideFiles(folder, fileName, merged, sidePaths, error)) {
        return fail(error);
    }
    HistoryWriteResult result;
    result.note = MergeNote(path, backupName, state, merged, sidePaths);
    // Every date the backup held is in the appended text, or the backup was set aside whole.
    if (!saved.keep) {
        std::string why;
        if (!WriteFileAtomic(backup, appended, &why)) {
            AddSentence(result.note, Said({"Geen reservekopie van ", path, ": ", why, "."}));
        }
    } else {
        AddSentence(result.note, Said({"Geen reservekopie van ", path, ": ", saved.problem, "."}));
    }
    std::string why;
    if (WriteFileAtomic(path, compacted.text, &why) || WriteFileAtomic(path, appended)) {
        return result;
    }
    return fail("Het koersbestand " + why + ".");
}

HistoryWriteResult AddHistoryLines(const std::string& folder, const std::string& fileName,
                                   const std::vector<std::string>& lines,
                                   std::vector<int64_t>* newDays) {
    const std::string path = folder + fileName;
    const std::string backupName = BackupFileName(fileName);
    const std::string backup = folder + backupName;
    const auto fail = [](std::string why) { return HistoryWriteResult{false, std::move(why), {}}; };
    const FileRead current = ReadFileChecked(path);
    if (!current.text && !current.missing) {
        return fail("Het koersbestand " + current.error + ".");
    }
    const BackupState saved = ReadBackup(backup);
    const std::string fileText = current.text.value_or(std::string());
    const FileState state = !current.text                             ? FileState::Missing
                            : ReadHistoryText(fileText).lines.empty() ? FileState::Empty
                                                                      : FileState::Present;
    HistoryMerge merged = MergeHistoryTexts(fileText, saved.text);
    // Only dates that neither file holds: an existing line, damaged or not, is never replaced.
    const std::vector<int64_t> had = HistoryDays(merged.text);
    std::string added = merged.text;
    for (const auto& line : lines) {
        const HistoryText read = ReadHistoryText(line);
        if (read.lines.size() == 1 && read.lines[0].IsRow() &&
            !std::binary_search(had.begin(), had.end(), DayNumber(*read.lines[0].date))) {
            added += line;
            added += kLineEnd;
        }
    }
    const HistoryMerge compacted = MergeHistoryTexts(added, {});
    const std::vector<int64_t> before = HistoryDays(fileText);
    const std::vector<int64_t> after = HistoryDays(compacted.text);
    std::vector<int64_t> fresh;
    std::set_difference(after.begin(), after.end(), before.begin(), before.end(),
                        std::back_inserter(fresh));
    if (newDays) {
        *newDays = fresh;
    }
    if (fresh.empty()) {
        return {};
    }
    if (ReadOnly(path) || ReadOnly(folder.empty() ? "." : folder)) {
        return fail("Het koersbestand " + FileErrorText(path, "geschreven", EACCES) + ".");
    }
    std::vector<std::string> sidePaths;
    std::string error;
    if (!WriteSideFiles(folder, fileName, merged, sidePaths, error)) {
        return fail(error);
    }
    HistoryWriteResult result;
    result.note = MergeNote(path, backupName, state, merged, sidePaths);
    std::string why;
    if (!saved.keep) {
        if (!WriteFileAtomic(backup, compacted.text, &why)) {
            AddSentence(result.note, "Geen reservekopie van " + path + ": " + why + ".");
        }
    } else {
        AddSentence(result.note, "Geen reservekopie van " + path + ": " + saved.problem + ".");
    }
    if (!WriteFileAtomic(path, compacted.text, &why)) {
        if (newDays) {
            newDays->clear();
        }
        return fail("Het koersbestand " + why + ".");
    }
    return result;
}

bool CompactHistoryFile(const std::string& folder, const std::string& fileName, bool daylightSaving,
                        double daylightOffset) {
    const std::string path = folder + fileName;
    if (!FileExists(path)) {
        return true;
    }
    const auto text = ReadFile(path);
    if (!text) {
        return false;
    }
    const std::string backup = folder + BackupFileName(fileName);
    const BackupState saved = ReadBackup(backup);
    const HistoryMerge merged = MergeHistoryTexts(*text, saved.text);
    std::vector<std::string> sidePaths;
    std::string error;
    if (!WriteSideFiles(folder, fileName, merged, sidePaths, error)) {
        return false;
    }
    // The backup gets the file as it was only when that holds every date the backup holds.
    const bool backedUp = !saved.keep &&
                          (merged.backupUnreadable || HoldsEveryDate(*text, saved.text)) &&
                          CopyFileKeepTime(path, backup, false, daylightSaving, daylightOffset);
    if (WriteFileAtomic(path, merged.text)) {
        return true;
    }
    // The rewrite is atomic, so the file still holds its old text; putting the backup back only
    // matters if something else touched it in between.
    if (backedUp) {
        CopyFileKeepTime(backup, path, false, daylightSaving, daylightOffset);
    }
    return false;
}

}  // namespace rendaal

namespace rendaal {

double LastHistoryIndexValueIn(const std::string& folder, const std::vector<std::string>& lines) {
    for (const auto& line : lines) {
        const std::string name = HistoryFileName(line);
        if (line.empty() || line[0] == ';' || !IsPlainFileName(name)) {
            continue;
        }
        const auto text = ReadFile(folder + name);
        if (!text) {
            continue;
        }
        const HistoryText read = ReadHistoryText(*text);
        // A last line without a level (index page failed, or damaged) gives none either.
        if (!read.lines.empty() && read.lines.back().IsRow()) {
            if (const auto level = ParseIndexLevel(read.lines.back().aex)) {
                return *level;
            }
        }
    }
    return 0.0;
}

}  // namespace rendaal
