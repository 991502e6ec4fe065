#include "mainwindow/window_roles.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace rendaal {

namespace {

QAccessibleInterface* WindowAccessible(const QString& className, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr || !widget->isWindow() || !className.startsWith(u"rendaal::") ||
        object->metaObject()->superClass() != &QWidget::staticMetaObject) {
        return nullptr;
    }
    return new QAccessibleWidget(widget, QAccessible::Window);
}

}  // namespace

void AnnounceWindowsAsFrames() {
    static const bool installed = (QAccessible::installFactory(WindowAccessible), true);
    (void)installed;
}

}  // namespace rendaal
