#pragma once

#include <optional>

#include "analytics/black_scholes.h"

// What can happen next to a sold combination: its Greeks per contract, the chance that it ends
// in profit and the move the market expects, all from the last row's volatilities.
namespace rendaal {

// One long option, per unit of the index, theta per year and vega per unit of sigma. Empty
// when s, k, t or sigma is not a finite positive number.
struct OptionGreeks {
    double delta = 0;
    double gamma = 0;
    double theta = 0;
    double vega = 0;
};
std::optional<OptionGreeks> GreeksOf(OptionSide side, double s, double k, double t,
                                     const Rates& rates, double sigma);

// The legs the seller holds short; an absent strike is an absent leg.
struct ShortLegs {
    std::optional<double> putStrike;
    std::optional<double> callStrike;
    std::optional<double> ivPut;
    std::optional<double> ivCall;
};

// Per contract of 100 times the index: euro per index point (delta), change of delta per
// point (gamma), euro per calendar day (thetaDay), euro per volatility point (vega); the chance
// of profit at expiry in percent (pop) and the expected move in index points (em). A figure is
// empty when an input it needs is.
struct RiskFigures {
    std::optional<double> delta;
    std::optional<double> gamma;
    std::optional<double> thetaDay;
    std::optional<double> vega;
    std::optional<double> pop;
    std::optional<double> em;
};
RiskFigures RiskOf(const ShortLegs& legs, std::optional<double> s, double t,
                   std::optional<double> beLow, std::optional<double> beHigh, const Rates& rates);

}  // namespace rendaal
