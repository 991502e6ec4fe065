#include "mainwindow/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QFrame>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QToolTip>
#include <algorithm>
#include <climits>
#include <filesystem>

#include "charts/hover.h"
#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/market_hours.h"
#include "core/text.h"
#include "core/trash.h"
#include "download/cleanup.h"
#include "mainwindow/overview_form.h"
#include "mainwindow/startup.h"
#include "platform/app_paths.h"
#include "platform/chart_render.h"
#include "platform/help.h"
#include "platform/qt_text.h"
#include "platform/settings_store.h"
#include "platform/theory_render.h"

namespace rendaal {

TMainForm* MainForm = nullptr;

namespace {

UserMessageFn gMessageHandler;

constexpr int kPanelHeight = 91;
constexpr int kImageHeight = 474;
constexpr int kItemHeight = 20;
constexpr int kDesignWidth = 676;
// Below the preferred height the list keeps this many rows and the chart this many pixels.
constexpr int kMinListRows = 3;
constexpr int kMinChartHeight = 240;
constexpr int kPreferredListRows = 8;
// Room kept between a text and the info button.
constexpr int kInfoGap = 6;
// The window frame is only known once the window is shown; what a usual one takes.
constexpr int kFrameWidth = 10;
constexpr int kFrameHeight = 40;
// The longest texts the panel's rows show, for the width that shows them whole.
constexpr const char* kLongestStatus = "Gedownload: 123 koersen (niet alle koersen gevonden)";
constexpr const char* kIndexRowSample[] = {"AEX:", "1234,56", "-123,45", "@ 07-12-2026 17:35:00"};

QPushButton* MakeButton(QWidget* parent, const char* text, int x, int y) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setGeometry(x, y, 120, 31);
    return button;
}

// Sized to their texts whenever those change (FitLabels).
QLabel* MakeLabel(QWidget* parent, int x, int y) {
    auto* label = new QLabel(QStringLiteral("---"), parent);
    label->move(x, y);
    label->adjustSize();
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

// The width a button needs for the widest of the captions it can show.
int ButtonWidth(const QPushButton* button, std::initializer_list<const char*> captions) {
    const QFontMetrics fm(button->font());
    const int chrome = button->sizeHint().width() - fm.horizontalAdvance(button->text());
    int width = 0;
    for (const char* caption : captions) {
        width = std::max(width, chrome + fm.horizontalAdvance(QString::fromUtf8(caption)));
    }
    return width;
}

}  // namespace

void SetUserMessageHandler(UserMessageFn handler) {
    gMessageHandler = std::move(handler);
}

void ShowUserMessage(const QString& caption, const QString& text) {
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (gMessageHandler) {
        gMessageHandler(caption, shown);
        return;
    }
    QMessageBox::information(MainForm, caption, shown);
}

namespace {

// Like ShowUserMessage, but the box does not wait for an answer: a note after a timer's run must
// not hold up the window's work.
void ShowUserNote(const QString& caption, const QString& text) {
    if (gMessageHandler) {
        ShowUserMessage(caption, text);
        return;
    }
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    auto* box =
        new QMessageBox(QMessageBox::Information, caption, shown, QMessageBox::Ok, MainForm);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

}  // namespace

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) {
    MainForm = this;
    // 17 pixels at the usual 96 dpi; in points, so it follows a desktop set to larger fonts.
    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(12.75);
    setFont(font);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setMouseTracking(true);
    Image1->setContextMenuPolicy(Qt::DefaultContextMenu);
    Image1->installEventFilter(this);

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1 = panel;
    Panel1->setObjectName("Panel1");
    SetHelpContext(Panel1, 10000);

    Label1 = MakeLabel(Panel1, 402, 13);
    VoegToeButton = MakeButton(Panel1, "Voegtoe", 10, 10);
    VoegToeButton->setToolTip(QStringLiteral("Voeg een Strangle toe"));
    DownloadBtn = MakeButton(Panel1, "Download", 140, 10);
    DownloadBtn->setToolTip(QStringLiteral("Download de Optiekoersen"));
    DownloadBtn->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setUniformItemSizes(true);
    SetHelpContext(ListBox1, 10000);

    DelButton = MakeButton(Panel1, "Verwijder", 10, 50);
    DelButton->setToolTip(QStringLiteral("Verwijder de geselecteerde Strangle"));

    SpeedInfo = new QToolButton(Panel1);
    SpeedInfo->setAutoRaise(true);
    SpeedInfo->setGeometry(0, 11, 29, 28);
    SpeedInfo->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
    SpeedInfo->setToolTip(QStringLiteral("Over Rendaal"));

    UpdateTimer = new QTimer(this);
    UpdateTimer->setInterval(60000);

    L21 = MakeLabel(Panel1, 402, 60);

    InfoPopup = new QMenu(this);
    Help1 = InfoPopup->addAction(QStringLiteral("Help"));
    Help1->setShortcut(QKeySequence(Qt::Key_F1));
    Help1->setShortcutContext(Qt::WidgetShortcut);
    OverRendaal1 = InfoPopup->addAction(QStringLiteral("Over Rendaal"));

    InstellingenButton = MakeButton(Panel1, "Instellingen", 140, 50);

    DownloadTimer = new QTimer(this);
    DownloadTimer->setInterval(60000);

    FileListBox = new QListWidget(this);
    FileListBox->hide();

    ModeButton = MakeButton(Panel1, "Blokjes", 270, 10);
    ApartButton = MakeButton(Panel1, "Apart", 270, 50);
    l1 = MakeLabel(Panel1, 402, 37);
    l2 = MakeLabel(Panel1, 436, 37);
    l3 = MakeLabel(Panel1, 470, 37);
    l4 = MakeLabel(Panel1, 504, 37);
    L22 = MakeLabel(Panel1, 436, 60);
    L23 = MakeLabel(Panel1, 470, 60);
    L24 = MakeLabel(Panel1, 504, 60);

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
    connect(InstellingenButton, &QPushButton::clicked, this, &TMainForm::InstellingenButtonClick);
    connect(ModeButton, &QPushButton::clicked, this, &TMainForm::ModeButtonClick);
    connect(ApartButton, &QPushButton::clicked, this, &TMainForm::ApartButtonClick);

    SpeedInfo->raise();
    Panel1->installEventFilter(this);
    LayoutPanel();

    firstLineTimer_ = new QTimer(this);
    firstLineTimer_->setInterval(1000);
    connect(firstLineTimer_, &QTimer::timeout, this, &TMainForm::TryWaitingFirstLine);
    rulesWatcher_ = new QFileSystemWatcher(this);
    rulesReloadTimer_ = new QTimer(this);
    rulesReloadTimer_->setSingleShot(true);
    // Editors and tools write in steps; read once they are done.
    rulesReloadTimer_->setInterval(300);
    connect(rulesReloadTimer_, &QTimer::timeout, this, &TMainForm::ReloadRulesFile);
    connect(rulesWatcher_, &QFileSystemWatcher::fileChanged, rulesReloadTimer_,
            qOverload<>(&QTimer::start));
    connect(rulesWatcher_, &QFileSystemWatcher::directoryChanged, rulesReloadTimer_,
            qOverload<>(&QTimer::start));

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
    const WindowSettings settings = ReadWindowSettings(store);
    PlaceWindow();
    BlocksView = settings.Blokjes;
    SeparateView = settings.Apart;
    Panel1->resize(width(), panelHeight_);
    SpeedInfo->move(Panel1->width() - SpeedInfo->width() - 10, SpeedInfo->y());
    LayoutControls();
    ModeButton->setText(BlocksView ? QStringLiteral("Grafiek") : QStringLiteral("Blokjes"));
    ApartButton->setText(SeparateView ? QStringLiteral("Som") : QStringLiteral("Apart"));

    DataFolder = DataFolderFor(ProgramName);
    if (!HasFileWithExtension(DataFolder, "dat")) {
        CopyStartFiles(StartFolder, DataFolder, "dat");
        CopyStartFiles(StartFolder, DataFolder, "csv");
        startFilesCopied_ = true;
    }
    FillList(LoadCombinationLines(RulesFilePath()));
    SelectIndex(lines_.empty() ? -1 : 0);
    WatchRulesFile();
}

void TMainForm::PlaceWindow() {
    const SettingsStore store;
    const WindowSettings stored = ReadWindowSettings(store);
    // The screen the stored window was on; one that is off every screen comes to the main one.
    const QPoint centre(static_cast<int>(std::clamp<int64_t>(
                            int64_t{stored.Left} + stored.Width / 2, INT_MIN / 2, INT_MAX / 2)),
                        static_cast<int>(std::clamp<int64_t>(
                            int64_t{stored.Top} + stored.Height / 2, INT_MIN / 2, INT_MAX / 2)));
    QScreen* screen = QGuiApplication::screenAt(centre);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const QSize minimum = MinimumClientSize();
    const QSize preferred = PreferredClientSize();
    const ScreenArea placed = PlaceMainWindow(
        stored, HasStoredSize(store),
        {minimum.width(), minimum.height(), preferred.width(), preferred.height()},
        {area.left(), area.top(), area.width(), area.height()}, kFrameWidth, kFrameHeight);
    // A screen smaller than the minimum wins: a window larger than the screen is of no use.
    setMinimumSize(std::min(minimum.width(), placed.width),
                   std::min(minimum.height(), placed.height));
    move(placed.left, placed.top);
    resize(placed.width, placed.height);
}

QSize TMainForm::MinimumClientSize() const {
    const QFontMetrics fm(Label1->font());
    // As a label measures its text: a pixel or two beyond the advance.
    const auto textWidth = [&fm](const char* text) {
        return fm.boundingRect(QRect(0, 0, 10000, 1000), Qt::AlignLeft | Qt::AlignVCenter,
                               QString::fromUtf8(text))
                   .width() +
               2;
    };
    const int labelsLeft = Label1->x();
    const int statusRow =
        labelsLeft + textWidth(kLongestStatus) + kInfoGap + SpeedInfo->width() + 10;
    int indexRow = labelsLeft + 10;
    for (const char* text : kIndexRowSample) {
        indexRow += textWidth(text) + 5;
    }
    const int width = std::max({kDesignWidth, statusRow, indexRow});
    const int listFrame = 2 * ListBox1->frameWidth();
    return {width, panelHeight_ + listFrame + kMinListRows * itemHeight_ + kMinChartHeight};
}

QSize TMainForm::PreferredClientSize() const {
    const int listFrame = 2 * ListBox1->frameWidth();
    return {MinimumClientSize().width(),
            panelHeight_ + listFrame + kPreferredListRows * itemHeight_ + kImageHeight};
}

void TMainForm::LayoutPanel() {
    // The design's places at the usual font size; a larger font widens the columns and rows
    // instead of cutting the captions.
    int height = 31;
    for (QPushButton* b :
         {VoegToeButton, DelButton, DownloadBtn, InstellingenButton, ModeButton, ApartButton}) {
        height = std::max(height, b->sizeHint().height());
    }
    const struct {
        QPushButton* top;
        std::initializer_list<const char*> topCaptions;
        QPushButton* bottom;
        std::initializer_list<const char*> bottomCaptions;
    } columns[] = {
        {VoegToeButton, {"Voegtoe"}, DelButton, {"Verwijder"}},
        {DownloadBtn, {"Download"}, InstellingenButton, {"Instellingen"}},
        {ModeButton, {"Blokjes", "Grafiek"}, ApartButton, {"Apart", "Som"}},
    };
    const int secondRow = 10 + height + 9;
    int x = 10;
    for (const auto& c : columns) {
        const int w = std::max(
            {120, ButtonWidth(c.top, c.topCaptions), ButtonWidth(c.bottom, c.bottomCaptions)});
        c.top->setGeometry(x, 10, w, height);
        c.bottom->setGeometry(x, secondRow, w, height);
        x += w + 10;
    }
    const int labelsLeft = x + 2;
    const int lineHeight = QFontMetrics(Label1->font()).height();
    const int statusTop = 13;
    const int readOutTop = std::max(37, statusTop + lineHeight + 2);
    const int indexTop = std::max(60, readOutTop + lineHeight + 2);
    Label1->move(labelsLeft, statusTop);
    QLabel* const readOut[] = {l1, l2, l3, l4};
    QLabel* const index[] = {L21, L22, L23, L24};
    for (int i = 0; i < 4; ++i) {
        readOut[i]->move(labelsLeft + 34 * i, readOutTop);
        index[i]->move(labelsLeft + 34 * i, indexTop);
    }
    panelHeight_ = std::max({kPanelHeight, secondRow + height + 10, indexTop + lineHeight + 8});
    itemHeight_ = std::max(kItemHeight, QFontMetrics(ListBox1->font()).height());
}

void TMainForm::FitLabels() {
    const int besideInfo = SpeedInfo->x() - kInfoGap;
    const int panelRight = Panel1->width() - 2;
    // Cut at the given edge only when the text is wider than the room left.
    const auto fit = [](QLabel* label, int right) {
        label->adjustSize();
        label->resize(std::clamp(right - label->x(), 0, label->width()), label->height());
    };
    fit(Label1, besideInfo);
    QLabel* const readOut[] = {l1, l2, l3, l4};
    for (QLabel* label : readOut) {
        fit(label, besideInfo);
    }
    // The index row follows its first label: a longer message there pushes the values on.
    QLabel* const index[] = {L21, L22, L23, L24};
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            const int after = index[i - 1]->x() + index[i - 1]->sizeHint().width() + 5;
            if (index[i]->x() < after) {
                index[i]->move(after, index[i]->y());
            }
        }
        fit(index[i], panelRight);
    }
}

void TMainForm::FillList(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    const QSignalBlocker block(ListBox1);
    ListBox1->clear();
    for (const auto& line : lines_) {
        auto* item = new QListWidgetItem(ToQString(line));
        item->setSizeHint(QSize(0, itemHeight_));
        ListBox1->addItem(item);
    }
}

void TMainForm::WatchRulesFile() {
    // The folder too: a file replaced by a rename is a new file the watch on the old one misses,
    // and a file that does not exist yet can only be seen arriving there.
    const QString file = ToQString(RulesFilePath());
    const QString folder = ToQString(DataFolder);
    if (!rulesWatcher_->directories().contains(folder) && QFileInfo(folder).isDir()) {
        rulesWatcher_->addPath(folder);
    }
    if (!rulesWatcher_->files().contains(file) && QFileInfo(file).isFile()) {
        rulesWatcher_->addPath(file);
    }
}

void TMainForm::ReloadRulesFile() {
    WatchRulesFile();
    // A file that is gone or cannot be read keeps the list: the next change writes it again.
    // Only a regular file is read: a FIFO put in its place would block the window.
    if (!QFileInfo(ToQString(RulesFilePath())).isFile()) {
        return;
    }
    std::optional<std::vector<std::string>> loaded = LoadRules(RulesFilePath());
    if (!loaded) {
        return;
    }
    if (*loaded == lines_) {
        return;  // our own save, or a change that changed nothing
    }
    const int index = SelectedIndex();
    const std::string selected = index >= 0 ? lines_[static_cast<size_t>(index)] : std::string();
    FillList(std::move(*loaded));
    const auto same = std::find(lines_.begin(), lines_.end(), selected);
    const int keep = same != lines_.end()
                         ? static_cast<int>(same - lines_.begin())
                         : std::min(std::max(index, 0), static_cast<int>(lines_.size()) - 1);
    SelectIndex(keep);
    if (same == lines_.end()) {
        ShowSelected();
    }
}

int TMainForm::SelectedIndex() const {
    const int row = ListBox1->currentRow();
    return row >= 0 && row < static_cast<int>(lines_.size()) ? row : -1;
}

void TMainForm::SelectIndex(int index) {
    const QSignalBlocker block(ListBox1);
    if (index < 0 || index >= static_cast<int>(lines_.size())) {
        ListBox1->setCurrentRow(-1);
        ListBox1->clearSelection();
        return;
    }
    ListBox1->setCurrentRow(index);
}

void TMainForm::LayoutControls() {
    const int w = width();
    const int h = height();
    Panel1->setGeometry(0, 0, w, panelHeight_);
    // The chart keeps its height while the list has rows to give; below that both give.
    const int below = std::max(h - panelHeight_, 0);
    const int listMinimum = 2 * ListBox1->frameWidth() + kMinListRows * itemHeight_;
    const int image = std::clamp(below - listMinimum, 0, kImageHeight);
    Image1->setGeometry(0, h - image, w, image);
    ListBox1->setGeometry(0, panelHeight_, w, below - image);
    FitLabels();
}

void TMainForm::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!FirstPaintDone) {
        FirstPaintDone = true;
        // The first paint's work lets events run and downloads; not from inside a paint.
        QTimer::singleShot(0, this, &TMainForm::FormPaint);
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
    const DateTime now = AppClock().Now();
    const std::vector<DataFile> files = ListDataFiles(DataFolder, now);
    FileListBox->clear();
    for (const auto& file : files) {
        FileListBox->addItem(ToQString(file.name));
    }
    if (FileListBox->count() == 0) {
        return;
    }
    // The start's rules replaced a missing file: the user's own histories are not listed in it.
    if (startFilesCopied_) {
        ShowUserMessage(ToQString(ProgramName),
                        ToQString("Oude bestanden zijn niet gewist: " + RulesFilePath() +
                                  " ontbrak bij de start."));
        return;
    }
    const std::string trash = HomeTrashFolder();
    const CleanUpOutcome outcome =
        CleanUpOldFiles(DataFolder, files, settings.Days, lines_,
                        [&](const std::string& path) { return MoveToTrash(path, trash, now); });
    if (!outcome.refusal.empty()) {
        ShowUserMessage(ToQString(ProgramName),
                        ToQString("Oude bestanden zijn niet gewist: " + outcome.refusal + "."));
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
    SpeedInfo->move(Panel1->width() - SpeedInfo->width() - 10, SpeedInfo->y());
    FitLabels();
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
    const int index = SelectedIndex();
    if (index < 0) {
        return;
    }
    const std::string historyFile = HistoryFileName(lines_[static_cast<size_t>(index)]);
    // A hand-edited line could name a file outside the data folder.
    if (!IsPlainFileName(historyFile)) {
        return;
    }
    if (hooks_.renderChart) {
        chart_ = hooks_.renderChart(historyFile, Image1->size(), BlocksView, SeparateView);
    } else {
        ChartRequest request;
        request.blocks = BlocksView;
        request.separate = SeparateView;
        request.folder = DataFolder;
        request.fileName = historyFile;
        request.width = Image1->width();
        request.height = Image1->height();
        request.today = AppClock().Now().date();
        ChartOutputs outputs;
        chart_ = RenderChart(request, Charts, outputs, Image1->devicePixelRatioF());
        theoryHover_.clear();
        if (TheoryView && BlocksView) {
            DrawTheoryOnImage(chart_, request, Charts, WindowRates(), AppClock().Now());
            theoryHover_ = TheoryHoverFor(DataFolder, lines_[static_cast<size_t>(index)]);
        }
        ApplyChartOutputs(outputs);
    }
    Image1->setPixmap(QPixmap::fromImage(chart_));
}

void TMainForm::ApplyChartOutputs(const ChartOutputs& outputs) {
    auto setText = [](QLabel* label, const std::string& text) { label->setText(ToQString(text)); };
    if (outputs.l21) {
        setText(L21, *outputs.l21);
    }
    if (outputs.result) {
        QLabel* const labels[] = {l1, l2, l3, l4};
        for (size_t i = 0; i < 4; ++i) {
            const LabelOutput& out = (*outputs.result)[i];
            setText(labels[i], out.caption);
            if (out.fontColor) {
                QPalette p = labels[i]->palette();
                p.setColor(QPalette::WindowText,
                           QColor(out.fontColor->r, out.fontColor->g, out.fontColor->b));
                labels[i]->setPalette(p);
            }
        }
        // The read-out labels fit their texts and follow each other 5 pixels apart.
        for (size_t i = 0; i < 4; ++i) {
            labels[i]->adjustSize();
            if (i > 0) {
                labels[i]->move(labels[i - 1]->x() + labels[i - 1]->width() + 5, labels[i]->y());
            }
        }
    }
    FitLabels();
}

void TMainForm::ListBox1Click() {
    ShowSelected();
}

void TMainForm::ModeButtonClick() {
    BlocksView = !BlocksView;
    ModeButton->setText(BlocksView ? QStringLiteral("Grafiek") : QStringLiteral("Blokjes"));
    ShowSelected();
}

void TMainForm::ApartButtonClick() {
    SeparateView = !SeparateView;
    ApartButton->setText(SeparateView ? QStringLiteral("Som") : QStringLiteral("Apart"));
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
    HoldIndexRow();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    if (hooks_.resetPriceCount) {
        hooks_.resetPriceCount();
    }
    const bool ran = hooks_.runDownload ? hooks_.runDownload() : false;
    SettleIndexRow(!ran);
    FitLabels();
    HoverReady = true;
    ShowSelected();
    QApplication::restoreOverrideCursor();
    downloading_ = false;
    if (ran) {
        ShowRunNotes();
    }
    if (firstLineWaiting_) {
        TryWaitingFirstLine();
    }
    QCoreApplication::processEvents();
}

void TMainForm::HoldIndexRow() {
    // The whole row goes blank while a run reads it: a row with the level gone and the change
    // left reads as if the change were the level.
    QLabel* const row[] = {L21, L22, L23, L24};
    if (!indexRowOld_) {
        for (int i = 0; i < 4; ++i) {
            heldRow_.texts[i] = row[i]->text();
            heldRow_.palettes[i] = row[i]->palette();
            heldRow_.places[i] = row[i]->geometry();
        }
    }
    for (QLabel* label : row) {
        label->setText(QString());
        label->setPalette(QPalette());
    }
}

void TMainForm::SettleIndexRow(bool refused) {
    QLabel* const row[] = {L21, L22, L23, L24};
    if (!L21->text().isEmpty()) {
        indexRowOld_ = false;  // a fresh read: the run set the whole row
        return;
    }
    // No new read: the last one comes back, greyed when the run failed, with its own time stamp.
    const bool old = indexRowOld_ || !refused;
    const QColor grey = palette().color(QPalette::Disabled, QPalette::WindowText);
    for (int i = 0; i < 4; ++i) {
        row[i]->setText(heldRow_.texts[i]);
        QPalette p = heldRow_.palettes[i];
        if (old) {
            p.setColor(QPalette::WindowText, grey);
        }
        row[i]->setPalette(p);
        row[i]->setGeometry(heldRow_.places[i]);
    }
    indexRowOld_ = old;
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

void TMainForm::TryWaitingFirstLine() {
    if (!firstLineWaiting_ || downloading_) {
        return;
    }
    if (hooks_.processLastPage && !hooks_.processLastPage()) {
        return;  // still held; the timer tries again
    }
    firstLineWaiting_ = false;
    firstLineTimer_->stop();
    ShowSelected();
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

bool TMainForm::SaveRulesFile() {
    if (SaveRules(RulesFilePath(), lines_)) {
        saveFailureShown_ = false;
        return true;
    }
    if (!saveFailureShown_) {
        saveFailureShown_ = true;
        ShowUserMessage(
            ToQString(ProgramName),
            ToQString("De lijst met combinaties kon niet worden opgeslagen in " + RulesFilePath() +
                      ".\rDe wijziging geldt tot het programma sluit."));
    }
    return false;
}

void TMainForm::DelButtonClick() {
    int index = SelectedIndex();
    if (index < 0) {
        if (lines_.empty()) {
            return;
        }
        index = 0;
        SelectIndex(0);
    }
    const std::string asked = lines_[static_cast<size_t>(index)];
    const bool yes =
        hooks_.askYes &&
        hooks_.askYes(ToQString(ProgramName + " - Verwijderen"),
                      QStringLiteral("Wilt u inderdaad de geselecteerde Strangle verwijderen?"));
    if (!yes) {
        return;
    }
    // The question lets timers run: the list may have been reloaded from disk meanwhile. The
    // line asked about goes, wherever it is now; one that is gone already is not replaced by
    // another.
    const auto at = std::find(lines_.begin(), lines_.end(), asked);
    if (at == lines_.end()) {
        return;
    }
    index = static_cast<int>(at - lines_.begin());
    lines_.erase(lines_.begin() + index);
    {
        const QSignalBlocker block(ListBox1);
        delete ListBox1->takeItem(index);
    }
    SelectIndex(std::min(index, static_cast<int>(lines_.size()) - 1));
    SaveRulesFile();
    ShowSelected();
}

bool TMainForm::AddCombination(const std::string& line) {
    if (line.empty() || line[0] == ';' || line.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    const size_t position = SortedInsertPosition(lines_, line);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(position), line);
    {
        const QSignalBlocker block(ListBox1);
        auto* item = new QListWidgetItem(ToQString(line));
        item->setSizeHint(QSize(0, itemHeight_));
        ListBox1->insertItem(static_cast<int>(position), item);
    }
    SaveRulesFile();
    const auto first = std::find(lines_.begin(), lines_.end(), line);
    SelectIndex(static_cast<int>(first - lines_.begin()));
    // The new combination's first line must not be dropped because a run (here or in the
    // companion) holds the data folder: it is written as soon as the folder is free.
    if (hooks_.processLastPage && !hooks_.processLastPage()) {
        firstLineWaiting_ = true;
        Label1->setText(QStringLiteral("Nieuwe combinatie wacht tot de download klaar is"));
        FitLabels();
        firstLineTimer_->start();
    }
    HoverReady = true;
    ShowSelected();
    unsetCursor();
    QCoreApplication::processEvents();
    return true;
}

void TMainForm::VoegToeButtonClick() {
    if (hooks_.showAddForm) {
        hooks_.showAddForm();
    }
}

void TMainForm::InstellingenButtonClick() {
    if (hooks_.showOptions) {
        hooks_.showOptions();
    }
}

void TMainForm::OverRendaal1Click() {
    if (hooks_.showAbout) {
        hooks_.showAbout();
    }
}

void TMainForm::SpeedInfoClick() {
    InfoPopup->popup(QPoint(x() + SpeedInfo->x() + 30, y() + SpeedInfo->y() + 20));
}

void TMainForm::Help1Click() {
    if (!OpenHelp(HelpFilePath, 0)) {
        ShowHelpFailure(HelpUrl(HelpFilePath, 0));
    }
}

void TMainForm::ShowHelpFailure(const std::string& address) {
    ShowUserMessage(ToQString(ProgramName),
                    ToQString("De help kon niet worden geopend: er is geen programma gevonden "
                              "dat deze pagina toont.\r" +
                              address));
}

void TMainForm::DownloadTimerTimer() {
    if (ShouldDownloadOnTick(AppClock().Now(), closingRunDate_)) {
        DownloadBtnClick();
    }
}

void TMainForm::UpdateTimerTimer() {
    UpdateTimer->stop();
    if (hooks_.checkAtStart) {
        hooks_.checkAtStart(ProgramName.substr(0, 255), VersionText.substr(0, 255));
    }
}

void TMainForm::Image1MouseMove() {
    if (!HoverReady) {
        return;
    }
    QString text;
    if (hooks_.hoverText) {
        text = hooks_.hoverText();
    } else {
        const std::string quoteTime = hooks_.quoteTimeText ? hooks_.quoteTimeText() : "";
        const QPoint at = Image1->mapFromGlobal(QCursor::pos());
        const auto nearest = NearestPoint(Charts.points, at.x(), at.y(), BlocksView);
        text =
            ToQString(HoverText(Charts.lastRowDate, quoteTime, Charts.lastRowTexts) +
                      (nearest ? PointText(*nearest, BlocksView) : std::string()) + theoryHover_);
    }
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // The read-out ends with a line break; a tool tip would show it as an empty last line.
    while (text.endsWith(QLatin1Char('\n'))) {
        text.chop(1);
    }
    Image1->setToolTip(text);
    const QPoint p = QCursor::pos();
    QToolTip::showText(QPoint(p.x() + 5, p.y()), text, Image1);
}

void TMainForm::SaveChartClick() {
    if (chart_.isNull()) {
        return;
    }
    // Not in the data folder: the clean-up would delete the picture after a while.
    QString suggested = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (suggested.isEmpty() || !QDir(suggested).exists()) {
        suggested = QDir::homePath();
    }
    const int index = SelectedIndex();
    if (index >= 0) {
        suggested +=
            QLatin1Char('/') +
            ToQString(BeforeLast('.', HistoryFileName(lines_[static_cast<size_t>(index)])) +
                      ".png");
    }
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Grafiek opslaan"), suggested,
                                     QStringLiteral("PNG-afbeelding (*.png)"));
    if (!path.isEmpty()) {
        SaveChartTo(path);
    }
}

void TMainForm::TheorieClick() {
    TheoryView = !TheoryView;
    StoreTheoryView(TheoryView);
    ShowSelected();
}

bool TMainForm::SaveChartTo(const QString& path) {
    const bool saved =
        !chart_.isNull() && (hooks_.saveChartPng ? hooks_.saveChartPng(chart_, path)
                                                 : SaveChartPng(chart_, path.toStdString()));
    if (!saved) {
        ShowUserMessage(ToQString(ProgramName),
                        QStringLiteral("De grafiek kon niet worden opgeslagen in ") + path);
    }
    return saved;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // A label's text changed (the download run sets them too): fit the labels to their texts.
    if (watched == Panel1 && event->type() == QEvent::LayoutRequest) {
        FitLabels();
    }
    if (watched == Image1) {
        if (event->type() == QEvent::MouseMove) {
            Image1MouseMove();
        } else if (event->type() == QEvent::ContextMenu) {
            QMenu menu(this);
            QAction* save = menu.addAction(QStringLiteral("Grafiek opslaan..."));
            save->setEnabled(!chart_.isNull());
            QAction* theory = menu.addAction(QStringLiteral("Theorie"));
            theory->setCheckable(true);
            theory->setChecked(TheoryView);
            QAction* chosen = menu.exec(static_cast<QContextMenuEvent*>(event)->globalPos());
            if (chosen == save) {
                SaveChartClick();
            } else if (chosen == theory) {
                TheorieClick();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace rendaal
