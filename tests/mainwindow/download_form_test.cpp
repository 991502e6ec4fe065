#include "mainwindow/download_form.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <filesystem>
#include <functional>

#include "core/clock.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "download/fake_fetcher.h"
#include "download/history.h"
#include "download/rebuild.h"
#include "download/run_lock.h"
#include "platform/settings_store.h"
#include "support/test_support.h"

namespace rendaal {
namespace {

using test::Row;

// Serves fixed pages and runs a hook inside every request, where the real client would let the
// event loop run.
class HookedFetcher final : public PageFetcher {
public:
    explicit HookedFetcher(test::FakeFetcher* pages) : pages_(pages) {}
    std::string Fetch(const FetchRequest& r) override {
        if (hook) {
            hook();
        }
        return pages_->Fetch(r);
    }
    FetchStatus FetchStream(const FetchRequest& r, const ChunkCallback& c) override {
        return pages_->FetchStream(r, c);
    }
    std::function<void()> hook;

private:
    test::FakeFetcher* pages_;
};

const std::string kLine =
    "AEX 0812 00400.00 00420.00; Put: dec 2008 400.00; Call: dec 2008 420.00; Strangle";

class DownloadFormTest : public ::testing::Test {
protected:
    DownloadFormTest() {
        pages.Serve(test::kIndexBase,
                    {test::IndexPageHtml("08-12-08", "17:35", " 405,10", "-2,00")});
        pages.Serve(test::kOptionBase,
                    {test::OptionPageHtml({{'C', "19-12-2008", "420,00", "5,20"},
                                           {'P', "19-12-2008", "400,00", "0,65"}})});
        auto fetcher = std::make_unique<HookedFetcher>(&pages);
        hooked = fetcher.get();
        form.SetFetcher(std::move(fetcher));
        form.SetClock(&clock);
        form.SetPageAddresses(test::kIndexBase, test::kOptionBase);
        form.SetErrorHandler([this](const std::string& e) { errors.push_back(e); });
        for (QLabel** l : {&labels.Label1, &labels.L21, &labels.L22, &labels.L23, &labels.L24}) {
            *l = new QLabel(&panel);
        }
        labels.L21->move(10, 5);
        form.AttachLabels(labels);
        form.SetSources(
            {[this] { return lines; }, [] { return 1; }, [] { return 405.0; }, dir.folder()});
    }
    test::TempDir dir;
    test::FakeFetcher pages;
    HookedFetcher* hooked = nullptr;
    FixedClock clock{DateTime{2008, 12, 8, 18, 0, 0, 0}};
    QWidget panel;
    DownloadLabels labels;
    TDownloadForm form;
    std::vector<std::string> lines{kLine};
    std::vector<std::string> errors;
};

TEST_F(DownloadFormTest, RunShowsStatusAndIndexReadOut) {
    EXPECT_EQ(DownloadForm, &form);
    EXPECT_TRUE(form.RunDownload());
    EXPECT_EQ(labels.Label1->text(), "Gedownload: 2 koersen");
    EXPECT_EQ(labels.L21->text(), "AEX:");
    EXPECT_EQ(labels.L22->text(), " 405,10");
    EXPECT_EQ(labels.L23->text(), "-2,00");
    EXPECT_EQ(labels.L24->text(), "@ 08-12-2008 18:00:00");
    EXPECT_EQ(labels.L22->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(labels.L23->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    EXPECT_EQ(labels.L22->x(), labels.L21->x() + labels.L21->width() + 5);
    EXPECT_EQ(labels.L23->x(), labels.L22->x() + labels.L22->width() + 5);
    EXPECT_EQ(labels.L24->x(), labels.L23->x() + labels.L23->width() + 5);
    EXPECT_EQ(form.State().IndexValueText, " 405,10");
    EXPECT_FALSE(form.State().QuotePage.empty());
    EXPECT_TRUE(FileExists(dir.folder() + HistoryFileName(kLine)));
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(DownloadFormTest, SecondRunWhileOneRunsIsIgnored) {
    std::vector<bool> nested;
    bool busyCursor = false;
    hooked->hook = [&] {
        busyCursor = QApplication::overrideCursor() &&
                     QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        nested.push_back(form.RunDownload());
        form.ProcessCombinations(form.State().QuotePage, form.State().DataRec);
    };
    EXPECT_TRUE(form.Running() == false);
    EXPECT_TRUE(form.RunDownload());
    EXPECT_TRUE(busyCursor);
    EXPECT_EQ(nested, std::vector<bool>(nested.size(), false));
    EXPECT_EQ(nested.size(), 2u);  // index page, option page
    EXPECT_EQ(labels.Label1->text(), "Gedownload: 2 koersen");
    EXPECT_EQ(SplitLines(test::ReadAll(dir.folder() + HistoryFileName(kLine))).size(), 2u);
}

TEST_F(DownloadFormTest, UnreadablePageTimeShowsAnErrorAndRestoresTheCursor) {
    pages.Serve(test::kIndexBase, {test::IndexPageHtml("08-13-08", "17:35", " 405,10", "1,00")});
    EXPECT_TRUE(form.RunDownload());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("08-13-2008"), std::string::npos) << errors[0];
    EXPECT_EQ(labels.Label1->text(), "Download mislukt (indexpagina onleesbaar)");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(form.Running());
}

TEST_F(DownloadFormTest, CompanionHoldingTheLockRefusesTheRun) {
    RunLock companion(dir.folder());
    ASSERT_TRUE(companion.TryAcquire());
    EXPECT_FALSE(form.RunDownload());
    EXPECT_EQ(labels.Label1->text(), "Download al bezig");
    EXPECT_TRUE(pages.requests.empty());
    companion.Release();
    EXPECT_TRUE(form.RunDownload());
}

// Only another holder is "al bezig"; any other way the folder cannot be held is a failure that
// names the path.
TEST_F(DownloadFormTest, DataFolderThatCannotBeHeldSaysWhy) {
    const struct {
        const char* name;
        std::string folder;
        std::function<void()> make;
        const char* status;
        std::string named;
    } cases[] = {
        {"lock file is a folder", dir.folder(),
         [&] {
             std::filesystem::remove(RunLockPath(dir.folder()));
             std::filesystem::create_directory(RunLockPath(dir.folder()));
         },
         "Download mislukt (vergrendeling mislukt)", RunLockPath(dir.folder())},
        {"data folder removed", dir.folder() + "gone/", [] {},
         "Download mislukt (datamap ontbreekt)", dir.folder() + "gone/"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        pages.requests.clear();
        c.make();
        form.SetSources(
            {[this] { return lines; }, [] { return 1; }, [] { return 405.0; }, c.folder});
        EXPECT_TRUE(form.RunDownload());
        EXPECT_EQ(labels.Label1->text().toStdString(), c.status);
        ASSERT_EQ(errors.size(), 1u);
        EXPECT_NE(errors[0].find(c.named), std::string::npos) << errors[0];
        EXPECT_TRUE(pages.requests.empty());
        form.ProcessCombinations(form.State().QuotePage, form.State().DataRec);
        EXPECT_EQ(errors.size(), 2u);
    }
}

TEST_F(DownloadFormTest, AddDialogPassUsesTheLastPage) {
    ASSERT_TRUE(form.RunDownload());
    const std::string added =
        "AEX 0812 00Geen 00420.00; Put: dec 2008 Geen; Call: dec 2008 420.00; Single";
    lines.push_back(added);
    clock.Set({2008, 12, 9, 18, 0, 0, 0});
    form.ProcessCombinations(form.State().QuotePage, form.State().DataRec);
    // The count of the add pass adds to that of the last run.
    EXPECT_EQ(labels.Label1->text(), "Gedownload: 5 koersen");
    EXPECT_TRUE(FileExists(dir.folder() + HistoryFileName(added)));
    form.ProcessCombinations("", form.State().DataRec);
    EXPECT_EQ(labels.Label1->text(), "Gedownload: 5 koersen");
    // The archive keeps the pass with its own time: lost, the line comes back as written.
    const std::string path = dir.folder() + HistoryFileName(added);
    const std::string line = SplitLines(test::ReadAll(path)).back();
    ASSERT_EQ(line.rfind("09-12-2008 18:00:00;", 0), 0u) << line;
    std::filesystem::remove(path);
    std::filesystem::remove(dir.folder() + BackupFileName(HistoryFileName(added)));
    test::WriteAll(dir.folder() + "Regels.dat", kLine + "\r\n" + added + "\r\n");
    RebuildLocked(dir.folder(), {});
    EXPECT_EQ(SplitLines(test::ReadAll(path)).back(), line);
}

TEST(DownloadFormSettings, PageAddressesComeFromTheSettings) {
    test::TempDir config;
    test::ScopedEnv env("XDG_CONFIG_HOME", config.path().string());
    std::filesystem::create_directories(config.path() / "Rendaal");
    ASSERT_TRUE(SettingsStore().Write([](RegFile& f) {
        f.SetString(kSettingsKey, "IndexUrl", "http://127.0.0.1:1");
        f.SetString(kSettingsKey, "OptionUrl", "http://127.0.0.1:2");
    }));
    test::TempDir data;
    test::FakeFetcher pages;
    TDownloadForm form;
    form.SetFetcher(std::make_unique<HookedFetcher>(&pages));
    form.SetSources({[] { return std::vector<std::string>{}; }, [] { return 1; },
                     [] { return 0.0; }, data.folder()});
    EXPECT_TRUE(form.RunDownload());
    ASSERT_EQ(pages.requests.size(), 4u);  // three tries of the index page, the option page
    EXPECT_EQ(pages.requests[0].url, "http://127.0.0.1:1/index.php?type=main");
    EXPECT_EQ(pages.requests[3].url.rfind("http://127.0.0.1:2/dft/koersen/opties/?xml=true", 0),
              0u);
}

}  // namespace
}  // namespace rendaal

namespace rendaal {
namespace {

std::vector<QMessageBox*> FailureBoxes() {
    std::vector<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w);
            box && box->objectName() == "FailureBox" && box->isVisible()) {
            boxes.push_back(box);
        }
    }
    return boxes;
}

// The site changed its index page: the timer's runs fail every minute.
TEST_F(DownloadFormTest, FailingTimerRunsOpenOneCalmBox) {
    QWidget window;
    window.show();
    form.SetErrorHandler([&window](const std::string& text) {
        ShowFailureBox(&window, "Rendaal", QString::fromStdString(text));
    });
    pages.Serve(test::kIndexBase, {test::IndexPageHtml("20 ", "", " 405,10", "-2,00")});
    struct Step {
        const char* name;
        bool byTimer;
        bool closeFirst;  // the user closed the box before this run
        size_t boxes;
    };
    const Step steps[] = {
        {"first timer run", true, false, 1},
        {"second, same failure", true, false, 1},
        {"third, same failure", true, false, 1},
        {"a timer run after the box was closed", true, true, 0},
        {"the Download button", false, false, 1},
        {"the Download button again", false, false, 1},
    };
    for (const Step& s : steps) {
        if (s.closeFirst) {
            CloseFailureBox();
            QApplication::processEvents();
        }
        ASSERT_TRUE(form.RunDownload(s.byTimer)) << s.name;
        QApplication::processEvents();
        const auto boxes = FailureBoxes();
        ASSERT_EQ(boxes.size(), s.boxes) << s.name;
        if (!boxes.empty()) {
            EXPECT_TRUE(boxes[0]->text().startsWith(QString::fromUtf8(kIndexUnreadableMessage)));
        }
        EXPECT_EQ(labels.Label1->text(), "Download mislukt (indexpagina onleesbaar)") << s.name;
    }
    // The site is back: the box about it goes.
    pages.Serve(test::kIndexBase, {test::IndexPageHtml("08-12-08", "17:35", " 405,10", "-2,00")});
    ASSERT_TRUE(form.RunDownload(true));
    QApplication::processEvents();
    EXPECT_TRUE(FailureBoxes().empty());
}

}  // namespace
}  // namespace rendaal
