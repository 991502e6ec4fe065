#pragma once

#include <QComboBox>
#include <QLabel>
#include <QWidget>

#include <optional>
#include <string>

#include "analytics/scenario.h"
#include "mainwindow/scenario_view.h"

namespace rendaal {

class TMainForm;

// "Scenario": what the selected combination makes across index levels and dates up to expiry,
// with the volatility shifted as the user chooses. It works on the overview row the list's
// reader already has; it never reads a history file itself. Escape and Ctrl+W close it.
class TScenarioForm final : public QWidget {
    Q_OBJECT

public:
    explicit TScenarioForm(QWidget* parent = nullptr);

    QComboBox* ShiftBox = nullptr;
    TScenarioView* Map = nullptr;
    QLabel* ReadoutLabel = nullptr;
    QLabel* StatusLabel = nullptr;

    // The combination to show, priced from today; recomputed when the shift changes.
    void Show(const OverviewRow& row, const std::string& historyFileName, const Date& today,
              const Rates& rates);
    // No combination to show, and why (shown in the status line).
    void ShowNothing(const QString& why);
    int Shift() const;

public slots:
    void ShiftBoxChanged();

private:
    void Recompute();
    void ShowCell(std::optional<ScenarioCell> cell);

    std::optional<ScenarioInput> input_;
    std::string fileName_;
};

// Gives the main window its "Scenario" (Ctrl+E, and in the list's context menu). Needs the
// overview installed first: it takes its rows from the overview's reader.
void InstallScenario(TMainForm& form);

}  // namespace rendaal
