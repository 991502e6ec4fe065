#include "analytics/black_scholes.h"

#include <gtest/gtest.h>

#include <cmath>

namespace rendaal {
namespace {

struct Published {
    const char* name;
    OptionSide side;
    double s, k, r, q, sigma, t;
    double price;  // as the textbook rounds it
    double tolerance;
};

// Hull, Options, Futures and Other Derivatives: the stock option example, the index option
// example with a dividend yield, and its put by put-call parity (14.55).
const Published kPublished[] = {
    {"StockCall", OptionSide::Call, 42, 40, 0.10, 0, 0.2, 0.5, 4.76, 0.005},
    {"StockPut", OptionSide::Put, 42, 40, 0.10, 0, 0.2, 0.5, 0.81, 0.005},
    {"IndexCallWithYield", OptionSide::Call, 930, 900, 0.08, 0.03, 0.2, 2.0 / 12, 51.83, 0.005},
    {"IndexPutWithYield", OptionSide::Put, 930, 900, 0.08, 0.03, 0.2, 2.0 / 12, 14.55, 0.005},
    {"CurrencyCallForeignRate", OptionSide::Call, 1.6, 1.6, 0.08, 0.11, 0.141, 4.0 / 12, 0.043,
     0.0005},
};

TEST(BlackScholes, PublishedPricesAndTheirVolatilities) {
    for (const auto& c : kPublished) {
        SCOPED_TRACE(c.name);
        const Rates rates{c.r, c.q};
        EXPECT_NEAR(BlackScholesPrice(c.side, c.s, c.k, c.t, rates, c.sigma), c.price, c.tolerance);
        // The rounded textbook price implies the textbook volatility to about its last digit.
        const auto iv = ImpliedVolatility(c.side, c.price, c.s, c.k, c.t, rates);
        ASSERT_TRUE(iv.has_value());
        EXPECT_NEAR(*iv, c.sigma, 0.003);
    }
    // Hull's implied volatility example: a call at 1.875 implies about 23.5 %.
    const auto iv = ImpliedVolatility(OptionSide::Call, 1.875, 21, 20, 0.25, {0.10, 0});
    ASSERT_TRUE(iv.has_value());
    EXPECT_NEAR(*iv, 0.235, 0.001);
}

// Every price a volatility in range produces is solved back to within the tolerance, deep in
// and out of the money, from one day to three years.
TEST(ImpliedVolatility, SolvesEveryReachablePriceAcrossMoneynessAndTime) {
    const Rates rates{0.02, 0.03};
    const double s = 900;
    int solved = 0;
    for (const OptionSide side : {OptionSide::Put, OptionSide::Call}) {
        for (const double moneyness : {0.3, 0.7, 0.95, 1.0, 1.05, 1.4, 3.0}) {
            for (const double t : {1.0 / 365, 7.0 / 365, 0.25, 1.0, 3.0}) {
                for (const double sigma : {0.006, 0.05, 0.2, 0.6, 2.0, 4.9}) {
                    const double k = s * moneyness;
                    const double price = BlackScholesPrice(side, s, k, t, rates, sigma);
                    SCOPED_TRACE(testing::Message() << "K " << k << " T " << t << " sigma " << sigma
                                                    << " price " << price);
                    const auto iv = ImpliedVolatility(side, price, s, k, t, rates);
                    if (price <= 0) {
                        EXPECT_FALSE(iv.has_value());
                        continue;
                    }
                    ASSERT_TRUE(iv.has_value());
                    EXPECT_GE(*iv, kMinVolatility);
                    EXPECT_LE(*iv, kMaxVolatility);
                    EXPECT_NEAR(BlackScholesPrice(side, s, k, t, rates, *iv), price,
                                kPriceTolerance);
                    ++solved;
                }
            }
        }
    }
    EXPECT_GT(solved, 300);
}

// The price a hair above intrinsic or a day before expiry still pins sigma down to far better
// than a price tolerance would: the solver works on the out-of-the-money side and stops on the
// sigma step. Prices come from long double through put-call parity, rounded once.
TEST(ImpliedVolatility, RecoversSigmaNearIntrinsicAndOneDayOut) {
    const Rates rates{0.02, 0.03};
    const long double s = 900;
    struct Case {
        const char* name;
        OptionSide side;
        double k, days, sigma;
    } cases[] = {
        {"PutAHairAboveIntrinsic", OptionSide::Put, 936, 30, 0.05},
        {"CallAHairAboveIntrinsic", OptionSide::Call, 864, 30, 0.05},
        {"DeepOutOfTheMoneyCall", OptionSide::Call, 936, 30, 0.02},
        {"OneDayAtTheMoney", OptionSide::Put, 900, 1, 0.15},
        {"OneDayInTheMoneyCall", OptionSide::Call, 891, 1, 0.1},
        {"TwoYearsHighVolatility", OptionSide::Put, 1170, 730, 1.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const long double t = c.days / 365.0L;
        const long double f = s * std::exp(static_cast<long double>(rates.r - rates.q) * t);
        const long double sd = c.sigma * std::sqrt(t);
        const long double d1 = std::log(f / c.k) / sd + sd / 2;
        auto n = [](long double x) { return 0.5L * std::erfc(-x / std::sqrt(2.0L)); };
        const long double call = f * n(d1) - c.k * n(d1 - sd);
        const long double put = c.k * n(sd - d1) - f * n(-d1);
        const long double otm = f <= c.k ? call : put;
        const long double intrinsic =
            c.side == OptionSide::Call ? std::max(f - c.k, 0.0L) : std::max(c.k - f, 0.0L);
        const double price = static_cast<double>(std::exp(-static_cast<long double>(rates.r) * t) *
                                                 (otm + intrinsic));
        const auto iv = ImpliedVolatility(c.side, price, 900, c.k, static_cast<double>(t), rates);
        ASSERT_TRUE(iv.has_value());
        EXPECT_NEAR(*iv / c.sigma, 1, 1e-9);
    }
}

TEST(ImpliedVolatility, PricesAtAndBeyondTheBounds) {
    const Rates rates{0.02, 0.03};
    const double s = 900, k = 880, t = 30.0 / 365;
    const double atLow = BlackScholesPrice(OptionSide::Put, s, k, t, rates, kMinVolatility);
    const double atHigh = BlackScholesPrice(OptionSide::Put, s, k, t, rates, kMaxVolatility);
    struct Case {
        const char* name;
        double price;
        double t;
        std::optional<double> expected;
    } cases[] = {
        {"AtLowestVolatility", atLow, t, kMinVolatility},
        {"AtHighestVolatility", atHigh, t, kMaxVolatility},
        {"JustBelowTheRange", atLow - 1e-4, t, std::nullopt},
        {"AboveTheRange", atHigh + 1e-3, t, std::nullopt},
        {"AboveTheStrike", k + 1, t, std::nullopt},
        {"ZeroPrice", 0, t, std::nullopt},
        {"NegativePrice", -1, t, std::nullopt},
        {"NotANumber", std::nan(""), t, std::nullopt},
        {"Infinite", HUGE_VAL, t, std::nullopt},
        {"ExpiryToday", 20, 0, std::nullopt},
        {"AfterExpiry", 20, -1.0 / 365, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto iv = ImpliedVolatility(OptionSide::Put, c.price, s, k, c.t, rates);
        ASSERT_EQ(iv.has_value(), c.expected.has_value());
        if (iv) {
            EXPECT_NEAR(*iv, *c.expected, 1e-9);
        }
    }
    EXPECT_FALSE(ImpliedVolatility(OptionSide::Call, 10, 0, k, t, rates));
    EXPECT_FALSE(ImpliedVolatility(OptionSide::Call, 10, s, 0, t, rates));
}

TEST(PriceLowerBound, DiscountedIntrinsicNeverNegative) {
    const Rates rates{0.02, 0.03};
    EXPECT_NEAR(PriceLowerBound(OptionSide::Put, 850, 880, 1, rates),
                880 * std::exp(-0.02) - 850 * std::exp(-0.03), 1e-9);
    EXPECT_EQ(PriceLowerBound(OptionSide::Call, 850, 880, 1, rates), 0);
    // After expiry the bound is the intrinsic value, not a compounded one.
    EXPECT_EQ(PriceLowerBound(OptionSide::Put, 850, 880, -1, rates), 30);
}

}  // namespace
}  // namespace rendaal
