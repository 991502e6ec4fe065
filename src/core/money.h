#pragma once

#include <string>

// The program's one way of writing an amount in euro, in every window, chart and notice:
// "€" then the number, a point between the thousands and a decimal comma, a minus sign before
// the digits ("€2.219", "€-310", "€8,05").
namespace rendaal {

// The number part alone: "2.219", "-1.234,50". Non-finite values give "".
std::string FormatGrouped(double value, int decimals);
std::string FormatMoney(double euros, int decimals = 0);

}  // namespace rendaal
