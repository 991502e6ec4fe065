#include "download/strike_list.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/combination.h"

namespace rendaal {
namespace {

using Items = std::vector<std::string>;

constexpr int kAX1 = 0;
constexpr int kAX2 = 1;
constexpr int kAEX = 2;
constexpr int kAX5 = 4;

// The quote page after tag stripping: a header with "C/P", then the call rows and the put rows
// (kind letter, dd-mm-yyyy, exercise price, then bid, ask, last...).
std::string Page(const std::vector<std::string>& rows) {
    std::string page = "AEX-index opties&nbsp;Koersen C/PAfloopdatumUitoefenkoersBiedenLatenLaatst";
    for (const std::string& row : rows) {
        page += row;
    }
    return page + "Copyright 2027";
}

TEST(FillStrikeListsTest, OffersTheCallsOfTheChosenExpiry) {
    const std::string page = Page({
        "C05-03-2027870,0030,1030,50",  // AX1 week
        "C19-03-2027880,0012,3512,40",
        "C19-03-2027900,0009,1009,20",
        "C19-03-2027960,0002,0502,10",
        "C16-04-2027880,0020,0020,50",  // another month
        "C17-03-2028880,0040,0040,50",  // another year
        "P19-03-2027880,0008,1008,20",  // puts never offered
        "P19-03-2027920,0014,1014,20",
    });
    const StrikeLists lists = FillStrikeLists(page, "maart", "2027", kAEX);
    EXPECT_EQ(lists.items, (Items{"Geen", "880.00", "900.00", "960.00"}));
    EXPECT_EQ(lists.selected, 3);
    EXPECT_EQ(FillStrikeLists(page, "maart", "2027", kAX1).items, (Items{"Geen", "870.00"}));
    EXPECT_EQ(FillStrikeLists(page, "april", "2027", kAEX).items, (Items{"Geen", "880.00"}));
    EXPECT_EQ(FillStrikeLists(page, "maart", "2028", kAEX).items, (Items{"Geen", "880.00"}));
}

TEST(FillStrikeListsTest, FourDigitStrikeOfferedWhole) {
    const StrikeLists lists = FillStrikeLists(
        Page({"C19-03-2027995,0012,35", "C19-03-20271000,0009,10", "C19-03-202712345,6701,00"}),
        "maart", "2027", kAEX);
    EXPECT_EQ(lists.items, (Items{"Geen", "995.00", "1000.00", "12345.67"}));
}

TEST(FillStrikeListsTest, OnlyPricesAboveHundred) {
    const StrikeLists lists =
        FillStrikeLists(Page({"C19-03-2027100,0012,35", "C19-03-2027100,5012,35",
                              "C19-03-202799,0012,35", "C19-03-2027000,0012,35"}),
                        "maart", "2027", kAEX);
    EXPECT_EQ(lists.items, (Items{"Geen", "100.50"}));
}

TEST(FillStrikeListsTest, DayDecidesTheSeries) {
    const std::string page =
        Page({"C08-04-2027880,0012,35", "C30-04-2027890,0012,35", "C07-04-2027870,0012,35"});
    struct Case {
        int series;
        Items expected;
    } cases[] = {
        {kAX1, {"Geen", "870.00"}},
        {kAX2, {"Geen", "880.00"}},
        {kAEX, {"Geen"}},
        {kAX5, {"Geen", "890.00"}},
        {7, {"Geen"}},  // no such series button
        {-1, {"Geen"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FillStrikeLists(page, "april", "2027", c.series).items, c.expected)
            << "series " << c.series;
    }
}

TEST(FillStrikeListsTest, SelectsCountHalvedPlusTwoWhenThereIsSuchAnItem) {
    struct Case {
        int prices;
        int selected;
    } cases[] = {{0, -1}, {1, -1}, {2, -1}, {3, 3}, {4, 4}, {7, 5}, {20, 12}};
    for (const Case& c : cases) {
        std::vector<std::string> rows;
        for (int i = 0; i < c.prices; ++i) {
            rows.push_back("C19-03-2027" + std::to_string(800 + 10 * i) + ",0012,35");
        }
        const StrikeLists lists = FillStrikeLists(Page(rows), "maart", "2027", kAEX);
        ASSERT_EQ(lists.items.size(), static_cast<size_t>(c.prices) + 1);
        EXPECT_EQ(lists.selected, c.selected) << c.prices << " prices";
        if (c.prices == 7) {
            EXPECT_EQ(lists.items[5], "840.00");  // the fifth price
        }
    }
}

TEST(FillStrikeListsTest, BadPagesGiveOnlyWellFormedPrices) {
    const std::string many(5000, 'C');
    struct Case {
        const char* name;
        std::string page;
        Items expected;
    } cases[] = {
        {"no page yet", "", {"Geen"}},
        {"no C/P header", "C19-03-2027880,0012,35C19-03-2027900,0012,35", {"Geen"}},
        {"header only", "C/P", {"Geen"}},
        {"C as the last character", "C/PC", {"Geen"}},
        {"C/ at the end", "C/PC/", {"Geen"}},
        {"C/ twice", "C/PC/C/C19-03-2027880,0012,35", {"Geen"}},
        {"page full of C", "C/P" + many, {"Geen"}},
        {"full of C before a good row",
         many + "C/P" + many + "C19-03-2027880,0012,35",
         {"Geen", "880.00"}},
        {"impossible date", "C/PC99-99-9999880,0012,35", {"Geen"}},
        {"month 13", "C/PC19-13-2027880,0012,35", {"Geen"}},
        {"month 0", "C/PC19-00-2027880,0012,35", {"Geen"}},
        {"letters in the day", "C/PCx9-03-2027880,0012,35", {"Geen"}},
        {"no dashes", "C/PC19032027AB880,0012,35", {"Geen"}},
        {"price without a comma", "C/PC19-03-2027880001235", {"Geen"}},
        {"price with a point", "C/PC19-03-2027880.0012,35", {"Geen"}},
        {"one decimal at the end", "C/PC19-03-2027880,0", {"Geen"}},
        {"comma at the end", "C/PC19-03-2027880,", {"Geen"}},
        {"date cut short", "C/PC19-03-20", {"Geen"}},
        {"no digits before the comma", "C/PC19-03-2027,0012,35", {"Geen"}},
        {"space before the price", "C/PC19-03-2027 880,0012,35", {"Geen"}},
        {"short date swallows the price", "C/PC1-3-2027880,0012,35", {"Geen"}},
        {"NUL bytes", std::string("C/PC19-03-2027\0\0\0,00", 21), {"Geen"}},
        {"good row after bad ones",
         "C/PC99-99-9999C19-03-2027880,C19-03-2027910,0012,35",
         {"Geen", "910.00"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FillStrikeLists(c.page, "maart", "2027", kAEX).items, c.expected) << c.name;
    }
}

TEST(FillStrikeListsTest, ChoiceTextsMustMatchExactly) {
    const std::string page = Page({"C19-03-2027880,0012,35"});
    EXPECT_EQ(FillStrikeLists(page, "March", "2027", kAEX).items, (Items{"Geen"}));
    EXPECT_EQ(FillStrikeLists(page, "Maart", "2027", kAEX).items, (Items{"Geen"}));
    EXPECT_EQ(FillStrikeLists(page, "maart", "27", kAEX).items, (Items{"Geen"}));
    EXPECT_EQ(FillStrikeLists(page, "", "", kAEX).items, (Items{"Geen"}));
}

// Arbitrary bytes around fragments of real rows: every offered price must be well formed.
TEST(FillStrikeListsTest, RandomPagesNeverOfferMalformedPrices) {
    const std::vector<std::string> pieces = {"C/P",   "C",          "/",           "-",
                                             ",",     "19-03-2027", "880,00",      "1000,00",
                                             "12,35", "P",          "C19-03-2027", "9"};
    std::mt19937 random(20270319);
    for (int round = 0; round < 3000; ++round) {
        std::string page;
        const int parts = static_cast<int>(random() % 40);
        for (int i = 0; i < parts; ++i) {
            if (random() % 3 == 0) {
                page += static_cast<char>(random() % 256);
            } else {
                page += pieces[random() % pieces.size()];
            }
        }
        const StrikeLists lists = FillStrikeLists(page, "maart", "2027", kAEX);
        ASSERT_FALSE(lists.items.empty());
        EXPECT_EQ(lists.items[0], "Geen");
        for (size_t i = 1; i < lists.items.size(); ++i) {
            const std::string& item = lists.items[i];
            const size_t point = item.find('.');
            ASSERT_NE(point, std::string::npos) << item;
            EXPECT_EQ(item.size() - point, 3u) << item;
            EXPECT_EQ(item.find_first_not_of("0123456789."), std::string::npos) << item;
        }
        EXPECT_LT(lists.selected, static_cast<int>(lists.items.size()));
    }
}

TEST(ComposeLineTest, BuildsTheCombinationLine) {
    struct Case {
        LineChoices choices;
        const char* expected;
    } cases[] = {
        {{kAEX, "maart", "2027", "880.00", "960.00"},
         "AEX 2703 00880.00 00960.00; Put: mrt 2027 880.00; Call: mrt 2027 960.00; Strangle"},
        {{kAEX, "juni", "2027", "Geen", "350.00"},
         "AEX 2706 00Geen 00350.00; Put: jun 2027 Geen; Call: jun 2027 350.00; Single"},
        {{kAEX, "juni", "2027", "350.00", "Geen"},
         "AEX 2706 00350.00 00Geen; Put: jun 2027 350.00; Call: jun 2027 Geen; Single"},
        {{kAEX, "juni", "2027", "Geen", "Geen"},
         "AEX 2706 00Geen 00Geen; Put: jun 2027 Geen; Call: jun 2027 Geen; Single"},
        {{kAX2, "december", "2030", "1000.00", "1000.00"},
         "AX2 3012 01000.00 01000.00; Put: dec 2030 1000.00; Call: dec 2030 1000.00; Straddle"},
        {{kAX1, "januari", "2028", "900.00", "910.00"},
         "AX1 2801 00900.00 00910.00; Put: jan 2028 900.00; Call: jan 2028 910.00; Strangle"},
        {{3, "oktober", "2027", "900.00", "910.00"},
         "AX4 2710 00900.00 00910.00; Put: okt 2027 900.00; Call: okt 2027 910.00; Strangle"},
        {{kAX5, "mei", "2029", "900.00", "910.00"},
         "AX5 2905 00900.00 00910.00; Put: mei 2029 900.00; Call: mei 2029 910.00; Strangle"},
    };
    for (const Case& c : cases) {
        const Composition composed = ComposeLine(c.choices, 0);
        EXPECT_EQ(composed.line, c.expected);
        EXPECT_TRUE(composed.complete) << c.expected;
    }
}

TEST(ComposeLineTest, FourDigitStrikesSortAfterThreeDigitOnes) {
    const std::string low = ComposeLine({kAEX, "maart", "2027", "950.00", "990.00"}, 0).line;
    const std::string high = ComposeLine({kAEX, "maart", "2027", "1000.00", "1000.00"}, 0).line;
    EXPECT_TRUE(RulesLess(low, high));
    EXPECT_FALSE(RulesLess(high, low));
    EXPECT_LT(HistoryFileName(low).substr(9), HistoryFileName(high).substr(9));
    EXPECT_EQ(CombinationKey(low).size(), CombinationKey(high).size());
}

TEST(ComposeLineTest, EveryMonthHasItsNumberAndShortName) {
    const char* shortNames[] = {"jan", "feb", "mrt", "apr", "mei", "jun",
                                "jul", "aug", "sep", "okt", "nov", "dec"};
    for (int m = 1; m <= 12; ++m) {
        const Composition composed =
            ComposeLine({kAEX, kDutchMonthNames[m - 1], "2027", "900.00", "900.00"}, 0);
        EXPECT_EQ(composed.month, m);
        const std::string mm = (m < 10 ? "0" : "") + std::to_string(m);
        EXPECT_EQ(composed.line.substr(0, 18), "AEX 27" + mm + " 00900.00 ");
        EXPECT_NE(composed.line.find(std::string("Put: ") + shortNames[m - 1] + " 2027"),
                  std::string::npos);
        EXPECT_EQ(DutchMonthNumber(kDutchMonthNames[m - 1]), m);
    }
}

TEST(ComposeLineTest, UnknownMonthKeepsThePreviousOne) {
    const Composition kept = ComposeLine({kAEX, "", "2027", "900.00", "910.00"}, 4);
    EXPECT_EQ(kept.month, 4);
    EXPECT_EQ(kept.line,
              "AEX 2704 00900.00 00910.00; Put: apr 2027 900.00; Call: apr 2027 910.00; Strangle");
    EXPECT_TRUE(kept.complete);
}

TEST(ComposeLineTest, MissingPartsMakeAnIncompleteLine) {
    struct Case {
        const char* name;
        LineChoices choices;
        int previousMonth;
        const char* expected;
    } cases[] = {
        {"no put chosen",
         {kAEX, "maart", "2027", "", "960.00"},
         0,
         "AEX 2703 00 00960.00; Put: mrt 2027 ; Call: mrt 2027 960.00; Strangle"},
        {"no call chosen",
         {kAEX, "maart", "2027", "880.00", ""},
         0,
         "AEX 2703 00880.00 00; Put: mrt 2027 880.00; Call: mrt 2027 ; Strangle"},
        {"neither chosen",
         {kAEX, "maart", "2027", "", ""},
         0,
         "AEX 2703 00 00; Put: mrt 2027 ; Call: mrt 2027 ; Straddle"},
        {"never a month",
         {kAEX, "March", "2027", "Geen", "Geen"},
         0,
         "AEX 2700 00Geen 00Geen; Put:  2027 Geen; Call:  2027 Geen; Single"},
        {"no year",
         {kAEX, "maart", "", "Geen", "Geen"},
         0,
         "AEX 03 00Geen 00Geen; Put: mrt  Geen; Call: mrt  Geen; Single"},
        {"short year",
         {kAEX, "maart", "27", "Geen", "Geen"},
         0,
         "AEX 03 00Geen 00Geen; Put: mrt 27 Geen; Call: mrt 27 Geen; Single"},
        {"no series",
         {9, "maart", "2027", "Geen", "Geen"},
         0,
         " 2703 00Geen 00Geen; Put: mrt 2027 Geen; Call: mrt 2027 Geen; Single"},
    };
    for (const Case& c : cases) {
        const Composition composed = ComposeLine(c.choices, c.previousMonth);
        EXPECT_EQ(composed.line, c.expected) << c.name;
        EXPECT_FALSE(composed.complete) << c.name;
    }
}

TEST(OfferedYearsTest, RangeOfTheLastRunOrTheCurrentYear) {
    struct Case {
        int from, till, current, expectedFrom, expectedTill;
    } cases[] = {
        {2027, 2030, 2026, 2027, 2030},   {2027, 2027, 2026, 2027, 2027},
        {0, 0, 2026, 2026, 2026},         // no run yet
        {2027, 2020, 2026, 2027, 2027},   // reversed
        {2027, 65535, 2026, 2027, 2037},  // at most eleven years
        {65535, 65535, 2026, 2026, 2026},
    };
    for (const Case& c : cases) {
        const YearSpan span = OfferedYears(c.from, c.till, c.current);
        EXPECT_EQ(span.from, c.expectedFrom) << c.from << ".." << c.till;
        EXPECT_EQ(span.till, c.expectedTill) << c.from << ".." << c.till;
    }
}

TEST(MonthIndexForTest, RequestMonthOrCurrentMonth) {
    EXPECT_EQ(MonthIndexFor(3, 12), 2);
    EXPECT_EQ(MonthIndexFor(12, 1), 11);
    EXPECT_EQ(MonthIndexFor(0, 7), 6);
    EXPECT_EQ(MonthIndexFor(13, 7), 6);
}

}  // namespace
}  // namespace rendaal
