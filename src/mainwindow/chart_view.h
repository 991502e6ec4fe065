#pragma once

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "charts/chart_state.h"
#include "charts/frame.h"

namespace rendaal {

class TMainForm;

// The main window's chart: draws the selected combination as the window's views ask, shows the
// hover read-out, and offers "Grafiek opslaan..." (Ctrl+S), "Theorie" (Ctrl+T) and "Theorie over
// ... dagen" in its context menu, followed by the actions added to it with addAction. It takes the
// focus, so the menu key and Shift+F10 open that menu; a screen reader hears what it shows as its
// description.
class TChartView final : public QLabel {
    Q_OBJECT

public:
    explicit TChartView(TMainForm& form);

    // Draws the combination's chart at the view's size. Empty when nothing was drawn (a line
    // naming a file outside the data folder); else what the chart changes outside its picture.
    std::optional<ChartOutputs> Draw(const std::string& line);
    void Clear();
    // The chart last drawn (null before the first one).
    const QImage& Image() const { return chart_; }

    // Asks where to save the chart, suggesting a name after the combination's history file.
    void SaveAs(const std::string& line);
    // Writes the chart as a PNG file (replaced whole); tells the user when it fails.
    bool SaveTo(const QString& path);
    // Stores "Theorie dagen", turns "Theorie" on and draws the chart again.
    void SetTheoryDays(int64_t days);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void ShowHover();
    void ShowMenu(const QPoint& at, bool byKey);
    void AskTheoryDays();

    TMainForm& form_;
    QAction* save_ = nullptr;
    QAction* theory_ = nullptr;
    QAction* days_ = nullptr;
    QImage chart_;
    std::string theoryLine_;                       // the combination last drawn with "Theorie"
    std::string theorySummary_;                    // its latest values, for a screen reader
    std::optional<bool> theoryAvailable_;          // the chart last drawn can show "Theorie"
    std::string historyFile_;                      // of the chart last drawn
    std::shared_ptr<const ChartHistory> history_;  // as read for it
};

// Why "Theorie" shows no line.
std::string TheoryRefusal();

// One line for a screen reader: the view, the combination, the dates drawn, the last sum and the
// result the read-out labels show.
std::string ChartSummary(bool blocks, const std::string& line, const HistoryRows& rows,
                         const std::optional<ChartOutputs>& outputs);

}  // namespace rendaal
