#include "mainwindow/main_form.h"

#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "core/combination.h"
#include "core/text.h"
#include "download/archive.h"
#include "download/fake_fetcher.h"
#include "mainwindow/startup.h"
#include "platform/settings_store.h"
#include "support/window_fixture.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;

const std::string kA =
    "AEX 2703 00880.00 00960.00; Put: mrt 2027 880.00; Call: mrt 2027 960.00; Strangle";
const std::string kB =
    "AEX 2706 00920.00 00920.00; Put: jun 2027 920.00; Call: jun 2027 920.00; Straddle";
const std::string kC =
    "AEX 2712 00860.00 00Geen; Put: dec 2027 860.00; Call: dec 2027 Geen; Single";

using test::Rules;
using test::Wait;

// A hidden window gets its resize event only when shown; deliver it now.
void Resize(QWidget* w, int width, int height) {
    const QSize old = w->size();
    w->resize(width, height);
    QResizeEvent event(QSize(width, height), old);
    QCoreApplication::sendEvent(w, &event);
}

void PressF1(QWidget* w) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &press);
}

void MoveMouse(QWidget* w, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), w->mapToGlobal(QPointF(at)), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(w, &move);
}

// Start files, and captured yes/no answers, charts drawn and downloads.
class MainFormTest : public test::WindowFixture {
protected:
    MainFormTest() {
        test::WriteAll(start_dir_.path() / "Regels.dat", Rules({kC, kA, kB}));
        test::WriteAll(start_dir_.path() / HistoryFileName(kA), "Datum; Put; Call; Som; AEX\r\n");
        test::WriteAll(start_dir_.path() / "unins000.dat", "x");
    }

    std::unique_ptr<TMainForm> Create() {
        auto form = std::make_unique<TMainForm>();
        MainFormHooks hooks;
        hooks.askYes = [this](const QString& caption, const QString& question) {
            asked_.push_back((caption + "|" + question).toStdString());
            return answer_;
        };
        hooks.renderChart = [this](const std::string& file, QSize size, bool blocks,
                                   bool separate) {
            charts_.push_back(file + (blocks ? " blocks" : " graph") +
                              (separate ? " separate" : ""));
            QImage image(size, QImage::Format_RGB32);
            image.fill(Qt::white);
            return image;
        };
        hooks.runDownload = [this] {
            ++downloads_;
            statusDuringRun_ = MainForm->Label1->text().toStdString();
            return true;
        };
        hooks.processLastPage = [this] {
            ++processed_;
            return folderFree_;
        };
        hooks.hoverText = [] { return QStringLiteral("Laatste gegevens:\r  Datum: 07-12-2026\r"); };
        hooks.scheduleSettings = [this] { return schedule_; };
        form->SetHooks(std::move(hooks));
        return form;
    }

    std::vector<std::string> Listed(const TMainForm& form) const {
        std::vector<std::string> shown;
        for (int i = 0; i < form.ListBox1->count(); ++i) {
            shown.push_back(form.ListBox1->item(i)->text().toStdString());
        }
        return shown;
    }

    std::vector<std::string> asked_;
    std::vector<std::string> charts_;
    bool folderFree_ = true;
    bool answer_ = true;
    int downloads_ = 0;
    int processed_ = 0;
    std::string statusDuringRun_;
    ScheduleSettings schedule_;
};

TEST_F(MainFormTest, ControlsAtTheirPlacesWithTheirTexts) {
    auto form = Create();
    EXPECT_EQ(form->windowTitle(), "Rendaal, versie 1.10a");
    EXPECT_EQ(form->font().family(), "Verdana");
    // A first start on the 800x800 test screen: as wide as it allows, as high as the panel, eight
    // list rows and the chart need, moved up so that its frame fits.
    const int listFrame = 2 * form->ListBox1->frameWidth();
    const int w = 790;
    const int h = 91 + listFrame + 8 * 20 + 474;
    EXPECT_EQ(form->pos(), QPoint(0, 33));
    EXPECT_EQ(form->size(), QSize(w, h));
    const struct {
        QWidget* widget;
        QRect place;
        const char* text;
    } buttons[] = {
        {form->VoegToeButton, {10, 10, 120, 31}, "Voegtoe"},
        {form->DownloadBtn, {140, 10, 120, 31}, "Download"},
        {form->DelButton, {10, 50, 120, 31}, "Verwijder"},
        {form->InstellingenButton, {140, 50, 120, 31}, "Instellingen"},
        {form->ModeButton, {270, 10, 120, 31}, "Grafiek"},
        {form->ApartButton, {270, 50, 120, 31}, "Som"},
        {form->SpeedInfo, {w - 29 - 10, 11, 29, 28}, ""},
    };
    for (const auto& b : buttons) {
        EXPECT_EQ(b.widget->geometry(), b.place) << b.text;
        EXPECT_EQ(b.widget->parentWidget(), form->Panel1) << b.text;
        if (auto* button = qobject_cast<QAbstractButton*>(b.widget); button && *b.text) {
            EXPECT_EQ(button->text().toStdString(), b.text);
        }
    }
    // The tips name the keys.
    EXPECT_EQ(form->VoegToeButton->toolTip(), "Voeg een Strangle toe (Ctrl+N)");
    EXPECT_EQ(form->DownloadBtn->toolTip(), "Download de Optiekoersen (F5)");
    EXPECT_EQ(form->DelButton->toolTip(), "Verwijder de geselecteerde Strangle (Del)");
    EXPECT_EQ(form->InstellingenButton->toolTip(), "Instellingen (Ctrl+,)");
    EXPECT_EQ(form->SpeedInfo->toolTip(), "Over Rendaal");
    const struct {
        QLabel* label;
        QPoint at;
    } labels[] = {
        {form->Label1, {402, 13}}, {form->l1, {402, 37}},  {form->l2, {436, 37}},
        {form->l3, {470, 37}},     {form->l4, {504, 37}},  {form->L21, {402, 60}},
        {form->L22, {436, 60}},    {form->L23, {470, 60}}, {form->L24, {504, 60}},
    };
    for (const auto& l : labels) {
        EXPECT_EQ(l.label->pos(), l.at);
        EXPECT_EQ(l.label->text(), "---");
    }
    EXPECT_EQ(form->Panel1->geometry(), QRect(0, 0, w, 91));
    EXPECT_EQ(form->Image1->geometry(), QRect(0, h - 474, w, 474));
    EXPECT_EQ(form->ListBox1->geometry(), QRect(0, 91, w, h - 474 - 91));
    EXPECT_EQ(form->ListBox1->sizeHintForRow(0), 20);
    EXPECT_EQ(form->property("helpContext").toInt(), 1000);
    EXPECT_EQ(form->Panel1->property("helpContext").toInt(), 10000);
    EXPECT_EQ(form->ListBox1->property("helpContext").toInt(), 10000);
    EXPECT_TRUE(form->Image1->hasMouseTracking());
    EXPECT_FALSE(form->FileListBox->isVisibleTo(form.get()));
    EXPECT_EQ(form->UpdateTimer->interval(), 60000);
    EXPECT_TRUE(form->UpdateTimer->isActive());
    EXPECT_EQ(form->DownloadTimer->interval(), 60000);
    EXPECT_FALSE(form->DownloadTimer->isActive());
    ASSERT_EQ(form->InfoPopup->actions().size(), 2);
    EXPECT_EQ(form->Help1->text(), "Help");
    EXPECT_EQ(form->Help1->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(form->OverRendaal1->text(), "Over Rendaal");
    EXPECT_EQ(form->ProgramName, "Rendaal");
    EXPECT_EQ(form->VersionText, "versie 1.10a");
    EXPECT_EQ(form->StartFolder, start_dir_.folder());
    EXPECT_EQ(form->DataFolder, DataFolder());
    EXPECT_FALSE(form->HoverReady);
    EXPECT_FALSE(form->FirstPaintDone);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(MainFormTest, RestartRestoresBoundsAndViews) {
    {
        auto form = Create();
        form->move(0, 45);
        form->resize(790, 700);
        form->ModeButtonClick();
        form->ApartButtonClick();
        EXPECT_EQ(form->ModeButton->text(), "Blokjes");
        EXPECT_EQ(form->ApartButton->text(), "Apart");
        form->close();
    }
    const std::string text = test::ReadAll(SettingsPath());
    for (const char* expected :
         {"[HKEY_CURRENT_USER\\Software\\Rendaal\\Defaults]", "\"Left\"=\"0\"", "\"Top\"=\"45\"",
          "\"Width\"=\"790\"", "\"Height\"=\"700\"", "\"Blokjes\"=\"0\"", "\"Apart\"=\"0\""}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    }
    auto again = Create();
    EXPECT_EQ(again->pos(), QPoint(0, 45));
    EXPECT_EQ(again->size(), QSize(790, 700));
    EXPECT_FALSE(again->BlocksView);
    EXPECT_FALSE(again->SeparateView);
    EXPECT_EQ(again->ModeButton->text(), "Blokjes");
    EXPECT_EQ(again->ApartButton->text(), "Apart");
    EXPECT_EQ(again->SpeedInfo->x(), 790 - 29 - 10);
}

TEST_F(MainFormTest, DamagedSettingsGiveDefaultsAndAWholeFileAtClose) {
    WriteSettings("\"Left\"=\"abc\"\r\n\"Width\"=hex:00\r\n\"Top\"=\"1");
    {
        auto form = Create();
        EXPECT_EQ(form->size(), Create()->size());  // as at a first start
        form->close();
    }
    const WindowSettings written = ReadWindowSettings(SettingsStore(SettingsPath()));
    EXPECT_TRUE(written.Blokjes && written.Apart);
    EXPECT_TRUE(HasStoredSize(SettingsStore(SettingsPath())));
}

TEST_F(MainFormTest, FirstStartCopiesStartFilesAndTheSecondNothing) {
    {
        auto form = Create();
        EXPECT_EQ(Listed(*form), (std::vector<std::string>{kA, kB, kC}));
        EXPECT_EQ(form->SelectedIndex(), 0);
    }
    EXPECT_TRUE(fs::exists(DataFolder() + HistoryFileName(kA)));
    EXPECT_FALSE(fs::exists(DataFolder() + "unins000.dat"));
    fs::remove(DataFolder() + HistoryFileName(kA));
    test::WriteAll(DataFolder() + "Regels.dat", Rules({kB}));
    auto second = Create();
    EXPECT_FALSE(fs::exists(DataFolder() + HistoryFileName(kA)));
    EXPECT_EQ(Listed(*second), std::vector<std::string>{kB});
}

TEST_F(MainFormTest, RulesBytesAreKeptExactly) {
    fs::create_directories(DataFolder());
    const std::string odd = "AEX 2703 00880.00 00960.00; caf\xe9 \xff";  // not UTF-8
    test::WriteAll(DataFolder() + "Regels.dat", odd + "\n" + kB + "\r");
    auto form = Create();
    form->AddCombination(kC);
    EXPECT_EQ(test::ReadAll(DataFolder() + "Regels.dat"), Rules({odd, kB, kC}));
}

TEST_F(MainFormTest, LineNamingAFileOutsideTheDataFolderIsNotCharted) {
    WriteRules({"AEX 2703 ../../x; y", kA});
    auto form = Create();
    charts_.clear();
    form->ListBox1->setCurrentRow(0);
    form->ShowSelected();
    EXPECT_TRUE(charts_.empty());
    form->ListBox1->setCurrentRow(1);
    EXPECT_EQ(charts_.size(), 1u);
}

TEST_F(MainFormTest, HostileRulesFileLoadsAndChartsWithoutACrash) {
    fs::create_directories(DataFolder());
    const std::string text = "AEX 2703 " + std::string(100000, '9') + "; lang\r" +
                             std::string("\0\x01\xff; \x80\xfe\n", 9) + "zonder puntkomma\r\n" +
                             "AEX 9999 00abc 00; x\n";
    test::WriteAll(DataFolder() + "Regels.dat", text);
    auto form = Create();
    form->Hooks().renderChart = nullptr;  // the program's own charts
    ASSERT_EQ(form->Combinations().size(), 4u);
    EXPECT_EQ(form->ListBox1->count(), 4);
    for (int row = 0; row < 4; ++row) {
        form->ListBox1->setCurrentRow(row);
        form->ShowSelected();
        EXPECT_EQ(form->SelectedIndex(), row);
    }
    form->AddCombination(kA);
    // Written back byte for byte, in list order.
    EXPECT_EQ(ParseRules(test::ReadAll(DataFolder() + "Regels.dat")), form->Combinations());
    EXPECT_NE(
        test::ReadAll(DataFolder() + "Regels.dat").find(std::string("\0\x01\xff; \x80\xfe", 7)),
        std::string::npos);
}

TEST_F(MainFormTest, ChartIsSavedAsAPngFile) {
    auto form = Create();
    EXPECT_FALSE(form->SaveChartTo(QString::fromStdString(root_.folder() + "none.png")));
    messages_.clear();
    form->ShowSelected();
    const std::string path = root_.folder() + "grafiek.png";
    ASSERT_TRUE(form->SaveChartTo(QString::fromStdString(path)));
    const QImage saved(QString::fromStdString(path), "PNG");
    EXPECT_EQ(saved.size(), form->Image1->size());
    EXPECT_TRUE(messages_.empty());
    // A folder in the file's place: the user is told, nothing else changes.
    fs::create_directory(root_.path() / "map.png");
    EXPECT_FALSE(form->SaveChartTo(QString::fromStdString(root_.folder() + "map.png")));
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("De grafiek kon niet worden opgeslagen in"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(root_.path() / "map.png"));
}

TEST_F(MainFormTest, DataFolderThatCannotBeCreatedGivesAnEmptyList) {
    test::WriteAll(root_.path() / "data", "a file where the folder should be");
    auto form = Create();
    EXPECT_TRUE(form->Combinations().empty());
    EXPECT_EQ(form->SelectedIndex(), -1);
    form->ShowSelected();
    form->DelButtonClick();
    EXPECT_TRUE(charts_.empty());
    EXPECT_TRUE(asked_.empty());
}

TEST_F(MainFormTest, DeletionAnsweredNoChangesNothing) {
    auto form = Create();
    const std::string before = test::ReadAll(DataFolder() + "Regels.dat");
    answer_ = false;
    form->ListBox1->setCurrentRow(1);
    form->DelButtonClick();
    ASSERT_EQ(asked_.size(), 1u);
    EXPECT_EQ(
        asked_[0],
        "Rendaal - Verwijderen|Wilt u inderdaad de geselecteerde Straddle verwijderen?\r" + kB);
    EXPECT_EQ(Listed(*form), (std::vector<std::string>{kA, kB, kC}));
    EXPECT_EQ(test::ReadAll(DataFolder() + "Regels.dat"), before);
}

TEST_F(MainFormTest, DeletionSelectsTheFollowingOrTheNewLastLine) {
    const struct {
        const char* name;
        int selected;
        std::vector<std::string> left;
        int selectedAfter;
    } cases[] = {
        {"first", 0, {kB, kC}, 0},
        {"middle", 1, {kA, kC}, 1},
        {"last", 2, {kA, kB}, 1},
        {"none selected: the first", -1, {kB, kC}, 0},
    };
    for (const auto& c : cases) {
        WriteRules({kA, kB, kC});
        test::WriteAll(DataFolder() + HistoryFileName(kA), "Datum; Put; Call; Som; AEX\r\n");
        auto form = Create();
        form->ListBox1->setCurrentRow(c.selected);
        charts_.clear();
        form->DelButtonClick();
        EXPECT_EQ(form->Combinations(), c.left) << c.name;
        EXPECT_EQ(Listed(*form), c.left) << c.name;
        EXPECT_EQ(form->SelectedIndex(), c.selectedAfter) << c.name;
        EXPECT_EQ(test::ReadAll(DataFolder() + "Regels.dat"), Rules(c.left)) << c.name;
        ASSERT_EQ(charts_.size(), 1u) << c.name;
        EXPECT_EQ(charts_[0].substr(0, charts_[0].find(' ')),
                  HistoryFileName(c.left[static_cast<size_t>(c.selectedAfter)]));
    }
    EXPECT_TRUE(fs::exists(DataFolder() + HistoryFileName(kA)));  // the history file stays
}

TEST_F(MainFormTest, DeletingTheLastCombinationLeavesAnEmptyRulesFile) {
    WriteRules({kB});
    {
        auto form = Create();
        form->DelButtonClick();
        EXPECT_TRUE(form->Combinations().empty());
        EXPECT_EQ(form->SelectedIndex(), -1);
    }
    EXPECT_EQ(test::ReadAll(DataFolder() + "Regels.dat"), "");
    auto again = Create();
    EXPECT_TRUE(again->Combinations().empty());
}

TEST_F(MainFormTest, RulesFileThatCannotBeWrittenKeepsItsContentAndTellsOnce) {
    auto form = Create();
    const std::string before = test::ReadAll(DataFolder() + "Regels.dat");
    SetFaultHook([](FileOp op, std::string_view path) {
        return op == FileOp::Rename && path.find("Regels.dat") != std::string_view::npos;
    });
    form->DelButtonClick();
    form->DelButtonClick();
    EXPECT_EQ(form->Combinations(), std::vector<std::string>{kC});
    EXPECT_EQ(test::ReadAll(DataFolder() + "Regels.dat"), before);
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_NE(messages_[0].find("niet worden opgeslagen"), std::string::npos);
    SetFaultHook(nullptr);
    form->AddCombination(kA);
    EXPECT_EQ(test::ReadAll(DataFolder() + "Regels.dat"), Rules({kA, kC}));
}

TEST_F(MainFormTest, AddedLineIsSortedInSavedSelectedAndProcessed) {
    auto form = Create();
    const std::string added =
        "aex 2706 00900.00 00940.00; Put: jun 2027 900.00; Call: jun 2027 940.00; Strangle";
    charts_.clear();
    EXPECT_TRUE(form->AddCombination(added));
    EXPECT_EQ(Listed(*form), (std::vector<std::string>{kA, added, kB, kC}));
    EXPECT_EQ(form->SelectedIndex(), 1);
    EXPECT_EQ(test::ReadAll(DataFolder() + "Regels.dat"), Rules({kA, added, kB, kC}));
    EXPECT_EQ(processed_, 1);
    EXPECT_TRUE(form->HoverReady);
    ASSERT_EQ(charts_.size(), 1u);
    // A line the rules file could not hold as one line is refused.
    for (const std::string& bad : {std::string(), std::string(";x"), std::string("a\r\nb")}) {
        EXPECT_FALSE(form->AddCombination(bad));
    }
    EXPECT_EQ(form->Combinations().size(), 4u);
    // A duplicate is listed again and the first of the equal lines is selected.
    EXPECT_TRUE(form->AddCombination(kB));
    EXPECT_EQ(form->SelectedIndex(), 2);
}

TEST_F(MainFormTest, RulesFileChangedOnDiskIsReloadedKeepingTheSelection) {
    WriteRules({kA, kB, kC});
    auto form = Create();
    form->ListBox1->setCurrentRow(1);
    ASSERT_EQ(form->Combinations()[1], kB);
    const std::string kD =
        "AEX 2609 00800.00 00850.00; Put: sep 2026 800.00; Call: sep 2026 850.00; Strangle";
    const std::string kE =
        "AEX 2610 00800.00 00850.00; Put: okt 2026 800.00; Call: okt 2026 850.00; Strangle";
    const std::string path = DataFolder() + "Regels.dat";
    const struct {
        const char* name;
        std::vector<std::string> lines;
        bool byRename;
        std::string selected;
    } cases[] = {
        {"replaced by a rename (editors, other tools)", {kC, kE, kB, kD}, true, kB},
        {"rewritten in place", {kB}, false, kB},
        {"the selected line gone: the row keeps its place", {kA, kC}, true, kA},
    };
    for (const auto& c : cases) {
        if (c.byRename) {
            test::WriteAll(path + ".new", Rules(c.lines));
            fs::rename(path + ".new", path);
        } else {
            test::WriteAll(path, Rules(c.lines));
        }
        std::vector<std::string> sorted = c.lines;
        std::sort(sorted.begin(), sorted.end(), RulesLess);
        QElapsedTimer timer;
        timer.start();
        while (form->Combinations() != sorted && timer.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        ASSERT_EQ(form->Combinations(), sorted) << c.name;
        EXPECT_EQ(Listed(*form), sorted) << c.name;
        ASSERT_GE(form->SelectedIndex(), 0) << c.name;
        EXPECT_EQ(form->Combinations()[static_cast<size_t>(form->SelectedIndex())], c.selected)
            << c.name;
    }
    // The window's own saves are not read back as changes.
    form->AddCombination(kB);
    Wait(500);
    EXPECT_EQ(form->Combinations(), (std::vector<std::string>{kA, kB, kC}));
    EXPECT_EQ(form->Combinations()[static_cast<size_t>(form->SelectedIndex())], kB);
}

TEST_F(MainFormTest, RunNotesAreToldOnceAndAFolderInUseKeepsTheNewLineWaiting) {
    auto form = Create();
    std::vector<std::string> notes = {"Strangle_a.csv hersteld uit de backup"};
    form->Hooks().lastRunNotes = [&notes] { return notes; };
    form->DownloadBtnClick();
    form->DownloadBtnClick();
    notes.push_back("Strangle_b.csv kon niet worden geschreven");
    form->DownloadBtnClick();
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_NE(messages_[0].find("Strangle_a.csv hersteld"), std::string::npos);
    EXPECT_EQ(messages_[1].find("Strangle_a.csv"), std::string::npos) << messages_[1];
    EXPECT_NE(messages_[1].find("Strangle_b.csv"), std::string::npos);

    folderFree_ = false;
    processed_ = 0;
    EXPECT_TRUE(form->AddCombination(kA));
    EXPECT_TRUE(form->FirstLineWaiting());
    EXPECT_EQ(processed_, 1);
    // The next run's end tries again; the folder is free by then.
    folderFree_ = true;
    form->DownloadBtnClick();
    EXPECT_FALSE(form->FirstLineWaiting());
    EXPECT_EQ(processed_, 2);
}

// Which combinations are followed is the user's: a sync tool's copy of the rules file is asked
// about once, and only "Overnemen" adds its lines.
TEST_F(MainFormTest, RulesCopyOfASyncToolIsAskedAboutOnce) {
    const std::string copy = "Regels.sync-conflict-20261207-120000-ABCDEFG.dat";
    const struct {
        int answer;
        std::vector<std::string> listed;
        bool copyStays;
    } cases[] = {{1, {kA, kB, kC}, false}, {0, {kA, kB}, false}, {-1, {kA, kB}, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        WriteRules({kA, kB});
        test::WriteAll(DataFolder() + copy, Rules({kA, kC}));  // kB deleted there, kC added
        auto form = Create();
        std::vector<std::string> questions;
        form->Hooks().lastRunRulesCopies = [&] { return std::vector<std::string>{copy}; };
        form->Hooks().askRulesCopy = [&](const QString&, const QString& question) {
            questions.push_back(question.toStdString());
            return c.answer;
        };
        form->DownloadBtnClick();
        form->DownloadBtnClick();
        ASSERT_EQ(questions.size(), 1u);
        EXPECT_NE(questions[0].find("Alleen in de kopie:\r  " + kC), std::string::npos);
        EXPECT_NE(questions[0].find("Alleen in uw lijst:\r  " + kB), std::string::npos);
        EXPECT_EQ(form->Combinations(), c.listed);
        EXPECT_EQ(test::ReadAll(DataFolder() + "Regels.dat"), Rules(c.listed));
        EXPECT_EQ(fs::exists(DataFolder() + copy), c.copyStays);
    }
}

TEST_F(MainFormTest, ViewTogglesChooseTheChart) {
    auto form = Create();
    charts_.clear();
    form->ModeButtonClick();
    form->ApartButtonClick();
    form->ModeButtonClick();
    const std::string file = HistoryFileName(kA);
    EXPECT_EQ(charts_, (std::vector<std::string>{file + " graph separate", file + " graph",
                                                 file + " blocks"}));
    EXPECT_EQ(form->ModeButton->text(), "Grafiek");
    EXPECT_EQ(form->ApartButton->text(), "Apart");
    form->ListBox1->setCurrentRow(2);  // a click or a key
    EXPECT_EQ(charts_.back(), HistoryFileName(kC) + " blocks");
}

TEST_F(MainFormTest, ResizeBeforeTheFirstPaintDrawsNothing) {
    auto form = Create();
    charts_.clear();
    const int first = form->width();
    Resize(form.get(), 795, 650);
    EXPECT_TRUE(charts_.empty());
    EXPECT_EQ(form->SpeedInfo->x(), first - 29 - 10);
    form->FirstPaintDone = true;
    Resize(form.get(), 780, 700);  // below the minimum width: kept at it
    EXPECT_EQ(charts_.size(), 1u);
    EXPECT_EQ(form->SpeedInfo->x(), 790 - 29 - 10);
    EXPECT_EQ(form->Image1->geometry(), QRect(0, 700 - 474, 790, 474));
}

TEST_F(MainFormTest, FirstPaintCleansUpDrawsAndDownloadsOnce) {
    WriteRules({kA});
    const std::string backup = BeforeLast('.', HistoryFileName(kA)) + ".bak";
    for (const std::string& name : {std::string("Oud.csv"), HistoryFileName(kA), backup}) {
        test::WriteAll(DataFolder() + name, "x");
    }
    for (const std::string& name :
         {std::string("Oud.csv"), HistoryFileName(kA), backup, std::string("Regels.dat")}) {
        fs::last_write_time(DataFolder() + name,
                            fs::file_time_type::clock::now() - std::chrono::hours(24 * 400));
    }
    clock_.Set(DateTime{2100, 1, 4, 10, 0, 0, 0});  // far ahead: every file is old
    schedule_ = {false, true, 30};
    auto form = Create();
    ShowAndPaint(form.get());
    EXPECT_TRUE(form->FirstPaintDone);
    EXPECT_FALSE(form->UpdateTimer->isActive());
    EXPECT_EQ(downloads_, 1);
    EXPECT_TRUE(form->HoverReady);
    EXPECT_FALSE(fs::exists(DataFolder() + "Oud.csv"));
    EXPECT_TRUE(fs::exists(DataFolder() + "Regels.dat"));
    EXPECT_TRUE(fs::exists(DataFolder() + HistoryFileName(kA)));
    EXPECT_TRUE(fs::exists(DataFolder() + backup));
    EXPECT_GE(charts_.size(), 2u);  // before and after the download
    form->update();
    Wait(20);
    EXPECT_EQ(downloads_, 1);
    EXPECT_FALSE(form->ChartImage().isNull());
}

TEST_F(MainFormTest, DownloadButtonShowsTheStatusAndIgnoresASecondRun) {
    auto form = Create();
    form->Hooks().runDownload = [&] {
        ++downloads_;
        statusDuringRun_ = form->Label1->text().toStdString();
        EXPECT_TRUE(form->L22->text().isEmpty());
        form->DownloadBtnClick();  // clicked again while the run lets events run
        return true;
    };
    form->DownloadBtnClick();
    EXPECT_EQ(downloads_, 1);
    EXPECT_EQ(statusDuringRun_, "Downloading...");
    EXPECT_TRUE(form->HoverReady);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(MainFormTest, DownloadTimerFollowsTheWorkingDayRule) {
    auto form = Create();
    const struct {
        DateTime now;
        int runs;
    } ticks[] = {
        {{2026, 12, 5, 12, 0, 0, 0}, 0},  // Saturday
        {{2026, 12, 6, 12, 0, 0, 0}, 0},  // Sunday
        {{2026, 12, 7, 8, 59, 0, 0}, 0},  {{2026, 12, 7, 9, 0, 0, 0}, 1},
        {{2026, 12, 7, 17, 34, 0, 0}, 2}, {{2026, 12, 7, 17, 35, 0, 0}, 3},  // the closing run
        {{2026, 12, 7, 17, 36, 0, 0}, 3}, {{2026, 12, 7, 22, 0, 0, 0}, 3},
        {{2026, 12, 8, 17, 50, 0, 0}, 4},  // next day's closing run
    };
    for (const auto& t : ticks) {
        clock_.Set(t.now);
        form->DownloadTimerTimer();
        EXPECT_EQ(downloads_, t.runs) << FormatDmyHms(t.now);
    }
    // Only the tick's run is the timer's: its repeated failure opens no box.
    std::vector<bool> byTimer;
    form->Hooks().runDownload = [&] {
        byTimer.push_back(form->InTimerRun());
        return true;
    };
    form->DownloadBtnClick();
    clock_.Set({2026, 12, 9, 12, 0, 0, 0});
    form->DownloadTimerTimer();
    EXPECT_EQ(byTimer, (std::vector<bool>{false, true}));
    EXPECT_FALSE(form->InTimerRun());
}

TEST_F(MainFormTest, HerstelUitArchiefBringsBackTheDaysTheHistoriesLack) {
    const std::string line =
        "AEX 0812 00400.00 00420.00; Put: dec 2008 400.00; Call: dec 2008 420.00; Strangle";
    WriteRules({line});
    ArchiveEntry pass;
    pass.time = {2008, 12, 8, 18, 0, 0, 0};
    pass.index = ArchivedPage{"http://index.test/",
                              test::IndexPageHtml("08-12-08", "17:35", " 405,10", "2,00")};
    pass.option = ArchivedPage{"http://option.test/",
                               test::OptionPageHtml({{'C', "19-12-2008", "420,00", "5,20"},
                                                     {'P', "19-12-2008", "400,00", "0,65"}})};
    ASSERT_EQ(ArchivePass(DataFolder(), pass), "");
    auto form = Create();
    QAction* action = form->ListBox1->HerstelUitArchief;
    ASSERT_TRUE(form->ListBox1->actions().contains(action));
    action->trigger();
    EXPECT_FALSE(action->isEnabled());  // one rebuild at a time
    ASSERT_TRUE(test::WaitFor([this] { return !messages_.empty(); }));
    EXPECT_TRUE(action->isEnabled());
    EXPECT_NE(messages_.back().find("1 dag terug: 08-12-2008"), std::string::npos)
        << messages_.back();
    EXPECT_EQ(test::ReadAll(DataFolder() + HistoryFileName(line)),
              "Datum; Put; Call; Som; AEX\r\n"
              "08-12-2008 18:00:00; 00,65; 05,20; 05,85;  405,10\r\n");
}

TEST_F(MainFormTest, UpdateTimerChecksOnce) {
    auto form = Create();
    std::vector<std::string> checks;
    form->Hooks().checkAtStart = [&](const std::string& p, const std::string& v) {
        checks.push_back(p + "|" + v);
    };
    form->UpdateTimerTimer();
    EXPECT_FALSE(form->UpdateTimer->isActive());
    EXPECT_EQ(checks, std::vector<std::string>{"Rendaal|versie 1.10a"});
}

TEST_F(MainFormTest, HelpOpensThePageAtTheFocusedContext) {
    auto form = Create();
    ShowAndPaint(form.get());
    const std::string page = "file://" + start_dir_.folder() + "help/rendaal.html";
    form->ListBox1->setFocus();
    PressF1(form->ListBox1);
    form->DownloadBtn->setFocus();
    PressF1(form->DownloadBtn);
    form->Help1Click();
    EXPECT_EQ(opened_, (std::vector<std::string>{page + "#10000", page + "#10000", page}));
    EXPECT_EQ(form->property("helpContext").toInt(), 1000);

    openerWorks_ = false;
    PressF1(form->ListBox1);
    ASSERT_EQ(messages_.size(), 1u);
    // The path, which a user can open by hand.
    EXPECT_NE(messages_[0].find("\n" + start_dir_.folder() + "help/rendaal.html"),
              std::string::npos);
    EXPECT_TRUE(form->isVisible());  // the program runs on
}

TEST_F(MainFormTest, MissingHelpPageIsReportedOnceAtStart) {
    fs::remove(start_dir_.path() / "help" / "rendaal.html");
    auto form = Create();
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0],
              "Rendaal|Help file not found\n" + start_dir_.folder() + "help/rendaal.html");
    EXPECT_EQ(form->Combinations().size(), 3u);
}

TEST_F(MainFormTest, HoverShowsTheReadOutOnlyAfterADownload) {
    auto form = Create();
    ShowAndPaint(form.get());
    form->HoverReady = false;
    MoveMouse(form->Image1, QPoint(50, 50));
    EXPECT_TRUE(form->Image1->toolTip().isEmpty());
    form->HoverReady = true;
    MoveMouse(form->Image1, QPoint(60, 60));
    EXPECT_EQ(form->Image1->toolTip(), "Laatste gegevens:\n  Datum: 07-12-2026");
}

}  // namespace
}  // namespace rendaal
