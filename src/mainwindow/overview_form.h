#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "analytics/overview.h"
#include "mainwindow/overview_alerts.h"
#include "mainwindow/overview_iv_chart.h"
#include "mainwindow/overview_settings.h"
#include "mainwindow/overview_table.h"

namespace rendaal {

class TMainForm;
class TOverviewWorker;

// "Overzicht": where every combination stands, one sortable row each, with the rate and
// dividend the volatilities are solved with, and below it the selected one's volatility chart.
// Escape and Ctrl+W close it.
class TOverviewForm final : public QWidget {
    Q_OBJECT

public:
    // The histories are read by worker (one of its own when none is given).
    explicit TOverviewForm(QWidget* parent = nullptr, TOverviewWorker* worker = nullptr);

    TOverviewTable* Grid = nullptr;
    QLineEdit* RenteEdit = nullptr;
    QLineEdit* DividendEdit = nullptr;
    QLabel* StatusLabel = nullptr;
    TIvChartView* IvChart = nullptr;

    // Where the rows come from and where Return or a double-click goes (index into lines()).
    std::string folder;
    std::function<std::vector<std::string>()> lines;
    std::function<void(int index)> selectCombination;

    // Where the rows come from when they are read elsewhere: asked for lines(), they arrive
    // through Fill. Unset: read here.
    std::function<void(const std::vector<std::string>& lines)> askRows;

    // Shows the window (or raises it) with the row of that combination key current, now or as
    // soon as the rows arrive; an empty key keeps the row the user was on.
    void OpenOn(const std::string& key);
    // Reads the histories again and refills the table, keeping the sort order and the row.
    void Refresh();
    // Rows of lines(), in its order.
    void Fill(const std::vector<OverviewRow>& rows);

public slots:
    void RenteEditEditingFinished();
    void DividendEditEditingFinished();
    void GridCellDoubleClicked(int row, int column);
    void GridReturnPressed();  // chooses the current row, as a double-click does

protected:
    void showEvent(QShowEvent* event) override;

private:
    void RateEdited(QLineEdit* edit, std::string_view name);
    void ShowSelectedIv();
    void IvArrived();
    void FitOnScreen();

    TOverviewWorker* worker_ = nullptr;
    bool sized_ = false;
};

// Gives the main window its "Overzicht" (Ctrl+O, and in the list's context menu) and keeps the
// list's stale marks up to date.
void InstallOverview(TMainForm& form);
// Opens Overzicht on the combination of that key (CombinationKey of its line); an empty key:
// the main window's selection. Nothing happens before InstallOverview.
void OpenOverview(TMainForm& form, const std::string& key = {});
// Asks for the rows of lines away from the window; they reach the list's marks, the alert
// check and an open Overzicht.
void AskOverviewRows(TMainForm& form, const std::vector<std::string>& lines);

}  // namespace rendaal
