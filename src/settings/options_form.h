#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <utility>

#include "analytics/alert_notice.h"
#include "core/settings_values.h"
#include "platform/settings_store.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRect;
class QSpinBox;

namespace rendaal {

// What the settings dialog needs from the main window. Every member may be left empty.
struct OptionsHooks {
    QWidget* mainWindow = nullptr;  // the dialog centres itself over it
    std::function<void(bool)> setDownloadTimerEnabled;
    std::function<void(int ms)> setDownloadTimerInterval;
    // Runs a download run directly (not through the Download button); the year range must be
    // up to date when it returns.
    std::function<void()> runDownload;
    // Clears the add dialog's year list, fills from..till ascending and selects the first.
    std::function<void(int from, int till)> refillYears;
    // YearFrom and YearTill as the latest download run left them.
    std::function<std::pair<int, int>()> yearRange;
    // "Download Nu": the version check, shown centred over the dialog's frame.
    std::function<void(const QRect& caller)> checkNow;
    std::string programName = "Rendaal";
    // The alert limits or "Meldingen Aan" were stored anew: evaluate the alerts again.
    std::function<void()> alertSettingsChanged;
};

// "Rendaal - Instellingen": created once at start (it then loads the settings and switches the
// download timer), shown modally by the main window, saves the settings when destroyed.
class TOptionsForm final : public QDialog {
    Q_OBJECT
public:
    explicit TOptionsForm(OptionsHooks hooks, QWidget* parent = nullptr,
                          std::string settingsPath = SettingsFilePath());
    ~TOptionsForm() override;

    // The values the rest of the program uses.
    int Years() const { return years_; }
    int Days() const { return days_; }
    int Minutes() const { return minutes_; }
    bool UpdatesOn() const;
    bool OpruimOn() const;
    bool DownloadTimerOn() const;

    // Writes the six settings; also done by the destructor. False when the file could not be
    // written (it then keeps its previous content).
    bool SaveSettings();

    void setHooks(OptionsHooks hooks) { hooks_ = std::move(hooks); }

    QGroupBox* NOYBox;
    QLabel* JarenLabel;
    QSpinBox* JarenEdit;
    QGroupBox* DownloadTimerBox;
    QCheckBox* DownloadCheck;
    QLabel* DownloadLabel;
    QSpinBox* MinutesEdit;
    QLabel* MinutesLabel;
    QGroupBox* UpdateBox;
    QCheckBox* UpdatesCheck;
    QPushButton* DownloadBtn;
    QGroupBox* OpruimBox;
    QCheckBox* OpruimCheck;
    QLabel* NaLabel;
    QSpinBox* OpruimEdit;
    QLabel* DagenLabel;
    QPushButton* CancelBtn;
    QPushButton* OKBtn;
    // Beside the groups above, which keep their places.
    QGroupBox* MeldingenBox;
    QCheckBox* MeldingenCheck;
    QLabel* WinstdoelLabel;
    QLineEdit* WinstdoelEdit;
    QLabel* VerliesgrensLabel;
    QLineEdit* VerliesgrensEdit;
    QLabel* BeMargeLabel;
    QLineEdit* BeMargeEdit;
    QLabel* PushUrlLabel;
    QLineEdit* PushUrlEdit;
    QLabel* PushTokenLabel;
    QLineEdit* PushTokenEdit;
    QPushButton* PushTestBtn;
    QLabel* MailToLabel;
    QLineEdit* MailToEdit;
    QPushButton* MailTestBtn;
    QLabel* MeldingenStatus;

public slots:
    void DownloadCheckClick();
    void OpruimCheckClick();
    void MeldingenCheckClick();
    void OKBtnClick();
    void DownloadBtnClick();
    void PushTestBtnClick();
    void MailTestBtnClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void LoadAlertSettings();
    // False, with the reason shown and the box focused, when a limit is not a number in range.
    bool TakeAlertSettings();
    bool StoreAlertSettings();
    // The channel fields as they are typed, checked as the companion checks the stored values.
    ChannelSettings TypedChannels() const;
    void TestChannel(bool push);

    OptionsHooks hooks_;
    SettingsStore store_;
    int years_ = 1;
    int minutes_ = 1;
    int days_ = 30;
};

extern TOptionsForm* OptionsForm;

}  // namespace rendaal
