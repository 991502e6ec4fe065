#include "mainwindow/overview_form.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QMouseEvent>

#include <cstdlib>
#include <filesystem>

#include "core/clock.h"
#include "core/combination.h"
#include "core/regfile.h"
#include "core/settings_values.h"
#include "mainwindow/app_windows.h"
#include "mainwindow/chart_view.h"
#include "mainwindow/main_form.h"
#include "platform/settings_store.h"
#include "support/test_support.h"
#include "support/window_fixture.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;

const std::string kStrangle =
    "AEX 2703 00880.00 00960.00; Put: mrt 2027 880.00; Call: mrt 2027 "
    "960.00; Strangle";
const std::string kSingle =
    "AEX 2712 00860.00 00Geen; Put: dec 2027 860.00; Call: dec 2027 "
    "Geen; Single";
const std::string kNoFile = "AEX 2709 00800.00 00990.00; x; Strangle";
const std::string kFar = "AEX 2912 00800.00 00990.00; x; Strangle";

struct OverviewFormTest : testing::Test {
    test::TempDir dir;
    // Tuesday 8 December 2026 after the close: the start files end on Friday 4 December.
    FixedClock clock{DateTime{2026, 12, 8, 18, 0, 0, 0}};
    TOverviewForm form;
    std::vector<std::string> lines{kSingle, kStrangle, kNoFile, kFar};
    int selected = -1;

    OverviewFormTest() {
        SetAppClock(&clock);
        fs::remove(SettingsFilePath());
        const fs::path data = fs::path(std::getenv("RENDAAL_SOURCE_DIR")) / "data";
        for (const auto& line : {kStrangle, kSingle}) {
            fs::copy_file(data / HistoryFileName(line), dir.path() / HistoryFileName(line));
        }
        form.folder = dir.folder();
        form.lines = [this] { return lines; };
        form.selectCombination = [this](int index) { selected = index; };
        form.show();
    }
    ~OverviewFormTest() override { SetAppClock(nullptr); }

    int Column(const char* title) const {
        for (int c = 0; c < form.Grid->columnCount(); ++c) {
            if (form.Grid->horizontalHeaderItem(c)->text() == QString::fromUtf8(title)) {
                return c;
            }
        }
        return -1;
    }
    QString Cell(int row, const char* title) const {
        return form.Grid->item(row, Column(title))->text();
    }
};

TEST_F(OverviewFormTest, SortsByValueMarksStaleRowsAndSelectsTheListedLine) {
    ASSERT_EQ(form.Grid->rowCount(), 4);
    // Empty cells first, then by value: the Single and the two without history have no high side.
    form.Grid->sortByColumn(Column("BE hoog"), Qt::AscendingOrder);
    EXPECT_TRUE(Cell(2, "BE hoog").isEmpty());
    EXPECT_EQ(Cell(3, "BE hoog").toStdString(), "1.003,21");
    // As text "1109" would sort before "283".
    form.Grid->sortByColumn(Column("Dagen"), Qt::AscendingOrder);
    EXPECT_EQ(Cell(0, "Dagen").toStdString(), "101");
    EXPECT_EQ(Cell(1, "Dagen").toStdString(), "283");
    EXPECT_EQ(Cell(2, "Dagen").toStdString(), "374");
    EXPECT_EQ(Cell(3, "Dagen").toStdString(), "1109");

    const int result = Column("Resultaat €");
    EXPECT_TRUE(form.Grid->item(0, result)->textAlignment() & Qt::AlignRight);
    // Every history ends on Friday while Monday's close has passed: stale, in italics.
    EXPECT_EQ(Cell(0, "Oud").toStdString(), "ja");
    EXPECT_TRUE(form.Grid->item(0, 0)->font().italic());

    // Row 1 is now the 2709 combination, third in the list.
    emit form.Grid->cellDoubleClicked(1, 0);
    EXPECT_EQ(selected, 2);
}

int RedPixels(QWidget* w) {
    const QImage image = w->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            n += image.pixel(x, y) == qRgb(255, 0, 0);
        }
    }
    return n;
}

TEST_F(OverviewFormTest, RiskColumnsSortByValueAndTheChartFollowsTheSelection) {
    form.Grid->sortByColumn(Column("Theta €/dag"), Qt::AscendingOrder);
    EXPECT_TRUE(Cell(1, "Theta €/dag").isEmpty());
    EXPECT_EQ(Cell(2, "Theta €/dag").toStdString(), "8,05");
    EXPECT_EQ(Cell(3, "Theta €/dag").toStdString(), "30,09");
    EXPECT_EQ(Cell(3, "Kans %").toStdString(), "66,11");
    // The chart is read away from the window and follows the row.
    form.Grid->setCurrentCell(3, 0);
    EXPECT_TRUE(test::WaitFor([&] { return RedPixels(form.IvChart) > 100; }));
    EXPECT_TRUE(form.IvChart->accessibleDescription().contains("IV put 1"));
    form.Grid->setCurrentCell(0, 0);  // no history: no line
    EXPECT_TRUE(test::WaitFor([&] { return RedPixels(form.IvChart) == 0; }));
}

TEST_F(OverviewFormTest, RateEditsAreStoredOnlyWhenTheyAreNumbers) {
    form.Grid->sortByColumn(Column("Dagen"), Qt::AscendingOrder);
    QString before = Cell(0, "IV put %");
    form.RenteEdit->setText("veel");
    emit form.RenteEdit->editingFinished();
    EXPECT_FALSE(SettingsStore().file().Find(kSettingsKey, kRenteValue));
    EXPECT_FALSE(form.StatusLabel->text().isEmpty());
    EXPECT_EQ(Cell(0, "IV put %"), before);

    form.RenteEdit->setText("4.5");
    emit form.RenteEdit->editingFinished();
    EXPECT_EQ(SettingsStore().ReadString(kRenteValue, ""), "4,5");
    EXPECT_EQ(form.RenteEdit->text(), "4,5");
    // A higher rate lowers the put's forward value, so the same price implies more volatility.
    EXPECT_GT(Cell(0, "IV put %").replace(',', '.').toDouble(),
              before.replace(',', '.').toDouble());
}

TEST(MarkStaleCombinations, ItalicsAndTheLastDate) {
    QListWidget list;
    list.addItem("a");
    list.addItem("b");
    list.addItem("c");
    std::vector<OverviewRow> rows(2);
    rows[0].stale = true;
    rows[0].lastDate = Date{2026, 12, 3};
    rows[1].stale = false;
    list.item(1)->setFont([] {
        QFont f;
        f.setItalic(true);
        return f;
    }());
    MarkStaleCombinations(&list, rows);
    EXPECT_TRUE(list.item(0)->font().italic());
    EXPECT_TRUE(list.item(0)->toolTip().contains("03-12-2026"));
    EXPECT_FALSE(list.item(1)->font().italic());
    EXPECT_TRUE(list.item(1)->toolTip().isEmpty());
    EXPECT_FALSE(list.item(2)->font().italic());  // more lines than rows: left unmarked

    // A holding alert: a mark before the line and its name in the tooltip, after the date; the
    // mark goes when the alert stops.
    rows[0].alerts = {"AEX bij break-even"};
    MarkStaleCombinations(&list, rows);
    EXPECT_TRUE(list.item(0)->toolTip().endsWith("\nSignaal: AEX bij break-even"));
    EXPECT_TRUE(list.item(0)->data(Qt::DecorationRole).isValid());
    const QIcon blank = list.item(1)->icon();
    rows[0].alerts.clear();
    MarkStaleCombinations(&list, rows);
    EXPECT_TRUE(list.item(0)->toolTip().contains("03-12-2026"));
    EXPECT_FALSE(list.item(0)->toolTip().contains("Signaal"));
    EXPECT_EQ(list.item(0)->icon().pixmap(8).toImage(), blank.pixmap(8).toImage());
}

// The wiring in the running program: the start files' combinations go stale when Monday's close
// passes without a download; Ctrl+O opens the overview; "Theorie" is stored.
TEST(InstallOverview, StaleListItemsCtrlOAndTheTheorieSwitch) {
    test::TempDir root;
    test::ScopedEnv home("HOME", root.folder());
    test::ScopedEnv config("XDG_CONFIG_HOME", root.folder() + "config");
    test::ScopedEnv data("XDG_DATA_HOME", root.folder() + "data");
    test::ScopedEnv start("RENDAAL_START_FOLDER", "");
    FixedClock clock(DateTime{2026, 12, 8, 18, 0, 0, 0});
    SetAppClock(&clock);
    SetUserMessageHandler([](const QString&, const QString&) {});
    auto app = CreateAppWindows();
    QCoreApplication::processEvents();

    QListWidget* list = MainForm->ListBox1;
    ASSERT_GT(list->count(), 0);
    // The marks come from another thread once the histories are read.
    ASSERT_TRUE(test::WaitFor([list] { return list->item(list->count() - 1)->font().italic(); }));
    for (int i = 0; i < list->count(); ++i) {
        EXPECT_TRUE(list->item(i)->font().italic()) << i;
        EXPECT_TRUE(list->item(i)->toolTip().contains("04-12-2026")) << i;
    }

    QAction* overview = nullptr;
    for (QAction* a : MainForm->actions()) {
        if (a->shortcut() == QKeySequence(Qt::CTRL | Qt::Key_O)) {
            overview = a;
        }
    }
    ASSERT_NE(overview, nullptr);
    EXPECT_TRUE(list->actions().contains(overview));
    overview->trigger();
    auto* form = MainForm->findChild<TOverviewForm*>();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(test::WaitFor([&] { return form->Grid->rowCount() == list->count(); }));

    EXPECT_FALSE(MainForm->TheoryView);
    MainForm->TheorieClick();
    EXPECT_TRUE(MainForm->TheoryView);
    EXPECT_TRUE(SettingsStore().ReadBool(kTheorieValue, false));
    EXPECT_TRUE(TheoryViewStored());

    // "Theorie over ... dagen": stored, and the line moves.
    list->setCurrentRow(0);
    QCoreApplication::processEvents();
    const QImage today = MainForm->ChartImage();
    ASSERT_FALSE(today.isNull());
    MainForm->Image1->SetTheoryDays(30);
    EXPECT_EQ(SettingsStore().ReadInteger(kTheorieDagenValue, -1), 30);
    EXPECT_EQ(TheoryDaysStored(), 30);
    EXPECT_NE(MainForm->ChartImage(), today);
    ASSERT_TRUE(StoreTheoryDays(-5));
    EXPECT_EQ(TheoryDaysStored(), 0);

    // The hover's Greeks are the worker's: a history gone since it was read is not read again.
    MainForm->HoverReady = true;
    const auto greeks = [] {
        QMouseEvent move(QEvent::MouseMove, QPointF(60, 60), QPointF(60, 60), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(MainForm->Image1, &move);
        const QString tip = MainForm->Image1->toolTip();
        return tip.indexOf("Delta") < 0 ? QString() : tip.mid(tip.indexOf("Delta"));
    };
    MainForm->Image1->SetTheoryDays(0);
    const QString read = greeks();
    EXPECT_TRUE(read.startsWith("Delta    : ") && !read.startsWith("Delta    : -"))
        << read.toStdString();
    std::filesystem::remove(MainForm->DataFolder + HistoryFileName(MainForm->Combinations()[0]));
    EXPECT_EQ(greeks(), read);

    app.reset();
    SetUserMessageHandler(nullptr);
    SetAppClock(nullptr);
}

}  // namespace
}  // namespace rendaal
