#include "platform/window_stack.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

namespace rendaal {
namespace {

bool IsSecondaryWindow(const QWidget* w) {
    if (!w->isWindow() || w->parentWidget() != nullptr) {
        return false;  // a child, or a window whose parent Qt already stacks it above
    }
    const Qt::WindowType type = w->windowType();
    return type == Qt::Window || type == Qt::Dialog || type == Qt::Sheet;
}

}  // namespace

void KeepAbove(QWidget* window, QWidget* opener) {
    if (window == nullptr || opener == nullptr) {
        return;
    }
    QWidget* top = opener->window();
    if (top == window) {
        return;
    }
    // Both need their platform windows; creating them early does not show them.
    window->winId();
    top->winId();
    QWindow* handle = window->windowHandle();
    if (handle != nullptr && handle->transientParent() != top->windowHandle()) {
        handle->setTransientParent(top->windowHandle());
    }
}

WindowStacking::WindowStacking(QWidget* mainWindow) : QObject(mainWindow), main_(mainWindow) {
    qApp->installEventFilter(this);
}

WindowStacking::~WindowStacking() {
    if (qApp != nullptr) {
        qApp->removeEventFilter(this);
    }
}

QWidget* WindowStacking::OpenerFor(QWidget* window) const {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal != window && modal->isVisible()) {
        return modal;
    }
    return main_;
}

bool WindowStacking::eventFilter(QObject* watched, QEvent* event) {
    // Show reaches a top-level window before it is mapped, so the window manager learns the
    // relation with the window itself.
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        if (w != main_ && IsSecondaryWindow(w)) {
            KeepAbove(w, OpenerFor(w));
        }
    } else if (event->type() == QEvent::Hide && watched->isWidgetType()) {
        // A window left open above a dialog that closes goes back above the dialog's own opener,
        // not above a window that is no longer there.
        auto* gone = static_cast<QWidget*>(watched);
        QWindow* goneHandle = gone->isWindow() ? gone->windowHandle() : nullptr;
        if (goneHandle != nullptr) {
            QWidget* fallback = main_;
            QWindow* above = goneHandle->transientParent();
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (above != nullptr && w->windowHandle() == above && w->isVisible()) {
                    fallback = w;
                }
            }
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (w != gone && w->isVisible() && w->windowHandle() != nullptr &&
                    w->windowHandle()->transientParent() == goneHandle && fallback != w) {
                    KeepAbove(w, fallback);
                }
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace rendaal
