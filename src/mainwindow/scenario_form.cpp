#include "mainwindow/scenario_form.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

#include "core/clock.h"
#include "core/combination.h"
#include "core/market_hours.h"
#include "mainwindow/main_form.h"
#include "mainwindow/overview_form.h"
#include "mainwindow/overview_worker.h"
#include "platform/qt_text.h"

namespace rendaal {

TScenarioForm::TScenarioForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Scenario"));
    setObjectName(QStringLiteral("ScenarioForm"));

    ShiftBox = new QComboBox(this);
    ShiftBox->setObjectName(QStringLiteral("ShiftBox"));
    for (const int shift : kScenarioShifts) {
        ShiftBox->addItem(ToQString(ShiftText(shift)), shift);
    }
    ShiftBox->setCurrentIndex(ShiftBox->findData(0));
    ShiftBox->setToolTip(
        QStringLiteral("Verschuiving van de impliciete volatiliteit van beide benen, in "
                       "volatiliteitspunten (nooit onder 1 %)"));
    auto* shiftLabel = new QLabel(QStringLiteral("&Volatiliteit (punten):"), this);
    shiftLabel->setBuddy(ShiftBox);
    StatusLabel = new QLabel(this);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    StatusLabel->setWordWrap(true);

    Map = new TScenarioView(this);
    Map->setObjectName(QStringLiteral("Map"));
    // Until a cell is chosen; then the name is the chosen cell's read-out.
    Map->setAccessibleName(QStringLiteral("Resultaat per datum en AEX-stand"));
    Map->setToolTip(
        QStringLiteral("Resultaat in euro per contract: (premie ontvangen - waarde) "
                       "x 100; pijltjestoetsen kiezen een vak"));
    ReadoutLabel = new QLabel(this);
    ReadoutLabel->setObjectName(QStringLiteral("ReadoutLabel"));
    ReadoutLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ReadoutLabel->setAccessibleName(QStringLiteral("Gekozen vak"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(shiftLabel);
    bar->addWidget(ShiftBox);
    bar->addSpacing(16);
    bar->addWidget(StatusLabel, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(Map, 1);
    layout->addWidget(ReadoutLabel);

    connect(ShiftBox, &QComboBox::currentIndexChanged, this, &TScenarioForm::ShiftBoxChanged);
    connect(Map, &TScenarioView::CellShown, this, &TScenarioForm::ShowCell);
    auto* closing = new QAction(this);
    closing->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W)});
    addAction(closing);
    connect(closing, &QAction::triggered, this, &QWidget::close);

    // Room for every column with its amount where the screen allows.
    const QScreen* s = screen();
    const QSize room = s != nullptr ? s->availableGeometry().size() - QSize(40, 60) : QSize();
    resize(room.isValid() ? QSize(std::min(1300, room.width()), std::min(720, room.height()))
                          : QSize(1100, 640));
    ShowNothing(QStringLiteral("Kies een combinatie in de lijst"));
}

int TScenarioForm::Shift() const {
    return ShiftBox->currentData().toInt();
}

void TScenarioForm::Show(const OverviewRow& row, const std::string& historyFileName,
                         const Date& today, const Rates& rates) {
    input_ = ScenarioInputOf(row, today, rates);
    fileName_ = historyFileName;
    Recompute();
}

void TScenarioForm::ShowNothing(const QString& why) {
    input_.reset();
    fileName_.clear();
    Map->Show({}, "Scenario");
    StatusLabel->setText(why);
    ReadoutLabel->clear();
}

void TScenarioForm::ShiftBoxChanged() {
    Recompute();
}

void TScenarioForm::Recompute() {
    if (!input_) {
        return;
    }
    ScenarioGrid grid = ComputeScenario(*input_, Shift());
    StatusLabel->setText(ToQString(grid.problem.empty() ? grid.note : grid.problem));
    const std::string title = ScenarioTitle(fileName_, Shift());
    setWindowTitle(ToQString(title));
    Map->Show(std::move(grid), title);
    ShowCell(Map->hasFocus() ? Map->Selected() : std::nullopt);
}

void TScenarioForm::ShowCell(std::optional<ScenarioCell> cell) {
    const ScenarioGrid& g = Map->Grid();
    ReadoutLabel->setText(cell ? ToQString(ScenarioCellText(g, cell->date, cell->column))
                               : ToQString(ScenarioDescription(g)));
}

namespace {

// The selected combination from the rows the overview's reader has; false when it has none
// for the list as it is now (they are asked for, and come through the reader's Ready).
bool ShowSelected(TMainForm& form, TScenarioForm& scenario, const TOverviewWorker& worker) {
    const int index = form.SelectedIndex();
    const auto& lines = form.Combinations();
    if (index < 0 || index >= static_cast<int>(lines.size())) {
        scenario.ShowNothing(QStringLiteral("Kies een combinatie in de lijst"));
        return true;
    }
    const auto i = static_cast<size_t>(index);
    if (worker.Lines() != lines || i >= worker.Rows().size()) {
        return false;
    }
    const DateTime now = AmsterdamTimeOfLocal(AppClock().Now());
    scenario.Show(worker.Rows()[i], HistoryFileName(lines[i]), now.date(), WindowRates());
    return true;
}

}  // namespace

void InstallScenario(TMainForm& form) {
    auto* worker = form.findChild<TOverviewWorker*>(QString(), Qt::FindDirectChildrenOnly);
    auto* scenario = new TScenarioForm(&form);
    auto* action = new QAction(QStringLiteral("Scenario..."), &form);
    action->setObjectName(QStringLiteral("ScenarioAction"));
    action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    action->setShortcutContext(Qt::WindowShortcut);
    form.addAction(action);
    form.ListBox1->addAction(action);
    auto update = [&form, scenario, worker] {
        if (worker == nullptr || !ShowSelected(form, *scenario, *worker)) {
            scenario->ShowNothing(QStringLiteral("De koersbestanden worden gelezen..."));
            form.ListBox1->RefreshMarks();
        }
    };
    QObject::connect(action, &QAction::triggered, scenario, [scenario, update] {
        update();
        scenario->show();
        scenario->raise();
        scenario->activateWindow();
    });
    if (worker != nullptr) {
        QObject::connect(worker, &TOverviewWorker::Ready, scenario, [&form, scenario, worker] {
            if (scenario->isVisible()) {
                ShowSelected(form, *scenario, *worker);
            }
        });
    }
    QObject::connect(form.ListBox1, &QListWidget::currentRowChanged, scenario, [scenario, update] {
        if (scenario->isVisible()) {
            update();
        }
    });
}

}  // namespace rendaal
