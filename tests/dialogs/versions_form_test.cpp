#include "dialogs/versions_form.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <QAccessible>
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QThread>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/fileio.h"
#include "platform/qt_update_transport.h"
#include "platform/shell.h"
#include "support/test_support.h"
#include "update/update_server.h"

extern char** environ;

namespace rendaal {
namespace {

namespace fs = std::filesystem;
using test::BodyMode;
using test::Certificate;
using test::UpdateServer;

std::string Sha256(const std::string& bytes) {
    test::TempDir dir;
    test::WriteAll(dir.path() / "f", bytes);
    return FileSha256((dir.path() / "f").string());
}

std::string Record(const std::string& name, const std::string& digest, int sizeKb = 2500) {
    return "Other,other100.exe,a,10,free text of another program\r\nRendaal," + name + ",b," +
           std::to_string(sizeKb) + "," + digest + "\r\n";
}

std::string Bytes(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i * 7 + i / 2048);
    return s;
}

bool FolderEmpty(const std::string& folder) {
    std::error_code ec;
    return !fs::exists(folder, ec) || fs::is_empty(folder, ec);
}

class VersionsFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetDetachedStarter(
            [this](const std::string& program, const std::vector<std::string>& args) {
                started.push_back(program);
                startedArgs = args;
                startedBytes = test::ReadAll(program);
                if (beforeStart) {
                    beforeStart();
                }
                if (realStart) {
                    QStringList list;
                    for (const std::string& a : args) {
                        list << QString::fromStdString(a);
                    }
                    return QProcess::startDetached(QString::fromStdString(program), list);
                }
                return starterResult;
            });
    }
    void TearDown() override { SetDetachedStarter({}); }

    void Configure(TVersionsForm& form, const UpdateServer& server,
                   const std::string& lang = "NLD") {
        UpdateConfig c;
        c.siteUrl = server.base();
        c.dataFolder = dir.folder() + "data/";
        c.companionPath = dir.folder() + "rendaal-sched";
        c.languageCode = lang;
        c.caFile = server.caFile();
        form.SetConfig(c);
        form.SetErrorHook([this](const QString& text) { errors << text; });
        form.SetQuitHook([this] { ++quits; });
    }
    std::string TempFolder() const { return dir.folder() + "data/Temp/"; }

    test::TempDir dir;
    std::vector<std::string> started;
    std::vector<std::string> startedArgs;
    std::string startedBytes;  // what the last start would have run
    bool starterResult = true;
    bool realStart = false;
    std::function<void()> beforeStart;  // runs after every check, just before the start
    QStringList errors;
    int quits = 0;
};

enum class Site {
    Http,
    Https,
    Untrusted,  // https with a certificate nobody trusts
    ToHttp,     // https that sends the list on to http
    Closed,     // nothing listens
};

struct CheckCase {
    const char* name;
    Site site;
    std::string list;
    BodyMode mode;
    int status;  // of the list's answer
    const char* lang;
    bool atStart;       // the automatic check rather than "Download Nu"
    QStringList memo;   // empty: the window stays hidden
    bool offered;       // "Start Downloaden" shown
    const char* exit;   // ExitBtn's caption
    const char* error;  // the damaged-list message ("" = none)
};

// What each check shows, whatever the site did: the result lines in the window's language, the
// buttons, and only one request for the list.
TEST_F(VersionsFormTest, EachCheckSaysItsResult) {
    const std::string update = Record("setup110b.exe", std::string(64, 'a'));
    const QStringList advised = {"",
                                 "Een Update wordt aanbevolen",
                                 "",
                                 "Uw huidige versie is versie 1.10a",
                                 "De nieuwste versie is 1.10b",
                                 "De Downloadnaam is setup110b.exe"};
    const auto said = [](const char* line) { return QStringList{"", line}; };
    const std::string padding = " padding padding padding padding\r\n";
    const CheckCase cases[] = {
        {"update advised", Site::Https, update, BodyMode::Whole, 200, "NLD", false, advised, true,
         "Download later", ""},
        {"advised at start",
         Site::Https,
         update,
         BodyMode::Whole,
         200,
         "ENU",
         true,
         {"", "Update is advised", "", "Your current version is versie 1.10a",
          "The latest version is 1.10b", "The Download Name is setup110b.exe"},
         true,
         "Download Later",
         ""},
        // Over plain http the list only informs: nothing it names could be verified.
        {"plain http list",
         Site::Http,
         Record("setup110b.exe", "-"),
         BodyMode::Whole,
         200,
         "ENU",
         true,
         {"", "Update is advised", "", "Your current version is versie 1.10a",
          "The latest version is 1.10b", "The Download Name is setup110b.exe", "",
          "The version list did not come over a secure connection.",
          "Please download the new version from", "<site>"},
         false,
         "Close Window",
         ""},
        {"nothing new at start",
         Site::Http,
         "Rendaal,setup110a.exe,a,2500,-" + padding,
         BodyMode::Whole,
         200,
         "NLD",
         true,
         {},
         false,
         "",
         ""},
        {"empty list", Site::Http, "", BodyMode::Whole, 200, "NLD", false,
         said("Het bestand is te klein"), false, "Sluit Venster", ""},
        {"10 MiB of garbage", Site::Http, Bytes(10u << 20), BodyMode::Whole, 200, "NLD", false,
         said("De versielijst is te groot"), false, "Sluit Venster", ""},
        {"no connection", Site::Closed, "", BodyMode::Whole, 200, "NLD", false,
         said("Er is geen Internetverbinding"), false, "Sluit Venster", ""},
        {"no connection, English", Site::Closed, "", BodyMode::Whole, 200, "ENU", false,
         said("No Internet connection"), false, "Close Window", ""},
        {"time-out", Site::Http, update, BodyMode::Stall, 200, "NLD", false,
         said("De site antwoordde niet op tijd"), false, "Sluit Venster", ""},
        {"certificate refused", Site::Untrusted, update, BodyMode::Whole, 200, "NLD", false,
         said("Het certificaat van de site is geweigerd"), false, "Sluit Venster", ""},
        {"certificate refused, English", Site::Untrusted, update, BodyMode::Whole, 200, "ENU",
         false, said("The site's certificate was refused"), false, "Close Window", ""},
        {"redirect to http refused", Site::ToHttp, update, BodyMode::Whole, 200, "NLD", false,
         said("De site verwees naar een onbeveiligd adres; dat is geweigerd"), false,
         "Sluit Venster", ""},
        {"HTTP status", Site::Http, update, BodyMode::Whole, 404, "NLD", false,
         said("De site antwoordde met HTTP-status 404"), false, "Sluit Venster", ""},
        {"cut off", Site::Http, update + std::string(8192, ' '), BodyMode::ResetHalf, 200, "NLD",
         false, said("De verbinding werd verbroken"), false, "Sluit Venster", ""},
        {"damaged: unsafe name",
         Site::Http,
         "Rendaal,../../.bashrc,b,2500,x" + padding,
         BodyMode::Whole,
         200,
         "NLD",
         false,
         {},
         false,
         "",
         "De versielijst is beschadigd: de downloadnaam is geen gewone bestandsnaam"},
        {"damaged: size",
         Site::Http,
         "Rendaal,setup110b.exe,b,lots,x" + padding,
         BodyMode::Whole,
         200,
         "NLD",
         false,
         {},
         false,
         "",
         "De versielijst is beschadigd: de installatiegrootte \"lots\" is geen getal"},
        {"damaged: field 3",
         Site::Http,
         "Rendaal,setup110b.exe,b" + padding,
         BodyMode::Whole,
         200,
         "NLD",
         false,
         {},
         false,
         "",
         "De versielijst is beschadigd: veld 3 ontbreekt"},
        {"damaged, English",
         Site::Http,
         "Rendaal,setup110b.exe,b,2500" + padding,
         BodyMode::Whole,
         200,
         "ENU",
         false,
         {},
         false,
         "",
         "The version list is damaged: field 4 is missing"},
    };
    for (const CheckCase& c : cases) {
        UpdateServer server(c.site == Site::Http || c.site == Site::ToHttp ? Certificate::None
                            : c.site == Site::Untrusted                    ? Certificate::Other
                                                                           : Certificate::Good,
                            dir.folder());
        server.SetList(c.list, c.mode, c.status);
        std::unique_ptr<UpdateServer> secure;  // in front of the plain server
        if (c.site == Site::ToHttp) {
            secure = std::make_unique<UpdateServer>(true, dir.folder());
            secure->SetListRedirect(server.base() + "versions.dat");
        }
        TVersionsForm form;
        Configure(form, secure ? *secure : server, c.lang);
        UpdateConfig config = form.Config();
        if (c.site == Site::Closed) {
            config.siteUrl = test::ClosedPortBase();
        } else if (c.site == Site::Untrusted) {
            config.caFile.clear();
        }
        form.SetConfig(config);
        if (c.mode == BodyMode::Stall) {
            form.SetTransport(std::make_unique<QtUpdateTransport>(config.caFile, 400));
        }
        errors.clear();
        if (c.atStart) {
            form.CheckAtStart("Rendaal", "versie 1.10a");
        } else {
            form.CheckNow(100, 200, 400, 600, "Rendaal", "versie 1.10a");
        }

        if (c.site != Site::Closed && c.site != Site::Untrusted) {
            EXPECT_EQ((secure ? *secure : server).listRequests, 1) << c.name;
        }
        EXPECT_EQ(errors, c.error[0] ? QStringList{c.error} : QStringList{}) << c.name;
        EXPECT_EQ(form.isVisible(), !c.memo.isEmpty()) << c.name;
        if (!c.offered) {
            form.DownloadBtnClick();  // nothing to download
            EXPECT_EQ(server.installerRequests, 0) << c.name;
        }
        if (c.memo.isEmpty()) {
            continue;
        }
        QStringList memo = c.memo;
        memo.replaceInStrings("<site>", QString::fromStdString(config.siteUrl));
        EXPECT_EQ(form.MemoLines().join('|').toStdString(), memo.join('|').toStdString()) << c.name;
        EXPECT_EQ(form.windowTitle(), "Rendaal - Update") << c.name;
        EXPECT_EQ(!form.DownloadBtn->isHidden(), c.offered) << c.name;
        EXPECT_EQ(form.ExitBtn->text(), c.exit) << c.name;
        if (c.offered) {
            EXPECT_EQ(form.DownloadBtn->text(),
                      std::string(c.lang) == "NLD" ? "Start Downloaden" : "Start Downloading")
                << c.name;
        }
        if (!c.atStart) {
            const QRect f = form.frameGeometry();
            EXPECT_EQ(f.left(), 200 + (600 - f.width()) / 2) << c.name;
            EXPECT_EQ(f.top(), 100 + (400 - f.height()) / 2) << c.name;
        }
        // What a screen reader announces for each control.
        QWidget* const controls[] = {form.Memo1, form.Panel1, form.Gauge1, form.DownloadBtn,
                                     form.ExitBtn};
        for (QWidget* w : controls) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(a, nullptr) << c.name;
            EXPECT_FALSE(a->text(QAccessible::Name).isEmpty())
                << c.name << ": " << w->metaObject()->className();
        }
    }
}

// The installer: a script that notes its arguments, padded to 2 560 000 bytes.
// The record appears whole (renamed into place): a test that sees it may read it at once.
std::string InstallerScript(const std::string& record) {
    std::string s = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record + ".part' && mv '" + record +
                    ".part' '" + record + "'\nexit 0\n#";
    s.resize(2560000 - 1, 'x');
    return s + "\n";
}

TEST_F(VersionsFormTest, VerifiedInstallerOverHttpsIsDownloadedAndStarted) {
    SetDetachedStarter({});  // the real start
    UpdateServer server(true, dir.folder());
    const std::string ranFile = dir.folder() + "ran.txt";
    const std::string installer = InstallerScript(ranFile);
    server.SetInstaller(installer, BodyMode::Chunked);
    server.SetList(Record("setup110b.exe", Sha256(installer)));

    // A running companion in the program's folder is ended before the program quits.
    const std::string companion = fs::canonical(dir.path()).string() + "/rendaal-sched";
    fs::copy_file("/bin/sleep", companion);
    pid_t pid = 0;
    char arg0[] = "rendaal-sched";
    char arg1[] = "30";
    char* argv[] = {arg0, arg1, nullptr};
    ASSERT_EQ(posix_spawn(&pid, companion.c_str(), nullptr, nullptr, argv, environ), 0);

    TVersionsForm form;
    Configure(form, server);
    UpdateConfig c = form.Config();
    c.companionPath = companion;
    form.SetConfig(c);
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    ASSERT_FALSE(form.DownloadBtn->isHidden());
    form.DownloadBtn->click();

    EXPECT_TRUE(form.InstallerReady());
    EXPECT_EQ(form.Gauge1->maximum(), 2500);
    EXPECT_EQ(form.Gauge1->value(), 2500);
    EXPECT_EQ(test::ReadAll(TempFolder() + "setup110b.exe"), installer);
    EXPECT_EQ(form.MemoLines(),
              (QStringList{"", "setup110b.exe is met succes gedownload",
                           "Klik \"Installeer\" om het progamma te installeren"}));
    EXPECT_EQ(form.ExitBtn->text(), "Installeer");
    EXPECT_TRUE(form.DownloadBtn->isHidden());

    form.ExitBtn->click();
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(form.MemoLines().mid(3), (QStringList{"", "De installatie van Setupb wordt gestart.",
                                                    "De installatie van Setupb is gestart."}));
    for (int i = 0; i < 600 && !fs::exists(ranFile); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(test::ReadAll(ranFile), "/SP-\n/silent\n/noicons\n");
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, WNOHANG), pid) << "the companion still runs";
    if (!WIFSIGNALED(status)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
    }
}

bool AwaitFile(const std::string& path) {
    // Generous: a loaded machine may take seconds to start a shell.
    for (int i = 0; i < 600 && !fs::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return fs::exists(path);
}

// Someone who may write in the download folder replaces the checked installer just before it
// starts: what runs must still be what was checked.
TEST_F(VersionsFormTest, InstallerSwappedAfterTheCheckDoesNotRun) {
    UpdateServer server(true, dir.folder());
    const std::string genuineRan = dir.folder() + "genuine.txt";
    const std::string swappedRan = dir.folder() + "swapped.txt";
    const std::string installer = InstallerScript(genuineRan);
    server.SetInstaller(installer, BodyMode::Whole);
    server.SetList(Record("setup110b.exe", Sha256(installer)));
    TVersionsForm form;
    Configure(form, server);
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    form.DownloadBtn->click();
    ASSERT_TRUE(form.InstallerReady());
    const std::string path = TempFolder() + "setup110b.exe";
    beforeStart = [&] {
        test::WriteAll(path + ".new", "#!/bin/sh\ntouch '" + swappedRan + "'\n");
        fs::permissions(path + ".new", fs::perms::owner_all);
        fs::rename(path + ".new", path);
    };
    realStart = true;
    form.ExitBtn->click();
    EXPECT_TRUE(AwaitFile(genuineRan));
    EXPECT_FALSE(fs::exists(swappedRan));
    EXPECT_EQ(test::ReadAll(genuineRan), "/SP-\n/silent\n/noicons\n");
}

enum class Digest { Right, Wrong, None };
enum class Detour { None, ToHttp, ToWrongHost, ToSelfSigned };

struct FaultCase {
    const char* name;
    BodyMode mode;
    std::string body;
    Digest digest;
    bool plainHttpList;
    Detour detour;        // where the installer request is redirected
    int32_t sizeKb;       // as the list announces it
    int timeoutMs;        // of the transport; 0 = the usual
    bool offered;         // "Start Downloaden" is offered
    const char* message;  // a line of the window, or the start of the damaged-list message
};

// Everything a hostile or broken site can do to the installer download: for each, nothing is
// started, no file or empty Temp folder is left, and the window says why.
TEST_F(VersionsFormTest, ServerFaultsStartNothingLeaveNoFileAndSayWhy) {
    const std::string good = Bytes(300 * 1024);
    const char* notVerified = "De installatie kon niet worden gecontroleerd.";
    const char* certificate = "Het certificaat van de site is geweigerd.";
    const FaultCase cases[] = {
        {"empty body", BodyMode::Whole, "", Digest::Right, false, Detour::None, 300, 0, true,
         "Het installatiebestand is niet ontvangen."},
        {"800 bytes", BodyMode::Whole, Bytes(800), Digest::Right, false, Detour::None, 300, 0, true,
         "Het installatiebestand is niet ontvangen."},
        {"reset mid-body", BodyMode::ResetHalf, good, Digest::Right, false, Detour::None, 300, 0,
         true, "De verbinding werd verbroken tijdens het downloaden."},
        {"endless body", BodyMode::Endless, good, Digest::Right, false, Detour::None, 300, 0, true,
         "Het installatiebestand is groter dan aangekondigd."},
        {"body stalls", BodyMode::Stall, good, Digest::Right, false, Detour::None, 300, 400, true,
         "De site antwoordde niet op tijd."},
        {"wrong digest", BodyMode::Whole, good, Digest::Wrong, false, Detour::None, 300, 0, true,
         notVerified},
        {"no digest", BodyMode::Whole, good, Digest::None, false, Detour::None, 300, 0, false,
         "De versielijst noemt geen controlegetal voor de installatie."},
        {"plain http list", BodyMode::Whole, good, Digest::Right, true, Detour::None, 300, 0, false,
         "De versielijst kwam niet over een beveiligde verbinding."},
        {"https to http redirect", BodyMode::Whole, good, Digest::Right, false, Detour::ToHttp, 300,
         0, true, notVerified},
        {"wrong-host certificate", BodyMode::Whole, good, Digest::Right, false, Detour::ToWrongHost,
         300, 0, true, certificate},
        {"self-signed certificate", BodyMode::Whole, good, Digest::Right, false,
         Detour::ToSelfSigned, 300, 0, true, certificate},
        {"announced size above the ceiling", BodyMode::Endless, good, Digest::Right, false,
         Detour::None, kMaxInstallerKb + 1, 0, false,
         "De versielijst is beschadigd: de installatiegrootte 262145 KB is groter dan 262144 KB"},
    };
    for (const FaultCase& c : cases) {
        UpdateServer server(!c.plainHttpList, dir.folder());
        server.SetInstaller(c.body, c.mode);
        const std::string digest = c.digest == Digest::Right   ? Sha256(c.body)
                                   : c.digest == Digest::Wrong ? Sha256("other")
                                                               : "made by hand";
        server.SetList(Record("setup110b.exe", digest, c.sizeKb));
        // The detour's server serves the right installer, so only the road can be at fault.
        std::unique_ptr<UpdateServer> detour;
        std::string trusted = test::ReadAll(server.caFile());
        if (c.detour != Detour::None) {
            detour = std::make_unique<UpdateServer>(c.detour == Detour::ToHttp ? Certificate::None
                                                    : c.detour == Detour::ToWrongHost
                                                        ? Certificate::WrongHost
                                                        : Certificate::Other,
                                                    dir.folder());
            detour->SetInstaller(c.body, BodyMode::Whole);
            server.SetInstallerRedirect(detour->base() + "setup110b.exe");
            if (c.detour == Detour::ToWrongHost) {
                trusted += test::ReadAll(detour->caFile());
            }
        }
        test::WriteAll(dir.folder() + "trusted.pem", trusted);
        TVersionsForm form;
        Configure(form, server);
        UpdateConfig config = form.Config();
        config.caFile = dir.folder() + "trusted.pem";
        form.SetConfig(config);
        if (c.timeoutMs > 0) {
            form.SetTransport(std::make_unique<QtUpdateTransport>(config.caFile, c.timeoutMs));
        }
        errors.clear();
        form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
        EXPECT_EQ(!form.DownloadBtn->isHidden(), c.offered) << c.name;
        form.DownloadBtn->click();

        EXPECT_FALSE(form.InstallerReady()) << c.name;
        EXPECT_FALSE(fs::exists(TempFolder())) << c.name;
        EXPECT_EQ(server.installerRequests > 0, c.offered) << c.name;
        if (detour) {
            EXPECT_EQ(detour->installerRequests, 0) << c.name;
        }
        if (std::string(c.message).starts_with("De versielijst is beschadigd")) {
            EXPECT_EQ(errors, QStringList{c.message}) << c.name;
            EXPECT_FALSE(form.isVisible()) << c.name;
        } else {
            EXPECT_TRUE(form.MemoLines().contains(c.message))
                << c.name << ": " << form.MemoLines().join('|').toStdString();
        }
        if (c.offered) {
            EXPECT_EQ(form.MemoLines().last(), c.message) << c.name;
            EXPECT_EQ(form.Gauge1->value(), 0) << c.name;
            EXPECT_FALSE(form.DownloadBtn->isHidden()) << c.name;
            EXPECT_TRUE(form.DownloadBtn->isEnabled()) << c.name;
        } else if (form.isVisible()) {
            EXPECT_EQ(form.MemoLines().last().toStdString(), server.base()) << c.name;
            EXPECT_EQ(form.ExitBtn->text(), "Sluit Venster") << c.name;
        }
        form.ExitBtn->click();  // never starts anything: nothing is ready
        EXPECT_FALSE(form.isVisible()) << c.name;
        EXPECT_TRUE(started.empty()) << c.name;
        EXPECT_EQ(quits, 0) << c.name;

        if (!c.plainHttpList) {  // the window can try again once the site is mended
            server.SetInstallerRedirect("");
            server.SetInstaller(good, BodyMode::Whole);
            server.SetList(Record("setup110b.exe", Sha256(good), 300));
            form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
            form.DownloadBtn->click();
            EXPECT_TRUE(form.InstallerReady()) << c.name;
            EXPECT_TRUE(RemoveFile(TempFolder() + "setup110b.exe")) << c.name;
            fs::remove(TempFolder());
        }
    }
}

TEST_F(VersionsFormTest, RepeatedFailuresReplaceTheirLine) {
    UpdateServer server(true, dir.folder());
    server.SetInstaller(Bytes(4096), BodyMode::Whole);
    server.SetList(Record("setup110b.exe", Sha256("other"), 4));
    TVersionsForm form;
    Configure(form, server, "ENU");
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    const QStringList offer = form.MemoLines();
    form.DownloadBtn->click();
    form.DownloadBtn->click();
    EXPECT_EQ(server.installerRequests, 2);
    EXPECT_EQ(form.MemoLines(), offer + QStringList({"", "The installer could not be verified."}));
}

// Changed after the download: refused, the gauge emptied and the button only closes.
TEST_F(VersionsFormTest, InstallerChangedBeforeTheCheckIsNotStarted) {
    UpdateServer server(true, dir.folder());
    const std::string body = Bytes(8192);
    server.SetInstaller(body, BodyMode::Whole);
    server.SetList(Record("setup110b.exe", Sha256(body), 8));
    TVersionsForm form;
    Configure(form, server);
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    form.DownloadBtn->click();
    ASSERT_TRUE(form.InstallerReady());
    test::WriteAll(TempFolder() + "setup110b.exe", "#!/bin/sh\nrm -rf ~\n");
    form.ExitBtn->click();
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(quits, 0);
    EXPECT_FALSE(fs::exists(TempFolder() + "setup110b.exe"));
    EXPECT_EQ(form.MemoLines().mid(3),
              (QStringList{"", "De installatie kon niet worden gecontroleerd."}));
    EXPECT_EQ(form.Gauge1->value(), 0);
    EXPECT_EQ(form.ExitBtn->text(), "Sluit Venster");
    form.ExitBtn->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(started.empty());
}

TEST_F(VersionsFormTest, FailedStartKeepsTheInstallerForAnotherTry) {
    UpdateServer server(true, dir.folder());
    const std::string body = Bytes(8192);
    server.SetInstaller(body, BodyMode::Whole);
    server.SetList(Record("setup110a.exe", Sha256(body), 8));
    TVersionsForm form;
    Configure(form, server, "ENU");
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.09");
    form.DownloadBtn->click();
    ASSERT_TRUE(form.InstallerReady());
    starterResult = false;
    form.ExitBtn->click();
    form.ExitBtn->click();  // a second failure replaces the first one's lines
    EXPECT_EQ(form.MemoLines().mid(3),
              (QStringList{"", "The installation of Setupa is started.", "Installation failed."}));
    EXPECT_TRUE(form.InstallerReady());
    EXPECT_EQ(form.ExitBtn->text(), "Install");
    EXPECT_EQ(quits, 0);
    starterResult = true;
    form.ExitBtn->click();
    EXPECT_EQ(quits, 1);
    ASSERT_EQ(started.size(), 3u);
    EXPECT_EQ(startedBytes, body);
    EXPECT_EQ(startedArgs, (std::vector<std::string>{"/SP-", "/silent", "/noicons"}));
}

TEST_F(VersionsFormTest, ANewCheckNeverLetsCloseOrLaterStartAnOlderInstaller) {
    UpdateServer server(true, dir.folder());
    const std::string body = Bytes(8192);
    server.SetInstaller(body, BodyMode::Whole);
    server.SetList(Record("setup110b.exe", Sha256(body), 8));
    TVersionsForm form;
    Configure(form, server);
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    form.DownloadBtn->click();
    ASSERT_TRUE(form.InstallerReady());
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10b");  // now up to date
    EXPECT_EQ(form.ExitBtn->text(), "Sluit Venster");
    form.ExitBtn->click();
    EXPECT_TRUE(started.empty());
    EXPECT_FALSE(form.isVisible());
}

TEST_F(VersionsFormTest, NameMissingFromTheListClearsTheReadyInstaller) {
    UpdateServer server(true, dir.folder());
    const std::string body = Bytes(8192);
    server.SetInstaller(body, BodyMode::Whole);
    server.SetList(Record("setup110b.exe", Sha256(body), 8));
    TVersionsForm form;
    Configure(form, server);
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    form.DownloadBtn->click();
    ASSERT_TRUE(form.InstallerReady());
    server.SetList(std::string(100, '-'));
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    EXPECT_FALSE(form.InstallerReady());
    EXPECT_EQ(form.MemoLines(), (QStringList{"", "Programma-naam niet gevonden"}));
}

// Hands the body over in exact 2048-byte chunks and can press the button again meanwhile.
class ChunkTransport final : public UpdateTransport {
public:
    explicit ChunkTransport(std::string list, std::string body)
        : list_(std::move(list)), body_(std::move(body)) {}
    ListReply Get(const std::string&, size_t) override { return ListReply{list_, true}; }
    StreamOutcome Stream(const std::string&,
                         const std::function<bool(std::string_view)>& sink) override {
        ++streams;
        for (size_t pos = 0; pos < body_.size(); pos += 2048) {
            if (pos == 4096 && pressDuring) {
                pressDuring->DownloadBtnClick();
            }
            if (pos == 8192 && during) {
                during();
            }
            if (!sink(std::string_view(body_).substr(pos, 2048))) {
                return {};
            }
            gaugeSeen = std::max(gaugeSeen, pressDuring ? 0 : 1);
        }
        return {true, true, ""};
    }
    int streams = 0;
    int gaugeSeen = 0;
    TVersionsForm* pressDuring = nullptr;
    std::function<void()> during;  // halfway through

private:
    std::string list_;
    std::string body_;
};

TEST_F(VersionsFormTest, GaugeIsCappedAndASecondPressStartsNoSecondDownload) {
    UpdateServer server(true, dir.folder());  // only for the configuration
    const std::string body = Bytes(2560000);
    TVersionsForm form;
    Configure(form, server);
    auto transport = std::make_unique<ChunkTransport>(Record("setup110a.exe", Sha256(body)), body);
    ChunkTransport* t = transport.get();
    t->pressDuring = &form;
    form.SetTransport(std::move(transport));
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.09");
    form.DownloadBtn->click();
    EXPECT_EQ(t->streams, 1);
    EXPECT_TRUE(form.InstallerReady());
    EXPECT_EQ(form.Gauge1->value(), form.Gauge1->maximum());
    EXPECT_EQ(fs::file_size(TempFolder() + "setup110a.exe"), 2560000u);
}

void Press(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}

// Cancelled only on purpose, and then said in the open window; Return never cancels.
TEST_F(VersionsFormTest, ADownloadEndsOnlyWhenCancelledAndSaysSo) {
    struct Case {
        const char* name;
        std::function<void(TVersionsForm&)> during;
        bool cancels;
        bool staysOpen = true;
    };
    const Case cases[] = {
        {"the cancel button", [](TVersionsForm& f) { f.ExitBtn->click(); }, true},
        {"Escape", [](TVersionsForm& f) { Press(&f, Qt::Key_Escape); }, true},
        {"Return on the focused button",
         [](TVersionsForm& f) {
             Press(f.focusWidget() ? f.focusWidget() : f.ExitBtn, Qt::Key_Return);
         },
         false},
        {"Enter on the window", [](TVersionsForm& f) { Press(&f, Qt::Key_Enter); }, false},
        {"closing the window", [](TVersionsForm& f) { f.close(); }, true, false},
    };
    UpdateServer server(true, dir.folder());  // only for the configuration
    const std::string body = Bytes(100000);
    for (const Case& c : cases) {
        TVersionsForm form;
        Configure(form, server);
        auto transport =
            std::make_unique<ChunkTransport>(Record("setup110a.exe", Sha256(body), 98), body);
        ChunkTransport* t = transport.get();
        QString captionDuring;
        t->during = [&] {
            captionDuring = form.ExitBtn->text();
            c.during(form);
        };
        form.SetTransport(std::move(transport));
        form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.09");
        form.DownloadBtn->setFocus();
        form.DownloadBtn->click();
        EXPECT_EQ(captionDuring, "Afbreken") << c.name;
        EXPECT_EQ(form.isVisible(), c.staysOpen) << c.name;
        EXPECT_EQ(form.InstallerReady(), !c.cancels) << c.name;
        if (!c.cancels) {
            EXPECT_EQ(test::ReadAll(TempFolder() + "setup110a.exe"), body) << c.name;
            fs::remove_all(TempFolder());
            continue;
        }
        EXPECT_EQ(form.MemoLines().last(), "Het downloaden is afgebroken.") << c.name;
        EXPECT_EQ(form.Gauge1->value(), 0) << c.name;
        EXPECT_EQ(form.ExitBtn->text(), "Download later") << c.name;
        EXPECT_TRUE(FolderEmpty(TempFolder())) << c.name;
        t->during = nullptr;  // and it can try again
        form.DownloadBtn->click();
        EXPECT_TRUE(form.InstallerReady()) << c.name;
        EXPECT_EQ(test::ReadAll(TempFolder() + "setup110a.exe"), body) << c.name;
        fs::remove_all(TempFolder());
    }
}

}  // namespace
}  // namespace rendaal
