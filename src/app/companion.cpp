#include "app/companion.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <array>
#include <csignal>
#include <cstdio>
#include <memory>

#include "app/chart_command.h"
#include "app/command_support.h"
#include "app/overview_command.h"
#include "app/scenario_command.h"
#include "core/combination.h"
#include "core/fileio.h"
#include "core/settings_values.h"
#include "download/cleanup.h"
#include "download/conflict_merge.h"
#include "download/rebuild.h"
#include "download/run_lock.h"
#include "history/history_file.h"
#include "platform/app_paths.h"
#include "platform/http_client.h"
#include "platform/notifications.h"
#include "platform/run_setup.h"
#include "platform/settings_store.h"

namespace rendaal {
namespace {

int Help(const std::vector<std::string>& args);

constexpr std::array kCommands = {
    CompanionCommand{"", "", false, RunScheduledDownload},
    CompanionCommand{"--chart",
                     "--chart <koersbestand> [--blokjes | --grafiek] [--apart]\n"
                     "                       [--size BxH] [--theorie [--theorie-dagen N]]\n"
                     "                       --out <bestand.png>",
                     true, RunChartCommand},
    CompanionCommand{"--overview", "--overview [--csv] [--rente X] [--dividend Y]", false,
                     RunOverviewCommand},
    // Drawn only with --chart, but the application object comes before the arguments are read.
    CompanionCommand{"--iv",
                     "--iv <koersbestand> [--csv | --chart --out <bestand.png> [--size BxH]]\n"
                     "                       [--rente X] [--dividend Y]",
                     true, RunIvCommand},
    CompanionCommand{"--alerts", "--alerts [--csv]", false, RunAlertsCommand},
    // Drawn only with --out; see --iv.
    CompanionCommand{"--scenario",
                     "--scenario <koersbestand> [--csv] [--iv-shift N]\n"
                     "                       [--out <bestand.png> [--size BxH]]",
                     true, RunScenarioCommand},
    CompanionCommand{"--test-alert", "--test-alert", false, RunTestAlertCommand},
    CompanionCommand{"--rebuild", "--rebuild [koersbestand...]", false, RunRebuildCommand},
    CompanionCommand{"--help", "--help", false, Help},
    CompanionCommand{"-h", "", false, Help},
};

void Usage(FILE* out) {
    bool first = true;
    for (const auto& command : CompanionCommands()) {
        if (command.option.empty() || !command.usage.empty()) {
            std::fprintf(out, "%s rendaal-sched %.*s\n", first ? "Gebruik:" : "        ",
                         static_cast<int>(command.usage.size()), command.usage.data());
            first = false;
        }
    }
    std::fputs(
        "\n"
        "Haalt eenmaal de koersen op voor alle combinaties in Regels.dat (in de datamap van\n"
        "Rendaal) en schrijft ze in de koersbestanden, zoals de knop Download in Rendaal.\n"
        "Toont de statustekst; de reden van een tekort en elke melding gaan naar stderr.\n"
        "Afsluitcode: 0 regels geschreven, 1 niets te schrijven, 2 fout.\n"
        "Met --chart tekent het de grafiek van een koersbestand in een PNG-bestand.\n"
        "--overview toont de stand van alle combinaties, --iv de impliciete volatiliteit per\n"
        "dag van een koersbestand (rente en dividend in procenten per jaar).\n"
        "--alerts toont de signalen die nu gelden (winstdoel, verliesgrens, AEX bij\n"
        "break-even); na elke download meldt het de signalen die beginnen in een bericht\n"
        "op het bureaublad, en met PushUrl of MailTo in Rendaal.reg ook als push-bericht\n"
        "en e-mail. --test-alert stuurt een testbericht naar die kanalen (afsluitcode 0\n"
        "verstuurd, 2 mislukt).\n"
        "--scenario toont het resultaat van een combinatie per AEX-stand en datum (tot de\n"
        "expiratie), met de volatiliteit N punten verschoven (-5, 0 of +5).\n"
        "--rebuild vult de dagen aan die een koersbestand mist, uit de reservekopie en uit de\n"
        "bewaarde pagina's in Archief/ (afsluitcode 0 dagen terug, 1 niets ontbrak, 2 fout).\n",
        out);
}

int Help(const std::vector<std::string>&) {
    Usage(stdout);
    return kExitWritten;
}

// Still under the run lock: a window evaluating at the same moment would announce the same
// alert twice.
void CheckAlertsAfterRun(const std::string& folder, const std::vector<std::string>& lines) {
    DesktopNotifier notifier;
    notifier.onProblem = Complain;
    const AlertCheck check = CheckAlerts(folder, lines, &notifier);
    for (const auto& problem : check.problems) {
        Complain(problem);
    }
    for (const auto& failure : check.channelFailures) {
        Complain(failure);
    }
    notifier.WaitForReplies();
}

}  // namespace

std::span<const CompanionCommand> CompanionCommands() {
    return kCommands;
}

int RunCompanion(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const std::string_view option = args.empty() ? std::string_view() : args[0];
    const CompanionCommand* command = nullptr;
    for (const auto& c : CompanionCommands()) {
        if (c.option == option) {
            command = &c;
        }
    }
    if (!command) {
        Complain("onbekende optie " + args[0]);
        Usage(stderr);
        return kExitError;
    }
    std::unique_ptr<QCoreApplication> app;
    if (command->needsGui) {
        // Runs from a timer have no display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    const std::vector<std::string> rest(args.empty() ? args.end() : args.begin() + 1, args.end());
    return command->run(rest);
}

int RunTestAlertCommand(const std::vector<std::string>& args) {
    if (!args.empty()) {
        Complain("onbekende optie " + args[0]);
        return kExitError;
    }
    const SettingsStore settings;
    if (!settings.problem().empty()) {
        Complain(settings.problem());
    }
    const ChannelSettings channels = ReadChannelSettings(settings.file(), kSettingsKey);
    for (const auto& problem : channels.problems) {
        Complain(problem);
    }
    if (!channels.Push() && !channels.Mail()) {
        if (channels.problems.empty()) {
            Complain("geen kanaal ingesteld: zet PushUrl of MailTo in " + settings.path());
        }
        return kExitError;
    }
    const ChannelOutcome outcome = SendTestNotice(channels);
    for (const auto& sent : outcome.sent) {
        std::printf("Testbericht verstuurd: %s\n", sent.c_str());
    }
    std::fflush(stdout);
    for (const auto& failure : outcome.failures) {
        Complain(failure);
    }
    return outcome.failures.empty() && channels.problems.empty() ? kExitWritten : kExitError;
}

int RunRebuildCommand(const std::vector<std::string>& names) {
    for (const auto& name : names) {
        if (name.starts_with("-")) {
            Complain("onbekende optie " + name);
            return kExitError;
        }
    }
    const RebuildResult result = RebuildLocked(DataFolderFor("Rendaal"), names);
    if (!result.error.empty()) {
        Complain(result.error);
        return kExitError;
    }
    for (const auto& file : result.files) {
        std::printf("%s\n", RebuildReport(file).c_str());
    }
    std::fflush(stdout);
    for (const auto& note : result.notes) {
        Complain(note);
    }
    for (const auto& list : {result.lostDays, result.problems}) {
        for (const auto& line : list) {
            Complain(line);
        }
    }
    if (result.AnyError()) {
        return kExitError;
    }
    return result.DaysAdded() > 0 ? kExitWritten : kExitNothing;
}

int RunScheduledDownload(const std::vector<std::string>&) {
    // A history file at the file size limit must fail its write, not end the process.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::string folder = DataFolderFor("Rendaal");
    const SettingsStore settings;
    // It only reads the settings: a read-only file is no news on every timer run.
    if (!settings.problem().empty() && !settings.readOnly()) {
        Complain(settings.problem());
    }
    const int years = ReadUserSettings(settings.file(), kSettingsKey).years;
    QtPageFetcher fetcher;
    RunEnvironment env = BaseRunEnvironment(fetcher, folder, StoredPageAddresses(settings));
    std::vector<std::string> lines;
    env.lines = [&lines] { return lines; };
    env.years = [years] { return years; };

    DownloadState state;
    RunResult result;
    RunLock lock(folder);
    if (auto refused = HoldDataFolder(lock, state, env)) {
        result = *refused;
    } else {
        // Read under the lock: the window saves the rules file while it holds it.
        const std::string rulesPath = folder + std::string(kRulesFileName);
        const FileRead rules = ReadFileChecked(rulesPath);
        if (!rules.text && !rules.missing) {
            Complain(rules.error);
            return kExitError;
        }
        if (rules.text) {
            lines = ParseRules(*rules.text);
        }
        const double lastIndex = LastHistoryIndexValueIn(folder, lines);
        env.lastHistoryIndexValue = [lastIndex] { return lastIndex; };
        result = RunDownload(state, env);
        CheckAlertsAfterRun(folder, lines);
    }
    std::printf("%s\n", state.StatusText.c_str());
    std::fflush(stdout);
    if (!result.reason.empty()) {
        Complain(result.reason);
    }
    for (const auto& note : result.notes) {
        Complain(note);
    }
    // Only the user decides which combinations are followed; the window offers the lines.
    for (const auto& copy : result.rulesCopies) {
        Complain(RulesConflictNote(folder, CompareRulesCopy(folder, copy)));
    }
    if (!result.error.empty()) {
        Complain(result.error);
    }
    // No page because of the server or the network is an error; an empty page is no prices.
    const bool fetchFailed =
        result.outcome == RunOutcome::NoPage && fetcher.LastStatus().failure != FetchFailure::None;
    if (result.outcome == RunOutcome::Error || fetchFailed) {
        return kExitError;
    }
    return result.linesWritten > 0 ? kExitWritten : kExitNothing;
}

}  // namespace rendaal
