#include "mainwindow/user_message.h"

#include <QMessageBox>

#include "dialogs/shown_text.h"
#include "mainwindow/main_form.h"

namespace rendaal {

namespace {
UserMessageFn gMessageHandler;
}  // namespace

void SetUserMessageHandler(UserMessageFn handler) {
    gMessageHandler = std::move(handler);
}

void ShowUserMessage(const QString& caption, const QString& text) {
    if (gMessageHandler) {
        gMessageHandler(caption, ShownText(text));
        return;
    }
    QMessageBox::information(MainForm, caption, ShownText(text));
}

void ShowUserNote(const QString& caption, const QString& text) {
    if (gMessageHandler) {
        ShowUserMessage(caption, text);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, caption, ShownText(text), QMessageBox::Ok,
                                MainForm);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}

}  // namespace rendaal
