#include "mainwindow/app_windows.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QLibraryInfo>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>

#include "dialogs/about_form.h"
#include "dialogs/message_form.h"
#include "dialogs/versions_form.h"
#include "dialogs/yesno_dialog.h"
#include "mainwindow/add_form.h"
#include "mainwindow/download_form.h"
#include "mainwindow/graph_form.h"
#include "mainwindow/main_form.h"
#include "mainwindow/overview_form.h"
#include "mainwindow/scenario_form.h"
#include "platform/help.h"
#include "platform/window_stack.h"
#include "settings/options_form.h"

namespace rendaal {

TGraphForm* GraphForm = nullptr;

AppWindows::~AppWindows() {
    // Later windows refer to earlier ones (the main window above all): end them first.
    while (!windows.empty()) {
        windows.pop_back();
    }
    // These windows do not clear their program-wide pointers themselves.
    GraphForm = nullptr;
    VersionsForm = nullptr;
    TerminateForm = nullptr;
    OptionsForm = nullptr;
    AboutForm = nullptr;
}

namespace {

// The theme's search and the decoding of every size cost more than the whole first frame, and
// the window shows without its icon just as well: set once that frame is on the screen.
void SetWindowIcon() {
    QIcon builtIn;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        builtIn.addFile(QStringLiteral(":/icons/%1x%1/%2.png").arg(size).arg(kDesktopFileName),
                        QSize(size, size));
    }
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(kDesktopFileName), builtIn));
}

}  // namespace

bool SetUpDesktopIdentity() {
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
    // The windows speak Dutch whatever the locale, so the file dialog and the standard buttons do
    // too.
    auto* translator = new QTranslator(qApp);
    if (!translator->load(QStringLiteral("qtbase_nl"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

namespace {

// Every window but the main one, in their order, and the main window's connections to them.
void CreateSecondaryWindows(AppWindows* app) {
    TMainForm* main = app->main;
    app->windows.push_back(std::make_unique<TAddForm>());
    auto graph = std::make_unique<TGraphForm>();
    GraphForm = graph.get();
    app->windows.push_back(std::move(graph));
    app->windows.push_back(std::make_unique<TDownloadForm>());
    auto about = std::make_unique<TAboutForm>(main);
    AboutForm = about.get();
    about->setProgram(main->ProgramName, main->VersionText, main->AboutText);
    app->windows.push_back(std::move(about));
    auto versions = std::make_unique<TVersionsForm>();
    VersionsForm = versions.get();
    app->windows.push_back(std::move(versions));
    app->windows.push_back(std::make_unique<TYesNoDlg>());

    OptionsHooks optionHooks;
    optionHooks.mainWindow = main;
    optionHooks.setDownloadTimerEnabled = [main](bool on) {
        if (on) {
            main->DownloadTimer->start();
        } else {
            main->DownloadTimer->stop();
        }
    };
    optionHooks.setDownloadTimerInterval = [main](int ms) { main->DownloadTimer->setInterval(ms); };
    optionHooks.runDownload = [] { DownloadForm->RunDownload(); };
    optionHooks.refillYears = [](int from, int till) { AddForm->RefillYears(from, till); };
    optionHooks.yearRange = [] {
        const TDataRec& rec = DownloadForm->State().DataRec;
        return std::make_pair(rec.YearFrom, rec.YearTill);
    };
    optionHooks.checkNow = [main](const QRect& r) {
        VersionsForm->CheckNow(r.top(), r.left(), r.height(), r.width(), main->ProgramName,
                               main->VersionText);
    };
    optionHooks.programName = main->ProgramName;
    optionHooks.alertSettingsChanged = [main] { CheckWindowAlertsWhenFree(*main); };
    auto options = std::make_unique<TOptionsForm>(optionHooks);
    OptionsForm = options.get();
    app->windows.push_back(std::move(options));
    // Help contexts of windows that do not set their own.
    if (HelpContextOf(AboutForm) == 0) {
        SetHelpContext(AboutForm, 50000);
    }
    if (HelpContextOf(OptionsForm->UpdatesCheck) == 0) {
        SetHelpContext(OptionsForm->UpdateBox, 32150);
        SetHelpContext(OptionsForm->UpdatesCheck, 32150);
        SetHelpContext(OptionsForm->DownloadBtn, 32050);
    }
    auto terminate = std::make_unique<TTerminateForm>();
    TerminateForm = terminate.get();
    app->windows.push_back(std::move(terminate));
    app->windows.push_back(std::make_unique<TMessageForm>());

    // Secondary windows stay above the window they were opened from.
    new WindowStacking(main);
    // The run's error box belongs to the main window, not to the never shown download window.
    DownloadForm->SetErrorHandler([main](const std::string& text) {
        ShowFailureBox(main, QString::fromStdString(main->ProgramName),
                       QString::fromStdString(text));
    });
    DownloadForm->AttachLabels({main->Label1, main->L21, main->L22, main->L23, main->L24});
    DownloadSources sources;
    sources.CombinationLines = [main] { return main->Combinations(); };
    sources.Years = [] { return OptionsForm->Years(); };
    sources.LastHistoryIndexValue = [main] { return main->Charts.lastHistoryIndexValue; };
    sources.DataFolder = main->DataFolder;
    DownloadForm->SetSources(std::move(sources));
    DownloadForm->SetAfterRun([main] { CheckWindowAlerts(*main, true); });

    AddFormContext addContext;
    addContext.mainWindow = main;
    addContext.programName = main->ProgramName;
    addContext.quotePage = [] { return DownloadForm->State().QuotePage; };
    addContext.monthFrom = [] { return DownloadForm->State().DataRec.MonthFrom; };
    addContext.yearFrom = [] { return DownloadForm->State().DataRec.YearFrom; };
    addContext.yearTill = [] { return DownloadForm->State().DataRec.YearTill; };
    addContext.addCombination = [main](const std::string& line) { main->AddCombination(line); };
    AddForm->SetContext(std::move(addContext));

    MainFormHooks hooks;
    hooks.runDownload = [main] { return DownloadForm->RunDownload(main->InTimerRun()); };
    hooks.resetPriceCount = [] { DownloadForm->State().PriceCount = 0; };
    hooks.processLastPage = [] {
        return DownloadForm->ProcessCombinations(DownloadForm->State().QuotePage,
                                                 DownloadForm->State().DataRec);
    };
    hooks.lastRunNotes = [] { return DownloadForm->LastResult().notes; };
    hooks.lastRunRulesCopies = [] { return DownloadForm->LastResult().rulesCopies; };
    hooks.askRulesCopy = [main](const QString& caption, const QString& question) {
        // Esc, closing and the default button all mean "Later": nothing changes.
        bool middle = true;
        const QRect r = main->frameGeometry();
        const bool take = YesNoDlg->Ask(r.top(), r.left(), r.height(), r.width(), caption, question,
                                        QStringLiteral("Overnemen"), QStringLiteral("Later"),
                                        QStringLiteral("Eigen regels"), false, middle);
        return middle ? 0 : take ? 1 : -1;
    };
    hooks.quoteTimeText = [] { return DownloadForm->State().QuoteTimeText; };
    hooks.showAddForm = [] {
        AddForm->show();
        AddForm->raise();
        AddForm->activateWindow();
    };
    hooks.askYes = [main](const QString& caption, const QString& question) {
        bool cancel = false;  // the middle button is not offered
        const QRect r = main->frameGeometry();
        return YesNoDlg->Ask(r.top(), r.left(), r.height(), r.width(), caption, question,
                             QStringLiteral("Ja"), QStringLiteral("Nee"), QStringLiteral("Negeren"),
                             false, cancel);
    };
    hooks.scheduleSettings = [] {
        ScheduleSettings s;
        s.UpdatesOn = OptionsForm->UpdatesOn();
        s.OpruimOn = OptionsForm->OpruimOn();
        s.Days = OptionsForm->Days();
        return s;
    };
    hooks.showAbout = [] { AboutForm->exec(); };
    hooks.showOptions = [] { OptionsForm->exec(); };
    hooks.checkAtStart = [](const std::string& program, const std::string& version) {
        VersionsForm->CheckAtStart(program, version);
    };
    main->SetHooks(std::move(hooks));
    InstallOverview(*main);
    InstallScenario(*main);
}

}  // namespace

std::unique_ptr<AppWindows> CreateAppWindows(SecondaryWindows when) {
    auto app = std::make_unique<AppWindows>();
    auto mainForm = std::make_unique<TMainForm>();
    TMainForm* main = mainForm.get();
    app->main = main;
    app->windows.push_back(std::move(mainForm));
    // After the first chart, which the first frame's handler draws.
    QObject::connect(
        main, &TMainForm::FirstFrameShown, main,
        [main] {
            if (QApplication::windowIcon().isNull()) {
                QTimer::singleShot(0, main, SetWindowIcon);
            }
        },
        Qt::SingleShotConnection);
    if (when == SecondaryWindows::AfterFirstFrame) {
        // Before the first frame's own work, which reaches them through the hooks.
        QObject::connect(
            main, &TMainForm::FirstFrameShown, main,
            [windows = app.get()] { CreateSecondaryWindows(windows); }, Qt::SingleShotConnection);
    } else {
        CreateSecondaryWindows(app.get());
    }
    return app;
}

}  // namespace rendaal
