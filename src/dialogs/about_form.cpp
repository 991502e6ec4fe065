#include "dialogs/about_form.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>

#include "dialogs/message_form.h"
#include "platform/environment.h"
#include "platform/help.h"
#include "platform/qt_text.h"

namespace rendaal {

TAboutForm* AboutForm = nullptr;

namespace {

QFont Font(const char* family, int px, bool bold = false, bool italic = false) {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(px);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QLabel* Centred(QWidget* parent, int x, int y, int w, int h) {
    auto* label = new QLabel(parent);
    label->setGeometry(x, y, w, h);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

std::string Joined(const std::vector<std::string>& lines, std::string_view separator) {
    std::string out;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += separator;
        out += lines[i];
    }
    return out;
}

}  // namespace

std::vector<std::string> MailTemplateLines(bool dutch, const AuthorContact& author) {
    return {(dutch ? "Hallo " : "Hello ") + author.firstName + ",",
            "",
            dutch ? "Ik vond op je Home Page het programma Rendaal."
                  : "On your Home Page I found the program Rendaal.",
            "",
            dutch ? "Ik wil hierover het volgende kwijt:" : "I want to let you know:",
            "",
            "",
            "",
            "",
            "",
            dutch ? "Met vriendelijke groet," : "Kind regards,"};
}

std::vector<std::string> InfoLines(bool dutch, const AuthorContact& author, const MakerSite& site) {
    const std::string country = dutch ? "" : author.countryCode + "-";
    const std::string phoneCountry = dutch ? "" : author.phoneCountry + " ";
    return {"",
            dutch ? "Het programma Rendaal is geschreven door" : "Rendaal has been written by:",
            "",
            author.name,
            author.street,
            country + author.postcode + "  " + author.town,
            phoneCountry + author.phone,
            site.mailAddress,
            site.siteUrl,
            "",
            dutch ? "Schrijf, bel of mail voor nadere informatie!"
                  : "Write, Phone or Mail for more information."};
}

std::string MailLink(const std::string& mailAddress, const std::string& programName,
                     const std::string& versionText, const std::vector<std::string>& bodyLines) {
    std::vector<std::string> encoded;
    encoded.reserve(bodyLines.size());
    for (const std::string& line : bodyLines) {
        encoded.push_back(PercentEncode(line));
    }
    return "mailto:" + mailAddress +
           "?Subject=" + PercentEncode("Programma " + programName + ", " + versionText) +
           "&Body=" + Joined(encoded, "%0D%0A");
}

std::string WebFormUrl(const std::string& siteUrl, const std::string& programName,
                       const std::string& versionText) {
    return siteUrl +
           "mailform_n_php.php?ProgNam=" + PercentEncode(programName + ", " + versionText);
}

std::string HomePageUrl(const std::string& siteUrl, bool dutch) {
    return siteUrl + (dutch ? "index_n.php" : "index.php");
}

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent), languageCode_(ProgramEnvironment().LanguageCode), site_(ReadMakerSite()) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(Font("Verdana", 17));
    SetHelpContext(this, 50000);

    constexpr int kWidth = 420;
    Memo1 = new QTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setAccessibleName(QStringLiteral("Over Rendaal"));
    Memo1->setGeometry(0, 0, kWidth, 248);
    Memo1->setFont(Font("Verdana", 15));
    OKBtn1 = new QPushButton(QStringLiteral("OK"), this);
    OKBtn1->setGeometry(0, 256, 100, 32);
    // Covered by the panel until "i" is clicked: hidden too, so a screen reader does not offer
    // them as if shown.
    Memo1->hide();
    OKBtn1->hide();

    MainPanel = new QFrame(this);
    MainPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    MainPanel->setLineWidth(2);
    MainPanel->setAutoFillBackground(true);
    MainPanel->setFocusPolicy(Qt::StrongFocus);
    MainPanel->setAccessibleName(QStringLiteral("Rendaal"));

    NameLabel = Centred(MainPanel, 4, 10, kWidth - 8, 72);
    NameLabel->setFont(Font("Verdana", 55, true, true));
    VersionLabel = Centred(MainPanel, 4, 84, kWidth - 8, 24);
    VersionLabel->setFont(Font("Arial", 17));

    CreditBevel = new QFrame(MainPanel);
    CreditBevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    CreditBevel->setGeometry(16, 116, kWidth - 32, 34);
    CreditLabel = Centred(CreditBevel, 4, 4, CreditBevel->width() - 40, 26);
    CreditLabel->setFont(Font("Verdana", 15));
    AutorBtn = new QPushButton(QStringLiteral("i"), CreditBevel);
    AutorBtn->setGeometry(CreditBevel->width() - 30, 5, 24, 24);
    AutorBtn->setAutoDefault(false);

    DescriptionBevel = new QFrame(MainPanel);
    DescriptionBevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
    DescriptionBevel->setGeometry(16, 158, kWidth - 32, 84);
    Label1 = Centred(DescriptionBevel, 2, 6, DescriptionBevel->width() - 4, 24);
    Label2 = Centred(DescriptionBevel, 2, 30, DescriptionBevel->width() - 4, 24);
    Label3 = Centred(DescriptionBevel, 2, 54, DescriptionBevel->width() - 4, 24);

    MailBtn = new QPushButton(QStringLiteral("Mail"), MainPanel);
    MailBtn->setGeometry(16, 256, 100, 32);
    MailBtn->setAutoDefault(false);
    OKBtn = new QPushButton(QString::fromUtf8("\u2714 OK"), MainPanel);
    OKBtn->setGeometry(0, 256, 100, 32);
    OKBtn->setDefault(true);
    HomeBtn = new QPushButton(QStringLiteral("Home"), MainPanel);
    HomeBtn->setGeometry(0, 256, 100, 32);
    HomeBtn->setAutoDefault(false);

    MailMemo = new QPlainTextEdit(MainPanel);
    MailMemo->hide();

    const int clientWidth = CreditBevel->width() + 2 * CreditBevel->x();
    const int clientHeight = OKBtn->y() + OKBtn->height() + CreditBevel->x();
    setFixedSize(clientWidth, clientHeight);
    MainPanel->setGeometry(0, 0, clientWidth, clientHeight);
    Memo1->resize(clientWidth, Memo1->height());
    OKBtn->move((clientWidth - OKBtn->width()) / 2, OKBtn->y());
    HomeBtn->move(clientWidth - HomeBtn->width() - MailBtn->x(), HomeBtn->y());
    OKBtn1->move(OKBtn->x(), OKBtn1->y());

    connect(AutorBtn, &QPushButton::clicked, this, &TAboutForm::AutorBtnClick);
    connect(OKBtn1, &QPushButton::clicked, this, &TAboutForm::OKBtn1Click);
    connect(MailBtn, &QPushButton::clicked, this, &TAboutForm::MailBtnClick);
    connect(HomeBtn, &QPushButton::clicked, this, &TAboutForm::HomeBtnClick);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    SetTexts();
}

TAboutForm::~TAboutForm() {
    if (AboutForm == this) {
        AboutForm = nullptr;
    }
}

void TAboutForm::setProgram(const std::string& programName, const std::string& versionText,
                            const std::string& aboutText) {
    programName_ = programName;
    versionText_ = versionText;
    aboutText_ = aboutText;
    SetTexts();
}

void TAboutForm::SetTexts() {
    const bool dutch = Dutch();
    NameLabel->setText(ToQString(programName_));
    VersionLabel->setText(ToQString(versionText_));
    CreditLabel->setText(ToQString(aboutText_));
    if (MainPanel->isVisible() || !isVisible()) {
        setWindowTitle(ToQString(programName_) +
                       (dutch ? QStringLiteral(" - Informatie") : QStringLiteral(" - About")));
    }
    Label1->setText(dutch ? QStringLiteral("Rendaal is een eenvoudig programma om")
                          : QStringLiteral("Rendaal is a simple program to"));
    Label2->setText(dutch ? QStringLiteral("de waarde van Strangles te downloaden")
                          : QStringLiteral("download the prices of Strangles"));
    Label3->setText(dutch ? QStringLiteral("en van dag to dag te kunnen volgen.")
                          : QStringLiteral("and to follow them day by day."));
    OKBtn->setToolTip(dutch ? QStringLiteral("Verlaat Info-venster")
                            : QStringLiteral("Close About Window"));
    MailBtn->setToolTip(dutch ? QStringLiteral("Stuur e-mail naar auteur")
                              : QStringLiteral("Send e-mail to the autor"));
    HomeBtn->setToolTip(dutch ? QStringLiteral("Toon Home Page in Browser")
                              : QStringLiteral("Show Home Page in Browser"));
    OKBtn1->setToolTip(dutch ? QStringLiteral("Verlaat Informatie-scherm")
                             : QStringLiteral("Close About Window"));
    AutorBtn->setToolTip(QStringLiteral("Toon informatie"));

    QStringList mail;
    for (const std::string& line : MailTemplateLines(dutch, author_)) {
        mail << ToQString(line);
    }
    MailMemo->setPlainText(mail.join(QLatin1Char('\n')));

    Memo1->clear();
    QTextCursor c(Memo1->document());
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    bool first = true;
    for (const std::string& line : InfoLines(dutch, author_, site_)) {
        if (!first) {
            c.insertBlock();
        }
        first = false;
        c.setBlockFormat(centred);
        c.insertText(ToQString(line));
    }
}

void TAboutForm::showEvent(QShowEvent* event) {
    SetTexts();
    QDialog::showEvent(event);
    if (MainPanel->isVisible()) {
        MainPanel->setFocus();
    }
}

void TAboutForm::AutorBtnClick() {
    Memo1->show();
    OKBtn1->show();
    MainPanel->hide();
    setWindowTitle(ToQString(programName_) + QStringLiteral(" - Informatie"));
}

void TAboutForm::OKBtn1Click() {
    const QString caller = parentWidget() ? parentWidget()->window()->windowTitle()
                                          : ToQString(programName_ + ", " + versionText_);
    setWindowTitle(caller + QStringLiteral(" - Informatie"));
    MainPanel->show();
    Memo1->hide();
    OKBtn1->hide();
}

void TAboutForm::Tell(const QString& first, const QString& second) {
    if (MessageForm) {
        const QRect r = frameGeometry();
        MessageForm->ShowTimed(r.top(), r.left(), r.height(), r.width(), first, second, 3000);
    }
}

void TAboutForm::MailBtnClick() {
    const std::string link = MailLink(site_.mailAddress, programName_, versionText_,
                                      MailTemplateLines(Dutch(), author_));
    if (OpenUrl(link)) {
        return;
    }
    Tell(QStringLiteral("Er is iets fout gegaan bij het versturen van de e-mail."),
         QStringLiteral("Webmail wordt nu gestart:"));
    OpenWebForm();
}

void TAboutForm::OpenWebForm() {
    if (!OpenUrl(WebFormUrl(site_.siteUrl, programName_, versionText_))) {
        Tell(QStringLiteral("Browser niet geopend."), QString());
    }
}

void TAboutForm::HomeBtnClick() {
    if (!OpenUrl(HomePageUrl(site_.siteUrl, Dutch()))) {
        Tell(Dutch() ? QStringLiteral("Browser niet geopend.")
                     : QStringLiteral("Browser not opened."),
             QString());
    }
}

}  // namespace rendaal
