#include "charts/hover.h"

#include "charts/frame.h"
#include "core/text.h"

namespace rendaal {

std::string HoverText(const Date& today, const std::string& quoteTimeText,
                      const LastRowTexts& last) {
    const auto f = [](const std::string& field) { return FormatNumber(ParseNumber(field), 6, 2); };
    std::string text = "Laatste gegevens:\r  Datum: ";
    text += FormatDmy(today);
    text += "\r";
    text += "  Tijd     : " + quoteTimeText + "\r";
    text += std::string("  Put      : ") + kEuro + f(last.put) + "\r";
    text += std::string("  Call     : ") + kEuro + f(last.call) + "\r";
    text += std::string("  Som    : ") + kEuro + f(last.som) + "\r";
    return text;
}

std::string DisplayLineBreaks(std::string text) {
    for (auto& c : text) {
        if (c == '\r') {
            c = '\n';
        }
    }
    return text;
}

}  // namespace rendaal
