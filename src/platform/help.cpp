#include "platform/help.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QUrl>
#include <QVariant>
#include <QWidget>

#include "platform/shell.h"

namespace rendaal {

std::string HelpPagePath(const std::string& startFolder) {
    return startFolder + "help/rendaal.html";
}

std::string HelpUrl(const std::string& pagePath, int context) {
    QUrl url = QUrl::fromLocalFile(QString::fromStdString(pagePath));
    if (context != 0) {
        url.setFragment(QString::number(context));
    }
    return url.toString(QUrl::FullyEncoded).toStdString();
}

bool OpenHelp(const std::string& pagePath, int context) {
    return OpenUrl(HelpUrl(pagePath, context));
}

void OpenHelpChecked(const std::string& pagePath, int context, QObject* owner,
                     const std::function<void(const std::string&)>& onFailure) {
    const std::string address = HelpUrl(pagePath, context);
    auto fail = [onFailure, address] {
        if (onFailure) {
            onFailure(address);
        }
    };
    // A browser shows a missing file as its own error page; say it here instead.
    if (!QFileInfo(QString::fromStdString(pagePath)).isFile()) {
        fail();
        return;
    }
    OpenUrlChecked(address, owner, fail);
}

int HelpContextOf(const QObject* object) {
    for (; object; object = object->parent()) {
        const int context = object->property("helpContext").toInt();
        if (context != 0) {
            return context;
        }
    }
    return 0;
}

void SetHelpContext(QObject* object, int context) {
    object->setProperty("helpContext", context);
}

HelpKeyFilter::HelpKeyFilter(std::string pagePath,
                             std::function<void(const std::string&)> onFailure, QObject* parent)
    : QObject(parent), pagePath_(std::move(pagePath)), onFailure_(std::move(onFailure)) {}

bool HelpKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1 ||
        static_cast<QKeyEvent*>(event)->modifiers() != Qt::NoModifier) {
        return QObject::eventFilter(watched, event);
    }
    // Key events reach the filter once per widget up the chain; answer only the first.
    const QObject* target = QApplication::focusWidget();
    if (!target) {
        target = QApplication::activeWindow();
    }
    if (!target) {
        target = watched;
    }
    OpenHelpChecked(pagePath_, HelpContextOf(target), this, onFailure_);
    return true;
}

}  // namespace rendaal
