#include "dialogs/message_form.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>

#include <gtest/gtest.h>

namespace rendaal {
namespace {

// Lets the event loop run until pred holds or ms have passed; true when it held.
template <typename Pred>
bool WaitFor(Pred pred, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!pred()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

void Pause(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

TEST(CentreOverTest, TruncatesTowardZero) {
    struct Case {
        int top, left, height, width, ownHeight, ownWidth;
        WindowPos expected;
    } cases[] = {
        {100, 200, 600, 800, 90, 699, {355, 250}},
        {0, 0, 101, 101, 0, 0, {50, 50}},
        // A window larger than its caller: -151 / 2 is -75, not -76.
        {300, 300, 300, 300, 451, 451, {225, 225}},
        {-40, -40, 10, 10, 13, 13, {-41, -41}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CentreOver(c.top, c.left, c.height, c.width, c.ownHeight, c.ownWidth), c.expected)
            << c.top << "," << c.left << " " << c.height << "x" << c.width;
    }
}

TEST(MessageLayoutTest, TwoLineHeightsAroundTheTextCappedByTheScreen) {
    struct Case {
        int lines, points, screen, memo, window;
    } cases[] = {
        {0, 10, 1024, 20, 70},  // both lines empty: still two line heights
        {1, 10, 1024, 30, 80}, {2, 10, 1024, 40, 90},
        {2, 12, 1024, 48, 98}, {1000, 10, 768, 568, 618},  // capped at the screen height - 200
        {5, 10, 100, 0, 50},                               // absurd screen: never a negative height
    };
    for (const Case& c : cases) {
        const MessageLayout layout = ComputeMessageLayout(c.lines, c.points, c.screen);
        EXPECT_EQ(layout.memoHeight, c.memo) << c.lines << " lines";
        EXPECT_EQ(layout.windowHeight, c.window) << c.lines << " lines";
    }
}

TEST(WrappedLineCountTest, LongTextWrapsEmptyLineCounts) {
    const QFont font("Verdana", 10);
    EXPECT_EQ(WrappedLineCount({"kort"}, font, 600), 1);
    EXPECT_EQ(WrappedLineCount({"een", ""}, font, 600), 2);
    EXPECT_GE(WrappedLineCount({QString("woord ").repeated(200)}, font, 300), 10);
    // One unbreakable word is broken anywhere rather than run off the edge.
    EXPECT_GT(WrappedLineCount({QString("x").repeated(500)}, font, 100), 1);
}

class MessageFormTest : public ::testing::Test {
protected:
    TMessageForm form;
};

TEST_F(MessageFormTest, ShowsCentredAndClosesAfterTheInterval) {
    form.ShowTimed(100, 200, 600, 800, "Kan het mailprogramma niet starten.", "Probeer later.",
                   150);
    ASSERT_TRUE(form.isVisible());
    EXPECT_EQ(form.MessageMemo->toPlainText(),
              "Kan het mailprogramma niet starten.\nProbeer later.");
    EXPECT_EQ(form.height(), 90);
    EXPECT_EQ(form.width(), 699);
    const WindowPos expected = CentreOver(100, 200, 600, 800, 90, 699);
    EXPECT_EQ(form.pos(), QPoint(expected.left, expected.top));
    EXPECT_TRUE(WaitFor([&] { return !form.isVisible(); }, 5000));
    EXPECT_FALSE(form.Timer->isActive());
}

TEST_F(MessageFormTest, BothLinesEmptyShowsTwoLineHeightsAndStillCloses) {
    form.ShowTimed(0, 0, 400, 400, "", "", 100);
    ASSERT_TRUE(form.isVisible());
    EXPECT_TRUE(form.MessageMemo->toPlainText().isEmpty());
    EXPECT_EQ(form.MessageMemo->height(), 20);
    EXPECT_TRUE(WaitFor([&] { return !form.isVisible(); }, 5000));
}

TEST_F(MessageFormTest, OnlySecondLineGivesOneLine) {
    form.ShowTimed(0, 0, 400, 400, "", "tweede", 3000);
    EXPECT_EQ(form.MessageMemo->toPlainText(), "tweede");
    EXPECT_EQ(form.MessageMemo->height(), 30);
    form.TimerTimer();
    EXPECT_FALSE(form.isVisible());
}

TEST_F(MessageFormTest, SecondCallWhileShowingKeepsTheCountdown) {
    form.ShowTimed(0, 0, 400, 400, "eerste", "", 1500);
    Pause(400);
    ASSERT_TRUE(form.isVisible());
    form.ShowTimed(50, 60, 400, 400, "nieuw", "bericht", 1500);
    EXPECT_EQ(form.MessageMemo->toPlainText(), "nieuw\nbericht");
    const WindowPos expected = CentreOver(50, 60, 400, 400, form.height(), form.width());
    EXPECT_EQ(form.pos(), QPoint(expected.left, expected.top));
    ASSERT_TRUE(form.Timer->isActive());
    // A restarted countdown would have (almost) the whole 1500 ms left; a coarse timer may be
    // 5 % late.
    EXPECT_LE(form.Timer->remainingTime(), 1250);
    EXPECT_TRUE(WaitFor([&] { return !form.isVisible(); }, 5000));
}

TEST_F(MessageFormTest, ShowingAgainAfterClosingStartsANewCountdown) {
    form.ShowTimed(0, 0, 400, 400, "een", "", 100);
    ASSERT_TRUE(WaitFor([&] { return !form.isVisible(); }, 5000));
    form.ShowTimed(0, 0, 400, 400, "twee", "", 100);
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(form.Timer->isActive());
    EXPECT_TRUE(WaitFor([&] { return !form.isVisible(); }, 5000));
}

TEST_F(MessageFormTest, VeryLongMessageNeverTallerThanScreenMinus200) {
    const int screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    const QString longText = QString("een heel lang bericht ").repeated(2000);
    form.ShowTimed(0, 0, screenHeight, 800, longText, longText, 3000);
    EXPECT_EQ(form.MessageMemo->height(), screenHeight - 200);
    EXPECT_EQ(form.height(), screenHeight - 150);
    form.TimerTimer();
}

}  // namespace
}  // namespace rendaal
