#include "settings/options_form.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QSpinBox>

#include "analytics/alerts.h"
#include "analytics/rate_settings.h"
#include "platform/help.h"
#include "platform/notifications.h"
#include "platform/qt_text.h"

namespace rendaal {

TOptionsForm* OptionsForm = nullptr;

namespace {

QSpinBox* MakeBox(QWidget* parent, BoxLimits limits, int x, int y) {
    auto* box = new QSpinBox(parent);
    box->setRange(limits.min, limits.max);
    box->setSingleStep(limits.step);
    box->setGeometry(x, y, 57, 24);
    box->setAlignment(Qt::AlignRight);
    box->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    return box;
}

QLabel* MakeLabel(QWidget* parent, const char* text, int x, int y, int w) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setGeometry(x, y, w, 24);
    return label;
}

}  // namespace

TOptionsForm::TOptionsForm(OptionsHooks hooks, QWidget* parent, std::string settingsPath)
    : QDialog(parent), hooks_(std::move(hooks)), store_(std::move(settingsPath)) {
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QFont f(QStringLiteral("Verdana"));
    f.setPixelSize(13);
    setFont(f);

    constexpr int kLeft = 8;
    constexpr int kWidth = 345;
    NOYBox = new QGroupBox(QStringLiteral("Aantal Jaren"), this);
    NOYBox->setGeometry(kLeft, 8, kWidth, 58);
    JarenLabel = MakeLabel(NOYBox, "Aantal jaren in te lezen", 14, 24, 200);
    JarenEdit = MakeBox(NOYBox, kYearsLimits, kWidth - 75, 24);
    JarenLabel->setBuddy(JarenEdit);  // the name a screen reader gives the box

    DownloadTimerBox = new QGroupBox(QStringLiteral("DownloadTimer"), this);
    DownloadTimerBox->setGeometry(kLeft, 74, kWidth, 86);
    DownloadCheck = new QCheckBox(QStringLiteral("DownloadTimer Aan"), DownloadTimerBox);
    DownloadCheck->setGeometry(14, 22, 250, 22);
    DownloadLabel = MakeLabel(DownloadTimerBox, "Download elke", 14, 52, 120);
    MinutesEdit = MakeBox(DownloadTimerBox, kMinutesLimits, 140, 52);
    DownloadLabel->setBuddy(MinutesEdit);
    MinutesLabel = MakeLabel(DownloadTimerBox, "minuten", 205, 52, 80);

    UpdateBox = new QGroupBox(QStringLiteral("Update"), this);
    UpdateBox->setGeometry(kLeft, 168, kWidth, 58);
    UpdatesCheck = new QCheckBox(QStringLiteral("Check voor Updates Aan"), UpdateBox);
    UpdatesCheck->setGeometry(14, 24, 205, 22);
    DownloadBtn = new QPushButton(QStringLiteral("Download Nu"), UpdateBox);
    DownloadBtn->setGeometry(kWidth - 122, 20, 110, 28);
    DownloadBtn->setAutoDefault(false);

    OpruimBox = new QGroupBox(QStringLiteral("Opruimen"), this);
    OpruimBox->setGeometry(kLeft, 234, kWidth, 86);
    OpruimCheck = new QCheckBox(QStringLiteral("Oude bestanden wissen"), OpruimBox);
    OpruimCheck->setGeometry(14, 22, 250, 22);
    NaLabel = MakeLabel(OpruimBox, "na", 14, 52, 30);
    OpruimEdit = MakeBox(OpruimBox, kDaysLimits, 48, 52);
    NaLabel->setBuddy(OpruimEdit);
    OpruimEdit->setAccessibleName(QStringLiteral("Oude bestanden wissen na dagen"));
    DagenLabel = MakeLabel(OpruimBox, "dagen", 113, 52, 80);

    MeldingenBox = new QGroupBox(QStringLiteral("Meldingen"), this);
    MeldingenBox->setGeometry(kLeft + kWidth + kLeft, 8, 330, 312);
    MeldingenCheck = new QCheckBox(QStringLiteral("Meldingen Aan"), MeldingenBox);
    MeldingenCheck->setGeometry(14, 22, 200, 22);
    auto limitRow = [this](const char* text, int y, QLabel*& label, QLineEdit*& edit) {
        label = MakeLabel(MeldingenBox, text, 14, y, 130);
        edit = new QLineEdit(MeldingenBox);
        edit->setGeometry(150, y, 66, 24);
        edit->setAlignment(Qt::AlignRight);
        edit->setMaxLength(16);
        label->setBuddy(edit);
    };
    limitRow("Winstdoel %", 56, WinstdoelLabel, WinstdoelEdit);
    limitRow("Verliesgrens \xC3\x97", 88, VerliesgrensLabel, VerliesgrensEdit);
    limitRow("BE-marge %", 120, BeMargeLabel, BeMargeEdit);
    WinstdoelEdit->setToolTip(QStringLiteral("Procent van de premie, 1 tot 100"));
    VerliesgrensEdit->setToolTip(QString::fromUtf8("Keer de premie, 1 tot 20, bijvoorbeeld 2,0"));
    BeMargeEdit->setToolTip(QStringLiteral("Procent van een break-even, 0 tot 50"));
    auto channelRow = [this](const char* text, int y, QLabel*& label, QLineEdit*& edit, int width) {
        label = MakeLabel(MeldingenBox, text, 14, y, 96);
        edit = new QLineEdit(MeldingenBox);
        edit->setGeometry(112, y, width, 24);
        edit->setMaxLength(2048);
        label->setBuddy(edit);
    };
    channelRow("Push-adres", 156, PushUrlLabel, PushUrlEdit, 204);
    channelRow("Push-token", 188, PushTokenLabel, PushTokenEdit, 134);
    channelRow("E-mail naar", 220, MailToLabel, MailToEdit, 134);
    PushTokenEdit->setEchoMode(QLineEdit::Password);
    PushUrlEdit->setToolTip(QStringLiteral(
        "Adres van een push-server (ntfy-stijl) waar de telefoon op is geabonneerd, "
        "bijvoorbeeld https://ntfy.example.org/mijn-onderwerp; http alleen naar 127.0.0.1"));
    PushTokenEdit->setToolTip(
        QStringLiteral("Toegangstoken van de push-server (optioneel); alleen in Rendaal.reg"));
    MailToEdit->setToolTip(QStringLiteral(
        "Een of meer e-mailadressen, gescheiden door komma's; verstuurd met sendmail"));
    PushTestBtn = new QPushButton(QStringLiteral("Test"), MeldingenBox);
    PushTestBtn->setGeometry(254, 186, 62, 28);
    PushTestBtn->setAutoDefault(false);
    PushTestBtn->setAccessibleName(QStringLiteral("Test push"));
    MailTestBtn = new QPushButton(QStringLiteral("Test"), MeldingenBox);
    MailTestBtn->setGeometry(254, 218, 62, 28);
    MailTestBtn->setAutoDefault(false);
    MailTestBtn->setAccessibleName(QStringLiteral("Test e-mail"));
    MeldingenStatus = new QLabel(MeldingenBox);
    MeldingenStatus->setGeometry(14, 252, 302, 52);
    MeldingenStatus->setWordWrap(true);
    MeldingenStatus->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    CancelBtn = new QPushButton(QStringLiteral("Annuleren"), this);
    CancelBtn->setGeometry(kLeft, 332, 96, 30);
    CancelBtn->setAutoDefault(false);
    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setGeometry(0, 332, 96, 30);
    OKBtn->setDefault(true);

    SetHelpContext(UpdateBox, 32150);
    SetHelpContext(UpdatesCheck, 32150);
    SetHelpContext(DownloadBtn, 32050);

    connect(DownloadCheck, &QCheckBox::toggled, this, &TOptionsForm::DownloadCheckClick);
    connect(OpruimCheck, &QCheckBox::toggled, this, &TOptionsForm::OpruimCheckClick);
    connect(MeldingenCheck, &QCheckBox::clicked, this, &TOptionsForm::MeldingenCheckClick);
    connect(OKBtn, &QPushButton::clicked, this, &TOptionsForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(DownloadBtn, &QPushButton::clicked, this, &TOptionsForm::DownloadBtnClick);
    connect(PushTestBtn, &QPushButton::clicked, this, &TOptionsForm::PushTestBtnClick);
    connect(MailTestBtn, &QPushButton::clicked, this, &TOptionsForm::MailTestBtnClick);

    FormCreate();
}

TOptionsForm::~TOptionsForm() {
    SaveSettings();
    if (OptionsForm == this) {
        OptionsForm = nullptr;
    }
}

bool TOptionsForm::UpdatesOn() const {
    return UpdatesCheck->isChecked();
}
bool TOptionsForm::OpruimOn() const {
    return OpruimCheck->isChecked();
}
bool TOptionsForm::DownloadTimerOn() const {
    return DownloadCheck->isChecked();
}

void TOptionsForm::FormCreate() {
    setWindowTitle(ToQString(hooks_.programName) + QStringLiteral(" - Instellingen"));
    const UserSettings s = ReadUserSettings(store_.file(), kSettingsKey);
    years_ = s.years;
    DownloadCheck->setChecked(s.downloadTimer);
    DownloadCheckClick();
    minutes_ = s.minutes;
    if (hooks_.setDownloadTimerInterval) {
        hooks_.setDownloadTimerInterval(TimerIntervalMs(minutes_));
    }
    MinutesEdit->setValue(minutes_);  // the box keeps itself inside 1..60
    UpdatesCheck->setChecked(s.updates);
    days_ = s.days;
    OpruimCheck->setChecked(s.opruim);
    OpruimCheckClick();
    JarenEdit->setValue(years_);
    OpruimEdit->setValue(days_);

    LoadAlertSettings();

    const int clientWidth = MeldingenBox->x() + MeldingenBox->width() + NOYBox->x();
    setFixedSize(clientWidth, OKBtn->y() + OKBtn->height() + NOYBox->x());
    OKBtn->move(clientWidth - OKBtn->width() - CancelBtn->x(), OKBtn->y());
}

bool TOptionsForm::SaveSettings() {
    UserSettings s;
    s.years = years_;
    s.downloadTimer = DownloadCheck->isChecked();
    s.minutes = minutes_;
    s.updates = UpdatesCheck->isChecked();
    s.days = days_;
    s.opruim = OpruimCheck->isChecked();
    return store_.Write([&](RegFile& file) { WriteUserSettings(file, kSettingsKey, s); });
}

void TOptionsForm::LoadAlertSettings() {
    store_.Reload();
    const RegFile& file = store_.file();
    MeldingenCheck->setChecked(ReadAlertSettings(file, kSettingsKey).notify);
    WinstdoelEdit->setText(
        ToQString(StoredAlertSettingText(file, kSettingsKey, kWinstdoelSetting)));
    VerliesgrensEdit->setText(
        ToQString(StoredAlertSettingText(file, kSettingsKey, kVerliesgrensSetting)));
    BeMargeEdit->setText(ToQString(StoredAlertSettingText(file, kSettingsKey, kBeMargeSetting)));
    PushUrlEdit->setText(
        ToQString(StoredSettingText(file, kSettingsKey, kPushUrlValue).value_or("")));
    PushTokenEdit->setText(
        ToQString(StoredSettingText(file, kSettingsKey, kPushTokenValue).value_or("")));
    MailToEdit->setText(
        ToQString(StoredSettingText(file, kSettingsKey, kMailToValue).value_or("")));
    MeldingenStatus->clear();
}

ChannelSettings TOptionsForm::TypedChannels() const {
    RegFile typed;
    typed.SetString(kSettingsKey, kPushUrlValue, PushUrlEdit->text().trimmed().toStdString());
    typed.SetString(kSettingsKey, kPushTokenValue, PushTokenEdit->text().trimmed().toStdString());
    typed.SetString(kSettingsKey, kMailToValue, MailToEdit->text().trimmed().toStdString());
    return ReadChannelSettings(typed, kSettingsKey);
}

void TOptionsForm::TestChannel(bool push) {
    ChannelSettings channels = TypedChannels();
    for (const auto& problem : channels.problems) {
        if (problem.starts_with(push ? "Push" : "MailTo")) {
            MeldingenStatus->setText(ToQString(problem));
            return;
        }
    }
    if (push ? !channels.Push() : !channels.Mail()) {
        MeldingenStatus->setText(push ? QStringLiteral("Vul eerst een push-adres in")
                                      : QStringLiteral("Vul eerst een e-mailadres in"));
        return;
    }
    if (push) {
        channels.mailTo.clear();
    } else {
        channels.pushUrl.clear();
    }
    // One test at a time: the nested wait lets a second click in.
    PushTestBtn->setEnabled(false);
    MailTestBtn->setEnabled(false);
    MeldingenStatus->setText(QStringLiteral("Testbericht wordt verstuurd..."));
    const ChannelOutcome outcome = SendTestNotice(channels);
    PushTestBtn->setEnabled(true);
    MailTestBtn->setEnabled(true);
    MeldingenStatus->setText(
        outcome.failures.empty()
            ? (push ? QStringLiteral("Testbericht verstuurd naar de push-server")
                    : QStringLiteral("Testbericht aan sendmail gegeven"))
            : ToQString(outcome.failures.front()));
}

void TOptionsForm::PushTestBtnClick() {
    TestChannel(true);
}

void TOptionsForm::MailTestBtnClick() {
    TestChannel(false);
}

bool TOptionsForm::TakeAlertSettings() {
    const struct {
        QLineEdit* edit;
        const AlertSetting* setting;
        const char* label;
    } rows[] = {{WinstdoelEdit, &kWinstdoelSetting, "Winstdoel %"},
                {VerliesgrensEdit, &kVerliesgrensSetting, "Verliesgrens \xC3\x97"},
                {BeMargeEdit, &kBeMargeSetting, "BE-marge %"}};
    for (const auto& row : rows) {
        const auto v = ParseAlertSetting(row.edit->text().toStdString(), *row.setting);
        if (!v) {
            MeldingenStatus->setText(QString::fromUtf8(row.label) +
                                     QStringLiteral(": geen getal van ") +
                                     ToQString(AlertSettingText(row.setting->min, *row.setting)) +
                                     QStringLiteral(" tot ") +
                                     ToQString(AlertSettingText(row.setting->max, *row.setting)));
            row.edit->setFocus();
            row.edit->selectAll();
            return false;
        }
        row.edit->setText(ToQString(AlertSettingText(*v, *row.setting)));
    }
    const ChannelSettings channels = TypedChannels();
    if (!channels.problems.empty()) {
        MeldingenStatus->setText(ToQString(channels.problems.front()));
        QLineEdit* edit = channels.problems.front().starts_with("MailTo")      ? MailToEdit
                          : channels.problems.front().starts_with("PushToken") ? PushTokenEdit
                                                                               : PushUrlEdit;
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    MeldingenStatus->clear();
    return true;
}

bool TOptionsForm::StoreAlertSettings() {
    const std::string texts[] = {WinstdoelEdit->text().toStdString(),
                                 VerliesgrensEdit->text().toStdString(),
                                 BeMargeEdit->text().toStdString()};
    const std::string channels[] = {PushUrlEdit->text().trimmed().toStdString(),
                                    PushTokenEdit->text().trimmed().toStdString(),
                                    MailToEdit->text().trimmed().toStdString()};
    const bool on = MeldingenCheck->isChecked();
    const bool saved = store_.Write([&](RegFile& file) {
        file.SetString(kSettingsKey, kWinstdoelValue, texts[0]);
        file.SetString(kSettingsKey, kVerliesgrensValue, texts[1]);
        file.SetString(kSettingsKey, kBeMargeValue, texts[2]);
        file.SetString(kSettingsKey, kMeldingenValue, on ? "1" : "0");
        // An empty field leaves nothing behind when nothing was stored.
        const std::string_view names[] = {kPushUrlValue, kPushTokenValue, kMailToValue};
        for (size_t i = 0; i < 3; ++i) {
            if (!channels[i].empty() || file.Find(kSettingsKey, names[i])) {
                file.SetString(kSettingsKey, names[i], channels[i]);
            }
        }
    });
    if (!saved) {
        MeldingenStatus->setText(QStringLiteral("De meldingen konden niet worden bewaard"));
    }
    if (hooks_.alertSettingsChanged) {
        hooks_.alertSettingsChanged();
    }
    return saved;
}

void TOptionsForm::MeldingenCheckClick() {
    // At once, as the other check boxes: the companion reads it from the file.
    const bool on = MeldingenCheck->isChecked();
    const bool saved = store_.Write(
        [on](RegFile& file) { file.SetString(kSettingsKey, kMeldingenValue, on ? "1" : "0"); });
    if (!saved) {
        MeldingenStatus->setText(QStringLiteral("De meldingen konden niet worden bewaard"));
    }
}

void TOptionsForm::showEvent(QShowEvent* event) {
    // The numbers in use, not a change that was cancelled; the minutes box keeps what was typed.
    JarenEdit->setValue(years_);
    OpruimEdit->setValue(days_);
    if (!event->spontaneous()) {
        LoadAlertSettings();  // a cancelled change is not kept
    }
    if (hooks_.mainWindow && !event->spontaneous()) {
        const QRect r = hooks_.mainWindow->frameGeometry();
        move(r.left() + (r.width() - frameGeometry().width()) / 2,
             r.top() + (r.height() - frameGeometry().height()) / 2);
    }
    QDialog::showEvent(event);
}

void TOptionsForm::DownloadCheckClick() {
    const bool on = DownloadCheck->isChecked();
    DownloadLabel->setEnabled(on);
    MinutesLabel->setEnabled(on);
    if (hooks_.setDownloadTimerEnabled) {
        hooks_.setDownloadTimerEnabled(on);
    }
}

void TOptionsForm::OpruimCheckClick() {
    const bool on = OpruimCheck->isChecked();
    NaLabel->setEnabled(on);
    OpruimEdit->setEnabled(on);
    DagenLabel->setEnabled(on);
}

void TOptionsForm::OKBtnClick() {
    // The companion reads the limits from the file between runs: stored on OK, not at exit.
    if (!TakeAlertSettings()) {
        return;
    }
    StoreAlertSettings();
    const int years = BoxValue(JarenEdit->cleanText().toStdString(), kYearsLimits);
    if (years != years_) {
        years_ = years;
        if (hooks_.runDownload) {
            hooks_.runDownload();
        }
    }
    minutes_ = BoxValue(MinutesEdit->cleanText().toStdString(), kMinutesLimits);
    if (hooks_.setDownloadTimerInterval) {
        hooks_.setDownloadTimerInterval(TimerIntervalMs(minutes_));
    }
    days_ = BoxValue(OpruimEdit->cleanText().toStdString(), kDaysLimits);
    if (hooks_.refillYears && hooks_.yearRange) {
        const auto [from, till] = hooks_.yearRange();
        hooks_.refillYears(from, till);
    }
    accept();
}

void TOptionsForm::DownloadBtnClick() {
    if (hooks_.checkNow) {
        hooks_.checkNow(frameGeometry());
    }
}

}  // namespace rendaal
