#include "mainwindow/scheduled.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>
#include <system_error>

#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"

namespace rendaal {
namespace {

int MinuteOfDay(const DateTime& t) {
    return t.hour * 60 + t.minute;
}

bool EndsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

}  // namespace

bool IsWorkingDay(const Date& date) {
    const int w = Weekday(date);
    return w >= 2 && w <= 6;
}

bool IsAfterClose(const DateTime& now) {
    return MinuteOfDay(now) >= kClosingMinute;
}

bool ShouldDownloadOnTick(const DateTime& now, const std::optional<Date>& closingRunDate) {
    if (!IsWorkingDay(now.date())) {
        return false;
    }
    const int minute = MinuteOfDay(now);
    if (minute < kOpeningMinute) {
        return false;
    }
    if (minute < kClosingMinute) {
        return true;
    }
    return !closingRunDate || !(*closingRunDate == now.date());
}

std::vector<std::string> FilesToCleanUp(const std::vector<DataFile>& files, double dayLimit,
                                        const std::vector<std::string>& combinations) {
    std::set<std::string> keep = {"Regels.dat", "Rendaal.reg"};
    for (const auto& line : combinations) {
        const std::string history = HistoryFileName(line);
        keep.insert(history);
        keep.insert(BeforeLast('.', history) + ".bak");
    }
    std::vector<std::string> chosen;
    for (const auto& file : files) {
        if (file.ageDays > dayLimit && !keep.contains(file.name) && !EndsWith(file.name, ".lock")) {
            chosen.push_back(file.name);
        }
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

std::vector<std::string> CleanUpOldFiles(const std::string& folder, double dayLimit,
                                         const std::vector<std::string>& combinations,
                                         const DateTime& now) {
    return CleanUpOldFiles(folder, ListDataFiles(folder, now), dayLimit, combinations);
}

std::vector<std::string> CleanUpOldFiles(const std::string& folder,
                                         const std::vector<DataFile>& files, double dayLimit,
                                         const std::vector<std::string>& combinations) {
    std::vector<std::string> deleted;
    for (const auto& name : FilesToCleanUp(files, dayLimit, combinations)) {
        if (RemoveFile(folder + name)) {
            deleted.push_back(name);
        }
    }
    return deleted;
}

}  // namespace rendaal
