#pragma once

#include <cmath>
#include <string>
#include <vector>

#include "core/calendar.h"
#include "core/clock.h"
#include "download/download_run.h"
#include "quotesim/quote_server.h"
#include "support/test_support.h"

namespace rendaal::reliability {

inline constexpr Date kMarketDay{2026, 12, 7};
inline const DateTime kRunTime{2026, 12, 7, 18, 0, 0, 0};

// Three combinations that the loopback market of kMarketDay lists.
inline std::vector<std::string> MarketLines(double level) {
    const int c = static_cast<int>(std::nearbyint(level / 5.0)) * 5;
    const auto s = [](int strike) { return std::to_string(strike) + ".00"; };
    return {
        "AEX 2612 00" + s(c) + " 00" + s(c) + "; Put: dec 2026 " + s(c) + "; Call: dec 2026 " +
            s(c) + "; Straddle",
        "AEX 2612 00" + s(c - 10) + " 00" + s(c + 10) + "; Put: dec 2026 " + s(c - 10) +
            "; Call: dec 2026 " + s(c + 10) + "; Strangle",
        "AEX 2701 00" + s(c) + " 00Geen; Put: jan 2027 " + s(c) + "; Call: jan 2027 Geen; Single",
    };
}

inline quotesim::ServerOptions MarketOptions() {
    quotesim::ServerOptions options;
    options.today = kMarketDay;
    return options;
}

// Environment of one run against base (both pages), with the market's lines.
inline RunEnvironment MarketRun(const Clock& clock, PageFetcher& fetcher, const std::string& folder,
                                const std::string& base, const std::vector<std::string>& lines,
                                double level) {
    RunEnvironment env;
    env.clock = &clock;
    env.fetcher = &fetcher;
    env.dataFolder = folder;
    env.lines = [lines] { return lines; };
    env.years = [] { return 1; };
    env.lastHistoryIndexValue = [level] { return level; };
    env.indexUrlBase = base;
    env.optionUrlBase = base;
    return env;
}

}  // namespace rendaal::reliability
