#include "mainwindow/download_form.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPalette>
#include <QPointer>
#include <csignal>

#include "core/clock.h"
#include "download/download_run.h"
#include "download/fetch.h"
#include "download/run_lock.h"
#include "platform/app_paths.h"
#include "platform/http_client.h"
#include "platform/qt_text.h"
#include "platform/run_setup.h"
#include "platform/settings_store.h"

namespace rendaal {

TDownloadForm* DownloadForm = nullptr;

namespace {

// Balanced with the caller's own cursor changes however the run ends.
class BusyCursor final {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

void SetColour(QLabel* label, const Color& c) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(c.r, c.g, c.b));
    label->setPalette(palette);
}

}  // namespace

TDownloadForm::TDownloadForm(QWidget* parent) : QWidget(parent) {
    DownloadForm = this;
    setObjectName(QStringLiteral("DownloadForm"));
    // A history file that reaches the process's file size limit must fail its write and be
    // reported, not end the program.
    std::signal(SIGXFSZ, SIG_IGN);
    fetcher_ = std::make_unique<QtPageFetcher>();
    addresses_ = StoredPageAddresses(SettingsStore());
    showError_ = [this](const std::string& text) {
        ShowFailureBox(parentWidget(), QStringLiteral("Rendaal"), ToQString(text));
    };
}

TDownloadForm::~TDownloadForm() {
    if (DownloadForm == this) {
        DownloadForm = nullptr;
    }
}

void TDownloadForm::AttachLabels(const DownloadLabels& labels) {
    labels_ = labels;
}
void TDownloadForm::SetSources(DownloadSources sources) {
    sources_ = std::move(sources);
}
void TDownloadForm::SetFetcher(std::unique_ptr<PageFetcher> fetcher) {
    fetcher_ = std::move(fetcher);
}
void TDownloadForm::SetClock(const Clock* clock) {
    clock_ = clock;
}
void TDownloadForm::SetErrorHandler(std::function<void(const std::string&)> showError) {
    showError_ = std::move(showError);
}
void TDownloadForm::SetPageAddresses(std::string indexUrlBase, std::string optionUrlBase) {
    addresses_.indexUrlBase = std::move(indexUrlBase);
    addresses_.optionUrlBase = std::move(optionUrlBase);
}

void TDownloadForm::ShowStatus(const std::string& text) {
    if (labels_.Label1) {
        labels_.Label1->setText(ToQString(text));
    }
}

void TDownloadForm::ShowError(const std::string& text) {
    if (showError_) {
        showError_(text);
    }
}

std::string TDownloadForm::DataFolder() const {
    return sources_.DataFolder.empty() ? DataFolderFor("Rendaal") : sources_.DataFolder;
}

void TDownloadForm::ShowIndex(const IndexDisplay& d) {
    QLabel* labels[] = {labels_.L21, labels_.L22, labels_.L23, labels_.L24};
    for (QLabel* label : labels) {
        if (!label) {
            return;
        }
    }
    SetColour(labels_.L22, d.L22Colour);
    SetColour(labels_.L23, d.L23Colour);
    labels_.L21->setText(ToQString(d.L21));
    labels_.L22->setText(ToQString(d.L22));
    labels_.L23->setText(ToQString(d.L23));
    labels_.L24->setText(ToQString(d.L24));
    for (QLabel* label : labels) {
        label->adjustSize();
    }
    const IndexLabelLefts lefts = LayoutIndexLabels(labels_.L21->x(), labels_.L21->width(),
                                                    labels_.L22->width(), labels_.L23->width());
    labels_.L22->move(lefts.L22, labels_.L22->y());
    labels_.L23->move(lefts.L23, labels_.L23->y());
    labels_.L24->move(lefts.L24, labels_.L24->y());
}

RunEnvironment TDownloadForm::Environment() {
    RunEnvironment env = BaseRunEnvironment(*fetcher_, DataFolder(), addresses_, clock_);
    env.lines = sources_.CombinationLines;
    env.years = sources_.Years;
    env.lastHistoryIndexValue = sources_.LastHistoryIndexValue;
    env.processEvents = [] { QCoreApplication::processEvents(); };
    env.showIndex = [this](const IndexDisplay& d) { ShowIndex(d); };
    env.showStatus = [this](const std::string& text) { ShowStatus(text); };
    return env;
}

namespace {

QPointer<QMessageBox>& OpenFailureBox() {
    static QPointer<QMessageBox> box;
    return box;
}

}  // namespace

void ShowFailureBox(QWidget* parent, const QString& caption, const QString& text) {
    QPointer<QMessageBox>& box = OpenFailureBox();
    if (box && box->isVisible()) {
        box->setText(text);
        box->raise();
        box->activateWindow();
        return;
    }
    box = new QMessageBox(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("FailureBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void CloseFailureBox() {
    if (QPointer<QMessageBox>& box = OpenFailureBox(); box) {
        box->close();
    }
}

bool TDownloadForm::RunDownload(bool byTimer) {
    if (running_) {
        return false;
    }
    running_ = true;
    RunResult result;
    {
        const BusyCursor busy;
        const RunEnvironment env = Environment();
        RunLock lock(env.dataFolder);
        if (auto refused = HoldDataFolder(lock, state_, env)) {
            result = *refused;
        } else {
            result = rendaal::RunDownload(state_, env);
            if (afterRun_) {
                afterRun_();
            }
        }
    }
    running_ = false;
    if (result.outcome == RunOutcome::Busy) {
        return false;
    }
    lastResult_ = result;
    // Notes are the main window's to show, once each. A failure the user has already been told
    // of is carried by the status line and the greyed index row.
    if (const auto text = notices_.After(result, byTimer)) {
        ShowError(*text);
    } else if (result.outcome == RunOutcome::Downloaded) {
        CloseFailureBox();
    }
    return true;
}

bool TDownloadForm::ProcessCombinations(const std::string& page, const TDataRec& rec) {
    if (running_) {
        return false;
    }
    const RunEnvironment env = Environment();
    RunLock lock(env.dataFolder);
    if (const auto refused = HoldDataFolder(lock, state_, env)) {
        // Busy: the caller tries again once the folder is free; an error would not go away.
        if (!refused->error.empty()) {
            ShowError(refused->error);
        }
        return refused->outcome != RunOutcome::Busy;
    }
    running_ = true;
    const PassResult result = rendaal::ProcessCombinations(state_, page, rec, env);
    if (page == state_.QuotePage) {
        if (std::string note = ArchiveReprocessedPass(state_, env, result); !note.empty()) {
            lastResult_.notes.push_back(std::move(note));
        }
    }
    if (afterRun_) {
        afterRun_();
    }
    running_ = false;
    if (!result.error.empty()) {
        ShowStatus(std::string(kFailedStatus));
        ShowError(result.error);
    }
    return true;
}

}  // namespace rendaal
