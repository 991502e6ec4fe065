#pragma once

#include <cstdint>
#include <string>

#include "analytics/black_scholes.h"

namespace rendaal {

// The rate and dividend yield as stored ("Rente", "Dividend"); a stored text that is not a
// number takes its default, and the user is told so once per program run.
Rates WindowRates();
// The stored "Theorie" switch of the block chart (default off).
bool TheoryViewStored();
bool StoreTheoryView(bool on);
// The stored "Theorie dagen": days after today of the "Theorie" line; 0 when missing or out of
// range.
int64_t TheoryDaysStored();
bool StoreTheoryDays(int64_t days);
// The hover read-out's lines for the combination's last row when "Theorie" is on.
std::string TheoryHoverFor(const std::string& folder, const std::string& line);

}  // namespace rendaal
