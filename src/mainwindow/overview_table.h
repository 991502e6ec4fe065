#pragma once

#include <QTableWidget>
#include <string>
#include <vector>

#include "analytics/overview.h"
#include "analytics/report.h"

namespace rendaal {

// Overzicht's table: one sortable row per combination, the stale, check and alert marks, a
// tooltip with every column's meaning, and columns the user can hide from the header's menu
// (kept in the settings). The row the user is on is followed by its combination's key, so a
// refill or a new sort leaves it where it was.
class TOverviewTable final : public QTableWidget {
    Q_OBJECT

public:
    explicit TOverviewTable(QWidget* parent = nullptr);

    // Rows in list order; keeps the sort order and the selected combination.
    void Fill(const std::vector<OverviewRow>& rows);
    // The key of the current row, or the one asked for by SelectKey while no row has it yet.
    const std::string& SelectedKey() const { return key_; }
    // Makes the row of that key current, now or when a Fill brings it.
    void SelectKey(const std::string& key);
    // The current row's index into the lines it was filled from; -1 for none.
    int CurrentIndex() const;
    int ColumnOf(OverviewColumnId id) const;
    // Hidden by the user (not those hidden for being empty).
    bool UserHidden(OverviewColumnId id) const;
    void SetUserHidden(OverviewColumnId id, bool hidden);

signals:
    void Filled();
    // The current row's combination changed (by the user or by a Fill).
    void SelectionChanged();

private:
    void ShowHeaderMenu(const QPoint& pos);
    void ApplyColumnVisibility();
    void SelectKeyNow(int fallbackRow);

    std::string key_;
    bool filling_ = false;
    std::vector<OverviewColumnId> userHidden_;
    std::vector<bool> empty_;  // per column: no row holds anything
};

}  // namespace rendaal
