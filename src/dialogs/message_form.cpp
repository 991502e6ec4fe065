#include "dialogs/message_form.h"

#include <QFrame>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <QTextDocument>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace rendaal {

TMessageForm* MessageForm = nullptr;

namespace {

constexpr int kClientWidth = 699;
constexpr int kClientHeight = 118;
constexpr int kFontPointSize = 10;

int ScreenHeightAt(int top, int left, int height, int width) {
    QScreen* screen = QGuiApplication::screenAt(QPoint(left + width / 2, top + height / 2));
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->geometry().height() : 768;
}

}  // namespace

WindowPos CentreOver(int callerTop, int callerLeft, int callerHeight, int callerWidth,
                     int ownHeight, int ownWidth) {
    return {callerTop + (callerHeight - ownHeight) / 2, callerLeft + (callerWidth - ownWidth) / 2};
}

MessageLayout ComputeMessageLayout(int lineCount, int fontPointSize, int screenHeight) {
    MessageLayout layout;
    layout.memoHeight = (std::max(lineCount, 0) + 2) * fontPointSize;
    // Screens lower than 200 pixels do not exist, but a negative height must not either.
    layout.memoHeight = std::max(0, std::min(layout.memoHeight, screenHeight - 200));
    layout.windowHeight = layout.memoHeight + 50;
    return layout;
}

int WrappedLineCount(const QStringList& lines, const QFont& font, int textWidth) {
    int count = 0;
    for (const QString& line : lines) {
        QTextLayout layout(line, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        int inLine = 0;
        for (QTextLine l = layout.createLine(); l.isValid(); l = layout.createLine()) {
            l.setLineWidth(std::max(textWidth, 1));
            ++inLine;
        }
        layout.endLayout();
        count += std::max(inLine, 1);
    }
    return count;
}

TMessageForm::TMessageForm(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint) {
    MessageForm = this;
    // Closing by itself must never end the program, even with no other window showing.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(QFont("Verdana", kFontPointSize));
    resize(kClientWidth, kClientHeight);

    MessagePanel = new QFrame(this);
    MessagePanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    MessagePanel->setLineWidth(2);
    MessagePanel->setGeometry(0, 0, kClientWidth, kClientHeight);

    MessageMemo = new QPlainTextEdit(MessagePanel);
    MessageMemo->setReadOnly(true);
    MessageMemo->setFrameStyle(QFrame::NoFrame);
    MessageMemo->setFocusPolicy(Qt::NoFocus);
    MessageMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MessageMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The height rule allows one font size per line plus two; without a margin the lines of a
    // normal message fit it.
    MessageMemo->document()->setDocumentMargin(0);
    QPalette palette = MessageMemo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    MessageMemo->setPalette(palette);
    MessageMemo->setGeometry(20, 25, kClientWidth - 40, kClientHeight - 50);

    Timer = new QTimer(this);
    Timer->setSingleShot(true);
    connect(Timer, &QTimer::timeout, this, &TMessageForm::TimerTimer);
}

TMessageForm::~TMessageForm() {
    if (MessageForm == this) {
        MessageForm = nullptr;
    }
}

void TMessageForm::ShowTimed(int top, int left, int height, int width, const QString& firstLine,
                             const QString& secondLine, quint16 intervalMs) {
    QStringList lines;
    if (!firstLine.isEmpty()) {
        lines << firstLine;
    }
    if (!secondLine.isEmpty()) {
        lines << secondLine;
    }
    MessageMemo->setPlainText(lines.join('\n'));

    const int textWidth = (MessagePanel->width() - 40) -
                          2 * static_cast<int>(MessageMemo->document()->documentMargin());
    const int lineCount =
        lines.isEmpty() ? 0 : WrappedLineCount(lines, MessageMemo->font(), textWidth);
    const MessageLayout layout = ComputeMessageLayout(lineCount, MessageMemo->font().pointSize(),
                                                      ScreenHeightAt(top, left, height, width));

    resize(this->width(), layout.windowHeight);
    MessagePanel->setGeometry(0, 0, this->width(), layout.windowHeight);
    MessageMemo->setGeometry(20, (layout.windowHeight - layout.memoHeight) / 2,
                             MessagePanel->width() - 40, layout.memoHeight);
    MessageMemo->moveCursor(QTextCursor::Start);

    // A new interval restarts a running countdown, as the Windows timer did; the same interval
    // leaves it running, so repeated messages do not keep the window up for ever.
    if (Timer->interval() != intervalMs) {
        Timer->setInterval(intervalMs);
    }

    const WindowPos pos = CentreOver(top, left, height, width, layout.windowHeight, this->width());
    move(pos.left, pos.top);
    hide();
    show();
    raise();
}

void TMessageForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!Timer->isActive()) {
        Timer->start();
    }
}

void TMessageForm::TimerTimer() {
    Timer->stop();
    close();
}

}  // namespace rendaal
