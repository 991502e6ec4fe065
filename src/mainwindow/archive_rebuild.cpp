#include "mainwindow/archive_rebuild.h"

#include <QThread>
#include <memory>

namespace rendaal {
namespace {

bool gRunning = false;

}  // namespace

bool StartArchiveRebuild(QObject* context, const std::string& dataFolder,
                         std::function<void(const RebuildResult&)> done) {
    if (gRunning) {
        return false;
    }
    gRunning = true;
    auto result = std::make_shared<RebuildResult>();
    QThread* worker =
        QThread::create([result, dataFolder] { *result = RebuildLocked(dataFolder, {}); });
    // The thread ends and is freed whether or not the window still waits for it.
    QObject::connect(worker, &QThread::finished, worker, [worker] {
        gRunning = false;
        worker->deleteLater();
    });
    QObject::connect(worker, &QThread::finished, context,
                     [result, done = std::move(done)] { done(*result); });
    worker->start();
    return true;
}

}  // namespace rendaal
