#include "analytics/greeks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "analytics/report.h"

namespace rendaal {
namespace {

// Published textbook values (Hull, "Options, Futures, and Other Derivatives"), rounded as
// printed there: a call with S 49, K 50, r 5 %, sigma 20 %, 20 weeks; and an index call with a
// dividend yield, S 930, K 900, r 8 %, q 3 %, sigma 20 %, two months (N(d1) = 0.7069).
TEST(Greeks, PublishedValues) {
    const auto g = GreeksOf(OptionSide::Call, 49, 50, 0.3846, Rates{0.05, 0}, 0.2);
    ASSERT_TRUE(g);
    EXPECT_NEAR(g->delta, 0.522, 5e-4);
    EXPECT_NEAR(g->gamma, 0.066, 5e-4);
    EXPECT_NEAR(g->theta, -4.31, 5e-3);
    EXPECT_NEAR(g->vega, 12.1, 5e-2);
    const auto index = GreeksOf(OptionSide::Call, 930, 900, 2.0 / 12, Rates{0.08, 0.03}, 0.2);
    ASSERT_TRUE(index);
    EXPECT_NEAR(index->delta, std::exp(-0.03 * 2.0 / 12) * 0.7069, 1e-4);
}

// The put's Greeks follow from the call's with a dividend yield: the sign slips a put formula
// could make show here.
TEST(Greeks, PutAgreesWithTheCallThroughParity) {
    const Rates rates{0.02, 0.03};
    const double s = 920, k = 880, t = 0.3;
    const auto c = GreeksOf(OptionSide::Call, s, k, t, rates, 0.22);
    const auto p = GreeksOf(OptionSide::Put, s, k, t, rates, 0.22);
    ASSERT_TRUE(c && p);
    EXPECT_NEAR(c->delta - p->delta, std::exp(-rates.q * t), 1e-12);
    EXPECT_NEAR(c->gamma, p->gamma, 1e-12);
    EXPECT_NEAR(c->vega, p->vega, 1e-9);
    EXPECT_NEAR(c->theta - p->theta,
                -rates.r * k * std::exp(-rates.r * t) + rates.q * s * std::exp(-rates.q * t), 1e-9);
    EXPECT_FALSE(GreeksOf(OptionSide::Put, s, k, 0, rates, 0.22));
    EXPECT_FALSE(GreeksOf(OptionSide::Put, s, k, t, rates, NAN));
}

std::string Figures(const RiskFigures& f) {
    return FormatFixed(f.delta, 2) + "," + FormatFixed(f.gamma, 4) + "," +
           FormatFixed(f.thetaDay, 2) + "," + FormatFixed(f.vega, 2) + "," + FormatFixed(f.pop, 2) +
           "," + FormatFixed(f.em, 2);
}

// Expected figures computed outside this program from the definitions.
TEST(RiskOf, EdgesOfTheInputs) {
    struct Row {
        const char* name;
        ShortLegs legs;
        std::optional<double> s;
        double t;
        std::optional<double> beLow, beHigh;
        const char* figures;
    } rows[] = {
        {"Strangle",
         {880, 960, 0.22, 0.18},
         920,
         102.0 / 365,
         850,
         990,
         "0.46,-0.7512,34.28,-351.91,52.68,97.27"},
        {"OneDayLeft",
         {880, 960, 0.2, 0.2},
         920,
         1.0 / 365,
         850,
         990,
         "0.00,-0.0016,0.07,-0.01,100.00,9.63"},
        {"SigmaAtTheBracketEnds",
         {880, 960, 5.0, 0.005},
         920,
         102.0 / 365,
         850,
         990,
         "8.98,-0.0067,189.18,-78.68,9.81,1217.07"},
        // Each tail with its own leg's volatility: the two overlap, the chance is not below 0.
        {"VolatilitiesFarApartChanceNotNegative",
         {880, 900, 5.0, 0.005},
         920,
         102.0 / 365,
         850,
         905,
         "-90.19,-0.0067,186.58,-78.68,0.00,1217.07"},
        {"SingleWithGeenPut",
         {std::nullopt, 960, std::nullopt, 0.18},
         920,
         102.0 / 365,
         std::nullopt,
         990,
         "-33.12,-0.4122,14.55,-175.48,80.17,87.54"},
        // The index cannot end below a break-even at or below zero.
        {"BreakEvenBelowZero",
         {20, std::nullopt, 0.3, std::nullopt},
         920,
         0.5,
         -10,
         std::nullopt,
         "0.00,0.0000,0.00,0.00,100.00,195.16"},
        {"LegWithoutVolatility",
         {880, 960, std::nullopt, 0.18},
         920,
         102.0 / 365,
         850,
         990,
         ",,,,,"},
        {"LegWithoutVolatilityBreakEvenBelowZero",
         {20, 960, std::nullopt, 0.18},
         920,
         102.0 / 365,
         -10,
         990,
         ",,,,80.17,"},
        {"NoIndexLevel", {880, 960, 0.22, 0.18}, std::nullopt, 0.3, 850, 990, ",,,,,"},
        {"ExpiryToday", {880, 960, 0.22, 0.18}, 920, 0, 850, 990, ",,,,,"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(Figures(RiskOf(r.legs, r.s, r.t, r.beLow, r.beHigh, Rates{0.02, 0.03})),
                  r.figures);
    }
}

}  // namespace
}  // namespace rendaal
