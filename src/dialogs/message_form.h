#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <QWidget>

class QFrame;
class QPlainTextEdit;
class QTimer;

namespace rendaal {

struct WindowPos {
    int top = 0;
    int left = 0;
    friend bool operator==(const WindowPos&, const WindowPos&) = default;
};

// Places a window of the given outer size centred over the caller's rectangle. The division
// truncates toward zero, so a window larger than its caller sits at the same spot as it did in
// the Windows program.
WindowPos CentreOver(int callerTop, int callerLeft, int callerHeight, int callerWidth,
                     int ownHeight, int ownWidth);

struct MessageLayout {
    int memoHeight = 0;
    int windowHeight = 0;
};
// Height of the text box and of the whole message window for a text of lineCount display
// lines; the text box never grows beyond the screen height - 200.
MessageLayout ComputeMessageLayout(int lineCount, int fontPointSize, int screenHeight);

// Number of lines the texts take when word-wrapped into textWidth pixels, as a read-only text
// box shows them. An empty text still takes one line.
int WrappedLineCount(const QStringList& lines, const QFont& font, int textWidth);

// A frameless window that shows one or two lines over its caller and closes by itself.
class TMessageForm final : public QWidget {
    Q_OBJECT

public:
    explicit TMessageForm(QWidget* parent = nullptr);
    ~TMessageForm() override;

    // top, left, height, width: the caller's window rectangle in screen pixels. Returns at once;
    // the window closes intervalMs milliseconds after it was first shown. A call while it is
    // still showing replaces the text and the place but keeps the running countdown (unless the
    // interval differs, which restarts it).
    void ShowTimed(int top, int left, int height, int width, const QString& firstLine,
                   const QString& secondLine, quint16 intervalMs);

    QFrame* MessagePanel = nullptr;
    QPlainTextEdit* MessageMemo = nullptr;
    QTimer* Timer = nullptr;

public slots:
    void TimerTimer();

protected:
    void showEvent(QShowEvent* event) override;
};

// Created once at start-up and reused.
extern TMessageForm* MessageForm;

}  // namespace rendaal
