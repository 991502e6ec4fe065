#include "mainwindow/key_menu.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QTimer>

namespace rendaal {

bool IsMenuKey(const QKeyEvent* event) {
    return event->key() == Qt::Key_Menu ||
           (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier);
}

void ExecContextMenu(QWidget* owner, const QList<QAction*>& actions, const QPoint& at, bool byKey,
                     const QString& name) {
    QMenu menu(owner);
    menu.setObjectName(QStringLiteral("ContextMenu"));
    menu.setAccessibleName(name);
    menu.setToolTipsVisible(true);
    menu.addActions(actions);
    if (byKey) {
        for (QAction* a : actions) {
            if (a->isEnabled() && !a->isSeparator() && a->isVisible()) {
                // Once shown: a menu highlights nothing it was given before it opened.
                QTimer::singleShot(0, &menu, [&menu, a] { menu.setActiveAction(a); });
                break;
            }
        }
    }
    menu.exec(at);
}

}  // namespace rendaal
