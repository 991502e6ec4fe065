#pragma once

#include <QFrame>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QRect>
#include <QString>
#include <QToolButton>

#include "charts/frame.h"

namespace rendaal {

// The panel's controls under their names; the main window carries the same names.
struct PanelControls {
    QPushButton* VoegToeButton = nullptr;
    QPushButton* DownloadBtn = nullptr;
    QPushButton* DelButton = nullptr;
    QToolButton* SpeedInfo = nullptr;
    QPushButton* InstellingenButton = nullptr;
    QPushButton* ModeButton = nullptr;
    QPushButton* ApartButton = nullptr;
    QLabel* Label1 = nullptr;  // status
    QLabel* l1 = nullptr;      // the chart's read-out
    QLabel* l2 = nullptr;
    QLabel* l3 = nullptr;
    QLabel* l4 = nullptr;
    QLabel* L21 = nullptr;  // the index row
    QLabel* L22 = nullptr;
    QLabel* L23 = nullptr;
    QLabel* L24 = nullptr;
};

// The main window's panel: the buttons, the status line, the chart's read-out and the index row.
// Every label is as wide as its text, cut only where it would run under the info button or off
// the panel.
class TMainPanel final : public QFrame, public PanelControls {
    Q_OBJECT

public:
    explicit TMainPanel(QWidget* parent);

    // The style's icons of the download and info buttons. Until then both hold a blank of the
    // same size: the first use of the style's icons searches the icon theme, which costs more
    // than the first frame.
    void LoadStyleIcons();
    // Places buttons and labels for the current font; the panel's height follows.
    void LayoutControls();
    int PanelHeight() const { return height_; }
    // The least width that shows the longest status and index texts whole beside the info button.
    int MinimumWidth() const;
    // The info button keeps to the right edge.
    void PlaceInfoButton();
    void FitLabels();
    // A tooltip saying what a label's text means, kept beside the whole text of a cut label.
    void Explain(QLabel* label, const QString& tip);
    void ShowViews(bool blocks, bool separate);
    void ApplyChartOutputs(const ChartOutputs& outputs);
    void ClearResult();

    // A run blanks the index row while it reads; SettleIndexRow brings back the last read when
    // it read none, greyed unless the run was refused.
    void HoldIndexRow();
    void SettleIndexRow(bool refused);
    bool IndexRowIsOld() const { return indexRowOld_; }
    // The colour of an old reading: greyed, yet readable on the panel.
    QColor OldReadingColour() const;

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void NameIndexChange();

    int height_ = 0;
    struct IndexRow {
        QString texts[4];
        QPalette palettes[4];
        QRect places[4];
    };
    IndexRow heldRow_;
    bool indexRowOld_ = false;
};

// The contrast ratio of two colours as screen-reader guidelines measure it (1 to 21).
double ContrastRatio(const QColor& a, const QColor& b);

}  // namespace rendaal
