#pragma once

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "analytics/alerts.h"
#include "analytics/black_scholes.h"
#include "analytics/overview.h"
#include "mainwindow/combination_list.h"

namespace rendaal {

class TMainForm;

// The rate and dividend yield as stored ("Rente", "Dividend"); a stored text that is not a
// number takes its default, and the user is told so once per program run.
Rates WindowRates();
// The stored "Theorie" switch of the block chart (default off).
bool TheoryViewStored();
bool StoreTheoryView(bool on);
// The stored "Theorie dagen": days after today of the "Theorie" line; 0 when missing or out of
// range.
int64_t TheoryDaysStored();
bool StoreTheoryDays(int64_t days);
// The hover read-out's lines for the combination's last row when "Theorie" is on.
std::string TheoryHoverFor(const std::string& folder, const std::string& line);

// The selected combination's volatility chart, drawn at the widget's size.
class TIvChartView final : public QWidget {
public:
    using QWidget::QWidget;
    // An empty name shows a hint instead of a chart.
    void Show(const std::string& fileName, const std::vector<IvRow>& rows);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string fileName_;
    std::vector<IvRow> rows_;
};

// "Overzicht": where every combination stands, one sortable row each, with the rate and
// dividend the volatilities are solved with, and below it the selected one's volatility chart.
// Escape and Ctrl+W close it.
class TOverviewForm final : public QWidget {
    Q_OBJECT

public:
    explicit TOverviewForm(QWidget* parent = nullptr);

    QTableWidget* Grid = nullptr;
    QLineEdit* RenteEdit = nullptr;
    QLineEdit* DividendEdit = nullptr;
    QLabel* StatusLabel = nullptr;
    TIvChartView* IvChart = nullptr;

    // Where the rows come from and where a double-click goes (index into lines()).
    std::string folder;
    std::function<std::vector<std::string>()> lines;
    std::function<void(int index)> selectCombination;

    // Reads the histories again and refills the table, keeping the sort order.
    void Refresh();

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

    bool sized_ = false;
};

// The stored alert limits; one that is not a number in its range takes its default, and the
// user is told so once per program run.
AlertLimits WindowAlertLimits();
// Evaluates the alerts, announces those that start and renews the list's marks. The caller
// holds the run lock (the download window's runs do). Why notices cannot be shown is said once
// in the status line, and once more after the first run when it was said before any.
void CheckWindowAlerts(TMainForm& form, bool afterRun);
// The same after a change of the rules or the settings: the run lock is taken first. When
// another process holds it, that process evaluates after its run; false then (and without a
// data folder), and the caller renews the marks alone.
bool CheckWindowAlertsWhenFree(TMainForm& form);

// Gives the main window its "Overzicht" (Ctrl+O, and in the list's context menu) and keeps the
// list's stale marks up to date.
void InstallOverview(TMainForm& form);

}  // namespace rendaal
