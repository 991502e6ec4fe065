#include "analytics/overview.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <optional>
#include <string>
#include <vector>

#include "analytics/rate_settings.h"
#include "analytics/report.h"
#include "core/combination.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

using test::TempDir;
using test::WriteAll;

const std::string kStrangle =
    "AEX 2703 00880.00 00960.00; Put: mrt 2027 880.00; Call: mrt 2027 "
    "960.00; Strangle";
const std::string kSingle =
    "AEX 2703 00880.00 00Geen; Put: mrt 2027 880.00; Call: mrt 2027 "
    "Geen; Single";
const std::string kExpired = "AEX 2611 00880.00 00960.00; x; Strangle";
const std::string kDecember = "AEX 2612 00880.00 00960.00; x; Strangle";
const std::string kKey = "AEX 2703 00880.00 00960.00";

std::string L(const std::string& date, const std::string& put, const std::string& call,
              const std::string& som, const std::string& aex) {
    return date + " 17:35:00; " + put + "; " + call + "; " + som + "; " + aex;
}

// Monday 7 December 2026, before the close: the latest close is Friday 4 December.
constexpr DateTime kMonday{2026, 12, 7, 12, 0, 0, 0};

// The first row of every Strangle history below.
const std::string kFirst = L("01-12-2026", "20,00", "10,00", "30,00", "900,00");

struct Case {
    const char* name;
    std::string line;
    std::optional<std::vector<std::string>> history;  // empty: no history file
    DateTime now;
    std::string record;          // the CSV record up to the check, without its CR LF
    std::string risk = ",,,,,";  // delta .. em
};

// The prices 26,045048 / 18,636502 (at 920, 105 days out) and 63,821216 (put at 850) are
// Black-Scholes values at 22 %, 18 % and 25 % volatility with r 2 % and q 3 %, computed
// outside this program.
const Case kCases[] = {
    {"TwoRowsWithVolatilities", kStrangle,
     std::vector<std::string>{kFirst, L("04-12-2026", "26,045048", "18,636502", "44,68", "920,00")},
     kMonday,
     kKey + ",Strangle,2027-03-19,102,2026-12-01,2026-12-04,0,30.00,44.68,-1468.00,920.00,0.00,"
            "44.68,850.00,990.00,22.00,18.00,",
     "0.46,-0.7512,34.28,-351.91,52.68,97.27"},
    {"FirstAndLastByDateNotFileOrder", kStrangle,
     std::vector<std::string>{L("04-12-2026", "1,00", "1,00", "50,00", "920,00"), "garbage",
                              L("03-12-2026", "1,00", "1,00", "40,00", "910,00"), kFirst,
                              L("04-12-2026", "26,045048", "18,636502", "44,68", "920,00")},
     kMonday,
     kKey + ",Strangle,2027-03-19,102,2026-12-01,2026-12-04,0,30.00,44.68,-1468.00,920.00,0.00,"
            "44.68,850.00,990.00,22.00,18.00,",
     "0.46,-0.7512,34.28,-351.91,52.68,97.27"},
    // A hand-typed line dated after the trading day is no latest row, until a run sets it aside.
    {"LineAfterTheTradingDayIsPassedOver", kStrangle,
     std::vector<std::string>{kFirst, L("04-12-2026", "26,045048", "18,636502", "44,68", "920,00"),
                              L("01-01-2099", "1,00", "1,00", "2,00", "999,00")},
     kMonday,
     kKey + ",Strangle,2027-03-19,102,2026-12-01,2026-12-04,0,30.00,44.68,-1468.00,920.00,0.00,"
            "44.68,850.00,990.00,22.00,18.00,",
     "0.46,-0.7512,34.28,-351.91,52.68,97.27"},
    {"LastRowWithoutLevel", kStrangle,
     std::vector<std::string>{kFirst, L("03-12-2026", "26,05", "18,64", "44,69", "")}, kMonday,
     kKey + ",Strangle,2027-03-19,102,2026-12-01,2026-12-03,1,30.00,44.69,-1469.00,,,,850.00,"
            "990.00,,,geen AEX"},
    {"PutBelowTheFloor", kStrangle,
     std::vector<std::string>{kFirst, L("04-12-2026", "10,00", "00,50", "10,50", "850,00")},
     kMonday,
     kKey + ",Strangle,2027-03-19,102,2026-12-01,2026-12-04,0,30.00,10.50,1950.00,850.00,30.00,"
            "-19.50,850.00,990.00,,11.71,onder intrinsieke waarde"},
    // Faults that gave confident wrong figures: a damaged or not-downloaded row is no 0.00.
    {"DamagedLastSomIsNoZero", kStrangle,
     std::vector<std::string>{kFirst, L("04-12-2026", "26,05", "18,64", "", "920,00")}, kMonday,
     kKey + ",Strangle,2027-03-19,102,2026-12-01,2026-12-01,1,30.00,30.00,0.00,900.00,0.00,"
            "30.00,850.00,990.00,14.49,15.95,onleesbare regel",
     "15.79,-0.9410,24.09,-321.60,63.50,72.42"},
    {"DamagedPriceIsNoZero", kStrangle,
     std::vector<std::string>{kFirst, L("04-12-2026", "26,0x", "18,64", "44,69", "920,00")},
     kMonday,
     kKey + ",Strangle,2027-03-19,102,2026-12-01,2026-12-01,1,30.00,30.00,0.00,900.00,0.00,"
            "30.00,850.00,990.00,14.49,15.95,onleesbare regel",
     "15.79,-0.9410,24.09,-321.60,63.50,72.42"},
    {"DamagedOlderRowIsSkippedWithoutFlag", kStrangle,
     std::vector<std::string>{L("30-11-2026", "2", "1", "3x", "900,00"), kFirst}, kMonday,
     kKey + ",Strangle,2027-03-19,102,2026-12-01,2026-12-01,1,30.00,30.00,0.00,900.00,0.00,"
            "30.00,850.00,990.00,14.49,15.95,",
     "15.79,-0.9410,24.09,-321.60,63.50,72.42"},
    {"NotDownloadedRowsAreSkipped", kStrangle,
     std::vector<std::string>{L("30-11-2026", "0,00", "0,00", "0,00", "900,00"), kFirst,
                              L("04-12-2026", "0,00", "0,00", "0,00", "920,00")},
     kMonday,
     kKey + ",Strangle,2027-03-19,102,2026-12-01,2026-12-01,1,30.00,30.00,0.00,900.00,0.00,"
            "30.00,850.00,990.00,14.49,15.95,",
     "15.79,-0.9410,24.09,-321.60,63.50,72.42"},
    {"TwoDigitYearIsNoDate", kStrangle,
     std::vector<std::string>{L("02-12-26", "5,00", "5,00", "10,00", "900,00"), kFirst}, kMonday,
     kKey + ",Strangle,2027-03-19,102,2026-12-01,2026-12-01,1,30.00,30.00,0.00,900.00,0.00,"
            "30.00,850.00,990.00,14.49,15.95,",
     "15.79,-0.9410,24.09,-321.60,63.50,72.42"},
    // The download reads these strikes; so must every figure here.
    {"DecimalCommaStrikes", "AEX 2703 00880,00 00960,00; x; Strangle",
     std::vector<std::string>{kFirst, L("04-12-2026", "26,045048", "18,636502", "44,68", "920,00")},
     kMonday,
     "\"AEX 2703 00880,00 00960,00\",Strangle,2027-03-19,102,2026-12-01,2026-12-04,0,30.00,44.68,"
     "-1468.00,920.00,0.00,44.68,850.00,990.00,22.00,18.00,",
     "0.46,-0.7512,34.28,-351.91,52.68,97.27"},
    {"TwoBlanksBetweenEqualStrikesIsAStraddle", "AEX 2703 00920.00  00920,0; x; Straddle",
     std::vector<std::string>{L("04-12-2026", "30,00", "20,00", "50,00", "920,00")}, kMonday,
     "\"AEX 2703 00920.00  00920,0\",Straddle,2027-03-19,102,2026-12-04,2026-12-04,0,50.00,"
     "50.00,0.00,920.00,0.00,50.00,870.00,970.00,14.67,10.89,",
     "0.67,-1.3010,23.86,-384.77,58.12,62.17"},
    {"UnreadableStrike", "AEX 2703 00880.00 0096O.00; x; Strangle",
     std::vector<std::string>{kFirst}, kMonday,
     "AEX 2703 00880.00 0096O.00,Strangle,2027-03-19,102,2026-12-01,2026-12-01,1,30.00,30.00,"
     "0.00,900.00,,,,,,,onleesbare strike"},
    {"AbsurdPutPriceHasNoVolatility", kStrangle,
     std::vector<std::string>{kFirst,
                              L("04-12-2026", "9999,00", "18,636502", "10017,64", "920,00")},
     kMonday,
     kKey + ",Strangle,2027-03-19,102,2026-12-01,2026-12-04,0,30.00,10017.64,-998764.00,920.00,"
            "0.00,10017.64,850.00,990.00,,18.00,"},
    {"OneRowSingleWithGeen", kSingle,
     std::vector<std::string>{L("04-12-2026", "63,821216", "00.0", "63,82", "850,00")}, kMonday,
     "AEX 2703 00880.00 00Geen,Single,2027-03-19,102,2026-12-04,2026-12-04,0,63.82,63.82,0.00,"
     "850.00,30.00,33.82,816.18,,25.00,,",
     "58.12,-0.3439,22.28,-173.61,58.71,112.33"},
    {"PutJustMoreThanTheSlackUnderItsFloor", kSingle,
     std::vector<std::string>{L("04-12-2026", "32,20", "00.0", "32,20", "850,00")}, kMonday,
     "AEX 2703 00880.00 00Geen,Single,2027-03-19,102,2026-12-04,2026-12-04,0,32.20,32.20,0.00,"
     "850.00,30.00,2.20,847.80,,,,onder intrinsieke waarde"},
    {"PutWithinTheSlackOfItsFloor", kSingle,
     std::vector<std::string>{L("04-12-2026", "32,21", "00.0", "32,21", "850,00")}, kMonday,
     "AEX 2703 00880.00 00Geen,Single,2027-03-19,102,2026-12-04,2026-12-04,0,32.21,32.21,0.00,"
     "850.00,30.00,2.21,847.79,,,,"},
    {"RowsAfterExpiry", kExpired,
     std::vector<std::string>{L("19-11-2026", "0,90", "0,80", "01,70", "900,00"),
                              L("23-11-2026", "0,50", "0,40", "00,90", "900,00")},
     kMonday,
     "AEX 2611 00880.00 00960.00,Strangle,2026-11-20,-17,2026-11-19,2026-11-23,1,1.70,0.90,80.00,"
     "900.00,0.00,0.90,878.30,961.70,,,"},
    {"ExpiryToday", kDecember,
     std::vector<std::string>{L("18-12-2026", "0,50", "0,40", "00,90", "900,00")},
     DateTime{2026, 12, 18, 18, 0, 0, 0},
     "AEX 2612 00880.00 00960.00,Strangle,2026-12-18,0,2026-12-18,2026-12-18,0,0.90,0.90,0.00,"
     "900.00,0.00,0.90,879.10,960.90,,,"},
    {"NoHistoryFile", kStrangle, std::nullopt, kMonday,
     kKey + ",Strangle,2027-03-19,102,,,,,,,,,,,,,,"},
    {"HeaderOnlyIsStale", kStrangle, std::vector<std::string>{}, kMonday,
     kKey + ",Strangle,2027-03-19,102,,,1,,,,,,,,,,,"},
};

TEST(Overview, DefinitionsOnSmallHistories) {
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        if (c.history) {
            std::string text = "Datum; Put; Call; Som; AEX\r\n";
            for (const auto& l : *c.history) {
                text += l + "\r\n";
            }
            WriteAll(dir.path() / HistoryFileName(c.line), text);
        }
        const auto rows = LoadOverview(dir.folder(), {c.line}, Rates{0.02, 0.03}, c.now);
        EXPECT_EQ(OverviewCsv(rows),
                  std::string(kOverviewCsvHeader) + "\r\n" + c.record + "," + c.risk + ",\r\n");
    }
}

// Files are read one after another into the same memory: nothing of a long one may show in the
// overview of a short or missing one after it.
TEST(Overview, NothingCarriesOverFromTheFileBefore) {
    TempDir dir;
    std::string text = "Datum; Put; Call; Som; AEX\r\n";
    for (int i = 0; i < 200; ++i) {
        text += kFirst + "\r\n";
    }
    WriteAll(dir.path() / HistoryFileName(kStrangle),
             text + L("04-12-2026", "1", "1", "2", "920") + "\r\n");
    WriteAll(dir.path() / HistoryFileName(kDecember), "Datum; Put; Call; Som; AEX\r\n");
    const auto rows =
        LoadOverview(dir.folder(), {kStrangle, kDecember, kSingle, kStrangle}, {}, kMonday);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_FALSE(rows[1].lastDate);
    EXPECT_FALSE(rows[2].hasHistory);
    EXPECT_EQ(rows[3].lastDate, rows[0].lastDate);
    EXPECT_EQ(rows[3].somLast, 2.0);
}

TEST(Overview, EmptyRulesAndFilesThatAreNoFiles) {
    TempDir dir;
    EXPECT_EQ(OverviewCsv(LoadOverview(dir.folder(), {}, {}, kMonday)),
              std::string(kOverviewCsvHeader) + "\r\n");
    // A folder or a FIFO in the history file's place is no history file, and must not block.
    const std::string name = HistoryFileName(kStrangle);
    ASSERT_EQ(::mkfifo((dir.path() / name).c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((dir.path() / HistoryFileName(kSingle)).c_str(), 0700), 0);
    const auto rows = LoadOverview(dir.folder(), {kStrangle, kSingle}, {}, kMonday);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_FALSE(rows[0].hasHistory);
    EXPECT_FALSE(rows[1].hasHistory);
}

TEST(LatestClose, WorkingDaysAndTheClosingTime) {
    struct Row {
        DateTime now;
        Date close;
    } rows[] = {
        {{2026, 12, 7, 12, 0}, {2026, 12, 4}},   // Monday before the close: Friday
        {{2026, 12, 7, 17, 35}, {2026, 12, 7}},  // Monday at the close
        {{2026, 12, 4, 17, 34}, {2026, 12, 3}},  // Friday a minute early: Thursday
        {{2026, 12, 5, 23, 0}, {2026, 12, 4}},   // Saturday
        {{2026, 12, 6, 18, 0}, {2026, 12, 4}},   // Sunday evening
        {{2027, 1, 1, 8, 0}, {2026, 12, 31}},    // across the year
    };
    for (const auto& r : rows) {
        EXPECT_EQ(LatestClose(r.now), r.close) << FormatIsoDate(r.now.date());
    }
}

TEST(IvHistory, OneRowPerDatedLineAbsentSideEmpty) {
    const auto rows = IvHistory(HistoryFileName(kSingle),
                                {L("04-12-2026", "63,821216", "00.0", "63,82", "850,00"),
                                 "no date here", L("03-12-2026", "70,00", "00.0", "70,00", "")},
                                Rates{0.02, 0.03});
    EXPECT_EQ(IvCsv(rows),
              "date,aex,put,call,iv_put,iv_call\r\n"
              "2026-12-04,850.00,63.82,,25.00,\r\n"
              "2026-12-03,,70.00,,,\r\n");
}

TEST(TheoreticalValue, SumOfTheLegsAndTheValueAtExpiry) {
    const Strikes strangle{880, 960};
    const Rates rates{0.02, 0.03};
    const double t = 105.0 / 365;
    const auto v = TheoreticalValue(strangle, 0.22, 0.18, 920, t, rates);
    ASSERT_TRUE(v.has_value());
    EXPECT_NEAR(*v, 26.045048 + 18.636502, 1e-5);
    EXPECT_EQ(TheoreticalValue(strangle, 0.22, 0.18, 850, 0, rates), 30);
    EXPECT_FALSE(TheoreticalValue(strangle, 0.22, std::nullopt, 920, t, rates));
    EXPECT_TRUE(TheoreticalValue({880, std::nullopt}, 0.22, std::nullopt, 920, t, rates));
}

TEST(TheoryHoverLines, VolatilitiesAndTimeValueOrADash) {
    OverviewRow row;
    row.ivPut = 0.1794;
    row.timeValue = 37.31;
    row.risk.delta = 0.46;
    row.risk.gamma = -0.75124;
    row.risk.thetaDay = 34.28;
    row.risk.pop = 52.68;
    EXPECT_EQ(TheoryHoverLines(row),
              "  IV put   : 17,94 %\r  IV call  : -\r  Tijdwaarde: \xE2\x82\xAC"
              "37,31\r  Delta    : 0,46\r  Gamma    : -0,7512\r  Theta/dag: \xE2\x82\xAC"
              "34,28\r  Vega     : -\r  Kans     : 52,68 %\r");
}

TEST(ParsePercent, CommaPointAndText) {
    EXPECT_DOUBLE_EQ(*ParsePercent("2,0"), 0.02);
    EXPECT_DOUBLE_EQ(*ParsePercent(" 3.5 "), 0.035);
    EXPECT_DOUBLE_EQ(*ParsePercent("-0,5"), -0.005);
    for (const char* bad : {"", "abc", "2,5%", "1e2", "2,0,0", "nan", "inf", "101", "+2"}) {
        EXPECT_FALSE(ParsePercent(bad)) << bad;
    }
    const std::string key = "HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults";
    auto read = [&](const std::string& values) {
        return ReadRateSettings(*RegFile::Parse("REGEDIT4\r\n\r\n[" + key + "]\r\n" + values), key);
    };
    const RateSettings defaults = read("");
    EXPECT_DOUBLE_EQ(defaults.rates.r, 0.02);
    EXPECT_DOUBLE_EQ(defaults.rates.q, 0.03);
    EXPECT_EQ(defaults.renteProblem + defaults.dividendProblem, "");
    const RateSettings odd = read("\"Rente\"=\"twee\"\r\n\"Dividend\"=dword:00000004\r\n");
    EXPECT_DOUBLE_EQ(odd.rates.r, 0.02);
    EXPECT_DOUBLE_EQ(odd.rates.q, 0.04);
    EXPECT_NE(odd.renteProblem.find("twee"), std::string::npos);
    EXPECT_EQ(odd.dividendProblem, "");
    EXPECT_EQ(PercentText(0.02), "2,0");
    EXPECT_EQ(PercentText(0.0275), "2,75");
}

TEST(CsvField, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(CsvField("AEX 2703 00880.00 00960.00"), "AEX 2703 00880.00 00960.00");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"x\""), "\"say \"\"x\"\"\"");
    EXPECT_EQ(CsvField("two\r\nlines"), "\"two\r\nlines\"");
    EXPECT_EQ(FormatFixed(-0.001, 2), "0.00");
    EXPECT_EQ(FormatFixed(1e300, 2).size(), 304u);
}

// Every column says what it means, and the CSV (and its manual) knows each one by its name.
TEST(OverviewColumns, EachHasAMeaningAndACsvNameAndHiddenOnesSurviveAHandEdit) {
    const std::string header = std::string(",") + kOverviewCsvHeader + ",";
    std::vector<OverviewColumnId> all;
    for (const auto& c : OverviewColumns()) {
        SCOPED_TRACE(c.title);
        EXPECT_GT(std::string_view(c.tip).size(), 40u);
        EXPECT_NE(header.find(std::string(",") + c.csv + ","), std::string::npos);
        all.push_back(c.id);
    }
    EXPECT_EQ(ColumnsNamed(ColumnNames(all)), all);
    EXPECT_EQ(ColumnNames(ColumnsNamed(" vega,gamma ,nieuw,,vega\r")), "vega,gamma");
    EXPECT_TRUE(ColumnsNamed("").empty());
}

}  // namespace
}  // namespace rendaal
