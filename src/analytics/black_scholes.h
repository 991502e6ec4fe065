#pragma once

#include <optional>

// European option prices on the index with a continuous rate and dividend yield, and the
// volatility a quoted price implies.
namespace rendaal {

enum class OptionSide { Put, Call };

// Rates as fractions per year (0.02 for 2 %).
struct Rates {
    double r = 0.02;
    double q = 0.03;
};

// Black-Scholes price for spot s, strike k, t years and volatility sigma. t <= 0 or sigma <= 0
// give the discounted forward intrinsic value; non-positive s or k give 0 for the missing
// side's value (an option on nothing).
double BlackScholesPrice(OptionSide side, double s, double k, double t, const Rates& rates,
                         double sigma);

// The no-arbitrage floor of a European price: put K e^-rT - S e^-qT, call S e^-qT - K e^-rT,
// never below 0. t below 0 counts as 0.
double PriceLowerBound(OptionSide side, double s, double k, double t, const Rates& rates);

inline constexpr double kMinVolatility = 0.005;
inline constexpr double kMaxVolatility = 5.0;
inline constexpr double kPriceTolerance = 1e-6;

// The sigma in [kMinVolatility, kMaxVolatility] whose price is within kPriceTolerance of price;
// empty when t <= 0, the price is not positive, an input is not a finite positive number, or no
// sigma in that range fits.
std::optional<double> ImpliedVolatility(OptionSide side, double price, double s, double k, double t,
                                        const Rates& rates);

}  // namespace rendaal
