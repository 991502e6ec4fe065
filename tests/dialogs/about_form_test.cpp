#include "dialogs/about_form.h"

#include <gtest/gtest.h>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QUrl>
#include <QUrlQuery>

#include "dialogs/message_form.h"
#include "platform/help.h"

namespace rendaal {
namespace {

const MakerSite kSite{"https://www.rendaal.example/", "auteur@rendaal.example"};

class AboutFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetUrlOpener([this](const std::string& url) {
            opened.push_back(url);
            return opens-- > 0;
        });
        MessageForm = &messages;
    }
    void TearDown() override {
        SetUrlOpener({});
        MessageForm = nullptr;
    }
    void Make(TAboutForm& form, const std::string& lang) {
        form.setLanguageCode(lang);
        form.setSite(kSite);
        form.setProgram("Rendaal", "versie 1.10a", "Rendaal \xC2\xA9 Jan de Vries");
    }

    TMessageForm messages;
    std::vector<std::string> opened;
    int opens = 100;  // how many opens succeed
};

TEST_F(AboutFormTest, HomePageByLanguage) {
    for (const auto& [lang, url] : {std::pair{"NLD", "https://www.rendaal.example/index_n.php"},
                                    std::pair{"ENU", "https://www.rendaal.example/index.php"}}) {
        TAboutForm form;
        Make(form, lang);
        opened.clear();
        form.HomeBtn->click();
        EXPECT_EQ(opened, std::vector<std::string>{url});
        EXPECT_FALSE(messages.isVisible());
    }
}

TEST_F(AboutFormTest, MailLinkIsValidWithSubjectAndElevenBodyLines) {
    TAboutForm form;
    Make(form, "NLD");
    form.MailBtn->click();
    ASSERT_EQ(opened.size(), 1u);
    const std::string& link = opened[0];
    const QUrl url = QUrl::fromEncoded(QByteArray::fromStdString(link), QUrl::StrictMode);
    ASSERT_TRUE(url.isValid()) << link;
    EXPECT_EQ(url.scheme(), "mailto");
    EXPECT_EQ(url.path(), "auteur@rendaal.example");
    const QUrlQuery query(url);
    EXPECT_EQ(query.queryItemValue("Subject", QUrl::FullyDecoded),
              "Programma Rendaal, versie 1.10a");
    const std::string body = link.substr(link.find("&Body=") + 6);
    size_t separators = 0;
    for (size_t at = body.find("%0D%0A"); at != std::string::npos;
         at = body.find("%0D%0A", at + 1)) {
        ++separators;
    }
    EXPECT_EQ(separators, 10u);
    const QStringList lines = query.queryItemValue("Body", QUrl::FullyDecoded).split("\r\n");
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[2], "Ik vond op je Home Page het programma Rendaal.");
    EXPECT_EQ(lines[10], "Met vriendelijke groet,");
    EXPECT_EQ(form.MailMemo->toPlainText().split('\n'), lines);
}

TEST_F(AboutFormTest, FailingMailHandlerFallsBackToTheWebForm) {
    TAboutForm form;
    Make(form, "ENU");
    form.show();
    opens = 0;  // the mail handler fails, the browser too
    form.MailBtn->click();
    ASSERT_EQ(opened.size(), 2u);
    const QUrl web(QString::fromStdString(opened[1]));
    EXPECT_TRUE(opened[1].starts_with("https://www.rendaal.example/mailform_n_php.php?ProgNam="));
    EXPECT_EQ(QUrlQuery(web).queryItemValue("ProgNam", QUrl::FullyDecoded),
              "Rendaal, versie 1.10a");
    EXPECT_TRUE(messages.isVisible());
    EXPECT_EQ(messages.MessageMemo->toPlainText(), "Browser niet geopend.");

    opened.clear();
    opens = 1;  // only the mail handler fails
    SetUrlOpener([this](const std::string& url) {
        opened.push_back(url);
        return !url.starts_with("mailto:");
    });
    form.MailBtn->click();
    EXPECT_EQ(opened.size(), 2u);
    EXPECT_EQ(messages.MessageMemo->toPlainText(),
              "Er is iets fout gegaan bij het versturen van de e-mail.\nWebmail wordt nu gestart:");
}

TEST_F(AboutFormTest, HomePageFailureIsToldInTheLanguage) {
    opens = 0;
    TAboutForm form;
    Make(form, "ENU");
    form.show();
    form.HomeBtn->click();
    EXPECT_EQ(messages.MessageMemo->toPlainText(), "Browser not opened.");
    EXPECT_TRUE(form.isVisible());
}

TEST_F(AboutFormTest, TextsByLanguage) {
    TAboutForm form;
    Make(form, "NLD");
    form.show();
    EXPECT_EQ(form.windowTitle(), "Rendaal - Informatie");
    EXPECT_EQ(form.NameLabel->text(), "Rendaal");
    EXPECT_EQ(form.VersionLabel->text(), "versie 1.10a");
    EXPECT_EQ(form.Label3->text(), "en van dag to dag te kunnen volgen.");
    EXPECT_EQ(form.MailBtn->toolTip(), "Stuur e-mail naar auteur");
    const QStringList info = form.Memo1->toPlainText().split('\n');
    ASSERT_EQ(info.size(), 11);
    EXPECT_EQ(info[1], "Het programma Rendaal is geschreven door");
    EXPECT_EQ(info[8], "https://www.rendaal.example/");
    form.hide();
    form.setLanguageCode("ENU");
    form.show();
    EXPECT_EQ(form.windowTitle(), "Rendaal - About");
    EXPECT_EQ(form.Label1->text(), "Rendaal is a simple program to");
    EXPECT_EQ(form.HomeBtn->toolTip(), "Show Home Page in Browser");
    const QStringList english = form.Memo1->toPlainText().split('\n');
    ASSERT_EQ(english.size(), 11);
    EXPECT_EQ(english[5], "NL-1234 AB  Voorbeeldstad");
    EXPECT_EQ(english[6], "+31 020 - 123 45 67");
    EXPECT_EQ(english[10], "Write, Phone or Mail for more information.");
}

TEST_F(AboutFormTest, InformationPageAndBack) {
    QWidget main;
    main.setWindowTitle("Rendaal, versie 1.10a");
    TAboutForm form(&main);
    Make(form, "ENU");
    form.show();
    // What the panel covers is hidden, not only covered: a screen reader would offer it.
    EXPECT_FALSE(form.Memo1->isVisible());
    EXPECT_FALSE(form.OKBtn1->isVisible());
    form.AutorBtn->click();
    EXPECT_FALSE(form.MainPanel->isVisible());
    EXPECT_TRUE(form.Memo1->isVisible());
    EXPECT_TRUE(form.OKBtn1->isVisible());
    EXPECT_EQ(form.windowTitle(), "Rendaal - Informatie");
    form.OKBtn1->click();
    EXPECT_TRUE(form.MainPanel->isVisible());
    EXPECT_FALSE(form.OKBtn1->isVisible());
    EXPECT_EQ(form.windowTitle(), "Rendaal, versie 1.10a - Informatie");
    // Layout: OK centred, Home as far from the right edge as Mail from the left.
    EXPECT_EQ(form.OKBtn->x(), (form.width() - form.OKBtn->width()) / 2);
    EXPECT_EQ(form.width() - form.HomeBtn->x() - form.HomeBtn->width(), form.MailBtn->x());
    EXPECT_EQ(form.OKBtn1->x(), form.OKBtn->x());
    EXPECT_EQ(HelpContextOf(form.MailBtn), 50000);
}

}  // namespace
}  // namespace rendaal
