#include "download/rebuild.h"

#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <memory>
#include <optional>
#include <set>

#include "core/calendar.h"
#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"
#include "download/archive.h"
#include "download/cleanup.h"
#include "download/conflict_merge.h"
#include "download/download_run.h"
#include "download/history.h"
#include "download/index_page.h"
#include "download/option_page.h"
#include "download/run_lock.h"

namespace rendaal {
namespace {

// One history file as found, with what is to be added.
struct Target {
    std::string fileName;
    std::string line;                      // the combination line
    std::set<int64_t> have;                // the dates of the file and its backup together
    bool backupAdds = false;               // the backup holds dates the file lacks
    std::map<int64_t, std::string> added;  // by day, the line the archive gives
    int stillMissing = 0;
    std::string error;
};

// An archived pass with its pages read once for all combinations.
struct LoadedPass {
    bool ok = false;
    std::string page;  // option page, tags stripped
    std::unique_ptr<PageIndex> index;
    std::string indexText;
};

void ReadTarget(const std::string& folder, Target& t) {
    const FileRead file = ReadFileChecked(folder + t.fileName);
    if (!file.text && !file.missing) {
        t.error = file.error;
        return;
    }
    // A backup that cannot be read adds nothing; the write leaves it as it is.
    const auto backup = ReadFile(folder + BackupFileName(t.fileName));
    const std::string fileText = file.text.value_or(std::string());
    const HistoryMerge merged = MergeHistoryTexts(fileText, backup.value_or(std::string()));
    const std::vector<int64_t> have = HistoryDays(merged.text);
    t.have.insert(have.begin(), have.end());
    t.backupAdds = have.size() > HistoryDays(fileText).size();
}

LoadedPass LoadPass(const std::string& dayFolder, ArchiveEntry entry, size_t maxPageBytes,
                    std::vector<std::string>& problems) {
    LoadedPass pass;
    std::string why;
    if (!LoadArchivedPages(dayFolder, entry, why, maxPageBytes)) {
        problems.push_back("Gearchiveerde pagina niet te lezen: " + why + ".");
        return pass;
    }
    if (!entry.option) {
        return pass;
    }
    pass.ok = true;
    pass.page = StripTags(entry.option->bytes);
    pass.index = std::make_unique<PageIndex>(pass.page);
    if (entry.index) {
        const IndexCut cut = CutIndexPage(StripTags(entry.index->bytes));
        pass.indexText = UsableIndexText(cut.IndexValueText);
    }
    return pass;
}

std::optional<std::string> LineFrom(const LoadedPass& pass, const ArchiveEntry& entry,
                                    const std::string& combination) {
    if (!pass.ok) {
        return std::nullopt;
    }
    TDataRec rec;
    uint16_t count = 0;
    const CombinationPrices prices = PricesFor(combination, *pass.index, rec, entry.time, count);
    if (prices.verdict != PriceVerdict::Write) {
        return std::nullopt;
    }
    return HistoryLine(entry.time, prices.fields, pass.indexText, prices.som);
}

// The pass whose line the file got that day comes first; then any other, latest first, for days
// the reader of that day could not read.
std::vector<size_t> PassOrder(const std::vector<ArchiveEntry>& entries,
                              const std::string& fileName) {
    std::vector<size_t> order;
    for (size_t i = entries.size(); i-- > 0;) {
        const auto& w = entries[i].written;
        if (std::find(w.begin(), w.end(), fileName) != w.end()) {
            order.push_back(i);
            break;
        }
    }
    for (size_t i = entries.size(); i-- > 0;) {
        if (order.empty() || order.front() != i) {
            order.push_back(i);
        }
    }
    return order;
}

bool IsRealFolderPath(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int RebuildResult::DaysAdded() const {
    int n = 0;
    for (const auto& f : files) {
        n += static_cast<int>(f.dates.size());
    }
    return n;
}

bool RebuildResult::AnyError() const {
    return !error.empty() || !problems.empty() ||
           std::any_of(files.begin(), files.end(), [](const auto& f) { return !f.error.empty(); });
}

namespace {

std::vector<Target> ReadTargets(const std::string& dataFolder,
                                const std::vector<std::string>& combinationLines) {
    std::vector<Target> targets;
    std::set<std::string> seen;
    for (const auto& line : combinationLines) {
        if (line.empty() || line[0] == ';') {
            continue;
        }
        Target t;
        t.fileName = HistoryFileName(line);
        t.line = line;
        if (!IsUsableHistoryName(t.fileName)) {
            t.error = "onbruikbare naam: " + CombinationKey(line).substr(0, 60);
        } else if (!seen.insert(t.fileName).second) {
            continue;
        } else {
            ReadTarget(dataFolder, t);
        }
        targets.push_back(std::move(t));
    }
    return targets;
}

// One archived day for every file that lacks it; each pass's pages are read once.
void FillDay(int64_t day, const std::vector<ArchiveEntry>& entries, std::vector<Target>& targets,
             size_t maxPageBytes, std::vector<std::string>& problems) {
    std::map<size_t, LoadedPass> loaded;
    const auto pass = [&](size_t i) -> const LoadedPass& {
        auto it = loaded.find(i);
        if (it == loaded.end()) {
            it = loaded.emplace(i, LoadPass(entries[i].folder, entries[i], maxPageBytes, problems))
                     .first;
        }
        return it->second;
    };
    for (Target& t : targets) {
        if (!t.error.empty() || t.have.count(day)) {
            continue;
        }
        for (const size_t i : PassOrder(entries, t.fileName)) {
            if (auto line = LineFrom(pass(i), entries[i], t.line)) {
                t.added[day] = std::move(*line);
                break;
            }
        }
        t.stillMissing += t.added.count(day) ? 0 : 1;
    }
}

RebuiltFile WriteTarget(const std::string& dataFolder, Target& t, std::vector<std::string>& notes) {
    RebuiltFile file{t.fileName, {}, t.error, t.stillMissing};
    if (!t.error.empty() || (!t.backupAdds && t.added.empty())) {
        return file;
    }
    std::vector<std::string> lines;
    for (auto& [day, line] : t.added) {
        lines.push_back(std::move(line));
    }
    std::vector<int64_t> days;
    const HistoryWriteResult written = AddHistoryLines(dataFolder, t.fileName, lines, &days);
    if (!written.note.empty()) {
        notes.push_back(written.note);
    }
    file.error = written.error;
    for (const int64_t day : days) {
        file.dates.push_back(FormatDmy(FromDayNumber(day)));
    }
    return file;
}

}  // namespace

RebuildResult RebuildFromArchive(const std::string& dataFolder,
                                 const std::vector<std::string>& combinationLines,
                                 size_t maxPageBytes) {
    RebuildResult result;
    const ArchiveDays archive = ReadArchive(dataFolder);
    if (!archive.problem.empty()) {
        result.error = archive.problem;
        return result;
    }
    // A copy a sync tool kept may hold the very days sought.
    result.notes = MergeConflictCopies(dataFolder, AppClock().Now()).notes;
    std::vector<Target> targets = ReadTargets(dataFolder, combinationLines);
    for (const auto& [day, entries] : archive.days) {
        FillDay(day, entries, targets, maxPageBytes, result.problems);
    }
    for (Target& t : targets) {
        result.files.push_back(WriteTarget(dataFolder, t, result.notes));
    }
    return result;
}

RebuildResult RebuildLocked(const std::string& dataFolder, const std::vector<std::string>& names,
                            size_t maxPageBytes) {
    RebuildResult result;
    RunLock lock(dataFolder);
    if (!IsRealFolderPath(dataFolder)) {
        result.error = "De datamap " + dataFolder + " ontbreekt.";
        return result;
    }
    if (const LockAttempt attempt = lock.Acquire(); !attempt.taken) {
        result.busy = attempt.busy;
        result.error =
            attempt.busy ? "Er loopt een download; probeer het straks opnieuw." : attempt.error;
        return result;
    }
    // Read under the lock: the window saves the rules file while it holds it.
    const std::string rulesPath = dataFolder + std::string(kRulesFileName);
    const FileRead rules = ReadFileChecked(rulesPath);
    if (!rules.text) {
        result.error = rules.missing ? rulesPath + " ontbreekt." : rules.error;
        return result;
    }
    std::vector<std::string> lines = ParseRules(*rules.text);
    if (!names.empty()) {
        std::vector<std::string> picked;
        for (const auto& name : names) {
            const auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string& l) {
                const std::string file = HistoryFileName(l);
                return name == file || name + ".csv" == file || name == CombinationKey(l);
            });
            if (it == lines.end()) {
                result.error = "Geen combinatie in " + rulesPath;
                result.error += " heet " + name + ".";
                return result;
            }
            picked.push_back(*it);
        }
        lines = std::move(picked);
    }
    return RebuildFromArchive(dataFolder, lines, maxPageBytes);
}

std::string RebuildReport(const RebuiltFile& file) {
    if (!file.error.empty()) {
        return file.fileName + ": niet hersteld (" + file.error + ")";
    }
    if (file.dates.empty()) {
        return file.fileName +
               (file.stillMissing ? ": geen dag terug uit het archief" : ": geen dag ontbrak");
    }
    std::string text = file.fileName + ": " + std::to_string(file.dates.size()) +
                       (file.dates.size() == 1 ? " dag" : " dagen") + " terug: ";
    for (size_t i = 0; i < file.dates.size(); ++i) {
        text += (i ? ", " : "") + file.dates[i];
    }
    return text;
}

std::string RebuildSummary(const RebuildResult& result) {
    if (!result.error.empty()) {
        return "Herstel uit archief is niet gelukt: " + result.error;
    }
    const int days = result.DaysAdded();
    std::string text = days == 0 ? std::string("Er ontbrak geen dag die het archief kon aanvullen.")
                                 : "Herstel uit archief: " + std::to_string(days) +
                                       (days == 1 ? " dag" : " dagen") + " teruggezet.";
    for (const auto& file : result.files) {
        if (!file.dates.empty() || !file.error.empty()) {
            text += "\n" + RebuildReport(file);
        }
    }
    for (const auto& more : {result.problems, result.notes}) {
        for (const auto& line : more) {
            text += "\n" + line;
        }
    }
    return text;
}

}  // namespace rendaal
