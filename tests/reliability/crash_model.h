#pragma once

#include <string>
#include <vector>

#include "core/calendar.h"
#include "download/history.h"

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

inline std::string CrashFields(long n) {
    return "; " + std::to_string(n % 90 + 10) + "," + std::to_string(n % 9) + "0; 0" +
           std::to_string(n % 10) + ",#" + std::to_string(n);
}

inline double CrashSom(long n) {
    return static_cast<double>(n % 90 + 10);
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
