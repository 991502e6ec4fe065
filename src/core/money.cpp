#include "core/money.h"

#include <charconv>
#include <cmath>

namespace rendaal {

std::string FormatGrouped(double value, int decimals) {
    if (!std::isfinite(value)) {
        return {};
    }
    char buf[400];
    const auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) {
        return {};
    }
    std::string text(buf, end);
    if (text.front() == '-' && text.find_first_not_of("0.", 1) == std::string::npos) {
        text.erase(0, 1);  // rounded to nothing: no "-0"
    }
    const size_t start = text.front() == '-' ? 1 : 0;
    size_t point = text.find('.');
    if (point != std::string::npos) {
        text[point] = ',';
    } else {
        point = text.size();
    }
    for (size_t i = point; i > start + 3; i -= 3) {
        text.insert(i - 3, 1, '.');
    }
    return text;
}

std::string FormatMoney(double euros, int decimals) {
    const std::string number = FormatGrouped(euros, decimals);
    return number.empty() ? number : "\xE2\x82\xAC" + number;
}

}  // namespace rendaal
