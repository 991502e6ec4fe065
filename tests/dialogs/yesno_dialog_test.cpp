#include "dialogs/yesno_dialog.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

#include "dialogs/message_form.h"

namespace rendaal {
namespace {

const QString kQuestion = "Wilt u inderdaad de geselecteerde Strangle verwijderen?";

TEST(AskWidthsTest, SquareRootOfTheMessageWidthWithTheLastLayoutAsMinimum) {
    struct Case {
        const char* name;
        int messageWidth, previousNoRight;
        AskWidths expected;
    } cases[] = {
        // panel, memo left, memo width, client, yes, no, middle (buttons 100 wide)
        {"first use, short text: 418", 300, 434, {418, 8, 402, 450, 16, 334, 175}},
        {"empty message", 0, 434, {418, 8, 402, 450, 16, 334, 175}},
        {"10000 px wraps into a 1000 px panel", 10000, 434, {1000, 8, 984, 1032, 16, 916, 466}},
        {"rounds to the nearest pixel", 4900, 100, {700, 8, 684, 732, 16, 616, 316}},
        {"never narrower than last time", 300, 1016, {1000, 8, 984, 1032, 16, 916, 466}},
        {"negative width treated as empty", -50, 434, {418, 8, 402, 450, 16, 334, 175}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComputeAskWidths(c.messageWidth, c.previousNoRight, 100, 100), c.expected)
            << c.name;
    }
}

TEST(AskHeightsTest, OneSpareLineAboveTheButtons) {
    struct Case {
        int lines, points;
        AskHeights expected;
    } cases[] = {
        {1, 10, {32, 47, 74, 123}},
        {3, 10, {64, 79, 106, 155}},
        {1, 8, {26, 41, 68, 117}},  // 12.8 rounds to 13
        {0, 10, {16, 31, 58, 107}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ComputeAskHeights(c.lines, c.points, 34), c.expected) << c.lines << " lines";
    }
}

void SendKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &release);
}

class YesNoDlgTest : public ::testing::Test {
protected:
    // Runs act once the modal dialog is up, then returns Ask's answer.
    bool AskWith(std::function<void()> act, bool defaultYes, bool& cancel,
                 const QString& message = kQuestion) {
        QTimer::singleShot(0, &dlg, [&] {
            ASSERT_TRUE(dlg.isVisible());
            act();
            if (dlg.isVisible()) {
                dlg.NeeBtnClick();  // never leave a test hanging in the modal loop
                FAIL() << "the dialog stayed open";
            }
        });
        return dlg.Ask(100, 200, 600, 800, "Rendaal - Verwijderen", message, "Ja", "Nee", "Negeren",
                       defaultYes, cancel);
    }

    TYesNoDlg dlg;
};

TEST_F(YesNoDlgTest, EnterRightAfterOpeningAnswersTheFocusedButton) {
    for (const bool defaultYes : {false, true}) {
        bool cancel = false;
        QWidget* focused = nullptr;
        const bool answer = AskWith(
            [&] {
                focused = dlg.focusWidget();
                ASSERT_NE(focused, nullptr);
                SendKey(focused, Qt::Key_Return);
            },
            defaultYes, cancel);
        EXPECT_EQ(focused, defaultYes ? dlg.JaBtn : dlg.NeeBtn);
        EXPECT_EQ(answer, defaultYes);
        EXPECT_FALSE(cancel);
    }
}

TEST_F(YesNoDlgTest, EscAnswersNo) {
    for (const bool defaultYes : {false, true}) {
        bool cancel = true;
        const bool answer =
            AskWith([&] { SendKey(dlg.focusWidget(), Qt::Key_Escape); }, defaultYes, cancel);
        EXPECT_FALSE(answer);
        EXPECT_FALSE(cancel);
    }
}

TEST_F(YesNoDlgTest, CancelFalseHidesTheMiddleButton) {
    bool cancel = false;
    bool middleVisible = true;
    const bool answer = AskWith(
        [&] {
            middleVisible = dlg.CancelBtn->isVisible();
            EXPECT_EQ(dlg.windowTitle(), "Rendaal - Verwijderen");
            EXPECT_EQ(dlg.JaBtn->text(), "Ja");
            EXPECT_EQ(dlg.NeeBtn->text(), "Nee");
            // Tabbing never reaches a hidden button.
            for (int i = 0; i < 4; ++i) {
                EXPECT_NE(dlg.focusWidget(), dlg.CancelBtn);
                SendKey(dlg.focusWidget(), Qt::Key_Tab);
            }
            dlg.JaBtn->click();
        },
        false, cancel);
    EXPECT_FALSE(middleVisible);
    EXPECT_TRUE(answer);
    EXPECT_FALSE(cancel);
}

TEST_F(YesNoDlgTest, MiddleButtonReportsCancel) {
    bool cancel = true;
    bool middleVisible = false;
    QString middleText;
    const bool answer = AskWith(
        [&] {
            middleVisible = dlg.CancelBtn->isVisible();
            middleText = dlg.CancelBtn->text();
            dlg.CancelBtn->click();
        },
        true, cancel);
    EXPECT_TRUE(middleVisible);
    EXPECT_EQ(middleText, "Negeren");
    EXPECT_FALSE(answer);
    EXPECT_TRUE(cancel);
}

TEST_F(YesNoDlgTest, CarriageReturnsSplitTheMessageIntoLines) {
    struct Case {
        QString message;
        int lines;
    } cases[] = {{"een regel", 1}, {"een\rtwee\rdrie", 3}, {"\r", 2}};
    for (const Case& c : cases) {
        bool cancel = false;
        int blocks = 0;
        int memoHeight = 0;
        AskWith(
            [&] {
                blocks = dlg.MessageMemo->blockCount();
                memoHeight = dlg.MessageMemo->height();
                dlg.NeeBtn->click();
            },
            false, cancel, c.message);
        EXPECT_EQ(blocks, c.lines) << c.message.toStdString();
        EXPECT_EQ(memoHeight, ComputeAskHeights(c.lines, 10, 34).memoHeight)
            << c.message.toStdString();
    }
}

TEST_F(YesNoDlgTest, LaidOutAndCentredOverTheCaller) {
    bool cancel = false;
    QRect geometry;
    QRect no;
    AskWith(
        [&] {
            geometry = dlg.geometry();
            no = dlg.NeeBtn->geometry();
            dlg.NeeBtn->click();
        },
        false, cancel);
    EXPECT_EQ(geometry.width(), 450);
    EXPECT_EQ(geometry.height(), 123);
    EXPECT_EQ(no, QRect(334, 74, 100, 34));
    const WindowPos pos = CentreOver(100, 200, 600, 800, 123, 450);
    EXPECT_EQ(dlg.pos(), QPoint(pos.left, pos.top));
}

TEST_F(YesNoDlgTest, LongQuestionWidensAndTheNextStaysAsWide) {
    bool cancel = false;
    const QString longQuestion = QString("Dit is een lange vraag. ").repeated(40);
    int wide = 0;
    int lines = 0;
    AskWith(
        [&] {
            wide = dlg.width();
            lines = dlg.MessageMemo->height();
            dlg.NeeBtn->click();
        },
        false, cancel, longQuestion);
    EXPECT_GT(wide, 450);
    EXPECT_GT(lines, ComputeAskHeights(1, 10, 34).memoHeight);  // it wrapped
    int next = 0;
    AskWith(
        [&] {
            next = dlg.width();
            dlg.NeeBtn->click();
        },
        false, cancel);
    EXPECT_EQ(next, wide);
}

TEST_F(YesNoDlgTest, HelpContextOnTheDialogAndItsControls) {
    EXPECT_EQ(dlg.property("helpContext").toInt(), 90000);
    EXPECT_EQ(dlg.NeeBtn->property("helpContext").toInt(), 90000);
    EXPECT_EQ(dlg.MessageMemo->property("helpContext").toInt(), 90000);
}

}  // namespace
}  // namespace rendaal
