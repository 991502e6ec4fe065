#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analytics/black_scholes.h"
#include "analytics/overview.h"
#include "core/calendar.h"

// What if: the result of the sold combination across index levels, dates and a volatility
// shift, priced with the volatilities its last prices imply.
namespace rendaal {

// Volatility shifts the user can choose, in volatility points.
inline constexpr int kScenarioShifts[] = {-5, 0, 5};
// A shifted volatility never drops below this (1 %).
inline constexpr double kScenarioMinSigma = 0.01;
inline constexpr int kScenarioMaxFridays = 26;
inline constexpr int kScenarioPercentSteps = 10;  // -10 % .. +10 % of today's level

struct ScenarioInput {
    Strikes strikes;
    std::optional<double> somFirst;  // premium received, first usable row
    std::optional<double> level;     // index level of the last usable row
    std::optional<double> ivPut;
    std::optional<double> ivCall;
    std::optional<Date> expiry;
    Date today;
    Rates rates;
};
ScenarioInput ScenarioInputOf(const OverviewRow& row, const Date& today, const Rates& rates);

enum ScenarioMark : unsigned { kMarkNone = 0, kMarkToday = 1, kMarkBeLow = 2, kMarkBeHigh = 4 };

struct ScenarioColumn {
    double level = 0;
    unsigned marks = kMarkNone;
};

struct ScenarioDate {
    Date date;
    bool expiry = false;
    // Where the result crosses zero on this date; empty where it does not (or cannot be known).
    std::optional<double> beLow;
    std::optional<double> beHigh;
};

struct ScenarioGrid {
    int shift = 0;  // volatility points
    std::vector<ScenarioColumn> columns;
    std::vector<ScenarioDate> dates;
    // Euro per contract, dates.size() rows of columns.size(); empty where a leg has no
    // volatility.
    std::vector<std::optional<double>> results;
    // Why there is no grid at all (Dutch, for the user); empty when there is one.
    std::string problem;
    // Set when cells are empty for lack of a volatility (Dutch, for the user).
    std::string note;

    std::optional<double> At(size_t date, size_t column) const {
        return results[date * columns.size() + column];
    }
    std::optional<size_t> TodayColumn() const;
};

// The combination's value at level on date: the legs' Black-Scholes values with their
// volatilities shifted by shift points (floored at kScenarioMinSigma), the intrinsic value on
// and after expiry. Empty when a leg needs a volatility it does not have.
std::optional<double> ScenarioValue(const ScenarioInput& in, double level, const Date& date,
                                    int shift);
// (somFirst - value) x 100.
std::optional<double> ScenarioResult(const ScenarioInput& in, double level, const Date& date,
                                     int shift);

// Today, the Fridays after it before expiry (the first kScenarioMaxFridays), and expiry; empty
// after expiry.
std::vector<Date> ScenarioDates(const Date& today, const Date& expiry);

ScenarioGrid ComputeScenario(const ScenarioInput& in, int shift);

// "date,level,result_eur" and one record per cell, CR LF, "." decimals, ISO dates.
std::string ScenarioCsv(const ScenarioGrid& grid);
// Per date its result at today's level and its break-evens, for people; lines end with LF.
std::string ScenarioTable(const ScenarioGrid& grid);
// What a screen reader says of the grid: the result today and at expiry at today's level, and
// where the break-evens will be.
std::string ScenarioDescription(const ScenarioGrid& grid);
// "Scenario Strangle AEX 2703 00880.00 00960.00, volatiliteit +5 punten" for a history file.
std::string ScenarioTitle(std::string_view historyFileName, int shift);
std::string ShiftText(int shift);  // "+5", "0", "-5"
// One cell as the read-out shows it: "vr 11-12-2026, AEX 905,00 (−1 %): € 1.234".
std::string ScenarioCellText(const ScenarioGrid& grid, size_t date, size_t column);

}  // namespace rendaal
