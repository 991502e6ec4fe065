#pragma once

#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "charts/chart_state.h"
#include "charts/frame.h"
#include "core/calendar.h"
#include "mainwindow/chart_view.h"
#include "mainwindow/combination_list.h"
#include "mainwindow/main_panel.h"
#include "mainwindow/user_message.h"

namespace rendaal {

class SettingsStore;

// The settings the main window's scheduled work reads at its first paint.
struct ScheduleSettings {
    bool UpdatesOn = true;  // "Updates Aan"
    bool OpruimOn = false;  // "Opruimen Aan"
    int Days = 30;          // "Aantal dagen"
};

// How the main window reaches the other windows; set by CreateAppWindows after all windows
// exist. A missing member means that part does nothing.
struct MainFormHooks {
    std::function<bool()> runDownload;  // DownloadForm->RunDownload(); false when refused
    std::function<void()> resetPriceCount;
    // ProcessCombinations with the last run's QuotePage and TDataRec; false when a run here or
    // in the companion holds the data folder and nothing was done.
    std::function<bool()> processLastPage;
    // What the last run had to tell besides its status (a history rebuilt from its backup, ...).
    std::function<std::vector<std::string>()> lastRunNotes;
    // Conflict copies of the rules file that the last run found.
    std::function<std::vector<std::string>()> lastRunRulesCopies;
    // The question about one: 1 take its lines, 0 keep the own list, -1 decide later.
    std::function<int(const QString& caption, const QString& question)> askRulesCopy;
    // The yes/no question; true for yes.
    std::function<bool(const QString& caption, const QString& question)> askYes;
    std::function<void()> showAddForm;
    std::function<void()> showAbout;
    std::function<void()> showOptions;
    std::function<void(const std::string& program, const std::string& version)> checkAtStart;
    std::function<ScheduleSettings()> scheduleSettings;
    // Draws the selected combination's chart (every pass) at the given size; unset: the
    // program's charts.
    std::function<QImage(const std::string& historyFileName, QSize size, bool blocks,
                         bool separate)>
        renderChart;
    std::function<std::string()> quoteTimeText;  // of the last index page read
    std::function<QString()> hoverText;  // the read-out, lines ended by CR; unset: the program's
    std::function<bool(const QImage& image, const QString& path)> saveChartPng;
};

// The main window: the combination list, the chart of the selected combination, the buttons
// and the status labels; it owns the program-wide state the other windows read. The panel, the
// list and the chart view do their own work; the window wires them together.
class TMainForm final : public QWidget, public PanelControls {
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Controls (public: the download run and the charts write their result labels). The
    // buttons and labels are the panel's.
    TChartView* Image1 = nullptr;
    TMainPanel* Panel1 = nullptr;
    TCombinationList* ListBox1 = nullptr;
    QTimer* UpdateTimer = nullptr;
    QMenu* InfoPopup = nullptr;
    QAction* Help1 = nullptr;
    QAction* OverRendaal1 = nullptr;
    QTimer* DownloadTimer = nullptr;
    QListWidget* FileListBox = nullptr;

    // Program-wide state.
    std::string ProgramName = "Rendaal";
    std::string VersionText = "versie 1.10a";
    std::string AboutText;
    std::string StartFolder;   // shipped start files and help, ending in "/"
    std::string DataFolder;    // rules file and history files, ending in "/"
    std::string HelpFilePath;  // the help page
    bool BlocksView = true;
    bool SeparateView = true;
    bool HoverReady = false;
    bool TheoryView = false;  // "Theorie": the block chart shows today's theoretical value
    bool FirstPaintDone = false;
    // What the last chart left behind (hover read-out, the download's price window).
    ChartState Charts;

    // The combination lines in list order, byte for byte as in the rules file (ListBox1 shows
    // them; its texts are not used to write the file back).
    const std::vector<std::string>& Combinations() const { return ListBox1->Lines(); }
    int SelectedIndex() const { return ListBox1->SelectedIndex(); }
    std::string RulesFilePath() const { return DataFolder + "Regels.dat"; }

    // Called by the add dialog's OK: sorts the line in, saves the rules file, selects it, gives
    // every combination a history line from the last quote page and redraws.
    // False (nothing changes) for a line the rules file cannot hold: empty, starting with ";", or
    // holding a line break.
    bool AddCombination(const std::string& line);

    void SetHooks(MainFormHooks hooks) { hooks_ = std::move(hooks); }
    MainFormHooks& Hooks() { return hooks_; }

    // Client sizes: the least that shows the whole panel with a few list rows and a chart, and
    // what a first start opens at (the panel, eight list rows and the chart at its full height).
    QSize MinimumClientSize() const;
    QSize PreferredClientSize() const;
    // The index row holds the values of an earlier read, greyed, after a run that read none.
    bool IndexRowIsOld() const { return Panel1->IndexRowIsOld(); }
    // True while a new combination waits for the data folder to get its first history line.
    bool FirstLineWaiting() const { return firstLineWaiting_; }
    // A second start for the same data folder asked for this window.
    void BringToFront();

    // Writes the chart last drawn as a PNG file (replaced whole); tells the user when it fails.
    bool SaveChartTo(const QString& path);

    // The chart image last drawn (null before the first chart).
    const QImage& ChartImage() const { return Image1->Image(); }

    // True while DownloadTimer's tick runs a download: a failure the user was already told of
    // then opens no new box.
    bool InTimerRun() const { return timerRun_; }

    // Shown, but its first frame not yet on the screen: work that can wait, waits for it.
    bool AwaitingFirstFrame() const { return isVisible() && !firstFrameShown_; }

signals:
    // The first frame is on the screen; the first chart and download follow.
    void FirstFrameShown();

public slots:
    void ShowSelected();
    void ListBox1Click();
    void ModeButtonClick();
    void ApartButtonClick();
    void DownloadBtnClick();
    void DelButtonClick();
    void VoegToeButtonClick();
    void InstellingenButtonClick();
    void SpeedInfoClick();
    void Help1Click();
    void OverRendaal1Click();
    void DownloadTimerTimer();
    void UpdateTimerTimer();
    void HerstelUitArchiefClick();
    void SaveChartClick();
    void TheorieClick();
    void ShowHelpFailure(const std::string& address);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormPaint();
    void FormResize();
    void FormClose();
    void LayoutControls();
    void PlaceWindow(const SettingsStore& store);
    void ShowRunNotes();
    void OfferRulesCopies();
    void TryWaitingFirstLine();
    bool SaveRulesFile();
    bool ProcessLastPage();  // false while the data folder is held
    void RunCleanup();
    void ExplainTimes(bool freshRead);  // tooltips of the status and the index row's time

    MainFormHooks hooks_;
    bool downloading_ = false;
    bool timerRun_ = false;
    bool saveFailureShown_ = false;
    bool startFilesCopied_ = false;  // this start put the shipped rules in place of none
    std::optional<Date> closingRunDate_;
    std::optional<DateTime> lastGoodRead_;  // of the index row
    std::vector<std::string> notesShown_;
    std::vector<std::string> rulesCopiesOffered_;  // asked once while the program runs
    bool firstFrameShown_ = false;
    bool firstLineWaiting_ = false;
    QTimer* firstLineTimer_ = nullptr;
};

// The main window of the running program (set while it exists).
extern TMainForm* MainForm;

}  // namespace rendaal
