#pragma once

// The benchmark histories: COUNT strangles of ROWS weekday lines each, as the window's
// benchmarks make them.
#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/calendar.h"
#include "core/market_hours.h"

namespace rendaal::bench {

inline std::string Money(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    s[s.find('.')] = ',';
    return s;
}

// COUNT strangle histories of ROWS weekday lines ending Friday 4-12-2026, and their rules file.
inline void MakeHistories(const std::string& folder, int count, int rows) {
    std::filesystem::create_directories(folder);
    std::vector<Date> days;
    for (int64_t d = DayNumber(Date{2026, 12, 4}); static_cast<int>(days.size()) < rows; --d) {
        const Date date = FromDayNumber(d);
        if (IsWorkingDay(date)) {
            days.insert(days.begin(), date);
        }
    }
    static const char* months[] = {"jan", "feb", "mrt", "apr", "mei", "jun",
                                   "jul", "aug", "sep", "okt", "nov", "dec"};
    std::mt19937 random(3);
    std::normal_distribution<double> step(0, 0.01);
    std::string rules;
    for (int i = 0; i < count; ++i) {
        const int y = 2027 + i / 120;
        const int m = std::array{3, 6, 9, 12}[static_cast<size_t>((i / 30) % 4)];
        const int put = 700 + (i % 30) * 10;
        const int call = put + 100;
        char line[200];
        std::snprintf(line, sizeof line,
                      "AEX %02d%02d %08.2f %08.2f; Put: %s %d %.2f; Call: %s %d %.2f; Strangle\r\n",
                      y % 100, m, double(put), double(call), months[m - 1], y, double(put),
                      months[m - 1], y, double(call));
        rules += line;
        char name[100];
        std::snprintf(name, sizeof name, "Strangle_AEX_%02d%02d_%08.2f_%08.2f.csv", y % 100, m,
                      double(put), double(call));
        std::string text = "Datum; Put; Call; Som; AEX\r\n";
        double aex = 900;
        for (const auto& d : days) {
            aex *= 1 + step(random);
            const double p = std::max(0.05, put - aex + 25);
            const double c = std::max(0.05, aex - call + 25);
            char row[120];
            std::snprintf(row, sizeof row, "%02d-%02d-%04d 17:35:00; ", d.day, d.month, d.year);
            text +=
                row + Money(p) + "; " + Money(c) + "; " + Money(p + c) + "; " + Money(aex) + "\r\n";
        }
        std::ofstream(folder + name, std::ios::binary) << text;
    }
    std::ofstream(folder + "Regels.dat", std::ios::binary) << rules;
}

}  // namespace rendaal::bench
