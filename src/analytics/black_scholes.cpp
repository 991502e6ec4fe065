#include "analytics/black_scholes.h"

#include <algorithm>
#include <cmath>

namespace rendaal {
namespace {

constexpr double kInvSqrt2 = 0.70710678118654752440;
constexpr double kInvSqrt2Pi = 0.39894228040143267794;

// erfc keeps its relative precision far into the tails, where 1 - N(x) would cancel.
double NormalCdf(double x) {
    return 0.5 * std::erfc(-x * kInvSqrt2);
}

double NormalPdf(double x) {
    return kInvSqrt2Pi * std::exp(-0.5 * x * x);
}

struct PriceAndVega {
    double price;
    double vega;
};

// Assumes s, k, t and sigma positive and finite.
PriceAndVega Evaluate(OptionSide side, double s, double k, double t, const Rates& rates,
                      double sigma) {
    const double sqrtT = std::sqrt(t);
    const double sd = sigma * sqrtT;
    const double d1 = (std::log(s / k) + (rates.r - rates.q + 0.5 * sigma * sigma) * t) / sd;
    const double d2 = d1 - sd;
    const double spot = s * std::exp(-rates.q * t);
    const double strike = k * std::exp(-rates.r * t);
    const double price = side == OptionSide::Call ? spot * NormalCdf(d1) - strike * NormalCdf(d2)
                                                  : strike * NormalCdf(-d2) - spot * NormalCdf(-d1);
    return {std::max(price, 0.0), spot * NormalPdf(d1) * sqrtT};
}

bool PositiveFinite(double x) {
    return std::isfinite(x) && x > 0;
}

}  // namespace

double PriceLowerBound(OptionSide side, double s, double k, double t, const Rates& rates) {
    t = std::max(t, 0.0);
    const double spot = s * std::exp(-rates.q * t);
    const double strike = k * std::exp(-rates.r * t);
    return std::max(side == OptionSide::Call ? spot - strike : strike - spot, 0.0);
}

double BlackScholesPrice(OptionSide side, double s, double k, double t, const Rates& rates,
                         double sigma) {
    if (!PositiveFinite(s) || !PositiveFinite(k) || !(t > 0) || !(sigma > 0)) {
        return PriceLowerBound(side, std::max(s, 0.0), std::max(k, 0.0), t, rates);
    }
    return Evaluate(side, s, k, t, rates, sigma).price;
}

std::optional<double> ImpliedVolatility(OptionSide side, double price, double s, double k, double t,
                                        const Rates& rates) {
    if (!PositiveFinite(price) || !PositiveFinite(s) || !PositiveFinite(k) || !PositiveFinite(t) ||
        !std::isfinite(rates.r) || !std::isfinite(rates.q)) {
        return std::nullopt;
    }
    auto f = [&](double sigma) { return Evaluate(side, s, k, t, rates, sigma); };
    // The price rises with sigma, so the two ends decide whether any sigma fits.
    const double atLow = f(kMinVolatility).price - price;
    const double atHigh = f(kMaxVolatility).price - price;
    if (atLow > kPriceTolerance || atHigh < -kPriceTolerance) {
        return std::nullopt;
    }
    if (atLow >= 0) {
        return kMinVolatility;
    }
    if (atHigh <= 0) {
        return kMaxVolatility;
    }

    // Newton from the inflection point of the price in sigma converges without overshooting
    // (Manaster and Koehler); the bracket catches what rounding and flat vega still do.
    double lo = kMinVolatility;
    double hi = kMaxVolatility;
    const double forward = std::log(s / k) + (rates.r - rates.q) * t;
    double x = std::sqrt(2 * std::abs(forward) / t);
    if (!(x > 0.05)) {
        x = 0.2;
    }
    x = std::clamp(x, lo, hi);
    double best = x;
    double bestError = HUGE_VAL;
    for (int i = 0; i < 200; ++i) {
        const PriceAndVega pv = f(x);
        const double diff = pv.price - price;
        if (std::abs(diff) < bestError) {
            best = x;
            bestError = std::abs(diff);
        }
        if (std::abs(diff) <= 1e-3 * kPriceTolerance) {
            break;
        }
        (diff < 0 ? lo : hi) = x;
        if (hi - lo <= 1e-15 * hi) {
            break;
        }
        double next = x - diff / pv.vega;
        if (!(next > lo && next < hi)) {
            next = 0.5 * (lo + hi);
        }
        x = next;
    }
    if (bestError > kPriceTolerance) {
        return std::nullopt;
    }
    return best;
}

}  // namespace rendaal
