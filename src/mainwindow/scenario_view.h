#pragma once

#include <QImage>
#include <QWidget>

#include <optional>
#include <string>

#include "charts/scenario_map.h"

namespace rendaal {

// The what-if heat map at the widget's size. The mouse reads out the cell under it; the arrow
// keys (Home/End, Page Up/Down) move a framed cell, which a screen reader hears by name.
class TScenarioView final : public QWidget {
    Q_OBJECT

public:
    explicit TScenarioView(QWidget* parent = nullptr);

    void Show(ScenarioGrid grid, std::string title);
    const ScenarioGrid& Grid() const { return grid_; }
    std::optional<ScenarioCell> Selected() const { return selected_; }
    // Moves the framed cell, clamped to the grid.
    void Select(ScenarioCell cell);
    // The cell under a point of the widget, as the picture lays it out now.
    std::optional<ScenarioCell> CellAt(QPoint point) const;

signals:
    // The cell under the mouse or the keyboard's (empty: none); its read-out is
    // ScenarioCellText.
    void CellShown(std::optional<ScenarioCell> cell);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    ScenarioGrid grid_;
    std::string title_;
    std::optional<ScenarioCell> selected_;
    // The picture last drawn; drawn again only when what it shows changes.
    QImage picture_;
    bool stale_ = true;
};

}  // namespace rendaal
