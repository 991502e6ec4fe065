#include "mainwindow/main_form.h"

#include <QCoreApplication>
#include <algorithm>

#include "core/combination.h"
#include "platform/qt_text.h"

// The main window's changes to the list of combinations: deleting, adding, and the first
// history line of an added one.
namespace rendaal {

void TMainForm::VoegToeButtonClick() {
    if (hooks_.showAddForm) {
        hooks_.showAddForm();
    }
}

void TMainForm::TryWaitingFirstLine() {
    if (!firstLineWaiting_ || downloading_) {
        return;
    }
    if (!ProcessLastPage()) {
        return;  // still held; the timer tries again
    }
    firstLineWaiting_ = false;
    firstLineTimer_->stop();
    ShowSelected();
}

bool TMainForm::ProcessLastPage() {
    // The count in the status is of this pass over the page, not added to the last run's.
    if (hooks_.resetPriceCount) {
        hooks_.resetPriceCount();
    }
    return !hooks_.processLastPage || hooks_.processLastPage();
}

bool TMainForm::SaveRulesFile() {
    if (SaveRules(RulesFilePath(), Combinations())) {
        saveFailureShown_ = false;
        return true;
    }
    if (!saveFailureShown_) {
        saveFailureShown_ = true;
        ShowUserMessage(
            ToQString(ProgramName),
            ToQString("De lijst met combinaties kon niet worden opgeslagen in " + RulesFilePath() +
                      ".\rDe wijziging geldt tot het programma sluit."));
    }
    return false;
}

void TMainForm::DelButtonClick() {
    int index = SelectedIndex();
    if (index < 0) {
        if (Combinations().empty()) {
            return;
        }
        index = 0;
        ListBox1->Select(0);
    }
    const std::string asked = Combinations()[static_cast<size_t>(index)];
    const bool yes = hooks_.askYes && hooks_.askYes(ToQString(ProgramName + " - Verwijderen"),
                                                    DeleteQuestion(asked));
    if (!yes) {
        return;
    }
    // The question lets timers run: the list may have been reloaded from disk meanwhile. The
    // line asked about goes, wherever it is now; one that is gone already is not replaced by
    // another.
    index = ListBox1->Remove(asked);
    if (index < 0) {
        return;
    }
    ListBox1->Select(std::min(index, static_cast<int>(Combinations().size()) - 1));
    SaveRulesFile();
    ShowSelected();
}

bool TMainForm::AddCombination(const std::string& line) {
    if (line.empty() || line[0] == ';' || line.find_first_of("\r\n") != std::string::npos) {
        return false;
    }
    const int row = ListBox1->Insert(line);
    SaveRulesFile();
    ListBox1->Select(row);
    // The new combination's first line must not be dropped because a run (here or in the
    // companion) holds the data folder: it is written as soon as the folder is free.
    if (!ProcessLastPage()) {
        firstLineWaiting_ = true;
        Label1->setText(QStringLiteral("Nieuwe combinatie wacht tot de download klaar is"));
        Panel1->FitLabels();
        firstLineTimer_->start();
    }
    HoverReady = true;
    ShowSelected();
    unsetCursor();
    QCoreApplication::processEvents();
    return true;
}

}  // namespace rendaal
