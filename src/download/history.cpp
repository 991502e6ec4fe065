#include "download/history.h"

#include <sys/stat.h>

#include "core/combination.h"
#include "core/fileio.h"
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
    if (wd >= 3 && wd <= 7 && stamp.hour * 3600 + stamp.minute * 60 + stamp.second < 9 * 3600) {
        stamp = PreviousDay(stamp);
        stamp.hour = 17;
        stamp.minute = 35;
        stamp.second = 0;
        stamp.msec = 0;
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
    return WithLeadingZero(FormatNumber(som, 4, 2));
}

std::string HistoryLine(const DateTime& now, std::string_view fields, std::string_view indexText,
                        double som) {
    std::string line = FormatHistoryStamp(TradingStamp(now));
    line += fields;
    line += "; ";
    line += SomText(som);
    line += "; ";
    line += indexText;
    // A line break from a page would split the line in two.
    for (char& c : line) {
        if (c == '\r' || c == '\n' || c == '\0') {
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
        if (!lines[i].empty() && DateKey(lines[i]).empty()) {
            return false;
        }
    }
    return true;
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

HistoryWriteResult AppendHistoryLine(const std::string& folder, const std::string& fileName,
                                     std::string_view fields, std::string_view indexText,
                                     double som, const DateTime& now) {
    const std::string path = folder + fileName;
    const auto fail = [&](const std::string& why) {
        return HistoryWriteResult{false,
                                  "Het koersbestand " + path + " kan niet worden " + why + "."};
    };
    std::string content;
    if (FileExists(path)) {
        const auto old = ReadFile(path);
        if (!old) {
            return fail("gelezen");
        }
        content = *old;
        if (!content.empty() && content.back() != '\n' && content.back() != '\r') {
            content += kLineEnd;
        }
    } else {
        content = std::string(kHistoryHeader) + std::string(kLineEnd);
    }
    content += HistoryLine(now, fields, indexText, som);
    content += kLineEnd;
    if (ReadOnly(path) || ReadOnly(folder.empty() ? "." : folder)) {
        return fail("geschreven");
    }
    // The backup holds the appended file, the file itself its compacted form. Both are replaced
    // whole, so the appended file is never written on its own: one replacement less per line.
    const std::string backup = folder + BackupFileName(fileName);
    // A damaged file must not replace the last good copy: the backup may be all that is left.
    bool keepBackup = ReadOnly(backup);
    if (!keepBackup && !LooksLikeHistoryText(content)) {
        const auto saved = ReadFile(backup);
        keepBackup = saved && LooksLikeHistoryText(*saved);
    }
    if (!keepBackup) {
        WriteFileAtomic(backup, content);
    }
    if (WriteFileAtomic(path, CompactHistoryText(content)) || WriteFileAtomic(path, content)) {
        return {};
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
    // A damaged file must not replace the last good copy: the backup may be all that is left.
    bool keepBackup = false;
    if (!LooksLikeHistoryText(*text)) {
        const auto saved = ReadFile(backup);
        keepBackup = saved && LooksLikeHistoryText(*saved);
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
            const double value = ParseNumber(AfterLast(';', *row));
            if (value > 0) {
                return value;
            }
            break;
        }
    }
    return 0.0;
}

}  // namespace rendaal
