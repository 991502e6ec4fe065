#include "mainwindow/overview_form.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

#include "analytics/rate_settings.h"
#include "analytics/report.h"
#include "charts/history.h"
#include "core/clock.h"
#include "core/combination.h"
#include "core/market_hours.h"
#include "download/run_lock.h"
#include "mainwindow/main_form.h"
#include "mainwindow/overview_worker.h"
#include "platform/notifications.h"
#include "platform/qt_text.h"
#include "platform/settings_store.h"
#include "platform/theory_render.h"

namespace rendaal {
namespace {

constexpr int kIndexRole = Qt::UserRole;
constexpr int kSortRole = Qt::UserRole + 1;
const QColor kStaleColor(255, 236, 200);
const QColor kFlagColor(255, 200, 200);
const QColor kAlertColor(255, 224, 130);

// Numbers and dates sort by value, empty cells first; text sorts as text.
class SortItem final : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant a = data(kSortRole);
        const QVariant b = other.data(kSortRole);
        if (a.isValid() || b.isValid()) {
            if (!a.isValid() || !b.isValid()) {
                return !a.isValid();
            }
            return a.toDouble() < b.toDouble();
        }
        return text() < other.text();
    }
};

std::optional<double> DayKey(const std::optional<Date>& d) {
    return d ? std::optional<double>(static_cast<double>(DayNumber(*d))) : std::nullopt;
}

// Sort values in the order of OverviewColumns(); empty for the text columns.
std::vector<std::optional<double>> SortKeys(const OverviewRow& r) {
    return {std::nullopt,
            std::nullopt,
            DayKey(r.expiry),
            r.days ? std::optional<double>(static_cast<double>(*r.days)) : std::nullopt,
            DayKey(r.firstDate),
            DayKey(r.lastDate),
            std::nullopt,
            r.somFirst,
            r.somLast,
            r.resultEur,
            r.aexLast,
            r.intrinsic,
            r.timeValue,
            r.beLow,
            r.beHigh,
            r.ivPut,
            r.ivCall,
            std::nullopt,
            r.risk.delta,
            r.risk.gamma,
            r.risk.thetaDay,
            r.risk.vega,
            r.risk.pop,
            r.risk.em,
            std::nullopt};
}

enum Column {
    kKeyColumn = 0,
    kStaleColumn = 6,
    kSomLastColumn = 8,
    kAexColumn = 10,
    kCheckColumn = 17
};

bool HasCheck(const OverviewRow& r, const char* flag) {
    return std::find(r.checks.begin(), r.checks.end(), flag) != r.checks.end();
}

bool gRateProblemTold = false;
std::vector<std::string> gAlertProblemsTold;

void TellAlertProblems(const std::vector<std::string>& problems) {
    QString text;
    for (const auto& p : problems) {
        if (std::find(gAlertProblemsTold.begin(), gAlertProblemsTold.end(), p) ==
            gAlertProblemsTold.end()) {
            gAlertProblemsTold.push_back(p);
            text += (text.isEmpty() ? "" : "\r") + ToQString(p);
        }
    }
    if (!text.isEmpty()) {
        ShowUserMessage(QStringLiteral("Rendaal"), text);
    }
}

// Why notices cannot be shown, and whether the status line has said it after a run: said at
// start only, a run's own status would cover it at once.
std::string gNoticeProblem;
bool gNoticeProblemAfterRun = false;

void SayInStatus(TMainForm& form, const std::string& text) {
    const QString status = form.Label1->text();
    form.Label1->setText(status.isEmpty() ? ToQString(text)
                                          : status + QStringLiteral(" \u2013 ") + ToQString(text));
    form.Label1->setToolTip(ToQString(text));  // the line may be cut off
    form.Label1->adjustSize();
}

void SayNoticeProblem(TMainForm& form) {
    SayInStatus(form, gNoticeProblem);
}

// A push or mail failure is said once until that channel works again; it is tried again at the
// next alert that starts.
std::vector<std::string> gChannelFailuresTold;

void TellChannelFailures(TMainForm& form, const AlertCheck& check) {
    if (check.started.empty()) {
        return;
    }
    std::vector<std::string> told;
    for (const auto& failure : check.channelFailures) {
        if (std::find(gChannelFailuresTold.begin(), gChannelFailuresTold.end(), failure) ==
            gChannelFailuresTold.end()) {
            SayInStatus(form, failure);
        }
        told.push_back(failure);
    }
    gChannelFailuresTold = std::move(told);
}

// "Toon" on a notice: its combination chosen in the list, then Overzicht as Ctrl+O opens it.
void ShowOverviewOn(TMainForm& form, const std::string& key) {
    const std::vector<std::string> lines = form.Combinations();
    for (size_t i = 0; i < lines.size() && static_cast<int>(i) < form.ListBox1->count(); ++i) {
        if (CombinationKey(lines[i]) == key) {
            form.ListBox1->setCurrentRow(static_cast<int>(i));
            break;
        }
    }
    if (auto* action = form.findChild<QAction*>(QStringLiteral("OverzichtAction"))) {
        action->trigger();
    }
}

// What the window announced while no file could keep it.
std::optional<AlertState> gAlertMemory;

DesktopNotifier& NotifierOf(TMainForm& form) {
    auto* notifier = form.findChild<DesktopNotifier*>(QString(), Qt::FindDirectChildrenOnly);
    if (notifier == nullptr) {
        notifier = new DesktopNotifier(QDBusConnection::sessionBus(), &form);
        notifier->onProblem = [&form](const std::string& problem) {
            gNoticeProblem = problem;
            SayNoticeProblem(form);
        };
        notifier->setActions(true);
        QObject::connect(notifier, &DesktopNotifier::showRequested, &form,
                         [&form](const QString& key) { ShowOverviewOn(form, key.toStdString()); });
    }
    return *notifier;
}

void AskRows(TMainForm& form, const std::vector<std::string>& lines) {
    auto* worker = form.findChild<TOverviewWorker*>(QString(), Qt::FindDirectChildrenOnly);
    if (worker != nullptr) {
        worker->Request(form.DataFolder, lines, WindowRates(),
                        AmsterdamTimeOfLocal(AppClock().Now()));
    }
}

// An alert check waits for the histories to be read; checks asked meanwhile are one.
struct PendingCheck {
    bool asked = false;
    bool afterRun = false;
    std::string noticeBefore;
};
PendingCheck gPendingCheck;

// The check with the rows just read, under the run lock; empty while a run holds it (its own
// end asks again).
std::optional<std::vector<Alert>> PendingAlertCheck(TMainForm& form,
                                                    const std::vector<OverviewRow>& rows) {
    RunLock lock(form.DataFolder);
    if (!lock.TryAcquire()) {
        return std::nullopt;
    }
    const PendingCheck pending = gPendingCheck;
    gPendingCheck = {};
    AlertCheck check = CheckAlerts(form.DataFolder, rows, &NotifierOf(form), &gAlertMemory);
    TellAlertProblems(check.problems);
    TellChannelFailures(form, check);
    if (pending.afterRun && !gNoticeProblemAfterRun && !pending.noticeBefore.empty()) {
        gNoticeProblemAfterRun = true;
        SayNoticeProblem(form);
    } else if (pending.afterRun && !gNoticeProblem.empty()) {
        gNoticeProblemAfterRun = true;
    }
    return std::move(check.holding);
}

}  // namespace

AlertLimits WindowAlertLimits() {
    const SettingsStore store;
    const AlertSettings s = ReadAlertSettings(store.file(), kSettingsKey);
    TellAlertProblems(s.problems);
    return s.limits;
}

void CheckWindowAlerts(TMainForm& form, bool afterRun) {
    if (!gPendingCheck.asked) {
        gPendingCheck.noticeBefore = gNoticeProblem;
    }
    gPendingCheck.asked = true;
    gPendingCheck.afterRun = gPendingCheck.afterRun || afterRun;
    AskRows(form, form.Combinations());
}

bool CheckWindowAlertsWhenFree(TMainForm& form) {
    // No folder yet: a lock file must not appear in the working folder.
    if (form.DataFolder.empty() || !QFileInfo(ToQString(form.DataFolder)).isDir()) {
        return false;
    }
    RunLock lock(form.DataFolder);
    if (!lock.TryAcquire()) {
        return false;
    }
    CheckWindowAlerts(form, false);
    return true;
}

void TIvChartView::Show(const std::string& fileName, const std::vector<IvRow>& rows) {
    fileName_ = fileName;
    rows_ = rows;
    update();
}

void TIvChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (fileName_.empty()) {
        painter.fillRect(rect(), palette().window());
        painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Kies een combinatie"));
        return;
    }
    painter.drawImage(0, 0,
                      RenderIvChart(fileName_, rows_, width(), height(), devicePixelRatioF()));
}

Rates WindowRates() {
    const SettingsStore store;
    const RateSettings s = ReadRateSettings(store.file(), kSettingsKey);
    const std::string problems = s.renteProblem +
                                 (s.renteProblem.empty() || s.dividendProblem.empty() ? "" : "\r") +
                                 s.dividendProblem;
    if (!problems.empty() && !gRateProblemTold) {
        gRateProblemTold = true;
        ShowUserMessage(QStringLiteral("Rendaal"), ToQString(problems));
    }
    return s.rates;
}

bool TheoryViewStored() {
    return SettingsStore().ReadBool(kTheorieValue, false);
}

bool StoreTheoryView(bool on) {
    SettingsStore store;
    return store.Write(
        [on](RegFile& file) { file.WriteInteger(kSettingsKey, kTheorieValue, on ? 1 : 0); });
}

int64_t TheoryDaysStored() {
    const int64_t days = SettingsStore().ReadInteger(kTheorieDagenValue, 0);
    return days >= 0 && days <= kMaxTheorieDagen ? days : 0;
}

bool StoreTheoryDays(int64_t days) {
    SettingsStore store;
    return store.Write([days](RegFile& file) {
        file.WriteInteger(kSettingsKey, kTheorieDagenValue,
                          std::clamp<int64_t>(days, 0, kMaxTheorieDagen));
    });
}

std::string TheoryHoverFor(const std::string& folder, const std::string& line) {
    const auto rows =
        LoadOverview(folder, {line}, WindowRates(), AmsterdamTimeOfLocal(AppClock().Now()));
    return rows.empty() ? std::string() : TheoryHoverLines(rows.front());
}

TOverviewForm::TOverviewForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Overzicht"));
    resize(1100, 640);

    Grid = new QTableWidget(this);
    Grid->setObjectName("Grid");
    const auto& columns = OverviewColumns();
    Grid->setColumnCount(static_cast<int>(columns.size()));
    QStringList titles;
    for (const auto& c : columns) {
        titles << QString::fromUtf8(c.title);
    }
    Grid->setHorizontalHeaderLabels(titles);
    Grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    Grid->setSelectionMode(QAbstractItemView::SingleSelection);
    Grid->verticalHeader()->hide();
    Grid->verticalHeader()->setDefaultSectionSize(Grid->fontMetrics().height() + 6);
    Grid->setSortingEnabled(true);
    Grid->sortByColumn(-1, Qt::AscendingOrder);
    Grid->setAccessibleName(QStringLiteral("Combinaties"));
    Grid->setAccessibleDescription(
        QStringLiteral("Een rij per combinatie; Enter kiest haar in het hoofdvenster"));

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
    IvChart->setMinimumHeight(220);
    IvChart->setAccessibleName(QStringLiteral("Volatiliteit van de gekozen combinatie"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(Grid, 1);
    layout->addWidget(IvChart, 1);

    connect(RenteEdit, &QLineEdit::editingFinished, this, &TOverviewForm::RenteEditEditingFinished);
    connect(DividendEdit, &QLineEdit::editingFinished, this,
            &TOverviewForm::DividendEditEditingFinished);
    connect(Grid, &QTableWidget::cellDoubleClicked, this, &TOverviewForm::GridCellDoubleClicked);
    connect(Grid, &QTableWidget::currentCellChanged, this, [this] { ShowSelectedIv(); });

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
    const QTableWidgetItem* item = Grid->currentItem();
    const std::vector<std::string> all = lines ? lines() : std::vector<std::string>{};
    const int index = item != nullptr ? item->data(kIndexRole).toInt() : -1;
    if (index < 0 || index >= static_cast<int>(all.size())) {
        IvChart->Show({}, {});
        return;
    }
    const std::string name = HistoryFileName(all[static_cast<size_t>(index)]);
    const HistoryRows rows = LoadHistoryRows(folder, name);
    IvChart->Show(name, IvHistory(name, rows.lines, WindowRates()));
}

void TOverviewForm::showEvent(QShowEvent* event) {
    const SettingsStore store;
    RenteEdit->setText(ToQString(StoredPercentText(store.file(), kSettingsKey, kRenteValue)));
    DividendEdit->setText(ToQString(StoredPercentText(store.file(), kSettingsKey, kDividendValue)));
    Refresh();
    QWidget::showEvent(event);
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
    const auto& columns = OverviewColumns();
    const int sortColumn = Grid->horizontalHeader()->sortIndicatorSection();
    const Qt::SortOrder order = Grid->horizontalHeader()->sortIndicatorOrder();
    const int alertColumn = static_cast<int>(columns.size()) - 1;
    Grid->setSortingEnabled(false);
    Grid->clearContents();
    Grid->setRowCount(static_cast<int>(rows.size()));
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const OverviewRow& r = rows[static_cast<size_t>(i)];
        const auto cells = OverviewCells(r);
        const auto keys = SortKeys(r);
        const bool stale = r.stale.value_or(false);
        for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
            auto* item = new SortItem(ToQString(cells[static_cast<size_t>(c)]));
            if (static_cast<size_t>(c) < keys.size()) {
                if (const auto& key = keys[static_cast<size_t>(c)]) {
                    item->setData(kSortRole, *key);
                }
            }
            item->setData(kIndexRole, i);
            item->setTextAlignment(
                Qt::AlignVCenter |
                (columns[static_cast<size_t>(c)].number ? Qt::AlignRight : Qt::AlignLeft));
            if (stale) {
                QFont f = item->font();
                f.setItalic(true);
                item->setFont(f);
            }
            if (stale && c == kStaleColumn) {
                item->setBackground(kStaleColor);
            }
            const bool flagged = (c == kCheckColumn && !r.checks.empty()) ||
                                 (c == kSomLastColumn && HasCheck(r, kBelowIntrinsicFlag)) ||
                                 (c == kAexColumn && HasCheck(r, kNoIndexFlag));
            if (flagged) {
                item->setBackground(kFlagColor);
                item->setToolTip(ToQString(JoinChecks(r.checks)));
            }
            if (!r.alerts.empty() && (c == kKeyColumn || c == alertColumn)) {
                item->setBackground(kAlertColor);
                item->setToolTip(QStringLiteral("Signaal: ") + ToQString(JoinChecks(r.alerts)));
                if (c == kKeyColumn) {
                    item->setIcon(
                        QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
                }
            }
            Grid->setItem(i, c, item);
        }
    }
    Grid->setSortingEnabled(true);
    Grid->sortByColumn(sortColumn, order);
    Grid->resizeColumnsToContents();
    // A message about the rates stays: with the rows read elsewhere it was set before them.
    const QString none = QStringLiteral("Geen combinaties");
    if (rows.empty()) {
        StatusLabel->setText(none);
    } else if (StatusLabel->text() == none) {
        StatusLabel->clear();
    }
    if (Grid->currentItem() == nullptr && Grid->rowCount() > 0) {
        Grid->setCurrentCell(0, 0);
    }
    ShowSelectedIv();
    if (!sized_) {
        // Wide enough for every column at first, within the screen.
        sized_ = true;
        int w = 2 * Grid->frameWidth() + 40;
        for (int c = 0; c < Grid->columnCount(); ++c) {
            w += Grid->columnWidth(c);
        }
        const QScreen* s = screen();
        const int room = s != nullptr ? s->availableGeometry().width() - 40 : w;
        resize(std::max(400, std::min(w, room)), height());
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
    const QTableWidgetItem* item = Grid->item(row, column);
    if (item != nullptr && selectCombination) {
        selectCombination(item->data(kIndexRole).toInt());
    }
}

void InstallOverview(TMainForm& form) {
    form.TheoryView = TheoryViewStored();
    auto* overview = new TOverviewForm(&form);
    overview->lines = [&form] { return form.Combinations(); };
    overview->selectCombination = [&form](int index) {
        if (index >= 0 && index < form.ListBox1->count()) {
            form.ListBox1->setCurrentRow(index);
            form.activateWindow();
        }
    };

    auto* action = new QAction(QStringLiteral("Overzicht..."), &form);
    action->setObjectName(QStringLiteral("OverzichtAction"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    action->setShortcutContext(Qt::WindowShortcut);
    form.addAction(action);
    form.ListBox1->addAction(action);
    QObject::connect(action, &QAction::triggered, overview, [overview, &form] {
        overview->folder = form.DataFolder;
        if (overview->isVisible()) {
            overview->Refresh();
        } else {
            overview->show();
        }
        overview->raise();
        overview->activateWindow();
    });

    // Histories grow with every download and go stale when a close passes, so the marks are
    // renewed when the list changes (the list sees to that) and once a minute. Hundreds of
    // long histories take seconds to read: that happens away from the window.
    auto* worker = new TOverviewWorker(&form);
    auto ask = [&form](const std::vector<std::string>& lines) { AskRows(form, lines); };
    form.ListBox1->askMarks = ask;
    overview->askRows = ask;
    QObject::connect(worker, &TOverviewWorker::Ready, &form, [&form, worker, overview] {
        // An answer for another list would put rows against the wrong lines; the list's change
        // asks again.
        if (worker->Lines() != form.Combinations()) {
            return;
        }
        std::vector<OverviewRow> rows = worker->Rows();
        const auto checked = gPendingCheck.asked ? PendingAlertCheck(form, rows) : std::nullopt;
        MarkAlerts(rows,
                   checked ? *checked : EvaluateAlerts(rows, WindowAlertLimits(), {}).holding);
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
}

}  // namespace rendaal
