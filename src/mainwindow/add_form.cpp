#include "mainwindow/add_form.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

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

// Some screen readers announce a combo box by its current value whatever name it has; the
// label as its buddy makes them say what the list is for.
QComboBox* PlaceCombo(QWidget* parent, int x, int y, QLabel* label, const QString& name) {
    auto* combo = new QComboBox(parent);
    combo->setGeometry(x, y, 116, combo->sizeHint().height());
    combo->setAccessibleName(name);
    label->setBuddy(combo);
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
        button->setAccessibleName(QStringLiteral("Serie ") + kSeriesCodes[i]);
        // Five equal columns, as the radio group lays out its items.
        button->setGeometry(8 + i * (565 / 5), 26, 565 / 5 - 4, 24);
        RadioGroupButtons->addButton(button, i);
    }
    RadioGroupButtons->button(2)->setChecked(true);
    RadioGroup->setAccessibleName("Serie");

    Label4 = PlaceLabel(this, "&Maand", 14, 89);
    ComboBox1 = PlaceCombo(this, 73, 85, Label4, "Maand");
    Label6 = PlaceLabel(this, "&Jaar", 34, 118);
    ComboBox2 = PlaceCombo(this, 73, 115, Label6, "Jaar");

    Label9 = PlaceLabel(this, "Uitoefenkoers &Put-optie", 273, 88);
    ComboBox4 = PlaceCombo(this, 478, 84, Label9, "Uitoefenkoers Put-optie");
    Label8 = PlaceLabel(this, "Uitoefenkoers &Call-optie", 269, 118);
    ComboBox3 = PlaceCombo(this, 478, 115, Label8, "Uitoefenkoers Call-optie");
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
    ShowLine({});

    CancelButton = new QPushButton("Annuleren", this);
    CancelButton->setGeometry(211, 199, 100, 31);
    CancelButton->setAccessibleName("Annuleren");
    OKButton = new QPushButton("OK", this);
    OKButton->setGeometry(330, 199, 100, 31);
    OKButton->setDefault(true);
    OKButton->setAccessibleName("OK");
    OKButton->setAccessibleDescription("Voegt de nieuwe combinatie toe");

    GroupBox1 = new QGroupBox("Opmerking", this);
    GroupBox1->setGeometry(15, 240, 581, 151);
    GroupBox1->setAccessibleName("Opmerking");
    LabelIntro = new QLabel(GroupBox1);
    LabelIntro->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelIntro->setWordWrap(true);
    LabelIntro->setText(QStringList{kIntroLines[0], kIntroLines[1], kIntroLines[2]}.join('\n'));
    // Named with its text: a fixed name would hide what it says from a screen reader.
    LabelIntro->setAccessibleName("Uitleg: " + LabelIntro->text());
    NoteLabel = new QLabel(GroupBox1);
    NoteLabel->setWordWrap(true);
    NoteLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    NoteLabel->setStyleSheet("font-weight: bold");
    NoteLabel->setAccessibleName("Toelichting");
    NoteLabel->hide();
    auto* notes = new QVBoxLayout(GroupBox1);
    notes->addWidget(LabelIntro);
    notes->addWidget(NoteLabel);
    notes->addStretch();

    // FormCreate
    OKButton->hide();
    FirstPaintDone = false;
    setFixedSize(RadioGroup->width() + 2 * RadioGroup->x(),
                 GroupBox1->y() + GroupBox1->height() + RadioGroup->x());

    // activated: only the user's choices recompose, as the lists' change events did; filling
    // the lists from code must not.
    connect(ComboBox1, &QComboBox::activated, this, &TAddForm::ComboBox1Change);
    connect(ComboBox2, &QComboBox::activated, this, &TAddForm::ComboBox2Change);
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
    std::string page = context_.quotePage ? context_.quotePage() : std::string();
    // A failed run leaves no page; the prices of the last good one still exist.
    return page.empty() ? filledFrom_ : page;
}

void TAddForm::showEvent(QShowEvent* event) {
    // Filled before the first paint rather than in it, so the window never shows empty lists
    // or jumps to its centred place.
    if (!FirstPaintDone) {
        FormPaint();
    } else {
        RefreshFromPage();
    }
    QDialog::showEvent(event);
    // On the chosen series, with the ring a keyboard user needs to see where the keys act.
    QTimer::singleShot(0, this, [this] {
        if (QAbstractButton* chosen = RadioGroupButtons->checkedButton()) {
            setAttribute(Qt::WA_KeyboardFocusChange);
            chosen->setFocus(Qt::TabFocusReason);
        }
    });
}

void TAddForm::changeEvent(QEvent* event) {
    // The dialog stays open beside the main window; a download run there may bring a page.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && FirstPaintDone) {
        RefreshFromPage();
    }
    QDialog::changeEvent(event);
}

void TAddForm::FormPaint() {
    if (FirstPaintDone) {
        return;
    }
    FirstPaintDone = true;
    const DateTime now = AppClock().Now();

    RefillYears(Value(context_.yearFrom), Value(context_.yearTill));
    FillMonths();
    const int month = MonthIndexFor(Value(context_.monthFrom), now.month) + 1;
    if (const int index = ComboBox1->findText(kDutchMonthNames[static_cast<size_t>(month - 1)]);
        index >= 0) {
        ComboBox1->setCurrentIndex(index);
    }
    FillStrikeLists(QuotePage());

    if (context_.mainWindow != nullptr) {
        const QRect main = context_.mainWindow->frameGeometry();
        const QRect own = frameGeometry();
        const WindowPos pos = CentreOver(main.top(), main.left(), main.height(), main.width(),
                                         own.height(), own.width());
        move(pos.left, pos.top);
    }

    // The lists come with a pair chosen; when it makes a whole line, OK can take it at once.
    ShownLine.clear();
    ComposeLine();
}

void TAddForm::RefreshFromPage() {
    const std::string page = QuotePage();
    if (page == filledFrom_) {
        return;
    }
    const QString put = ComboBox4->currentText();
    const QString call = ComboBox3->currentText();
    const bool chosen = !ComposedLine.empty();
    FillStrikeLists(page);
    // The user's pair stays chosen where the new page still offers it.
    if (chosen) {
        for (const auto& [combo, text] : {std::pair{ComboBox4, put}, std::pair{ComboBox3, call}}) {
            if (const int index = combo->findText(text); index >= 0) {
                combo->setCurrentIndex(index);
            }
        }
    }
    ComposeLine();
}

void TAddForm::FillMonths() {
    const DateTime now = AppClock().Now();
    const YearMonth open = FirstOpenMonth(now.year, now.month, now.day);
    const QString chosen = ComboBox1->currentText();
    ComboBox1->clear();
    for (const int month : OpenMonths(ComboBox2->currentText().toInt(), open)) {
        ComboBox1->addItem(kDutchMonthNames[static_cast<size_t>(month - 1)]);
    }
    ComboBox1->setCurrentIndex(std::max(0, ComboBox1->findText(chosen)));
}

void TAddForm::RefillYears(int from, int till) {
    const DateTime now = AppClock().Now();
    const YearSpan span =
        OfferedYears(from, till, FirstOpenMonth(now.year, now.month, now.day).year);
    ComboBox2->clear();
    for (int year = span.from; year <= span.till; ++year) {
        ComboBox2->addItem(QString::number(year));
    }
    ComboBox2->setCurrentIndex(0);
    if (FirstPaintDone) {
        ComboBox2Change();  // the prices and the line follow the year now chosen
    }
}

void TAddForm::FillStrikeLists(const std::string& page) {
    filledFrom_ = page;
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
    listsNote_.clear();
    if (lists.items.size() <= 1) {
        const QString refill = " Na een geslaagde download vult dit venster de lijsten vanzelf.";
        if (page.empty()) {
            listsNote_ =
                "Geen uitoefenkoersen: er is nog geen optiepagina gedownload, of de "
                "laatste download is mislukt." +
                refill;
        } else if (page.find("C/P") == std::string::npos) {
            listsNote_ =
                "Geen uitoefenkoersen: de gedownloade optiepagina bevat geen koerstabel." + refill;
        } else {
            const int series = SeriesIndex();
            listsNote_ = QStringLiteral(
                             "Geen uitoefenkoersen voor %1 %2 %3 op de gedownloade "
                             "optiepagina; kies een andere serie, maand of jaar.")
                             .arg(series >= 0 && series < 5 ? kSeriesCodes[series] : "",
                                  ComboBox1->currentText(), ComboBox2->currentText());
        }
    }
    for (QComboBox* combo : {ComboBox3, ComboBox4}) {
        combo->setAccessibleDescription(listsNote_);
        combo->setPlaceholderText(listsNote_.isEmpty() ? "kies een koers" : "geen koersen");
    }
    ShowNote(listsNote_);
}

void TAddForm::ShowNote(const QString& note) {
    NoteLabel->setText(note);
    NoteLabel->setAccessibleName("Toelichting: " + note);
    NoteLabel->setVisible(!note.isEmpty());
}

void TAddForm::ShowLine(const QString& line) {
    ResultLabel->setText(line);
    ResultLabel->setAccessibleName(line.isEmpty()
                                       ? QStringLiteral("Nieuwe combinatie: nog niet gekozen")
                                       : "Nieuwe combinatie: " + line);
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
    // A line with a part missing names no option; it is not shown, the note says what is
    // missing.
    ShowLine(QString::fromStdString(ComposedLine));
    ShownLine = ComposedLine;
    OKButton->show();
    OKButton->setEnabled(composed.complete);
    if (!listsNote_.isEmpty()) {
        ShowNote(listsNote_);
    } else if (!composed.complete) {
        ShowNote("Kies een uitoefenkoers voor de put-optie en voor de call-optie.");
    } else {
        ShowNote({});
    }
}

void TAddForm::ComboBox1Change() {
    FillStrikeLists(QuotePage());
    ComposeLine();
}

void TAddForm::ComboBox2Change() {
    FillMonths();
    ComboBox1Change();
}

void TAddForm::ComboBox4Change() {
    ComposeLine();
}

void TAddForm::RadioGroupClick() {
    FillStrikeLists(QuotePage());
    ShowLine(QString::fromStdString(ShownLine));
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
    ShowLine({});
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
