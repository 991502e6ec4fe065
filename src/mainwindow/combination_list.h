#pragma once

#include <QListWidget>
#include <functional>
#include <string>
#include <vector>

#include "analytics/overview.h"

class QAction;
class QFileSystemWatcher;
class QTimer;

namespace rendaal {

// The main window's list of combinations: the lines byte for byte as in the rules file (the
// item texts are only what is shown), the selection, the stale marks, and a reload when the
// file changes on disk. Further context-menu items are added with addAction.
class TCombinationList final : public QListWidget {
    Q_OBJECT

public:
    explicit TCombinationList(QWidget* parent);

    const std::vector<std::string>& Lines() const { return lines_; }
    void Fill(std::vector<std::string> lines);
    // Sorts the line in; returns the row of the first line equal to it.
    int Insert(const std::string& line);
    // Takes out the first line equal to the given one; its row, or -1 when there is none.
    int Remove(const std::string& line);

    int SelectedIndex() const;  // -1 when nothing is selected
    // Selects silently (no currentRowChanged); an index out of range clears the selection.
    void Select(int index);
    int RowHeight() const;
    int HeightFor(int rows) const { return 2 * frameWidth() + rows * RowHeight(); }

    // "Herstel uit archief": days the histories lack, back from their backups and the archive.
    QAction* HerstelUitArchief = nullptr;

    // Reads the rules file again whenever it changes on disk; emits Reloaded when its lines
    // differ from the list's.
    void Watch(const std::string& folder, const std::string& rulesFile);

    // Asks for the stale marks of the given lines; the answer comes through ApplyMarks, later
    // or at once. Unset: no marks. Called for the list as it is whenever it changed, and by
    // RefreshMarks.
    std::function<void(const std::vector<std::string>& lines)> askMarks;
    void RefreshMarks();
    // Marks computed for lines; dropped when the list has changed since.
    void ApplyMarks(const std::vector<std::string>& lines, const std::vector<OverviewRow>& rows);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;

signals:
    // The lines were replaced from disk; selectionLost: the selected line is gone.
    void Reloaded(bool selectionLost);

private:
    QListWidgetItem* MakeItem(const std::string& line) const;
    void WatchPaths();
    void Reload();

    std::vector<std::string> lines_;
    std::string folder_;
    std::string rulesFile_;
    QFileSystemWatcher* watcher_ = nullptr;
    QTimer* reloadTimer_ = nullptr;
    QTimer* marksTimer_ = nullptr;
};

// The question before a deletion, naming the combination's kind and its line.
QString DeleteQuestion(const std::string& line);

// Italics and a tooltip naming the last date for every stale combination of the list; rows
// are in list order. A combination with a holding alert (row.alerts) gets a mark before it,
// and the tooltip names the alert; a screen reader hears both with the line.
void MarkStaleCombinations(QListWidget* list, const std::vector<OverviewRow>& rows);

}  // namespace rendaal
