#include "download/option_page.h"

#include <gtest/gtest.h>

#include <random>

#include "download/download_run.h"

namespace rendaal {
namespace {

const std::string kFixedStart =
    "http://opties.test/dft/koersen/opties/?xml=true&tabid=koersen&tab=3&detail=true&selind="
    "12272+IND+AEX-index+355&criteria=criteria&";

TEST(OptionPageUrl, BuildsTheQueryInItsFixedOrder) {
    TDataRec w;
    w.MonthFrom = w.MonthTill = 12;
    w.YearFrom = 2008;
    w.YearTill = 2009;
    w.PriceFrom = 300;
    w.PriceTill = 500;
    EXPECT_EQ(OptionPageUrl("http://opties.test/", w),
              kFixedStart +
                  "MonthFrom=12&YearFrom=2008&MonthTill=12&YearTill=2009&PriceFrom=300&PriceTill="
                  "500&callput=allebei&first=Call/Put&second=Afloopdatum");
    w.MonthFrom = w.MonthTill = 3;
    w.PriceFrom = -50;  // an index near zero: the 16-bit field wraps
    w.PriceTill = 150;
    EXPECT_EQ(OptionPageUrl("http://opties.test", w),
              kFixedStart +
                  "MonthFrom=03&YearFrom=2008&MonthTill=03&YearTill=2009&PriceFrom=65486&"
                  "PriceTill=150&callput=allebei&first=Call/Put&second=Afloopdatum");
}

TEST(StripTags, DropsTagsAndStrayClosers) {
    const std::pair<const char*, const char*> cases[] = {
        {"a<b>c</b>d", "acd"},     {"x>y", "xy"}, {"ab<cd", "ab"},
        {"<<a>>b", "b"},           {"", ""},      {"&nbsp;<i>1</i>", "&nbsp;1"},
        {"p<br/>\r\nq", "p\r\nq"},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(StripTags(in), out) << in;
    }
}

TEST(LookupExpiryDay, ThirdFridayForAexFridayOfThisWeekForWeeklies) {
    struct Case {
        const char* series;
        int year, month;
        Date today;
        int day;
    };
    const Case cases[] = {
        {"AEX", 2008, 12, {2008, 12, 8}, 19},
        {"AEX", 2008, 3, {2008, 3, 3}, 20},     // third Friday on 21 March
        {"AX1", 2008, 12, {2008, 12, 3}, 5},    // Wednesday: Friday of this week
        {"AX2", 2008, 12, {2008, 12, 7}, 12},   // Sunday starts the week
        {"AX5", 2008, 12, {2008, 12, 29}, 33},  // beyond the month's end, used as it is
        {"AX1", 2008, 3, {2008, 3, 17}, 20},    // any series: 21 March becomes 20
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LookupExpiryDay(c.series, c.year, c.month, c.today), c.day) << c.series;
    }
}

TEST(ParseExpiryCode, OnlyTwoDigitYearAndMonth) {
    EXPECT_EQ(ParseExpiryCode("0812")->month, 12);
    EXPECT_EQ(ParseExpiryCode("0812")->year, 2008);
    for (const char* bad : {"", "081", "08x2", "0813", "0800", "ab12"}) {
        EXPECT_FALSE(ParseExpiryCode(bad)) << bad;
    }
}

struct Lookup {
    TDataRec rec;
    uint16_t count = 0;
};

// Put, 19 December 2008, strike 400, looked up on a Monday early that month.
Lookup Find(const std::string& page, std::string series = "AEX",
            DateTime now = {2008, 12, 8, 12, 0, 0, 0}, int day = 19, char kind = 'P') {
    Lookup l;
    l.rec.OptionKind = kind;
    l.rec.ExpiryDay = day;
    l.rec.ExpiryMonth = 12;
    l.rec.ExpiryYear = 2008;
    l.rec.Strike = 400;
    l.rec.Price = "old";
    LookupPrice(page, l.rec, series, now, l.count);
    return l;
}

std::string Padded(const std::string& rows) {
    return std::string(60, '.') + rows;
}

TEST(LookupPrice, TakesTheTextUpToTheCommaAndTwoCharactersAfterIt) {
    const Lookup l = Find(Padded("P19-12-2008400,0012,3512,40P19-12-2008405,0010,00"));
    EXPECT_EQ(l.rec.Price, "12,35");
    EXPECT_EQ(l.count, 1);
    EXPECT_EQ(LookupKey(l.rec), "P19-12-2008400,00");
}

TEST(LookupPrice, CasesThatGiveNoPrice) {
    struct Case {
        const char* name;
        std::string page;
        std::string series;
        DateTime now;
        int day;
        std::string price;
    };
    const DateTime monday{2008, 12, 8, 12, 0, 0, 0};
    const Case cases[] = {
        {"absent", Padded("P19-12-2008405,0012,35"), "AEX", monday, 19, "0.0"},
        {"hyphen in third place", Padded("P19-12-2008400,00----"), "AEX", monday, 19, "0.0"},
        {"call row only", Padded("C19-12-2008400,0012,35"), "AEX", monday, 19, "0.0"},
        {"unknown series", Padded("P19-12-2008400,0012,35"), "XYZ", monday, 19, "0.0"},
        {"weekly outside its week", Padded("P19-12-2008400,0012,35"), "AX1", monday, 19, "0.0"},
        // 21 December: more than two days after the 19th of the current month.
        {"expired this month",
         Padded("P19-12-2008400,0012,35"),
         "AEX",
         {2008, 12, 21, 0, 1, 0, 0},
         19,
         "0.0"},
        {"key at the very end", Padded("P19-12-2008400,00"), "AEX", monday, 19, "0.0"},
        {"one byte after the key", Padded("P19-12-2008400,001"), "AEX", monday, 19, "0.0"},
        {"two bytes after the key", Padded("P19-12-2008400,0012"), "AEX", monday, 19, "0.0"},
        {"price without a comma", Padded("P19-12-2008400,0012 35 12 40"), "AEX", monday, 19, "0.0"},
        {"comma far away", Padded("P19-12-2008400,00" + std::string(5000, '7') + ",12"), "AEX",
         monday, 19, "0.0"},
        {"line break in the price", Padded("P19-12-2008400,001\n,35"), "AEX", monday, 19, "0.0"},
        // Written into history lines as they came before prices had to be number texts.
        {"letters as decimals", Padded("P19-12-2008400,0012,ab"), "AEX", monday, 19, "0.0"},
        {"words and a tab", Padded("P19-12-2008400,00x y z,\t5"), "AEX", monday, 19, "0.0"},
        {"control byte",
         Padded("P19-12-2008400,001\x01"
                "2,35"),
         "AEX", monday, 19, "0.0"},
        {"no digits before the comma", Padded("P19-12-2008400,00,35"), "AEX", monday, 19, "0.0"},
        {"page of 59 bytes", std::string(37, '.') + "P19-12-2008400,0012,35", "AEX", monday, 19,
         "old"},
        {"Default.htm", "Default.htm", "AEX", monday, 19, "old"},
        {"empty page", "", "AEX", monday, 19, "old"},
    };
    for (const Case& c : cases) {
        const Lookup l = Find(c.page, c.series, c.now, c.day);
        EXPECT_EQ(l.rec.Price, c.price) << c.name;
        EXPECT_EQ(l.count, 0) << c.name;
    }
}

TEST(LookupPrice, ExpiredTestOnlyCountsInTheCurrentMonth) {
    // Two days after expiry is not yet "more than two days".
    EXPECT_EQ(Find(Padded("P19-12-2008400,0012,35"), "AEX", {2008, 12, 21, 0, 0, 0, 0}).rec.Price,
              "12,35");
    // A January clock reads the December row as it stands (another month).
    EXPECT_EQ(Find(Padded("P19-12-2008400,0012,35"), "AEX", {2009, 1, 5, 10, 0, 0, 0}).rec.Price,
              "12,35");
}

TEST(LookupPrice, WeeklySeriesIsFoundInItsOwnWeek) {
    // AX1 of December 2008 expires Friday 5 December; looked up on Wednesday 3 December.
    const Lookup l = Find(Padded("P05-12-2008400,003,10"), "AX1", {2008, 12, 3, 10, 0, 0, 0}, 5);
    EXPECT_EQ(l.rec.Price, "3,10");
    EXPECT_EQ(l.count, 1);
}

TEST(LookupPrice, MarchTwentyFirstRule) {
    TDataRec rec;
    rec.OptionKind = 'C';
    rec.ExpiryYear = 2008;
    rec.ExpiryMonth = 3;
    rec.ExpiryDay = LookupExpiryDay("AEX", 2008, 3, {2008, 3, 3});
    rec.Strike = 350;
    uint16_t count = 0;
    LookupPrice(Padded("C20-03-2008350,007,45"), rec, "AEX", {2008, 3, 3, 10, 0, 0, 0}, count);
    EXPECT_EQ(rec.Price, "7,45");
}

TEST(LookupPrice, SurvivesRandomPages) {
    std::mt19937 rng(42);
    const std::string key = "P19-12-2008400,00";
    for (int i = 0; i < 3000; ++i) {
        std::string page(rng() % 300, '\0');
        for (char& c : page) {
            c = static_cast<char>(rng() % 4 == 0 ? ",-0123P"[rng() % 7] : rng() & 0xff);
        }
        // Put the key anywhere, the very end included.
        page.insert(rng() % (page.size() + 1), key);
        const Lookup l = Find(page);
        EXPECT_LE(l.rec.Price.size(), 14u);
    }
}

TEST(PageIndex, FindsTheFirstOccurrenceAsAPlainSearchDoes) {
    std::mt19937 rng(7);
    const std::string keys[] = {"P19-12-2008400,00",  "C19-12-2008400,00", "P19-12-2008 5,00",
                                "P19-12-20081000,00", "P0--1-2008400,00",  "C19-12-2008"};
    for (int i = 0; i < 2000; ++i) {
        std::string page;
        while (page.size() < 400) {
            // Fragments of keys make overlapping and near-miss occurrences likely.
            const std::string& k = keys[rng() % std::size(keys)];
            page += rng() % 3 == 0 ? k.substr(0, rng() % (k.size() + 1)) : k;
            page += "0123456789,-PC"[rng() % 14];
        }
        const PageIndex index(page);
        for (const auto& key : keys) {
            const auto plain = page.find(key);
            const auto found = index.Find(key);
            ASSERT_EQ(found.has_value(), plain != std::string::npos) << page << " " << key;
            if (found) {
                ASSERT_EQ(*found, plain);
            }
        }
    }
}

TEST(LookupPrice, SixteenMebibytePage) {
    std::string page(16u << 20, 'x');
    page.replace(page.size() - 40, 22, "P19-12-2008400,0012,35");
    EXPECT_EQ(Find(page).rec.Price, "12,35");
    page.resize(page.size() - 20);  // ends in the price's comma: cut off, no price
    EXPECT_EQ(Find(page).rec.Price, "0.0");
    page.resize(page.size() - 3);  // ends with the key
    EXPECT_EQ(Find(page).rec.Price, "0.0");
}

}  // namespace
}  // namespace rendaal
