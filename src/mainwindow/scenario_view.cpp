#include "mainwindow/scenario_view.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "platform/qimage_canvas.h"
#include "platform/qt_text.h"
#include "platform/scenario_render.h"

namespace rendaal {

TScenarioView::TScenarioView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(480, 260);
}

void TScenarioView::Show(ScenarioGrid grid, std::string title) {
    grid_ = std::move(grid);
    title_ = std::move(title);
    if (selected_ &&
        (selected_->date >= grid_.dates.size() || selected_->column >= grid_.columns.size())) {
        selected_.reset();
    }
    // Today at today's level: where a keyboard user starts.
    if (!selected_ && !grid_.dates.empty()) {
        selected_ = ScenarioCell{0, grid_.TodayColumn().value_or(0)};
    }
    setAccessibleDescription(ToQString(ScenarioDescription(grid_)));
    stale_ = true;
    update();
}

std::optional<ScenarioCell> TScenarioView::CellAt(QPoint point) const {
    QImage probe(1, 1, QImage::Format_RGB32);
    QImageCanvas canvas(probe);
    return LayoutScenarioMap(grid_, width(), height(), canvas).CellAt(point.x(), point.y());
}

void TScenarioView::Select(ScenarioCell cell) {
    if (grid_.dates.empty() || grid_.columns.empty()) {
        return;
    }
    cell.date = std::min(cell.date, grid_.dates.size() - 1);
    cell.column = std::min(cell.column, grid_.columns.size() - 1);
    selected_ = cell;
    const QString text = ToQString(ScenarioCellText(grid_, cell.date, cell.column));
    setAccessibleName(text);
    if (QAccessible::isActive()) {
        QAccessibleEvent event(this, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    emit CellShown(cell);
    stale_ = true;
    update();
}

void TScenarioView::paintEvent(QPaintEvent*) {
    const double ratio = devicePixelRatioF();
    if (stale_ || picture_.deviceIndependentSize() != QSizeF(size()) ||
        picture_.devicePixelRatio() != ratio) {
        picture_ = RenderScenarioMap(grid_, title_, width(), height(), ratio,
                                     hasFocus() ? selected_ : std::nullopt);
        stale_ = false;
    }
    QPainter painter(this);
    painter.drawImage(0, 0, picture_);
}

void TScenarioView::mouseMoveEvent(QMouseEvent* event) {
    const auto cell = CellAt(event->position().toPoint());
    setToolTip(cell ? ToQString(ScenarioCellText(grid_, cell->date, cell->column)) : QString());
    emit CellShown(cell);
}

void TScenarioView::leaveEvent(QEvent*) {
    emit CellShown(hasFocus() ? selected_ : std::nullopt);
}

void TScenarioView::focusInEvent(QFocusEvent* event) {
    QWidget::focusInEvent(event);
    emit CellShown(selected_);
    stale_ = true;
    update();
}

void TScenarioView::focusOutEvent(QFocusEvent* event) {
    QWidget::focusOutEvent(event);
    stale_ = true;
    update();
}

void TScenarioView::keyPressEvent(QKeyEvent* event) {
    if (!selected_) {
        QWidget::keyPressEvent(event);
        return;
    }
    ScenarioCell c = *selected_;
    const size_t lastDate = grid_.dates.empty() ? 0 : grid_.dates.size() - 1;
    const size_t lastColumn = grid_.columns.empty() ? 0 : grid_.columns.size() - 1;
    switch (event->key()) {
        case Qt::Key_Left:
            c.column = c.column > 0 ? c.column - 1 : 0;
            break;
        case Qt::Key_Right:
            c.column = std::min(c.column + 1, lastColumn);
            break;
        case Qt::Key_Up:
            c.date = c.date > 0 ? c.date - 1 : 0;
            break;
        case Qt::Key_Down:
            c.date = std::min(c.date + 1, lastDate);
            break;
        case Qt::Key_Home:
            c.column = 0;
            break;
        case Qt::Key_End:
            c.column = lastColumn;
            break;
        case Qt::Key_PageUp:
            c.date = 0;
            break;
        case Qt::Key_PageDown:
            c.date = lastDate;
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    Select(c);
}

}  // namespace rendaal
