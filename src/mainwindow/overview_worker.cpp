#include "mainwindow/overview_worker.h"

#include <atomic>
#include <utility>

#include "analytics/overview_cache.h"

namespace rendaal {

struct TOverviewWorker::Shared {
    std::atomic<uint64_t> latest{0};
    std::atomic<uint64_t> latestIv{0};
    std::atomic<bool> quitting{false};
    OverviewCache cache;  // touched on the worker's thread only
};

TOverviewWorker::TOverviewWorker(QObject* parent)
    : QObject(parent), shared_(std::make_shared<Shared>()) {
    thread_.setObjectName(QStringLiteral("overview"));
    runner_ = new QObject;
    runner_->moveToThread(&thread_);
    connect(&thread_, &QThread::finished, runner_, &QObject::deleteLater);
    thread_.start();
}

TOverviewWorker::~TOverviewWorker() {
    shared_->quitting = true;
    thread_.quit();
    thread_.wait();
}

void TOverviewWorker::Request(const std::string& folder, const std::vector<std::string>& lines,
                              const Rates& rates, const DateTime& now) {
    const uint64_t id = ++requested_;
    shared_->latest = id;
    QMetaObject::invokeMethod(
        runner_,
        [this, shared = shared_, id, folder, lines, rates, now] {
            auto superseded = [&] { return shared->latest != id || shared->quitting; };
            if (superseded()) {
                return;
            }
            auto rows = shared->cache.Load(folder, lines, rates, now, superseded);
            if (!rows) {
                return;
            }
            // The destructor waits for this thread, so this object is still there; an answer
            // still queued when it goes is dropped with it.
            QMetaObject::invokeMethod(
                this,
                [this, id, lines, rows = std::move(*rows)]() mutable {
                    if (id != requested_) {
                        return;
                    }
                    lines_ = std::move(lines);
                    rows_ = std::move(rows);
                    emit Ready();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

void TOverviewWorker::RequestIv(const std::string& folder, const std::string& fileName,
                                const Rates& rates) {
    const uint64_t id = ++ivRequested_;
    shared_->latestIv = id;
    QMetaObject::invokeMethod(
        runner_,
        [this, shared = shared_, id, folder, fileName, rates] {
            if (shared->latestIv != id || shared->quitting) {
                return;
            }
            auto rows = shared->cache.Iv(folder, fileName, rates);
            QMetaObject::invokeMethod(
                this,
                [this, id, fileName, rows = rows.value_or(std::vector<IvRow>{})]() mutable {
                    if (id != ivRequested_) {
                        return;
                    }
                    ivFile_ = fileName;
                    ivRows_ = std::move(rows);
                    emit IvReady();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}

}  // namespace rendaal
