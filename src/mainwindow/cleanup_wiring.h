#pragma once

#include <QListWidget>
#include <string>
#include <vector>

namespace rendaal {

// The clean-up of old files at the first paint: lists the data folder's files in fileList and
// moves the old ones no line of the rules needs to the desktop trash. Empty when it could run;
// else why nothing was removed, for the user.
std::string CleanUpDataFolder(const std::string& dataFolder, const std::vector<std::string>& lines,
                              int days, bool rulesWereMissing, const std::string& rulesPath,
                              QListWidget& fileList);

}  // namespace rendaal
