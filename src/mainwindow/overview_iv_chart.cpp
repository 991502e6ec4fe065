#include "mainwindow/overview_iv_chart.h"

#include <QAccessible>
#include <QPainter>

#include "analytics/iv_chart.h"
#include "platform/qt_text.h"
#include "platform/theory_render.h"

namespace rendaal {
namespace {

const char* const kChooseText = "Kies een combinatie";

}  // namespace

TIvChartView::TIvChartView(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Volatiliteit van de gekozen combinatie"));
    setAccessibleDescription(QString::fromUtf8(kChooseText));
}

void TIvChartView::Show(const std::string& fileName, const std::vector<IvRow>& rows) {
    fileName_ = fileName;
    rows_ = rows;
    const QString text = fileName.empty() ? QString::fromUtf8(kChooseText)
                                          : ToQString(IvChartDescription(fileName, rows));
    if (text != accessibleDescription()) {
        setAccessibleDescription(text);
        setToolTip(fileName.empty() ? QString() : text);
        QAccessibleEvent event(this, QAccessible::DescriptionChanged);
        QAccessible::updateAccessibility(&event);
    }
    update();
}

void TIvChartView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (fileName_.empty()) {
        painter.fillRect(rect(), palette().window());
        painter.drawText(rect(), Qt::AlignCenter, QString::fromUtf8(kChooseText));
        return;
    }
    painter.drawImage(0, 0,
                      RenderIvChart(fileName_, rows_, width(), height(), devicePixelRatioF()));
}

}  // namespace rendaal
