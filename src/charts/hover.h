#pragma once

#include <string>

#include "charts/history.h"
#include "core/calendar.h"

namespace rendaal {

// The chart's hover read-out: today's date, the quote time of the last index page and the
// prices of the last history line the chart drew. Lines end with a carriage return (the text
// ends with one); show it with DisplayLineBreaks.
std::string HoverText(const Date& today, const std::string& quoteTimeText,
                      const LastRowTexts& last);

// The text with every carriage return turned into "\n", for a tooltip.
std::string DisplayLineBreaks(std::string text);

}  // namespace rendaal
