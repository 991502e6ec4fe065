#include "mainwindow/scenario_form.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>

#include <filesystem>

#include "core/clock.h"
#include "core/combination.h"
#include "mainwindow/app_windows.h"
#include "mainwindow/main_form.h"
#include "support/test_support.h"
#include "support/window_fixture.h"

namespace rendaal {
namespace {

void Press(QWidget* w, int key) {
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &event);
}

// The start files' first combination, opened with Ctrl+E from the list: the grid comes from the
// rows the list's reader already has, so the history file is not read again (here it is gone).
TEST(InstallScenario, CtrlEShowsTheSelectedCombinationWithoutReadingItsFile) {
    test::TempDir root;
    test::ScopedEnv home("HOME", root.folder());
    test::ScopedEnv config("XDG_CONFIG_HOME", root.folder() + "config");
    test::ScopedEnv data("XDG_DATA_HOME", root.folder() + "data");
    test::ScopedEnv start("RENDAAL_START_FOLDER", "");
    FixedClock clock(DateTime{2026, 12, 7, 18, 0, 0, 0});
    SetAppClock(&clock);
    SetUserMessageHandler([](const QString&, const QString&) {});
    auto app = CreateAppWindows();
    QListWidget* list = MainForm->ListBox1;
    ASSERT_GT(list->count(), 0);
    ASSERT_TRUE(test::WaitFor([list] { return list->item(list->count() - 1)->font().italic(); }));
    list->setCurrentRow(0);
    std::filesystem::remove(MainForm->DataFolder + HistoryFileName(MainForm->Combinations()[0]));

    QAction* action = MainForm->findChild<QAction*>("ScenarioAction");
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_TRUE(list->actions().contains(action));
    action->trigger();
    auto* form = MainForm->findChild<TScenarioForm*>();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    const ScenarioGrid& grid = form->Map->Grid();
    ASSERT_EQ(grid.problem, "");
    EXPECT_EQ(grid.dates.front().date, (Date{2026, 12, 7}));
    EXPECT_EQ(grid.dates.back().date, (Date{2027, 3, 19}));
    EXPECT_TRUE(form->Map->accessibleDescription().startsWith(
        "Resultaat bij de AEX van nu (912,34): vandaag €"));

    // The keyboard's cell starts at today's level; the arrows move it and the read-out follows.
    form->Map->setFocus();
    Press(form->Map, Qt::Key_Right);
    EXPECT_TRUE(
        form->ReadoutLabel->text().startsWith("07-12-2026 (vandaag), AEX 921,46 (+1,0 %): €"))
        << form->ReadoutLabel->text().toStdString();
    EXPECT_EQ(form->Map->accessibleName(), form->ReadoutLabel->text());
    Press(form->Map, Qt::Key_PageDown);
    EXPECT_TRUE(form->ReadoutLabel->text().startsWith("19-03-2027 (expiratie)"));

    const auto before = grid.At(0, 0);
    form->ShiftBox->setCurrentIndex(form->ShiftBox->findData(5));
    EXPECT_EQ(form->Map->Grid().shift, 5);
    EXPECT_LT(*form->Map->Grid().At(0, 0), *before);  // more volatility costs the seller
    EXPECT_EQ(form->windowTitle(),
              "Scenario Strangle AEX 2703 00880.00 00960.00, volatiliteit +5 punten");

    list->setCurrentRow(-1);
    EXPECT_EQ(form->StatusLabel->text(), "Kies een combinatie in de lijst");
    SetAppClock(nullptr);
}

}  // namespace
}  // namespace rendaal
