#include "analytics/scenario.h"

#include <algorithm>
#include <cmath>

#include "analytics/report.h"
#include "core/money.h"

namespace rendaal {
namespace {

constexpr int kFriday = 6;

std::optional<double> Shifted(const std::optional<double>& iv, int shift) {
    if (!iv || !std::isfinite(*iv)) {
        return std::nullopt;
    }
    return std::max(*iv + shift / 100.0, kScenarioMinSigma);
}

double Cents(double v) {
    return std::round(v * 100) / 100;
}

bool HasLeg(const ScenarioInput& in) {
    return in.strikes.put || in.strikes.call;
}

// somFirst - value on one date, as a function of the level; the sign is the result's.
struct Margin {
    const ScenarioInput& in;
    Date date;
    int shift;
    double operator()(double level) const {
        return *in.somFirst - ScenarioValue(in, level, date, shift).value_or(NAN);
    }
};

// Regula falsi with the Illinois change on the logarithm of the level: a (where m > 0) and b
// (where m < 0) bracket the crossing, which is kept through every step.
double Crossing(const Margin& m, double a, double b) {
    double xa = std::log(a), xb = std::log(b);
    double fa = m(a), fb = m(b);
    int side = 0;
    for (int i = 0; i < 200 && std::abs(xb - xa) > 1e-13; ++i) {
        double x = (xa * fb - xb * fa) / (fb - fa);
        if (!(x > std::min(xa, xb) && x < std::max(xa, xb))) {
            x = 0.5 * (xa + xb);
        }
        const double f = m(std::exp(x));
        if (f == 0) {
            return std::exp(x);
        }
        if ((f > 0) == (fa > 0)) {
            xa = x;
            fa = f;
            if (side == -1) {
                fb /= 2;
            }
            side = -1;
        } else {
            xb = x;
            fb = f;
            if (side == 1) {
                fa /= 2;
            }
            side = 1;
        }
    }
    return std::exp(0.5 * (xa + xb));
}

// From a level with a profit outwards (factor 2 up, 1/2 down) to the first loss, then the
// crossing in between; empty when the result stays a profit that way.
std::optional<double> Outward(const Margin& m, double from, double factor) {
    double inner = from;
    for (int i = 0; i < 80; ++i) {
        const double outer = inner * factor;
        const double f = m(outer);
        if (std::isnan(f)) {
            return std::nullopt;
        }
        if (f < 0) {
            return Crossing(m, inner, outer);
        }
        inner = outer;
    }
    return std::nullopt;
}

// A level where the result is a profit, as good as any to search outwards from: the top of the
// result curve when both legs are there. Empty when there is none.
std::optional<double> ProfitLevel(const Margin& m, const ScenarioInput& in, double t) {
    const Strikes& k = in.strikes;
    std::optional<double> level;
    if (k.put && k.call) {
        if (t <= 0) {
            level = 0.5 * (*k.put + *k.call);
        } else {
            // The deltas of both legs cancel where d1 of the call is minus d1 of the put, which
            // is linear in the logarithm of the level.
            const double sp = *Shifted(in.ivPut, m.shift), sc = *Shifted(in.ivCall, m.shift);
            const double drift = in.rates.r - in.rates.q;
            const double ap = std::log(*k.put) - (drift + 0.5 * sp * sp) * t;
            const double ac = std::log(*k.call) - (drift + 0.5 * sc * sc) * t;
            level = std::exp((ac * sp + ap * sc) / (sp + sc));
        }
    } else {
        // One leg: its value fades away from the strike, leaving the premium.
        const bool put = k.put.has_value();
        double x = put ? *k.put : *k.call;
        for (int i = 0; i < 80 && !(m(x) > 0); ++i) {
            x = put ? x * 2 : x / 2;
        }
        level = x;
    }
    if (!level || !std::isfinite(*level) || !(m(*level) > 0)) {
        return std::nullopt;
    }
    return level;
}

void FindBreakEvens(const ScenarioInput& in, int shift, ScenarioDate& d) {
    const double t = YearsBetween(d.date, *in.expiry);
    const Margin m{in, d.date, shift};
    if (std::isnan(m(*in.level))) {
        return;  // a leg without a volatility
    }
    const auto top = ProfitLevel(m, in, t);
    if (!top) {
        return;
    }
    if (in.strikes.put) {
        d.beLow = Outward(m, *top, 0.5);
    }
    if (in.strikes.call) {
        d.beHigh = Outward(m, *top, 2);
    }
}

std::string Level(double v) {
    return FormatFixed(v, 2, ',');
}

std::string Euros(double v) {
    return FormatMoney(v);
}

std::string LegsWithoutIv(const ScenarioInput& in) {
    const bool put = in.strikes.put && !in.ivPut;
    const bool call = in.strikes.call && !in.ivCall;
    return put && call ? "put en call" : put ? "put" : call ? "call" : "";
}

}  // namespace

ScenarioInput ScenarioInputOf(const OverviewRow& row, const Date& today, const Rates& rates) {
    return {row.strikes, row.somFirst, row.aexLast, row.ivPut,
            row.ivCall,  row.expiry,   today,       rates};
}

std::optional<size_t> ScenarioGrid::TodayColumn() const {
    for (size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].marks & kMarkToday) {
            return i;
        }
    }
    return std::nullopt;
}

std::optional<double> ScenarioValue(const ScenarioInput& in, double level, const Date& date,
                                    int shift) {
    if (!in.expiry || !HasLeg(in) || !std::isfinite(level)) {
        return std::nullopt;
    }
    const double t = YearsBetween(date, *in.expiry);
    if (t <= 0) {
        return IntrinsicValue(in.strikes, level);
    }
    double v = 0;
    if (in.strikes.put) {
        const auto sigma = Shifted(in.ivPut, shift);
        if (!sigma) {
            return std::nullopt;
        }
        v += BlackScholesPrice(OptionSide::Put, level, *in.strikes.put, t, in.rates, *sigma);
    }
    if (in.strikes.call) {
        const auto sigma = Shifted(in.ivCall, shift);
        if (!sigma) {
            return std::nullopt;
        }
        v += BlackScholesPrice(OptionSide::Call, level, *in.strikes.call, t, in.rates, *sigma);
    }
    return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

std::optional<double> ScenarioResult(const ScenarioInput& in, double level, const Date& date,
                                     int shift) {
    const auto v = ScenarioValue(in, level, date, shift);
    if (!v || !in.somFirst) {
        return std::nullopt;
    }
    const double r = (*in.somFirst - *v) * 100;
    return std::isfinite(r) ? std::optional<double>(r) : std::nullopt;
}

std::vector<Date> ScenarioDates(const Date& today, const Date& expiry) {
    const int64_t first = DayNumber(today);
    const int64_t last = DayNumber(expiry);
    std::vector<Date> dates;
    if (first > last) {
        return dates;
    }
    dates.push_back(today);
    const int64_t toFriday = (kFriday - Weekday(today) + 7) % 7;
    int fridays = 0;
    for (int64_t d = first + (toFriday == 0 ? 7 : toFriday);
         d < last && fridays < kScenarioMaxFridays; d += 7, ++fridays) {
        dates.push_back(FromDayNumber(d));
    }
    if (last > first) {
        dates.push_back(expiry);
    }
    return dates;
}

ScenarioGrid ComputeScenario(const ScenarioInput& in, int shift) {
    ScenarioGrid g;
    g.shift = shift;
    if (!HasLeg(in)) {
        g.problem = "Geen leesbare strikes in de naam van het koersbestand";
    } else if (!in.expiry) {
        g.problem = "Geen expiratiedatum in de naam van het koersbestand";
    } else if (!in.somFirst || !std::isfinite(*in.somFirst)) {
        g.problem = "Geen bruikbare regel in het koersbestand";
    } else if (!in.level || !(*in.level > 0) || !std::isfinite(*in.level)) {
        g.problem = "Geen AEX-stand in de laatste regel van het koersbestand";
    } else if (DayNumber(in.today) > DayNumber(*in.expiry)) {
        g.problem = "De combinatie is verlopen op " + FormatDmy(*in.expiry);
    }
    if (!g.problem.empty()) {
        return g;
    }
    const double today = *in.level;
    for (int p = -kScenarioPercentSteps; p <= kScenarioPercentSteps; ++p) {
        g.columns.push_back({Cents(today * (1 + p / 100.0)), p == 0 ? kMarkToday : kMarkNone});
    }
    auto mark = [&g](std::optional<double> level, unsigned flag) {
        if (!level || !(*level > 0) || !std::isfinite(*level)) {
            return;
        }
        const double at = Cents(*level);
        const auto it =
            std::lower_bound(g.columns.begin(), g.columns.end(), at,
                             [](const ScenarioColumn& c, double v) { return c.level < v; });
        if (it != g.columns.end() && it->level == at) {
            it->marks |= flag;
        } else {
            g.columns.insert(it, {at, flag});
        }
    };
    if (in.strikes.put) {
        mark(*in.strikes.put - *in.somFirst, kMarkBeLow);
    }
    if (in.strikes.call) {
        mark(*in.strikes.call + *in.somFirst, kMarkBeHigh);
    }
    for (const Date& d : ScenarioDates(in.today, *in.expiry)) {
        ScenarioDate row{d, DayNumber(d) == DayNumber(*in.expiry), std::nullopt, std::nullopt};
        FindBreakEvens(in, shift, row);
        g.dates.push_back(row);
        for (const auto& c : g.columns) {
            g.results.push_back(ScenarioResult(in, c.level, d, shift));
        }
    }
    const std::string missing = LegsWithoutIv(in);
    if (!missing.empty()) {
        g.note = "Geen impliciete volatiliteit voor de " + missing +
                 ": alleen de expiratiedatum is berekend";
    }
    return g;
}

std::string ScenarioCsv(const ScenarioGrid& grid) {
    std::string out = "date,level,result_eur\r\n";
    for (size_t d = 0; d < grid.dates.size(); ++d) {
        const std::string date = FormatIsoDate(grid.dates[d].date);
        for (size_t c = 0; c < grid.columns.size(); ++c) {
            out += date + "," + FormatFixed(grid.columns[c].level, 2) + "," +
                   FormatFixed(grid.At(d, c), 2) + "\r\n";
        }
    }
    return out;
}

std::string ShiftText(int shift) {
    return (shift > 0 ? "+" : "") + std::to_string(shift);
}

std::string ScenarioTitle(std::string_view historyFileName, int shift) {
    std::string name(historyFileName.substr(0, historyFileName.rfind(".csv")));
    std::replace(name.begin(), name.end(), '_', ' ');
    return "Scenario " + name + ", volatiliteit " + ShiftText(shift) + " punten";
}

std::string ScenarioTable(const ScenarioGrid& grid) {
    const auto today = grid.TodayColumn();
    if (!today) {
        return grid.problem + "\n";
    }
    char head[160];
    std::snprintf(head, sizeof head, "%-12s%16s%12s%12s\n", "Datum", "Resultaat \xE2\x82\xAC",
                  "BE laag", "BE hoog");
    std::string out = "Volatiliteit " + ShiftText(grid.shift) + " punten, AEX nu " +
                      Level(grid.columns[*today].level) + "\n" + head;
    for (size_t d = 0; d < grid.dates.size(); ++d) {
        const ScenarioDate& row = grid.dates[d];
        char line[160];
        std::snprintf(line, sizeof line, "%-12s%14s%12s%12s%s\n", FormatDmy(row.date).c_str(),
                      FormatFixed(grid.At(d, *today), 2, ',').c_str(),
                      FormatFixed(row.beLow, 2, ',').c_str(),
                      FormatFixed(row.beHigh, 2, ',').c_str(), row.expiry ? "  expiratie" : "");
        out += line;
    }
    return out;
}

std::string ScenarioDescription(const ScenarioGrid& grid) {
    const auto today = grid.TodayColumn();
    if (!today || grid.dates.empty()) {
        return grid.problem;
    }
    auto result = [&](size_t d) {
        const auto r = grid.At(d, *today);
        return r ? Euros(*r) : std::string("onbekend");
    };
    auto breakEvens = [](const ScenarioDate& d) {
        std::vector<std::string> parts;
        for (const auto& be : {d.beLow, d.beHigh}) {
            if (be) {
                parts.push_back(Level(*be));
            }
        }
        return parts.empty()       ? std::string("geen")
               : parts.size() == 1 ? parts[0]
                                   : parts[0] + " en " + parts[1];
    };
    const ScenarioDate& first = grid.dates.front();
    const ScenarioDate& last = grid.dates.back();
    std::string text = "Resultaat bij de AEX van nu (" + Level(grid.columns[*today].level) +
                       "): vandaag " + result(0);
    if (grid.dates.size() > 1) {
        text +=
            ", op de expiratiedatum " + FormatDmy(last.date) + " " + result(grid.dates.size() - 1);
    }
    text += ". Break-evens vandaag: " + breakEvens(first);
    if (grid.dates.size() > 1) {
        text += "; op de expiratiedatum: " + breakEvens(last);
    }
    text += ".";
    if (!grid.note.empty()) {
        text += " " + grid.note + ".";
    }
    return text;
}

std::string ScenarioCellText(const ScenarioGrid& grid, size_t date, size_t column) {
    if (date >= grid.dates.size() || column >= grid.columns.size()) {
        return {};
    }
    const ScenarioDate& d = grid.dates[date];
    const ScenarioColumn& c = grid.columns[column];
    std::string text = FormatDmy(d.date);
    if (date == 0) {
        text += " (vandaag)";
    } else if (d.expiry) {
        text += " (expiratie)";
    }
    text += ", AEX " + Level(c.level);
    if (const auto today = grid.TodayColumn()) {
        // Rounded first, so that today's column reads "0,0 %", not "-0,0 %".
        const double pct = std::round((c.level / grid.columns[*today].level - 1) * 1000) / 10;
        text += " (" + std::string(pct > 0 ? "+" : "") + FormatFixed(pct == 0 ? 0.0 : pct, 1, ',') +
                " %)";
    }
    const auto r = grid.At(date, column);
    text += ": " + (r ? Euros(*r) : std::string("onbekend (geen volatiliteit)"));
    if (c.marks & (kMarkBeLow | kMarkBeHigh)) {
        text += ", break-even bij expiratie";
    }
    return text;
}

}  // namespace rendaal
