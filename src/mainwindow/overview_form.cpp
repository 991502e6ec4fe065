#include "mainwindow/overview_form.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

#include "analytics/rate_settings.h"
#include "core/clock.h"
#include "core/combination.h"
#include "core/market_hours.h"
#include "mainwindow/main_form.h"
#include "mainwindow/overview_worker.h"
#include "platform/qt_text.h"
#include "platform/settings_store.h"
#include "platform/window_stack.h"

namespace rendaal {

TOverviewForm::TOverviewForm(QWidget* parent, TOverviewWorker* worker)
    : QWidget(parent, Qt::Window), worker_(worker != nullptr ? worker : new TOverviewWorker(this)) {
    setObjectName(QStringLiteral("Overzicht"));
    setWindowTitle(QStringLiteral("Overzicht"));
    resize(1100, 640);

    Grid = new TOverviewTable(this);
    Grid->setObjectName("Grid");

    RenteEdit = new QLineEdit(this);
    RenteEdit->setObjectName("RenteEdit");
    DividendEdit = new QLineEdit(this);
    DividendEdit->setObjectName("DividendEdit");
    for (QLineEdit* edit : {RenteEdit, DividendEdit}) {
        edit->setMaximumWidth(80);
        edit->setToolTip(QStringLiteral("Procent per jaar, bijvoorbeeld 2,5"));
    }
    StatusLabel = new QLabel(this);

    // The labels name their fields, also for a screen reader; Alt and the letter go there.
    auto* renteLabel = new QLabel(QStringLiteral("&Rente %:"), this);
    renteLabel->setBuddy(RenteEdit);
    auto* dividendLabel = new QLabel(QStringLiteral("&Dividend %:"), this);
    dividendLabel->setBuddy(DividendEdit);
    auto* bar = new QHBoxLayout;
    bar->addWidget(renteLabel);
    bar->addWidget(RenteEdit);
    bar->addSpacing(16);
    bar->addWidget(dividendLabel);
    bar->addWidget(DividendEdit);
    bar->addSpacing(16);
    bar->addWidget(StatusLabel, 1);
    IvChart = new TIvChartView(this);
    IvChart->setObjectName("IvChart");
    IvChart->setMinimumHeight(160);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(Grid, 1);
    layout->addWidget(IvChart, 1);

    connect(RenteEdit, &QLineEdit::editingFinished, this, &TOverviewForm::RenteEditEditingFinished);
    connect(DividendEdit, &QLineEdit::editingFinished, this,
            &TOverviewForm::DividendEditEditingFinished);
    connect(Grid, &QTableWidget::cellDoubleClicked, this, &TOverviewForm::GridCellDoubleClicked);
    connect(Grid, &TOverviewTable::SelectionChanged, this, &TOverviewForm::ShowSelectedIv);
    connect(worker_, &TOverviewWorker::IvReady, this, &TOverviewForm::IvArrived);

    auto* choose = new QAction(this);
    choose->setShortcuts({QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)});
    choose->setShortcutContext(Qt::WidgetShortcut);
    Grid->addAction(choose);
    connect(choose, &QAction::triggered, this, &TOverviewForm::GridReturnPressed);
    auto* closing = new QAction(this);
    closing->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    addAction(closing);
    connect(closing, &QAction::triggered, this, &QWidget::close);
}

void TOverviewForm::ShowSelectedIv() {
    const std::vector<std::string> all = lines ? lines() : std::vector<std::string>{};
    const int index = Grid->CurrentIndex();
    if (index < 0 || index >= static_cast<int>(all.size())) {
        IvChart->Show({}, {});
        return;
    }
    // Read away from the window: a long history takes a while, and moving on is not held up.
    worker_->RequestIv(folder, HistoryFileName(all[static_cast<size_t>(index)]), WindowRates());
}

void TOverviewForm::IvArrived() {
    const std::vector<std::string> all = lines ? lines() : std::vector<std::string>{};
    const int index = Grid->CurrentIndex();
    if (index >= 0 && index < static_cast<int>(all.size()) &&
        HistoryFileName(all[static_cast<size_t>(index)]) == worker_->IvFileName()) {
        IvChart->Show(worker_->IvFileName(), worker_->IvRows());
    }
}

void TOverviewForm::FitOnScreen() {
    const QScreen* s = screen();
    if (s == nullptr) {
        return;
    }
    // Room for the frame the window manager adds; a scaled laptop screen is only ~510 high.
    const QRect area = s->availableGeometry().adjusted(0, 0, -20, -40);
    resize(std::min(width(), area.width()), std::min(height(), area.height()));
    move(std::clamp(x(), area.left(), std::max(area.left(), area.right() - width())),
         std::clamp(y(), area.top(), std::max(area.top(), area.bottom() - height())));
}

void TOverviewForm::showEvent(QShowEvent* event) {
    if (!sized_) {
        FitOnScreen();
    }
    const SettingsStore store;
    RenteEdit->setText(ToQString(StoredPercentText(store.file(), kSettingsKey, kRenteValue)));
    DividendEdit->setText(ToQString(StoredPercentText(store.file(), kSettingsKey, kDividendValue)));
    Refresh();
    QWidget::showEvent(event);
}

void TOverviewForm::OpenOn(const std::string& key) {
    if (!key.empty()) {
        Grid->SelectKey(key);
    }
    if (isVisible()) {
        Refresh();
    } else {
        show();
    }
    raise();
    activateWindow();
    Grid->setFocus();
}

void TOverviewForm::Refresh() {
    const std::vector<std::string> all = lines ? lines() : std::vector<std::string>{};
    if (askRows) {
        askRows(all);
        return;
    }
    auto rows = LoadOverview(folder, all, WindowRates(), AmsterdamTimeOfLocal(AppClock().Now()));
    MarkAlerts(rows, EvaluateAlerts(rows, WindowAlertLimits(), {}).holding);
    Fill(rows);
}

void TOverviewForm::Fill(const std::vector<OverviewRow>& rows) {
    Grid->Fill(rows);
    // A message about the rates stays: with the rows read elsewhere it was set before them.
    const QString none = QStringLiteral("Geen combinaties");
    if (rows.empty()) {
        StatusLabel->setText(none);
    } else if (StatusLabel->text() == none) {
        StatusLabel->clear();
    }
    if (!sized_) {
        // Wide enough for every column at first, within the screen.
        sized_ = true;
        int w = 2 * Grid->frameWidth() + 40;
        for (int c = 0; c < Grid->columnCount(); ++c) {
            w += Grid->isColumnHidden(c) ? 0 : Grid->columnWidth(c);
        }
        const QScreen* s = screen();
        const int room = s != nullptr ? s->availableGeometry().width() - 40 : w;
        resize(std::max(400, std::min(w, room)), height());
        FitOnScreen();
    }
}

void TOverviewForm::RateEdited(QLineEdit* edit, std::string_view name) {
    const std::string text = edit->text().toStdString();
    const auto v = ParsePercent(text);
    if (!v) {
        StatusLabel->setText(
            QStringLiteral("%1: geen percentage (-100 tot 100); niet bewaard")
                .arg(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))));
        return;
    }
    SettingsStore store;
    const bool saved =
        store.Write([&](RegFile& file) { file.SetString(kSettingsKey, name, PercentText(*v)); });
    edit->setText(ToQString(PercentText(*v)));
    StatusLabel->clear();
    Refresh();
    if (!saved) {
        StatusLabel->setText(QStringLiteral("De instelling kon niet worden bewaard"));
    }
}

void TOverviewForm::RenteEditEditingFinished() {
    RateEdited(RenteEdit, kRenteValue);
}

void TOverviewForm::DividendEditEditingFinished() {
    RateEdited(DividendEdit, kDividendValue);
}

void TOverviewForm::GridReturnPressed() {
    if (Grid->currentRow() >= 0) {
        GridCellDoubleClicked(Grid->currentRow(), std::max(Grid->currentColumn(), 0));
    }
}

void TOverviewForm::GridCellDoubleClicked(int row, int column) {
    if (Grid->item(row, column) != nullptr && selectCombination) {
        Grid->setCurrentCell(row, column);
        selectCombination(Grid->CurrentIndex());
    }
}

void AskOverviewRows(TMainForm& form, const std::vector<std::string>& lines) {
    // Reading every history competes with the first frame; that frame asks again.
    if (form.AwaitingFirstFrame()) {
        return;
    }
    auto* worker = form.findChild<TOverviewWorker*>(QString(), Qt::FindDirectChildrenOnly);
    if (worker != nullptr) {
        worker->Request(form.DataFolder, lines, WindowRates(),
                        AmsterdamTimeOfLocal(AppClock().Now()));
    }
}

void OpenOverview(TMainForm& form, const std::string& key) {
    auto* overview = form.findChild<TOverviewForm*>(QString(), Qt::FindDirectChildrenOnly);
    if (overview == nullptr) {
        return;
    }
    overview->folder = form.DataFolder;
    std::string wanted = key;
    const int selected = form.SelectedIndex();
    if (wanted.empty() && selected >= 0 &&
        selected < static_cast<int>(form.Combinations().size())) {
        wanted = CombinationKey(form.Combinations()[static_cast<size_t>(selected)]);
    }
    // Return may have let the main window come to the front; opened again, it stays above.
    KeepAbove(overview, &form);
    overview->OpenOn(wanted);
}

void InstallOverview(TMainForm& form) {
    form.TheoryView = TheoryViewStored();
    // Hundreds of long histories take seconds to read: that happens away from the window.
    auto* worker = new TOverviewWorker(&form);
    auto* overview = new TOverviewForm(&form, worker);
    overview->lines = [&form] { return form.Combinations(); };
    overview->selectCombination = [&form, overview](int index) {
        if (index < 0 || index >= form.ListBox1->count()) {
            return;
        }
        form.ListBox1->setCurrentRow(index);
        // The chosen chart must be seen: the main window comes in front of Overzicht, which
        // would otherwise stay above it.
        if (QWindow* handle = overview->windowHandle()) {
            handle->setTransientParent(nullptr);
        }
        form.raise();
        form.activateWindow();
    };

    auto* action = new QAction(QStringLiteral("Overzicht..."), &form);
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    action->setShortcutContext(Qt::WindowShortcut);
    form.addAction(action);
    form.ListBox1->addAction(action);
    QObject::connect(action, &QAction::triggered, overview, [&form] { OpenOverview(form); });

    // Histories grow with every download and go stale when a close passes, so the marks are
    // renewed when the list changes (the list sees to that) and once a minute.
    auto ask = [&form](const std::vector<std::string>& lines) { AskOverviewRows(form, lines); };
    form.ListBox1->askMarks = ask;
    overview->askRows = ask;
    QObject::connect(worker, &TOverviewWorker::Ready, &form, [&form, worker, overview] {
        // An answer for another list would put rows against the wrong lines; the list's change
        // asks again.
        if (worker->Lines() != form.Combinations()) {
            return;
        }
        std::vector<OverviewRow> rows = worker->Rows();
        MarkWindowAlerts(form, rows);
        form.ListBox1->ApplyMarks(worker->Lines(), rows);
        if (overview->isVisible()) {
            overview->Fill(rows);
        }
    });
    // A changed list is evaluated too: a combination added may hold an alert at once, one
    // deleted loses its entry.
    auto* soon = new QTimer(&form);
    soon->setSingleShot(true);
    soon->setInterval(0);
    QObject::connect(soon, &QTimer::timeout, &form, [&form] { CheckWindowAlertsWhenFree(form); });
    QAbstractItemModel* model = form.ListBox1->model();
    auto later = [soon] { soon->start(); };
    QObject::connect(model, &QAbstractItemModel::rowsInserted, soon, later);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, soon, later);
    QObject::connect(model, &QAbstractItemModel::modelReset, soon, later);
    auto* minute = new QTimer(&form);
    minute->setInterval(60000);
    QObject::connect(minute, &QTimer::timeout, &form, [&form, overview] {
        form.ListBox1->RefreshMarks();
        if (overview->isVisible()) {
            overview->Refresh();
        }
    });
    minute->start();
    form.ListBox1->RefreshMarks();
    QObject::connect(&form, &TMainForm::FirstFrameShown, form.ListBox1,
                     &TCombinationList::RefreshMarks, Qt::SingleShotConnection);
}

}  // namespace rendaal
