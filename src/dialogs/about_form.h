#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "platform/shell.h"

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTextEdit;

namespace rendaal {

// The author as the information page shows him (configuration, not a real person).
struct AuthorContact {
    std::string firstName = "Jan";
    std::string name = "Jan de Vries";
    std::string street = "Voorbeeldstraat 12";
    std::string postcode = "1234 AB";
    std::string town = "Voorbeeldstad";
    std::string phone = "020 - 123 45 67";
    std::string countryCode = "NL";  // before postcode and telephone in the English lines
    std::string phoneCountry = "+31";
};

// The eleven lines of the mail body template.
std::vector<std::string> MailTemplateLines(bool dutch, const AuthorContact& author);
// The eleven lines of the information page.
std::vector<std::string> InfoLines(bool dutch, const AuthorContact& author, const MakerSite& site);
// mailto: link with subject "Programma <name>, <version>" and the body lines joined by CR LF,
// both percent-encoded so that the link is valid.
std::string MailLink(const std::string& mailAddress, const std::string& programName,
                     const std::string& versionText, const std::vector<std::string>& bodyLines);
// The web form on the maker's site that stands in for a missing mail program.
std::string WebFormUrl(const std::string& siteUrl, const std::string& programName,
                       const std::string& versionText);
std::string HomePageUrl(const std::string& siteUrl, bool dutch);

// "Rendaal - Informatie": name, version, credit and description, with an information page about
// the author, mail to the maker and the maker's home page.
class TAboutForm final : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget* parent = nullptr);
    ~TAboutForm() override;

    void setProgram(const std::string& programName, const std::string& versionText,
                    const std::string& aboutText);
    void setLanguageCode(const std::string& code) { languageCode_ = code; }
    void setSite(MakerSite site) { site_ = std::move(site); }
    void setAuthor(AuthorContact author) { author_ = std::move(author); }
    // The texts of the current language, as every paint sets them.
    void SetTexts();

    QFrame* MainPanel;
    QLabel* NameLabel;
    QLabel* VersionLabel;
    QFrame* CreditBevel;
    QLabel* CreditLabel;
    QPushButton* AutorBtn;
    QFrame* DescriptionBevel;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QPushButton* MailBtn;
    QPushButton* OKBtn;
    QPushButton* HomeBtn;
    QPlainTextEdit* MailMemo;
    QTextEdit* Memo1;
    QPushButton* OKBtn1;

public slots:
    void AutorBtnClick();
    void OKBtn1Click();
    void MailBtnClick();
    void HomeBtnClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool Dutch() const { return languageCode_ == "NLD"; }
    void OpenWebForm();
    void Tell(const QString& first, const QString& second);

    std::string programName_ = "Rendaal";
    std::string versionText_ = "versie 1.10a";
    std::string aboutText_ = "Rendaal \xC2\xA9 Jan de Vries";
    std::string languageCode_;
    MakerSite site_;
    AuthorContact author_;
};

extern TAboutForm* AboutForm;

}  // namespace rendaal
