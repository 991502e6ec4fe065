#include "mainwindow/chart_view.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>
#include <QToolTip>

#include "charts/hover.h"
#include "charts/theory_line.h"
#include "core/clock.h"
#include "core/combination.h"
#include "core/market_hours.h"
#include "core/settings_values.h"
#include "core/text.h"
#include "dialogs/shown_text.h"
#include "history/rows.h"
#include "mainwindow/key_menu.h"
#include "mainwindow/main_form.h"
#include "mainwindow/overview_form.h"
#include "mainwindow/overview_worker.h"
#include "platform/chart_render.h"
#include "platform/qt_text.h"
#include "platform/theory_render.h"

namespace rendaal {

TChartView::TChartView(TMainForm& form) : QLabel(&form), form_(form) {
    setObjectName("Image1");
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(QStringLiteral("Grafiek van de geselecteerde combinatie"));
    save_ = new QAction(QStringLiteral("Grafiek opslaan..."), this);
    save_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    theory_ = new QAction(QStringLiteral("Theorie"), this);
    theory_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    theory_->setCheckable(true);
    for (QAction* action : {save_, theory_}) {
        action->setShortcutVisibleInContextMenu(true);
        form.addAction(action);  // the keys work wherever the focus is in the window
    }
    connect(save_, &QAction::triggered, &form, &TMainForm::SaveChartClick);
    connect(theory_, &QAction::triggered, &form, &TMainForm::TheorieClick);
    days_ = new QAction(QStringLiteral("Theorie over ... dagen"), this);
    connect(days_, &QAction::triggered, this, &TChartView::AskTheoryDays);
}

std::optional<ChartOutputs> TChartView::Draw(const std::string& line) {
    const std::string historyFile = HistoryFileName(line);
    // A hand-edited line could name a file outside the data folder.
    if (!IsPlainFileName(historyFile)) {
        return std::nullopt;
    }
    ChartOutputs outputs;
    const MainFormHooks& hooks = form_.Hooks();
    historyFile_ = historyFile;
    // One read for the picture, its theory line and what a screen reader hears of them.
    history_ =
        std::make_shared<const ChartHistory>(ReadChartHistory(form_.DataFolder, historyFile));
    if (hooks.renderChart) {
        chart_ = hooks.renderChart(historyFile, size(), form_.BlocksView, form_.SeparateView);
    } else {
        ChartRequest request;
        request.blocks = form_.BlocksView;
        request.separate = form_.SeparateView;
        request.folder = form_.DataFolder;
        request.fileName = historyFile;
        request.width = width();
        request.height = height();
        request.today = AppClock().Now().date();
        request.history = history_;
        theoryLine_.clear();
        theorySummary_.clear();
        theoryAvailable_.reset();
        if (form_.TheoryView) {
            const Rates rates = WindowRates();
            theoryAvailable_ = AddTheory(request, rates, AppClock().Now(), TheoryDaysStored());
            if (*theoryAvailable_) {
                theorySummary_ =
                    TheorySummary(form_.BlocksView, historyFile, history_->rows.lines, rates,
                                  AmsterdamTimeOfLocal(AppClock().Now()), TheoryDaysStored());
                theoryLine_ = line;
            }
        }
        chart_ = RenderChart(request, form_.Charts, outputs, devicePixelRatioF());
    }
    setPixmap(QPixmap::fromImage(chart_));
    std::string description =
        ChartSummary(form_.BlocksView, line, history_->rows,
                     hooks.renderChart ? std::nullopt : std::optional<ChartOutputs>(outputs));
    if (form_.TheoryView) {
        description += ". " + (theorySummary_.empty() ? TheoryRefusal() : theorySummary_);
    }
    setAccessibleDescription(ToQString(description));
    return outputs;
}

void TChartView::Clear() {
    chart_ = QImage();
    history_.reset();
    theoryLine_.clear();
    clear();
    setToolTip(QString());
    setAccessibleDescription(QStringLiteral("Geen combinatie"));
}

void TChartView::mouseMoveEvent(QMouseEvent* event) {
    QLabel::mouseMoveEvent(event);
    ShowHover();
}

void TChartView::ShowHover() {
    if (!form_.HoverReady) {
        return;
    }
    const MainFormHooks& hooks = form_.Hooks();
    QString text;
    if (hooks.hoverText) {
        text = hooks.hoverText();
    } else {
        const std::string quoteTime = hooks.quoteTimeText ? hooks.quoteTimeText() : "";
        const QPoint at = mapFromGlobal(QCursor::pos());
        const auto nearest = NearestPoint(form_.Charts.points, at.x(), at.y(), form_.BlocksView);
        // The worker's newest rows: hovering reads no file.
        const auto* worker =
            form_.findChild<const TOverviewWorker*>(QString(), Qt::FindDirectChildrenOnly);
        text =
            ToQString(HoverText(form_.Charts.lastRowDate, quoteTime, form_.Charts.lastRowTexts) +
                      (nearest ? PointText(*nearest, form_.BlocksView) : std::string()) +
                      (theoryLine_.empty() ? std::string() : TheoryHoverFor(worker, theoryLine_)));
    }
    text = ShownText(text);
    // The read-out ends with a line break; a tool tip would show it as an empty last line.
    while (text.endsWith(QLatin1Char('\n'))) {
        text.chop(1);
    }
    setToolTip(text);
    const QPoint p = QCursor::pos();
    QToolTip::showText(QPoint(p.x() + 5, p.y()), text, this);
}

void TChartView::contextMenuEvent(QContextMenuEvent* event) {
    ShowMenu(event->globalPos(), event->reason() == QContextMenuEvent::Keyboard);
}

void TChartView::keyPressEvent(QKeyEvent* event) {
    // Where the platform turns the menu key into a context menu, the open menu takes the key
    // and it does not come here.
    if (IsMenuKey(event)) {
        ShowMenu(mapToGlobal(QPoint(10, 10)), true);
        return;
    }
    QLabel::keyPressEvent(event);
}

void TChartView::ShowMenu(const QPoint& at, bool byKey) {
    save_->setEnabled(!chart_.isNull());
    theory_->setChecked(form_.TheoryView);
    // Greyed with the reason rather than switched on to change nothing.
    if (!theoryAvailable_ && !chart_.isNull()) {
        ChartRequest probe;
        probe.folder = form_.DataFolder;
        probe.fileName = historyFile_;
        probe.history = history_;
        theoryAvailable_ = AddTheory(probe, WindowRates(), AppClock().Now(), 0);
    }
    theory_->setEnabled(chart_.isNull() || theoryAvailable_.value_or(true) || form_.TheoryView);
    theory_->setToolTip(theory_->isEnabled() ? QString() : ToQString(TheoryRefusal()));
    days_->setEnabled(form_.BlocksView);
    days_->setToolTip(form_.BlocksView
                          ? QString()
                          : QStringLiteral("Alleen in Blokjes: de Grafiek toont de theorie van "
                                           "elke dag op die dag zelf"));
    QList<QAction*> items = {save_, theory_, days_};
    if (!actions().isEmpty()) {
        auto* line = new QAction(this);
        line->setSeparator(true);
        items << line << actions();
        ExecContextMenu(this, items, at, byKey, QStringLiteral("Menu van de grafiek"));
        delete line;
        return;
    }
    ExecContextMenu(this, items, at, byKey, QStringLiteral("Menu van de grafiek"));
}

void TChartView::AskTheoryDays() {
    bool ok = false;
    const int n = QInputDialog::getInt(
        this, QStringLiteral("Theorie"),
        QStringLiteral("Theorie over hoeveel dagen (0 = vandaag)?\n"
                       "Na de dag voor de expiratie blijft de lijn op die dag."),
        static_cast<int>(TheoryDaysStored()), 0, static_cast<int>(kMaxTheorieDagen), 1, &ok);
    if (ok) {
        SetTheoryDays(n);
    }
}

void TChartView::SetTheoryDays(int64_t days) {
    if (!StoreTheoryDays(days)) {
        ShowUserMessage(ToQString(form_.ProgramName),
                        QStringLiteral("De instelling kon niet worden bewaard"));
    }
    if (form_.TheoryView) {
        form_.ShowSelected();
    } else {
        form_.TheorieClick();
    }
}

void TChartView::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (hasFocus()) {
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2, Qt::DotLine));
        painter.drawRect(rect().adjusted(1, 1, -1, -1));
    }
}

void TChartView::SaveAs(const std::string& line) {
    if (chart_.isNull()) {
        return;
    }
    // Not in the data folder: the clean-up would delete the picture after a while.
    QString suggested = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (suggested.isEmpty() || !QDir(suggested).exists()) {
        suggested = QDir::homePath();
    }
    if (!line.empty()) {
        suggested += QLatin1Char('/') + ToQString(BeforeLast('.', HistoryFileName(line)) + ".png");
    }
    const QString path =
        QFileDialog::getSaveFileName(&form_, QStringLiteral("Grafiek opslaan"), suggested,
                                     QStringLiteral("PNG-afbeelding (*.png)"));
    if (!path.isEmpty()) {
        SaveTo(path);
    }
}

bool TChartView::SaveTo(const QString& path) {
    const MainFormHooks& hooks = form_.Hooks();
    std::string why;
    const bool saved =
        !chart_.isNull() && (hooks.saveChartPng ? hooks.saveChartPng(chart_, path)
                                                : SaveChartPng(chart_, path.toStdString(), &why));
    if (!saved) {
        ShowUserMessage(ToQString(form_.ProgramName),
                        QStringLiteral("De grafiek kon niet worden opgeslagen in ") + path +
                            (why.empty() ? QString() : QStringLiteral(":\n") + ToQString(why)));
        return false;
    }
    const QString said = QStringLiteral("Grafiek opgeslagen in ") + path;
    form_.Label1->setText(said);
    form_.Label1->setToolTip(said);
    form_.Panel1->FitLabels();
    return true;
}

std::string TheoryRefusal() {
    return "Geen theorie: de laatste koersen geven geen volatiliteit";
}

std::string ChartSummary(bool blocks, const std::string& line, const HistoryRows& rows,
                         const std::optional<ChartOutputs>& outputs) {
    const auto trim = [](const std::string& t) {
        return QString::fromStdString(t).trimmed().toStdString();
    };
    std::string text = std::string(blocks ? "Blokjes" : "Grafiek") + " van " +
                       BeforeFirst('_', HistoryFileName(line)) + " " + CombinationKey(line);
    std::optional<HistoryRow> last;
    for (auto it = rows.lines.rbegin(); it != rows.lines.rend() && !last; ++it) {
        HistoryRow row = SplitHistoryRow(*it);
        if (RowDayNumber(row.dateText)) {
            last = std::move(row);
        }
    }
    if (!last) {
        return text + ", nog geen koersen";
    }
    text += ", " + rows.startDate + " tot " + last->dateText + ", laatste som " + kEuro + " " +
            trim(last->somField);
    if (outputs && outputs->result) {
        std::string result;
        for (const LabelOutput& label : *outputs->result) {
            if (!trim(label.caption).empty()) {
                result += (result.empty() ? "" : " ") + trim(label.caption);
            }
        }
        if (!result.empty()) {
            text += ", " + result;
        }
    }
    return text;
}

}  // namespace rendaal
