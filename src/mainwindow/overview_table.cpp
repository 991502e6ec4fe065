#include "mainwindow/overview_table.h"

#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QStyle>

#include <algorithm>

#include "core/settings_values.h"
#include "platform/qt_text.h"
#include "platform/settings_store.h"

namespace rendaal {
namespace {

constexpr int kIndexRole = Qt::UserRole;
constexpr int kSortRole = Qt::UserRole + 1;
constexpr int kKeyRole = Qt::UserRole + 2;
const QColor kStaleColor(255, 236, 200);
const QColor kFlagColor(255, 200, 200);
const QColor kAlertColor(255, 224, 130);

// Numbers and dates sort by value, empty cells first; text sorts as text.
class SortItem final : public QTableWidgetItem {
public:
    using QTableWidgetItem::QTableWidgetItem;
    bool operator<(const QTableWidgetItem& other) const override {
        const QVariant a = data(kSortRole);
        const QVariant b = other.data(kSortRole);
        if (a.isValid() || b.isValid()) {
            if (!a.isValid() || !b.isValid()) {
                return !a.isValid();
            }
            return a.toDouble() < b.toDouble();
        }
        return text() < other.text();
    }
};

bool HasCheck(const OverviewRow& r, const char* flag) {
    return std::find(r.checks.begin(), r.checks.end(), flag) != r.checks.end();
}

}  // namespace

TOverviewTable::TOverviewTable(QWidget* parent) : QTableWidget(parent) {
    const auto& columns = OverviewColumns();
    setColumnCount(static_cast<int>(columns.size()));
    for (int c = 0; c < columnCount(); ++c) {
        const TableColumn& column = columns[static_cast<size_t>(c)];
        auto* header = new QTableWidgetItem(QString::fromUtf8(column.title));
        header->setToolTip(QString::fromUtf8(column.tip));
        setHorizontalHeaderItem(c, header);
    }
    empty_.assign(columns.size(), false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setSortingEnabled(true);
    sortByColumn(-1, Qt::AscendingOrder);
    setAccessibleName(QStringLiteral("Combinaties"));
    setAccessibleDescription(QStringLiteral(
        "Een rij per combinatie; Enter kiest haar in het hoofdvenster. Kolommen verbergen: "
        "rechtsklik op de kolomkoppen"));

    horizontalHeader()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(horizontalHeader(), &QWidget::customContextMenuRequested, this,
            &TOverviewTable::ShowHeaderMenu);
    connect(this, &QTableWidget::currentCellChanged, this, [this] {
        if (filling_) {
            return;
        }
        if (const QTableWidgetItem* it = currentItem()) {
            key_ = it->data(kKeyRole).toString().toStdString();
        }
        emit SelectionChanged();
    });

    const SettingsStore store;
    userHidden_ = ColumnsNamed(store.ReadString(kOverzichtVerborgenValue, ""));
    std::erase(userHidden_, OverviewColumnId::Key);
    ApplyColumnVisibility();
}

int TOverviewTable::ColumnOf(OverviewColumnId id) const {
    const auto& columns = OverviewColumns();
    for (size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].id == id) {
            return static_cast<int>(c);
        }
    }
    return -1;
}

int TOverviewTable::CurrentIndex() const {
    const QTableWidgetItem* it = currentItem();
    return it != nullptr ? it->data(kIndexRole).toInt() : -1;
}

bool TOverviewTable::UserHidden(OverviewColumnId id) const {
    return std::find(userHidden_.begin(), userHidden_.end(), id) != userHidden_.end();
}

void TOverviewTable::SetUserHidden(OverviewColumnId id, bool hidden) {
    if (id == OverviewColumnId::Key || UserHidden(id) == hidden) {
        return;
    }
    if (hidden) {
        userHidden_.push_back(id);
    } else {
        std::erase(userHidden_, id);
    }
    ApplyColumnVisibility();
    SettingsStore store;
    const std::string names = ColumnNames(userHidden_);
    store.Write(
        [&names](RegFile& file) { file.SetString(kSettingsKey, kOverzichtVerborgenValue, names); });
}

void TOverviewTable::ApplyColumnVisibility() {
    const auto& columns = OverviewColumns();
    for (int c = 0; c < columnCount(); ++c) {
        const TableColumn& column = columns[static_cast<size_t>(c)];
        setColumnHidden(
            c, UserHidden(column.id) || (column.hideWhenEmpty && empty_[static_cast<size_t>(c)]));
    }
}

void TOverviewTable::ShowHeaderMenu(const QPoint& pos) {
    QMenu menu(this);
    menu.setAccessibleName(QStringLiteral("Kolommen"));
    const auto& columns = OverviewColumns();
    for (int c = 0; c < columnCount(); ++c) {
        const TableColumn& column = columns[static_cast<size_t>(c)];
        QString text = QString::fromUtf8(column.title);
        if (column.hideWhenEmpty && empty_[static_cast<size_t>(c)]) {
            text += QStringLiteral(" (nu leeg)");
        }
        QAction* action = menu.addAction(text);
        action->setCheckable(true);
        action->setChecked(!UserHidden(column.id));
        action->setEnabled(column.id != OverviewColumnId::Key);
        connect(action, &QAction::toggled, this,
                [this, id = column.id](bool on) { SetUserHidden(id, !on); });
    }
    menu.exec(horizontalHeader()->viewport()->mapToGlobal(pos));
}

void TOverviewTable::SelectKey(const std::string& key) {
    key_ = key;
    SelectKeyNow(-1);
}

void TOverviewTable::SelectKeyNow(int fallbackRow) {
    int row = -1;
    for (int r = 0; r < rowCount() && row < 0 && !key_.empty(); ++r) {
        const QTableWidgetItem* it = item(r, 0);
        if (it != nullptr && it->data(kKeyRole).toString().toStdString() == key_) {
            row = r;
        }
    }
    if (row < 0 && fallbackRow >= 0 && rowCount() > 0) {
        row = std::min(fallbackRow, rowCount() - 1);  // its combination is gone: the one after
    }
    if (row < 0) {
        return;
    }
    setCurrentCell(row, std::max(currentColumn(), 0));
    scrollToItem(item(row, std::max(currentColumn(), 0)));
    if (const QTableWidgetItem* it = currentItem()) {
        key_ = it->data(kKeyRole).toString().toStdString();
    }
}

void TOverviewTable::Fill(const std::vector<OverviewRow>& rows) {
    const auto& columns = OverviewColumns();
    const int sortColumn = horizontalHeader()->sortIndicatorSection();
    const Qt::SortOrder order = horizontalHeader()->sortIndicatorOrder();
    const int previousRow = std::max(currentRow(), 0);
    const int alerts = ColumnOf(OverviewColumnId::Alerts);
    const int check = ColumnOf(OverviewColumnId::Check);
    const int stale = ColumnOf(OverviewColumnId::Stale);
    const int somLast = ColumnOf(OverviewColumnId::SomLast);
    const int aex = ColumnOf(OverviewColumnId::Aex);
    const int keyColumn = ColumnOf(OverviewColumnId::Key);
    std::vector<QString> tips;
    for (const auto& c : columns) {
        tips.push_back(QString::fromUtf8(c.tip));
    }
    filling_ = true;
    setSortingEnabled(false);
    clearContents();
    setRowCount(static_cast<int>(rows.size()));
    empty_.assign(columns.size(), true);
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        const OverviewRow& r = rows[static_cast<size_t>(i)];
        const QString key = ToQString(r.key);
        const bool isStale = r.stale.value_or(false);
        for (int c = 0; c < columnCount(); ++c) {
            const TableColumn& column = columns[static_cast<size_t>(c)];
            const std::string text = OverviewCell(r, column.id);
            empty_[static_cast<size_t>(c)] = empty_[static_cast<size_t>(c)] && text.empty();
            auto* it = new SortItem(ToQString(text));
            if (const auto sortKey = OverviewSortKey(r, column.id)) {
                it->setData(kSortRole, *sortKey);
            }
            it->setData(kIndexRole, i);
            it->setData(kKeyRole, key);
            it->setTextAlignment(Qt::AlignVCenter |
                                 (column.number ? Qt::AlignRight : Qt::AlignLeft));
            QString tip = tips[static_cast<size_t>(c)];
            if (isStale) {
                QFont f = it->font();
                f.setItalic(true);
                it->setFont(f);
            }
            if (isStale && c == stale) {
                it->setBackground(kStaleColor);
            }
            const bool flagged = (c == check && !r.checks.empty()) ||
                                 (c == somLast && HasCheck(r, kBelowIntrinsicFlag)) ||
                                 (c == aex && HasCheck(r, kNoIndexFlag));
            if (flagged) {
                it->setBackground(kFlagColor);
                tip = ToQString(JoinChecks(r.checks)) + QStringLiteral("\n\n") + tip;
            }
            if (!r.alerts.empty() && (c == keyColumn || c == alerts)) {
                it->setBackground(kAlertColor);
                tip = QStringLiteral("Signaal: ") + ToQString(JoinChecks(r.alerts)) +
                      QStringLiteral("\n\n") + tip;
                if (c == keyColumn) {
                    it->setIcon(QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
                }
            }
            it->setToolTip(tip);
            setItem(i, c, it);
        }
    }
    setSortingEnabled(true);
    sortByColumn(sortColumn, order);
    ApplyColumnVisibility();
    resizeColumnsToContents();
    SelectKeyNow(previousRow);
    filling_ = false;
    // Also for the same row: its figures, and so its chart, may be new.
    emit SelectionChanged();
    emit Filled();
}

}  // namespace rendaal
