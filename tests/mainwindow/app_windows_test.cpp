#include "mainwindow/app_windows.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

#include "core/clock.h"
#include "core/combination.h"
#include "dialogs/about_form.h"
#include "dialogs/yesno_dialog.h"
#include "mainwindow/add_form.h"
#include "mainwindow/download_form.h"
#include "mainwindow/main_form.h"
#include "platform/help.h"
#include "settings/options_form.h"
#include "support/test_support.h"
#include "support/window_fixture.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;

class AppWindowsTest : public ::testing::Test {
protected:
    AppWindowsTest()
        : home_("HOME", root_.folder()),
          config_("XDG_CONFIG_HOME", root_.folder() + "config"),
          data_("XDG_DATA_HOME", root_.folder() + "data"),
          // Empty: the program's own rule finds the source tree's data/ from the build tree.
          start_("RENDAAL_START_FOLDER", ""),
          clock_(DateTime{2026, 12, 7, 10, 0, 0, 0}) {
        SetAppClock(&clock_);
        SetUserMessageHandler([this](const QString&, const QString& text) {
            messages_.push_back(text.toStdString());
        });
    }
    ~AppWindowsTest() override {
        SetAppClock(nullptr);
        SetUserMessageHandler(nullptr);
    }
    test::TempDir root_;
    test::ScopedEnv home_, config_, data_, start_;
    FixedClock clock_;
    std::vector<std::string> messages_;
};

TEST_F(AppWindowsTest, TenWindowsInTheirOrderAndTheShippedStartFiles) {
    auto app = CreateAppWindows();
    std::vector<std::string> order;
    for (const auto& w : app->windows) {
        order.push_back(w->metaObject()->className());
    }
    const std::vector<std::string> expected = {"rendaal::TMainForm",      "rendaal::TAddForm",
                                               "rendaal::TGraphForm",     "rendaal::TDownloadForm",
                                               "rendaal::TAboutForm",     "rendaal::TVersionsForm",
                                               "rendaal::TYesNoDlg",      "rendaal::TOptionsForm",
                                               "rendaal::TTerminateForm", "rendaal::TMessageForm"};
    ASSERT_EQ(order.size(), expected.size());
    EXPECT_EQ(order, expected);
    EXPECT_EQ(app->main, MainForm);
    // F1 finds each window's topic.
    EXPECT_EQ(HelpContextOf(AddForm), 11000);
    EXPECT_EQ(HelpContextOf(AboutForm), 50000);
    EXPECT_EQ(HelpContextOf(YesNoDlg), 90000);
    EXPECT_EQ(HelpContextOf(OptionsForm->UpdatesCheck), 32150);
    EXPECT_EQ(HelpContextOf(OptionsForm->DownloadBtn), 32050);
    EXPECT_TRUE(messages_.empty());  // the shipped help page is found

    // The shipped start files: sorted, every history file present and charted.
    const auto& lines = MainForm->Combinations();
    ASSERT_GE(lines.size(), 4u);
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_TRUE(fs::exists(MainForm->DataFolder + HistoryFileName(lines[i]))) << lines[i];
        if (i > 0) {
            EXPECT_FALSE(RulesLess(lines[i], lines[i - 1]));
        }
    }
    MainForm->ShowSelected();
    EXPECT_EQ(MainForm->ChartImage().size(), MainForm->Image1->size());
    EXPECT_NE(MainForm->l1->text(), "---");
    EXPECT_FALSE(MainForm->Charts.lastRowTexts.som.empty());
    MainForm->ModeButtonClick();  // the graph chart's result read-out, laid out left to right
    EXPECT_EQ(MainForm->l1->text(), "Resultaat: ");
    QLabel* const row[] = {MainForm->l1, MainForm->l2, MainForm->l3, MainForm->l4};
    for (int i = 1; i < 4; ++i) {
        EXPECT_EQ(row[i]->x(), row[i - 1]->x() + row[i - 1]->width() + 5) << i;
        EXPECT_EQ(row[i]->y(), 37);
    }
    // The hover read-out of the last chart, shown once a run or an addition happened.
    QMouseEvent move(QEvent::MouseMove, QPointF(20, 20),
                     MainForm->Image1->mapToGlobal(QPointF(20, 20)), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(MainForm->Image1, &move);
    EXPECT_TRUE(MainForm->Image1->toolTip().isEmpty());
    MainForm->HoverReady = true;
    QCoreApplication::sendEvent(MainForm->Image1, &move);
    const QString hint = MainForm->Image1->toolTip();
    // Dated as the last line drawn, not as today; then the point nearest to the mouse.
    ASSERT_TRUE(MainForm->Charts.lastRowDate.has_value());
    EXPECT_TRUE(hint.startsWith(QString::fromStdString(
        "Laatste gegevens:\n  Datum: " + FormatDmy(*MainForm->Charts.lastRowDate) + "\n")))
        << hint.toStdString();
    EXPECT_TRUE(hint.contains("\nBij de muis:\n  Datum: ")) << hint.toStdString();
    EXPECT_TRUE(hint.contains(QString::fromStdString(MainForm->Charts.lastRowTexts.som.substr(1))))
        << hint.toStdString();
    // The download run writes into the main window's labels and reads its list.
    EXPECT_NE(DownloadForm, nullptr);
}

TEST_F(AppWindowsTest, DeletionAsksTheYesNoDialog) {
    auto app = CreateAppWindows();
    const std::vector<std::string> before = MainForm->Combinations();
    ASSERT_GE(before.size(), 3u);
    const std::string rules = test::ReadAll(MainForm->RulesFilePath());
    struct Seen {
        QString caption;
        QString message;
        bool middleShown = true;
    } seen;
    auto answer = [&seen](QPushButton* TYesNoDlg::*button) {
        QTimer::singleShot(0, [&seen, button] {
            seen.caption = YesNoDlg->windowTitle();
            seen.message = YesNoDlg->MessageMemo->toPlainText();
            seen.middleShown = YesNoDlg->CancelBtn->isVisible();
            (YesNoDlg->*button)->click();
        });
    };
    MainForm->ListBox1->setCurrentRow(1);
    answer(&TYesNoDlg::NeeBtn);
    MainForm->DelButtonClick();
    EXPECT_EQ(seen.caption, "Rendaal - Verwijderen");
    EXPECT_TRUE(seen.message.startsWith("Wilt u inderdaad de geselecteerde "))
        << seen.message.toStdString();
    EXPECT_FALSE(seen.middleShown);
    EXPECT_EQ(MainForm->Combinations(), before);
    EXPECT_EQ(test::ReadAll(MainForm->RulesFilePath()), rules);

    answer(&TYesNoDlg::JaBtn);
    MainForm->DelButtonClick();
    std::vector<std::string> after = before;
    after.erase(after.begin() + 1);
    EXPECT_EQ(MainForm->Combinations(), after);
    EXPECT_EQ(MainForm->SelectedIndex(), 1);
    EXPECT_EQ(ParseRules(test::ReadAll(MainForm->RulesFilePath())), after);
}

// As the program starts: the main window alone paints its first frame, the others follow
// before that frame's work (chart, download), which reaches them through the hooks; the icons
// and the stale marks come after it.
TEST_F(AppWindowsTest, SecondaryWindowsIconsAndMarksFollowTheFirstFrame) {
    fs::create_directories(root_.path() / "config" / "Rendaal");
    test::WriteAll(
        root_.path() / "config" / "Rendaal" / "Rendaal.reg",
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults]\r\n"
        "\"IndexUrl\"=\"http://127.0.0.1:9\"\r\n\"OptionUrl\"=\"http://127.0.0.1:9\"\r\n");
    clock_.Set(DateTime{2026, 12, 8, 18, 0, 0, 0});  // the start files are stale then
    auto app = CreateAppWindows(SecondaryWindows::AfterFirstFrame);
    TMainForm* main = app->main;
    EXPECT_EQ(app->windows.size(), 1u);
    main->show();
    EXPECT_TRUE(main->AwaitingFirstFrame());
    ASSERT_TRUE(test::WaitFor([main] { return main->HoverReady; }));
    EXPECT_EQ(app->windows.size(), 10u);
    EXPECT_EQ(app->windows[6].get(), YesNoDlg);
    EXPECT_FALSE(main->ChartImage().isNull());
    EXPECT_EQ(main->DownloadBtn->icon().pixmap(16).toImage(),
              main->style()->standardIcon(QStyle::SP_ArrowDown).pixmap(16).toImage());
    EXPECT_TRUE(test::WaitFor([] { return !QApplication::windowIcon().isNull(); }));
    QListWidget* list = main->ListBox1;
    EXPECT_TRUE(test::WaitFor([list] { return list->item(0)->font().italic(); }));
}

}  // namespace
}  // namespace rendaal
