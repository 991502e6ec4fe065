#include "update/versions_form.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
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
#include "platform/shell.h"

namespace rendaal {

TVersionsForm* VersionsForm = nullptr;
TTerminateForm* TerminateForm = nullptr;

namespace {

// Installer files are written in blocks rather than per network chunk.
constexpr size_t kWriteBlock = 256 * 1024;

}  // namespace

UpdateConfig DefaultUpdateConfig() {
    UpdateConfig c;
    c.siteUrl = ReadMakerSite().siteUrl;
    c.dataFolder = DataFolderBase() + "Rendaal/";
    c.companionPath = ExecutableFolder() + "rendaal-sched";
    c.languageCode = ProgramEnvironment().LanguageCode;
    return c;
}

int64_t InstallerByteLimit(int32_t sizeKb) {
    const int64_t announced = static_cast<int64_t>(std::max<int32_t>(sizeKb, 0)) * 1024;
    return announced + announced / 10 + 64 * 1024;
}

int GaugeProgress(uint32_t kb, int32_t maximum) {
    const int64_t next = static_cast<int64_t>(kb) + 1;
    return static_cast<int>(std::clamp<int64_t>(next, 0, std::max<int32_t>(maximum, 0)));
}

std::string FileSha256(const std::string& path) {
    QFile file(ToQString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        return {};
    }
    return hash.result().toHex().toStdString();
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

void TVersionsForm::setTransport(std::unique_ptr<UpdateTransport> transport) {
    transport_ = std::move(transport);
}

std::string TVersionsForm::InstallerPath() const {
    return config_.dataFolder + "Temp/" + downloadName_;
}

QStringList TVersionsForm::MemoLines() const {
    return memoLines_;
}

void TVersionsForm::showEvent(QShowEvent* event) {
    setWindowTitle(ToQString(programName_) + QStringLiteral(" - Update"));
    QDialog::showEvent(event);
}

void TVersionsForm::ClearMemo() {
    memoLines_.clear();
    Memo1->clear();
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
    if (!transport_) {
        transport_ = std::make_unique<QtUpdateTransport>(config_.caFile);
    }
    std::string text;
    const std::string url = config_.siteUrl + "versions.dat";
    for (int attempt = 0; attempt < 3 && text.empty(); ++attempt) {
        if (const auto body = transport_->Get(url, kVersionListMaxBytes)) {
            text = VersionListText(*body);
        }
    }
    VersionCheck check = rendaal::ReadVersionList(text, programName, versionText);
    if (check.code == kNameNotFound && !check.damaged()) {
        installerReady_ = false;
    }
    if (check.damaged() && errorHook_) {
        errorHook_((Dutch() ? QStringLiteral("De versielijst is beschadigd: ")
                            : QStringLiteral("The version list is damaged: ")) +
                   ToQString(check.error));
    }
    return check;
}

void TVersionsForm::AddVersionLines(const VersionCheck& check, const std::string& versionText) {
    AddLine("");
    AddLine((Dutch() ? "Uw huidige versie is " : "Your current version is ") + versionText);
    AddLine((Dutch() ? "De nieuwste versie is " : "The latest version is ") + check.newestText);
    AddLine((Dutch() ? "De Downloadnaam is " : "The Download Name is ") + check.downloadName);
}

void TVersionsForm::Remember(const VersionCheck& check) {
    downloadName_ = check.downloadName;
    siteAddress_ = config_.siteUrl;
    sha256_ = check.sha256;
    installerSizeKb_ = check.installerSizeKb;
}

void TVersionsForm::CheckAtStart(const std::string& programName, const std::string& versionText) {
    if (downloading_) {
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
    for (const std::string& line : ResultLines(kUpdateAdvised, Dutch())) {
        AddLine(line);
    }
    AddVersionLines(check, versionText);
    DownloadBtn->setText(Dutch() ? QStringLiteral("Start Downloaden")
                                 : QStringLiteral("Start Downloading"));
    ExitBtn->setText(QStringLiteral("Download Later"));
    Remember(check);
    DownloadBtn->show();
    ExitBtn->show();
}

void TVersionsForm::CheckNow(int top, int left, int height, int width,
                             const std::string& programName, const std::string& versionText) {
    if (downloading_) {
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
    for (const std::string& line : ResultLines(check.code, Dutch())) {
        AddLine(line);
    }
    // Whatever the result, the exit button no longer says "Installeer".
    installerReady_ = false;
    if (check.code == kUpdateAdvised) {
        AddVersionLines(check, versionText);
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

void TVersionsForm::SayNotVerified() {
    AddLine("");
    AddLine(Dutch() ? "De installatie kon niet worden gecontroleerd."
                    : "The installer could not be verified.");
}

bool TVersionsForm::DownloadInstaller(const std::string& downloadName,
                                      const std::string& siteAddress) {
    if (downloading_) {
        return false;  // one download at a time
    }
    if (!IsSafeDownloadName(downloadName)) {
        return false;
    }
    // Without a digest to compare or a checked connection the file could never be started.
    if (sha256_.empty() || !siteAddress.starts_with("https://")) {
        SayNotVerified();
        return false;
    }
    downloading_ = true;
    cancelDownload_ = false;
    DownloadBtn->setEnabled(false);
    Gauge1->show();
    Gauge1->setRange(0, std::max<int32_t>(installerSizeKb_, 0));
    Gauge1->setValue(0);

    const std::string folder = config_.dataFolder + "Temp/";
    const std::string path = folder + downloadName;
    RemoveFile(folder + programName_ + KeepNumberChars(versionText_) + ".exe");
    RemoveFile(path);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);

    const int64_t limit = InstallerByteLimit(installerSizeKb_);
    int64_t total = 0;
    bool writeFailed = false;
    bool tooBig = false;
    std::string block;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    downloadedKb_ = 0;
    const auto flush = [&] {
        if (!block.empty() && !writeFailed) {
            writeFailed = !AppendFile(path, block);
        }
        block.clear();
    };
    // An empty file first, so that the installer file exists as soon as the download starts.
    writeFailed = !WriteFileAtomic(path, "");
    if (!transport_) {
        transport_ = std::make_unique<QtUpdateTransport>(config_.caFile);
    }
    const StreamOutcome out =
        transport_->Stream(siteAddress + downloadName, [&](std::string_view chunk) {
            if (cancelDownload_ || writeFailed) {
                return false;
            }
            total += static_cast<int64_t>(chunk.size());
            if (total > limit) {
                tooBig = true;
                return false;
            }
            hash.addData(QByteArrayView(chunk.data(), static_cast<qsizetype>(chunk.size())));
            block.append(chunk);
            if (block.size() >= kWriteBlock) {
                flush();
            }
            downloadedKb_ = static_cast<uint32_t>(total / 1024);
            Gauge1->setValue(GaugeProgress(downloadedKb_, installerSizeKb_));
            return true;
        });
    flush();
    downloading_ = false;
    DownloadBtn->setEnabled(true);

    const bool whole = out.complete && !tooBig && !writeFailed && !cancelDownload_;
    if (!whole || downloadedKb_ == 0) {
        RemoveFile(path);
        return false;
    }
    if (!out.verifiedHttps || hash.result().toHex().toStdString() != sha256_) {
        RemoveFile(path);
        SayNotVerified();
        return false;
    }
    return true;
}

void TVersionsForm::DownloadBtnClick() {
    if (downloading_) {
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

void TVersionsForm::reject() {
    cancelDownload_ = downloading_;  // the download ends and removes its file
    QDialog::reject();
}

void TVersionsForm::closeEvent(QCloseEvent* event) {
    cancelDownload_ = downloading_;
    QDialog::closeEvent(event);
}

void TVersionsForm::ExitBtnClick() {
    if (downloading_) {
        close();
        return;
    }
    if (installerReady_) {
        StartInstaller();
    } else {
        close();
    }
}

bool TVersionsForm::StartInstaller() {
    std::string display = InstallerDisplayName(downloadName_);
    AddLine("");
    AddLine((Dutch() ? "De installatie van " : "The installation of ") + display +
            (Dutch() ? " wordt gestart." : " is started."));
    const std::string path = InstallerPath();
    // The file may have been changed since it was checked; it runs only as downloaded.
    if (!IsSafeDownloadName(downloadName_) || sha256_.empty() || FileSha256(path) != sha256_) {
        RemoveFile(path);
        installerReady_ = false;
        SayNotVerified();
        return false;
    }
    std::error_code ec;
    std::filesystem::permissions(path,
                                 std::filesystem::perms::owner_exec |
                                     std::filesystem::perms::owner_read |
                                     std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::add, ec);
    if (!StartDetached(path, {"/SP-", "/silent", "/noicons"})) {
        AddLine(Dutch() ? "Installatie is mislukt." : "Installation failed.");
        return false;
    }
    AddLine((Dutch() ? "De installatie van " : "The installation of ") + display +
            (Dutch() ? " is gestart." : " has started."));
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
