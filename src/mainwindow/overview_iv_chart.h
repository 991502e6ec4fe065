#pragma once

#include <QWidget>
#include <string>
#include <vector>

#include "analytics/overview.h"

namespace rendaal {

// The selected combination's volatility chart, drawn at the widget's size. Its accessible
// description (and tooltip) names the last day's values.
class TIvChartView final : public QWidget {
public:
    explicit TIvChartView(QWidget* parent = nullptr);
    // An empty name shows a hint instead of a chart.
    void Show(const std::string& fileName, const std::vector<IvRow>& rows);
    const std::string& FileName() const { return fileName_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::string fileName_;
    std::vector<IvRow> rows_;
};

}  // namespace rendaal
