// Overzicht as a day's use meets it on a 1366x768 laptop: opened on the main window's row, kept
// on the user's row through refreshes and sorts, handing its choice back to the main window,
// and every column saying what it means.
#include <gtest/gtest.h>
#include <QApplication>
#include <QHeaderView>
#include <QMenu>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include "core/combination.h"
#include "core/settings_values.h"
#include "download/fake_fetcher.h"
#include "mainwindow/app_windows.h"
#include "mainwindow/download_form.h"
#include "mainwindow/overview_form.h"
#include "platform/settings_store.h"
#include "support/window_fixture.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;
using test::WaitFor;

class OverviewDesktop : public test::WindowFixture {
protected:
    OverviewDesktop() {
        // The shipped start files: five combinations whose histories end on Friday 4 December.
        for (const auto& e :
             fs::directory_iterator(fs::path(std::getenv("RENDAAL_SOURCE_DIR")) / "data")) {
            if (e.is_regular_file()) {
                fs::copy_file(e.path(), start_dir_.path() / e.path().filename());
            }
        }
        WriteSettings(
            "\"IndexUrl\"=\"http://127.0.0.1:9\"\r\n\"OptionUrl\"=\"http://127.0.0.1:9\"\r\n"
            "\"SiteUrl\"=\"http://127.0.0.1:9/\"\r\n");
        app_ = CreateAppWindows();
        DownloadForm->SetFetcher(std::make_unique<test::FakeFetcher>());
        main_ = app_->main;
        ShowAndPaint(main_);
        overview_ = main_->findChild<TOverviewForm*>();
    }
    std::string KeyOf(int index) const {
        return CombinationKey(main_->Combinations()[static_cast<size_t>(index)]);
    }
    // Until the rows asked for now have arrived.
    void Refreshed() {
        int fills = 0;
        auto c = QObject::connect(overview_->Grid, &TOverviewTable::Filled, [&] { ++fills; });
        overview_->Refresh();
        EXPECT_TRUE(WaitFor([&] { return fills > 0; }));
        QObject::disconnect(c);
    }

    std::unique_ptr<AppWindows> app_;
    TMainForm* main_ = nullptr;
    TOverviewForm* overview_ = nullptr;
};

TEST_F(OverviewDesktop, KeepsTheRowOpensOnTheMainSelectionAndHandsTheChoiceBack) {
    ASSERT_NE(overview_, nullptr);
    TOverviewTable* grid = overview_->Grid;
    main_->ListBox1->setCurrentRow(1);
    QTest::keyClick(main_, Qt::Key_O, Qt::ControlModifier);
    ASSERT_TRUE(WaitFor([&] { return grid->rowCount() == 5; }));
    EXPECT_EQ(grid->SelectedKey(), KeyOf(1)) << "opens on the main window's selection";

    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Down);
    const std::string chosen = KeyOf(3);
    ASSERT_EQ(grid->SelectedKey(), chosen);
    for (int i = 0; i < 10; ++i) {
        grid->sortByColumn(i % 6, i % 2 ? Qt::DescendingOrder : Qt::AscendingOrder);
        Refreshed();
        ASSERT_EQ(grid->item(grid->currentRow(), 0)->text().toStdString(), chosen)
            << "refresh " << i;
    }
    EXPECT_TRUE(WaitFor([&] {
        return overview_->IvChart->accessibleDescription().contains(
            "laatste dag 04-12-2026: IV put ");
    })) << overview_->IvChart->accessibleDescription().toStdString();

    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(main_->SelectedIndex(), 3);
    EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == main_; }));
    EXPECT_NE(overview_->windowHandle()->transientParent(), main_->windowHandle())
        << "Overzicht would stay above the chosen chart";
    QTest::keyClick(main_, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(overview_->windowHandle()->transientParent(), main_->windowHandle());
    EXPECT_EQ(grid->SelectedKey(), chosen);

    // The entry point for a notice's "Toon".
    OpenOverview(*main_, KeyOf(0));
    EXPECT_EQ(grid->SelectedKey(), KeyOf(0));
}

TEST_F(OverviewDesktop, ColumnsExplainThemselvesFitAt1366AndStayHiddenWhenHidden) {
    OpenOverview(*main_);
    TOverviewTable* grid = overview_->Grid;
    ASSERT_TRUE(WaitFor([&] { return grid->rowCount() == 5; }));
    for (int c = 0; c < grid->columnCount(); ++c) {
        const QString tip = grid->horizontalHeaderItem(c)->toolTip();
        EXPECT_GT(tip.size(), 40) << c;
        EXPECT_TRUE(grid->item(0, c)->toolTip().contains(tip)) << c;
    }
    // Nothing to report: no empty "Controle"; a finding brings it back.
    const int check = grid->ColumnOf(OverviewColumnId::Check);
    EXPECT_TRUE(grid->isColumnHidden(check));
    OverviewRow odd;
    odd.key = "AEX 2703 00880.00 00960.00";
    odd.checks = {kNoIndexFlag};
    grid->Fill({odd});
    EXPECT_FALSE(grid->isColumnHidden(check));
    Refreshed();

    // The window fits the screen, and the columns wanted first are in view without scrolling.
    EXPECT_TRUE(overview_->screen()->availableGeometry().contains(overview_->frameGeometry()));
    for (const auto id :
         {OverviewColumnId::Key, OverviewColumnId::Result, OverviewColumnId::Days,
          OverviewColumnId::SomLast, OverviewColumnId::Aex, OverviewColumnId::Pop,
          OverviewColumnId::BeLow, OverviewColumnId::BeHigh, OverviewColumnId::Theta}) {
        const int c = grid->ColumnOf(id);
        EXPECT_LE(grid->columnViewportPosition(c) + grid->columnWidth(c), grid->viewport()->width())
            << grid->horizontalHeaderItem(c)->text().toStdString();
    }

    // One amount, one way of writing it: Overzicht's result is the chart's.
    const int result = grid->ColumnOf(OverviewColumnId::Result);
    grid->setCurrentCell(0, result);
    QTest::keyClick(grid, Qt::Key_Return);
    if (main_->BlocksView) {
        main_->ModeButtonClick();
    }
    EXPECT_EQ(main_->l2->text(), grid->item(0, result)->text() + ",");

    // Hidden from the header's menu, and still hidden in the next window.
    const int gamma = grid->ColumnOf(OverviewColumnId::Gamma);
    QTimer::singleShot(50, [] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* a : menu->actions()) {
                if (a->text() == "Gamma") {
                    a->trigger();
                }
            }
            menu->close();
        }
    });
    emit grid->horizontalHeader()->customContextMenuRequested(QPoint(5, 5));
    EXPECT_TRUE(grid->isColumnHidden(gamma));
    EXPECT_EQ(SettingsStore().ReadString(kOverzichtVerborgenValue, ""), "gamma");
    EXPECT_TRUE(TOverviewTable().isColumnHidden(gamma));
}

}  // namespace
}  // namespace rendaal
