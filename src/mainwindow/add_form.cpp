#include "mainwindow/add_form.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>

#include <algorithm>

#include "core/clock.h"
#include "dialogs/message_form.h"
#include "download/strike_list.h"

namespace rendaal {

TAddForm* AddForm = nullptr;

namespace {

const char* const kIntroLines[] = {
    "Als een van de uitoefenkoersen \"Geen\" is, dan wordt de combinatie een \"Single\".",
    "Als de Uitoefenkoersen van beide opties gelijk zijn, dan wordt de combinatie een "
    "\"Straddle\".",
    "In alle andere gevallen wordt de combinatie een \"Strangle\".",
};

QLabel* PlaceLabel(QWidget* parent, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    label->adjustSize();
    return label;
}

QComboBox* PlaceCombo(QWidget* parent, int x, int y) {
    auto* combo = new QComboBox(parent);
    combo->setGeometry(x, y, 116, combo->sizeHint().height());
    return combo;
}

int Value(const std::function<int()>& f) {
    return f ? f() : 0;
}

}  // namespace

TAddForm::TAddForm(QWidget* parent) : QDialog(parent) {
    AddForm = this;
    setModal(false);
    setAttribute(Qt::WA_QuitOnClose, false);
    setProperty("helpContext", kHelpContext);
    setWindowTitle(QString::fromStdString(context_.programName) + " - Toevoegen");

    RadioGroup = new QGroupBox("Serie", this);
    RadioGroup->setGeometry(15, 10, 581, 61);
    RadioGroupButtons = new QButtonGroup(this);
    for (int i = 0; i < static_cast<int>(kSeriesCodes.size()); ++i) {
        auto* button = new QRadioButton(kSeriesCodes[i], RadioGroup);
        // Five equal columns, as the radio group lays out its items.
        button->setGeometry(8 + i * (565 / 5), 26, 565 / 5 - 4, 24);
        RadioGroupButtons->addButton(button, i);
    }
    RadioGroupButtons->button(2)->setChecked(true);

    Label4 = PlaceLabel(this, "Maand", 14, 89);
    ComboBox1 = PlaceCombo(this, 73, 85);
    Label6 = PlaceLabel(this, "Jaar", 34, 118);
    ComboBox2 = PlaceCombo(this, 73, 115);

    Label9 = PlaceLabel(this, "Uitoefenkoers Put-optie", 273, 88);
    ComboBox4 = PlaceCombo(this, 478, 84);
    Label8 = PlaceLabel(this, "Uitoefenkoers Call-optie", 269, 118);
    ComboBox3 = PlaceCombo(this, 478, 115);
    // A combo box announces its value, whatever its name; the label says what it is.
    Label4->setBuddy(ComboBox1);
    Label6->setBuddy(ComboBox2);
    Label9->setBuddy(ComboBox4);
    Label8->setBuddy(ComboBox3);
    // Right-aligned labels: both end at the same edge before their lists, whatever the font.
    const int labelRight = std::max(Label9->x() + Label9->width(), Label8->x() + Label8->width());
    for (QLabel* label : {Label9, Label8}) {
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        label->move(labelRight - label->width(), label->y());
    }

    ResultLabel = new QLabel(this);
    ResultLabel->setGeometry(5, 160, 591, 36);
    ResultLabel->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    ResultLabel->setWordWrap(true);
    ResultLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    CancelButton = new QPushButton("Annuleren", this);
    CancelButton->setGeometry(211, 199, 100, 31);
    OKButton = new QPushButton("OK", this);
    OKButton->setGeometry(330, 199, 100, 31);
    OKButton->setDefault(true);

    GroupBox1 = new QGroupBox("Opmerking", this);
    GroupBox1->setGeometry(15, 240, 581, 151);
    LabelIntro = new QLabel(GroupBox1);
    LabelIntro->setGeometry(12, 24, 557, 115);
    LabelIntro->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelIntro->setWordWrap(true);
    LabelIntro->setText(QStringList{kIntroLines[0], kIntroLines[1], kIntroLines[2]}.join('\n'));

    // FormCreate
    OKButton->hide();
    FirstPaintDone = false;
    setFixedSize(RadioGroup->width() + 2 * RadioGroup->x(),
                 GroupBox1->y() + GroupBox1->height() + RadioGroup->x());

    // activated: only the user's choices recompose, as the lists' change events did; filling
    // the lists from code must not.
    connect(ComboBox1, &QComboBox::activated, this, &TAddForm::ComboBox1Change);
    connect(ComboBox2, &QComboBox::activated, this, &TAddForm::ComboBox1Change);
    connect(ComboBox3, &QComboBox::activated, this, &TAddForm::ComboBox4Change);
    connect(ComboBox4, &QComboBox::activated, this, &TAddForm::ComboBox4Change);
    connect(RadioGroupButtons, &QButtonGroup::idClicked, this, &TAddForm::RadioGroupClick);
    connect(OKButton, &QPushButton::clicked, this, &TAddForm::OKButtonClick);
    connect(CancelButton, &QPushButton::clicked, this, &TAddForm::CancelButtonClick);
}

TAddForm::~TAddForm() {
    if (AddForm == this) {
        AddForm = nullptr;
    }
}

void TAddForm::SetContext(AddFormContext context) {
    context_ = std::move(context);
    setWindowTitle(QString::fromStdString(context_.programName) + " - Toevoegen");
}

int TAddForm::SeriesIndex() const {
    return RadioGroupButtons->checkedId();
}

std::string TAddForm::QuotePage() const {
    return context_.quotePage ? context_.quotePage() : std::string();
}

void TAddForm::showEvent(QShowEvent* event) {
    // Filled before the first paint rather than in it, so the window never shows empty lists
    // or jumps to its centred place.
    if (!FirstPaintDone) {
        FormPaint();
    }
    QDialog::showEvent(event);
}

void TAddForm::FormPaint() {
    if (FirstPaintDone) {
        return;
    }
    FirstPaintDone = true;
    const DateTime now = AppClock().Now();

    ComboBox1->clear();
    for (const char* name : kDutchMonthNames) {
        ComboBox1->addItem(name);
    }
    ComboBox1->setCurrentIndex(MonthIndexFor(Value(context_.monthFrom), now.month));

    RefillYears(Value(context_.yearFrom), Value(context_.yearTill));
    FillStrikeLists(QuotePage());

    if (context_.mainWindow != nullptr) {
        const QRect main = context_.mainWindow->frameGeometry();
        const QRect own = frameGeometry();
        const WindowPos pos = CentreOver(main.top(), main.left(), main.height(), main.width(),
                                         own.height(), own.width());
        move(pos.left, pos.top);
    }

    ResultLabel->clear();
    ShownLine.clear();
    OKButton->hide();
}

void TAddForm::RefillYears(int from, int till) {
    const YearSpan span = OfferedYears(from, till, AppClock().Now().year);
    ComboBox2->clear();
    for (int year = span.from; year <= span.till; ++year) {
        ComboBox2->addItem(QString::number(year));
    }
    ComboBox2->setCurrentIndex(0);
}

void TAddForm::FillStrikeLists(const std::string& page) {
    const StrikeLists lists =
        ::rendaal::FillStrikeLists(page, ComboBox1->currentText().toStdString(),
                                   ComboBox2->currentText().toStdString(), SeriesIndex());
    for (QComboBox* combo : {ComboBox3, ComboBox4}) {
        combo->clear();
        for (const std::string& item : lists.items) {
            combo->addItem(QString::fromStdString(item));
        }
        combo->setCurrentIndex(lists.selected);
    }
}

void TAddForm::ComposeLine() {
    LineChoices choices;
    choices.seriesIndex = SeriesIndex();
    choices.monthName = ComboBox1->currentText().toStdString();
    choices.yearText = ComboBox2->currentText().toStdString();
    choices.putText = ComboBox4->currentText().toStdString();
    choices.callText = ComboBox3->currentText().toStdString();
    const Composition composed = ::rendaal::ComposeLine(choices, MonthNumber);
    MonthNumber = composed.month;
    ComposedLine = composed.complete ? composed.line : std::string();
    ResultLabel->setText(QString::fromStdString(composed.line));
    ShownLine = composed.line;
    OKButton->show();
    // A line without an exercise price names no option; the user sees what is missing.
    OKButton->setEnabled(composed.complete);
}

void TAddForm::ComboBox1Change() {
    FillStrikeLists(QuotePage());
    ComposeLine();
}

void TAddForm::ComboBox4Change() {
    ComposeLine();
}

void TAddForm::RadioGroupClick() {
    FillStrikeLists(QuotePage());
    ResultLabel->setText(QString::fromStdString(ShownLine));
}

void TAddForm::OKButtonClick() {
    if (ComposedLine.empty()) {
        close();
        return;
    }
    // Taken before the main window works on it: that work lets events run, and a second
    // click on OK meanwhile must not add the line twice.
    const std::string line = std::move(ComposedLine);
    ComposedLine.clear();
    ResultLabel->clear();
    ShownLine.clear();
    if (context_.addCombination) {
        context_.addCombination(line);
    }
    QApplication::processEvents();
    close();
}

void TAddForm::CancelButtonClick() {
    close();
}

}  // namespace rendaal
