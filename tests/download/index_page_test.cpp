#include "download/index_page.h"

#include <gtest/gtest.h>

#include <random>

#include "core/text.h"
#include "download/option_page.h"
#include "fake_fetcher.h"

namespace rendaal {
namespace {

using test::FakeFetcher;
using test::IndexPageHtml;

TEST(CutIndexPage, CutsDateTimeLevelAndChange) {
    const IndexCut cut =
        CutIndexPage(StripTags(IndexPageHtml("19-12-08", "17:35", " 512,34 ", "-1,20")));
    EXPECT_EQ(cut.DateText, "19-12-2008");
    EXPECT_EQ(cut.QuoteTimeText, " 17:35");
    EXPECT_EQ(cut.IndexValueText, " 512,34 ");
    EXPECT_EQ(cut.IndexChangeText, "-1,20");
}

TEST(CutIndexPage, MissingOrMisplacedMarkersGiveEmptyTextsNotACrash) {
    const char* pages[] = {
        "",
        "HOME",
        ";",
        "AEX(",
        "abc;19-12-08 17:35",      // no HOME: cut from the start
        ")AEX(1,0HOME;19-12-08",   // markers in the wrong order
        "HOME;19-12-08 17:35AEX",  // no "H" after the time, AEX at the very end
        "x;1HOME",                 // date shorter than eight characters
    };
    for (const char* page : pages) {
        const IndexCut cut = CutIndexPage(page);
        EXPECT_FALSE(QuoteStamp(cut.DateText, cut.QuoteTimeText, {2008, 12, 19, 12, 0, 0, 0}))
            << page;
    }
    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        std::string page(rng() % 400, '\0');
        for (char& c : page) {
            c = static_cast<char>(rng() % 3 == 0 ? "HOMEAX;()-:1"[rng() % 12] : rng() & 0xff);
        }
        const IndexCut cut = CutIndexPage(page);
        EXPECT_LE(cut.IndexValueText.size(), 100u);
        QuoteStamp(cut.DateText, cut.QuoteTimeText, {2008, 12, 19, 12, 0, 0, 0});
    }
}

TEST(ParseClockTime, AcceptsClockTimesOnly) {
    EXPECT_EQ(ParseClockTime(" 17:35")->hour, 17);
    EXPECT_EQ(ParseClockTime("9:05:30")->second, 30);
    EXPECT_EQ(ParseClockTime("17:35:10.250")->msec, 250);
    for (const char* bad :
         {"", "17", "24:00", "17:60", "17:35:61", "a:b", "17:35x", "-1:30", "17::35", "123:00"}) {
        EXPECT_FALSE(ParseClockTime(bad)) << bad;
    }
}

TEST(QuoteStamp, TradingHoursAndWeekends) {
    struct Case {
        const char* name;
        const char* date;
        const char* time;
        DateTime now;
        DateTime stamp;
    };
    const Case cases[] = {
        {"after the close on Friday",
         "19-12-2008",
         "17:45",
         {2008, 12, 19, 17, 50, 0, 0},
         {2008, 12, 19, 18, 0, 0, 0}},
        {"17:30 exactly stays",
         "19-12-2008",
         "17:30",
         {2008, 12, 19, 17, 50, 0, 0},
         {2008, 12, 19, 17, 30, 0, 0}},
        {"08:15 read on a Tuesday",
         "16-12-2008",
         "8:15",
         {2008, 12, 16, 8, 20, 0, 0},
         {2008, 12, 15, 18, 0, 0, 0}},
        {"08:15 read on a Monday goes to Friday",
         "15-12-2008",
         "08:15",
         {2008, 12, 15, 8, 20, 0, 0},
         {2008, 12, 12, 18, 0, 0, 0}},
        {"a Saturday quote shows as Friday",
         "20-12-2008",
         "12:10:05",
         {2008, 12, 20, 13, 0, 0, 0},
         {2008, 12, 19, 12, 10, 5, 0}},
        {"seconds kept when the time is replaced",
         "19-12-2008",
         "17:45:09",
         {2008, 12, 19, 18, 0, 0, 0},
         {2008, 12, 19, 18, 0, 9, 0}},
        {"08:30 exactly is in trading hours",
         "16-12-2008",
         "8:30",
         {2008, 12, 16, 9, 0, 0, 0},
         {2008, 12, 16, 8, 30, 0, 0}},
    };
    for (const Case& c : cases) {
        const auto stamp = QuoteStamp(c.date, c.time, c.now);
        ASSERT_TRUE(stamp) << c.name;
        EXPECT_EQ(*stamp, c.stamp) << c.name << ": " << FormatDmyHms(*stamp);
    }
    EXPECT_FALSE(QuoteStamp("31-02-2008", "12:00", {2008, 12, 19, 12, 0, 0, 0}));
    EXPECT_FALSE(QuoteStamp("19-12-2008", "", {2008, 12, 19, 12, 0, 0, 0}));
}

TEST(ReadIndexPage, UsesTheFirstAttemptThatGivesAPage) {
    for (int empties = 0; empties <= 3; ++empties) {
        FakeFetcher fetcher;
        std::vector<std::string> bodies(empties, "");
        bodies.push_back(IndexPageHtml("19-12-08", "17:35", "512,34", "1,20"));
        fetcher.Serve(test::kIndexBase, bodies);
        DownloadState state;
        state.IndexValueText = "500,00";
        const auto result = ReadIndexPage(state, fetcher, IndexPageUrl(test::kIndexBase),
                                          {2008, 12, 19, 18, 0, 0, 0});
        EXPECT_EQ(fetcher.requests.size(), static_cast<size_t>(std::min(empties + 1, 3)));
        EXPECT_EQ(result.gotPage, empties < 3);
        EXPECT_EQ(state.IndexValueText, empties < 3 ? "512,34" : "500,00") << empties;
        for (const auto& r : fetcher.requests) {
            EXPECT_EQ(r.url, "http://index.test/index.php?type=main");
            EXPECT_TRUE(r.reload);
            EXPECT_EQ(r.proxy, ProxyMode::Preconfigured);
            EXPECT_EQ(r.timeoutMs, 2000);
        }
    }
}

TEST(ReadIndexPage, ReadOutTextsAndColours) {
    struct Case {
        const char* level;
        const char* change;
        const char* previous;
        Color l22, l23;
    };
    const Case cases[] = {
        {"512,34", "1,20", "", kGreen, kGreen},  // first read: previous is 0
        {"512,34", "-1,20", "513,00", kRed, kRed},
        {"512,34", "0,00", "512,34", kBlue, kBlue},
        {"512,34", "2,00", "512,00", kGreen, kGreen},
    };
    for (const Case& c : cases) {
        FakeFetcher fetcher;
        fetcher.Serve(test::kIndexBase, {IndexPageHtml("19-12-08", "17:45", c.level, c.change)});
        DownloadState state;
        state.IndexValueText = c.previous;
        const auto result = ReadIndexPage(state, fetcher, IndexPageUrl(test::kIndexBase),
                                          {2008, 12, 19, 18, 0, 0, 0});
        ASSERT_TRUE(result.display);
        EXPECT_EQ(result.display->L21, "AEX:");
        EXPECT_EQ(result.display->L22, c.level);
        EXPECT_EQ(result.display->L23, c.change);
        EXPECT_EQ(result.display->L24, "@ 19-12-2008 18:00:00");
        EXPECT_EQ(result.display->L22Colour, c.l22) << c.change;
        EXPECT_EQ(result.display->L23Colour, c.l23) << c.previous;
        EXPECT_EQ(state.PreviousIndexValueText, c.previous);
        EXPECT_DOUBLE_EQ(state.DataRec.IndexValue, ParseNumber(c.level));
        EXPECT_EQ(state.QuoteTimeText, " 17:45");
    }
}

TEST(ReadIndexPage, UnreadableQuoteTimeIsAnErrorForTheUser) {
    FakeFetcher fetcher;
    fetcher.Serve(test::kIndexBase, {IndexPageHtml("99-12-08", "17:35", "512,34", "1,20")});
    DownloadState state;
    const auto result =
        ReadIndexPage(state, fetcher, IndexPageUrl(test::kIndexBase), {2008, 12, 19, 18, 0, 0, 0});
    EXPECT_FALSE(result.display);
    EXPECT_NE(result.error.find("99-12-2008"), std::string::npos) << result.error;
    EXPECT_EQ(state.IndexValueText, "512,34");  // the texts are read before the time
}

TEST(LayoutIndexLabels, FivePixelsBetweenLabels) {
    const IndexLabelLefts l = LayoutIndexLabels(10, 30, 50, 40);
    EXPECT_EQ(l.L22, 45);
    EXPECT_EQ(l.L23, 100);
    EXPECT_EQ(l.L24, 145);
}

}  // namespace
}  // namespace rendaal
