#include "charts/chart_state.h"

#include "core/text.h"

namespace rendaal {

ValueScale ScaleForMaximum(double maxSom) {
    // 5, 10, 20, 50, 100, 200, 500, 1000, ...: tops of mantissa 2 take 4 ticks, the others 5.
    static constexpr double kMantissa[] = {1, 2, 5};
    for (double decade = 1; decade <= 1e15; decade *= 10) {
        for (double m : kMantissa) {
            const double top = m * decade;
            if (top < 5) {
                continue;
            }
            if (maxSom < top) {
                return {top, m == 2 ? 4 : 5};
            }
        }
    }
    return {5e15, 5};
}

ValueScale ValueScaleOf(const std::vector<HistoryRowValues>& values) {
    double maxSom = 0;
    for (const auto& v : values) {
        maxSom = v.som > maxSom ? v.som : maxSom;
    }
    return ScaleForMaximum(maxSom);
}

ValueScale ChooseValueScale(const std::vector<std::string>& lines) {
    double maxSom = 0;
    for (const auto& line : lines) {
        const double som = ParseNumber(SplitHistoryRow(line).somField);
        if (som > maxSom) {
            maxSom = som;
        }
    }
    return ScaleForMaximum(maxSom);
}

}  // namespace rendaal
