#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QShowEvent;

namespace rendaal {

// What the add dialog reads from the rest of the program and how it hands a new combination
// back; set by the main window once all windows exist. Unset members read as "no data".
struct AddFormContext {
    QWidget* mainWindow = nullptr;  // the dialog is centred over it
    std::string programName = "Rendaal";
    std::function<std::string()> quotePage;  // the tag-stripped page of the last run
    std::function<int()> monthFrom;          // the last run's request window
    std::function<int()> yearFrom;
    std::function<int()> yearTill;
    // Sorts the line into the list, saves the rules file, selects it, gives every combination
    // a history line from the last page and redraws.
    std::function<void(const std::string& line)> addCombination;
};

// The non-modal dialog that composes a new combination line from lists of the series, the
// expiry and the exercise prices found on the last quote page.
class TAddForm final : public QDialog {
    Q_OBJECT

public:
    explicit TAddForm(QWidget* parent = nullptr);
    ~TAddForm() override;

    void SetContext(AddFormContext context);
    // For the settings dialog after a run with another number of years.
    void RefillYears(int from, int till);

    QGroupBox* RadioGroup = nullptr;
    QButtonGroup* RadioGroupButtons = nullptr;  // ids 0..4: "AX1", "AX2", "AEX", "AX4", "AX5"
    QLabel* Label4 = nullptr;
    QComboBox* ComboBox1 = nullptr;  // expiry month
    QLabel* Label6 = nullptr;
    QComboBox* ComboBox2 = nullptr;  // expiry year
    QLabel* Label9 = nullptr;
    QComboBox* ComboBox4 = nullptr;  // put exercise price
    QLabel* Label8 = nullptr;
    QComboBox* ComboBox3 = nullptr;  // call exercise price
    QLabel* ResultLabel = nullptr;
    QPushButton* CancelButton = nullptr;
    QPushButton* OKButton = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* LabelIntro = nullptr;
    // Why a price list holds no prices or what is still to choose; empty when all is well.
    QLabel* NoteLabel = nullptr;

    // The line OK adds: set by a complete composition, emptied by OK.
    std::string ComposedLine;
    // The last composed line as shown, shown again after a series change.
    std::string ShownLine;
    int MonthNumber = 0;
    bool FirstPaintDone = false;

    static constexpr int kHelpContext = 11000;

    int SeriesIndex() const;

public slots:
    // Fills the lists at the first showing (later showings keep the user's choices).
    void FormPaint();
    // Refills the price lists when a download brought a new option page since they were
    // filled; a failed download (no page) leaves them as they are.
    void RefreshFromPage();
    // The months of the chosen year that have not expired.
    void FillMonths();
    void FillStrikeLists(const std::string& page);
    void ComposeLine();
    void ComboBox1Change();
    void ComboBox2Change();
    void ComboBox4Change();
    void RadioGroupClick();
    void OKButtonClick();
    void CancelButtonClick();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    std::string QuotePage() const;
    void ShowNote(const QString& note);
    void ShowLine(const QString& line);  // the composed line, spoken as well as shown

    AddFormContext context_;
    std::string filledFrom_;  // the page the price lists were filled from
    QString listsNote_;       // why the price lists are empty, if they are
};

// Set by the constructor; the one instance lives for the whole program.
extern TAddForm* AddForm;

}  // namespace rendaal
