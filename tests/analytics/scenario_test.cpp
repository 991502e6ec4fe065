#include "analytics/scenario.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

namespace rendaal {
namespace {

// Black-Scholes written out again from the textbook, apart from the program's pricing: a put
// and a call on an index with dividend yield q.
double Bs(bool call, double s, double k, double t, double r, double q, double sigma) {
    if (t <= 0) {
        return std::max(call ? s - k : k - s, 0.0);
    }
    auto n = [](double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); };
    const double d1 = (std::log(s / k) + (r - q + sigma * sigma / 2) * t) / (sigma * std::sqrt(t));
    const double d2 = d1 - sigma * std::sqrt(t);
    return call ? s * std::exp(-q * t) * n(d1) - k * std::exp(-r * t) * n(d2)
                : k * std::exp(-r * t) * n(-d2) - s * std::exp(-q * t) * n(-d1);
}

const Date kToday{2026, 12, 7};  // a Monday
const Date kExpiry{2027, 3, 19};

ScenarioInput Strangle(std::optional<double> ivPut = 0.22, std::optional<double> ivCall = 0.18) {
    return {{880.0, 960.0}, 43.21, 912.34, ivPut, ivCall, kExpiry, kToday, {0.02, 0.03}};
}

// What a sold combination makes, from the independent pricing.
double Expected(const ScenarioInput& in, double s, const Date& d, double sp, double sc) {
    const double t = (DayNumber(kExpiry) - DayNumber(d)) / 365.0;
    double v = 0;
    if (in.strikes.put) {
        v += Bs(false, s, *in.strikes.put, t, in.rates.r, in.rates.q, sp);
    }
    if (in.strikes.call) {
        v += Bs(true, s, *in.strikes.call, t, in.rates.r, in.rates.q, sc);
    }
    return (*in.somFirst - v) * 100;
}

TEST(Scenario, ResultAgreesWithAnIndependentPricing) {
    ScenarioInput single = Strangle();
    single.strikes.call.reset();
    ScenarioInput straddle = Strangle();
    straddle.strikes = {920.0, 920.0};
    ScenarioInput lowVol = Strangle(0.03, 0.04);
    ScenarioInput bounds = Strangle();
    bounds.rates = {1.0, -1.0};  // the settings' limits, 100 % and -100 %
    struct Row {
        const char* name;
        ScenarioInput in;
        int shift;
        Date date;
        double level;
        double sp, sc;  // volatilities after the shift, as the definition says
    } rows[] = {
        {"StrangleToday", Strangle(), 0, kToday, 912.34, 0.22, 0.18},
        {"StrangleUpFivePoints", Strangle(), 5, kToday, 850, 0.27, 0.23},
        {"StrangleOnAFriday", Strangle(), -5, Date{2027, 1, 15}, 1000, 0.17, 0.13},
        {"OneDayBeforeExpiry", Strangle(), 0, Date{2027, 3, 18}, 885, 0.22, 0.18},
        {"ExpiryDayIsIntrinsic", Strangle(), 0, kExpiry, 1003.5, 0.22, 0.18},
        {"ExpiryDayBetweenTheStrikes", Strangle(), 5, kExpiry, 912.34, 0.27, 0.23},
        {"ShiftBelowZeroFloorsAtOnePercent", lowVol, -5, kToday, 900, 0.01, 0.01},
        {"SingleWithGeenCall", single, 0, kToday, 870, 0.22, 0.18},
        {"Straddle", straddle, 5, Date{2027, 2, 5}, 940, 0.27, 0.23},
        {"FarBelowTheStrikes", Strangle(), 0, kToday, 200, 0.22, 0.18},
        {"FarAboveTheStrikes", Strangle(), 0, kToday, 5000, 0.22, 0.18},
        {"RatesAtTheirBounds", bounds, 0, kToday, 912.34, 0.22, 0.18},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const auto got = ScenarioResult(r.in, r.level, r.date, r.shift);
        ASSERT_TRUE(got);
        EXPECT_NEAR(*got, Expected(r.in, r.level, r.date, r.sp, r.sc), 1e-6);
    }
    // A leg without a volatility leaves the value unknown, never 0, until expiry.
    EXPECT_FALSE(ScenarioResult(Strangle(std::nullopt), 912.34, kToday, 0));
    EXPECT_NEAR(*ScenarioResult(Strangle(std::nullopt), 860, kExpiry, 0), (43.21 - 20) * 100, 1e-9);
}

// Every break-even found is a zero of the independent pricing, with a loss beyond it and a
// profit inside; at expiry they are the strikes minus and plus the premium.
TEST(Scenario, BreakEvensAtEveryDate) {
    ScenarioInput single = Strangle();
    single.strikes.put.reset();
    ScenarioInput straddle = Strangle(0.3, 0.12);
    straddle.strikes = {920.0, 920.0};
    straddle.somFirst = 90;
    struct Row {
        const char* name;
        ScenarioInput in;
        int shift;
        bool low, high;  // which break-evens exist
    } rows[] = {
        {"Strangle", Strangle(0.14, 0.12), 0, true, true},
        {"StrangleUp", Strangle(0.10, 0.09), 5, true, true},
        {"StraddleVolatilitiesApart", straddle, -5, true, true},
        {"SingleWithGeenPut", single, 0, false, true},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        const ScenarioGrid g = ComputeScenario(r.in, r.shift);
        ASSERT_EQ(g.dates.size(), 16u);  // today, 14 Fridays, expiry
        const double sp = std::max(*r.in.ivPut + r.shift / 100.0, 0.01);
        const double sc = std::max(*r.in.ivCall + r.shift / 100.0, 0.01);
        for (const auto& d : g.dates) {
            SCOPED_TRACE(FormatDmy(d.date));
            EXPECT_EQ(d.beLow.has_value(), r.low);
            EXPECT_EQ(d.beHigh.has_value(), r.high);
            for (const auto& [be, outward] : {std::pair{d.beLow, -1.0}, {d.beHigh, 1.0}}) {
                if (!be) {
                    continue;
                }
                EXPECT_NEAR(Expected(r.in, *be, d.date, sp, sc), 0, 1e-6);
                EXPECT_LT(Expected(r.in, *be + outward, d.date, sp, sc), 0);
                EXPECT_GT(Expected(r.in, *be - outward, d.date, sp, sc), 0);
            }
        }
        const ScenarioDate& last = g.dates.back();
        EXPECT_TRUE(last.expiry);
        if (r.low) {
            EXPECT_NEAR(*last.beLow, *r.in.strikes.put - *r.in.somFirst, 1e-9);
        }
        EXPECT_NEAR(*last.beHigh, *r.in.strikes.call + *r.in.somFirst, 1e-9);
    }
    // Too little premium for the time left: a loss at every level today, so no break-even.
    ScenarioInput poor = Strangle(0.6, 0.6);
    poor.somFirst = 5;
    const ScenarioGrid g = ComputeScenario(poor, 0);
    EXPECT_FALSE(g.dates.front().beLow || g.dates.front().beHigh);
    EXPECT_NEAR(*g.dates.back().beLow, 875, 1e-9);
}

TEST(Scenario, GridShapeAndBadInput) {
    const ScenarioGrid g = ComputeScenario(Strangle(), 0);
    ASSERT_TRUE(g.problem.empty());
    ASSERT_EQ(g.columns.size(), 23u);  // 21 steps and both break-evens, sorted
    EXPECT_EQ(g.columns.front().level, 821.11);
    EXPECT_EQ(g.columns.back().level, 1003.57);
    EXPECT_EQ(g.columns[11].level, 912.34);
    EXPECT_EQ(g.columns[11].marks, kMarkToday);
    EXPECT_EQ(g.columns[2].level, 836.79);
    EXPECT_EQ(g.columns[2].marks, kMarkBeLow);
    EXPECT_EQ(g.columns[21].level, 1003.21);
    EXPECT_EQ(g.columns[21].marks, kMarkBeHigh);
    EXPECT_EQ(g.dates[1].date, (Date{2026, 12, 11}));
    EXPECT_EQ(g.results.size(), 16u * 23u);
    EXPECT_TRUE(g.note.empty());

    // Dates: expiry today is one date; a Friday expiry a day away; at most 26 Fridays.
    EXPECT_EQ(ScenarioDates(kExpiry, kExpiry), std::vector<Date>{kExpiry});
    EXPECT_EQ(ScenarioDates({2027, 3, 18}, kExpiry), (std::vector<Date>{{2027, 3, 18}, kExpiry}));
    EXPECT_EQ(ScenarioDates({2027, 3, 12}, kExpiry), (std::vector<Date>{{2027, 3, 12}, kExpiry}));
    EXPECT_EQ(ScenarioDates(kToday, {2028, 12, 15}).size(), 28u);
    EXPECT_TRUE(ScenarioDates({2027, 3, 20}, kExpiry).empty());

    ScenarioInput expired = Strangle();
    expired.today = {2027, 3, 22};
    ScenarioInput noLevel = Strangle();
    noLevel.level.reset();
    ScenarioInput noRow = Strangle();
    noRow.somFirst.reset();
    for (const auto& [in, problem] :
         {std::pair{expired, "De combinatie is verlopen op 19-03-2027"},
          {noLevel, "Geen AEX-stand in de laatste regel van het koersbestand"},
          {noRow, "Geen bruikbare regel in het koersbestand"}}) {
        const ScenarioGrid bad = ComputeScenario(in, 0);
        EXPECT_EQ(bad.problem, problem);
        EXPECT_TRUE(bad.dates.empty() && bad.results.empty());
        EXPECT_EQ(ScenarioCsv(bad), "date,level,result_eur\r\n");
    }

    // A leg without a volatility: empty cells, not zeros, and a note that says why.
    const ScenarioGrid half = ComputeScenario(Strangle(0.22, std::nullopt), 0);
    EXPECT_FALSE(half.At(0, 11));
    EXPECT_TRUE(half.At(15, 11));
    EXPECT_FALSE(half.dates[0].beLow);
    EXPECT_EQ(half.note,
              "Geen impliciete volatiliteit voor de call: alleen de expiratiedatum is "
              "berekend");
    EXPECT_NE(ScenarioCsv(half).find("\r\n2026-12-07,912.34,\r\n"), std::string::npos);
}

TEST(Scenario, TextsForPeople) {
    const ScenarioGrid g = ComputeScenario(Strangle(), 0);
    EXPECT_EQ(ScenarioCsv(g).substr(0, 42), "date,level,result_eur\r\n2026-12-07,821.11,-");
    EXPECT_EQ(ScenarioCellText(g, 15, 2),
              "19-03-2027 (expiratie), AEX 836,79 (-8,3 %): €0, break-even bij "
              "expiratie");
    EXPECT_EQ(ScenarioCellText(g, 0, 11).substr(0, 42),
              "07-12-2026 (vandaag), AEX 912,34 (0,0 %): ");
    EXPECT_NE(ScenarioDescription(g).find("op de expiratiedatum 19-03-2027 €4.321. "),
              std::string::npos);
}

}  // namespace
}  // namespace rendaal
