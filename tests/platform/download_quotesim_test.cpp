// The loopback quote server's made-up market: what the download tests rely on.
#include <gtest/gtest.h>

#include <cmath>

#include "core/text.h"
#include "download/option_page.h"
#include "quotesim/quote_model.h"
#include "quotesim/quote_server.h"

namespace rendaal {
namespace {

using quotesim::OptionQuery;
using quotesim::QuoteModel;

TEST(QuoteModel, SameSeedSameMarketNearTheAexLevel) {
    const Date today{2026, 12, 9};
    for (uint32_t seed : {1u, 2u, 99u}) {
        const QuoteModel a(seed, today);
        const QuoteModel b(seed, today);
        EXPECT_EQ(a.IndexPage("17:35"), b.IndexPage("17:35"));
        EXPECT_GE(a.IndexLevel(), 900);
        EXPECT_LE(a.IndexLevel(), 950);
        const OptionQuery q = quotesim::ParseOptionQuery(
            "MonthFrom=12&YearFrom=2026&MonthTill=12&YearTill=2027&PriceFrom=830&PriceTill=1030");
        EXPECT_EQ(a.OptionPage(q), b.OptionPage(q));
        EXPECT_EQ(q.priceFrom, 830);
        EXPECT_EQ(q.yearTill, 2027);
    }
    EXPECT_NE(QuoteModel(1, today).IndexText(), QuoteModel(2, today).IndexText());
}

TEST(QuoteModel, RowsEveryFivePointsWithSanePrices) {
    const QuoteModel m(5, {2026, 12, 9});
    const OptionQuery q{12, 2026, 12, 2027, 850, 1000};
    const auto rows = m.Rows(q);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.front().kind, 'C');
    EXPECT_EQ(rows.back().kind, 'P');
    for (const auto& r : rows) {
        EXPECT_EQ(r.strike % 5, 0);
        EXPECT_GE(r.strike, 850);
        EXPECT_LE(r.strike, 1000);
        EXPECT_GT(r.price, 0);
    }
    // Put-call parity, roughly: C - P = S - K e^{-rT}.
    const Date expiry{2027, 3, 19};
    const double k = 925;
    const double t = static_cast<double>(DayNumber(expiry) - DayNumber(Date{2026, 12, 9})) / 365;
    const double parity = m.IndexLevel() - k * std::exp(-0.02 * t);
    EXPECT_NEAR(m.Price('C', expiry, k) - m.Price('P', expiry, k), parity, 0.05);
}

TEST(QuoteModel, PagesReadBackThroughTheLookup) {
    const Date today{2026, 12, 9};
    const QuoteModel m(8, today);
    const OptionQuery q{12, 2026, 12, 2027, 850, 1000};
    const std::string page = StripTags(m.OptionPage(q, {"P18-12-2026900,00"}));
    TDataRec rec;
    rec.ExpiryYear = 2026;
    rec.ExpiryMonth = 12;
    rec.ExpiryDay = 18;
    uint16_t count = 0;
    for (int strike : {850, 905, 1000}) {
        for (char kind : {'C', 'P'}) {
            rec.OptionKind = kind;
            rec.Strike = strike;
            LookupPrice(page, rec, "AEX", {2026, 12, 9, 18, 0, 0, 0}, count);
            EXPECT_EQ(rec.Price, QuoteModel::PriceCell(m.Price(kind, {2026, 12, 18}, strike)));
        }
    }
    rec.OptionKind = 'P';
    rec.Strike = 900;
    LookupPrice(page, rec, "AEX", {2026, 12, 9, 18, 0, 0, 0}, count);
    EXPECT_EQ(rec.Price, "0.0");  // shown as not traded
    EXPECT_EQ(count, 6);
}

TEST(QuoteServerOptions, FaultNames) {
    for (const char* name :
         {"none", "empty", "500", "delay", "reset", "endless", "garbage", "nomarkers"}) {
        const auto fault = quotesim::ParseFault(name);
        ASSERT_TRUE(fault) << name;
        EXPECT_STREQ(quotesim::FaultName(*fault), name);
    }
    EXPECT_FALSE(quotesim::ParseFault("crash"));
}

}  // namespace
}  // namespace rendaal
