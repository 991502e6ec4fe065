#include "analytics/alerts.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "analytics/report.h"
#include "core/fileio.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

using test::TempDir;
using test::WriteAll;

OverviewRow Row(std::optional<double> first, std::optional<double> last,
                std::optional<double> s = std::nullopt, std::optional<double> beLow = std::nullopt,
                std::optional<double> beHigh = std::nullopt) {
    OverviewRow r;
    r.key = "AEX 2703 00880.00 00960.00";
    r.somFirst = first;
    r.somLast = last;
    if (first && last) {
        r.resultEur = (*first - *last) * 100;
    }
    r.aexLast = s;
    r.beLow = beLow;
    r.beHigh = beHigh;
    return r;
}

struct DefinitionCase {
    const char* name;
    OverviewRow row;
    AlertLimits limits;
    // "" when the rule does not hold; else value and limit as the CSV gives them.
    std::string winstdoel;
    std::string verliesgrens;
    std::string breakEven;
};

void PrintTo(const DefinitionCase& c, std::ostream* os) {
    *os << c.name;
}

const AlertLimits kDefaults{};

const DefinitionCase kDefinitions[] = {
    {"HalfEarnedIsTheDefaultTarget", Row(30, 15), kDefaults, "50.00,50.00", "", ""},
    // 3.03 over 10.10 is a hair under 30 % in binary.
    {"TargetMetWithRoundingInTheLastBit", Row(10.1, 7.07), {30, 2, 2}, "30.00,30.00", "", ""},
    {"JustUnderTheTarget", Row(30, 15.01), kDefaults, "", "", ""},
    {"TargetOfOnePercent", Row(100, 99), {1, 2, 2}, "1.00,1.00", "", ""},
    {"AlmostEverythingEarnedMissesAHundred", Row(30, 0.01), {100, 2, 2}, "", "", ""},
    {"DoubleThePremiumIsTheDefaultLimit", Row(22.47, 44.94), kDefaults, "", "2.00,2.00", ""},
    {"JustUnderTheLossLimit", Row(22.47, 44.93), kDefaults, "", "", ""},
    // 1.1 x 10.10 is 11.110000000000001 in binary.
    {"LossLimitWithRoundingInTheLastBit", Row(10.1, 11.11), {50, 1.1, 2}, "", "1.10,1.10", ""},
    {"LimitOfOneHoldsAtAnyLoss", Row(20, 20), {50, 1, 2}, "", "1.00,1.00", ""},
    {"NoRowsNoProfitOrLoss", Row(std::nullopt, std::nullopt), kDefaults, "", "", ""},
    {"ZeroPremiumIsNoFigure", Row(0, 10), kDefaults, "", "", ""},
    {"DamagedLastRowIsNoFigure", Row(30, 0), kDefaults, "", "", ""},
    // Infinite multiples, and "Verliesgrens bereikt:  × de premie" with no number.
    {"TinyPremiumIsNoFigure", Row(1e-300, 30), kDefaults, "", "", ""},
    {"SubCentPremiumIsNoFigure", Row(0.004, 30), kDefaults, "", "", ""},
    {"OverflowingSomIsNoFigure", Row(30, 1e308 * 10), kDefaults, "", "", ""},
    {"AstronomicalSomIsNoFigure", Row(30, 1e300), kDefaults, "", "", ""},
    // 900 x 1.02 = 918
    {"IndexAtTheLowLevel", Row(30, 30, 918, 900, 1000), kDefaults, "", "", "918.00,918.00"},
    {"IndexJustAboveTheLowLevel", Row(30, 30, 918.01, 900, 1000), kDefaults, "", "", ""},
    // 1000 x 0.98 = 980
    {"IndexAtTheHighLevel", Row(30, 30, 980, 900, 1000), kDefaults, "", "", "980.00,980.00"},
    {"IndexJustUnderTheHighLevel", Row(30, 30, 979.99, 900, 1000), kDefaults, "", "", ""},
    {"IndexPastTheBreakEven", Row(30, 30, 850, 900, 1000), kDefaults, "", "", "850.00,918.00"},
    {"NoMarginMeansTheBreakEvenItself",
     Row(30, 30, 900, 900, 1000),
     {50, 2, 0},
     "",
     "",
     "900.00,900.00"},
    {"SingleCallHasNoLowSide", Row(30, 30, 500, std::nullopt, 1000), kDefaults, "", "", ""},
    {"SinglePutHasNoHighSide", Row(30, 30, 5000, 900, std::nullopt), kDefaults, "", "", ""},
    {"NoIndexLevelNoBreakEvenAlert", Row(30, 30, std::nullopt, 900, 1000), kDefaults, "", "", ""},
    // Both levels hold with a wide margin; the nearer break-even is named.
    {"WideMarginNamesTheNearerSide",
     Row(30, 30, 990, 900, 1000),
     {50, 2, 50},
     "",
     "",
     "990.00,500.00"},
    {"AllThreeAtOnce",
     Row(10, 5, 918, 900, 1000),
     {50, 0.5, 2},
     "50.00,50.00",
     "0.50,0.50",
     "918.00,918.00"},
};

class AlertDefinitionTest : public ::testing::TestWithParam<DefinitionCase> {};

TEST_P(AlertDefinitionTest, HoldsExactlyAtItsEdge) {
    const DefinitionCase& c = GetParam();
    const RowAlerts r = AlertsOf(c.row, c.limits);
    auto find = [&](AlertKind kind) {
        for (const auto& a : r.holding) {
            if (a.kind == kind) {
                const std::string csv = AlertsCsv({a});
                // key,name,value,limit\r\n: the last two fields
                const std::string fields = csv.substr(0, csv.size() - 2);
                const auto second = fields.rfind(',', fields.rfind(',') - 1);
                return fields.substr(second + 1);
            }
        }
        return std::string();
    };
    EXPECT_EQ(find(AlertKind::Winstdoel), c.winstdoel);
    EXPECT_EQ(find(AlertKind::Verliesgrens), c.verliesgrens);
    EXPECT_EQ(find(AlertKind::BreakEven), c.breakEven);
}

INSTANTIATE_TEST_SUITE_P(Definitions, AlertDefinitionTest, ::testing::ValuesIn(kDefinitions),
                         [](const auto& info) { return std::string(info.param.name); });

struct SettingCase {
    const char* stored;  // nullptr: absent
    const AlertSetting* setting;
    double expected;
    bool problem;
};

const SettingCase kSettings[] = {
    {nullptr, &kWinstdoelSetting, 50, false},   {"60", &kWinstdoelSetting, 60, false},
    {"1", &kWinstdoelSetting, 1, false},        {"0,5", &kWinstdoelSetting, 50, true},
    {"100", &kWinstdoelSetting, 100, false},    {"100,01", &kWinstdoelSetting, 50, true},
    {"2,5", &kVerliesgrensSetting, 2.5, false}, {" 3.25 ", &kVerliesgrensSetting, 3.25, false},
    {"0,9", &kVerliesgrensSetting, 2, true},    {"21", &kVerliesgrensSetting, 2, true},
    {"twee", &kVerliesgrensSetting, 2, true},   {"", &kVerliesgrensSetting, 2, true},
    {"2,0,0", &kVerliesgrensSetting, 2, true},  {"0", &kBeMargeSetting, 0, false},
    {"-0,1", &kBeMargeSetting, 2, true},        {"50", &kBeMargeSetting, 50, false},
    {"1e1", &kBeMargeSetting, 2, true},         {"nan", &kBeMargeSetting, 2, true},
};

TEST(AlertSettingsTest, StoredTextsAsTheRateIsRead) {
    for (const auto& c : kSettings) {
        RegFile file;
        if (c.stored) {
            file.SetString("K", c.setting->name, c.stored);
        }
        const AlertSettings s = ReadAlertSettings(file, "K");
        const double got = c.setting == &kWinstdoelSetting      ? s.limits.winstdoel
                           : c.setting == &kVerliesgrensSetting ? s.limits.verliesgrens
                                                                : s.limits.beMarge;
        EXPECT_DOUBLE_EQ(got, c.expected) << (c.stored ? c.stored : "absent");
        EXPECT_EQ(s.problems.size(), c.problem ? 1u : 0u) << (c.stored ? c.stored : "absent");
    }
}

TEST(AlertSettingsTest, ProblemSaysWhatIsUsedAndDwordCounts) {
    RegFile file;
    file.SetString("K", kVerliesgrensValue, "x");
    file.SetDword("K", kBeMargeValue, 5);
    file.SetString("K", kMeldingenValue, "0");
    const AlertSettings s = ReadAlertSettings(file, "K");
    ASSERT_EQ(s.problems.size(), 1u);
    EXPECT_EQ(s.problems[0],
              "\"Verliesgrens\" is geen getal van 1,0 tot 20,0 (\"x\"); 2,0 wordt "
              "gebruikt.");
    EXPECT_DOUBLE_EQ(s.limits.beMarge, 5);
    EXPECT_FALSE(s.notify);
    EXPECT_TRUE(ReadAlertSettings(RegFile(), "K").notify);
}

const std::string kKey = "AEX 2703 00880.00 00960.00";

TEST(AlertStateTest, StartsOnceStopsAndStartsAgain) {
    const OverviewRow earned = Row(30, 15);
    const OverviewRow notEarned = Row(30, 20);
    AlertRound r = EvaluateAlerts({earned}, kDefaults, {});
    ASSERT_EQ(r.started.size(), 1u);
    r = EvaluateAlerts({earned}, kDefaults, r.next);
    EXPECT_TRUE(r.started.empty());
    EXPECT_EQ(r.holding.size(), 1u);
    r = EvaluateAlerts({notEarned}, kDefaults, r.next);
    EXPECT_TRUE(r.next.empty());
    r = EvaluateAlerts({earned}, kDefaults, r.next);
    EXPECT_EQ(r.started.size(), 1u);
}

TEST(AlertStateTest, UndecidedKeepsItsEntryAndAGoneCombinationLosesIt) {
    const AlertState held{{kKey, AlertKind::BreakEven}, {kKey, AlertKind::Winstdoel}};
    // No index level today: the break-even alert is neither started nor stopped.
    AlertRound r = EvaluateAlerts({Row(30, 20, std::nullopt, 900, 1000)}, kDefaults, held);
    EXPECT_EQ(r.next, (AlertState{{kKey, AlertKind::BreakEven}}));
    r = EvaluateAlerts({}, kDefaults, held);
    EXPECT_TRUE(r.next.empty());
}

TEST(AlertStateTest, FileRoundTripsAndSurvivesDamage) {
    const AlertState state{{kKey, AlertKind::BreakEven}, {"AX1 2701 x", AlertKind::Verliesgrens}};
    EXPECT_EQ(ParseAlertState(AlertStateText(state)), state);
    // BOM, LF ends, a cut line, an unknown alert, no key, stray bytes.
    const std::string damaged = "\xEF\xBB\xBF" + kKey +
                                ";AEX bij break-even\nAEX 2703;winstd\n;winstdoel\n" +
                                std::string("\xFF\0;x\n", 5) + kKey + ";verliesgrens";
    EXPECT_EQ(ParseAlertState(damaged),
              (AlertState{{kKey, AlertKind::BreakEven}, {kKey, AlertKind::Verliesgrens}}));
}

TEST(AlertStateTest, OddFilesMeanNothingHeldAndTheRunGoesOn) {
    TempDir dir;
    const std::string path = dir.folder() + std::string(kAlertStateFileName);
    const std::vector<OverviewRow> rows{Row(30, 15)};

    AlertPass pass = RunAlertPass(dir.folder(), rows, kDefaults);
    EXPECT_EQ(pass.round.started.size(), 1u);
    EXPECT_EQ(test::ReadAll(path), kKey + ";winstdoel\r\n");
    EXPECT_TRUE(RunAlertPass(dir.folder(), rows, kDefaults).round.started.empty());

    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    pass = RunAlertPass(dir.folder(), rows, kDefaults);  // must not block on the FIFO
    EXPECT_EQ(pass.round.started.size(), 1u);
    EXPECT_FALSE(pass.error.empty());

    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    pass = RunAlertPass(dir.folder(), rows, kDefaults);
    EXPECT_EQ(pass.round.started.size(), 1u);
    EXPECT_FALSE(pass.error.empty());
}

// A FIFO in place of Signalen.dat stands for a full disk or a read-only folder as well.
TEST(AlertStateTest, StateThatCannotBeKeptStillSaysEachNoticeOnce) {
    const struct {
        const char* name;
        bool spareBlocked;
        bool window;
        size_t started[3];
        bool said[3];
    } cases[] = {
        {"SpareKeepsIt", false, false, {1, 0, 0}, {true, false, false}},
        {"WindowRemembers", true, true, {1, 0, 0}, {true, false, false}},
        {"CompanionSaysWhyAndStaysSilent", true, false, {0, 0, 0}, {true, true, true}},
    };
    const std::vector<OverviewRow> rows{Row(30, 15)};
    for (const auto& c : cases) {
        TempDir dir;
        const std::string path = dir.folder() + std::string(kAlertStateFileName);
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        const std::string spare = dir.folder() + "state/Signalen.dat";
        if (c.spareBlocked) {
            std::filesystem::create_directories(spare);
        }
        std::optional<AlertState> memory;
        const AlertKeeping keeping{spare, c.window ? &memory : nullptr};
        for (int run = 0; run < 3; ++run) {
            const AlertPass pass = RunAlertPass(dir.folder(), rows, kDefaults, keeping);
            EXPECT_EQ(pass.round.started.size(), c.started[run]) << c.name << run;
            EXPECT_EQ(!pass.error.empty(), c.said[run]) << c.name << run << pass.error;
        }
        if (!c.spareBlocked) {
            std::filesystem::remove(path);
            EXPECT_TRUE(RunAlertPass(dir.folder(), rows, kDefaults, keeping).round.started.empty());
            EXPECT_EQ(test::ReadAll(path), kKey + ";winstdoel\r\n");
            EXPECT_FALSE(std::filesystem::exists(spare));
        }
    }
}

TEST(AlertTextTest, NoticeNamesTheAlertAndItsNumbers) {
    const Alert w = AlertsOf(Row(43.21, 20.74), kDefaults).holding.at(0);
    EXPECT_EQ(AlertSummary(w), "Rendaal: " + kKey);
    EXPECT_EQ(AlertBody(w), "Winstdoel bereikt: 52 % van de premie (\xE2\x82\xAC 2.247)");
    const Alert v = AlertsOf(Row(22.47, 46.10), kDefaults).holding.at(0);
    EXPECT_EQ(AlertBody(v),
              "Verliesgrens bereikt: 2,05 \xC3\x97 de premie (verlies \xE2\x82\xAC 2.363)");
    const Alert b = AlertsOf(Row(30, 30, 1012.4, 900, 1020), kDefaults).holding.at(0);
    EXPECT_EQ(AlertBody(b),
              "AEX bij break-even: AEX 1.012,40, break-even hoog 1.020,00 (melding vanaf 999,60)");
}

TEST(AlertTextTest, OverviewCsvEndsWithTheHoldingAlerts) {
    std::vector<OverviewRow> rows{Row(10, 5, 918, 900, 1000), Row(30, 30)};
    rows[1].key = "AX1 2701 00900.00 00Geen";
    MarkAlerts(rows, EvaluateAlerts(rows, kDefaults, {}).holding);
    const auto lines = SplitLines(OverviewCsv(rows));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(lines[0].ends_with(",em,alerts"));
    EXPECT_TRUE(lines[1].ends_with(",winstdoel; AEX bij break-even")) << lines[1];
    EXPECT_TRUE(lines[2].ends_with(",")) << lines[2];
}

}  // namespace
}  // namespace rendaal
