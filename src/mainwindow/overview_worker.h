#pragma once

#include <QObject>
#include <QThread>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analytics/overview.h"

namespace rendaal {

// Reads the histories for the list's marks, the overview and its volatility chart away from
// the window, remembering each file until it changes. A newer request supersedes an older one still
// running; the answer comes back on the window's thread. Quitting waits at most for the file being
// read.
class TOverviewWorker final : public QObject {
    Q_OBJECT

public:
    explicit TOverviewWorker(QObject* parent = nullptr);
    ~TOverviewWorker() override;

    void Request(const std::string& folder, const std::vector<std::string>& lines,
                 const Rates& rates, const DateTime& now);

    // The volatility history of one history file, for Overzicht's chart; the newest request
    // supersedes older ones. Answered by IvReady.
    void RequestIv(const std::string& folder, const std::string& fileName, const Rates& rates);
    const std::string& IvFileName() const { return ivFile_; }
    // Empty when the file could not be read.
    const std::vector<IvRow>& IvRows() const { return ivRows_; }

    // The newest answer: the lines asked for and their rows in the same order.
    const std::vector<std::string>& Lines() const { return lines_; }
    const std::vector<OverviewRow>& Rows() const { return rows_; }

signals:
    void Ready();
    void IvReady();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    QThread thread_;
    QObject* runner_ = nullptr;  // lives on thread_
    uint64_t requested_ = 0;
    std::vector<std::string> lines_;
    std::vector<OverviewRow> rows_;
    uint64_t ivRequested_ = 0;
    std::string ivFile_;
    std::vector<IvRow> ivRows_;
};

}  // namespace rendaal
