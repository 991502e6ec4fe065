#include "mainwindow/main_form.h"

#include "core/clock.h"
#include "core/fileio.h"
#include "platform/help.h"
#include "platform/qt_text.h"

// The main window's help, its info menu and what the times of the panel mean.
namespace rendaal {

void TMainForm::OverRendaal1Click() {
    if (hooks_.showAbout) {
        hooks_.showAbout();
    }
}

void TMainForm::SpeedInfoClick() {
    InfoPopup->popup(QPoint(x() + SpeedInfo->x() + 30, y() + SpeedInfo->y() + 20));
}

void TMainForm::Help1Click() {
    OpenHelpChecked(HelpFilePath, 0, this,
                    [this](const std::string& address) { ShowHelpFailure(address); });
}

void TMainForm::ShowHelpFailure(const std::string&) {
    // The path, not the address: it is what a user can open by hand or look for.
    if (!FileExists(HelpFilePath)) {
        ShowUserMessage(ToQString(ProgramName),
                        ToQString("Het helpbestand is niet gevonden:\r" + HelpFilePath));
        return;
    }
    ShowUserMessage(ToQString(ProgramName),
                    ToQString("De help kon niet worden geopend: er is geen programma gevonden "
                              "dat deze pagina toont.\rOpen het helpbestand zelf in een "
                              "browser:\r" +
                              HelpFilePath));
}

void TMainForm::ExplainTimes(bool freshRead) {
    if (freshRead) {
        lastGoodRead_ = AppClock().Now();
    }
    const QString fetched =
        lastGoodRead_ ? ToQString(FormatDmyHms(*lastGoodRead_)) : QStringLiteral("nog niet");
    // One reading, three times: the page's stamp here, the last quote's time in the mouse
    // read-out, the moment of fetching in the history file.
    QString tip = QStringLiteral(
                      "Datum en tijd van de AEX-stand volgens de koerspagina (na het slot de "
                      "slottijd).\nOpgehaald: ") +
                  fetched +
                  QStringLiteral(
                      "; die tijd staat in het historiebestand.\n\"Tijd\" onder de muis is de tijd "
                      "van de laatste AEX-koers op de pagina.");
    if (IndexRowIsOld()) {
        tip = QStringLiteral("Oude stand: de laatste download las geen nieuwe.\n") + tip;
    }
    Panel1->Explain(L24, tip);
    Panel1->Explain(Label1, IndexRowIsOld()
                                ? QStringLiteral("Laatste geslaagde download: ") + fetched +
                                      QStringLiteral(". Rendaal probeert het opnieuw bij de "
                                                     "volgende download.")
                                : QString());
}

}  // namespace rendaal
