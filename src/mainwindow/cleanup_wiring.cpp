#include "mainwindow/cleanup_wiring.h"

#include "core/clock.h"
#include "core/trash.h"
#include "download/cleanup.h"
#include "platform/qt_text.h"

namespace rendaal {

std::string CleanUpDataFolder(const std::string& dataFolder, const std::vector<std::string>& lines,
                              int days, bool rulesWereMissing, const std::string& rulesPath,
                              QListWidget& fileList) {
    const DateTime now = AppClock().Now();
    const std::vector<DataFile> files = ListDataFiles(dataFolder, now);
    fileList.clear();
    for (const auto& file : files) {
        fileList.addItem(ToQString(file.name));
    }
    if (files.empty()) {
        return {};
    }
    // The start's rules replaced a missing file: the user's own histories are not listed in it.
    if (rulesWereMissing) {
        return "Oude bestanden zijn niet gewist: " + rulesPath + " ontbrak bij de start.";
    }
    const std::string trash = HomeTrashFolder();
    // Left by a clean-up killed between writing an info file and moving its file.
    RemoveOrphanTrashInfo(trash);
    const CleanUpOutcome outcome =
        CleanUpOldFiles(dataFolder, files, days, lines,
                        [&](const std::string& path) { return MoveToTrash(path, trash, now); });
    return outcome.refusal.empty() ? std::string()
                                   : "Oude bestanden zijn niet gewist: " + outcome.refusal + ".";
}

}  // namespace rendaal
