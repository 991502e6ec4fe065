#include "mainwindow/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <algorithm>

#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/market_hours.h"
#include "core/text.h"
#include "download/conflict_merge.h"
#include "mainwindow/archive_rebuild.h"
#include "mainwindow/cleanup_wiring.h"
#include "mainwindow/overview_form.h"
#include "mainwindow/startup.h"
#include "mainwindow/window_place.h"
#include "mainwindow/window_roles.h"
#include "platform/app_paths.h"
#include "platform/help.h"
#include "platform/qt_text.h"
#include "platform/settings_store.h"

namespace rendaal {

TMainForm* MainForm = nullptr;

namespace {

constexpr int kImageHeight = 474;
constexpr int kDesignWidth = 676;
// Below the preferred height the list keeps this many rows and the chart this many pixels.
constexpr int kMinListRows = 3;
constexpr int kMinChartHeight = 240;
constexpr int kPreferredListRows = 8;
}  // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) {
    MainForm = this;
    AnnounceWindowsAsFrames();
    // 17 pixels at the usual 96 dpi; in points, so it follows a desktop set to larger fonts.
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(12.75);
    setFont(font);

    Image1 = new TChartView(*this);
    Panel1 = new TMainPanel(this);
    static_cast<PanelControls&>(*this) = *Panel1;
    ListBox1 = new TCombinationList(this);
    UpdateTimer = new QTimer(this);
    UpdateTimer->setInterval(60000);

    InfoPopup = new QMenu(this);
    Help1 = InfoPopup->addAction(QStringLiteral("Help"));
    Help1->setShortcut(QKeySequence(Qt::Key_F1));
    Help1->setShortcutContext(Qt::WidgetShortcut);
    OverRendaal1 = InfoPopup->addAction(QStringLiteral("Over Rendaal"));

    DownloadTimer = new QTimer(this);
    DownloadTimer->setInterval(60000);

    FileListBox = new QListWidget(this);
    FileListBox->hide();

    connect(VoegToeButton, &QPushButton::clicked, this, &TMainForm::VoegToeButtonClick);
    connect(DownloadBtn, &QPushButton::clicked, this, &TMainForm::DownloadBtnClick);
    connect(DelButton, &QPushButton::clicked, this, &TMainForm::DelButtonClick);
    // Clicks and arrow keys both change the selection; the program's own changes are silent.
    connect(ListBox1, &QListWidget::currentRowChanged, this, &TMainForm::ListBox1Click);
    connect(SpeedInfo, &QToolButton::clicked, this, &TMainForm::SpeedInfoClick);
    connect(UpdateTimer, &QTimer::timeout, this, &TMainForm::UpdateTimerTimer);
    connect(DownloadTimer, &QTimer::timeout, this, &TMainForm::DownloadTimerTimer);
    connect(Help1, &QAction::triggered, this, &TMainForm::Help1Click);
    connect(OverRendaal1, &QAction::triggered, this, &TMainForm::OverRendaal1Click);
    connect(ListBox1->HerstelUitArchief, &QAction::triggered, this,
            &TMainForm::HerstelUitArchiefClick);
    connect(InstellingenButton, &QPushButton::clicked, this, &TMainForm::InstellingenButtonClick);
    connect(ModeButton, &QPushButton::clicked, this, &TMainForm::ModeButtonClick);
    connect(ApartButton, &QPushButton::clicked, this, &TMainForm::ApartButtonClick);

    connect(ListBox1, &TCombinationList::Reloaded, this, [this](bool selectionLost) {
        if (selectionLost) {
            ShowSelected();
        }
    });
    connect(this, &TMainForm::FirstFrameShown, Panel1, &TMainPanel::LoadStyleIcons);
    Panel1->LayoutControls();
    setTabOrder(ApartButton, ListBox1);
    setTabOrder(ListBox1, Image1);
    auto* quit = new QAction(QStringLiteral("Afsluiten"), this);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    addAction(quit);
    connect(quit, &QAction::triggered, this, &QWidget::close);

    firstLineTimer_ = new QTimer(this);
    firstLineTimer_->setInterval(1000);
    connect(firstLineTimer_, &QTimer::timeout, this, &TMainForm::TryWaitingFirstLine);
    UpdateTimer->start();
    FormCreate();
}

TMainForm::~TMainForm() {
    if (MainForm == this) {
        MainForm = nullptr;
    }
}

void TMainForm::FormCreate() {
    FirstPaintDone = false;
    ProgramName = "Rendaal";
    VersionText = "versie 1.10a";
    AboutText = "Ontwerp en programmering: Jan de Vries";
    setWindowTitle(ToQString(ProgramName + ", " + VersionText));
    HoverReady = false;

    StartFolder = rendaal::StartFolder();
    HelpFilePath = HelpPagePath(StartFolder);
    if (!FileExists(HelpFilePath)) {
        ShowUserMessage(ToQString(ProgramName), ToQString("Help file not found\r" + HelpFilePath));
    }
    auto* help = new HelpKeyFilter(
        HelpFilePath, [this](const std::string& address) { ShowHelpFailure(address); }, this);
    qApp->installEventFilter(help);
    SetHelpContext(this, 1000);

    const SettingsStore store;
    if (!store.problem().empty()) {
        ShowUserMessage(ToQString(ProgramName), ToQString(store.problem()));
    }
    const std::string settingsFolder = BeforeLast('/', store.path()) + "/";
    for (const auto& copy : ConflictCopiesOf(settingsFolder, "Rendaal.reg")) {
        ShowUserNote(ToQString(ProgramName),
                     ToQString(SettingsCopyNote(settingsFolder + copy, store.path())));
    }
    const WindowSettings settings = ReadWindowSettings(store);
    PlaceWindow(store);
    BlocksView = settings.Blokjes;
    SeparateView = settings.Apart;
    Panel1->resize(width(), Panel1->PanelHeight());
    Panel1->PlaceInfoButton();
    LayoutControls();
    Panel1->ShowViews(BlocksView, SeparateView);

    DataFolder = DataFolderFor(ProgramName);
    if (!HasFileWithExtension(DataFolder, "dat")) {
        CopyStartFiles(StartFolder, DataFolder, "dat");
        CopyStartFiles(StartFolder, DataFolder, "csv");
        startFilesCopied_ = true;
    }
    ListBox1->Fill(LoadCombinationLines(RulesFilePath()));
    ListBox1->Select(0);
    ListBox1->Watch(DataFolder, RulesFilePath());
}

void TMainForm::PlaceWindow(const SettingsStore& store) {
    const QSize minimum = MinimumClientSize();
    const ScreenArea placed = PlaceOnStoredScreen(store, minimum, PreferredClientSize());
    // A screen smaller than the minimum wins: a window larger than the screen is of no use.
    setMinimumSize(std::min(minimum.width(), placed.width),
                   std::min(minimum.height(), placed.height));
    move(placed.left, placed.top);
    resize(placed.width, placed.height);
}

QSize TMainForm::MinimumClientSize() const {
    return {std::max(kDesignWidth, Panel1->MinimumWidth()),
            Panel1->PanelHeight() + ListBox1->HeightFor(kMinListRows) + kMinChartHeight};
}

QSize TMainForm::PreferredClientSize() const {
    return {MinimumClientSize().width(),
            Panel1->PanelHeight() + ListBox1->HeightFor(kPreferredListRows) + kImageHeight};
}

void TMainForm::LayoutControls() {
    const int w = width();
    const int h = height();
    const int panel = Panel1->PanelHeight();
    Panel1->setGeometry(0, 0, w, panel);
    // The chart keeps its height while the list has rows to give; below that both give.
    const int below = std::max(h - panel, 0);
    const int image = std::clamp(below - ListBox1->HeightFor(kMinListRows), 0, kImageHeight);
    Image1->setGeometry(0, h - image, w, image);
    ListBox1->setGeometry(0, panel, w, below - image);
    Panel1->FitLabels();
}

void TMainForm::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!FirstPaintDone) {
        FirstPaintDone = true;
        // The first paint's work lets events run and downloads; not from inside a paint. The
        // timer runs once the painted frame has been handed to the display.
        QTimer::singleShot(0, this, [this] {
            firstFrameShown_ = true;
            emit FirstFrameShown();
            FormPaint();
        });
    }
}

void TMainForm::FormPaint() {
    const ScheduleSettings settings =
        hooks_.scheduleSettings ? hooks_.scheduleSettings() : ScheduleSettings{};
    if (!settings.UpdatesOn) {
        UpdateTimer->stop();
    }
    if (settings.OpruimOn) {
        RunCleanup();
    }
    ShowSelected();
    QCoreApplication::processEvents();
    DownloadBtnClick();
}

void TMainForm::RunCleanup() {
    const ScheduleSettings settings =
        hooks_.scheduleSettings ? hooks_.scheduleSettings() : ScheduleSettings{};
    const std::string refusal = CleanUpDataFolder(DataFolder, Combinations(), settings.Days,
                                                  startFilesCopied_, RulesFilePath(), *FileListBox);
    if (!refusal.empty()) {
        ShowUserMessage(ToQString(ProgramName), ToQString(refusal));
    }
}

void TMainForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutControls();
    FormResize();
}

void TMainForm::FormResize() {
    if (!FirstPaintDone) {
        return;
    }
    Panel1->PlaceInfoButton();
    Panel1->FitLabels();
    ShowSelected();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
    QCoreApplication::quit();
}

void TMainForm::FormClose() {
    SettingsStore store;
    WriteWindowSettings(store, {x(), y(), width(), height(), BlocksView, SeparateView});
}

void TMainForm::ShowSelected() {
    if (Combinations().empty()) {
        // Nothing on screen may still speak for a combination that is gone.
        Image1->Clear();
        Panel1->ClearResult();
        Label1->setText(QStringLiteral("Geen combinaties: voeg er een toe met Voegtoe"));
        return;
    }
    const int index = SelectedIndex();
    if (index < 0) {
        return;
    }
    if (const auto outputs = Image1->Draw(Combinations()[static_cast<size_t>(index)])) {
        Panel1->ApplyChartOutputs(*outputs);
    }
}

void TMainForm::ListBox1Click() {
    ShowSelected();
}

void TMainForm::ModeButtonClick() {
    BlocksView = !BlocksView;
    Panel1->ShowViews(BlocksView, SeparateView);
    ShowSelected();
}

void TMainForm::ApartButtonClick() {
    SeparateView = !SeparateView;
    Panel1->ShowViews(BlocksView, SeparateView);
    ShowSelected();
}

void TMainForm::DownloadBtnClick() {
    // A run lets events run while it waits; a second click then must not start another.
    if (downloading_) {
        return;
    }
    downloading_ = true;
    const DateTime now = AppClock().Now();
    if (IsWorkingDay(now.date()) && IsAfterClose(now)) {
        closingRunDate_ = now.date();
    }
    Label1->setText(QStringLiteral("Downloading..."));
    Panel1->HoldIndexRow();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    if (hooks_.resetPriceCount) {
        hooks_.resetPriceCount();
    }
    const bool ran = hooks_.runDownload ? hooks_.runDownload() : false;
    // Held blank during the run; text in it now is a fresh read.
    const bool fresh = !L21->text().isEmpty();
    Panel1->SettleIndexRow(!ran);
    ExplainTimes(fresh);
    HoverReady = true;
    ShowSelected();
    QApplication::restoreOverrideCursor();
    downloading_ = false;
    if (ran) {
        ShowRunNotes();
        OfferRulesCopies();
    }
    if (firstLineWaiting_) {
        TryWaitingFirstLine();
    }
    QCoreApplication::processEvents();
}

void TMainForm::ShowRunNotes() {
    const std::vector<std::string> notes =
        hooks_.lastRunNotes ? hooks_.lastRunNotes() : std::vector<std::string>{};
    // Each note once: a timer run every few minutes must not repeat the same box.
    std::string text;
    for (const std::string& note : notes) {
        if (std::find(notesShown_.begin(), notesShown_.end(), note) == notesShown_.end()) {
            notesShown_.push_back(note);
            text += (text.empty() ? "" : "\r") + note;
        }
    }
    if (!text.empty()) {
        ShowUserNote(ToQString(ProgramName), ToQString(text));
    }
}

void TMainForm::BringToFront() {
    if (isMinimized()) {
        showNormal();
    }
    show();
    raise();
    activateWindow();
    // Where the window manager does not let a window take the focus, it at least asks for it.
    QApplication::alert(this);
}

void TMainForm::InstellingenButtonClick() {
    if (hooks_.showOptions) {
        hooks_.showOptions();
    }
}

void TMainForm::DownloadTimerTimer() {
    if (ShouldDownloadOnTick(AppClock().Now(), closingRunDate_)) {
        timerRun_ = true;
        DownloadBtnClick();
        timerRun_ = false;
    }
}

void TMainForm::HerstelUitArchiefClick() {
    QAction* action = ListBox1->HerstelUitArchief;
    // The rebuild waits for no download: it takes the run lock or says a download runs.
    if (!StartArchiveRebuild(this, DataFolder, [this, action](const RebuildResult& result) {
            action->setEnabled(true);
            ShowSelected();
            ListBox1->RefreshMarks();
            ShowUserMessage(ToQString(ProgramName), ToQString(RebuildSummary(result)));
        })) {
        return;
    }
    action->setEnabled(false);
}

void TMainForm::UpdateTimerTimer() {
    UpdateTimer->stop();
    if (hooks_.checkAtStart) {
        hooks_.checkAtStart(ProgramName.substr(0, 255), VersionText.substr(0, 255));
    }
}

void TMainForm::SaveChartClick() {
    const int index = SelectedIndex();
    Image1->SaveAs(index >= 0 ? Combinations()[static_cast<size_t>(index)] : std::string());
}

void TMainForm::TheorieClick() {
    TheoryView = !TheoryView;
    StoreTheoryView(TheoryView);
    ShowSelected();
}

bool TMainForm::SaveChartTo(const QString& path) {
    return Image1->SaveTo(path);
}

}  // namespace rendaal
