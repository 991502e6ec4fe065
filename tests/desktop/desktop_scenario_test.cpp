// The program as a desktop user meets it: the first start, windows opened from other windows, a
// download that fails, a combination added while the data folder is held, a second start.
#include <sys/stat.h>

#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QListWidget>
#include <QLocalSocket>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <chrono>
#include <future>

#include "core/combination.h"
#include "dialogs/about_form.h"
#include "dialogs/message_form.h"
#include "dialogs/versions_form.h"
#include "dialogs/yesno_dialog.h"
#include "download/fake_fetcher.h"
#include "download/run_lock.h"
#include "mainwindow/add_form.h"
#include "mainwindow/app_windows.h"
#include "mainwindow/download_form.h"
#include "mainwindow/overview_form.h"
#include "platform/single_instance.h"
#include "settings/options_form.h"
#include "support/window_fixture.h"
#include "update/update_transport.h"

namespace rendaal {
namespace {

namespace fs = std::filesystem;

const std::string kLine =
    "AEX 2612 00900.00 00950.00; Put: dec 2026 900.00; Call: dec 2026 950.00; Strangle";
const std::string kAdded =
    "AEX 2612 00880.00 00960.00; Put: dec 2026 880.00; Call: dec 2026 960.00; Strangle";
const std::string kAddedInRun =
    "AEX 2612 00860.00 00Geen; Put: dec 2026 860.00; Call: dec 2026 Geen; Single";

const std::string kIndexPage = test::IndexPageHtml("07-12-26", "10:00", "905,12", "3,21");
const std::string kOptionPage = test::OptionPageHtml({{'P', "18-12-2026", "900,00", "12,35"},
                                                      {'C', "18-12-2026", "950,00", "3,10"},
                                                      {'P', "18-12-2026", "880,00", "10,20"},
                                                      {'C', "18-12-2026", "960,00", "2,05"},
                                                      {'P', "18-12-2026", "860,00", "8,15"}});

using test::WaitFor;

// A version list that never arrives: the update window shows, nothing leaves the machine.
class NoServer final : public UpdateTransport {
public:
    ListReply Get(const std::string&, size_t) override {
        return {{}, false, ListFailure::NoConnection, 0};
    }
    StreamOutcome Stream(const std::string&,
                         const std::function<bool(std::string_view)>&) override {
        return {};
    }
};

// Serves the fake pages and runs a hook while the run waits for one, as the real client lets
// clicks run.
class HookedFetcher final : public PageFetcher {
public:
    std::string Fetch(const FetchRequest& r) override {
        ++fetched;
        if (hook) {
            auto once = std::move(hook);
            hook = nullptr;
            once();
        }
        return pages.Fetch(r);
    }
    FetchStatus FetchStream(const FetchRequest& r, const ChunkCallback& c) override {
        return pages.FetchStream(r, c);
    }
    test::FakeFetcher pages;
    std::function<void()> hook;
    int fetched = 0;
};

std::string HistoryOf(const TMainForm& main, const std::string& line) {
    const fs::path path = main.DataFolder + HistoryFileName(line);
    return fs::exists(path) ? test::ReadAll(path) : std::string();
}

class DesktopScenario : public test::WindowFixture {
protected:
    DesktopScenario() {
        test::WriteAll(start_dir_.path() / "Regels.dat", kLine + "\r\n");
        // Nothing may leave the machine, even from a window the test does not drive.
        WriteSettings(
            "\"IndexUrl\"=\"http://127.0.0.1:9\"\r\n\"OptionUrl\"=\"http://127.0.0.1:9\"\r\n"
            "\"SiteUrl\"=\"http://127.0.0.1:9/\"\r\n");
        openerWorks_ = false;
        static const bool dutch = SetUpDesktopIdentity();
        dutchQt_ = dutch;
    }

    std::unique_ptr<AppWindows> Start() {
        auto app = CreateAppWindows();
        auto fetcher = std::make_unique<HookedFetcher>();
        fetcher_ = fetcher.get();
        ServePages(true);
        DownloadForm->SetFetcher(std::move(fetcher));
        DownloadForm->SetPageAddresses(test::kIndexBase, test::kOptionBase);
        DownloadForm->SetErrorHandler([this](const std::string& e) { messages_.push_back(e); });
        VersionsForm->SetTransport(std::make_unique<NoServer>());
        return app;
    }
    // Up means the pages of a reachable server, down an empty answer as from a gone one.
    void ServePages(bool up) {
        fetcher_->pages.Serve(test::kIndexBase, {up ? kIndexPage : std::string()});
        fetcher_->pages.Serve(test::kOptionBase, {up ? kOptionPage : std::string()});
    }

    HookedFetcher* fetcher_ = nullptr;
    bool dutchQt_ = false;
};

// Every visible child of the panel lies inside it and no two overlap.
void ExpectPanelClear(const TMainForm& main, const char* when) {
    const QList<QWidget*> children =
        main.Panel1->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (int i = 0; i < children.size(); ++i) {
        const QWidget* a = children[i];
        if (!a->isVisible() || a->geometry().isEmpty()) {
            continue;
        }
        EXPECT_TRUE(main.Panel1->rect().contains(a->geometry()))
            << when << ": " << a->objectName().toStdString() << " " << a->x() << "," << a->y()
            << " " << a->width() << "x" << a->height();
        for (int j = i + 1; j < children.size(); ++j) {
            const QWidget* b = children[j];
            if (b->isVisible() && a->geometry().intersects(b->geometry())) {
                ADD_FAILURE() << when << ": overlap at " << a->x() << "," << a->y() << " and "
                              << b->x() << "," << b->y();
            }
        }
    }
}

TEST_F(DesktopScenario, FirstStartShowsTheWholePanelEightRowsAndTheChart) {
    auto app = Start();
    TMainForm* main = app->main;
    ShowAndPaint(main);

    const QRect area = main->screen()->availableGeometry();
    EXPECT_TRUE(area.contains(main->frameGeometry())) << main->width() << "x" << main->height();
    EXPECT_GE(main->ListBox1->viewport()->height() / main->ListBox1->sizeHintForRow(0), 8);
    EXPECT_EQ(main->Image1->height(), 474);
    EXPECT_GE(main->Image1->width(), 676);
    EXPECT_EQ(main->ChartImage().size(), main->Image1->size());
    EXPECT_EQ(main->minimumSize(), main->MinimumClientSize());

    // At the first size and at the least one, with the longest texts the rows show: nothing is
    // cut, nothing lies under the info button.
    for (const QSize size : {main->size(), main->minimumSize()}) {
        main->resize(size);
        ASSERT_TRUE(WaitFor([&] { return main->size() == size; }));
        main->Label1->setText(
            QStringLiteral("Gedownload: 123 koersen (niet alle koersen gevonden)"));
        test::Wait(50);
        EXPECT_EQ(main->Label1->width(), main->Label1->sizeHint().width());
        for (QLabel* label : {main->L21, main->L22, main->L23, main->L24}) {
            EXPECT_EQ(label->width(), label->sizeHint().width()) << label->text().toStdString();
        }
        ExpectPanelClear(*main, "after a run");
        // The chart's message in the first label of the index row, once sized for "AEX:".
        main->L21->setText(QStringLiteral("Laatste koesrsen niet gedownload"));
        test::Wait(50);
        EXPECT_EQ(main->L21->width(), main->L21->sizeHint().width());
        ExpectPanelClear(*main, "with the chart's message");
        main->DownloadBtnClick();
    }
    // Below the minimum the window keeps it.
    main->resize(300, 200);
    EXPECT_EQ(main->size(), main->minimumSize());

    // Desktop identity: the entry's name, an icon (the built-in one here), Qt's texts in Dutch.
    EXPECT_EQ(QGuiApplication::desktopFileName(), "nl.rendaal.Rendaal");
    EXPECT_FALSE(main->windowIcon().isNull());
    EXPECT_TRUE(dutchQt_);
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), "Annuleren");
}

TEST_F(DesktopScenario, StoredBoundsThatDoNotFitTheScreenAreMovedOntoIt) {
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const struct {
        const char* name;
        const char* values;
    } cases[] = {
        {"huge size", "\"Width\"=\"99999999\"\r\n\"Height\"=\"99999999\"\r\n"},
        {"far left", "\"Left\"=\"-99999999\"\r\n\"Width\"=\"1000\"\r\n\"Height\"=\"700\"\r\n"},
        {"past the bottom right", "\"Left\"=\"5000\"\r\n\"Top\"=\"3000\"\r\n"},
    };
    for (const auto& c : cases) {
        WriteSettings(c.values);
        auto app = Start();
        TMainForm* main = app->main;
        EXPECT_TRUE(area.contains(main->geometry())) << c.name;
        main->ShowSelected();
        EXPECT_LE(main->ChartImage().width(), area.width()) << c.name;
        EXPECT_LE(main->ChartImage().height(), area.height()) << c.name;
    }
}

TEST_F(DesktopScenario, SecondaryWindowsStayAboveTheWindowThatOpenedThem) {
    auto app = Start();
    TMainForm* main = app->main;
    ShowAndPaint(main);
    const auto transientOf = [](QWidget* w) {
        return w->windowHandle() ? w->windowHandle()->transientParent() : nullptr;
    };

    main->VoegToeButtonClick();  // not modal: it must not sink behind the main window
    ASSERT_TRUE(AddForm->isVisible());
    EXPECT_EQ(transientOf(AddForm), main->windowHandle());
    AddForm->close();

    // "Download Nu" in the modal settings dialog: the update window opens above the dialog and
    // takes clicks while the dialog is still open.
    bool updateAboveSettings = false;
    bool updateClosedByClick = false;
    QTimer::singleShot(0, [&] {
        OptionsForm->DownloadBtn->click();
        updateAboveSettings =
            VersionsForm->isVisible() && transientOf(VersionsForm) == OptionsForm->windowHandle();
        const QPoint exit =
            VersionsForm->ExitBtn->mapTo(VersionsForm, VersionsForm->ExitBtn->rect().center());
        QTest::mouseClick(VersionsForm->windowHandle(), Qt::LeftButton, {}, exit);
        updateClosedByClick = !VersionsForm->isVisible();
        OptionsForm->reject();
    });
    main->InstellingenButtonClick();
    EXPECT_TRUE(updateAboveSettings);
    EXPECT_TRUE(updateClosedByClick);

    // About, "Home" with no browser: the message window shows above the about window.
    bool messageAboveAbout = false;
    QTimer::singleShot(0, [&] {
        AboutForm->HomeBtn->click();
        messageAboveAbout =
            MessageForm->isVisible() && transientOf(MessageForm) == AboutForm->windowHandle();
        MessageForm->close();
        AboutForm->reject();
    });
    main->OverRendaal1Click();
    EXPECT_TRUE(messageAboveAbout);

    // The question before a deletion and the save dialog belong to the main window; the save
    // dialog speaks Dutch.
    bool questionAboveMain = false;
    QTimer::singleShot(0, [&] {
        questionAboveMain = YesNoDlg->isVisible() && transientOf(YesNoDlg) == main->windowHandle();
        YesNoDlg->NeeBtn->click();
    });
    main->DelButtonClick();
    EXPECT_TRUE(questionAboveMain);
    EXPECT_EQ(main->Combinations().size(), 1u);

    QString cancelText;
    bool saveAboveMain = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr) {
            return;
        }
        saveAboveMain = transientOf(dialog) == main->windowHandle();
        if (auto* box = dialog->findChild<QDialogButtonBox*>()) {
            if (QPushButton* cancel = box->button(QDialogButtonBox::Cancel)) {
                cancelText = cancel->text();
            }
        }
        dialog->reject();
    });
    main->SaveChartClick();
    EXPECT_TRUE(saveAboveMain);
    EXPECT_EQ(cancelText, "Annuleren");
}

TEST_F(DesktopScenario, FailedDownloadKeepsTheLastReadGreyedAndSaysSo) {
    auto app = Start();
    TMainForm* main = app->main;
    ShowAndPaint(main);
    QLabel* const row[] = {main->L21, main->L22, main->L23, main->L24};
    const auto texts = [&row] {
        std::vector<std::string> t;
        for (QLabel* label : row) {
            t.push_back(label->text().toStdString());
        }
        return t;
    };
    const std::vector<std::string> good = texts();
    ASSERT_EQ(good[0], "AEX:");
    ASSERT_EQ(good[1], "905,12");
    ASSERT_EQ(good[3], "@ 07-12-2026 10:00:00");
    const QColor levelColour = main->L22->palette().color(QPalette::WindowText);
    // Greyed, yet readable.
    const QColor grey = main->Panel1->OldReadingColour();
    ASSERT_NE(levelColour, grey);
    EXPECT_GE(ContrastRatio(grey, main->Panel1->palette().color(QPalette::Window)), 4.5);

    // The companion holds the folder: nothing was read, nothing failed, the row stays as it is.
    {
        RunLock companion(main->DataFolder);
        ASSERT_TRUE(companion.TryAcquire());
        main->DownloadBtnClick();
    }
    EXPECT_TRUE(main->Label1->text().startsWith("Download al bezig"));
    EXPECT_EQ(texts(), good);
    EXPECT_FALSE(main->IndexRowIsOld());

    // Server gone: the whole row of the last read, greyed, never a level without its change.
    clock_.Set(DateTime{2026, 12, 7, 11, 0, 0, 0});
    ServePages(false);
    main->DownloadBtnClick();
    EXPECT_TRUE(main->Label1->text().startsWith("Gedownload: Geen koersen"))
        << main->Label1->text().toStdString();
    EXPECT_EQ(texts(), good);
    EXPECT_TRUE(main->IndexRowIsOld());
    EXPECT_TRUE(main->L24->accessibleName().endsWith("oude stand"));
    for (QLabel* label : row) {
        EXPECT_EQ(label->palette().color(QPalette::WindowText), grey);
    }
    ExpectPanelClear(*main, "greyed row");
    // A second failure keeps the same last good read.
    main->DownloadBtnClick();
    EXPECT_EQ(texts(), good);

    ServePages(true);
    main->DownloadBtnClick();
    EXPECT_FALSE(main->IndexRowIsOld());
    EXPECT_TRUE(main->L24->accessibleName().isEmpty());  // the time stamp alone again
    EXPECT_EQ(main->L22->palette().color(QPalette::WindowText), levelColour);
    EXPECT_NE(main->L21->palette().color(QPalette::WindowText), grey);
}

TEST_F(DesktopScenario, AddedCombinationGetsItsFirstLineOnceTheFolderIsFree) {
    auto app = Start();
    TMainForm* main = app->main;
    ShowAndPaint(main);
    ASSERT_NE(HistoryOf(*main, kLine).find("12,35"), std::string::npos);

    // The companion holds the data folder when OK is pressed.
    {
        RunLock companion(main->DataFolder);
        ASSERT_TRUE(companion.TryAcquire());
        main->AddCombination(kAdded);
        EXPECT_TRUE(main->FirstLineWaiting());
        EXPECT_TRUE(main->Label1->text().contains("wacht")) << main->Label1->text().toStdString();
        test::Wait(1500);  // the retry finds it still held
        EXPECT_EQ(HistoryOf(*main, kAdded).find("10,20"), std::string::npos);
    }
    EXPECT_TRUE(WaitFor([main] { return !main->FirstLineWaiting(); }, 5000));
    EXPECT_NE(HistoryOf(*main, kAdded).find("10,20"), std::string::npos);
    EXPECT_EQ(ParseRules(test::ReadAll(main->RulesFilePath())).size(), 2u);

    // OK pressed while this window's own run waits for a page.
    fetcher_->hook = [main] { main->AddCombination(kAddedInRun); };
    main->DownloadBtnClick();
    EXPECT_FALSE(main->FirstLineWaiting());
    EXPECT_NE(HistoryOf(*main, kAddedInRun).find("8,15"), std::string::npos);
}

// Closes every modal window and popup menu as soon as it opens, saying what it was.
class Closer final {
public:
    Closer() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                for (QAction* a : popup->actions()) {
                    menu.push_back(a->text().toStdString());
                }
                popup->close();
            } else if (QWidget* modal = QApplication::activeModalWidget()) {
                opened = modal->metaObject()->className();
                if (modal == YesNoDlg) {
                    question = YesNoDlg->MessageMemo->toPlainText().toStdString();
                }
                modal->close();
            }
        });
        timer_.start();
    }
    void Clear() {
        opened.clear();
        question.clear();
        menu.clear();
    }
    std::string opened;
    std::string question;
    std::vector<std::string> menu;

private:
    QTimer timer_;
};

bool Has(const std::vector<std::string>& texts, const std::string& text) {
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST_F(DesktopScenario, EveryActionHasAKeyAndTheKeysFollowTheRows) {
    auto app = Start();
    TMainForm* main = app->main;
    ShowAndPaint(main);
    main->AddCombination(kAdded);  // two lines: one to choose in Overzicht
    auto* overview = main->findChild<TOverviewForm*>();
    ASSERT_NE(overview, nullptr);
    Closer closer;
    int fetched = 0;
    bool theory = false;
    bool blocks = false;
    const auto key = [](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        return QKeyCombination(m, k);
    };
    const struct {
        const char* name;
        QWidget* focus;
        QKeyCombination keys;
        std::function<bool()> done;
    } rows[] = {
        {"F5 downloads", main->ListBox1, key(Qt::Key_F5),
         [&] { return fetcher_->fetched > fetched; }},
        {"Ctrl+N opens the add dialog", main->ListBox1, key(Qt::Key_N, Qt::ControlModifier),
         [] { return AddForm->isVisible(); }},
        {"Delete asks first", main->ListBox1, key(Qt::Key_Delete),
         [&] { return closer.opened == "rendaal::TYesNoDlg"; }},
        {"Ctrl+, opens the settings", main->ListBox1, key(Qt::Key_Comma, Qt::ControlModifier),
         [&] { return closer.opened == "rendaal::TOptionsForm"; }},
        {"Ctrl+S saves the chart", main->ListBox1, key(Qt::Key_S, Qt::ControlModifier),
         [&] { return closer.opened == "QFileDialog"; }},
        {"Ctrl+T switches Theorie", main->ListBox1, key(Qt::Key_T, Qt::ControlModifier),
         [&] { return main->TheoryView != theory; }},
        {"Return presses the focused button", main->ModeButton, key(Qt::Key_Return),
         [&] { return main->BlocksView != blocks; }},
        {"the menu key opens the chart's menu", main->Image1, key(Qt::Key_Menu),
         [&] { return Has(closer.menu, "Grafiek opslaan..."); }},
        {"Shift+F10 likewise", main->Image1, key(Qt::Key_F10, Qt::ShiftModifier),
         [&] { return Has(closer.menu, "Theorie"); }},
        {"Return in Overzicht chooses the row", overview->Grid, key(Qt::Key_Return),
         [&] { return main->SelectedIndex() == 1; }},
        {"Escape closes Overzicht", overview->Grid, key(Qt::Key_Escape),
         [&] { return !overview->isVisible(); }},
        {"Ctrl+W closes Overzicht", overview->Grid, key(Qt::Key_W, Qt::ControlModifier),
         [&] { return !overview->isVisible(); }},
    };
    for (const auto& row : rows) {
        if (row.focus->window() == overview) {
            overview->show();
            main->ListBox1->setCurrentRow(0);
            overview->Grid->setCurrentCell(1, 0);
        }
        QApplication::setActiveWindow(row.focus->window());
        row.focus->setFocus();
        closer.Clear();
        fetched = fetcher_->fetched;
        theory = main->TheoryView;
        blocks = main->BlocksView;
        QTest::keyClick(row.focus, row.keys.key(), row.keys.keyboardModifiers());
        EXPECT_TRUE(WaitFor(row.done, 3000)) << row.name;
        AddForm->close();
    }
    EXPECT_EQ(main->Combinations().size(), 2u);  // the question was answered "Nee"

    // Tab goes row by row through the panel, then to the list and the chart.
    const std::vector<QWidget*> reading = {
        main->VoegToeButton, main->DownloadBtn, main->ModeButton,
        main->SpeedInfo,     main->DelButton,   main->InstellingenButton,
        main->ApartButton,   main->ListBox1,    main->Image1};
    std::vector<QWidget*> chain{main->VoegToeButton};
    for (QWidget* w = main->VoegToeButton; chain.size() < reading.size();) {
        w = w->nextInFocusChain();
        if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(main)) {
            chain.push_back(w);
        }
    }
    EXPECT_EQ(chain, reading);

    QApplication::setActiveWindow(main);
    QTest::keyClick(main->ListBox1, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(WaitFor([main] { return !main->isVisible(); }));
}

// What a screen reader finds on every window: a name for each control the keyboard reaches
// (a combo or spin box announces its value, so it needs a label); windows as frames.
std::vector<std::string> ControlsWithoutAName() {
    std::vector<std::string> missing;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        QList<QWidget*> widgets = window->findChildren<QWidget*>();
        widgets.prepend(window);
        for (QWidget* w : widgets) {
            // A part that hands its focus on, or takes it for its parent, is spoken as that one.
            const bool part = w->focusProxy() != nullptr || (w->parentWidget() != nullptr &&
                                                             w->parentWidget()->focusProxy() == w);
            if (!(w->focusPolicy() & Qt::TabFocus) || part ||
                (w != window && !w->isVisibleTo(window))) {
                continue;
            }
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
            const bool labelled = a != nullptr && !a->relations(QAccessible::Label).isEmpty();
            const bool named = a != nullptr && !a->text(QAccessible::Name).trimmed().isEmpty();
            const bool showsValue = a != nullptr && (a->role() == QAccessible::ComboBox ||
                                                     a->role() == QAccessible::SpinBox);
            if (a == nullptr || (showsValue ? !labelled : !named)) {
                missing.push_back(std::string(window->metaObject()->className()) + " " +
                                  w->metaObject()->className() + " " +
                                  w->objectName().toStdString());
            }
        }
    }
    return missing;
}

TEST_F(DesktopScenario, ScreenReadersHearEveryControlAndWhatTheLabelsMean) {
    auto app = Start();
    TMainForm* main = app->main;
    ShowAndPaint(main);
    auto* overview = main->findChild<TOverviewForm*>();
    ASSERT_NE(overview, nullptr);
    overview->show();
    EXPECT_EQ(ControlsWithoutAName(), std::vector<std::string>{});

    const auto role = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->role(); };
    const QString chart = main->Image1->accessibleDescription();
    const struct {
        const char* name;
        bool holds;
    } rows[] = {
        {"the main window is a frame", role(main) == QAccessible::Window},
        {"Overzicht is a frame", role(overview) == QAccessible::Window},
        {"the chart says what it shows",
         chart.startsWith("Blokjes van Strangle AEX 2612 00900.00 00950.00, 07-12-2026") &&
             chart.contains(QString::fromUtf8("laatste som \u20ac 15,45"))},
        {"the index change says which way", main->L23->accessibleName() == "3,21, hoger"},
        {"the info button has a name", !main->SpeedInfo->accessibleName().isEmpty()},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(row.holds) << row.name << ": " << chart.toStdString();
    }
}

// Texts that tell the truth: the count of this pass, the combination asked about, nothing left
// on screen of a deleted last combination.
TEST_F(DesktopScenario, LabelsSpeakOfWhatIsThere) {
    auto app = Start();
    TMainForm* main = app->main;
    ShowAndPaint(main);
    ASSERT_EQ(main->Label1->text(), "Gedownload: 2 koersen");
    main->AddCombination(kAdded);
    const QString afterAdd = main->Label1->text();
    Closer closer;
    main->ListBox1->setCurrentRow(1);
    main->DelButtonClick();
    const std::string asked = closer.question;
    main->Hooks().askYes = [](const QString&, const QString&) { return true; };
    main->DelButtonClick();
    main->DelButtonClick();
    const struct {
        const char* name;
        bool holds;
    } rows[] = {
        {"the add's count is of its own pass (two lines, two prices each)",
         afterAdd == "Gedownload: 4 koersen"},
        {"the question names kind and line",
         asked == "Wilt u inderdaad de geselecteerde Strangle verwijderen?\n" + kLine},
        {"no chart of a deleted combination", main->ChartImage().isNull()},
        {"no result of it", main->l1->text().isEmpty() && main->l4->text().isEmpty()},
        {"the status invites an add", main->Label1->text().contains("Voegtoe")},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(row.holds) << row.name << ": " << asked;
    }
}

// A stable key for the data folder, a socket in a runtime folder of the test's own.
class SecondStart : public DesktopScenario {
protected:
    SecondStart() {
        fs::permissions(runtime_.path(), fs::perms::owner_all, fs::perm_options::replace);
        fs::create_directories(DataFolder());
    }
    QString Runtime() const { return QString::fromStdString(runtime_.path().string()); }
    test::TempDir runtime_;
};

TEST_F(SecondStart, SameFolderAsksTheRunningOneAnotherFolderRunsOnItsOwn) {
    SingleInstance first(DataFolder(), Runtime());
    ASSERT_TRUE(first.Claim());
    EXPECT_TRUE(first.Problem().isEmpty()) << first.Problem().toStdString();
    int shown = 0;
    QObject::connect(&first, &SingleInstance::ShowRequested, [&shown] { ++shown; });

    // Something else on the socket is no request.
    QLocalSocket stranger;
    stranger.connectToServer(first.SocketPath());
    ASSERT_TRUE(stranger.waitForConnected(2000));
    stranger.write(QByteArray(200, 'x') + "\nshow\n");
    stranger.flush();
    test::Wait(200);
    EXPECT_EQ(shown, 0);

    // The same folder reached through a symlink is the same folder.
    fs::create_directory_symlink(DataFolder(), root_.path() / "link");
    SingleInstance second((root_.path() / "link").string(), Runtime());
    ASSERT_FALSE(second.Claim());
    auto answered = std::async(std::launch::async, [&second] { return second.AskRunningToShow(); });
    ASSERT_TRUE(WaitFor([&answered] {
        return answered.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }));
    EXPECT_TRUE(answered.get());
    EXPECT_EQ(shown, 1);

    SingleInstance other(root_.folder() + "other/", Runtime());
    EXPECT_TRUE(other.Claim());

    // A FIFO where the lock belongs neither hangs the start nor keeps the program from running.
    SingleInstance third(root_.folder() + "third/", Runtime());
    ASSERT_EQ(::mkfifo(third.LockPath().toLocal8Bit().constData(), 0600), 0);
    EXPECT_TRUE(third.Claim());
    EXPECT_FALSE(third.Problem().isEmpty());
}

TEST_F(SecondStart, TheRealProgramRaisesTheFirstAndEndsAndACrashFreesTheFolder) {
    const QString program =
        QString::fromLocal8Bit(qgetenv("RENDAAL_BINARY_DIR")) + QStringLiteral("/src/app/rendaal");
    ASSERT_TRUE(QFileInfo(program).isExecutable()) << program.toStdString();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* proxy :
         {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"}) {
        env.remove(QString::fromLatin1(proxy));
    }
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Runtime());
    const QString socket = SingleInstance(DataFolder(), Runtime()).SocketPath();

    const auto startWindow = [&](QProcess& p) {
        p.setProcessEnvironment(env);
        p.start(program, {});
        ASSERT_TRUE(p.waitForStarted(10000));
        ASSERT_TRUE(WaitFor([&] { return fs::exists(socket.toStdString()); }, 30000));
    };
    QProcess first;
    startWindow(first);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(program, {});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(second.readAllStandardError().contains("draait al"));
    EXPECT_EQ(first.state(), QProcess::Running);

    // A crash leaves the socket file and the lock file behind; the next start runs all the same.
    first.kill();
    first.waitForFinished(10000);
    ASSERT_TRUE(fs::exists(socket.toStdString()));
    QProcess again;
    again.setProcessEnvironment(env);
    again.start(program, {});
    ASSERT_TRUE(again.waitForStarted(10000));
    EXPECT_FALSE(again.waitForFinished(4000));  // still running: it took the folder
    again.terminate();
    EXPECT_TRUE(again.waitForFinished(30000));
    EXPECT_EQ(again.exitCode(), 0);
}

}  // namespace
}  // namespace rendaal
