#include "analytics/black_scholes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

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

namespace {

// One quote in forward terms: what does not depend on sigma is worked out once per solve.
struct ForwardQuote {
    double forward;
    double strike;
    double sqrtT;
    double x;  // ln(forward / strike)
    // The out-of-the-money side: its price carries the time value without the intrinsic value
    // that would cancel digits away.
    bool callIsOtm;
};

struct OtmValue {
    double price;  // undiscounted
    double vega;
    double volga;  // d vega / d sigma
};

OtmValue OtmAt(const ForwardQuote& q, double sigma) {
    const double sd = sigma * q.sqrtT;
    const double d1 = q.x / sd + 0.5 * sd;
    const double d2 = d1 - sd;
    const double price = q.callIsOtm ? q.forward * NormalCdf(d1) - q.strike * NormalCdf(d2)
                                     : q.strike * NormalCdf(-d2) - q.forward * NormalCdf(-d1);
    const double vega = q.forward * NormalPdf(d1) * q.sqrtT;
    return {price, vega, vega * d1 * d2 / sigma};
}

struct Root {
    double sigma;
    double priceError;  // discounted, at the last sigma evaluated
};

// Halley's step on g(sigma) = ln price - ln target: cubic convergence for a few more products.
double HalleyStep(const OtmValue& v, double g, double sigma) {
    const double g1 = v.vega / v.price;
    const double g2 = (v.volga * v.price - v.vega * v.vega) / (v.price * v.price);
    const double denominator = 2 * g1 * g1 - g * g2;
    return denominator > 0 ? sigma - 2 * g * g1 / denominator : sigma - g / g1;
}

// Assumes the target lies strictly between the prices at the two ends of the volatility range.
// Steps on the logarithm of the price: it is concave in sigma, so the iterates do not run off,
// also deep in the wings where the price itself is flat and then steep. The bracket catches
// rounding.
Root SolveOtm(const ForwardQuote& q, double target, double discount) {
    const double logTarget = std::log(target);
    double lo = kMinVolatility;
    double hi = kMaxVolatility;
    // The inflection point of the price in sigma (Manaster and Koehler); at the money, where it
    // is zero, the price is nearly linear in sigma.
    double sigma = std::sqrt(2 * std::abs(q.x)) / q.sqrtT;
    if (!(sigma > 0.05)) {
        sigma = std::sqrt(2 * std::numbers::pi) * target / q.forward / q.sqrtT;
    }
    sigma = std::clamp(sigma, lo, hi);
    double priceError = HUGE_VAL;
    for (int i = 0; i < 100; ++i) {
        const OtmValue v = OtmAt(q, sigma);
        priceError = discount * (v.price - target);
        double next = lo;  // an underflowed price lies far below the root
        if (v.price > 0 && v.vega > 0) {
            const double g = std::log(v.price) - logTarget;
            if (g == 0) {
                break;
            }
            (g < 0 ? lo : hi) = sigma;
            next = HalleyStep(v, g, sigma);
        } else {
            lo = sigma;
        }
        if (!(next > lo && next < hi)) {
            next = std::sqrt(lo * hi);
        }
        const double step = next - sigma;
        sigma = next;
        if (std::abs(step) <= 1e-13 * sigma || hi - lo <= 1e-15 * hi) {
            break;
        }
    }
    return {sigma, priceError};
}

}  // namespace

std::optional<double> ImpliedVolatility(OptionSide side, double price, double s, double k, double t,
                                        const Rates& rates) {
    if (!PositiveFinite(price) || !PositiveFinite(s) || !PositiveFinite(k) || !PositiveFinite(t) ||
        !std::isfinite(rates.r) || !std::isfinite(rates.q)) {
        return std::nullopt;
    }
    const double discount = std::exp(-rates.r * t);
    ForwardQuote q{};
    q.forward = s * std::exp((rates.r - rates.q) * t);
    q.strike = k;
    q.sqrtT = std::sqrt(t);
    q.x = std::log(q.forward / k);
    q.callIsOtm = q.x <= 0;
    if (!PositiveFinite(q.forward) || !std::isfinite(q.x) || !(discount > 0)) {
        return std::nullopt;
    }
    // Put-call parity moves an in-the-money quote to the other side.
    const bool quotedOtm = (side == OptionSide::Call) == q.callIsOtm;
    const double target = price / discount - (quotedOtm ? 0 : std::abs(q.forward - k));

    // The price rises with sigma, so the two ends decide whether any sigma fits.
    const double atLow = discount * (OtmAt(q, kMinVolatility).price - target);
    const double atHigh = discount * (OtmAt(q, kMaxVolatility).price - target);
    if (atLow > kPriceTolerance || atHigh < -kPriceTolerance) {
        return std::nullopt;
    }
    if (atLow >= 0) {
        return kMinVolatility;
    }
    if (atHigh <= 0) {
        return kMaxVolatility;
    }

    const Root root = SolveOtm(q, target, discount);
    // The last step was below a ulp's worth of price, so the last error stands for the result.
    if (std::abs(root.priceError) > kPriceTolerance) {
        return std::nullopt;
    }
    return root.sigma;
}

}  // namespace rendaal
