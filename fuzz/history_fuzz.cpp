// History files: loading for the charts, splitting a line, the value scale, and compaction of a
// real file in a temporary folder. Any bytes load without a crash; compaction keeps the last
// line of every date run, is stable when repeated, and leaves the old text in the backup unless
// that text is damaged or lacks a date of a good backup; an append never loses a backed-up date.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "charts/history.h"
#include "core/fileio.h"
#include "download/history.h"

namespace {

// Compaction syncs every file it writes; memory-backed storage keeps that cheap.
const std::string& Folder() {
    static const std::string folder = [] {
        std::string pattern = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        pattern += "/rendaal-history-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        return pattern + "/";
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace rendaal;
    const std::string text(reinterpret_cast<const char*>(data), size);

    const HistoryRows rows = HistoryRowsFromText(text);
    if (rows.lines.empty()) {
        std::abort();
    }
    for (const auto& line : rows.lines) {
        const HistoryRow row = SplitHistoryRow(line);
        (void)RowDayNumber(row.dateText);
    }
    const ValueScale scale = ChooseValueScale(rows.lines);
    if (!(scale.top >= 5) || (scale.ticks != 4 && scale.ticks != 5)) {
        std::abort();
    }
    // The file name comes from the rules file, which the user may edit: the first line stands in.
    const std::string name = text.substr(0, std::min<size_t>(text.find('\n'), 120));
    (void)ParseChartFileName(name);

    const std::string once = CompactHistoryText(text);
    if (CompactHistoryText(once) != once) {
        std::abort();
    }
    const auto lines = SplitLines(text);
    for (size_t n = lines.size(); n > 0; --n) {
        const size_t i = n - 1;
        if (lines[i].empty()) {
            continue;
        }
        if (!(i == 0 && lines[i] == kHistoryHeader)) {
            const auto kept = CompactHistoryLines(text);
            if (kept.empty() || kept.back() != lines[i]) {
                std::abort();  // the newest line was lost
            }
        }
        break;
    }

    const std::string file = "Strangle_AEX_2612_00940.00_00950.00.csv";
    const std::string backupPath = Folder() + BackupFileName(file);
    RemoveFile(backupPath);
    if (!WriteFileAtomic(Folder() + file, text) || !CompactHistoryFile(Folder(), file)) {
        std::abort();
    }
    auto after = ReadFile(Folder() + file);
    auto backup = ReadFile(backupPath);
    if (!after || *after != once || !backup || *backup != text) {
        std::abort();
    }
    // A backup is only replaced by a text holding every date it holds; the file is still
    // compacted itself.
    const std::string good =
        std::string(kHistoryHeader) + "\r\n01-12-2026 17:35:00; 12,35; 08,40; 20,75; 949,86\r\n";
    if (!WriteFileAtomic(backupPath, good) || !WriteFileAtomic(Folder() + file, text) ||
        !CompactHistoryFile(Folder(), file)) {
        std::abort();
    }
    after = ReadFile(Folder() + file);
    backup = ReadFile(backupPath);
    const bool keep = !LooksLikeHistoryText(text) || !HoldsEveryDate(text, good);
    if (!after || *after != once || !backup || *backup != (keep ? good : text)) {
        std::abort();
    }
    // An append to whatever the file holds keeps every date of the good backup, in the file and
    // in the backup, and the new line.
    if (!WriteFileAtomic(backupPath, good) || !WriteFileAtomic(Folder() + file, text)) {
        std::abort();
    }
    const auto appended = AppendHistoryLine(Folder(), file, "; 12,00; 08,00", " 950,00", 20.0,
                                            DateTime{2026, 12, 7, 10, 0, 0, 0});
    after = ReadFile(Folder() + file);
    backup = ReadFile(backupPath);
    if (!appended.ok || !after || !backup || !HoldsEveryDate(*after, good) ||
        !HoldsEveryDate(*backup, good) ||
        after->find("07-12-2026 10:00:00; 12,00; 08,00; 20,00;  950,00\r\n") == std::string::npos) {
        std::abort();
    }
    const HistoryRows loaded = LoadHistoryRows(Folder(), file);
    if (loaded.lines.empty()) {
        std::abort();
    }
    return 0;
}
