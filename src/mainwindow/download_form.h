#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "download/download_run.h"
#include "download/download_state.h"
#include "download/failure_notice.h"
#include "platform/run_setup.h"

namespace rendaal {
struct IndexDisplay;
struct RunEnvironment;
}  // namespace rendaal

class QLabel;

namespace rendaal {

class Clock;
class PageFetcher;

// The main window's labels that show a run's results: Label1 the status, L21..L24 the index
// read-out ("AEX:", level, change, "@ " + quote time).
struct DownloadLabels {
    QLabel* Label1 = nullptr;
    QLabel* L21 = nullptr;
    QLabel* L22 = nullptr;
    QLabel* L23 = nullptr;
    QLabel* L24 = nullptr;
};

// What the run needs from the rest of the program, asked at the moment it is needed.
struct DownloadSources {
    std::function<std::vector<std::string>()> CombinationLines;  // ListBox1's lines, in order
    std::function<int()> Years;                                  // "Aantal jaren", 1..5
    std::function<double()> LastHistoryIndexValue;               // 0 until a chart was drawn
    std::string DataFolder;                                      // ends with "/"
};

// Never shown; carries the quote download and owns its program-wide state.
class TDownloadForm final : public QWidget {
    Q_OBJECT

public:
    explicit TDownloadForm(QWidget* parent = nullptr);
    ~TDownloadForm() override;

    void AttachLabels(const DownloadLabels& labels);
    void SetSources(DownloadSources sources);

    // One whole run (index page, option page, every combination, bounded restarts). Returns
    // false and does nothing while a run is in progress here or in the companion program. A
    // failed run opens its box unless byTimer and it failed as the last failed run did.
    bool RunDownload(bool byTimer = false);
    // Processes every combination line against an already downloaded page (the add dialog
    // calls it with QuotePage and the DataRec of the last run). Refused (false) while a run here
    // or in the companion program holds the data folder.
    bool ProcessCombinations(const std::string& page, const TDataRec& rec);
    // What the last run came to (its notes above all); empty before the first.
    const RunResult& LastResult() const { return lastResult_; }
    bool Running() const { return running_; }

    DownloadState& State() { return state_; }
    const DownloadState& State() const { return state_; }

    // For tests: another fetcher, clock, error display or page addresses.
    void SetFetcher(std::unique_ptr<PageFetcher> fetcher);
    void SetClock(const Clock* clock);
    void SetErrorHandler(std::function<void(const std::string&)> showError);
    void SetPageAddresses(std::string indexUrlBase, std::string optionUrlBase);
    // Runs at the end of every run that took the data folder, with its lock still held.
    void SetAfterRun(std::function<void()> afterRun) { afterRun_ = std::move(afterRun); }

private:
    void ShowStatus(const std::string& text);
    void ShowError(const std::string& text);
    void ShowIndex(const IndexDisplay& display);
    std::string DataFolder() const;
    RunEnvironment Environment();

    DownloadState state_;
    DownloadLabels labels_;
    DownloadSources sources_;
    std::unique_ptr<PageFetcher> fetcher_;
    const Clock* clock_ = nullptr;
    std::function<void(const std::string&)> showError_;
    PageAddresses addresses_;
    bool running_ = false;
    RunResult lastResult_;
    std::function<void()> afterRun_;
    FailureNotices notices_;
};

// The one failure box of the program: a second failure replaces the text of the open box and
// brings it to the front instead of stacking another on top of it.
void ShowFailureBox(QWidget* parent, const QString& caption, const QString& text);
// A run that succeeded ends what the open failure box says.
void CloseFailureBox();

// Set by the constructor; the one instance lives for the whole program.
extern TDownloadForm* DownloadForm;

}  // namespace rendaal
