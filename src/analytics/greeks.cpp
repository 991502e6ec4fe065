#include "analytics/greeks.h"

#include <algorithm>
#include <cmath>

namespace rendaal {
namespace {

constexpr double kContract = 100;
constexpr double kDaysPerYear = 365;

double Cdf(double x) {
    return 0.5 * std::erfc(-x * 0.70710678118654752440);
}

double Pdf(double x) {
    return 0.39894228040143267794 * std::exp(-0.5 * x * x);
}

bool Positive(double x) {
    return std::isfinite(x) && x > 0;
}

double D2(double s, double x, double t, const Rates& rates, double sigma) {
    return (std::log(s / x) + (rates.r - rates.q - 0.5 * sigma * sigma) * t) /
           (sigma * std::sqrt(t));
}

std::optional<double> Finite(double x) {
    return std::isfinite(x) ? std::optional<double>(x) : std::nullopt;
}

// The probability that the index ends below x (put side) or above x (call side).
std::optional<double> Beyond(OptionSide side, double s, std::optional<double> x,
                             std::optional<double> sigma, double t, const Rates& rates) {
    if (!x) {
        return std::nullopt;
    }
    // The index cannot end at or below zero.
    if (side == OptionSide::Put && *x <= 0) {
        return 0.0;
    }
    if (!sigma || !Positive(*sigma) || !Positive(*x)) {
        return std::nullopt;
    }
    const double d2 = D2(s, *x, t, rates, *sigma);
    return Cdf(side == OptionSide::Put ? -d2 : d2);
}

}  // namespace

std::optional<OptionGreeks> GreeksOf(OptionSide side, double s, double k, double t,
                                     const Rates& rates, double sigma) {
    if (!Positive(s) || !Positive(k) || !Positive(t) || !Positive(sigma) ||
        !std::isfinite(rates.r) || !std::isfinite(rates.q)) {
        return std::nullopt;
    }
    const double sqrtT = std::sqrt(t);
    const double d1 =
        (std::log(s / k) + (rates.r - rates.q + 0.5 * sigma * sigma) * t) / (sigma * sqrtT);
    const double d2 = d1 - sigma * sqrtT;
    const double eq = std::exp(-rates.q * t);
    const double er = std::exp(-rates.r * t);
    const double decay = -eq * s * Pdf(d1) * sigma / (2 * sqrtT);
    OptionGreeks g;
    g.gamma = eq * Pdf(d1) / (s * sigma * sqrtT);
    g.vega = s * eq * Pdf(d1) * sqrtT;
    if (side == OptionSide::Call) {
        g.delta = eq * Cdf(d1);
        g.theta = decay - rates.r * k * er * Cdf(d2) + rates.q * s * eq * Cdf(d1);
    } else {
        g.delta = -eq * Cdf(-d1);
        g.theta = decay + rates.r * k * er * Cdf(-d2) - rates.q * s * eq * Cdf(-d1);
    }
    return g;
}

RiskFigures RiskOf(const ShortLegs& legs, std::optional<double> s, double t,
                   std::optional<double> beLow, std::optional<double> beHigh, const Rates& rates) {
    RiskFigures f;
    if (!s || !Positive(*s) || !Positive(t) || (!legs.putStrike && !legs.callStrike)) {
        return f;
    }
    OptionGreeks sum;
    bool complete = true;
    double sigmaSum = 0;
    int legCount = 0;
    auto add = [&](OptionSide side, const std::optional<double>& k,
                   const std::optional<double>& sigma) {
        if (!k) {
            return;
        }
        const auto g = sigma ? GreeksOf(side, *s, *k, t, rates, *sigma) : std::nullopt;
        if (!g) {
            complete = false;
            return;
        }
        sum.delta += g->delta;
        sum.gamma += g->gamma;
        sum.theta += g->theta;
        sum.vega += g->vega;
        sigmaSum += *sigma;
        ++legCount;
    };
    add(OptionSide::Put, legs.putStrike, legs.ivPut);
    add(OptionSide::Call, legs.callStrike, legs.ivCall);
    if (complete) {
        f.delta = Finite(-kContract * sum.delta);
        f.gamma = Finite(-kContract * sum.gamma);
        f.thetaDay = Finite(-kContract * sum.theta / kDaysPerYear);
        // Per volatility point: -100 x vega per unit sigma / 100.
        f.vega = Finite(-sum.vega);
        f.em = Finite(*s * sigmaSum / legCount * std::sqrt(t));
    }
    const auto below = legs.putStrike ? Beyond(OptionSide::Put, *s, beLow, legs.ivPut, t, rates)
                                      : std::optional<double>(0.0);
    const auto above = legs.callStrike ? Beyond(OptionSide::Call, *s, beHigh, legs.ivCall, t, rates)
                                       : std::optional<double>(0.0);
    if (below && above) {
        // Each tail has its own leg's volatility, so with volatilities far apart the tails can
        // overlap and add up to more than the whole.
        f.pop = Finite(100 * std::clamp(1 - *below - *above, 0.0, 1.0));
    }
    return f;
}

}  // namespace rendaal
