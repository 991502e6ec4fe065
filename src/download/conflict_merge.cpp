#include "download/conflict_merge.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <system_error>

#include "core/combination.h"
#include "core/fileio.h"
#include "core/history_text.h"
#include "core/text.h"
#include "core/trash.h"
#include "download/cleanup.h"
#include "download/history.h"
#include "history/conflict_copy.h"

namespace rendaal {
namespace {

constexpr std::string_view kAlertStateName = "Signalen.dat";
constexpr size_t kDatesNamed = 10;

std::string DatesText(const std::vector<int64_t>& days) {
    std::string text;
    for (size_t i = 0; i < days.size() && i < kDatesNamed; ++i) {
        text += (i ? ", " : "") + FormatDmy(FromDayNumber(days[i]));
    }
    return text + (days.size() > kDatesNamed ? ", …" : "");
}

std::string BroughtText(const std::vector<int64_t>& days) {
    if (days.empty()) {
        return "bracht geen nieuwe datum";
    }
    return std::string(days.size() == 1 ? "bracht 1 datum" : "bracht ") +
           (days.size() == 1 ? "" : std::to_string(days.size()) + " datums") + " (" +
           DatesText(days) + ")";
}

// Dates of the copy that the history does not hold: what it would take along to the trash.
// Lines without a date went to the side file with the merge.
size_t DatesNotHeld(const HistoryText& copy, const std::vector<int64_t>& held) {
    size_t n = 0;
    for (const auto& line : copy.lines) {
        n += line.date && !std::binary_search(held.begin(), held.end(), DayNumber(*line.date));
    }
    return n;
}

std::string MergeOne(const std::string& folder, const std::string& copyName,
                     const std::string& historyName, const HistoryMergeOptions& options,
                     const TrashMove& moveToTrash) {
    const std::string copyPath = folder + copyName;
    const std::string intro = "Conflictkopie " + copyPath + " van " + historyName;
    const FileRead read = ReadFileChecked(copyPath);
    if (!read.text) {
        return intro + " blijft staan: " + read.error + ".";
    }
    const HistoryText copy = ReadHistoryText(*read.text);
    if (!copy.readable) {
        return intro + " is onleesbaar en blijft staan.";
    }
    std::vector<int64_t> brought;
    const HistoryWriteResult written =
        MergeHistoryCopy(folder, historyName, *read.text, &brought, options);
    if (!written.ok) {
        return intro + " is niet samengevoegd: " + written.error;
    }
    std::string note = written.note.empty() ? "" : written.note + " ";
    const std::vector<int64_t> held = HistoryDays(ReadFile(folder + historyName).value_or(""));
    const size_t missing = DatesNotHeld(copy, held);
    note += intro + " " + BroughtText(brought);
    if (missing > 0) {
        return note + " en blijft staan: " + std::to_string(missing) +
               (missing == 1 ? " datum ervan staat" : " datums ervan staan") +
               " niet in het koersbestand.";
    }
    std::string why;
    if (!moveToTrash(copyPath, &why)) {
        return note + " en blijft staan: de prullenbak nam haar niet aan" +
               (why.empty() ? "" : " (" + why + ")") + ".";
    }
    return note + " en staat nu in de prullenbak.";
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    for (auto& line : RulesFileLines(text)) {
        if (line.find_first_not_of(" \t") != std::string::npos) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

// Each line of from that is not in other, in from's order, each once.
std::vector<std::string> Missing(const std::vector<std::string>& from,
                                 const std::vector<std::string>& other) {
    std::vector<std::string> out;
    for (const auto& line : from) {
        if (std::find(other.begin(), other.end(), line) == other.end() &&
            std::find(out.begin(), out.end(), line) == out.end()) {
            out.push_back(line);
        }
    }
    return out;
}

std::string Quoted(const std::vector<std::string>& lines) {
    constexpr size_t kNamed = 3;
    std::string text;
    for (size_t i = 0; i < lines.size() && i < kNamed; ++i) {
        text += (i ? ", \"" : "\"") + lines[i] + "\"";
    }
    return text + (lines.size() > kNamed ? ", …" : "");
}

}  // namespace

RulesConflict CompareRulesCopy(const std::string& dataFolder, const std::string& copyName) {
    RulesConflict conflict;
    conflict.copyName = copyName;
    const FileRead rules = ReadFileChecked(dataFolder + std::string(kRulesFileName));
    const FileRead copy = ReadFileChecked(dataFolder + copyName);
    if (!rules.text && !rules.missing) {
        conflict.error = rules.error;
    } else if (!copy.text) {
        conflict.error = copy.error;
    } else {
        const auto ours = Lines(rules.text.value_or(""));
        const auto theirs = Lines(*copy.text);
        conflict.onlyInCopy = Missing(theirs, ours);
        conflict.onlyInRules = Missing(ours, theirs);
    }
    return conflict;
}

std::string RulesConflictNote(const std::string& dataFolder, const RulesConflict& conflict) {
    const std::string intro =
        "Conflictkopie " + dataFolder + conflict.copyName + " van " + std::string(kRulesFileName);
    if (!conflict.error.empty()) {
        return intro + " is niet vergeleken: " + conflict.error + ".";
    }
    if (conflict.onlyInCopy.empty() && conflict.onlyInRules.empty()) {
        return intro + " heeft dezelfde regels.";
    }
    std::string text = intro + " verschilt:";
    if (!conflict.onlyInCopy.empty()) {
        text += " alleen in de kopie " + Quoted(conflict.onlyInCopy) + ";";
    }
    if (!conflict.onlyInRules.empty()) {
        text +=
            " alleen in " + std::string(kRulesFileName) + " " + Quoted(conflict.onlyInRules) + ";";
    }
    return text + " er is niets overgenomen; het venster van Rendaal vraagt wat ermee moet.";
}

std::string RulesConflictQuestion(const std::string& dataFolder, const RulesConflict& conflict) {
    std::string text = "Een synchronisatieprogramma heeft een conflictkopie van " +
                       std::string(kRulesFileName) + " achtergelaten:\r" + dataFolder +
                       conflict.copyName + "\r";
    const auto list = [&text](const char* title, const std::vector<std::string>& lines) {
        if (!lines.empty()) {
            text += std::string("\r") + title + "\r";
            for (const auto& line : lines) {
                text += "  " + line + "\r";
            }
        }
    };
    list("Alleen in de kopie:", conflict.onlyInCopy);
    list("Alleen in uw lijst:", conflict.onlyInRules);
    return text +
           "\r\"Overnemen\" zet de regels die alleen in de kopie staan in uw lijst; "
           "\"Eigen regels\" laat uw lijst zoals hij is. Daarna gaat de kopie naar de "
           "prullenbak. \"Later\" laat alles staan.";
}

std::vector<std::string> ConflictCopiesOf(const std::string& folder, std::string_view original) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        const auto copy = ParseConflictCopyName(name);
        if (copy && copy->original == original && IsRegularFile(folder + name)) {
            names.push_back(std::move(name));
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string SettingsCopyNote(const std::string& copyPath, const std::string& settingsPath) {
    return "Conflictkopie " + copyPath + " van de instellingen blijft staan; Rendaal gebruikt " +
           settingsPath + ".";
}

ConflictMergeResult MergeConflictCopies(const std::string& dataFolder, const DateTime& now,
                                        const TrashMove& moveToTrash) {
    const TrashMove trash =
        moveToTrash ? moveToTrash : [&now](const std::string& p, std::string* why) {
            return MoveToTrash(p, HomeTrashFolder(), now, why);
        };
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(dataFolder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    ConflictMergeResult result;
    // A date after today's trading day in a copy is a typing error there as anywhere.
    const HistoryMergeOptions options{TradingStamp(now).date()};
    for (const auto& name : names) {
        const auto copy = ParseConflictCopyName(name);
        // A symlink stays a symlink, whatever it is called.
        if (!copy || !IsRegularFile(dataFolder + name)) {
            continue;
        }
        if (copy->original == kRulesFileName) {
            result.rulesCopies.push_back(name);
        } else if (copy->original == kAlertStateName) {
            trash(dataFolder + name, nullptr);  // the state is rebuilt at the next check
        } else if (IsOwnDataFileName(copy->original)) {
            const std::string history = BeforeLast('.', copy->original) + ".csv";
            // A copy of no history here (a look-alike name, a combination deleted on this
            // machine) is left to the user.
            if (IsUsableHistoryName(history) &&
                (FileExists(dataFolder + history) ||
                 FileExists(dataFolder + BackupFileName(history)))) {
                result.notes.push_back(MergeOne(dataFolder, name, history, options, trash));
            }
        }
    }
    return result;
}

}  // namespace rendaal
