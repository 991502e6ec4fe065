#include "dialogs/versions_form.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <algorithm>
#include <filesystem>

#include "core/fileio.h"
#include "core/text.h"
#include "dialogs/message_form.h"
#include "platform/app_paths.h"
#include "platform/environment.h"
#include "platform/process.h"
#include "platform/qt_text.h"
#include "platform/qt_update_transport.h"
#include "platform/shell.h"

namespace rendaal {

TVersionsForm* VersionsForm = nullptr;
TTerminateForm* TerminateForm = nullptr;

UpdateConfig DefaultUpdateConfig() {
    UpdateConfig c;
    c.siteUrl = ReadMakerSite().siteUrl;
    c.dataFolder = DataFolderBase() + "Rendaal/";
    c.companionPath = ExecutableFolder() + "rendaal-sched";
    c.languageCode = ProgramEnvironment().LanguageCode;
    return c;
}

TVersionsForm::TVersionsForm(QWidget* parent) : QDialog(parent), config_(DefaultUpdateConfig()) {
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    QFont f(QStringLiteral("Verdana"));
    f.setPixelSize(13);
    setFont(f);
    setWindowTitle(QStringLiteral("Rendaal - Update"));

    Memo1 = new QTextEdit(this);
    Memo1->setReadOnly(true);
    Memo1->setAccessibleName(QStringLiteral("Versies"));
    Memo1->setGeometry(0, 0, 425, 150);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    Panel1 = new QWidget(this);
    Panel1->setGeometry(0, 150, 425, 50);
    DownloadBtn = new QPushButton(QStringLiteral("Start Downloaden"), Panel1);
    DownloadBtn->setGeometry(10, 8, 140, 30);
    DownloadBtn->hide();
    ExitBtn = new QPushButton(QStringLiteral("Download Later"), Panel1);
    ExitBtn->setGeometry(275, 8, 140, 30);
    Gauge1 = new QProgressBar(Panel1);
    Gauge1->setGeometry(158, 12, 109, 22);
    Gauge1->setTextVisible(true);
    Gauge1->hide();

    const int clientWidth = ExitBtn->x() + ExitBtn->width() + DownloadBtn->x();
    const int clientHeight = Panel1->y() + ExitBtn->y() + ExitBtn->height() + 15;
    Memo1->resize(clientWidth, Memo1->height());
    Panel1->resize(clientWidth, clientHeight - Panel1->y());
    setFixedSize(clientWidth, clientHeight);

    NameControls();

    connect(DownloadBtn, &QPushButton::clicked, this, &TVersionsForm::DownloadBtnClick);
    connect(ExitBtn, &QPushButton::clicked, this, &TVersionsForm::ExitBtnClick);

    quitHook_ = [] {
        QApplication::closeAllWindows();
        QCoreApplication::quit();
    };
    errorHook_ = [this](const QString& text) {
        auto* box = new QMessageBox(QMessageBox::Warning, ToQString(programName_), text,
                                    QMessageBox::Ok, parentWidget());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    };
}

TVersionsForm::~TVersionsForm() {
    if (VersionsForm == this) {
        VersionsForm = nullptr;
    }
}

void TVersionsForm::SetTransport(std::unique_ptr<UpdateTransport> transport) {
    if (!Downloading()) {  // the running download holds on to the current one
        transport_ = std::move(transport);
    }
}

UpdateTransport& TVersionsForm::Transport() {
    if (!transport_) {
        transport_ = std::make_unique<QtUpdateTransport>(config_.caFile);
    }
    return *transport_;
}

std::string TVersionsForm::InstallerPath() const {
    return config_.dataFolder + "Temp/" + downloadName_;
}

QStringList TVersionsForm::MemoLines() const {
    return memoLines_;
}

QString TVersionsForm::Say(const char* dutch, const char* english) const {
    return QString::fromUtf8(Dutch() ? dutch : english);
}

// The buttons are named by their captions; the other controls say what they hold.
void TVersionsForm::NameControls() {
    Memo1->setAccessibleName(Say("Resultaat", "Result"));
    Memo1->setAccessibleDescription(Say("Uitkomst van de controle op een nieuwe versie",
                                        "Outcome of the check for a new version"));
    Panel1->setAccessibleName(Say("Knoppen", "Buttons"));
    Gauge1->setAccessibleName(Say("Voortgang van de download", "Download progress"));
    DownloadBtn->setAccessibleDescription(Say("Downloadt de installatie van de nieuwe versie",
                                              "Downloads the new version's installer"));
}

void TVersionsForm::showEvent(QShowEvent* event) {
    setWindowTitle(ToQString(programName_) + QStringLiteral(" - Update"));
    NameControls();
    QDialog::showEvent(event);
}

void TVersionsForm::ClearMemo() {
    memoLines_.clear();
    Memo1->clear();
    attemptStart_ = -1;
}

void TVersionsForm::AddLine(const std::string& line) {
    memoLines_ << ToQString(line);
    QTextCursor c(Memo1->document());
    c.movePosition(QTextCursor::End);
    if (memoLines_.size() > 1) {
        c.insertBlock();
    }
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    c.setBlockFormat(centred);
    c.insertText(ToQString(line));
}

VersionCheck TVersionsForm::ReadVersionList(const std::string& programName,
                                            const std::string& versionText) {
    programName_ = programName;
    versionText_ = versionText;
    const FetchedList list = FetchVersionList(Transport(), config_.siteUrl);
    listVerified_ = list.verifiedHttps;
    VersionCheck check = rendaal::ReadVersionList(list, programName, versionText);
    if (check.code == kNameNotFound && !check.damaged()) {
        installerReady_ = false;
    }
    if (check.damaged() && errorHook_) {
        errorHook_(ToQString(DamagedListText(check, Dutch())));
    }
    return check;
}

bool TVersionsForm::ShowCheck(const VersionCheck& check, const std::string& versionText) {
    for (const std::string& line : CheckLines(check, Dutch())) {
        AddLine(line);
    }
    if (check.code != kUpdateAdvised) {
        return false;
    }
    AddLine("");
    AddLine((Dutch() ? "Uw huidige versie is " : "Your current version is ") + versionText);
    AddLine((Dutch() ? "De nieuwste versie is " : "The latest version is ") + check.newestText);
    AddLine((Dutch() ? "De Downloadnaam is " : "The Download Name is ") + check.downloadName);
    // An offer that could only end in "not verified" is not made.
    if (listVerified_ && !check.sha256.empty()) {
        return true;
    }
    AddLine("");
    for (const std::string& line :
         InformationOnlyLines(listVerified_, !check.sha256.empty(), config_.siteUrl, Dutch())) {
        AddLine(line);
    }
    return false;
}

void TVersionsForm::Remember(const VersionCheck& check) {
    downloadName_ = check.downloadName;
    siteAddress_ = config_.siteUrl;
    sha256_ = check.sha256;
    installerSizeKb_ = check.installerSizeKb;
}

void TVersionsForm::CheckAtStart(const std::string& programName, const std::string& versionText) {
    if (Downloading()) {
        return;
    }
    const VersionCheck check = ReadVersionList(programName, versionText);
    if (check.damaged()) {
        return;
    }
    ClearMemo();
    AddLine("");
    if (check.code != kUpdateAdvised) {
        return;
    }
    show();
    // The buttons now offer a new download: "Download Later" must not start an older installer.
    installerReady_ = false;
    Gauge1->hide();
    downloadOffered_ = ShowCheck(check, versionText);
    if (downloadOffered_) {
        DownloadBtn->setText(Dutch() ? QStringLiteral("Start Downloaden")
                                     : QStringLiteral("Start Downloading"));
        ExitBtn->setText(QStringLiteral("Download Later"));
        Remember(check);
        DownloadBtn->show();
    } else {
        ExitBtn->setText(Dutch() ? QStringLiteral("Sluit Venster")
                                 : QStringLiteral("Close Window"));
        DownloadBtn->hide();
    }
    ExitBtn->show();
}

void TVersionsForm::CheckNow(int top, int left, int height, int width,
                             const std::string& programName, const std::string& versionText) {
    if (Downloading()) {
        raise();
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const VersionCheck check = ReadVersionList(programName, versionText);
    if (check.damaged()) {
        QGuiApplication::restoreOverrideCursor();
        return;
    }
    show();  // the frame's size is known once the window is shown
    const QRect frame = frameGeometry();
    move(left + (width - frame.width()) / 2, top + (height - frame.height()) / 2);
    ClearMemo();
    AddLine("");
    // Whatever the result, the exit button no longer says "Installeer".
    installerReady_ = false;
    Gauge1->hide();
    downloadOffered_ = ShowCheck(check, versionText);
    if (downloadOffered_) {
        DownloadBtn->setText(Dutch() ? QStringLiteral("Start Downloaden")
                                     : QStringLiteral("Start Downloading"));
        DownloadBtn->show();
        Remember(check);
        ExitBtn->setText(QStringLiteral("Download later"));
        ExitBtn->show();
        DownloadBtn->setFocus();
    } else {
        ExitBtn->setText(Dutch() ? QStringLiteral("Sluit Venster")
                                 : QStringLiteral("Close Window"));
        DownloadBtn->hide();
        ExitBtn->show();
        ExitBtn->setFocus();
    }
    QGuiApplication::restoreOverrideCursor();
    raise();
    activateWindow();
}

void TVersionsForm::BeginAttempt() {
    if (attemptStart_ >= 0 && attemptStart_ <= memoLines_.size()) {
        const QStringList kept = memoLines_.mid(0, attemptStart_);
        ClearMemo();
        for (const QString& line : kept) {
            AddLine(line.toStdString());
        }
    }
    attemptStart_ = static_cast<int>(memoLines_.size());
    AddLine("");
}

void TVersionsForm::ShowFailure(InstallerFailure failure) {
    AddLine(InstallerFailureText(failure, Dutch()));
}

bool TVersionsForm::DownloadInstaller(const std::string& downloadName,
                                      const std::string& siteAddress) {
    if (Downloading()) {
        return false;  // one download at a time
    }
    InstallerJob job;
    job.siteAddress = siteAddress;
    job.downloadName = downloadName;
    job.folder = config_.dataFolder + "Temp/";
    job.sizeKb = installerSizeKb_;
    job.sha256 = sha256_;
    job.earlierName = programName_ + KeepNumberChars(versionText_) + ".exe";

    InstallerDownload download(Transport());
    download_ = &download;
    DownloadBtn->setEnabled(false);
    // The button now ends the download: Return must not press it.
    const QString exitText = ExitBtn->text();
    const bool exitAutoDefault = ExitBtn->autoDefault();
    ExitBtn->setText(Say("Afbreken", "Cancel"));
    ExitBtn->setAutoDefault(false);
    ExitBtn->setDefault(false);
    Gauge1->show();
    Gauge1->setRange(0, std::max<int32_t>(installerSizeKb_, 0));
    Gauge1->setValue(0);
    const InstallerResult result = download.Run(
        job, [this](uint32_t kb) { Gauge1->setValue(GaugeProgress(kb, installerSizeKb_)); });
    download_ = nullptr;
    ExitBtn->setText(exitText);
    ExitBtn->setAutoDefault(exitAutoDefault);
    DownloadBtn->setEnabled(true);
    if (!result.ok()) {
        Gauge1->setValue(0);
        BeginAttempt();
        ShowFailure(result.failure);
        return false;
    }
    return true;
}

void TVersionsForm::DownloadBtnClick() {
    if (Downloading() || !downloadOffered_) {
        return;
    }
    if (!DownloadInstaller(downloadName_, siteAddress_)) {
        return;
    }
    ClearMemo();
    AddLine("");
    if (Dutch()) {
        AddLine(downloadName_ + " is met succes gedownload");
        AddLine("Klik \"Installeer\" om het progamma te installeren");
        ExitBtn->setText(QStringLiteral("Installeer"));
    } else {
        AddLine(downloadName_ + " has been succesfully downloaded");
        AddLine("Click \"Install\" to install the progam");
        ExitBtn->setText(QStringLiteral("Install"));
    }
    DownloadBtn->hide();
    ExitBtn->show();
    installerReady_ = true;
    ExitBtn->setFocus();
}

void TVersionsForm::CancelDownload() {
    if (download_) {
        download_->Cancel();  // the download ends, removes its file and says so
    }
}

void TVersionsForm::reject() {
    if (Downloading()) {
        CancelDownload();
        return;
    }
    QDialog::reject();
}

void TVersionsForm::closeEvent(QCloseEvent* event) {
    if (Downloading()) {
        // The close box (or the program closing its windows) ends the download and the window.
        CancelDownload();
        QDialog::reject();
        event->accept();
        return;
    }
    QDialog::closeEvent(event);
}

void TVersionsForm::ExitBtnClick() {
    if (Downloading()) {
        CancelDownload();
        return;
    }
    if (installerReady_) {
        StartInstaller();
    } else {
        close();
    }
}

void TVersionsForm::RefuseStart() {
    installerReady_ = false;
    Gauge1->setValue(0);
    Gauge1->hide();
    ExitBtn->setText(Say("Sluit Venster", "Close Window"));
    ShowFailure(InstallerFailure::NotVerified);
}

bool TVersionsForm::StartInstaller() {
    const std::string display = InstallerDisplayName(downloadName_);
    const std::string path = InstallerPath();
    BeginAttempt();
    if (!IsSafeDownloadName(downloadName_) || sha256_.empty()) {
        RefuseStart();
        return false;
    }
    // The file may have been changed since the download, and may be changed again after this
    // check: what starts is the private copy whose bytes were checked, never the file.
    CheckedCopy installer(path, InstallerByteLimit(installerSizeKb_));
    if (!installer.valid() || installer.sha256() != sha256_) {
        RemoveFile(path);
        RefuseStart();
        return false;
    }
    AddLine(InstallationLine(display, false, Dutch()));
    installer.Inheritable();
    if (!StartDetached(installer.ExecPath(), {"/SP-", "/silent", "/noicons"})) {
        ShowFailure(InstallerFailure::StartFailed);
        return false;
    }
    AddLine(InstallationLine(display, true, Dutch()));
    if (TerminateForm) {
        TerminateForm->EndProcesses(config_.companionPath);
    } else {
        EndProcesses(config_.companionPath, [] { QCoreApplication::processEvents(); });
    }
    if (quitHook_) {
        quitHook_();
    }
    return true;
}

TTerminateForm::TTerminateForm(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("TerminateForm"));
}

int TTerminateForm::EndProcesses(const std::string& path) {
    return rendaal::EndProcesses(path, [] { QCoreApplication::processEvents(); }).ended;
}

bool TTerminateForm::FindProcessByPath(const std::string& path) const {
    return rendaal::FindProcessByPath(path).has_value();
}

}  // namespace rendaal
