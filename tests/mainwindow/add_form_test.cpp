#include "mainwindow/add_form.h"

#include <QAccessible>
#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/text.h"
#include "dialogs/message_form.h"
#include "download/option_page.h"
#include "download/strike_list.h"
#include "platform/http_client.h"

namespace rendaal {
namespace {

// Rows as the option page reads after tag stripping: kind letter, expiry dd-mm-yyyy, exercise
// price, then the bid, ask and last prices.
const std::string kPage =
    "AEX-index opties Koersen C/PAfloopdatumUitoefenkoersBiedenLatenLaatst"
    "C12-03-2027890,0014,0014,5014,20"  // AX2 week
    "C19-03-2027880,0012,3512,4012,40"
    "C19-03-2027960,0002,0502,1002,10"
    "C19-03-20271000,0000,5000,6000,55"
    "C16-04-2027880,0020,0020,5020,20"
    "P19-03-2027880,0008,1008,2008,15"
    "P19-03-2027960,0044,0044,5044,20"
    "Alle koersen zijn vertraagd";

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) {
        items << combo->itemText(i);
    }
    return items;
}

// Chooses an item as the user does, so that the list's own signal runs the handler.
void Choose(QComboBox* combo, const QString& text) {
    const int index = combo->findText(text);
    ASSERT_GE(index, 0) << text.toStdString();
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

class AddFormTest : public ::testing::Test {
protected:
    AddFormTest() {
        SetAppClock(&clock);
        mainWindow.setGeometry(100, 80, 900, 700);
        AddFormContext context;
        context.mainWindow = &mainWindow;
        context.quotePage = [this] { return page; };
        context.monthFrom = [this] { return monthFrom; };
        context.yearFrom = [this] { return yearFrom; };
        context.yearTill = [this] { return yearTill; };
        context.addCombination = [this](const std::string& line) { added.push_back(line); };
        form.SetContext(context);
    }
    ~AddFormTest() override { SetAppClock(nullptr); }

    void Show() {
        form.show();
        ASSERT_TRUE(form.FirstPaintDone);
    }

    FixedClock clock{DateTime{2027, 3, 8, 10, 0, 0, 0}};
    std::string page = kPage;
    int monthFrom = 3;
    int yearFrom = 2027;
    int yearTill = 2029;
    std::vector<std::string> added;
    QWidget mainWindow;
    TAddForm form;
};

TEST_F(AddFormTest, CreatedHiddenNonModalWithItsTexts) {
    EXPECT_EQ(AddForm, &form);
    EXPECT_EQ(form.windowTitle(), "Rendaal - Toevoegen");
    EXPECT_EQ(form.property("helpContext").toInt(), 11000);
    EXPECT_EQ(form.size(), QSize(611, 406));  // the series box with its margin all round
    EXPECT_FALSE(form.isModal());
    QStringList series;
    for (QAbstractButton* b : form.RadioGroupButtons->buttons()) {
        series << b->text();
    }
    EXPECT_EQ(series, (QStringList{"AX1", "AX2", "AEX", "AX4", "AX5"}));
    EXPECT_EQ(form.SeriesIndex(), 2);
    // The right-aligned labels end at one edge before their lists.
    EXPECT_EQ(form.Label9->geometry().right(), form.Label8->geometry().right());
    EXPECT_LT(form.Label9->geometry().right(), form.ComboBox4->x());
    EXPECT_EQ(form.LabelIntro->text().split('\n'),
              (QStringList{"Als een van de uitoefenkoersen \"Geen\" is, dan wordt de combinatie "
                           "een \"Single\".",
                           "Als de Uitoefenkoersen van beide opties gelijk zijn, dan wordt de "
                           "combinatie een \"Straddle\".",
                           "In alle andere gevallen wordt de combinatie een \"Strangle\"."}));
    EXPECT_TRUE(form.OKButton->isHidden());
}

TEST_F(AddFormTest, FirstShowingFillsTheListsAndCentres) {
    Show();
    // March 2027 expires on the 19th: on the 8th it is the first month offered.
    EXPECT_EQ(form.ComboBox1->count(), 10);
    EXPECT_EQ(form.ComboBox1->itemText(0), "maart");
    EXPECT_EQ(form.ComboBox1->currentText(), "maart");
    EXPECT_EQ(Items(form.ComboBox2), (QStringList{"2027", "2028", "2029"}));
    EXPECT_EQ(form.ComboBox2->currentIndex(), 0);
    const QStringList expected{"Geen", "880.00", "960.00", "1000.00"};
    EXPECT_EQ(Items(form.ComboBox4), expected);
    EXPECT_EQ(Items(form.ComboBox3), expected);
    EXPECT_EQ(form.ComboBox4->currentIndex(), 3);  // 3 prices: 3 / 2 + 2
    // The chosen pair makes a whole line: shown, and OK can take it at once.
    const std::string line =
        "AEX 2703 01000.00 01000.00; Put: mrt 2027 1000.00; Call: mrt 2027 "
        "1000.00; Straddle";
    EXPECT_EQ(form.ResultLabel->text().toStdString(), line);
    EXPECT_TRUE(form.OKButton->isVisible());
    EXPECT_TRUE(form.OKButton->isEnabled());
    EXPECT_TRUE(form.NoteLabel->isHidden());
    form.OKButtonClick();
    EXPECT_EQ(added, std::vector<std::string>{line});
    const QRect main = mainWindow.frameGeometry();
    const WindowPos pos = CentreOver(main.top(), main.left(), main.height(), main.width(),
                                     form.frameGeometry().height(), form.frameGeometry().width());
    EXPECT_EQ(form.frameGeometry().topLeft(), QPoint(pos.left, pos.top));
}

// Months whose expiry has passed are not offered; a run of an earlier day does not bring them
// back.
TEST_F(AddFormTest, NoExpiredMonth) {
    struct Case {
        DateTime now;
        int yearFrom;  // of the last run, 0 for none
        const char* firstYear;
        const char* firstMonth;
        int months;
    } cases[] = {
        {{2027, 3, 19, 18, 0, 0, 0}, 2027, "2027", "maart", 10},  // expiry day itself
        {{2027, 3, 20, 9, 0, 0, 0}, 2027, "2027", "april", 9},
        {{2027, 12, 18, 9, 0, 0, 0}, 2027, "2028", "januari", 12},
        {{2027, 12, 18, 9, 0, 0, 0}, 0, "2028", "januari", 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.now.day);
        clock.Set(c.now);
        yearFrom = c.yearFrom;
        yearTill = c.yearFrom + 2;
        TAddForm fresh;
        AddFormContext context;
        context.quotePage = [this] { return page; };
        context.monthFrom = [] { return 3; };
        context.yearFrom = [this] { return yearFrom; };
        context.yearTill = [this] { return yearTill; };
        fresh.SetContext(context);
        fresh.show();
        EXPECT_EQ(fresh.ComboBox2->itemText(0), c.firstYear);
        EXPECT_EQ(fresh.ComboBox1->itemText(0), c.firstMonth);
        EXPECT_EQ(fresh.ComboBox1->count(), c.months);
        if (fresh.ComboBox2->count() > 1) {
            Choose(fresh.ComboBox2, fresh.ComboBox2->itemText(1));  // a later year: all twelve
            EXPECT_EQ(fresh.ComboBox1->count(), 12);
        }
    }
    AddForm = &form;
}

// A failed run leaves the lists empty and says why; the next good run fills them, also while
// the dialog stays open.
TEST_F(AddFormTest, ListsFollowTheLastGoodPage) {
    page.clear();
    Show();
    EXPECT_EQ(Items(form.ComboBox4), QStringList{"Geen"});
    EXPECT_TRUE(form.ResultLabel->text().isEmpty());  // no line with empty prices
    EXPECT_FALSE(form.OKButton->isEnabled());
    EXPECT_TRUE(form.NoteLabel->isVisibleTo(&form));
    EXPECT_TRUE(
        form.NoteLabel->text().startsWith("Geen uitoefenkoersen: er is nog geen "
                                          "optiepagina gedownload"));
    EXPECT_EQ(form.ComboBox4->accessibleDescription(), form.NoteLabel->text());
    EXPECT_EQ(form.ComboBox4->placeholderText(), "geen koersen");
    form.hide();
    page = kPage;
    form.show();
    EXPECT_EQ(Items(form.ComboBox4), (QStringList{"Geen", "880.00", "960.00", "1000.00"}));
    EXPECT_TRUE(form.NoteLabel->isHidden());
    EXPECT_TRUE(form.OKButton->isEnabled());
    Choose(form.ComboBox4, "880.00");
    Choose(form.ComboBox3, "960.00");
    // A failed run now keeps the lists; a new page refills them and keeps the choice it holds.
    page.clear();
    form.RefreshFromPage();
    Choose(form.ComboBox1, "april");
    Choose(form.ComboBox1, "maart");
    EXPECT_EQ(Items(form.ComboBox4), (QStringList{"Geen", "880.00", "960.00", "1000.00"}));
    page = "C/PC19-03-2027880,0012,35C19-03-2027920,0012,35C19-03-2027960,0012,35";
    Choose(form.ComboBox4, "880.00");
    Choose(form.ComboBox3, "960.00");
    form.RefreshFromPage();
    EXPECT_EQ(Items(form.ComboBox3), (QStringList{"Geen", "880.00", "920.00", "960.00"}));
    EXPECT_EQ(form.ComboBox4->currentText(), "880.00");
    EXPECT_EQ(form.ComboBox3->currentText(), "960.00");
    // Why a page gives nothing.
    struct Case {
        std::string page;
        const char* note;
    } cases[] = {
        {"Default.htm", "Geen uitoefenkoersen: de gedownloade optiepagina bevat geen koerstabel."},
        {"C/PC19-06-2027880,0012,35",
         "Geen uitoefenkoersen voor AEX maart 2027 op de gedownloade optiepagina; kies een "
         "andere serie, maand of jaar."},
    };
    for (const Case& c : cases) {
        page = c.page;
        form.RefreshFromPage();
        EXPECT_TRUE(form.NoteLabel->text().startsWith(c.note))
            << form.NoteLabel->text().toStdString();
        EXPECT_TRUE(form.ResultLabel->text().isEmpty());
    }
}

// A screen reader must tell the controls apart: each has a name, and each list is labelled by
// its own label (some readers say only a combo box's value, "915.00" for both price lists).
TEST_F(AddFormTest, EveryControlHasAName) {
    Show();
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (qobject_cast<QComboBox*>(w) || qobject_cast<QAbstractButton*>(w) ||
            qobject_cast<QGroupBox*>(w) || w == form.ResultLabel || w == form.NoteLabel) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->metaObject()->className();
        }
    }
    const std::pair<QComboBox*, const char*> lists[] = {
        {form.ComboBox1, "Maand"},
        {form.ComboBox2, "Jaar"},
        {form.ComboBox4, "Uitoefenkoers Put-optie"},
        {form.ComboBox3, "Uitoefenkoers Call-optie"},
    };
    for (const auto& [combo, name] : lists) {
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(combo);
        ASSERT_NE(list, nullptr);
        const auto labels = list->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1) << name;
        EXPECT_EQ(labels[0].first->text(QAccessible::Name).remove('&'), name);
        EXPECT_EQ(combo->accessibleName(), name);
    }
}

TEST_F(AddFormTest, ComposedLineIsAddedOnOk) {
    Show();
    Choose(form.ComboBox4, "880.00");
    Choose(form.ComboBox3, "960.00");
    const std::string line =
        "AEX 2703 00880.00 00960.00; Put: mrt 2027 880.00; Call: mrt 2027 960.00; Strangle";
    EXPECT_EQ(form.ResultLabel->text().toStdString(), line);
    EXPECT_EQ(form.ComposedLine, line);
    ASSERT_TRUE(form.OKButton->isVisible());
    ASSERT_TRUE(form.OKButton->isEnabled());
    form.OKButton->click();
    EXPECT_EQ(added, std::vector<std::string>{line});
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.ComposedLine.empty());
    EXPECT_TRUE(form.ShownLine.empty());
    EXPECT_TRUE(form.ResultLabel->text().isEmpty());
    // OK again without a new choice only closes.
    form.show();
    form.OKButton->click();
    EXPECT_EQ(added.size(), 1u);
}

// The main window lets events run while it gives the new combination its first history line;
// a second click on OK in that moment must not add the line again.
TEST_F(AddFormTest, SecondOkWhileTheLineIsBeingAddedAddsNothing) {
    AddFormContext context;
    context.quotePage = [this] { return page; };
    context.monthFrom = [this] { return monthFrom; };
    context.yearFrom = [this] { return yearFrom; };
    context.yearTill = [this] { return yearTill; };
    context.addCombination = [this](const std::string& line) {
        added.push_back(line);
        form.OKButtonClick();
    };
    form.SetContext(context);
    Show();
    Choose(form.ComboBox4, "880.00");
    Choose(form.ComboBox3, "880.00");
    form.OKButton->click();
    EXPECT_EQ(added, std::vector<std::string>{"AEX 2703 00880.00 00880.00; Put: mrt 2027 880.00; "
                                              "Call: mrt 2027 880.00; Straddle"});
}

TEST_F(AddFormTest, KindFollowsTheChosenPrices) {
    page = kPage + "C18-06-2027350,0040,0040,5040,20";
    monthFrom = 6;
    Show();
    EXPECT_EQ(Items(form.ComboBox3), (QStringList{"Geen", "350.00"}));
    Choose(form.ComboBox4, "Geen");
    Choose(form.ComboBox3, "350.00");
    EXPECT_EQ(form.ComposedLine,
              "AEX 2706 00Geen 00350.00; Put: jun 2027 Geen; Call: jun 2027 350.00; Single");
    Choose(form.ComboBox4, "350.00");
    EXPECT_EQ(form.ComposedLine,
              "AEX 2706 00350.00 00350.00; Put: jun 2027 350.00; Call: jun 2027 350.00; Straddle");
}

TEST_F(AddFormTest, SeriesChangeShowsThePreviousLineAndOkAddsIt) {
    Show();
    Choose(form.ComboBox4, "880.00");
    Choose(form.ComboBox3, "1000.00");
    const std::string aexLine =
        "AEX 2703 00880.00 01000.00; Put: mrt 2027 880.00; Call: mrt 2027 1000.00; Strangle";
    ASSERT_EQ(form.ComposedLine, aexLine);
    form.RadioGroupButtons->button(1)->click();  // "AX2"
    EXPECT_EQ(form.SeriesIndex(), 1);
    EXPECT_EQ(Items(form.ComboBox4), (QStringList{"Geen", "890.00"}));
    EXPECT_EQ(form.ResultLabel->text().toStdString(), aexLine);
    form.OKButton->click();
    EXPECT_EQ(added, std::vector<std::string>{aexLine});
}

TEST_F(AddFormTest, MonthAndYearChangesRefillThePrices) {
    Show();
    Choose(form.ComboBox1, "april");
    EXPECT_EQ(Items(form.ComboBox4), (QStringList{"Geen", "880.00"}));
    Choose(form.ComboBox2, "2028");
    EXPECT_EQ(Items(form.ComboBox4), (QStringList{"Geen"}));
    EXPECT_EQ(form.MonthNumber, 4);
}

TEST_F(AddFormTest, SevenPricesSelectItemFive) {
    page = "C/P";
    for (int strike = 900; strike < 970; strike += 10) {
        page += "C19-03-2027" + std::to_string(strike) + ",0012,3512,40";
    }
    Show();
    EXPECT_EQ(form.ComboBox4->count(), 8);
    EXPECT_EQ(form.ComboBox4->currentIndex(), 5);
    EXPECT_EQ(form.ComboBox3->currentIndex(), 5);
    EXPECT_EQ(form.ComboBox3->currentText(), "940.00");
}

TEST_F(AddFormTest, NoPageOffersOnlyGeen) {
    for (const std::string& bad : {std::string(), std::string("Default.htm"),
                                   std::string("C19-03-2027880,0012,35 zonder kop")}) {
        page = bad;
        TAddForm fresh;
        AddFormContext context;
        context.quotePage = [this] { return page; };
        context.monthFrom = [] { return 3; };
        context.yearFrom = [] { return 2027; };
        context.yearTill = [] { return 2028; };
        context.addCombination = [this](const std::string& line) { added.push_back(line); };
        fresh.SetContext(context);
        fresh.show();
        EXPECT_EQ(Items(fresh.ComboBox4), QStringList{"Geen"});
        EXPECT_EQ(Items(fresh.ComboBox3), QStringList{"Geen"});
        // Nothing chosen: no line, and OK cannot add one.
        Choose(fresh.ComboBox1, "mei");
        EXPECT_TRUE(fresh.ResultLabel->text().isEmpty());
        EXPECT_FALSE(fresh.OKButton->isEnabled());
        fresh.OKButtonClick();
        EXPECT_TRUE(added.empty());
        // Only a Single with "Geen" on both sides can be made.
        fresh.show();
        Choose(fresh.ComboBox4, "Geen");
        Choose(fresh.ComboBox3, "Geen");
        ASSERT_TRUE(fresh.OKButton->isEnabled());
        fresh.OKButton->click();
        EXPECT_EQ(added, std::vector<std::string>{
                             "AEX 2705 00Geen 00Geen; Put: mei 2027 Geen; Call: mei 2027 Geen; "
                             "Single"});
        added.clear();
    }
    AddForm = &form;
}

TEST_F(AddFormTest, OkWithNothingComposedOnlyCloses) {
    page.clear();
    Show();
    form.OKButtonClick();
    EXPECT_TRUE(added.empty());
    EXPECT_FALSE(form.isVisible());
}

TEST_F(AddFormTest, OkWithAnUnselectedPriceListAddsNothing) {
    page = "C/PC19-03-2027880,0012,35C19-03-2027900,0012,35";  // two prices: nothing selected
    Show();
    ASSERT_EQ(form.ComboBox4->currentIndex(), -1);
    Choose(form.ComboBox3, "900.00");
    // No line with an empty price ("AEX 2703 00 00900.00; Put: mrt 2027 ; ..."): the note says
    // what is missing.
    EXPECT_TRUE(form.ResultLabel->text().isEmpty());
    EXPECT_EQ(form.NoteLabel->text(),
              "Kies een uitoefenkoers voor de put-optie en voor de call-optie.");
    EXPECT_TRUE(form.ComposedLine.empty());
    EXPECT_FALSE(form.OKButton->isEnabled());
    form.OKButtonClick();
    EXPECT_TRUE(added.empty());
    // Choosing the put as well makes it whole again.
    form.show();
    Choose(form.ComboBox4, "880.00");
    form.OKButton->click();
    EXPECT_EQ(added.size(), 1u);
}

TEST_F(AddFormTest, NoRunYetFallsBackToTheCurrentMonthAndYear) {
    monthFrom = 0;
    yearFrom = 0;
    yearTill = 0;
    page.clear();
    Show();
    EXPECT_EQ(form.ComboBox1->currentText(), "maart");  // the clock's month
    EXPECT_EQ(Items(form.ComboBox2), QStringList{"2027"});
}

TEST_F(AddFormTest, CancelKeepsTheChoicesForTheNextShowing) {
    Show();
    Choose(form.ComboBox1, "april");
    Choose(form.ComboBox4, "880.00");
    form.CancelButton->click();
    EXPECT_FALSE(form.isVisible());
    page.clear();  // a later run must not refill the lists behind the user's back
    form.show();
    EXPECT_EQ(form.ComboBox1->currentText(), "april");
    EXPECT_EQ(form.ComboBox4->currentText(), "880.00");
    EXPECT_TRUE(added.empty());
}

TEST_F(AddFormTest, RefillYearsReplacesTheYearList) {
    Show();
    Choose(form.ComboBox2, "2029");
    form.RefillYears(2027, 2032);
    EXPECT_EQ(Items(form.ComboBox2), (QStringList{"2027", "2028", "2029", "2030", "2031", "2032"}));
    EXPECT_EQ(form.ComboBox2->currentIndex(), 0);
    EXPECT_EQ(Items(form.ComboBox4), (QStringList{"Geen", "880.00", "960.00", "1000.00"}));
    EXPECT_EQ(form.ComposedLine.substr(0, 8), "AEX 2703");
}

// The loopback quote server program, started for one test and ended with it.
class QuoteSimProcess final {
public:
    QuoteSimProcess() {
        // The build tree's program; this test program lies two folders below its top.
        QString binaryDir = qEnvironmentVariable("RENDAAL_BINARY_DIR");
        if (binaryDir.isEmpty()) {
            binaryDir = QCoreApplication::applicationDirPath() + "/../..";
        }
        const QString program = binaryDir + "/tools/quotesim/quotesim";
        if (!QFileInfo::exists(program)) {
            return;
        }
        process_.start(program, {"--port", "0", "--seed", "11"});
        if (!process_.waitForStarted(10000)) {
            return;
        }
        // "quotesim: http://127.0.0.1:PORT (AEX 925,43)"
        const QRegularExpression started("(http://127\\.0\\.0\\.1:\\d+)");
        while (baseUrl_.empty() && process_.waitForReadyRead(10000)) {
            const auto match = started.match(QString::fromUtf8(process_.readAllStandardOutput()));
            if (match.hasMatch()) {
                baseUrl_ = match.captured(1).toStdString();
            }
        }
    }
    ~QuoteSimProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
    }
    const std::string& baseUrl() const { return baseUrl_; }

private:
    QProcess process_;
    std::string baseUrl_;
};

// The prices the dialog offers from a served page are exactly what the download run can then
// look up for the new combination.
TEST_F(AddFormTest, OffersThePricesOfAServedPageThatTheRunCanLookUp) {
    QuoteSimProcess server;
    if (server.baseUrl().empty()) {
        GTEST_SKIP() << "the quotesim program is not built or did not start";
    }
    SetAppClock(nullptr);  // the server's market lives on today's date
    const DateTime now = AppClock().Now();
    TDataRec window;
    window.MonthFrom = window.MonthTill = now.month % 12 + 1;  // next month: never expired
    window.YearFrom = now.month == 12 ? now.year + 1 : now.year;
    window.YearTill = window.YearFrom + 1;
    window.PriceFrom = 800;
    window.PriceTill = 1050;
    QtPageFetcher fetcher;
    FetchRequest request;
    request.url = OptionPageUrl(server.baseUrl(), window);
    request.proxy = ProxyMode::Direct;
    request.timeoutMs = 10000;
    page = StripTags(fetcher.Fetch(request));
    ASSERT_GT(page.size(), 60u);

    monthFrom = window.MonthFrom;
    yearFrom = window.YearFrom;
    yearTill = window.YearTill;
    Show();
    const QStringList offered = Items(form.ComboBox3);
    ASSERT_GT(offered.size(), 3);
    EXPECT_EQ(offered[0], "Geen");
    EXPECT_EQ(Items(form.ComboBox4), offered);
    const int expiryDay = ThirdFriday(window.YearFrom, window.MonthFrom);
    for (int i = 1; i < offered.size(); ++i) {
        TDataRec rec = window;
        rec.OptionKind = 'C';
        rec.Strike = ParseNumber(offered[i].toStdString());
        rec.ExpiryMonth = window.MonthFrom;
        rec.ExpiryYear = window.YearFrom;
        rec.ExpiryDay = expiryDay == 21 && window.MonthFrom == 3 ? 20 : expiryDay;
        uint16_t count = 0;
        LookupPrice(page, rec, "AEX", now, count);
        EXPECT_EQ(count, 1) << offered[i].toStdString();
        EXPECT_GE(rec.Strike, 800);
        EXPECT_LE(rec.Strike, 1050);
    }

    Choose(form.ComboBox4, offered[1]);
    Choose(form.ComboBox3, offered.last());
    const std::string year = std::to_string(window.YearFrom);
    const std::string put = offered[1].toStdString();
    const std::string call = offered.last().toStdString();
    // The highest price has four digits, so its field takes one zero and keeps the width.
    ASSERT_EQ(call.find('.'), 4u) << call;
    const std::string expected =
        "AEX " + year.substr(2) + TwoDigits(window.MonthFrom) + " 00" + put + " 0" + call +
        "; Put: " + kDutchShortMonthNames[window.MonthFrom - 1] + " " + year + " " + put +
        "; Call: " + kDutchShortMonthNames[window.MonthFrom - 1] + " " + year + " " + call +
        "; Strangle";
    EXPECT_EQ(form.ComposedLine, expected);
    form.OKButton->click();
    EXPECT_EQ(added, std::vector<std::string>{expected});
}

}  // namespace
}  // namespace rendaal
