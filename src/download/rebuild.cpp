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
#include "download/index_page.h"
#include "download/option_page.h"
#include "download/run_lock.h"
#include "history/history_file.h"

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

// An option page, unpacked and indexed once for every pass and combination that lists it.
struct LoadedOption {
    explicit LoadedOption(std::string stripped) : page(std::move(stripped)), index(page) {}
    std::string page;  // tags stripped; the index points into it
    PageIndex index;
};

// The pages of one archived day, each unpacked at most once, all together within a cap: an
// index naming one large page in every pass cost a copy of it per pass.
class DayPages {
public:
    DayPages(size_t maxPageBytes, size_t cap) : maxPageBytes_(maxPageBytes), cap_(cap) {}
    // nullptr when the pass has no option page or it cannot be read.
    const LoadedOption* Option(const ArchiveEntry& e) {
        if (!e.option || e.optionFile.empty()) {
            return nullptr;
        }
        const std::string path = e.folder + e.optionFile;
        auto it = options_.find(path);
        if (it == options_.end()) {
            auto bytes = Unpack(path);
            it = options_
                     .emplace(path,
                              bytes ? std::make_unique<LoadedOption>(StripTags(*bytes)) : nullptr)
                     .first;
        }
        return it->second.get();
    }
    std::string IndexText(const ArchiveEntry& e) {
        if (!e.index || e.indexFile.empty()) {
            return {};
        }
        const std::string path = e.folder + e.indexFile;
        auto it = indexTexts_.find(path);
        if (it == indexTexts_.end()) {
            const auto bytes = Unpack(path);
            it =
                indexTexts_
                    .emplace(path,
                             bytes ? UsableIndexText(CutIndexPage(StripTags(*bytes)).IndexValueText)
                                   : std::string())
                    .first;
        }
        return it->second;
    }
    // The first reason a page of the day could not be read; empty while all could.
    const std::string& problem() const { return problem_; }
    std::vector<std::string> problems;

private:
    std::optional<std::string> Unpack(const std::string& path) {
        // A page within the cap packs to far less; a larger file is not one of ours.
        const FileRead read = ReadFileChecked(path, maxPageBytes_ + (1u << 20));
        if (!read.text) {
            return Fail(read.missing ? path + " ontbreekt" : read.error);
        }
        auto bytes = GzipDecompress(*read.text, maxPageBytes_);
        if (!bytes) {
            return Fail(path + " is beschadigd");
        }
        if (bytes->size() > cap_ - used_) {
            return Fail(path + " niet uitgepakt: de pagina's van die dag zijn samen groter dan " +
                        std::to_string(cap_ >> 20) + " MiB");
        }
        used_ += bytes->size();
        return bytes;
    }
    std::nullopt_t Fail(const std::string& why) {
        problems.push_back("Gearchiveerde pagina niet te lezen: " + why + ".");
        if (problem_.empty()) {
            problem_ = why;
        }
        return std::nullopt;
    }

    size_t maxPageBytes_;
    size_t cap_;
    size_t used_ = 0;
    std::map<std::string, std::unique_ptr<LoadedOption>> options_;
    std::map<std::string, std::string> indexTexts_;
    std::string problem_;
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

std::optional<std::string> LineFrom(DayPages& pages, const ArchiveEntry& entry,
                                    const std::string& combination) {
    const LoadedOption* option = pages.Option(entry);
    if (!option) {
        return std::nullopt;
    }
    TDataRec rec;
    uint16_t count = 0;
    const CombinationPrices prices = PricesFor(combination, option->index, rec, entry.time, count);
    if (prices.verdict != PriceVerdict::Write) {
        return std::nullopt;
    }
    return HistoryLine(entry.time, prices.fields, pages.IndexText(entry), prices.som);
}

// The pass whose line the file got that day comes first; then any other, latest first, for days
// the reader of that day could not read.
std::vector<size_t> PassOrder(const std::vector<ArchiveEntry>& entries,
                              const std::string& fileName) {
    std::vector<size_t> order;
    // Counted down from the size: "i-- > 0" wraps below zero on its last test.
    for (size_t n = entries.size(); n > 0; --n) {
        const size_t i = n - 1;
        const auto& w = entries[i].written;
        if (std::find(w.begin(), w.end(), fileName) != w.end()) {
            order.push_back(i);
            break;
        }
    }
    for (size_t n = entries.size(); n > 0; --n) {
        const size_t i = n - 1;
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
    return !error.empty() || !problems.empty() || !lostDays.empty() ||
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

// Per reason, the files that lack a day the archive cannot give back.
using LostFiles = std::map<std::string, std::vector<std::string>>;

// Whether the combination may have had a line that day: its history does not start later.
bool MayHaveHadDay(const Target& t, int64_t day) {
    return t.have.empty() || *t.have.begin() <= day;
}

// One archived day for every file that lacks it.
void FillDay(int64_t day, const std::vector<ArchiveEntry>& entries, const std::string* indexProblem,
             std::vector<Target>& targets, size_t maxPageBytes, size_t maxDayBytes,
             std::vector<std::string>& problems, LostFiles& lost) {
    DayPages pages(maxPageBytes, maxDayBytes);
    for (Target& t : targets) {
        if (!t.error.empty() || t.have.count(day)) {
            continue;
        }
        for (const size_t i : PassOrder(entries, t.fileName)) {
            if (auto line = LineFrom(pages, entries[i], t.line)) {
                t.added[day] = std::move(*line);
                break;
            }
        }
        if (t.added.count(day)) {
            continue;
        }
        ++t.stillMissing;
        const bool written = std::any_of(entries.begin(), entries.end(), [&](const auto& e) {
            return std::find(e.written.begin(), e.written.end(), t.fileName) != e.written.end();
        });
        std::string why;
        if (!pages.problem().empty() && (written || MayHaveHadDay(t, day))) {
            why = pages.problem();
        } else if (written) {
            why = "de bewaarde pagina's geven de koersen van dit bestand niet meer";
        } else if (indexProblem && MayHaveHadDay(t, day)) {
            why = *indexProblem + "; de pagina's zelf geven geen koersen van dit bestand";
        }
        if (!why.empty()) {
            lost[why].push_back(t.fileName);
        }
    }
    problems.insert(problems.end(), pages.problems.begin(), pages.problems.end());
}

// A day the archive once had a folder for, without readable passes now.
void NameGoneDay(const std::string& dataFolder, int64_t day, const std::vector<Target>& targets,
                 LostFiles& lost) {
    const std::string folder = ArchiveDayFolder(dataFolder, FromDayNumber(day));
    const std::string shown =
        folder.substr(dataFolder.size(), folder.size() - dataFolder.size() - 1);
    struct stat st {};
    const std::string why = ::lstat(folder.substr(0, folder.size() - 1).c_str(), &st) != 0
                                ? "de map " + shown + " ontbreekt"
                            : S_ISDIR(st.st_mode) ? shown + " bevat geen leesbare pagina's"
                                                  : shown + " is geen map";
    for (const Target& t : targets) {
        if (t.error.empty() && !t.have.count(day) && MayHaveHadDay(t, day)) {
            lost[why].push_back(t.fileName);
        }
    }
}

void AddLostDays(int64_t day, const LostFiles& lost, std::vector<std::string>& out) {
    for (const auto& [why, files] : lost) {
        std::string line = FormatDmy(FromDayNumber(day)) + " niet hersteld voor ";
        for (size_t i = 0; i < files.size(); ++i) {
            line += (i ? ", " : "") + files[i];
        }
        line += ": ";
        line += why;
        out.push_back(std::move(line));
    }
}

RebuiltFile WriteTarget(const std::string& dataFolder, Target& t,
                        const HistoryMergeOptions& options, std::vector<std::string>& notes) {
    RebuiltFile file{t.fileName, {}, t.error, t.stillMissing};
    if (!t.error.empty() || (!t.backupAdds && t.added.empty())) {
        return file;
    }
    std::vector<std::string> lines;
    for (auto& [day, line] : t.added) {
        lines.push_back(std::move(line));
    }
    std::vector<int64_t> days;
    const HistoryWriteResult written =
        AddHistoryLines(dataFolder, t.fileName, lines, &days, options);
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
                                 size_t maxPageBytes, size_t maxDayBytes) {
    RebuildResult result;
    const ArchiveDays archive = ReadArchive(dataFolder);
    if (!archive.problem.empty()) {
        result.error = archive.problem;
        return result;
    }
    // A copy a sync tool kept may hold the very days sought.
    result.notes = MergeConflictCopies(dataFolder, AppClock().Now()).notes;
    std::vector<Target> targets = ReadTargets(dataFolder, combinationLines);
    std::set<int64_t> days = archive.listedDays;
    for (const auto& [day, entries] : archive.days) {
        days.insert(day);
    }
    for (const int64_t day : days) {
        LostFiles lost;
        const auto entries = archive.days.find(day);
        if (entries == archive.days.end()) {
            NameGoneDay(dataFolder, day, targets, lost);
        } else {
            const auto problem = archive.indexProblems.find(day);
            FillDay(day, entries->second,
                    problem == archive.indexProblems.end() ? nullptr : &problem->second, targets,
                    maxPageBytes, maxDayBytes, result.problems, lost);
        }
        AddLostDays(day, lost, result.lostDays);
    }
    // A line dated after today is a typing error, as in a download; an archived day is none.
    HistoryMergeOptions options{TradingStamp(AppClock().Now()).date()};
    if (!days.empty() && *days.rbegin() > DayNumber(*options.lastDay)) {
        options.lastDay = FromDayNumber(*days.rbegin());
    }
    for (Target& t : targets) {
        result.files.push_back(WriteTarget(dataFolder, t, options, result.notes));
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
    for (const auto& more : {result.lostDays, result.problems, result.notes}) {
        for (const auto& line : more) {
            text += "\n" + line;
        }
    }
    return text;
}

}  // namespace rendaal
