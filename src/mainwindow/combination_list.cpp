#include "mainwindow/combination_list.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPixmap>
#include <QStyle>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <optional>

#include "analytics/report.h"
#include "core/calendar.h"
#include "core/combination.h"
#include "core/text.h"
#include "mainwindow/key_menu.h"
#include "platform/help.h"
#include "platform/qt_text.h"

namespace rendaal {

namespace {
constexpr int kItemHeight = 20;

constexpr int kAlertMarkRole = Qt::UserRole + 7;

// The same width for every item, so that the marked and the unmarked texts line up.
QIcon AlertMark(bool on, int size) {
    if (on) {
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    }
    QPixmap blank(size, size);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}

}  // namespace

TCombinationList::TCombinationList(QWidget* parent) : QListWidget(parent) {
    setObjectName("ListBox1");
    setUniformItemSizes(true);
    setAccessibleName(QStringLiteral("Combinaties"));
    SetHelpContext(this, 10000);
    HerstelUitArchief = new QAction(QStringLiteral("Herstel uit archief"), this);
    HerstelUitArchief->setObjectName(QStringLiteral("HerstelUitArchief"));
    addAction(HerstelUitArchief);

    watcher_ = new QFileSystemWatcher(this);
    reloadTimer_ = new QTimer(this);
    reloadTimer_->setSingleShot(true);
    // Editors and tools write in steps; read once they are done.
    reloadTimer_->setInterval(300);
    connect(reloadTimer_, &QTimer::timeout, this, &TCombinationList::Reload);
    connect(watcher_, &QFileSystemWatcher::fileChanged, reloadTimer_, qOverload<>(&QTimer::start));
    connect(watcher_, &QFileSystemWatcher::directoryChanged, reloadTimer_,
            qOverload<>(&QTimer::start));

    // A list filled line by line is marked once, after the last line.
    marksTimer_ = new QTimer(this);
    marksTimer_->setSingleShot(true);
    marksTimer_->setInterval(0);
    connect(marksTimer_, &QTimer::timeout, this, [this] {
        if (askMarks) {
            askMarks(lines_);
        }
    });
    for (auto changed : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved}) {
        connect(model(), changed, marksTimer_, qOverload<>(&QTimer::start));
    }
    connect(model(), &QAbstractItemModel::modelReset, marksTimer_, qOverload<>(&QTimer::start));
}

int TCombinationList::RowHeight() const {
    return std::max(kItemHeight, fontMetrics().height());
}

QListWidgetItem* TCombinationList::MakeItem(const std::string& line) const {
    auto* item = new QListWidgetItem(ToQString(line));
    item->setSizeHint(QSize(0, RowHeight()));
    return item;
}

void TCombinationList::Fill(std::vector<std::string> lines) {
    lines_ = std::move(lines);
    const QSignalBlocker block(this);
    clear();
    for (const auto& line : lines_) {
        addItem(MakeItem(line));
    }
}

int TCombinationList::Insert(const std::string& line) {
    const size_t position = SortedInsertPosition(lines_, line);
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(position), line);
    {
        const QSignalBlocker block(this);
        insertItem(static_cast<int>(position), MakeItem(line));
    }
    return static_cast<int>(std::find(lines_.begin(), lines_.end(), line) - lines_.begin());
}

int TCombinationList::Remove(const std::string& line) {
    const auto at = std::find(lines_.begin(), lines_.end(), line);
    if (at == lines_.end()) {
        return -1;
    }
    const int index = static_cast<int>(at - lines_.begin());
    lines_.erase(at);
    const QSignalBlocker block(this);
    delete takeItem(index);
    return index;
}

int TCombinationList::SelectedIndex() const {
    const int row = currentRow();
    return row >= 0 && row < static_cast<int>(lines_.size()) ? row : -1;
}

void TCombinationList::Select(int index) {
    const QSignalBlocker block(this);
    if (index < 0 || index >= static_cast<int>(lines_.size())) {
        setCurrentRow(-1);
        clearSelection();
        return;
    }
    setCurrentRow(index);
}

void TCombinationList::Watch(const std::string& folder, const std::string& rulesFile) {
    folder_ = folder;
    rulesFile_ = rulesFile;
    WatchPaths();
}

void TCombinationList::WatchPaths() {
    // The folder too: a file replaced by a rename is a new file the watch on the old one misses,
    // and a file that does not exist yet can only be seen arriving there.
    const QString file = ToQString(rulesFile_);
    const QString folder = ToQString(folder_);
    if (!watcher_->directories().contains(folder) && QFileInfo(folder).isDir()) {
        watcher_->addPath(folder);
    }
    if (!watcher_->files().contains(file) && QFileInfo(file).isFile()) {
        watcher_->addPath(file);
    }
}

void TCombinationList::Reload() {
    WatchPaths();
    // A file that is gone or cannot be read keeps the list: the next change writes it again.
    // Only a regular file is read: a FIFO put in its place would block the window.
    if (!QFileInfo(ToQString(rulesFile_)).isFile()) {
        return;
    }
    std::optional<std::vector<std::string>> loaded = LoadRules(rulesFile_);
    if (!loaded || *loaded == lines_) {
        return;  // unreadable, our own save, or a change that changed nothing
    }
    const int index = SelectedIndex();
    const std::string selected = index >= 0 ? lines_[static_cast<size_t>(index)] : std::string();
    Fill(std::move(*loaded));
    const auto same = std::find(lines_.begin(), lines_.end(), selected);
    const bool lost = same == lines_.end();
    Select(lost ? std::min(std::max(index, 0), static_cast<int>(lines_.size()) - 1)
                : static_cast<int>(same - lines_.begin()));
    emit Reloaded(lost);
}

void TCombinationList::keyPressEvent(QKeyEvent* event) {
    if (!IsMenuKey(event)) {
        QListWidget::keyPressEvent(event);
        return;
    }
    const QRect row = currentItem() ? visualItemRect(currentItem()) : QRect();
    const QPoint at = row.isValid() ? row.bottomLeft() + QPoint(20, 0) : QPoint(10, 10);
    ExecContextMenu(this, actions(), viewport()->mapToGlobal(at), true,
                    QStringLiteral("Menu van de lijst"));
}

void TCombinationList::contextMenuEvent(QContextMenuEvent* event) {
    ExecContextMenu(this, actions(), event->globalPos(),
                    event->reason() == QContextMenuEvent::Keyboard,
                    QStringLiteral("Menu van de lijst"));
}

bool TCombinationList::viewportEvent(QEvent* event) {
    // A narrow window cuts the lines with an ellipsis; the whole line is then in the tooltip.
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        if (QListWidgetItem* item = itemAt(help->pos())) {
            const QRect row = visualItemRect(item);
            const int needed = fontMetrics().horizontalAdvance(item->text()) + iconSize().width() +
                               3 * frameWidth() + 8;
            if (needed > row.width()) {
                const QString own = item->toolTip();
                QToolTip::showText(help->globalPos(),
                                   item->text() + (own.isEmpty() ? QString() : "\n" + own),
                                   viewport(), row);
                return true;
            }
        }
    }
    return QListWidget::viewportEvent(event);
}

void TCombinationList::RefreshMarks() {
    marksTimer_->start();
}

void TCombinationList::ApplyMarks(const std::vector<std::string>& lines,
                                  const std::vector<OverviewRow>& rows) {
    if (lines == lines_) {
        MarkStaleCombinations(this, rows);
    }
}

QString DeleteQuestion(const std::string& line) {
    std::string kind = BeforeFirst('_', HistoryFileName(line));
    if (kind != "Single" && kind != "Straddle" && kind != "Strangle") {
        kind = "combinatie";
    }
    return ToQString("Wilt u inderdaad de geselecteerde " + kind + " verwijderen?\r" + line);
}

void MarkStaleCombinations(QListWidget* list, const std::vector<OverviewRow>& rows) {
    // Within the line: the mark must not make its line taller than the others.
    const int markSize = std::max(8, list->fontMetrics().height() - 4);
    if (list->iconSize() != QSize(markSize, markSize)) {
        list->setIconSize(QSize(markSize, markSize));
    }
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        const OverviewRow* r =
            i < static_cast<int>(rows.size()) ? &rows[static_cast<size_t>(i)] : nullptr;
        const bool marked = r != nullptr && !r->alerts.empty();
        if (item->data(kAlertMarkRole).toBool() != marked || item->icon().isNull()) {
            item->setIcon(AlertMark(marked, markSize));
            item->setData(kAlertMarkRole, marked);
        }
        const bool stale = r != nullptr && r->stale.value_or(false);
        QFont f = item->font();
        if (f.italic() != stale) {
            f.setItalic(stale);
            item->setFont(f);
        }
        QString tip;
        if (stale) {
            tip = r->lastDate
                      ? QStringLiteral("Laatste koers: %1").arg(ToQString(FormatDmy(*r->lastDate)))
                      : QStringLiteral("Nog geen koersen");
        }
        if (marked) {
            tip += (tip.isEmpty() ? QString() : QStringLiteral("\n")) +
                   QStringLiteral("Signaal: ") + ToQString(JoinChecks(r->alerts));
        }
        if (item->toolTip() != tip) {
            item->setToolTip(tip);
            // Read with the line, not only shown as a mark and a tooltip.
            QString spoken = item->text();
            if (marked) {
                spoken += QStringLiteral(", signaal: ") + ToQString(JoinChecks(r->alerts));
            }
            if (stale) {
                spoken += QStringLiteral(", ") + tip.section(QLatin1Char('\n'), 0, 0);
            }
            item->setData(Qt::AccessibleTextRole, spoken);
        }
    }
}

}  // namespace rendaal
