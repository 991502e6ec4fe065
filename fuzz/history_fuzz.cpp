// History files: the reader, loading for the charts, the value scale, the merge of a file with
// its backup and an append to real files in a temporary folder. The input is the file's text,
// then "@@bak@@\n" and the backup's text (no backup without it). Any bytes read without a crash;
// no real date of either text is ever missing from the merge or from the files after an append;
// what is not merged is kept aside whole; the merge is stable when repeated.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unordered_set>
#include <utility>
#include <vector>

#include "charts/history.h"
#include "core/fileio.h"
#include "core/history_text.h"
#include "download/history.h"

namespace {

using namespace rendaal;

std::string& FolderName() {
    static std::string name;
    return name;
}

// Appends sync every file they write; memory-backed storage keeps that cheap. Made for each
// input and removed after it: libFuzzer ends some runs with _Exit, past any atexit handler.
const std::string& Folder() {
    std::string& folder = FolderName();
    if (folder.empty()) {
        std::string pattern = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        pattern += "/rendaal-history-fuzz-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        folder = pattern + "/";
    }
    return folder;
}

struct RemoveFolder {
    ~RemoveFolder() {
        if (!FolderName().empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(FolderName(), ignored);
            FolderName().clear();
        }
    }
};

// The failing property's line goes with the crash report.
void Check(bool ok, int line = __builtin_LINE()) {
    if (!ok) {
        std::fprintf(stderr, "history_fuzz.cpp:%d: property does not hold\n", line);
        std::abort();
    }
}

bool Includes(const std::vector<int64_t>& have, const std::vector<int64_t>& need) {
    return std::includes(have.begin(), have.end(), need.begin(), need.end());
}

std::vector<int64_t> Days(const HistoryText& read) {
    std::vector<int64_t> days;
    for (const auto& line : read.lines) {
        if (read.readable && line.date) {
            days.push_back(DayNumber(*line.date));
        }
    }
    std::sort(days.begin(), days.end());
    days.erase(std::unique(days.begin(), days.end()), days.end());
    return days;
}

void CheckReader(const std::string& text, const HistoryText& read) {
    const std::string_view all = *read.decoded;
    for (const auto& line : read.lines) {
        Check(line.text.data() >= all.data() &&
              line.text.data() + line.text.size() <= all.data() + all.size());
        Check(!line.IsRow() || (line.putValue && line.callValue && line.somValue));
        Check(!line.damaged || line.date);
    }
    const HistoryRows rows = HistoryRowsFromText(text);
    Check(!rows.lines.empty());
    for (const auto& line : rows.lines) {
        (void)RowDayNumber(SplitHistoryRow(line).dateText);
    }
    const ValueScale scale = ChooseValueScale(rows.lines);
    Check(scale.top >= 5 && (scale.ticks == 4 || scale.ticks == 5));
    // The file name comes from the rules file, which the user may edit: the first line stands in.
    (void)ParseChartFileName(text.substr(0, std::min<size_t>(text.find('\n'), 120)));
}

// Every real date of a text that reads is in the merge; a text that does not read is kept aside
// byte for byte; every line without a real date is kept aside.
void CheckMerge(const std::string& file, const HistoryText& fileRead, const std::string& backup,
                const HistoryText& backupRead, const HistoryMerge& m) {
    const HistoryText again = ReadHistoryText(m.text);
    const std::vector<int64_t> merged = Days(again);
    std::unordered_set<std::string_view> aside;  // views into m
    for (const auto& a : m.aside) {
        if (a.kind == HistoryAside::Kind::Lines) {
            std::string_view rest = a.text;
            for (auto end = rest.find("\r\n"); end != std::string_view::npos;
                 end = rest.find("\r\n")) {
                aside.insert(rest.substr(0, end));
                rest.remove_prefix(end + 2);
            }
            Check(rest.empty() && aside.size() == static_cast<size_t>(m.linesAside));
        }
    }
    const std::pair<const std::string*, const HistoryText*> inputs[] = {{&file, &fileRead},
                                                                        {&backup, &backupRead}};
    for (const auto& [input, read] : inputs) {
        const std::string& bytes = *input;
        if (!read->readable) {
            Check(std::any_of(m.aside.begin(), m.aside.end(),
                              [&](const HistoryAside& a) { return a.text == bytes; }));
            continue;
        }
        Check(Includes(merged, Days(*read)));
        for (const auto& line : read->lines) {
            Check(line.date || aside.count(line.text) > 0);
        }
    }
    // One line per date, sorted, nothing else; merging again changes nothing.
    Check(again.readable && again.header && again.lines.size() == merged.size());
    for (size_t i = 0; i < again.lines.size(); ++i) {
        Check(again.lines[i].date && DayNumber(*again.lines[i].date) == merged[i]);
    }
    Check(MergeHistoryTexts(m.text, {}).text == m.text);
    Check(MergeHistoryTexts(m.text, backup).text == m.text);
}

std::vector<std::string> SideFiles() {
    std::vector<std::string> texts;
    for (const auto& e : std::filesystem::directory_iterator(Folder())) {
        if (e.path().string().find(kUnreadableSuffix) != std::string::npos) {
            texts.push_back(ReadFile(e.path().string()).value_or(""));
            std::filesystem::remove(e.path());
        }
    }
    return texts;
}

// An append to real files: the file then holds every date of both and the new one, the backup
// every date it held, and what did not read is in a side file.
void CheckAppend(const std::string& file, const HistoryText& fileRead, const std::string& backup,
                 const HistoryText& backupRead, bool withBackup) {
    const std::string name = "Strangle_AEX_2612_00940.00_00950.00.csv";
    const std::string backupPath = Folder() + BackupFileName(name);
    RemoveFile(backupPath);
    SideFiles();
    Check(WriteFileAtomic(Folder() + name, file));
    Check(!withBackup || WriteFileAtomic(backupPath, backup));
    const auto appended = AppendHistoryLine(Folder(), name, "; 12,00; 08,00", " 950,00", 20.0,
                                            DateTime{2026, 12, 7, 10, 0, 0, 0});
    Check(appended.ok);
    const auto after = ReadFile(Folder() + name);
    const auto saved = ReadFile(backupPath);
    Check(after && saved);
    std::vector<int64_t> want = Days(fileRead);
    const std::vector<int64_t> fromBackup = Days(backupRead);
    want.insert(want.end(), fromBackup.begin(), fromBackup.end());
    want.push_back(DayNumber(2026, 12, 7));
    std::sort(want.begin(), want.end());
    want.erase(std::unique(want.begin(), want.end()), want.end());
    // A date after the run's trading day is a typing error: kept aside, never in the history.
    const auto future = std::upper_bound(want.begin(), want.end(), DayNumber(2026, 12, 7));
    const std::vector<int64_t> later(future, want.end());
    want.erase(future, want.end());
    const std::vector<int64_t> inFile = HistoryDays(*after);
    Check(Includes(inFile, want) && inFile.back() == DayNumber(2026, 12, 7));
    const std::vector<int64_t> oldEnough(
        fromBackup.begin(),
        std::upper_bound(fromBackup.begin(), fromBackup.end(), DayNumber(2026, 12, 7)));
    Check(Includes(HistoryDays(*saved), oldEnough));
    Check(after->find("07-12-2026 10:00:00; 12,00; 08,00; 20,00;  950,00\r\n") !=
          std::string::npos);
    const std::vector<std::string> side = SideFiles();
    std::vector<int64_t> asideDays;
    for (const auto& text : side) {
        for (const auto& line : SplitLines(text)) {
            const HistoryText read = ReadHistoryText(line);
            if (!read.lines.empty() && read.lines[0].date) {
                asideDays.push_back(DayNumber(*read.lines[0].date));
            }
        }
    }
    std::sort(asideDays.begin(), asideDays.end());
    Check(Includes(asideDays, later));
    if (!fileRead.readable) {
        Check(std::find(side.begin(), side.end(), file) != side.end());
    }
    if (!backupRead.readable) {
        Check(std::find(side.begin(), side.end(), backup) != side.end());
    }
    // Said once: the next append has nothing to tell.
    Check(AppendHistoryLine(Folder(), name, "; 12,00; 08,00", " 950,00", 20.0,
                            DateTime{2026, 12, 7, 11, 0, 0, 0})
              .note.empty());
    Check(LoadHistoryRows(Folder(), name).lines.size() == want.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const RemoveFolder removeFolder;
    const std::string input(reinterpret_cast<const char*>(data), size);
    static constexpr std::string_view kSplit = "@@bak@@\n";
    const auto split = input.find(kSplit);
    const bool withBackup = split != std::string::npos;
    const std::string file = input.substr(0, split);
    const std::string backup = withBackup ? input.substr(split + kSplit.size()) : std::string();

    const HistoryText fileRead = ReadHistoryText(file);
    const HistoryText backupRead = ReadHistoryText(backup);
    CheckReader(file, fileRead);
    CheckReader(backup, backupRead);
    CheckMerge(file, fileRead, backup, backupRead, MergeHistoryTexts(file, backup));
    CheckAppend(file, fileRead, backup, backupRead, withBackup);
    return 0;
}
