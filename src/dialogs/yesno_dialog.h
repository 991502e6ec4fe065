#pragma once

#include <QDialog>
#include <QString>

class QFrame;
class QPlainTextEdit;
class QPushButton;

namespace rendaal {

struct AskWidths {
    int panelWidth = 0;
    int memoLeft = 0;
    int memoWidth = 0;
    int clientWidth = 0;
    int yesLeft = 0;
    int noLeft = 0;
    int middleLeft = 0;
    friend bool operator==(const AskWidths&, const AskWidths&) = default;
};
// Widths of the question dialog for a message messageWidth pixels wide drawn on one line. The
// panel grows with the square root of that width, so long questions wrap into a roughly square
// block; previousNoRight (right edge of the no button from the last layout) keeps the dialog
// from ever getting narrower than at its previous use.
AskWidths ComputeAskWidths(int messageWidth, int previousNoRight, int noWidth, int middleWidth);

struct AskHeights {
    int memoHeight = 0;
    int panelHeight = 0;
    int buttonTop = 0;
    int clientHeight = 0;
    friend bool operator==(const AskHeights&, const AskHeights&) = default;
};
AskHeights ComputeAskHeights(int lineCount, int fontPointSize, int buttonHeight);

// The modal question with "Ja", "Nee" and an optional middle button.
class TYesNoDlg final : public QDialog {
    Q_OBJECT

public:
    explicit TYesNoDlg(QWidget* parent = nullptr);
    ~TYesNoDlg() override;

    // top, left, height, width: the caller's window rectangle. message: a carriage return starts
    // a new line. defaultYes: the yes button has the focus at first, else the no button.
    // cancel: on entry whether the middle button is shown; on return whether it was chosen.
    // Returns true for yes. Esc and closing the window answer as the no button does.
    bool Ask(int top, int left, int height, int width, const QString& caption,
             const QString& message, const QString& yesText, const QString& noText,
             const QString& cancelText, bool defaultYes, bool& cancel);

    QFrame* MessagePanel = nullptr;
    QPlainTextEdit* MessageMemo = nullptr;
    QPushButton* JaBtn = nullptr;
    QPushButton* NeeBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    static constexpr int kHelpContext = 90000;

public slots:
    void JaBtnClick();
    void NeeBtnClick();
    void CancelBtnClick();
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ApplyHeightsAndPlace();

    bool answer_ = false;
    bool cancelled_ = false;
    int callerTop_ = 0;
    int callerLeft_ = 0;
    int callerHeight_ = 0;
    int callerWidth_ = 0;
};

// Created once at start-up and reused.
extern TYesNoDlg* YesNoDlg;

}  // namespace rendaal
