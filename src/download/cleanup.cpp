#include "download/cleanup.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"
#include "download/archive.h"
#include "download/history.h"
#include "download/strike_list.h"
#include "history/conflict_copy.h"

namespace rendaal {
namespace {

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

// A strike field as the add dialog writes it: zeros, then "Geen" or a price.
bool IsStrikeField(std::string_view field) {
    if (!field.starts_with('0')) {
        return false;
    }
    field.remove_prefix(std::min(field.find_first_not_of('0'), field.size()));
    if (field == "Geen") {
        return true;
    }
    const size_t point = field.find('.');
    const std::string_view whole = field.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : field.substr(point + 1);
    const auto digits = [](std::string_view t) {
        return t.find_first_not_of("0123456789") == std::string_view::npos;
    };
    return digits(whole) && digits(fraction) &&
           (point == std::string_view::npos || !fraction.empty());
}

bool IsValidCombination(const std::string& line) {
    const KeyWords w = SplitKey(CombinationKey(line));
    const bool series =
        std::find(kSeriesCodes.begin(), kSeriesCodes.end(), w.series) != kSeriesCodes.end();
    const bool expiry = w.expiry.size() == 4 &&
                        w.expiry.find_first_not_of("0123456789") == std::string::npos &&
                        w.expiry.substr(2) >= "01" && w.expiry.substr(2) <= "12";
    return series && expiry && IsStrikeField(w.put) && IsStrikeField(w.call) &&
           IsPlainFileName(HistoryFileName(line));
}

// "regel 2 van <path> is …", "regels 2, 5 en 9 van …", or "regels 2, 5, 9, … van …" for more.
std::string BadLinesText(const std::vector<size_t>& bad, const std::string& rulesPath) {
    if (bad.size() == 1) {
        return "regel " + std::to_string(bad[0]) + " van " + rulesPath +
               " is geen geldige combinatie";
    }
    std::string numbers;
    const size_t shown = std::min<size_t>(bad.size(), 3);
    for (size_t i = 0; i < shown; ++i) {
        numbers += i == 0 ? "" : (i + 1 == shown && bad.size() == shown ? " en " : ", ");
        numbers += std::to_string(bad[i]);
    }
    numbers += bad.size() > shown ? ", …" : "";
    return "regels " + numbers + " van " + rulesPath + " zijn geen geldige combinaties";
}

}  // namespace

bool IsKeptUntilDealtWith(std::string_view name) {
    const std::string side = ".bak" + std::string(kUnreadableSuffix);
    return name.find(side) != std::string_view::npos || IsConflictCopyName(name);
}

bool IsOwnDataFileName(std::string_view name) {
    if (name == kRulesFileName) {
        return true;
    }
    const bool history = name.starts_with("Single_") || name.starts_with("Straddle_") ||
                         name.starts_with("Strangle_");
    return history && (EndsWith(name, ".csv") || EndsWith(name, ".bak")) && IsPlainFileName(name);
}

CleanUpRules ReadCleanUpRules(const std::string& rulesPath) {
    CleanUpRules rules;
    const FileRead read = ReadFileChecked(rulesPath);
    if (!read.text) {
        rules.refusal = read.missing ? rulesPath + " ontbreekt" : read.error;
        return rules;
    }
    // One line that is no combination may be what is left of several lost ones (a cut or
    // overwritten file): their histories would look unused.
    std::vector<size_t> bad;
    const auto lines = RulesFileLines(*read.text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.starts_with(';') || line.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        if (IsValidCombination(line)) {
            rules.combinations.push_back(line);
        } else {
            bad.push_back(i + 1);
        }
    }
    if (!bad.empty()) {
        rules.refusal = BadLinesText(bad, rulesPath);
    } else if (rules.combinations.empty()) {
        rules.refusal = rulesPath + " bevat geen geldige combinatie";
    }
    if (!rules.refusal.empty()) {
        rules.combinations.clear();
    }
    return rules;
}

std::vector<std::string> FilesToCleanUp(const std::vector<DataFile>& files, double dayLimit,
                                        const std::vector<std::string>& combinations,
                                        const std::function<bool(long pid)>& processEnded) {
    std::set<std::string> keep = {std::string(kRulesFileName), "Rendaal.reg"};
    for (const auto& line : combinations) {
        const std::string history = HistoryFileName(line);
        keep.insert(history);
        keep.insert(BeforeLast('.', history) + ".bak");
    }
    const auto ended = processEnded ? processEnded : ProcessEnded;
    std::vector<std::string> chosen;
    for (const auto& file : files) {
        if (file.ageDays <= dayLimit || keep.contains(file.name) || EndsWith(file.name, ".lock") ||
            IsKeptUntilDealtWith(file.name)) {
            continue;
        }
        // Another program's "*.tmp<digits>" may be a file it is writing right now.
        if (const auto tmp = SplitTemporaryName(file.name);
            tmp && (!IsOwnDataFileName(tmp->name) || !ended(tmp->pid))) {
            continue;
        }
        chosen.push_back(file.name);
    }
    return chosen;
}

std::vector<DataFile> ListDataFiles(const std::string& folder, const DateTime& now) {
    std::vector<DataFile> files;
    const double nowSerial = ToSerial(now);
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        struct stat st {};
        if (::stat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            continue;
        }
        const double written = ToSerial(LocalDateTime(st.st_mtime));
        files.push_back({it->path().filename().string(), nowSerial - written});
    }
    std::sort(files.begin(), files.end(),
              [](const DataFile& a, const DataFile& b) { return a.name < b.name; });
    return files;
}

CleanUpOutcome CleanUpOldFiles(const std::string& folder, const std::vector<DataFile>& files,
                               double dayLimit, const std::vector<std::string>& listed,
                               const std::function<bool(const std::string& path)>& moveToTrash) {
    CleanUpOutcome outcome;
    CleanUpRules rules = ReadCleanUpRules(folder + std::string(kRulesFileName));
    if (!rules.refusal.empty()) {
        outcome.refusal = std::move(rules.refusal);
        return outcome;
    }
    rules.combinations.insert(rules.combinations.end(), listed.begin(), listed.end());
    std::vector<std::string> chosen = FilesToCleanUp(files, dayLimit, rules.combinations);
    // Archived pages go once no history reaches back to their day.
    const auto pages =
        ArchiveFoldersToCleanUp(folder, rules.combinations, dayLimit, AppClock().Now());
    chosen.insert(chosen.end(), pages.begin(), pages.end());
    std::vector<std::string> gone;
    for (const auto& name : chosen) {
        const bool moved = moveToTrash && moveToTrash(folder + name);
        (moved ? outcome.trashed : outcome.kept).push_back(name);
        if (moved && std::find(pages.begin(), pages.end(), name) != pages.end()) {
            gone.push_back(name);
        }
    }
    // Days cleaned up on purpose are not to be named as lost by a rebuild.
    ForgetArchiveDays(folder, gone);
    return outcome;
}

}  // namespace rendaal
