#include "mainwindow/main_panel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPixmap>
#include <QRegularExpression>
#include <QStyle>
#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "core/text.h"
#include "platform/help.h"
#include "platform/qt_text.h"

namespace rendaal {

namespace {

constexpr int kPanelHeight = 91;
constexpr double kReadableContrast = 4.5;
// Room kept between a text and the info button.
constexpr int kInfoGap = 6;
// The longest texts the panel's rows show, for the width that shows them whole.
constexpr const char* kLongestStatus = "Gedownload: 123 koersen (niet alle koersen gevonden)";
constexpr const char* kIndexRowSample[] = {"AEX:", "1234,56", "-123,45", "@ 07-12-2026 17:35:00"};

QPushButton* MakeButton(QWidget* parent, const char* text, int x, int y) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setGeometry(x, y, 120, 31);
    return button;
}

constexpr const char* kElidedProperty = "elidedText";
constexpr const char* kFullProperty = "fullText";
constexpr const char* kTipProperty = "explanation";

// Sized to their texts whenever those change (FitLabels).
QLabel* MakeLabel(QWidget* parent, int x, int y) {
    auto* label = new QLabel(QStringLiteral("---"), parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

// The key is named in the tip, so the mouse teaches it.
void GiveShortcut(QAbstractButton* button, const QKeySequence& keys, const QString& tip) {
    button->setShortcut(keys);
    button->setToolTip(tip + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) +
                       QLatin1Char(')'));
}

QIcon BlankIcon(int size) {
    QPixmap blank(size, size);
    blank.fill(Qt::transparent);
    return QIcon(blank);
}

double Luminance(const QColor& c) {
    const auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

// The theme's disabled text is often too faint to read; an old reading must stay readable.
QColor ReadableGrey(QColor grey, const QColor& background) {
    const double back = Luminance(background);
    const bool darken = back > 0.18;
    if (!darken && grey.value() < 32) {
        grey = QColor(64, 64, 64);  // black does not get lighter by scaling
    }
    for (int step = 0; step < 64 && ContrastRatio(grey, background) < kReadableContrast; ++step) {
        grey = darken ? grey.darker(105) : grey.lighter(110);
        if (!darken && grey.lightness() >= 250) {
            break;
        }
    }
    return grey;
}

// The width a button needs for the widest of the captions it can show.
int ButtonWidth(const QPushButton* button, std::initializer_list<const char*> captions) {
    const QFontMetrics fm(button->font());
    const int chrome = button->sizeHint().width() - fm.horizontalAdvance(button->text());
    int width = 0;
    for (const char* caption : captions) {
        width = std::max(width, chrome + fm.horizontalAdvance(QString::fromUtf8(caption)));
    }
    return width;
}

}  // namespace

TMainPanel::TMainPanel(QWidget* parent) : QFrame(parent), height_(kPanelHeight) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setObjectName("Panel1");
    SetHelpContext(this, 10000);

    Label1 = MakeLabel(this, 402, 13);
    VoegToeButton = MakeButton(this, "Voegtoe", 10, 10);
    GiveShortcut(VoegToeButton, QKeySequence(Qt::CTRL | Qt::Key_N),
                 QStringLiteral("Voeg een Strangle toe"));
    DownloadBtn = MakeButton(this, "Download", 140, 10);
    GiveShortcut(DownloadBtn, QKeySequence(Qt::Key_F5), QStringLiteral("Download de Optiekoersen"));
    const QIcon blank = BlankIcon(style()->pixelMetric(QStyle::PM_SmallIconSize));
    DownloadBtn->setIcon(blank);
    DelButton = MakeButton(this, "Verwijder", 10, 50);
    GiveShortcut(DelButton, QKeySequence(Qt::Key_Delete),
                 QStringLiteral("Verwijder de geselecteerde Strangle"));

    SpeedInfo = new QToolButton(this);
    SpeedInfo->setAutoRaise(true);
    SpeedInfo->setGeometry(0, 11, 29, 28);
    SpeedInfo->setIcon(blank);
    SpeedInfo->setToolTip(QStringLiteral("Over Rendaal"));
    SpeedInfo->setAccessibleName(QStringLiteral("Info"));
    SpeedInfo->setAccessibleDescription(QStringLiteral("Help en Over Rendaal"));

    L21 = MakeLabel(this, 402, 60);
    InstellingenButton = MakeButton(this, "Instellingen", 140, 50);
    GiveShortcut(InstellingenButton, QKeySequence(Qt::CTRL | Qt::Key_Comma),
                 QStringLiteral("Instellingen"));
    ModeButton = MakeButton(this, "Blokjes", 270, 10);
    ApartButton = MakeButton(this, "Apart", 270, 50);
    l1 = MakeLabel(this, 402, 37);
    l2 = MakeLabel(this, 436, 37);
    l3 = MakeLabel(this, 470, 37);
    l4 = MakeLabel(this, 504, 37);
    L22 = MakeLabel(this, 436, 60);
    L23 = MakeLabel(this, 470, 60);
    L24 = MakeLabel(this, 504, 60);
    SpeedInfo->raise();
    // Reading order, row by row, whatever order the controls were made in.
    QWidget* const order[] = {VoegToeButton, DownloadBtn,        ModeButton, SpeedInfo,
                              DelButton,     InstellingenButton, ApartButton};
    for (size_t i = 0; i < std::size(order); ++i) {
        order[i]->installEventFilter(this);
        if (i > 0) {
            setTabOrder(order[i - 1], order[i]);
        }
    }
}

void TMainPanel::LoadStyleIcons() {
    DownloadBtn->setIcon(style()->standardIcon(QStyle::SP_ArrowDown));
    SpeedInfo->setIcon(style()->standardIcon(QStyle::SP_MessageBoxInformation));
}

double ContrastRatio(const QColor& a, const QColor& b) {
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

void TMainPanel::LayoutControls() {
    // The design's places at the usual font size; a larger font widens the columns and rows
    // instead of cutting the captions.
    int height = 31;
    for (QPushButton* b :
         {VoegToeButton, DelButton, DownloadBtn, InstellingenButton, ModeButton, ApartButton}) {
        height = std::max(height, b->sizeHint().height());
    }
    const struct {
        QPushButton* top;
        std::initializer_list<const char*> topCaptions;
        QPushButton* bottom;
        std::initializer_list<const char*> bottomCaptions;
    } columns[] = {
        {VoegToeButton, {"Voegtoe"}, DelButton, {"Verwijder"}},
        {DownloadBtn, {"Download"}, InstellingenButton, {"Instellingen"}},
        {ModeButton, {"Blokjes", "Grafiek"}, ApartButton, {"Apart", "Som"}},
    };
    const int secondRow = 10 + height + 9;
    int x = 10;
    for (const auto& c : columns) {
        const int w = std::max(
            {120, ButtonWidth(c.top, c.topCaptions), ButtonWidth(c.bottom, c.bottomCaptions)});
        c.top->setGeometry(x, 10, w, height);
        c.bottom->setGeometry(x, secondRow, w, height);
        x += w + 10;
    }
    const int labelsLeft = x + 2;
    const int lineHeight = QFontMetrics(Label1->font()).height();
    const int statusTop = 13;
    const int readOutTop = std::max(37, statusTop + lineHeight + 2);
    const int indexTop = std::max(60, readOutTop + lineHeight + 2);
    Label1->move(labelsLeft, statusTop);
    QLabel* const readOut[] = {l1, l2, l3, l4};
    QLabel* const index[] = {L21, L22, L23, L24};
    for (int i = 0; i < 4; ++i) {
        readOut[i]->move(labelsLeft + 34 * i, readOutTop);
        index[i]->move(labelsLeft + 34 * i, indexTop);
    }
    height_ = std::max({kPanelHeight, secondRow + height + 10, indexTop + lineHeight + 8});
}

int TMainPanel::MinimumWidth() const {
    const QFontMetrics fm(Label1->font());
    // As a label measures its text: a pixel or two beyond the advance.
    const auto textWidth = [&fm](const char* text) {
        return fm.boundingRect(QRect(0, 0, 10000, 1000), Qt::AlignLeft | Qt::AlignVCenter,
                               QString::fromUtf8(text))
                   .width() +
               2;
    };
    const int labelsLeft = Label1->x();
    const int statusRow =
        labelsLeft + textWidth(kLongestStatus) + kInfoGap + SpeedInfo->width() + 10;
    int indexRow = labelsLeft + 10;
    for (const char* text : kIndexRowSample) {
        indexRow += textWidth(text) + 5;
    }
    return std::max(statusRow, indexRow);
}

void TMainPanel::PlaceInfoButton() {
    SpeedInfo->move(width() - SpeedInfo->width() - 10, SpeedInfo->y());
}

void TMainPanel::FitLabels() {
    const int besideInfo = SpeedInfo->x() - kInfoGap;
    const int panelRight = width() - 2;
    // Cut at the given edge only when the text is wider than the room left, with an ellipsis
    // and the whole text in the tooltip.
    const auto fit = [](QLabel* label, int right) {
        QString full = label->text();
        if (!full.isEmpty() && full == label->property(kElidedProperty).toString()) {
            full = label->property(kFullProperty).toString();
            label->setText(full);
        }
        label->adjustSize();
        const int room = std::max(right - label->x(), 0);
        const QString own = label->property(kTipProperty).toString();
        if (label->width() > room) {
            const int chrome = label->width() - label->fontMetrics().horizontalAdvance(full);
            const QString shown =
                label->fontMetrics().elidedText(full, Qt::ElideRight, std::max(room - chrome, 0));
            label->setText(shown);
            label->setProperty(kElidedProperty, shown);
            label->setProperty(kFullProperty, full);
            label->setToolTip(own.isEmpty() ? full : full + QLatin1Char('\n') + own);
            label->setAccessibleName(full);
        } else {
            label->setProperty(kElidedProperty, QVariant());
            label->setToolTip(own);
            if (label->accessibleName() == label->property(kFullProperty).toString()) {
                label->setAccessibleName(QString());
            }
            label->setProperty(kFullProperty, QVariant());
        }
        label->resize(std::min(room, label->width()), label->height());
    };
    fit(Label1, besideInfo);
    for (QLabel* label : {l1, l2, l3, l4}) {
        fit(label, besideInfo);
    }
    // The index row follows its first label: a longer message there pushes the values on.
    QLabel* const index[] = {L21, L22, L23, L24};
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            const int after = index[i - 1]->x() + index[i - 1]->sizeHint().width() + 5;
            if (index[i]->x() < after) {
                index[i]->move(after, index[i]->y());
            }
        }
        fit(index[i], panelRight);
    }
    NameIndexChange();
}

void TMainPanel::Explain(QLabel* label, const QString& tip) {
    label->setProperty(kTipProperty, tip);
    FitLabels();
}

void TMainPanel::NameIndexChange() {
    // Its colour says which way the index went; a screen reader needs the word.
    const QString text = L23->text();
    QString name = text;
    if (text.contains(QRegularExpression(QStringLiteral("[0-9]")))) {
        const double change = ParseNumber(text.toStdString());
        name += change > 0 ? QStringLiteral(", hoger")
                           : (change < 0 ? QStringLiteral(", lager") : QStringLiteral(", gelijk"));
    }
    if (L23->accessibleName() != name) {
        L23->setAccessibleName(name);
    }
}

void TMainPanel::ShowViews(bool blocks, bool separate) {
    ModeButton->setText(blocks ? QStringLiteral("Grafiek") : QStringLiteral("Blokjes"));
    ModeButton->setAccessibleDescription(blocks ? QStringLiteral("Toon de koersen in de tijd")
                                                : QStringLiteral("Toon de koersen per AEX-stand"));
    ApartButton->setText(separate ? QStringLiteral("Som") : QStringLiteral("Apart"));
    ApartButton->setAccessibleDescription(separate ? QStringLiteral("Toon alleen de som")
                                                   : QStringLiteral("Toon put en call apart"));
}

void TMainPanel::ClearResult() {
    for (QLabel* label : {l1, l2, l3, l4}) {
        label->clear();
    }
}

void TMainPanel::ApplyChartOutputs(const ChartOutputs& outputs) {
    auto setText = [](QLabel* label, const std::string& text) { label->setText(ToQString(text)); };
    if (outputs.l21) {
        setText(L21, *outputs.l21);
    }
    if (outputs.result) {
        QLabel* const labels[] = {l1, l2, l3, l4};
        for (size_t i = 0; i < 4; ++i) {
            const LabelOutput& out = (*outputs.result)[i];
            setText(labels[i], out.caption);
            if (out.fontColor) {
                QPalette p = labels[i]->palette();
                p.setColor(QPalette::WindowText,
                           QColor(out.fontColor->r, out.fontColor->g, out.fontColor->b));
                labels[i]->setPalette(p);
            }
        }
        // The read-out labels fit their texts and follow each other 5 pixels apart.
        for (size_t i = 0; i < 4; ++i) {
            labels[i]->adjustSize();
            if (i > 0) {
                labels[i]->move(labels[i - 1]->x() + labels[i - 1]->width() + 5, labels[i]->y());
            }
        }
    }
    FitLabels();
}

void TMainPanel::HoldIndexRow() {
    // The whole row goes blank while a run reads it: a row with the level gone and the change
    // left reads as if the change were the level.
    QLabel* const row[] = {L21, L22, L23, L24};
    if (!indexRowOld_) {
        for (int i = 0; i < 4; ++i) {
            heldRow_.texts[i] = row[i]->text();
            heldRow_.palettes[i] = row[i]->palette();
            heldRow_.places[i] = row[i]->geometry();
        }
    }
    for (QLabel* label : row) {
        label->setText(QString());
        label->setPalette(QPalette());
    }
}

void TMainPanel::SettleIndexRow(bool refused) {
    QLabel* const row[] = {L21, L22, L23, L24};
    if (!L21->text().isEmpty()) {
        indexRowOld_ = false;  // a fresh read: the run set the whole row
        L24->setAccessibleName(QString());
        FitLabels();
        return;
    }
    // No new read: the last one comes back, greyed when the run failed, with its own time stamp.
    const bool old = indexRowOld_ || !refused;
    const QColor grey = OldReadingColour();
    for (int i = 0; i < 4; ++i) {
        row[i]->setText(heldRow_.texts[i]);
        QPalette p = heldRow_.palettes[i];
        if (old) {
            p.setColor(QPalette::WindowText, grey);
        }
        row[i]->setPalette(p);
        row[i]->setGeometry(heldRow_.places[i]);
    }
    indexRowOld_ = old;
    // Grey alone does not reach a screen reader.
    L24->setAccessibleName(old ? L24->text() + QStringLiteral(", oude stand") : QString());
    FitLabels();
}

QColor TMainPanel::OldReadingColour() const {
    return ReadableGrey(palette().color(QPalette::Disabled, QPalette::WindowText),
                        palette().color(QPalette::Window));
}

bool TMainPanel::eventFilter(QObject* watched, QEvent* event) {
    // Buttons outside a dialog ignore Return; here Return presses the focused one.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (auto* button = qobject_cast<QAbstractButton*>(watched)) {
                button->animateClick();
                return true;
            }
        }
    }
    return QFrame::eventFilter(watched, event);
}

bool TMainPanel::event(QEvent* event) {
    const bool handled = QFrame::event(event);
    // A label's text changed (the download run sets them too): fit the labels to their texts.
    if (event->type() == QEvent::LayoutRequest) {
        FitLabels();
    }
    return handled;
}

}  // namespace rendaal
