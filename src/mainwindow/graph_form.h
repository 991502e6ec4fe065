#pragma once

#include <QWidget>

namespace rendaal {

// Never shown: the window the chart drawing belonged to; kept so that the windows are created
// in their usual order.
class TGraphForm final : public QWidget {
    Q_OBJECT

public:
    explicit TGraphForm(QWidget* parent = nullptr) : QWidget(parent) { setObjectName("GraphForm"); }
};

extern TGraphForm* GraphForm;

}  // namespace rendaal
