#pragma once

#include <QList>
#include <QPoint>
#include <QString>

class QAction;
class QKeyEvent;
class QWidget;

namespace rendaal {

// The menu key and Shift+F10, which open a widget's context menu from the keyboard.
bool IsMenuKey(const QKeyEvent* event);

// Shows actions as a context menu of owner at the screen point and waits for the choice. The
// menu has a name for screen readers and shows the tooltips of its items (why one is greyed);
// opened from the keyboard, its first enabled item is highlighted, as the keys move from there.
void ExecContextMenu(QWidget* owner, const QList<QAction*>& actions, const QPoint& at, bool byKey,
                     const QString& name);

}  // namespace rendaal
