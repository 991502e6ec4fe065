#include "download/history.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <set>

#include "core/combination.h"
#include "core/fileio.h"
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

std::string DateKey(std::string_view line) {
    std::string key = BeforeFirst(' ', line);
    // Only a real date merges lines; a garbage line is kept as it stands.
    if (key.size() < 10 || !ParseDmy(std::string_view(key).substr(0, 10))) {
        return {};
    }
    return key;
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

bool LooksLikeHistoryText(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) {
        return false;
    }
    const std::vector<std::string> lines = SplitLines(text);
    if (lines.empty() || lines[0] != kHistoryHeader) {
        return false;
    }
    for (size_t i = 1; i < lines.size(); ++i) {
        // A line cut short has lost its last fields: the file was truncated.
        if (!lines[i].empty() &&
            (DateKey(lines[i]).empty() || std::count(lines[i].begin(), lines[i].end(), ';') < 4)) {
            return false;
        }
    }
    return true;
}

bool IsUsableHistoryName(std::string_view name) {
    return IsPlainFileName(name) && name.size() <= kMaxHistoryNameBytes;
}

std::set<std::string> HistoryDates(std::string_view text) {
    std::set<std::string> dates;
    for (const auto& line : SplitLines(text)) {
        const std::string key = DateKey(line);
        if (!key.empty()) {
            dates.insert(key.substr(0, 10));
        }
    }
    return dates;
}

bool HoldsEveryDate(std::string_view text, std::string_view of) {
    const std::set<std::string> have = HistoryDates(text);
    for (const auto& date : HistoryDates(of)) {
        if (!have.count(date)) {
            return false;
        }
    }
    return true;
}

std::string RebuildHistoryText(std::string_view backup, std::string_view damaged) {
    std::string text(kHistoryHeader);
    text += kLineEnd;
    for (const auto& line : SplitLines(backup)) {
        if (!DateKey(line).empty()) {
            text += line;
            text += kLineEnd;
        }
    }
    // What the damaged file holds beyond the backup is kept as far as it is dated.
    const std::set<std::string> saved = HistoryDates(backup);
    for (const auto& line : SplitLines(damaged)) {
        const std::string key = DateKey(line);
        if (!key.empty() && !saved.count(key.substr(0, 10)) &&
            line.find('\0') == std::string::npos) {
            text += line;
            text += kLineEnd;
        }
    }
    return text;
}

std::string BackupFileName(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    return std::string(dot == std::string_view::npos ? fileName : fileName.substr(0, dot)) + ".bak";
}

std::vector<std::string> CompactHistoryLines(std::string_view text) {
    std::vector<std::string> lines = SplitLines(text);
    std::vector<std::string> kept;
    kept.reserve(lines.size());
    std::string prev;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string& line = lines[i];
        if ((i == 0 && line == kHistoryHeader) || line.empty()) {
            continue;
        }
        std::string key = DateKey(line);
        if (!key.empty() && key == prev && !kept.empty()) {
            kept.back() = std::move(line);
        } else {
            kept.push_back(std::move(line));
        }
        prev = std::move(key);
    }
    return kept;
}

std::string CompactHistoryText(std::string_view text) {
    std::string out(kHistoryHeader);
    out += kLineEnd;
    for (const auto& line : CompactHistoryLines(text)) {
        out += line;
        out += kLineEnd;
    }
    return out;
}

namespace {

// A file deleted, emptied, cut off or garbled goes on from its backup, the last good copy,
// instead of starting again with one line; the note tells the user so.
std::string TextToAppendTo(const std::optional<std::string>& current,
                           const std::optional<std::string>& saved, bool savedGood,
                           const std::string& path, const std::string& backupName,
                           std::string& note) {
    if (savedGood && !HistoryDates(*saved).empty() &&
        (!current || !LooksLikeHistoryText(*current) || !HoldsEveryDate(*current, *saved))) {
        note = "Het koersbestand " + path + " was " +
               (!current           ? "verdwenen"
                : current->empty() ? "leeg"
                                   : "beschadigd of onvolledig") +
               " en is hersteld uit de reservekopie " + backupName + ".";
        return RebuildHistoryText(*saved, current.value_or(std::string()));
    }
    std::string content = current.value_or(std::string());
    if (!content.empty() && content.back() != '\n' && content.back() != '\r') {
        content += kLineEnd;
    }
    if (content.empty()) {
        content = std::string(kHistoryHeader) + std::string(kLineEnd);
    }
    return content;
}

// A backup is only replaced by a text that holds every date it holds: it may be all that is left
// of a damaged file. One that exists but cannot be read is kept too: nobody knows what it holds.
bool KeepBackup(const std::string& backup, const std::optional<std::string>& saved, bool savedGood,
                const std::string& content) {
    if (ReadOnly(backup) || (!saved && FileExists(backup))) {
        return true;
    }
    return savedGood && (!LooksLikeHistoryText(content) || !HoldsEveryDate(content, *saved));
}

}  // namespace

HistoryWriteResult AppendHistoryLine(const std::string& folder, const std::string& fileName,
                                     std::string_view fields, std::string_view indexText,
                                     double som, const DateTime& now) {
    const std::string path = folder + fileName;
    const std::string backup = folder + BackupFileName(fileName);
    const auto fail = [&](const std::string& why) {
        return HistoryWriteResult{
            false, "Het koersbestand " + path + " kan niet worden " + why + ".", {}};
    };
    std::optional<std::string> current;
    if (FileExists(path)) {
        // A file that exists but cannot be read may hold more than anything else: leave it.
        current = ReadFile(path);
        if (!current) {
            return fail("gelezen");
        }
    }
    const auto saved = FileExists(backup) ? ReadFile(backup) : std::nullopt;
    const bool savedGood = saved && LooksLikeHistoryText(*saved);
    HistoryWriteResult result;
    std::string content =
        TextToAppendTo(current, saved, savedGood, path, BackupFileName(fileName), result.note);
    // A backup rebuilt after a writer was killed may already end with this very line.
    const std::string line = HistoryLine(now, fields, indexText, som) + std::string(kLineEnd);
    if (content.size() < line.size() ||
        content.compare(content.size() - line.size(), line.size(), line) != 0) {
        content += line;
    }
    if (ReadOnly(path) || ReadOnly(folder.empty() ? "." : folder)) {
        return fail("geschreven");
    }
    // The backup holds the appended file, the file itself its compacted form. Both are replaced
    // whole, so the appended file is never written on its own: one replacement less per line.
    const bool keepBackup = KeepBackup(backup, saved, savedGood, content);
    if (!keepBackup) {
        WriteFileAtomic(backup, content);
    }
    if (WriteFileAtomic(path, CompactHistoryText(content)) || WriteFileAtomic(path, content)) {
        return result;
    }
    return fail("geschreven");
}

bool CompactHistoryFile(const std::string& folder, const std::string& fileName, bool daylightSaving,
                        double daylightOffset) {
    const std::string path = folder + fileName;
    if (!FileExists(path)) {
        return true;
    }
    const std::string backup = folder + BackupFileName(fileName);
    const auto text = ReadFile(path);
    if (!text) {
        return false;
    }
    // A backup is only replaced by a text that holds every date it holds: the backup may be all
    // that is left of a damaged or cut-off file.
    bool keepBackup = false;
    if (FileExists(backup)) {
        const auto saved = ReadFile(backup);
        keepBackup = !saved || (LooksLikeHistoryText(*saved) &&
                                (!LooksLikeHistoryText(*text) || !HoldsEveryDate(*text, *saved)));
    }
    const bool backedUp =
        !keepBackup && CopyFileKeepTime(path, backup, false, daylightSaving, daylightOffset);
    if (WriteFileAtomic(path, CompactHistoryText(*text))) {
        return true;
    }
    // The rewrite is atomic, so the file still holds its appended text; putting the backup back
    // only matters if something else touched it in between.
    if (backedUp) {
        CopyFileKeepTime(backup, path, false, daylightSaving, daylightOffset);
    }
    return false;
}

}  // namespace rendaal

namespace rendaal {

namespace {

// Everything after a line's fourth ";", as the charts read it; empty when there is none.
std::string_view IndexColumn(std::string_view line) {
    for (int i = 0; i < 4; ++i) {
        const auto p = line.find(';');
        if (p == std::string_view::npos) {
            return {};
        }
        line.remove_prefix(p + 1);
    }
    return line;
}

}  // namespace

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
        const auto rows = SplitLines(*text);
        for (auto row = rows.rbegin(); row != rows.rend(); ++row) {
            if (row->empty()) {
                continue;
            }
            // A line without a level (index page failed, or damaged) gives none either.
            if (const auto level = ParseIndexLevel(IndexColumn(*row))) {
                return *level;
            }
            break;
        }
    }
    return 0.0;
}

}  // namespace rendaal
