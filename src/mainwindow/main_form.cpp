#include "mainwindow/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QMessageBox>
#include <QPixmap>
#include <QStandardPaths>
#include <QStyle>
#include <QToolTip>
#include <algorithm>
#include <filesystem>

#include "charts/hover.h"
#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/text.h"
#include "mainwindow/scheduled.h"
#include "mainwindow/startup.h"
#include "platform/app_paths.h"
#include "platform/chart_render.h"
#include "platform/help.h"
#include "platform/settings_store.h"

namespace rendaal {

TMainForm* MainForm = nullptr;

namespace {

UserMessageFn gMessageHandler;

constexpr int kPanelHeight = 91;
constexpr int kImageHeight = 474;
constexpr int kItemHeight = 20;
// A damaged settings file must not ask for a chart image of gigabytes.
constexpr int kMaxWindowSide = 16384;

QString FromBytes(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

QPushButton* MakeButton(QWidget* parent, const char* text, int x, int y) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setGeometry(x, y, 120, 31);
    return button;
}

// The download run and the charts change these texts without resizing them; wide enough for
// the longest ("Gedownload: 123 koersen"), clipped by the panel's edge as a growing label would be.
QLabel* MakeLabel(QWidget* parent, int x, int y) {
    auto* label = new QLabel(QStringLiteral("---"), parent);
    label->setGeometry(x, y, 400, label->sizeHint().height());
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
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

TMainForm::TMainForm(QWidget* parent) : QWidget(parent) {
    MainForm = this;
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(17);
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

    SpeedInfo->raise();  // above the wide labels
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
    setWindowTitle(FromBytes(ProgramName + ", " + VersionText));
    HoverReady = false;

    StartFolder = rendaal::StartFolder();
    HelpFilePath = HelpPagePath(StartFolder);
    if (!FileExists(HelpFilePath)) {
        ShowUserMessage(FromBytes(ProgramName), FromBytes("Help file not found\r" + HelpFilePath));
    }
    auto* help = new HelpKeyFilter(
        HelpFilePath, [this](const std::string& address) { ShowHelpFailure(address); }, this);
    qApp->installEventFilter(help);
    SetHelpContext(this, 1000);

    const WindowSettings settings = ReadWindowSettings(SettingsStore());
    move(settings.Left, settings.Top);
    resize(std::clamp(settings.Width, 1, kMaxWindowSide),
           std::clamp(settings.Height, 1, kMaxWindowSide));
    BlocksView = settings.Blokjes;
    SeparateView = settings.Apart;
    LayoutControls();
    SpeedInfo->move(Panel1->width() - SpeedInfo->width() - 10, SpeedInfo->y());
    ModeButton->setText(BlocksView ? QStringLiteral("Grafiek") : QStringLiteral("Blokjes"));
    ApartButton->setText(SeparateView ? QStringLiteral("Som") : QStringLiteral("Apart"));

    DataFolder = DataFolderFor(ProgramName);
    if (!HasFileWithExtension(DataFolder, "dat")) {
        CopyStartFiles(StartFolder, DataFolder, "dat");
        CopyStartFiles(StartFolder, DataFolder, "csv");
    }
    FillList(LoadCombinationLines(RulesFilePath()));
    SelectIndex(lines_.empty() ? -1 : 0);
}

void TMainForm::FillList(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    ListBox1->clear();
    for (const auto& line : lines_) {
        auto* item = new QListWidgetItem(FromBytes(line));
        item->setSizeHint(QSize(0, kItemHeight));
        ListBox1->addItem(item);
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
    Panel1->setGeometry(0, 0, w, kPanelHeight);
    const int imageTop = std::max(kPanelHeight, h - kImageHeight);
    Image1->setGeometry(0, imageTop, w, kImageHeight);
    ListBox1->setGeometry(0, kPanelHeight, w, imageTop - kPanelHeight);
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
        FileListBox->addItem(FromBytes(file.name));
    }
    if (FileListBox->count() == 0) {
        return;
    }
    CleanUpOldFiles(DataFolder, files, settings.Days, lines_);
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
        request.colors = PaletteSystemColors(palette());
        ChartOutputs outputs;
        chart_ = RenderChart(request, Charts, outputs);
        ApplyChartOutputs(outputs);
    }
    Image1->setPixmap(QPixmap::fromImage(chart_));
}

void TMainForm::ApplyChartOutputs(const ChartOutputs& outputs) {
    auto setText = [](QLabel* label, const std::string& text) { label->setText(FromBytes(text)); };
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
    L22->setText(QString());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    if (hooks_.resetPriceCount) {
        hooks_.resetPriceCount();
    }
    if (hooks_.runDownload) {
        hooks_.runDownload();
    }
    HoverReady = true;
    ShowSelected();
    QApplication::restoreOverrideCursor();
    downloading_ = false;
    QCoreApplication::processEvents();
}

bool TMainForm::SaveRulesFile() {
    if (SaveRules(RulesFilePath(), lines_)) {
        saveFailureShown_ = false;
        return true;
    }
    if (!saveFailureShown_) {
        saveFailureShown_ = true;
        ShowUserMessage(
            FromBytes(ProgramName),
            FromBytes("De lijst met combinaties kon niet worden opgeslagen in " + RulesFilePath() +
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
    const bool yes =
        hooks_.askYes &&
        hooks_.askYes(FromBytes(ProgramName + " - Verwijderen"),
                      QStringLiteral("Wilt u inderdaad de geselecteerde Strangle verwijderen?"));
    if (!yes) {
        return;
    }
    // The question lets timers run; the selection may have moved meanwhile.
    index = std::min(index, static_cast<int>(lines_.size()) - 1);
    if (index < 0) {
        return;
    }
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
        auto* item = new QListWidgetItem(FromBytes(line));
        item->setSizeHint(QSize(0, kItemHeight));
        ListBox1->insertItem(static_cast<int>(position), item);
    }
    SaveRulesFile();
    const auto first = std::find(lines_.begin(), lines_.end(), line);
    SelectIndex(static_cast<int>(first - lines_.begin()));
    if (hooks_.processLastPage) {
        hooks_.processLastPage();
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
    ShowUserMessage(FromBytes(ProgramName),
                    FromBytes("De help kon niet worden geopend: er is geen programma gevonden "
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
        text = FromBytes(HoverText(AppClock().Now().date(), quoteTime, Charts.lastRowTexts));
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
            FromBytes(BeforeLast('.', HistoryFileName(lines_[static_cast<size_t>(index)])) +
                      ".png");
    }
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Grafiek opslaan"), suggested,
                                     QStringLiteral("PNG-afbeelding (*.png)"));
    if (!path.isEmpty()) {
        SaveChartTo(path);
    }
}

bool TMainForm::SaveChartTo(const QString& path) {
    const bool saved =
        !chart_.isNull() && (hooks_.saveChartPng ? hooks_.saveChartPng(chart_, path)
                                                 : SaveChartPng(chart_, path.toStdString()));
    if (!saved) {
        ShowUserMessage(FromBytes(ProgramName),
                        QStringLiteral("De grafiek kon niet worden opgeslagen in ") + path);
    }
    return saved;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Image1) {
        if (event->type() == QEvent::MouseMove) {
            Image1MouseMove();
        } else if (event->type() == QEvent::ContextMenu) {
            QMenu menu(this);
            QAction* save = menu.addAction(QStringLiteral("Grafiek opslaan..."));
            save->setEnabled(!chart_.isNull());
            if (menu.exec(static_cast<QContextMenuEvent*>(event)->globalPos()) == save) {
                SaveChartClick();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace rendaal
