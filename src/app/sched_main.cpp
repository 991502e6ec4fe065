// rendaal-sched: one download run without windows, for cron or a systemd timer. It writes the
// same history files as the program and takes the same lock, so the two never download at once.
#include <QCoreApplication>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "app/overview_command.h"
#include "core/clock.h"
#include "core/combination.h"
#include "download/download_run.h"
#include "download/history.h"
#include "download/run_lock.h"
#include "platform/app_paths.h"
#include "platform/http_client.h"
#include "platform/settings_store.h"

#if __has_include("platform/chart_command.h")
#include <QGuiApplication>

#include "platform/chart_command.h"
#define RENDAAL_HAVE_CHART_COMMAND 1
#endif

namespace {

constexpr int kDownloaded = 0;
constexpr int kNothing = 1;
constexpr int kError = 2;

void Usage(FILE* out) {
    std::fputs(
        "Gebruik: rendaal-sched [--help]\n"
        "         rendaal-sched --chart <koersbestand> [--blokjes | --grafiek] [--apart]\n"
        "                       [--size BxH] [--theorie] --out <bestand.png>\n"
        "         rendaal-sched --overview [--csv] [--rente X] [--dividend Y]\n"
        "         rendaal-sched --iv <koersbestand> [--csv] [--rente X] [--dividend Y]\n"
        "\n"
        "Haalt eenmaal de koersen op voor alle combinaties in Regels.dat (in de datamap van\n"
        "Rendaal) en schrijft ze in de koersbestanden, zoals de knop Download in Rendaal.\n"
        "Toont de statustekst. Afsluitcode: 0 koersen gedownload, 1 geen koersen, 2 fout.\n"
        "Met --chart tekent het de grafiek van een koersbestand in een PNG-bestand.\n"
        "--overview toont de stand van alle combinaties, --iv de impliciete volatiliteit per\n"
        "dag van een koersbestand (rente en dividend in procenten per jaar).\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        Usage(stdout);
        return kDownloaded;
    }
#ifdef RENDAAL_HAVE_CHART_COMMAND
    if (!args.empty() && args[0] == "--chart") {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
            qputenv("QT_QPA_PLATFORM", "offscreen");
        }
        QGuiApplication app(argc, argv);
        return rendaal::RunChartCommand(std::vector<std::string>(args.begin() + 1, args.end()));
    }
#endif
    if (!args.empty() && (args[0] == "--overview" || args[0] == "--iv")) {
        const std::vector<std::string> rest(args.begin() + 1, args.end());
        return args[0] == "--iv" ? rendaal::RunIvCommand(rest) : rendaal::RunOverviewCommand(rest);
    }
    if (!args.empty()) {
        std::fprintf(stderr, "rendaal-sched: onbekende optie %s\n", args[0].c_str());
        Usage(stderr);
        return kError;
    }

    QCoreApplication app(argc, argv);
    // A history file at the file size limit must fail its write, not end the process.
    std::signal(SIGXFSZ, SIG_IGN);
    using namespace rendaal;

    const std::string folder = DataFolderFor("Rendaal");
    RunLock lock(folder);
    if (!lock.TryAcquire()) {
        std::printf("%s\n", std::string(kBusyStatus).c_str());
        return kNothing;
    }
    const std::vector<std::string> lines =
        LoadRules(folder + "Regels.dat").value_or(std::vector<std::string>{});
    const SettingsStore settings;
    if (!settings.problem().empty()) {
        std::fprintf(stderr, "rendaal-sched: %s\n", settings.problem().c_str());
    }
    const int years =
        static_cast<int>(std::clamp<int64_t>(settings.ReadInteger("Aantal jaren", 1), 1, 5));

    QtPageFetcher fetcher;
    RunEnvironment env;
    env.clock = &AppClock();
    env.fetcher = &fetcher;
    env.dataFolder = folder;
    env.lines = [&lines] { return lines; };
    env.years = [years] { return years; };
    const double lastIndex = LastHistoryIndexValueIn(folder, lines);
    env.lastHistoryIndexValue = [lastIndex] { return lastIndex; };
    env.indexUrlBase = settings.ReadString("IndexUrl", kDefaultIndexUrl);
    env.optionUrlBase = settings.ReadString("OptionUrl", kDefaultOptionUrl);

    DownloadState state;
    const RunResult result = RunDownload(state, env);
    std::printf("%s\n", state.StatusText.c_str());
    std::fflush(stdout);
    if (result.outcome == RunOutcome::Error) {
        std::fprintf(stderr, "rendaal-sched: %s\n", result.error.c_str());
        return kError;
    }
    return result.outcome == RunOutcome::Downloaded && state.PriceCount > 0 ? kDownloaded
                                                                            : kNothing;
}
