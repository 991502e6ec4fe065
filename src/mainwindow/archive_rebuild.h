#pragma once

#include <QObject>
#include <functional>
#include <string>

#include "download/rebuild.h"

// "Herstel uit archief" of the combination list: the rebuild runs on a worker thread under the
// data folder's run lock, so that the window stays usable through a year of pages.
namespace rendaal {

// Starts the rebuild; done runs on context's thread with the result, unless context is gone.
// False (and nothing started) while a rebuild of this window still runs.
bool StartArchiveRebuild(QObject* context, const std::string& dataFolder,
                         std::function<void(const RebuildResult&)> done);

}  // namespace rendaal
