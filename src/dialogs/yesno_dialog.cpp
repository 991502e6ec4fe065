#include "dialogs/yesno_dialog.h"

#include <QApplication>
#include <QFontMetrics>
#include <QFrame>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStyle>

#include <algorithm>
#include <cmath>

#include "dialogs/message_form.h"
#include "dialogs/shown_text.h"

namespace rendaal {

TYesNoDlg* YesNoDlg = nullptr;

namespace {

constexpr int kFontPointSize = 10;
constexpr int kButtonWidth = 100;
constexpr int kButtonHeight = 34;
// The layout the dialog starts with: the no button's right edge at 434 makes the first
// question at least 418 pixels wide.
constexpr int kInitialClientWidth = 450;
constexpr int kPanelLeft = 16;
constexpr int kPanelTop = 12;
constexpr int kMemoTop = 8;

}  // namespace

AskWidths ComputeAskWidths(int messageWidth, int previousNoRight, int noWidth, int middleWidth) {
    AskWidths w;
    w.panelWidth = static_cast<int>(std::lround(10.0 * std::sqrt(std::max(messageWidth, 0))));
    w.panelWidth = std::max(w.panelWidth, previousNoRight - kPanelLeft);
    w.memoLeft = 8;
    w.memoWidth = w.panelWidth - 16;
    w.clientWidth = w.panelWidth + 32;
    w.yesLeft = 16;
    w.noLeft = w.clientWidth - noWidth - 16;
    w.middleLeft = (w.clientWidth - middleWidth) / 2;
    return w;
}

AskHeights ComputeAskHeights(int lineCount, int fontPointSize, int buttonHeight) {
    AskHeights h;
    h.memoHeight =
        (std::max(lineCount, 0) + 1) * static_cast<int>(std::lround(fontPointSize * 1.6));
    h.panelHeight = h.memoHeight + 15;
    h.buttonTop = h.panelHeight + 27;
    h.clientHeight = h.buttonTop + buttonHeight + 15;
    return h;
}

TYesNoDlg::TYesNoDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    YesNoDlg = this;
    setFont(QFont("Verdana", kFontPointSize));
    setModal(true);

    MessagePanel = new QFrame(this);
    MessagePanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    MessagePanel->setLineWidth(1);

    MessageMemo = new QPlainTextEdit(MessagePanel);
    MessageMemo->setReadOnly(true);
    MessageMemo->setFrameStyle(QFrame::NoFrame);
    MessageMemo->setFocusPolicy(Qt::NoFocus);
    MessageMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MessageMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    MessageMemo->setTextInteractionFlags(Qt::NoTextInteraction);
    QPalette palette = MessageMemo->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    MessageMemo->setPalette(palette);

    auto makeButton = [this](const QString& text) {
        auto* button = new QPushButton(text, this);
        button->setCursor(Qt::PointingHandCursor);
        button->setAutoDefault(true);
        button->resize(kButtonWidth, kButtonHeight);
        return button;
    };
    JaBtn = makeButton("Ja");
    NeeBtn = makeButton("Nee");
    CancelBtn = makeButton("Annuleren");
    JaBtn->setDefault(true);
    connect(JaBtn, &QPushButton::clicked, this, &TYesNoDlg::JaBtnClick);
    connect(NeeBtn, &QPushButton::clicked, this, &TYesNoDlg::NeeBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TYesNoDlg::CancelBtnClick);
    setTabOrder(JaBtn, CancelBtn);
    setTabOrder(CancelBtn, NeeBtn);

    setProperty("helpContext", kHelpContext);
    for (QWidget* w : {static_cast<QWidget*>(MessagePanel), static_cast<QWidget*>(MessageMemo),
                       static_cast<QWidget*>(JaBtn), static_cast<QWidget*>(NeeBtn),
                       static_cast<QWidget*>(CancelBtn)}) {
        w->setProperty("helpContext", kHelpContext);
    }

    // The starting layout, which also sets the minimum width of the first question.
    const AskWidths widths =
        ComputeAskWidths(0, kInitialClientWidth - 16, kButtonWidth, kButtonWidth);
    MessagePanel->setGeometry(kPanelLeft, kPanelTop, widths.panelWidth, 40);
    JaBtn->move(widths.yesLeft, 82);
    NeeBtn->move(widths.noLeft, 82);
    CancelBtn->move(widths.middleLeft, 82);
    setFixedSize(widths.clientWidth, 82 + kButtonHeight + 15);
}

TYesNoDlg::~TYesNoDlg() {
    if (YesNoDlg == this) {
        YesNoDlg = nullptr;
    }
}

bool TYesNoDlg::Ask(int top, int left, int height, int width, const QString& caption,
                    const QString& message, const QString& yesText, const QString& noText,
                    const QString& cancelText, bool defaultYes, bool& cancel) {
    callerTop_ = top;
    callerLeft_ = left;
    callerHeight_ = height;
    callerWidth_ = width;
    setWindowTitle(caption);
    // Not when made: the first of the style's icons searches the icon theme, and this dialog
    // is made before the main window shows.
    if (JaBtn->icon().isNull()) {
        JaBtn->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
        NeeBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
        CancelBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCloseButton));
    }
    JaBtn->setText(yesText);
    NeeBtn->setText(noText);
    CancelBtn->setText(cancelText);
    CancelBtn->setVisible(cancel);

    QString flat = message;
    flat.replace('\r', ' ');
    const int messageWidth = QFontMetrics(MessageMemo->font()).horizontalAdvance(flat);
    const AskWidths widths = ComputeAskWidths(messageWidth, NeeBtn->x() + NeeBtn->width(),
                                              NeeBtn->width(), CancelBtn->width());
    MessagePanel->setGeometry(kPanelLeft, kPanelTop, widths.panelWidth, MessagePanel->height());
    MessageMemo->setGeometry(widths.memoLeft, kMemoTop, widths.memoWidth, MessageMemo->height());
    setFixedWidth(widths.clientWidth);
    JaBtn->move(widths.yesLeft, JaBtn->y());
    NeeBtn->move(widths.noLeft, NeeBtn->y());
    CancelBtn->move(widths.middleLeft, CancelBtn->y());

    MessageMemo->setPlainText(ShownText(message));

    answer_ = defaultYes;
    cancelled_ = false;
    hide();
    ApplyHeightsAndPlace();
    exec();
    cancel = cancelled_;
    return answer_;
}

void TYesNoDlg::ApplyHeightsAndPlace() {
    const QStringList lines = MessageMemo->toPlainText().split('\n');
    const int textWidth =
        MessageMemo->width() - 2 * static_cast<int>(MessageMemo->document()->documentMargin());
    const AskHeights heights =
        ComputeAskHeights(WrappedLineCount(lines, MessageMemo->font(), textWidth),
                          MessageMemo->font().pointSize(), kButtonHeight);
    MessageMemo->setGeometry(MessageMemo->x(), kMemoTop, MessageMemo->width(), heights.memoHeight);
    MessagePanel->setGeometry(MessagePanel->x(), kPanelTop, MessagePanel->width(),
                              heights.panelHeight);
    for (QPushButton* button : {JaBtn, NeeBtn, CancelBtn}) {
        button->move(button->x(), heights.buttonTop);
    }
    setFixedHeight(heights.clientHeight);
    const WindowPos pos = CentreOver(callerTop_, callerLeft_, callerHeight_, callerWidth_,
                                     heights.clientHeight, width());
    move(pos.left, pos.top);
    (answer_ ? JaBtn : NeeBtn)->setFocus();
}

void TYesNoDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The window system may have given the focus elsewhere while showing.
    (answer_ ? JaBtn : NeeBtn)->setFocus();
}

void TYesNoDlg::JaBtnClick() {
    answer_ = true;
    cancelled_ = false;
    QDialog::done(QDialog::Accepted);
}

void TYesNoDlg::NeeBtnClick() {
    answer_ = false;
    cancelled_ = false;
    QDialog::done(QDialog::Rejected);
}

void TYesNoDlg::CancelBtnClick() {
    answer_ = false;
    cancelled_ = true;
    QDialog::done(QDialog::Rejected);
}

// Esc and the window's close request answer as the no button does.
void TYesNoDlg::reject() {
    NeeBtnClick();
}

}  // namespace rendaal
