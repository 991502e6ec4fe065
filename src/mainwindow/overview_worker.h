#pragma once

#include <QObject>
#include <QThread>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "analytics/overview.h"

namespace rendaal {

// Reads the histories for the list's marks and the overview away from the window, remembering
// each file until it changes. A newer request supersedes an older one still running; the
// answer comes back on the window's thread. Quitting waits at most for the file being read.
class TOverviewWorker final : public QObject {
    Q_OBJECT

public:
    explicit TOverviewWorker(QObject* parent = nullptr);
    ~TOverviewWorker() override;

    void Request(const std::string& folder, const std::vector<std::string>& lines,
                 const Rates& rates, const DateTime& now);

    // The newest answer: the lines asked for and their rows in the same order.
    const std::vector<std::string>& Lines() const { return lines_; }
    const std::vector<OverviewRow>& Rows() const { return rows_; }

signals:
    void Ready();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    QThread thread_;
    QObject* runner_ = nullptr;  // lives on thread_
    uint64_t requested_ = 0;
    std::vector<std::string> lines_;
    std::vector<OverviewRow> rows_;
};

}  // namespace rendaal
