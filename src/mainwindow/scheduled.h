#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "core/calendar.h"

// The main window's own work: the periodic download and the clean-up of old data files.
namespace rendaal {

// From this time of day on the market has closed and the day's closing prices are out.
inline constexpr int kClosingMinute = 17 * 60 + 35;
inline constexpr int kOpeningMinute = 9 * 60;

bool IsWorkingDay(const Date& date);
// Whether a download started at now catches the closing prices (17:35 or later).
bool IsAfterClose(const DateTime& now);

// A download-timer tick runs on working days from 09:00 until 17:35, and once more at or after
// 17:35 for the closing prices unless a run after the close already happened that day
// (closingRunDate). Nothing before 09:00, at weekends, or later that evening.
bool ShouldDownloadOnTick(const DateTime& now, const std::optional<Date>& closingRunDate);

struct DataFile {
    std::string name;
    double ageDays = 0;  // now − last modification, in days with fractions
};

// The files of the data folder that the clean-up deletes: older than dayLimit days (an age
// exactly equal stays), never the rules file, the history file or backup of a combination that
// is still listed, the settings file or a lock file.
std::vector<std::string> FilesToCleanUp(const std::vector<DataFile>& files, double dayLimit,
                                        const std::vector<std::string>& combinations);

// The regular files of the folder with their ages at now (local time).
std::vector<DataFile> ListDataFiles(const std::string& folder, const DateTime& now);

// Deletes what FilesToCleanUp chooses in folder; returns the names deleted. A file that cannot
// be deleted stays.
std::vector<std::string> CleanUpOldFiles(const std::string& folder, double dayLimit,
                                         const std::vector<std::string>& combinations,
                                         const DateTime& now);
// The same on files already listed.
std::vector<std::string> CleanUpOldFiles(const std::string& folder,
                                         const std::vector<DataFile>& files, double dayLimit,
                                         const std::vector<std::string>& combinations);

}  // namespace rendaal
