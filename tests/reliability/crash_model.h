#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "core/calendar.h"
#include "history/history_file.h"

// The lines the crash loop's writer appends: line n is dated on working day n / 2, so every second
// append merges with the one before it at compaction.
namespace rendaal::reliability {

inline constexpr const char* kCrashFile = "Strangle_AEX_2612_00940.00_00950.00.csv";

inline DateTime CrashNow(long n) {
    const long day = n / 2;
    // Monday 4 January 2027 plus whole weeks, Monday to Friday, so no stamp moves to Friday.
    const DateTime monday{2027, 1, 4, 10, static_cast<int>(n % 2), 0, 0};
    return AddDays(monday, static_cast<int>(day / 5 * 7 + day % 5));
}

inline double CrashSom(long n) {
    return static_cast<double>(n % 90 + 10);
}

// The call price carries the append's number: 100 + n / 100, its cents n % 100.
inline std::string CrashFields(long n) {
    const long cents = n % 100;
    return "; " + std::to_string(n % 90 + 10) + "," + std::to_string(n % 9) + "0; " +
           std::to_string(100 + n / 100) + (cents < 10 ? ",0" : ",") + std::to_string(cents);
}

// The number of the append a line of CrashLine holds; -1 for any other line.
inline long CrashNumber(const std::string& line) {
    const auto call = line.find("; ", line.find("; ") + 2);
    const auto comma = line.find(',', call);
    if (call == std::string::npos || comma == std::string::npos || comma + 3 > line.size()) {
        return -1;
    }
    const long n = (std::atol(line.c_str() + call + 2) - 100) * 100 +
                   std::atol(line.substr(comma + 1, 2).c_str());
    return n >= 0 && line == HistoryLine(CrashNow(n), CrashFields(n), "949,86", CrashSom(n)) ? n
                                                                                             : -1;
}

inline std::string CrashLine(long n) {
    return HistoryLine(CrashNow(n), CrashFields(n), "949,86", CrashSom(n));
}

// The file after appends 0..last, compacted; with an extra line appended after it when
// uncompactedNext.
inline std::string CrashFileText(long last, bool uncompactedNext = false) {
    std::string text(kHistoryHeader);
    text += "\r\n";
    for (long n = 0; n <= last; ++n) {
        if (n % 2 == 1) {
            continue;
        }
        const long kept = n + 1 <= last ? n + 1 : n;
        text += CrashLine(kept) + "\r\n";
    }
    if (uncompactedNext) {
        text += CrashLine(last + 1) + "\r\n";
    }
    return text;
}

}  // namespace rendaal::reliability
