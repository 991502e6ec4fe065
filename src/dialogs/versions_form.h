#pragma once

#include <QDialog>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>

#include "update/installer_download.h"
#include "update/update_transport.h"
#include "update/version_list.h"

class QPlainTextEdit;
class QTextEdit;
class QProgressBar;
class QPushButton;

namespace rendaal {

struct UpdateConfig {
    std::string siteUrl;        // the maker's site, ends in "/"; versions.dat and installers
    std::string dataFolder;     // ends in "/"; installers go to its "Temp/"
    std::string companionPath;  // the scheduler program ended before installing
    std::string languageCode;   // "NLD" for the Dutch texts
    std::string caFile;         // extra trusted certificates for HTTPS ("" = the system's)
};
// From the settings ("SiteUrl"), the data folder, the program's folder and the locale.
UpdateConfig DefaultUpdateConfig();

// "Rendaal - Update": the result of a version check, and the download and start of a newer
// installer. Created once at start and reused by every check.
class TVersionsForm final : public QDialog {
    Q_OBJECT
public:
    explicit TVersionsForm(QWidget* parent = nullptr);
    ~TVersionsForm() override;

    // The automatic check: the window shows only when an update is advised.
    void CheckAtStart(const std::string& programName, const std::string& versionText);
    // "Download Nu": always shows the window, centred over the caller's rectangle.
    void CheckNow(int top, int left, int height, int width, const std::string& programName,
                  const std::string& versionText);
    // Fetches versions.dat (one request) and reads it; a damaged record is reported through the
    // error hook.
    VersionCheck ReadVersionList(const std::string& programName, const std::string& versionText);

    // True when the installer arrived whole, over checked HTTPS, with the listed SHA-256;
    // otherwise the window says why.
    bool DownloadInstaller(const std::string& downloadName, const std::string& siteAddress);
    // True when the installer was started (the program is then asked to end).
    bool StartInstaller();

    bool InstallerReady() const { return installerReady_; }
    bool Downloading() const { return download_ != nullptr; }
    std::string InstallerPath() const;
    const UpdateConfig& Config() const { return config_; }
    void SetConfig(UpdateConfig config) { config_ = std::move(config); }
    void SetTransport(std::unique_ptr<UpdateTransport> transport);
    // Called after the installer started; default: close all windows and quit.
    void SetQuitHook(std::function<void()> hook) { quitHook_ = std::move(hook); }
    // Shows a damaged version list; default: a non-modal message box.
    void SetErrorHook(std::function<void(const QString&)> hook) { errorHook_ = std::move(hook); }
    QStringList MemoLines() const;

    QTextEdit* Memo1;
    QWidget* Panel1;
    QProgressBar* Gauge1;
    QPushButton* DownloadBtn;
    QPushButton* ExitBtn;

public slots:
    void DownloadBtnClick();
    void ExitBtnClick();

    // During a download Esc ends it and the window stays to say so.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool Dutch() const { return config_.languageCode == "NLD"; }
    QString Say(const char* dutch, const char* english) const;
    UpdateTransport& Transport();
    void ClearMemo();
    void AddLine(const std::string& line);
    // Accessible names in the window's language.
    void NameControls();
    // Result lines, then the version lines when an update is advised; returns whether a
    // download can be offered (the list came over checked HTTPS and names a digest).
    bool ShowCheck(const VersionCheck& check, const std::string& versionText);
    void Remember(const VersionCheck& check);
    // Every failure the window reports goes through here. The lines of an earlier failed
    // attempt are replaced, so that retries do not pile them up.
    void BeginAttempt();
    void ShowFailure(InstallerFailure failure);
    // After a refused start: nothing is ready any more; the button closes the window.
    void RefuseStart();
    void CancelDownload();

    UpdateConfig config_;
    std::unique_ptr<UpdateTransport> transport_;
    std::function<void()> quitHook_;
    std::function<void(const QString&)> errorHook_;
    QStringList memoLines_;
    std::string programName_ = "Rendaal";
    std::string versionText_;
    std::string downloadName_;
    std::string siteAddress_;
    std::string sha256_;
    int32_t installerSizeKb_ = 0;
    bool listVerified_ = false;
    bool downloadOffered_ = false;
    int attemptStart_ = -1;  // the first memo line of a failed attempt, -1 when none
    bool installerReady_ = false;
    InstallerDownload* download_ = nullptr;  // the running download, if any
};

// Carries the two process operations used before installing; never shown.
class TTerminateForm final : public QWidget {
    Q_OBJECT
public:
    explicit TTerminateForm(QWidget* parent = nullptr);
    // Ends every running process of that executable (bounded tries for one that stays).
    int EndProcesses(const std::string& path);
    bool FindProcessByPath(const std::string& path) const;
};

extern TVersionsForm* VersionsForm;
extern TTerminateForm* TerminateForm;

}  // namespace rendaal
