#include "charts/hover.h"

#include "charts/frame.h"
#include "core/text.h"

namespace rendaal {

namespace {

std::string Money(double value) {
    return FormatNumber(value, 6, 2);
}

}  // namespace

std::string HoverText(const std::optional<Date>& lastRowDate, const std::string& quoteTimeText,
                      const LastRowTexts& last) {
    const auto f = [](const std::string& field) { return Money(ParseNumber(field)); };
    std::string text = "Laatste gegevens:\r  Datum: ";
    // Not today's date: on a Monday morning the last line is Friday's.
    text += lastRowDate ? FormatDmy(*lastRowDate) : std::string();
    text += "\r";
    text += "  Tijd     : " + quoteTimeText + "\r";
    text += std::string("  Put      : ") + kEuro + f(last.put) + "\r";
    text += std::string("  Call     : ") + kEuro + f(last.call) + "\r";
    text += std::string("  Som    : ") + kEuro + f(last.som) + "\r";
    return text;
}

std::optional<ChartPoint> NearestPoint(const std::vector<ChartPoint>& points, int x, int y,
                                       bool blocks) {
    std::optional<ChartPoint> best;
    double bestDistance = 0;
    for (const ChartPoint& p : points) {
        const double dx = static_cast<double>(p.x) - x;
        const double dy = blocks ? static_cast<double>(p.y) - y : 0.0;
        const double distance = dx * dx + dy * dy;
        // On a tie the later row wins: it is the one drawn on top.
        if (!best || distance <= bestDistance) {
            best = p;
            bestDistance = distance;
        }
    }
    return best;
}

std::string PointText(const ChartPoint& point, bool blocks) {
    std::string text = "Bij de muis:\r  Datum: " + FormatDmy(point.date) + "\r";
    text += std::string("  Som    : ") + kEuro + Money(point.som) + "\r";
    if (blocks) {
        text += "  AEX     : " + FormatNumber(point.aex, 6, 2) + "\r";
    }
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
