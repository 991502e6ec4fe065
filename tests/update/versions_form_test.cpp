#include "update/versions_form.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <QCoreApplication>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>

#include <chrono>
#include <filesystem>
#include <thread>

#include "core/fileio.h"
#include "platform/shell.h"
#include "support/test_support.h"
#include "update/update_server.h"

extern char** environ;

namespace rendaal {
namespace {

namespace fs = std::filesystem;
using test::BodyMode;
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
        form.setConfig(c);
        form.setErrorHook([this](const QString& text) { errors << text; });
        form.setQuitHook([this] { ++quits; });
    }
    std::string TempFolder() const { return dir.folder() + "data/Temp/"; }

    test::TempDir dir;
    std::vector<std::string> started;
    std::vector<std::string> startedArgs;
    bool starterResult = true;
    QStringList errors;
    int quits = 0;
};

TEST_F(VersionsFormTest, CheckNowAdvisesAnUpdateAndCentresOverTheCaller) {
    UpdateServer server(false, dir.folder());
    server.SetList(Record("setup110b.exe", std::string(64, 'a')));
    TVersionsForm form;
    Configure(form, server);
    form.CheckNow(100, 200, 400, 600, "Rendaal", "versie 1.10a");
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), "Rendaal - Update");
    EXPECT_EQ(
        form.MemoLines(),
        (QStringList{"", "Een Update wordt aanbevolen", "", "Uw huidige versie is versie 1.10a",
                     "De nieuwste versie is 1.10b", "De Downloadnaam is setup110b.exe"}));
    EXPECT_EQ(form.DownloadBtn->text(), "Start Downloaden");
    EXPECT_FALSE(form.DownloadBtn->isHidden());
    EXPECT_EQ(form.ExitBtn->text(), "Download later");
    const QRect f = form.frameGeometry();
    EXPECT_EQ(f.left(), 200 + (600 - f.width()) / 2);
    EXPECT_EQ(f.top(), 100 + (400 - f.height()) / 2);
    EXPECT_EQ(server.listRequests, 1);
}

TEST_F(VersionsFormTest, EnglishTexts) {
    UpdateServer server(false, dir.folder());
    server.SetList(Record("setup110b.exe", "-"));
    TVersionsForm form;
    Configure(form, server, "ENU");
    form.CheckAtStart("Rendaal", "versie 1.10a");
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.MemoLines(),
              (QStringList{"", "Update is advised", "", "Your current version is versie 1.10a",
                           "The latest version is 1.10b", "The Download Name is setup110b.exe"}));
    EXPECT_EQ(form.DownloadBtn->text(), "Start Downloading");
    EXPECT_EQ(form.ExitBtn->text(), "Download Later");
}

TEST_F(VersionsFormTest, AutomaticCheckWithoutUpdateShowsNothing) {
    UpdateServer server(false, dir.folder());
    server.SetList(Record("setup110a.exe", "-"));
    TVersionsForm form;
    Configure(form, server);
    form.CheckAtStart("Rendaal", "versie 1.10b");
    EXPECT_FALSE(form.isVisible());
}

TEST_F(VersionsFormTest, NothingReceivedAfterThreeAttemptsIsTooSmall) {
    UpdateServer server(false, dir.folder());
    server.SetList("");
    TVersionsForm form;
    Configure(form, server);
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    EXPECT_EQ(server.listRequests, 3);
    EXPECT_EQ(form.MemoLines(), (QStringList{"", "Het bestand is te klein"}));
    EXPECT_EQ(form.ExitBtn->text(), "Sluit Venster");
    EXPECT_TRUE(form.DownloadBtn->isHidden());
}

TEST_F(VersionsFormTest, TenMebibytesOfGarbageIsNoList) {
    UpdateServer server(false, dir.folder());
    server.SetList(Bytes(10u << 20));
    TVersionsForm form;
    Configure(form, server);
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    EXPECT_EQ(form.MemoLines(), (QStringList{"", "Het bestand is te klein"}));
}

TEST_F(VersionsFormTest, DamagedRecordIsReportedAndNothingIsShownOrWritten) {
    const char* lists[] = {"Rendaal,../../.bashrc,b,2500,x padding padding padding padding\r\n",
                           "Rendaal,setup110b.exe,b,lots,x padding padding padding padding\r\n",
                           "Rendaal,setup110b.exe,b padding padding padding padding padding"};
    for (const char* list : lists) {
        UpdateServer server(false, dir.folder());
        server.SetList(list);
        TVersionsForm form;
        Configure(form, server);
        errors.clear();
        form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
        EXPECT_FALSE(form.isVisible()) << list;
        ASSERT_EQ(errors.size(), 1) << list;
        EXPECT_TRUE(errors[0].startsWith("De versielijst is beschadigd")) << list;
        EXPECT_FALSE(form.DownloadInstaller("../../.bashrc", server.base()));
        EXPECT_EQ(server.installerRequests, 0);
    }
    EXPECT_FALSE(fs::exists(dir.folder() + ".bashrc"));
    EXPECT_TRUE(FolderEmpty(TempFolder()));
}

// The installer: a script that notes its arguments, padded to 2 560 000 bytes.
std::string InstallerScript(const std::string& record) {
    std::string s = "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record + "'\nexit 0\n#";
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
    UpdateConfig c = form.config();
    c.companionPath = companion;
    form.setConfig(c);
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    ASSERT_FALSE(form.DownloadBtn->isHidden());
    form.DownloadBtn->click();

    EXPECT_TRUE(form.installerReady());
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
    for (int i = 0; i < 100 && !fs::exists(ranFile); ++i) {
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

struct FaultCase {
    const char* name;
    BodyMode mode;
    std::string body;
    bool wrongDigest;
    bool plainHttp;
    bool saysNotVerified;
};

TEST_F(VersionsFormTest, ServerFaultsStartNothingAndLeaveNoFile) {
    const std::string good = Bytes(300 * 1024);
    const FaultCase cases[] = {
        {"empty body", BodyMode::Whole, "", false, false, false},
        {"800 bytes", BodyMode::Whole, Bytes(800), false, false, false},
        {"reset mid-body", BodyMode::ResetHalf, good, false, false, false},
        {"endless body", BodyMode::Endless, good, false, false, false},
        {"wrong digest", BodyMode::Whole, good, true, false, true},
        {"plain http", BodyMode::Whole, good, false, true, true},
    };
    for (const FaultCase& c : cases) {
        UpdateServer server(!c.plainHttp, dir.folder());
        server.SetInstaller(c.body, c.mode);
        server.SetList(
            Record("setup110b.exe", c.wrongDigest ? Sha256("other") : Sha256(c.body), 300));
        TVersionsForm form;
        Configure(form, server);
        form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
        form.DownloadBtn->click();
        EXPECT_FALSE(form.installerReady()) << c.name;
        EXPECT_TRUE(FolderEmpty(TempFolder())) << c.name;
        EXPECT_FALSE(form.DownloadBtn->isHidden()) << c.name;
        EXPECT_TRUE(form.DownloadBtn->isEnabled()) << c.name;
        EXPECT_EQ(form.MemoLines().last() == "De installatie kon niet worden gecontroleerd.",
                  c.saysNotVerified)
            << c.name;
        form.ExitBtn->click();  // never starts anything: nothing is ready
        EXPECT_FALSE(form.isVisible()) << c.name;
        EXPECT_TRUE(started.empty()) << c.name;
        EXPECT_EQ(quits, 0) << c.name;

        if (!c.plainHttp) {  // the window can try again once the site is mended
            server.SetInstaller(good, BodyMode::Whole);
            server.SetList(Record("setup110b.exe", Sha256(good), 300));
            form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
            form.DownloadBtn->click();
            EXPECT_TRUE(form.installerReady()) << c.name;
            EXPECT_TRUE(RemoveFile(TempFolder() + "setup110b.exe")) << c.name;
        }
    }
}

TEST_F(VersionsFormTest, UntrustedCertificateStartsNothing) {
    UpdateServer server(true, dir.folder());
    const std::string body = Bytes(8192);
    server.SetInstaller(body, BodyMode::Whole);
    server.SetList(Record("setup110b.exe", Sha256(body), 8));
    TVersionsForm form;
    Configure(form, server);
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    form.setTransport(std::make_unique<QtUpdateTransport>());  // trusts only the system's
    form.DownloadBtn->click();
    EXPECT_EQ(server.installerRequests, 0);  // refused at the handshake
    EXPECT_FALSE(form.installerReady());
    EXPECT_TRUE(FolderEmpty(TempFolder()));
    EXPECT_FALSE(form.DownloadBtn->isHidden());
}

TEST_F(VersionsFormTest, ListWithoutDigestDownloadsNothing) {
    UpdateServer server(true, dir.folder());
    server.SetInstaller(Bytes(4096), BodyMode::Whole);
    server.SetList(Record("setup110b.exe", "made by hand"));
    TVersionsForm form;
    Configure(form, server);
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    form.DownloadBtn->click();
    EXPECT_EQ(server.installerRequests, 0);
    EXPECT_EQ(form.MemoLines().last(), "De installatie kon niet worden gecontroleerd.");
}

TEST_F(VersionsFormTest, InstallerChangedAfterDownloadIsNotStarted) {
    UpdateServer server(true, dir.folder());
    const std::string body = Bytes(8192);
    server.SetInstaller(body, BodyMode::Whole);
    server.SetList(Record("setup110b.exe", Sha256(body), 8));
    TVersionsForm form;
    Configure(form, server);
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    form.DownloadBtn->click();
    ASSERT_TRUE(form.installerReady());
    test::WriteAll(TempFolder() + "setup110b.exe", "#!/bin/sh\nrm -rf ~\n");
    form.ExitBtn->click();
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(quits, 0);
    EXPECT_FALSE(fs::exists(TempFolder() + "setup110b.exe"));
    EXPECT_EQ(form.MemoLines().last(), "De installatie kon niet worden gecontroleerd.");
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
    ASSERT_TRUE(form.installerReady());
    starterResult = false;
    form.ExitBtn->click();
    EXPECT_EQ(form.MemoLines().mid(3),
              (QStringList{"", "The installation of Setupa is started.", "Installation failed."}));
    EXPECT_TRUE(form.installerReady());
    EXPECT_EQ(quits, 0);
    starterResult = true;
    form.ExitBtn->click();
    EXPECT_EQ(quits, 1);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[1], TempFolder() + "setup110a.exe");
    EXPECT_EQ(startedArgs, (std::vector<std::string>{"/SP-", "/silent", "/noicons"}));
    EXPECT_TRUE(fs::status(started[1]).permissions() ==
                (fs::status(started[1]).permissions() | fs::perms::owner_exec));
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
    ASSERT_TRUE(form.installerReady());
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
    ASSERT_TRUE(form.installerReady());
    server.SetList(std::string(100, '-'));
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.10a");
    EXPECT_FALSE(form.installerReady());
    EXPECT_EQ(form.MemoLines(), (QStringList{"", "Programma-naam niet gevonden"}));
}

// Hands the body over in exact 2048-byte chunks and can press the button again meanwhile.
class ChunkTransport final : public UpdateTransport {
public:
    explicit ChunkTransport(std::string list, std::string body)
        : list_(std::move(list)), body_(std::move(body)) {}
    std::optional<std::string> Get(const std::string&, size_t) override { return list_; }
    StreamOutcome Stream(const std::string&,
                         const std::function<bool(std::string_view)>& sink) override {
        ++streams;
        for (size_t pos = 0; pos < body_.size(); pos += 2048) {
            if (pos == 4096 && pressDuring) {
                pressDuring->DownloadBtnClick();
            }
            if (pos == 8192 && closeDuring) {
                closeDuring->ExitBtn->click();
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
    TVersionsForm* closeDuring = nullptr;

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
    form.setTransport(std::move(transport));
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.09");
    form.DownloadBtn->click();
    EXPECT_EQ(t->streams, 1);
    EXPECT_TRUE(form.installerReady());
    EXPECT_EQ(form.Gauge1->value(), form.Gauge1->maximum());
    EXPECT_EQ(fs::file_size(TempFolder() + "setup110a.exe"), 2560000u);
}

TEST_F(VersionsFormTest, ClosingTheWindowEndsTheDownloadAndRemovesTheFile) {
    UpdateServer server(true, dir.folder());  // only for the configuration
    const std::string body = Bytes(100000);
    TVersionsForm form;
    Configure(form, server);
    auto transport =
        std::make_unique<ChunkTransport>(Record("setup110a.exe", Sha256(body), 98), body);
    ChunkTransport* t = transport.get();
    t->closeDuring = &form;
    form.setTransport(std::move(transport));
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.09");
    form.DownloadBtn->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_FALSE(form.installerReady());
    EXPECT_TRUE(FolderEmpty(TempFolder()));
    t->closeDuring = nullptr;  // and it can try again
    form.CheckNow(0, 0, 500, 500, "Rendaal", "versie 1.09");
    form.DownloadBtn->click();
    EXPECT_TRUE(form.installerReady());
    EXPECT_EQ(test::ReadAll(TempFolder() + "setup110a.exe"), body);
}

TEST(InstallerLimits, GaugeAndByteLimit) {
    EXPECT_EQ(GaugeProgress(0, 2500), 1);
    EXPECT_EQ(GaugeProgress(2499, 2500), 2500);
    EXPECT_EQ(GaugeProgress(2500, 2500), 2500);
    EXPECT_EQ(GaugeProgress(5, 0), 0);
    EXPECT_GE(InstallerByteLimit(2500), 2560000);
    EXPECT_LT(InstallerByteLimit(2500), 4000000);
    EXPECT_GT(InstallerByteLimit(0), 0);
}

}  // namespace
}  // namespace rendaal
