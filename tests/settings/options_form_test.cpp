#include "settings/options_form.h"

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRect>
#include <QSpinBox>

#include <optional>
#include <vector>

#include "analytics/alerts.h"
#include "platform/help.h"
#include "platform/settings_store.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

// Stands in for the main window: its timer, its download run and the add dialog's years.
struct FakeMain {
    std::optional<bool> timerOn;
    std::vector<int> intervals;
    int runs = 0;
    int yearFrom = 0, yearTill = 0;
    std::vector<int> yearList;
    int selectedYear = 0;
    std::function<int()> years;
    std::vector<QRect> checks;

    OptionsHooks Hooks() {
        OptionsHooks h;
        h.setDownloadTimerEnabled = [this](bool on) { timerOn = on; };
        h.setDownloadTimerInterval = [this](int ms) { intervals.push_back(ms); };
        h.runDownload = [this] {
            ++runs;
            yearFrom = 2013;
            yearTill = 2013 + years();
        };
        h.refillYears = [this](int from, int till) {
            yearList.clear();
            for (int y = from; y <= till; ++y)
                yearList.push_back(y);
            selectedYear = yearList.empty() ? 0 : yearList.front();
        };
        h.yearRange = [this] { return std::pair{yearFrom, yearTill}; };
        h.checkNow = [this](const QRect& caller) { checks.push_back(caller); };
        return h;
    }
};

class OptionsFormTest : public ::testing::Test {
protected:
    std::string Path() const { return dir.folder() + "Rendaal.reg"; }
    std::unique_ptr<TOptionsForm> Make() {
        auto form = std::make_unique<TOptionsForm>(main.Hooks(), nullptr, Path());
        TOptionsForm* raw = form.get();
        main.years = [raw] { return raw->Years(); };
        return form;
    }
    RegFile Stored() const { return SettingsStore(Path()).file(); }
    void Store(const std::function<void(RegFile&)>& change) { SettingsStore(Path()).Write(change); }

    test::TempDir dir;
    FakeMain main;
};

TEST_F(OptionsFormTest, FirstStartDefaults) {
    auto form = Make();
    EXPECT_EQ(form->windowTitle(), "Rendaal - Instellingen");
    EXPECT_EQ(form->Years(), 1);
    EXPECT_EQ(form->Minutes(), 1);
    EXPECT_EQ(form->Days(), 30);
    EXPECT_EQ(main.timerOn, true);
    EXPECT_EQ(main.intervals, std::vector<int>{60000});
    EXPECT_TRUE(form->UpdatesOn());
    EXPECT_FALSE(form->OpruimOn());
    EXPECT_FALSE(form->OpruimEdit->isEnabled());
    EXPECT_FALSE(form->NaLabel->isEnabled());
    EXPECT_TRUE(form->DownloadLabel->isEnabled());
    EXPECT_EQ(HelpContextOf(form->UpdatesCheck), 32150);
    EXPECT_EQ(HelpContextOf(form->DownloadBtn), 32050);
    // OK sits as far from the right edge as Annuleren from the left.
    EXPECT_EQ(form->width() - form->OKBtn->geometry().right() - 1, form->CancelBtn->x());
}

TEST_F(OptionsFormTest, UntickingTheTimerThenCancellingStopsItAndStoresZero) {
    {
        auto form = Make();
        form->show();
        form->DownloadCheck->click();
        EXPECT_EQ(main.timerOn, false);
        EXPECT_FALSE(form->DownloadLabel->isEnabled());
        EXPECT_FALSE(form->MinutesLabel->isEnabled());
        EXPECT_TRUE(form->MinutesEdit->isEnabled());
        form->CancelBtn->click();
        EXPECT_EQ(form->result(), QDialog::Rejected);
        EXPECT_FALSE(form->DownloadTimerOn());
    }
    const RegFile stored = Stored();
    const RegValue* v = stored.Find(kSettingsKey, kDownloadTimerValue);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, RegValue::Type::String);
    EXPECT_EQ(v->text, "0");
}

TEST_F(OptionsFormTest, OnlyMinutesChangedStartsNoRunYearsChangedDoes) {
    auto form = Make();
    form->show();
    form->MinutesEdit->setValue(15);
    form->OKBtn->click();
    EXPECT_EQ(main.runs, 0);
    EXPECT_EQ(form->Minutes(), 15);
    EXPECT_EQ(main.intervals.back(), 15 * 60000);
    EXPECT_EQ(form->result(), QDialog::Accepted);

    form->show();
    form->JarenEdit->setValue(2);
    form->OKBtn->click();
    EXPECT_EQ(main.runs, 1);
    EXPECT_EQ(form->Years(), 2);
}

TEST_F(OptionsFormTest, NinetyStoredMinutesRunUntilOk) {
    Store([](RegFile& f) { f.SetDword(kSettingsKey, kMinutesValue, 90); });
    {
        auto form = Make();
        EXPECT_EQ(main.intervals, std::vector<int>{90 * 60000});
        EXPECT_EQ(form->MinutesEdit->value(), 60);
        form->show();
        form->OKBtn->click();
        EXPECT_EQ(form->Minutes(), 60);
        EXPECT_EQ(main.intervals.back(), 60 * 60000);
    }
    const RegFile stored = Stored();
    const RegValue* v = stored.Find(kSettingsKey, kMinutesValue);
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->type, RegValue::Type::Dword);
    EXPECT_EQ(v->dword, 60u);
}

TEST_F(OptionsFormTest, StoredDwordOneReadsAsOnAndValuesRoundTrip) {
    Store([](RegFile& f) {
        f.SetDword(kSettingsKey, kUpdatesValue, 0);
        f.SetDword(kSettingsKey, kOpruimValue, 1);
        f.SetDword(kSettingsKey, kDaysValue, 45);
        f.SetString(kSettingsKey, kYearsValue, "3");
        f.SetString(kSettingsKey, "Left", "120");  // the main window's: kept
    });
    {
        auto form = Make();
        EXPECT_TRUE(form->OpruimOn());
        EXPECT_TRUE(form->OpruimEdit->isEnabled());
        EXPECT_FALSE(form->UpdatesOn());
        EXPECT_EQ(form->Days(), 45);
        EXPECT_EQ(form->Years(), 3);
    }
    const RegFile f = Stored();
    EXPECT_EQ(f.ReadInteger(kSettingsKey, kDaysValue), 45);
    EXPECT_EQ(f.Find(kSettingsKey, kYearsValue)->type, RegValue::Type::String);
    EXPECT_EQ(f.Find(kSettingsKey, kYearsValue)->text, "3");
    EXPECT_EQ(f.Find(kSettingsKey, kOpruimValue)->text, "1");
    EXPECT_EQ(f.Find(kSettingsKey, kUpdatesValue)->text, "0");
    EXPECT_EQ(f.Find(kSettingsKey, "Left")->text, "120");
}

TEST_F(OptionsFormTest, OutOfRangeStoredValuesComeBackInsideTheLimits) {
    const int64_t stored[] = {0, -5, 100000};
    for (const int64_t v : stored) {
        Store([v](RegFile& f) {
            f.SetDword(kSettingsKey, kYearsValue, static_cast<uint32_t>(v));
            f.SetDword(kSettingsKey, kMinutesValue, static_cast<uint32_t>(v));
            f.SetDword(kSettingsKey, kDaysValue, static_cast<uint32_t>(v));
        });
        main.intervals.clear();
        auto form = Make();
        EXPECT_GE(form->Years(), 1) << v;
        EXPECT_LE(form->Years(), 5) << v;
        EXPECT_GE(form->Days(), 20) << v;
        EXPECT_LE(form->Days(), 360) << v;
        ASSERT_EQ(main.intervals.size(), 1u);
        EXPECT_GT(main.intervals[0], 0) << v;
        form->show();
        EXPECT_EQ(form->JarenEdit->value(), form->Years());
        EXPECT_EQ(form->OpruimEdit->value(), form->Days());
    }
    Store([](RegFile& f) { f.SetString(kSettingsKey, kMinutesValue, "elke minuut"); });
    main.intervals.clear();
    auto form = Make();
    EXPECT_EQ(main.intervals, std::vector<int>{60000});
}

TEST_F(OptionsFormTest, FiveYearsRefillsTheYearList) {
    auto form = Make();
    form->show();
    form->JarenEdit->setValue(5);
    form->OKBtn->click();
    EXPECT_EQ(main.yearList, (std::vector<int>{2013, 2014, 2015, 2016, 2017, 2018}));
    EXPECT_EQ(main.selectedYear, 2013);
}

TEST_F(OptionsFormTest, CancelledNumbersAreNotTakenOver) {
    auto form = Make();
    form->show();
    form->JarenEdit->setValue(4);
    form->OpruimEdit->setValue(100);
    form->MinutesEdit->setValue(30);
    form->CancelBtn->click();
    EXPECT_EQ(form->Years(), 1);
    EXPECT_EQ(form->Days(), 30);
    EXPECT_EQ(form->Minutes(), 1);
    EXPECT_EQ(main.intervals, std::vector<int>{60000});
    form->show();  // the numbers in use again; the typed minutes stay
    EXPECT_EQ(form->JarenEdit->value(), 1);
    EXPECT_EQ(form->OpruimEdit->value(), 30);
    EXPECT_EQ(form->MinutesEdit->value(), 30);
}

TEST_F(OptionsFormTest, TextThatIsNotANumberCountsAsTheMinimum) {
    auto form = Make();
    form->show();
    form->OpruimEdit->findChild<QLineEdit*>()->setText("");
    form->MinutesEdit->findChild<QLineEdit*>()->setText("x");
    form->OKBtn->click();
    EXPECT_EQ(form->Days(), 20);
    EXPECT_EQ(form->Minutes(), 1);
}

TEST_F(OptionsFormTest, DownloadNuChecksNowOverTheDialog) {
    auto form = Make();
    form->show();
    form->DownloadBtn->click();
    EXPECT_EQ(main.checks, std::vector<QRect>{form->frameGeometry()});
}

}  // namespace
}  // namespace rendaal

namespace rendaal {
namespace {

TEST_F(OptionsFormTest, AlertLimitsAreStoredOnOkOnlyWhenTheyAreNumbersInRange) {
    int changed = 0;
    auto hooks = main.Hooks();
    hooks.alertSettingsChanged = [&changed] { ++changed; };
    TOptionsForm form(hooks, nullptr, Path());
    form.show();
    EXPECT_EQ(form.WinstdoelEdit->text(), "50");
    EXPECT_EQ(form.VerliesgrensEdit->text(), "2,0");
    EXPECT_EQ(form.BeMargeEdit->text(), "2,0");
    EXPECT_TRUE(form.MeldingenCheck->isChecked());
    // The added group does not move the others.
    EXPECT_GE(form.MeldingenBox->x(), form.NOYBox->geometry().right());
    EXPECT_EQ(form.NOYBox->geometry(), QRect(8, 8, 345, 58));

    form.VerliesgrensEdit->setText("25");
    form.OKBtn->click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.MeldingenStatus->text(),
              QString::fromUtf8("Verliesgrens ×: geen getal van 1,0 tot 20,0"));
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(Stored().Find(kSettingsKey, kVerliesgrensValue), nullptr);

    form.VerliesgrensEdit->setText(" 2.5");
    form.BeMargeEdit->setText("0");
    form.MeldingenCheck->click();
    form.OKBtn->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(changed, 1);
    const AlertSettings s = ReadAlertSettings(Stored(), kSettingsKey);
    EXPECT_DOUBLE_EQ(s.limits.verliesgrens, 2.5);
    EXPECT_DOUBLE_EQ(s.limits.beMarge, 0);
    EXPECT_FALSE(s.notify);
    EXPECT_EQ(Stored().Find(kSettingsKey, kVerliesgrensValue)->text, "2,5");

    // A cancelled change is gone when the dialog comes back.
    form.show();
    form.WinstdoelEdit->setText("70");
    form.CancelBtn->click();
    form.show();
    EXPECT_EQ(form.WinstdoelEdit->text(), "50");
}

}  // namespace
}  // namespace rendaal
