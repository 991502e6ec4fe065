// A day of use with the keyboard, a screen reader and a scaled screen: help without a browser,
// "Theorie" in both charts, what the menus and rows say, what a cut text still tells.
#include <sys/stat.h>

#include <filesystem>

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QMenu>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolTip>

#include "analytics/overview.h"
#include "core/combination.h"
#include "download/fake_fetcher.h"
#include "mainwindow/add_form.h"
#include "mainwindow/app_windows.h"
#include "mainwindow/download_form.h"
#include "mainwindow/overview_form.h"
#include "support/window_fixture.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;
using test::WaitFor;

const std::string kLine =
    "AEX 2612 00900.00 00950.00; Put: dec 2026 900.00; Call: dec 2026 950.00; Strangle";

class DesktopUi : public test::WindowFixture {
protected:
    DesktopUi() {
        test::WriteAll(start_dir_.path() / "Regels.dat", kLine + "\r\n");
        WriteSettings("\"SiteUrl\"=\"http://127.0.0.1:9/\"\r\n");
        static const bool once = SetUpDesktopIdentity();
        (void)once;
    }
    std::unique_ptr<AppWindows> Start() {
        auto app = CreateAppWindows();
        auto fetcher = std::make_unique<test::FakeFetcher>();
        pages_ = fetcher.get();
        Serve(true);
        DownloadForm->SetFetcher(std::move(fetcher));
        DownloadForm->SetPageAddresses(test::kIndexBase, test::kOptionBase);
        return app;
    }
    void Serve(bool up) {
        pages_->Serve(test::kIndexBase,
                      {up ? test::IndexPageHtml("07-12-26", "10:00", "905,12", "3,21") : ""});
        pages_->Serve(test::kOptionBase,
                      {up ? test::OptionPageHtml({{'P', "18-12-2026", "900,00", "12,35"},
                                                  {'C', "18-12-2026", "950,00", "3,10"}})
                          : ""});
    }
    // The context menu the key opens on w: its accessible name, items and the highlighted one.
    struct Menu {
        QString name;
        QStringList items, greyed;
        QString active, tip;
    };
    static Menu MenuByKey(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods) {
        Menu seen;
        QTimer::singleShot(100, [&seen] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu) {
                return;
            }
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(menu);
            seen.name = a->role() == QAccessible::PopupMenu ? a->text(QAccessible::Name) : "";
            for (int i = 0; i < a->childCount(); ++i) {
                seen.items << a->child(i)->text(QAccessible::Name);
                if (a->child(i)->state().disabled) {
                    seen.greyed << a->child(i)->text(QAccessible::Name);
                }
            }
            if (menu->activeAction()) {
                seen.active = menu->activeAction()->text();
            }
            for (QAction* act : menu->actions()) {
                seen.tip += act->isEnabled() ? QString() : act->toolTip();
            }
            menu->close();
        });
        QTest::keyClick(w, key, mods);
        return seen;
    }
    test::FakeFetcher* pages_ = nullptr;
};

TEST_F(DesktopUi, HelpWithoutABrowserSaysSoWithThePathAndCoversTheProgram) {
    auto app = Start();
    TMainForm* main = app->main;
    ShowAndPaint(main);
    // The real road: xdg-open starts, finds no browser and says so in its exit code.
    SetUrlOpener(nullptr);
    const test::TempDir bin;
    const std::string script = (bin.path() / "xdg-open").string();
    const test::ScopedEnv path("PATH", bin.folder());
    for (const auto& [exit, told] : {std::pair{"3", true}, std::pair{"0", false}}) {
        test::WriteAll(script, std::string("#!/bin/sh\nexit ") + exit + "\n");
        ::chmod(script.c_str(), 0700);
        messages_.clear();
        main->ListBox1->setFocus();
        QTest::keyClick(main->ListBox1, Qt::Key_F1);
        test::Wait(1500);
        const bool said = messages_.size() == 1 &&
                          messages_[0].find("geen programma") != std::string::npos &&
                          messages_[0].find(main->HelpFilePath) != std::string::npos;
        EXPECT_EQ(said, told) << exit << ": " << ::testing::PrintToString(messages_);
    }
    // Every column of Overzicht, the keys, Theorie, the alerts and the archive.
    auto* overview = main->findChild<TOverviewForm*>();
    ASSERT_NE(overview, nullptr);
    const QString help = QString::fromStdString(
        test::ReadAll(std::string(std::getenv("RENDAAL_SOURCE_DIR")) + "/data/help/rendaal.html"));
    QStringList topics = {
        "Ctrl+O",   "Shift+F10",           "Theorie",  "Winstdoel", "Verliesgrens",
        "BE-marge", "Herstel uit archief", "opgehaald"};
    for (int i = 0; i < overview->Grid->columnCount(); ++i) {
        topics << overview->Grid->horizontalHeaderItem(i)->text();
    }
    for (const QString& topic : topics) {
        EXPECT_TRUE(help.contains(topic, Qt::CaseInsensitive)) << topic.toStdString();
    }
}

TEST_F(DesktopUi, TheorieShowsInBothChartsWithItsKeyAndIsSpoken) {
    auto app = Start();
    TMainForm* main = app->main;
    ShowAndPaint(main);
    if (main->BlocksView) {
        main->ModeButtonClick();
    }
    // The menu judges "Theorie" by the history the chart was drawn from: it reads no file.
    const int selected = main->ListBox1->SelectedIndex();
    ASSERT_GE(selected, 0);
    const std::string file =
        main->DataFolder + HistoryFileName(main->Combinations()[static_cast<size_t>(selected)]);
    std::filesystem::rename(file, file + ".weg");
    main->Image1->setFocus();
    EXPECT_FALSE(MenuByKey(main->Image1, Qt::Key_Menu, Qt::NoModifier).greyed.contains("Theorie"));
    std::filesystem::rename(file + ".weg", file);
    const QImage plain = main->ChartImage();
    main->TheorieClick();
    EXPECT_NE(main->ChartImage(), plain) << "Grafiek: Theorie changes nothing";
    EXPECT_TRUE(main->Image1->accessibleDescription().contains(
        QString::fromUtf8("Theorie per dag: laatste \u20ac")))
        << main->Image1->accessibleDescription().toStdString();
    // In Grafiek "over ... dagen" is greyed and says why; the first item is the chosen one.
    main->Image1->setFocus();
    const Menu menu = MenuByKey(main->Image1, Qt::Key_Menu, Qt::NoModifier);
    EXPECT_EQ(menu.name, "Menu van de grafiek");
    EXPECT_TRUE(menu.items.contains("Theorie"));
    EXPECT_EQ(menu.greyed, QStringList{"Theorie over ... dagen"});
    EXPECT_TRUE(menu.tip.contains("Blokjes"));
    EXPECT_EQ(menu.active, "Grafiek opslaan...");

    main->ModeButtonClick();
    EXPECT_TRUE(main->Image1->accessibleDescription().contains(
        QString::fromUtf8("Theorie vandaag: \u20ac")))
        << main->Image1->accessibleDescription().toStdString();
}

TEST_F(DesktopUi, ScreenReaderHearsTheAlertTheAddedLineAndTheListMenu) {
    auto app = Start();
    TMainForm* main = app->main;
    ShowAndPaint(main);
    OverviewRow alerted;
    alerted.alerts = {"winstdoel"};
    MarkStaleCombinations(main->ListBox1, {alerted});
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(main->ListBox1);
    QStringList names;
    for (int i = 0; i < list->childCount(); ++i) {
        names << list->child(i)->text(QAccessible::Name);
    }
    EXPECT_TRUE(names.join('|').contains("signaal: winstdoel")) << names.join('|').toStdString();

    main->ListBox1->setFocus();
    const Menu menu = MenuByKey(main->ListBox1, Qt::Key_F10, Qt::ShiftModifier);
    EXPECT_EQ(menu.name, "Menu van de lijst");
    EXPECT_EQ(menu.active, "Herstel uit archief");

    main->VoegToeButtonClick();
    ASSERT_TRUE(WaitFor([] { return AddForm->isVisible(); }));
    // Opens on the chosen series with the ring of a keyboard focus.
    ASSERT_TRUE(WaitFor([] { return AddForm->focusWidget() != nullptr; }));
    auto* focused = qobject_cast<QRadioButton*>(AddForm->focusWidget());
    ASSERT_NE(focused, nullptr);
    EXPECT_TRUE(focused->isChecked());
    EXPECT_TRUE(AddForm->testAttribute(Qt::WA_KeyboardFocusChange));
    AddForm->ComboBox4->setCurrentIndex(1);
    AddForm->ComboBox3->setCurrentIndex(1);
    AddForm->ComboBox4Change();
    const QString line = AddForm->ResultLabel->text();
    ASSERT_FALSE(line.isEmpty());
    const auto spoken = [](QWidget* w) {
        return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
    };
    EXPECT_TRUE(spoken(AddForm->ResultLabel).contains(line));
    EXPECT_TRUE(spoken(AddForm->LabelIntro).contains("Straddle"));
    AddForm->close();
}

// 1366 x 768 at 200 %: 683 x 384 points, less the window's frame.
TEST_F(DesktopUi, ScaledScreenCutsTextsOnlyWithAnEllipsisAndATip) {
    auto app = Start();
    TMainForm* main = app->main;
    ShowAndPaint(main);
    main->setMinimumSize(0, 0);
    main->resize(640, 400);
    ASSERT_TRUE(WaitFor([main] { return main->width() == 640; }));
    const QString status = QStringLiteral("Gedownload: Geen koersen (server niet bereikbaar)");
    main->Label1->setText(status);
    main->Panel1->FitLabels();
    for (QLabel* label : main->Panel1->findChildren<QLabel*>()) {
        const bool whole = label->width() >= label->sizeHint().width();
        const bool marked = label->text().endsWith(QChar(0x2026)) &&
                            label->toolTip().startsWith(label->property("fullText").toString());
        EXPECT_TRUE(whole || marked) << label->text().toStdString();
        EXPECT_LE(label->geometry().right(), main->Panel1->width());
    }
    EXPECT_TRUE(main->Label1->toolTip().startsWith(status));
    // A list line cut by the view's ellipsis is whole in its tooltip.
    const QPoint at = main->ListBox1->visualItemRect(main->ListBox1->item(0)).center();
    QHelpEvent hover(QEvent::ToolTip, at, main->ListBox1->viewport()->mapToGlobal(at));
    QApplication::sendEvent(main->ListBox1->viewport(), &hover);
    EXPECT_EQ(QToolTip::text().toStdString(), kLine);
    EXPECT_GE(main->ListBox1->height(), main->ListBox1->HeightFor(1));
    EXPECT_GT(main->Image1->height(), 0);
}

TEST_F(DesktopUi, SavingAndTheTimesSayWhatTheyAre) {
    auto app = Start();
    TMainForm* main = app->main;
    ShowAndPaint(main);
    const QString saved = QString::fromStdString(root_.folder() + "grafiek.png");
    ASSERT_TRUE(main->SaveChartTo(saved));
    EXPECT_TRUE(main->Label1->toolTip().startsWith("Grafiek opgeslagen in " + saved));
    EXPECT_TRUE(main->L24->toolTip().contains("Opgehaald: 07-12-2026 10:00:00"))
        << main->L24->toolTip().toStdString();
    clock_.Set(DateTime{2026, 12, 7, 11, 0, 0, 0});
    Serve(false);
    main->DownloadBtnClick();
    EXPECT_TRUE(main->Label1->toolTip().contains("Laatste geslaagde download: 07-12-2026 10:00:00"))
        << main->Label1->toolTip().toStdString();
    EXPECT_TRUE(main->Label1->toolTip().contains("opnieuw"));
}

}  // namespace
}  // namespace rendaal
